#include "store/tree_edit.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <regex>

#include "store/current_tree.h"
#include "store/profile_layout.h"
#include "store/profile_load_save.h"
#include "store/store_fixture.h"
#include "store/tree_load.h"

namespace kelmora::test {
namespace {

// A GUID file made anew: a fresh GUID at revision 0.0.
const std::regex kNewGuidText("[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12} 0\\.0");

class TreeEditTest : public test::CStoreTest {
protected:
    void SetUp() override {
        CStoreTest::SetUp();
        MakeFolder("Top/Group");
        MakeProfileFolder("Top/Group/Alpha", "alpha-guid 2.7");
        WriteTextFile(Native("Top/Group/Alpha/Rules"), "element * /main/LATEST\r\n");
        WriteTextFile(Native("Top/Group/Alpha/extra notes"), "kept");
        MakeFolder("Top/Other");
        Reload();
    }

    void Reload() {
        ASSERT_NE(Load(), nullptr);
        revision_ = CachedTreeRevision();
    }

    CTreeNode* CopyAlphaInto(const std::string& name, bool keep_guid) {
        CTreeNode* parent = Node(name);
        return CreateOrCopyProfile(parent, Full("\\Top\\Group\\Alpha"), keep_guid);
    }

    int revision_ = 0;
};

// "New Folder (n)" stops past 99 without a word; a copy gets a fresh GUID unless it keeps the
// source's.
TEST_F(TreeEditTest, NewNodesTakeTheFirstFreeNameAndStandFirst) {
    MakeFolder("Top/Group/Alpha/Sub");
    for (const char* taken : {"Group/New Folder", "Group/New Folder (2)", "Other/TBD (1)"})
        MakeFolder(std::string("Top/") + taken);
    Reload();
    int revision = revision_;
    const auto made = [&](CTreeNode* node, const std::string& name) {
        ASSERT_NE(node, nullptr) << name;
        EXPECT_EQ(node->full_path(), Full("\\Top\\" + name));
        EXPECT_EQ(node->parent()->first_child(), node) << name;
        EXPECT_EQ(LockFileText(), std::to_string(++revision)) << name;
        EXPECT_EQ(node->revision_stamp(), revision) << name;
    };
    CTreeNode* group = Node("\\Top\\Group");
    CTreeNode* other = Node("\\Top\\Other");
    made(MakeNewFolder(group), "Group\\New Folder (3)");
    made(CreateOrCopyProfile(other, std::nullopt, false), "Other\\TBD (2)");
    made(CreateOrCopyProfile(other, std::nullopt, true), "Other\\TBD (3)");
    made(CopyAlphaInto("\\Top\\Other", false), "Other\\Alpha");
    made(CopyAlphaInto("\\Top\\Group", false), "Group\\Copy of Alpha");
    made(CopyAlphaInto("\\Top\\Group", true), "Group\\Copy (2) of Alpha");
    EXPECT_TRUE(fs::is_directory(Native("Top/Group/New Folder (3)")));
    EXPECT_FALSE(Node("\\Top\\Group\\New Folder (3)")->IsProfile());
    EXPECT_EQ(Node("\\Top\\Other\\TBD (2)")->profile_state(), ProfileState::kNotLoaded);
    EXPECT_TRUE(Node("\\Top\\Other\\TBD (3)")->IsProfile());
    EXPECT_TRUE(fs::is_empty(Native("Top/Other/TBD (3)")));
    for (const std::string fresh : {"Other/TBD (2)", "Other/Alpha"})
        EXPECT_TRUE(std::regex_match(ReadTextFile(Native("Top/" + fresh + "/GUID")), kNewGuidText));
    EXPECT_EQ(ReadTextFile(Native("Top/Group/Copy (2) of Alpha/GUID")), "alpha-guid 2.7");
    EXPECT_EQ(ReadTextFile(Native("Top/Other/Alpha/Rules")), "element * /main/LATEST\r\n");
    EXPECT_EQ(ReadTextFile(Native("Top/Other/Alpha/extra notes")), "kept");
    EXPECT_FALSE(fs::exists(Native("Top/Other/Alpha/Sub")));
    MakeFolder("Top/Other/New Folder");
    for (int n = 2; n <= 99; ++n) MakeFolder(FormatPrintf("Top/Other/New Folder (%d)", n));
    other = Node("\\Top\\Other");
    EXPECT_EQ(MakeNewFolder(other), nullptr);
    EXPECT_FALSE(fs::exists(Native("Top/Other/New Folder (100)")));
    EXPECT_EQ(LockFileText(), std::to_string(revision));
    EXPECT_TRUE(Messages().empty());
    ASSERT_NE(Load(), nullptr);
    EXPECT_FALSE(Node("\\Top\\Other\\TBD (3)")->IsProfile());
}

// A copy into a folder of that name is refused.
TEST_F(TreeEditTest, FailedCopyTakesBackWhatItMade) {
    MakeFolder("Top/Other/Alpha");
    EXPECT_EQ(CopyAlphaInto("\\Top\\Other", false), nullptr);
    EXPECT_EQ(Messages(), Texts{StoreString(IDS_PROFILE_NAME_EXISTS, "Alpha")});
    EXPECT_EQ(Boxes()[0].style, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_TRUE(fs::is_empty(Native("Top/Other/Alpha")));
    EXPECT_EQ(CachedTreeRevision(), revision_);
    fs::remove(Native("Top/Other/Alpha"));
    if (RunningAsRoot()) GTEST_SKIP() << "root reads any file; an unreadable source needs a user";
    Answer("");
    ASSERT_EQ(chmod(Native("Top/Group/Alpha/Rules").c_str(), 0), 0);
    EXPECT_EQ(CopyAlphaInto("\\Top\\Other", false), nullptr);
    EXPECT_EQ(Messages(), Texts{StoreString(IDS_NO_PERMISSION_FOLDER, Native("Top/Other"))});
    EXPECT_FALSE(fs::exists(Native("Top/Other/Alpha")));
    EXPECT_EQ(Node("\\Top\\Other")->first_child(), nullptr);
    EXPECT_EQ(CachedTreeRevision(), revision_);
}

TEST_F(TreeEditTest, RenameMovesTheFolderAndThePathsBelow) {
    MakeFolder("Top/Group/Deep/Deeper");
    Reload();
    CTreeNode* group = Node("\\Top\\Group");
    // The same name changes nothing.
    ASSERT_TRUE(RenameNode(group, "Group"));
    EXPECT_EQ(CachedTreeRevision(), revision_);
    ASSERT_TRUE(RenameNode(group, "Renamed"));
    EXPECT_EQ(group->full_path(), Full("\\Top\\Renamed"));
    EXPECT_TRUE(fs::is_directory(Native("Top/Renamed/Deep/Deeper")));
    EXPECT_NE(Node("\\Top\\Renamed\\Deep\\Deeper"), nullptr);
    EXPECT_NE(Node("\\Top\\Renamed\\Alpha"), nullptr);
    EXPECT_EQ(CachedTreeRevision(), revision_ + 1);
    EXPECT_TRUE(Messages().empty());
}

struct CRenameRefusal {
    const char* name;
    int error;
};

class RenameRefusalTest : public TreeEditTest,
                          public ::testing::WithParamInterface<CRenameRefusal> {};

TEST_P(RenameRefusalTest, ChangesNothingAndSaysWhy) {
    CTreeNode* other = Node("\\Top\\Other");
    errno = 0;
    EXPECT_FALSE(RenameNode(other, GetParam().name));
    EXPECT_EQ(errno, GetParam().error);
    EXPECT_EQ(other->full_path(), Full("\\Top\\Other"));
    EXPECT_TRUE(fs::is_directory(Native("Top/Other")));
    EXPECT_EQ(Messages(), Texts{StoreString(IDS_ERR_RENAME, Native("Top/Other"),
                                            std::strerror(GetParam().error))});
    EXPECT_EQ(Boxes()[0].style, unsigned{MB_OK});
    EXPECT_EQ(CachedTreeRevision(), revision_);
}

INSTANTIATE_TEST_SUITE_P(
    BadNames, RenameRefusalTest,
    ::testing::Values(CRenameRefusal{"Group", EEXIST}, CRenameRefusal{"", EINVAL},
                      CRenameRefusal{"..", EINVAL}, CRenameRefusal{".hidden", EINVAL},
                      CRenameRefusal{"../Escaped", EINVAL}, CRenameRefusal{"a\\b", EINVAL},
                      CRenameRefusal{"two\nlines", EINVAL}),
    [](const auto& info) { return test::CaseName(info.index, info.param.name); });

// Another user swaps an ancestor for a link to a copy elsewhere after the load; as root the
// swap is made by user 65534.
enum class EEdit { kDelete, kSave, kRename, kCopy, kNewFolder, kCreate };

class EditAfterSwapTest : public TreeEditTest, public ::testing::WithParamInterface<EEdit> {
protected:
    static std::map<std::string, std::string> Snapshot(const std::string& folder) {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            files[entry.path()] = entry.is_regular_file() ? ReadTextFile(entry.path()) : "(folder)";
        return files;
    }

    void SwapForLink(const std::string& relative, const std::string& target) {
        Texts as_other;
        if (RunningAsRoot()) {
            as_other = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
            fs::permissions(temp_.path(), fs::perms(0755));
            fs::permissions(root(), fs::perms(0777));
        }
        auto run = [&](Texts argv) {
            argv.insert(argv.begin(), as_other.begin(), as_other.end());
            return test::RunCommand(argv).exit_code;
        };
        ASSERT_EQ(run({"mv", Native(relative), Native(relative + ".real")}), 0);
        ASSERT_EQ(run({"ln", "-s", target, Native(relative)}), 0);
    }

    bool Edit(EEdit edit) {
        CTreeNode* alpha = Node("\\Top\\Group\\Alpha");
        CTreeNode* group = Node("\\Top\\Group");
        CProfileRecord record;
        record.description = "overwritten";
        switch (edit) {
            case EEdit::kDelete:
                return DeleteNode(alpha);
            case EEdit::kSave:
                return SaveProfile(alpha, record, kSaveDescription | kSaveRules, "") !=
                       ESaveOutcome::kNotSaved;
            case EEdit::kRename:
                return RenameNode(alpha, "Renamed");
            case EEdit::kCopy:
                return CopyAlphaInto("\\Top\\Other", false) != nullptr;
            case EEdit::kNewFolder:
                return MakeNewFolder(group) != nullptr;
            case EEdit::kCreate:
                return CreateOrCopyProfile(group, std::nullopt, false) != nullptr;
        }
        return true;
    }
};

TEST_P(EditAfterSwapTest, FailsAndTouchesNothingOutsideTheTree) {
    const std::string outside = temp_ / "outside";
    fs::copy(Native("Top"), outside, fs::copy_options::recursive);
    const auto before = Snapshot(outside);
    SwapForLink("Top", outside);
    EXPECT_FALSE(Edit(GetParam()));
    EXPECT_EQ(Snapshot(outside), before);
    EXPECT_EQ(CachedTreeRevision(), revision_);
}

INSTANTIATE_TEST_SUITE_P(Edits, EditAfterSwapTest,
                         ::testing::Values(EEdit::kDelete, EEdit::kSave, EEdit::kRename,
                                           EEdit::kCopy, EEdit::kNewFolder, EEdit::kCreate));

// Here the folder the store does not know is inside a profile.
TEST_F(TreeEditTest, DeleteOfAnUnknownFolderOrWithoutPermissionRemovesNothing) {
    MakeFolder("Top/Group/Alpha/Sub");
    CTreeNode* top = Node("\\Top");
    EXPECT_FALSE(DeleteNode(top));
    EXPECT_EQ(Messages(), Texts{StoreString(IDS_ERR_REMOVE, Native("Top/Group/Alpha"),
                                            std::strerror(ENOTEMPTY))});
    EXPECT_TRUE(fs::exists(Native("Top/Group/Alpha/Rules")));
    EXPECT_EQ(CachedTreeRevision(), revision_);
    fs::remove(Native("Top/Group/Alpha/Sub"));
    if (RunningAsRoot()) GTEST_SKIP() << "root may change any folder; permissions need a user";
    Answer("");
    ASSERT_EQ(chmod(Native("Top/Group/Alpha").c_str(), 0555), 0);
    top = Node("\\Top");
    EXPECT_FALSE(DeleteNode(top));
    chmod(Native("Top/Group/Alpha").c_str(), 0755);
    EXPECT_EQ(Messages(), Texts{StoreString(IDS_NO_PERMISSION_PROFILE, Native("Top/Group/Alpha"))});
    EXPECT_TRUE(fs::exists(Native("Top/Group/Alpha/GUID")));
    EXPECT_EQ(CachedTreeRevision(), revision_);
}

TEST_F(TreeEditTest, DeletingATopLevelFolderRemovesEverythingThenBumpsOnce) {
    WriteTextFile(Native("Top/.rev"), "stale");
    CTreeNode* top = Node("\\Top");
    EXPECT_TRUE(DeleteNode(top));
    EXPECT_FALSE(fs::exists(Native("Top")));
    EXPECT_EQ(LockFileText(), std::to_string(revision_ + 1));
    EXPECT_TRUE(Messages().empty());
}

TEST_F(TreeEditTest, CreatedProfileWhoseGuidCannotBeWrittenIsTakenBack) {
    CTreeNode* parent = Node("\\Top\\Other");
    test::WithFileSizeLimit(
        20, [&] { EXPECT_EQ(CreateOrCopyProfile(parent, std::nullopt, false), nullptr); });
    EXPECT_FALSE(fs::exists(Native("Top/Other/TBD (1)")));
    EXPECT_EQ(
        Messages(),
        (Texts{FileErrorText(IDS_ERR_OPEN_FILE, EFBIG, Native("Top/Other/TBD (1)/GUID")),
               StoreString(IDS_ERR_CREATE, Native("Top/Other/TBD (1)"), std::strerror(EFBIG))}));
    EXPECT_EQ(CachedTreeRevision(), revision_);
}

}  // namespace
}  // namespace kelmora::test

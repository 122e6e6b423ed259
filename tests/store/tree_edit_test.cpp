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
#include "store/tree_lock.h"

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

TEST_F(TreeEditTest, NewFolderTakesTheFirstFreeNumberUpToNinetyNineAndStandsFirst) {
    MakeFolder("Top/Group/New Folder");
    MakeFolder("Top/Group/New Folder (2)");
    CTreeNode* parent = Node("\\Top\\Group");
    CTreeNode* made = MakeNewFolder(parent);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->full_path(), Full("\\Top\\Group\\New Folder (3)"));
    EXPECT_TRUE(fs::is_directory(Native("Top/Group/New Folder (3)")));
    EXPECT_FALSE(made->IsProfile());
    EXPECT_EQ(parent->first_child(), made);
    EXPECT_EQ(LockFileText(), std::to_string(revision_ + 1));
    EXPECT_EQ(made->revision_stamp(), revision_ + 1);
    // After "New Folder (99)" it gives up without a word.
    MakeFolder("Top/Other/New Folder");
    for (int n = 2; n <= 99; ++n) MakeFolder(FormatPrintf("Top/Other/New Folder (%d)", n));
    CTreeNode* other = Node("\\Top\\Other");
    EXPECT_EQ(MakeNewFolder(other), nullptr);
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(fs::exists(Native("Top/Other/New Folder (100)")));
    EXPECT_EQ(LockFileText(), std::to_string(revision_ + 1));
}

TEST_F(TreeEditTest, CreatedProfileHasANewGuidAtRevisionZeroOrNoFileAtAll) {
    MakeFolder("Top/Other/TBD (1)");
    CTreeNode* parent = Node("\\Top\\Other");
    CTreeNode* made = CreateOrCopyProfile(parent, std::nullopt, false);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->Name(), "TBD (2)");
    EXPECT_EQ(made->profile_state(), ProfileState::kNotLoaded);
    EXPECT_TRUE(std::regex_match(ReadTextFile(Native("Top/Other/TBD (2)/GUID")), kNewGuidText));
    EXPECT_EQ(CachedTreeRevision(), revision_ + 1);

    CTreeNode* bare = CreateOrCopyProfile(parent, std::nullopt, true);
    ASSERT_NE(bare, nullptr);
    EXPECT_TRUE(bare->IsProfile());
    EXPECT_TRUE(fs::is_empty(Native("Top/Other/TBD (3)")));
    // Without a file the next load sees a folder.
    ASSERT_NE(Load(), nullptr);
    EXPECT_FALSE(Node("\\Top\\Other\\TBD (3)")->IsProfile());
}

// A copy takes every plain file, no folder, and a new GUID unless it keeps
// the old one; within its own folder it is named "Copy of", "Copy (2) of".
TEST_F(TreeEditTest, CopiesTakeThePlainFilesAndAreNamedByWhereTheyGo) {
    MakeFolder("Top/Group/Alpha/Sub");
    CTreeNode* copy = CopyAlphaInto("\\Top\\Other", false);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Name(), "Alpha");
    EXPECT_EQ(ReadTextFile(Native("Top/Other/Alpha/Rules")), "element * /main/LATEST\r\n");
    EXPECT_EQ(ReadTextFile(Native("Top/Other/Alpha/extra notes")), "kept");
    EXPECT_FALSE(fs::exists(Native("Top/Other/Alpha/Sub")));
    EXPECT_TRUE(std::regex_match(ReadTextFile(Native("Top/Other/Alpha/GUID")), kNewGuidText));

    CTreeNode* first = CopyAlphaInto("\\Top\\Group", false);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Name(), "Copy of Alpha");
    CTreeNode* second = CopyAlphaInto("\\Top\\Group", true);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Name(), "Copy (2) of Alpha");
    EXPECT_EQ(Node("\\Top\\Group")->first_child(), second);
    EXPECT_EQ(ReadTextFile(Native("Top/Group/Copy (2) of Alpha/GUID")), "alpha-guid 2.7");
}

// A copy into a folder of that name is refused; one that cannot read its
// source takes back what it made.
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

// A taken name, and names that would put the folder elsewhere or hide it,
// are refused with the reason.
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

// Another user who may write the tree swaps an ancestor for a link to a copy
// of it elsewhere (where the victim's files are) after the load: every edit
// fails and nothing outside the tree changes. As root the swap is made by
// user 65534, else by this user.
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

// A folder the store does not know (here inside a profile), or one this user
// may not change, stops a delete before it removes anything.
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

// Everything below goes, profile files and a lock file included, before the
// lock is released with the one bump.
TEST_F(TreeEditTest, DeletingATopLevelFolderRemovesEverythingThenBumpsOnce) {
    WriteTextFile(Native("Top/.rev"), "stale");
    CTreeNode* top = Node("\\Top");
    EXPECT_TRUE(DeleteNode(top));
    EXPECT_FALSE(fs::exists(Native("Top")));
    EXPECT_FALSE(IsTreeLockHeld());
    EXPECT_EQ(LockFileText(), std::to_string(revision_ + 1));
    EXPECT_TRUE(Messages().empty());
}

// A GUID file that cannot be written whole undoes the creation.
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

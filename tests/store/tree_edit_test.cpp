#include "store/tree_edit.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/format.h"
#include "resources/string_table.h"
#include "store/current_tree.h"
#include "store/profile_layout.h"
#include "store/store_fixture.h"
#include "store/tree_load.h"
#include "store/tree_lock.h"

namespace kelmora {
namespace {

using test::CStoreTest;
using test::ReadTextFile;
using test::StoreString;
using test::WriteTextFile;

namespace fs = std::filesystem;

class TreeEditTest : public CStoreTest {
protected:
    void SetUp() override {
        CStoreTest::SetUp();
        MakeFolder("Top/Group");
        MakeProfileFolder("Top/Group/Alpha", "alpha-guid 2.7");
        WriteTextFile(Native("Top/Group/Alpha/Rules"), "element * /main/LATEST\r\n");
        WriteTextFile(Native("Top/Group/Alpha/extra notes"), "kept");
        MakeFolder("Top/Other");
        ASSERT_NE(Load(), nullptr);
        revision_ = CachedTreeRevision();
    }

    std::vector<std::string> ChildNames(const std::string& name) {
        std::vector<std::string> names;
        for (CTreeNode* n = Node(name)->first_child(); n; n = n->next_sibling()) {
            names.push_back(n->Name());
        }
        return names;
    }

    int revision_ = 0;
};

TEST_F(TreeEditTest, NewFolderTakesTheFirstFreeNumberAndStandsFirst) {
    MakeFolder("Top/Group/New Folder");
    MakeFolder("Top/Group/New Folder (2)");
    CTreeNode* parent = Node("\\Top\\Group");
    CTreeNode* made = MakeNewFolder(parent);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->full_path(), Full("\\Top\\Group\\New Folder (3)"));
    EXPECT_TRUE(fs::is_directory(Native("Top/Group/New Folder (3)")));
    EXPECT_FALSE(made->IsProfile());
    EXPECT_EQ(parent->first_child(), made);
    EXPECT_EQ(made->parent(), parent);
    EXPECT_EQ(LockFileText(), std::to_string(revision_ + 1));
    EXPECT_EQ(made->revision_stamp(), revision_ + 1);
}

TEST_F(TreeEditTest, NewFolderGivesUpSilentlyAfterNinetyNineNames) {
    MakeFolder("Top/Other/New Folder");
    for (int n = 2; n <= 99; ++n) MakeFolder(FormatPrintf("Top/Other/New Folder (%d)", n));
    CTreeNode* parent = Node("\\Top\\Other");
    EXPECT_EQ(MakeNewFolder(parent), nullptr);
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(fs::exists(Native("Top/Other/New Folder (100)")));
    EXPECT_EQ(CachedTreeRevision(), revision_);
}

TEST_F(TreeEditTest, CreatedProfileHasANewGuidAtRevisionZero) {
    MakeFolder("Top/Other/TBD (1)");
    CTreeNode* parent = Node("\\Top\\Other");
    CTreeNode* made = CreateOrCopyProfile(parent, std::nullopt, false);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->Name(), "TBD (2)");
    EXPECT_EQ(made->profile_state(), ProfileState::kNotLoaded);
    CProfileGuid guid;
    ASSERT_TRUE(ParseGuidFileText(ReadTextFile(Native("Top/Other/TBD (2)/GUID")), &guid));
    EXPECT_EQ(guid.guid.size(), 36u);
    EXPECT_EQ(guid.guid.find_first_not_of("0123456789abcdef-"), std::string::npos);
    EXPECT_EQ(ReadTextFile(Native("Top/Other/TBD (2)/GUID")), guid.guid + " 0.0");
    EXPECT_EQ(CachedTreeRevision(), revision_ + 1);
}

TEST_F(TreeEditTest, CreatedProfileKeepingNoGuidIsAnEmptyFolder) {
    CTreeNode* parent = Node("\\Top\\Other");
    CTreeNode* made = CreateOrCopyProfile(parent, std::nullopt, true);
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(made->IsProfile());
    EXPECT_TRUE(fs::is_empty(Native("Top/Other/TBD (1)")));
    // Without a file the next load sees a folder.
    ASSERT_NE(Load(), nullptr);
    EXPECT_FALSE(Node("\\Top\\Other\\TBD (1)")->IsProfile());
}

TEST_F(TreeEditTest, CopyWithinItsFolderIsNamedCopyOf) {
    CTreeNode* parent = Node("\\Top\\Group");
    const std::string source = Full("\\Top\\Group\\Alpha");
    CTreeNode* first = CreateOrCopyProfile(parent, source, false);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Name(), "Copy of Alpha");
    CTreeNode* second = CreateOrCopyProfile(parent, source, false);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Name(), "Copy (2) of Alpha");
    EXPECT_EQ(ChildNames("\\Top\\Group")[0], "Copy (2) of Alpha");
}

TEST_F(TreeEditTest, CopyTakesEveryPlainFileAndANewGuid) {
    MakeFolder("Top/Group/Alpha/Sub");
    CTreeNode* parent = Node("\\Top\\Other");
    CTreeNode* copy = CreateOrCopyProfile(parent, Full("\\Top\\Group\\Alpha"), false);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Name(), "Alpha");
    EXPECT_EQ(ReadTextFile(Native("Top/Other/Alpha/Rules")), "element * /main/LATEST\r\n");
    EXPECT_EQ(ReadTextFile(Native("Top/Other/Alpha/extra notes")), "kept");
    EXPECT_FALSE(fs::exists(Native("Top/Other/Alpha/Sub")));
    CProfileGuid guid;
    ASSERT_TRUE(ParseGuidFileText(ReadTextFile(Native("Top/Other/Alpha/GUID")), &guid));
    EXPECT_NE(guid.guid, "alpha-guid");
    EXPECT_EQ(guid.major, 0);
    EXPECT_EQ(guid.minor, 0);
}

TEST_F(TreeEditTest, CopyKeepingTheGuidKeepsTheGuidFile) {
    CTreeNode* parent = Node("\\Top\\Other");
    ASSERT_NE(CreateOrCopyProfile(parent, Full("\\Top\\Group\\Alpha"), true), nullptr);
    EXPECT_EQ(ReadTextFile(Native("Top/Other/Alpha/GUID")), "alpha-guid 2.7");
}

TEST_F(TreeEditTest, CopyIntoAFolderWithThatNameIsRefused) {
    MakeFolder("Top/Other/Alpha");
    CTreeNode* parent = Node("\\Top\\Other");
    EXPECT_EQ(CreateOrCopyProfile(parent, Full("\\Top\\Group\\Alpha"), false), nullptr);
    EXPECT_EQ(Messages(), std::vector<std::string>{StoreString(IDS_PROFILE_NAME_EXISTS, "Alpha")});
    EXPECT_EQ(Boxes()[0].style, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_TRUE(fs::is_empty(Native("Top/Other/Alpha")));
    EXPECT_EQ(CachedTreeRevision(), revision_);
}

TEST_F(TreeEditTest, FailedCopyTakesBackWhatItMade) {
    if (RunningAsRoot()) GTEST_SKIP() << "root reads any file; an unreadable source needs a user";
    ASSERT_EQ(chmod(Native("Top/Group/Alpha/Rules").c_str(), 0), 0);
    CTreeNode* parent = Node("\\Top\\Other");
    EXPECT_EQ(CreateOrCopyProfile(parent, Full("\\Top\\Group\\Alpha"), false), nullptr);
    EXPECT_EQ(Messages(),
              std::vector<std::string>{StoreString(IDS_NO_PERMISSION_FOLDER, Native("Top/Other"))});
    EXPECT_FALSE(fs::exists(Native("Top/Other/Alpha")));
    EXPECT_EQ(parent->first_child(), nullptr);
    EXPECT_EQ(CachedTreeRevision(), revision_);
}

TEST_F(TreeEditTest, RenameMovesTheFolderAndThePathsBelow) {
    MakeFolder("Top/Group/Deep/Deeper");
    ASSERT_NE(Load(), nullptr);
    revision_ = CachedTreeRevision();
    CTreeNode* group = Node("\\Top\\Group");
    ASSERT_TRUE(RenameNode(group, "Renamed"));
    EXPECT_EQ(group->full_path(), Full("\\Top\\Renamed"));
    EXPECT_TRUE(fs::is_directory(Native("Top/Renamed/Deep/Deeper")));
    EXPECT_NE(Node("\\Top\\Renamed\\Deep\\Deeper"), nullptr);
    EXPECT_NE(Node("\\Top\\Renamed\\Alpha"), nullptr);
    EXPECT_EQ(CachedTreeRevision(), revision_ + 1);
}

TEST_F(TreeEditTest, RenameToTheSameNameChangesNothing) {
    CTreeNode* alpha = Node("\\Top\\Group\\Alpha");
    EXPECT_TRUE(RenameNode(alpha, "Alpha"));
    EXPECT_EQ(CachedTreeRevision(), revision_);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(TreeEditTest, RenameOntoAnExistingFolderIsRefused) {
    CTreeNode* other = Node("\\Top\\Other");
    EXPECT_FALSE(RenameNode(other, "Group"));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(Messages(), std::vector<std::string>{StoreString(IDS_ERR_RENAME, Native("Top/Other"),
                                                               std::strerror(EEXIST))});
    EXPECT_TRUE(fs::exists(Native("Top/Group/Alpha/GUID")));
    EXPECT_TRUE(fs::is_directory(Native("Top/Other")));
}

// Names that would put the folder elsewhere, or hide it, are refused.
class RenameRefusalTest : public TreeEditTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(RenameRefusalTest, ChangesNothingAndSaysInvalidArgument) {
    CTreeNode* alpha = Node("\\Top\\Group\\Alpha");
    errno = 0;
    EXPECT_FALSE(RenameNode(alpha, GetParam()));
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(alpha->full_path(), Full("\\Top\\Group\\Alpha"));
    EXPECT_TRUE(fs::exists(Native("Top/Group/Alpha/GUID")));
    EXPECT_EQ(Messages(), std::vector<std::string>{StoreString(
                              IDS_ERR_RENAME, Native("Top/Group/Alpha"), std::strerror(EINVAL))});
    EXPECT_EQ(Boxes()[0].style, unsigned{MB_OK});
    EXPECT_EQ(CachedTreeRevision(), revision_);
}

INSTANTIATE_TEST_SUITE_P(BadNames, RenameRefusalTest,
                         ::testing::Values("", ".", "..", "..\\..\\Escaped", "../Escaped", "a/b",
                                           "a\\b", ".hidden"));

TEST_F(TreeEditTest, DeleteRemovesFilesAndFoldersBelow) {
    CTreeNode* group = Node("\\Top\\Group");
    DeleteNode(group);
    EXPECT_FALSE(fs::exists(Native("Top/Group")));
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(LockFileText(), std::to_string(revision_ + 1));
}

TEST_F(TreeEditTest, DeleteRemovesLaterSiblingsFirstAndReportsEveryFolderLeft) {
    // Folders hidden from the tree keep X and Y from being removed, and so
    // their parent too.
    MakeFolder("Top/Other/X/.keep");
    MakeFolder("Top/Other/Y/.keep");
    ASSERT_NE(Load(), nullptr);
    revision_ = CachedTreeRevision();
    std::vector<std::string> children = ChildNames("\\Top\\Other");
    ASSERT_EQ(children.size(), 2u);
    CTreeNode* other = Node("\\Top\\Other");
    DeleteNode(other);
    const std::string not_empty = std::strerror(ENOTEMPTY);
    EXPECT_EQ(Messages(),
              (std::vector<std::string>{
                  StoreString(IDS_ERR_REMOVE, Native("Top/Other/" + children[1]), not_empty),
                  StoreString(IDS_ERR_REMOVE, Native("Top/Other/" + children[0]), not_empty),
                  StoreString(IDS_ERR_REMOVE, Native("Top/Other"), not_empty)}));
    EXPECT_EQ(CachedTreeRevision(), revision_ + 1);
}

TEST_F(TreeEditTest, DeletingATopLevelFolderFreesTheLockBeforeItsFolderGoes) {
    WriteTextFile(Native("Top/.rev"), "stale");
    CTreeNode* top = Node("\\Top");
    DeleteNode(top);
    EXPECT_FALSE(fs::exists(Native("Top")));
    EXPECT_EQ(LockFileText(), std::to_string(revision_ + 1));
    EXPECT_TRUE(Messages().empty());
}

TEST_F(TreeEditTest, EditsOfANodeFromAnOlderTreeFindItsCounterpart) {
    CTreeNode* other = Node("\\Top\\Other");
    const std::string path = other->full_path();
    // Another process has changed the tree meanwhile; this host reloads.
    WriteTextFile(Native(".rev"), std::to_string(revision_ + 5));
    int reloads = 0;
    SetTreeChangedHandler([&reloads] {
        ++reloads;
        kelmora::LoadProfileTree(false);
    });
    CTreeNode* made = MakeNewFolder(other);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(other, Node("\\Top\\Other"));
    EXPECT_EQ(made->parent(), other);
    EXPECT_EQ(LockFileText(), std::to_string(revision_ + 6));
}

}  // namespace
}  // namespace kelmora

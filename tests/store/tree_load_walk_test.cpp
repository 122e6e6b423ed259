// The walk of the tree load through folder descriptors: listings longer than
// one read, the folder's own times, and the folders a user may not enter or
// list, which the walk treats as the Parts say.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "store/current_tree.h"
#include "store/store_fixture.h"
#include "store/tree_load.h"

namespace kelmora {
namespace {

using test::CStoreTest;
using test::StoreString;
using test::Texts;

class TreeLoadWalkTest : public CStoreTest {};

// Names long enough that a listing of a few hundred takes several reads.
std::string LongName(int i) {
    return std::string(200, 'n') + std::to_string(i);
}

TEST_F(TreeLoadWalkTest, AFileListedAfterManyFoldersStillMakesAProfile) {
    for (int i = 0; i < 300; ++i) MakeFolder("Top/Late/" + LongName(i));
    test::WriteTextFile(Native("Top/Late/zzz-last"), "");
    for (int i = 0; i < 300; ++i) MakeFolder("Top/Many/" + LongName(i));
    ASSERT_NE(Load(), nullptr);
    EXPECT_TRUE(Node("\\Top\\Late")->IsProfile());
    int children = 0;
    for (const CTreeNode* n = Node("\\Top\\Many")->first_child(); n; n = n->next_sibling())
        ++children;
    EXPECT_EQ(children, 300);
}

TEST_F(TreeLoadWalkTest, NodesCarryTheirOwnFoldersTimes) {
    MakeProfileFolder("Top/Proj");
    struct stat top {
    }, proj{};
    ASSERT_EQ(lstat(Native("Top").c_str(), &top), 0);
    ASSERT_EQ(lstat(Native("Top/Proj").c_str(), &proj), 0);
    ASSERT_NE(Load(), nullptr);
    const auto ns = [](const timespec& t) { return t.tv_sec * 1000000000LL + t.tv_nsec; };
    EXPECT_EQ(Node("\\Top")->last_write_time_ns(), ns(top.st_mtim));
    EXPECT_EQ(Node("\\Top\\Proj")->last_write_time_ns(), ns(proj.st_mtim));
}

// A folder the user may not enter is left out; one the user may enter but
// not list fails the load, so that nothing in it is taken for gone.
struct CFolderModeCase {
    const char* name;
    mode_t mode;
    bool in_tree;
    bool has_profile;
    bool loads = true;
};

class TreeLoadPermissionTest : public CStoreTest,
                               public ::testing::WithParamInterface<CFolderModeCase> {};

TEST_P(TreeLoadPermissionTest, FolderModeDecidesWhatIsWalked) {
    if (RunningAsRoot()) GTEST_SKIP() << "root may enter and list every folder";
    MakeProfileFolder("Top/Group/Proj");
    ASSERT_EQ(chmod(Native("Top/Group").c_str(), GetParam().mode), 0);
    const bool loaded = LoadProfileTree(false) != nullptr;
    chmod(Native("Top/Group").c_str(), 0755);
    // A folder that can be entered but not listed would hide what it holds.
    ASSERT_EQ(loaded, GetParam().loads);
    if (!loaded) {
        EXPECT_EQ(Messages(), Texts{StoreString(IDS_ERR_READ_TREE_FOLDER, Native("Top/Group"),
                                                std::strerror(EACCES))});
        return;
    }
    CTreeNode* group = Node("\\Top\\Group");
    EXPECT_EQ(group != nullptr, GetParam().in_tree);
    EXPECT_EQ(Node("\\Top\\Group\\Proj") != nullptr, GetParam().has_profile);
    if (group) {
        EXPECT_FALSE(group->IsProfile());
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, TreeLoadPermissionTest,
                         ::testing::Values(CFolderModeCase{"Open", 0755, true, true},
                                           CFolderModeCase{"ListOnly", 0644, false, false},
                                           CFolderModeCase{"EnterOnly", 0311, true, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelmora

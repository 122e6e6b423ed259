#include "store/tree_load.h"

#include <algorithm>
#include <cstring>

#include "store/current_tree.h"
#include "store/store_fixture.h"
#include "store/tree_lock.h"
#include "store/tree_root.h"

namespace kelmora::test {
namespace {

Texts NamesOfChildren(const CTreeNode* first) {
    Texts names;
    for (const CTreeNode* n = first; n; n = n->next_sibling()) names.push_back(n->Name());
    return names;
}

class TreeLoadTest : public CStoreTest {};

// The setting's value may end in a separator: exactly one is dropped.
struct CRootSettingCase {
    const char* suffix;
    const char* expected_suffix;
};

class TreeRootSettingTest : public CStoreTest,
                            public ::testing::WithParamInterface<CRootSettingCase> {};

TEST_P(TreeRootSettingTest, DropsOneTrailingSeparator) {
    MakeProfileFolder("Stavemark View Profiles/Proj");
    SetProjectRootSetting(root() + GetParam().suffix);
    EXPECT_EQ(ReadTreeRootSetting(), root() + GetParam().expected_suffix);
    CTreeNode* first = Load();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(CurrentTreeRoot(), root() + GetParam().expected_suffix);
    EXPECT_EQ(first->full_path(), CurrentTreeRoot() + "\\Stavemark View Profiles");
    ASSERT_NE(first->first_child(), nullptr);
    EXPECT_EQ(NativePathOfNode(*first->first_child()), Native("Stavemark View Profiles/Proj"));
}

INSTANTIATE_TEST_SUITE_P(Separators, TreeRootSettingTest,
                         ::testing::Values(CRootSettingCase{"\\", ""}, CRootSettingCase{"//", "/"}),
                         [](const auto& info) {
                             return test::CaseName(info.index, info.param.suffix);
                         });

// A setting that names no usable tree, or a root that holds a plain file (so
// all of it is one profile, which cannot get the top folder): one report, on
// screen or in the log, and no lock file made at "/".
TEST_F(TreeLoadTest, UnusableRootIsReportedBeforeAnyLock) {
    const bool top_lock_file_existed = std::filesystem::exists("/.rev");
    MakeFolder("Stavemark View Profiles/Proj");
    test::WriteTextFile(Native("notes.txt"), "x");
    const struct {
        std::string setting, message;
        unsigned icon;
    } cases[] = {
        {"", StoreString(IDS_TREE_ROOT_NOT_SET), MB_ICONSTOP},
        {root() + "/missing", StoreString(IDS_TREE_NOT_FOUND, root() + "/missing"),
         MB_ICONEXCLAMATION},
        // "//" loses one separator and names "/", which has no folder around the tree.
        {"//", StoreString(IDS_TREE_ROOT_IS_DRIVE_ROOT, "/"), MB_ICONEXCLAMATION},
        {root(), StoreString(IDS_TREE_ROOT_HOLDS_FILE, root(), "notes.txt"), MB_ICONEXCLAMATION},
    };
    for (const auto& bad : cases) {
        for (bool to_log : {false, true}) {
            SCOPED_TRACE("setting '" + bad.setting + (to_log ? "' to the log" : "'"));
            Answer("");
            SetProjectRootSetting(bad.setting);
            const std::string log_before = test::OperationLogText();
            EXPECT_EQ(LoadProfileTree(to_log), nullptr);
            EXPECT_EQ(Messages(), to_log ? Texts{} : Texts{bad.message});
            EXPECT_EQ(test::OperationLogText(), log_before + (to_log ? bad.message + "\n" : ""));
            if (!to_log) {
                EXPECT_EQ(Boxes()[0].style, MB_OK | bad.icon);
            }
        }
    }
    EXPECT_EQ(std::filesystem::exists("/.rev"), top_lock_file_existed);
}

TEST_F(TreeLoadTest, EmptyRootGetsTheTopLevelFolder) {
    CTreeNode* first = Load();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(std::filesystem::is_directory(Native("Stavemark View Profiles")));
    EXPECT_EQ(first->full_path(), Full("\\Stavemark View Profiles"));
    EXPECT_EQ(first->next_sibling(), nullptr);
    EXPECT_FALSE(first->IsProfile());
    EXPECT_TRUE(Messages().empty());
}

// Children keep the listing order; a dot folder is no node.
TEST_F(TreeLoadTest, FoldersProfilesAndHiddenEntries) {
    MakeFolder("Stavemark View Profiles/Group/Inner");
    MakeProfileFolder("Stavemark View Profiles/Group/Proj");
    test::WriteTextFile(Native("Stavemark View Profiles/Group/Proj/Rules"),
                        "element * /main/LATEST\n");
    MakeFolder("Stavemark View Profiles/Group/Proj/Sub");  // below a profile: not walked
    MakeFolder("Stavemark View Profiles/.hidden/Proj");
    MakeFolder("Stavemark View Profiles/OnlyLockFile");
    test::WriteTextFile(Native("Stavemark View Profiles/OnlyLockFile/.rev"), "3");
    MakeFolder("Stavemark View Profiles/ExtraFile");
    test::WriteTextFile(Native("Stavemark View Profiles/ExtraFile/whatever"), "");
    MakeFolder("Other/back\\slash");  // has no stored form
    for (const char* name : {"b", "a", "d", "c", "e"}) MakeFolder(std::string("Listed/") + name);

    CTreeNode* first = Load();
    ASSERT_NE(first, nullptr);
    Texts tops = NamesOfChildren(first), listed;
    std::sort(tops.begin(), tops.end());
    EXPECT_EQ(tops, (Texts{"Listed", "Other", "Stavemark View Profiles"}));
    for (const auto& entry : std::filesystem::directory_iterator(Native("Listed")))
        listed.push_back(entry.path().filename().string());
    EXPECT_EQ(NamesOfChildren(Node("\\Listed")->first_child()), listed);

    CTreeNode* group = Node("\\Stavemark View Profiles\\Group");
    ASSERT_NE(group, nullptr);
    EXPECT_FALSE(group->IsProfile());
    CTreeNode* proj = Node("\\Stavemark View Profiles\\Group\\Proj");
    ASSERT_NE(proj, nullptr);
    EXPECT_EQ(proj->profile_state(), ProfileState::kNotLoaded);
    EXPECT_EQ(proj->first_child(), nullptr);
    EXPECT_EQ(proj->parent(), group);
    EXPECT_EQ(Node("\\Stavemark View Profiles\\Group\\Proj\\Sub"), nullptr);
    EXPECT_FALSE(Node("\\Stavemark View Profiles\\Group\\Inner")->IsProfile());
    EXPECT_EQ(Node("\\Stavemark View Profiles\\.hidden"), nullptr);
    EXPECT_FALSE(Node("\\Stavemark View Profiles\\OnlyLockFile")->IsProfile());
    EXPECT_TRUE(Node("\\Stavemark View Profiles\\ExtraFile")->IsProfile());
    EXPECT_EQ(Node("\\Other")->first_child(), nullptr);
    // Finding by path stamps the node found, and matches letter case exactly.
    SetCachedTreeRevision(78);
    const std::string inner = "\\Stavemark View Profiles\\Group\\Inner";
    EXPECT_EQ(FindNodeByPath(first, Full(inner))->revision_stamp(), 78);
    EXPECT_EQ(FindNodeByPath(first, Full("\\stavemark view profiles\\group\\inner")), nullptr);
}

}  // namespace
}  // namespace kelmora::test

#include "store/tree_load.h"

#include <sys/stat.h>

#include <algorithm>
#include <tuple>
#include <utility>

#include "store/current_tree.h"
#include "store/profile_listing.h"
#include "store/requests_in_flight.h"
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

// Exactly one trailing separator is dropped; an empty root gets the top-level folder.
struct CRootSettingCase {
    const char* suffix;
    const char* expected_suffix;
};

class TreeRootSettingTest : public CStoreTest,
                            public ::testing::WithParamInterface<CRootSettingCase> {};

TEST_P(TreeRootSettingTest, DropsOneTrailingSeparator) {
    SetProjectRootSetting(root() + GetParam().suffix);
    EXPECT_EQ(ReadTreeRootSetting(), root() + GetParam().expected_suffix);
    CTreeNode* first = Load();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(CurrentTreeRoot(), root() + GetParam().expected_suffix);
    EXPECT_EQ(first->full_path(), CurrentTreeRoot() + "\\Stavemark View Profiles");
    EXPECT_TRUE(std::filesystem::is_directory(Native("Stavemark View Profiles")));
    EXPECT_TRUE(Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Separators, TreeRootSettingTest,
                         ::testing::Values(CRootSettingCase{"\\", ""}, CRootSettingCase{"//", "/"}),
                         [](const auto& info) {
                             return test::CaseName(info.index, info.param.suffix);
                         });

// A root holding a plain file is one profile, which cannot get the top folder.
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

// A profile holds a plain file other than a lock file; children keep the listing order.
TEST_F(TreeLoadTest, FoldersProfilesAndHiddenEntries) {
    MakeFolder("Stavemark View Profiles/Group/Inner");
    MakeProfileFolder("Stavemark View Profiles/Group/Proj");
    MakeFolder("Stavemark View Profiles/Group/Proj/Sub");
    MakeFolder("Stavemark View Profiles/.hidden/Proj");
    MakeFolder("Stavemark View Profiles/OnlyLockFile");
    test::WriteTextFile(Native("Stavemark View Profiles/OnlyLockFile/.rev"), "3");
    MakeFolder("Stavemark View Profiles/ExtraFile");
    test::WriteTextFile(Native("Stavemark View Profiles/ExtraFile/whatever"), "");
    MakeFolder("Other/back\\slash");
    for (const char* name : {"b", "a", "d", "c", "e"}) MakeFolder(std::string("Listed/") + name);

    CTreeNode* first = Load();
    Texts nodes, listed;
    SearchTree(first, [&](CTreeNode& node) {
        nodes.push_back(node.full_path().substr(root().size()) + (node.IsProfile() ? " P" : ""));
        return false;
    });
    std::sort(nodes.begin(), nodes.end());
    const std::string top = "\\Stavemark View Profiles";
    EXPECT_EQ(nodes,
              (Texts{"\\Listed", "\\Listed\\a", "\\Listed\\b", "\\Listed\\c", "\\Listed\\d",
                     "\\Listed\\e", "\\Other", top, top + "\\ExtraFile P", top + "\\Group",
                     top + "\\Group\\Inner", top + "\\Group\\Proj P", top + "\\OnlyLockFile"}));
    for (const auto& entry : std::filesystem::directory_iterator(Native("Listed")))
        listed.push_back(entry.path().filename().string());
    EXPECT_EQ(NamesOfChildren(Node("\\Listed")->first_child()), listed);
    // Finding by path stamps the node found, and matches letter case exactly.
    SetCachedTreeRevision(78);
    EXPECT_EQ(FindNodeByPath(first, Full(top + "\\Group\\Inner"))->revision_stamp(), 78);
    EXPECT_EQ(FindNodeByPath(first, Full("\\stavemark view profiles\\group\\inner")), nullptr);
}

TEST_F(TreeLoadTest, AListingPutsEachFolderBeforeItsChildrenAndAProfilesFirstDescriptionLine) {
    MakeProfileFolder("Top/Proj");
    test::WriteTextFile(Native("Top/Proj/Description"), "first\r\nsecond");
    std::vector<CProfileEntry> entries;
    ASSERT_TRUE(LoadAndListProfileTree(&entries));
    Texts listed;
    for (const CProfileEntry& entry : entries)
        listed.push_back(std::to_string(entry.depth) + entry.name +
                         (entry.is_profile ? " P " : " ") + entry.description);
    EXPECT_EQ(listed, (Texts{"0\\Top ", "1\\Top\\Proj P first"}));
}

// Names long enough that a listing of a few hundred takes several reads.
TEST_F(TreeLoadTest, AFileListedAfterManyFoldersStillMakesAProfile) {
    for (int i = 0; i < 300; ++i) {
        MakeFolder("Top/Late/" + std::string(200, 'n') + std::to_string(i));
        MakeFolder("Top/Many/" + std::string(200, 'n') + std::to_string(i));
    }
    test::WriteTextFile(Native("Top/Late/zzz-last"), "");
    ASSERT_NE(Load(), nullptr);
    EXPECT_TRUE(Node("\\Top\\Late")->IsProfile());
    EXPECT_EQ(NamesOfChildren(Node("\\Top\\Many")->first_child()).size(), 300u);
}

TEST_F(TreeLoadTest, RequestsInFlightComeFromTheVariableThenTheSetting) {
    const std::tuple<const char*, const char*, unsigned> cases[] = {
        {nullptr, "", 16}, {"7", "5", 7}, {"0", "5", 5}, {"3x", "", 16}, {"300", "", 256}};
    for (const auto& [variable, setting, width] : cases) {
        CScopedEnv env("KELMORA_REQUESTS_IN_FLIGHT", variable);
        SetMachineSetting("RequestsInFlight", setting);
        EXPECT_EQ(RequestsInFlight(), width) << (variable ? variable : "-") << " " << setting;
    }
    SetMachineSetting("RequestsInFlight", "");
}

// A folder the user may enter but not list fails the load, so that nothing in it is taken for gone.
struct CParallelWalkCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> links;  // at, pointing to
    std::vector<std::pair<const char*, mode_t>> modes;
    const char* shown;             // in the answer of either walk
    const char* absent = "\\up ";  // not in it: a link is no node
};

class ParallelWalkTest : public CStoreTest,
                         public ::testing::WithParamInterface<CParallelWalkCase> {
protected:
    // Nodes (a profile with its GUID read), then messages; just messages when there is no tree.
    std::string LoadWith(const char* in_flight) {
        CScopedEnv width("KELMORA_REQUESTS_IN_FLIGHT", in_flight);
        Answer("");
        std::string answer;
        SearchTree(LoadProfileTree(false, {{"GUID"}}), [&](CTreeNode& node) {
            const CProfileFileRead* guid = WalkFileRead(node, "GUID");
            answer +=
                node.full_path() + (node.IsProfile() ? " profile " : " folder ") +
                (guid ? std::to_string(static_cast<int>(guid->cause)) + " " + guid->text : "-") +
                " " + std::to_string(node.last_write_time_ns()) + "\n";
            return false;
        });
        for (const std::string& message : Messages()) answer += message + "\n";
        return answer;
    }
};

TEST_P(ParallelWalkTest, GivesTheTreeAndMessagesOfOneRequestAtATime) {
    if (!GetParam().modes.empty() && RunningAsRoot()) GTEST_SKIP() << "root reads every folder";
    for (int group = 0; group < 24; ++group) {
        for (int profile = 0; profile < 3; ++profile)
            MakeProfileFolder("Top/G" + std::to_string(group) + "/P" + std::to_string(profile));
    }
    MakeFolder("Top/G5/Deep/Deeper");
    for (const auto& [at, to] : GetParam().links)
        std::filesystem::create_directory_symlink(Native(to), Native(at));
    for (const auto& [folder, mode] : GetParam().modes) chmod(Native(folder).c_str(), mode);
    const std::string one_at_a_time = LoadWith("1");
    const std::string sixteen = LoadWith("16");
    for (const auto& [folder, mode] : GetParam().modes) chmod(Native(folder).c_str(), 0755);
    EXPECT_EQ(sixteen, one_at_a_time);
    EXPECT_NE(one_at_a_time.find(GetParam().shown), std::string::npos) << one_at_a_time;
    EXPECT_EQ(one_at_a_time.find(GetParam().absent), std::string::npos) << one_at_a_time;
}

INSTANTIATE_TEST_SUITE_P(
    Trees, ParallelWalkTest,
    ::testing::Values(
        CParallelWalkCase{"LinksAndLoops",
                          {{"Top/G5/Deep/up", "Top"},
                           {"Top/G7/side", "Top/G5"},
                           {"Top/G9/P0/loop", "Top/G9"},
                           {"Top/Linked", "Top/G2/P1"}},
                          {},
                          "Top\\G5\\Deep\\Deeper folder - "},
        CParallelWalkCase{
            "FoldersNotEntered",
            {},
            // A profile folder found by its GUID file needs no listing.
            {{"Top/G3", 0644}, {"Top/G11/P2", 0}, {"Top/G20", 0600}, {"Top/G11/P1", 0311}},
            "Top\\G11\\P1 profile 0 guid-of-Top/G11/P1 1.0 ",
            "Top\\G3"},
        CParallelWalkCase{
            "GuidFilesNotRead", {}, {{"Top/G8/P1/GUID", 0}}, "Top\\G8\\P1 profile 2  "},
        CParallelWalkCase{
            "FailedListings",
            {{"Top/G4/up", "Top"}},
            {{"Top/G2", 0644}, {"Top/G6", 0311}, {"Top/G5/Deep", 0311}, {"Top/G19", 0311}},
            "Top/G19\n\nof the View Profile tree: Permission denied"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelmora::test

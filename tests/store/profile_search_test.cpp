#include "store/profile_search.h"

#include <map>
#include <mutex>
#include <set>

#include "automation/view_profile.h"
#include "store/current_tree.h"
#include "store/store_fixture.h"

namespace kelmora::test {
namespace {

class ProfileSearchTest : public CStoreTest {
protected:
    void SetUp() override {
        CStoreTest::SetUp();
        MakeProfileFolder("Top/A/First", "11111111-aaaa-bbbb-cccc-000000000001 1.2");
        MakeProfileFolder("Top/A/Padded", "  \t22222222-aaaa-bbbb-cccc-000000000002 3.4");
        MakeProfileFolder("Top/B/Bare", "33333333-aaaa-bbbb-cccc-000000000003");
        MakeFolder("Top/B/NoGuid");
        test::WriteTextFile(Native("Top/B/NoGuid/Rules"), "rules");
        MakeFolder("Second/C");
        MakeProfileFolder("Second/C/Last", "44444444-aaaa-bbbb-cccc-000000000004 0.0");
        ASSERT_NE(Load(), nullptr);
    }

    // Reads with the real file, recording what was read.
    CGuidFileReaders Reader() {
        const auto read = [this](const std::string& path, std::string* text) {
            std::lock_guard lock(read_mutex_);
            read_.push_back(path);
            std::error_code ec;
            *text = std::filesystem::exists(path, ec) ? ReadTextFile(path) : "";
            return !failing_.count(path);
        };
        return {[read](const std::string& path, std::string* text) {
                    return read(path, text) ? FileErrorCause::None : FileErrorCause::AccessDenied;
                },
                read};
    }

    std::string Find(const std::string& guid) {
        CTreeNode* node = FindProfileNodeByGuid(CurrentTree(), guid, Reader());
        return node ? ProfileNameOfNode(*node) : "(none)";
    }

    std::mutex read_mutex_;
    std::vector<std::string> read_;
    std::set<std::string> failing_;
};

TEST_F(ProfileSearchTest, FindsByTheWholeTextBeforeTheFirstBlank) {
    // One at a time, the reads come in search order.
    setenv("KELMORA_REQUESTS_IN_FLIGHT", "1", 1);
    EXPECT_EQ(Find("11111111-AAAA-BBBB-CCCC-000000000001"), "(none)");
    EXPECT_EQ(Find("11111111"), "(none)");
    EXPECT_EQ(Find(""), "(none)");
    // Every profile's GUID file was read once; folders were not.
    EXPECT_EQ(read_.size(), 15u);
    EXPECT_EQ(std::set<std::string>(read_.begin(), read_.end()).size(), 5u);
    // A search stops at the first profile in its order that has the GUID.
    const std::vector<std::string> order(read_.begin(), read_.begin() + 5);
    const std::map<std::string, std::string> guids = {
        {Native("Top/A/First/GUID"), "11111111-aaaa-bbbb-cccc-000000000001"},
        {Native("Top/A/Padded/GUID"), "22222222-aaaa-bbbb-cccc-000000000002"},
        {Native("Top/B/Bare/GUID"), "33333333-aaaa-bbbb-cccc-000000000003"},
        {Native("Second/C/Last/GUID"), "44444444-aaaa-bbbb-cccc-000000000004"}};
    size_t at = 0;
    while (!guids.count(order[at])) ++at;
    read_.clear();
    EXPECT_NE(Find(guids.at(order[at])), "(none)");
    unsetenv("KELMORA_REQUESTS_IN_FLIGHT");
    EXPECT_EQ(read_, std::vector<std::string>(order.begin(), order.begin() + at + 1));
    EXPECT_EQ(Find("11111111-aaaa-bbbb-cccc-000000000001"), "\\Top\\A\\First");
    EXPECT_EQ(Find("22222222-aaaa-bbbb-cccc-000000000002"), "\\Top\\A\\Padded");
    EXPECT_EQ(Find("33333333-aaaa-bbbb-cccc-000000000003"), "\\Top\\B\\Bare");
    EXPECT_EQ(Find("44444444-aaaa-bbbb-cccc-000000000004"), "\\Second\\C\\Last");
}

// A failed read is passed over; a loaded profile's GUID file is not read.
TEST_F(ProfileSearchTest, FailedReadsAndLoadedProfilesArePassedOver) {
    failing_.insert(Native("Top/A/Padded/GUID"));
    Node("\\Top\\A\\First")->SetProfileRecord(std::make_unique<CProfileRecord>());
    EXPECT_EQ(Find("11111111-aaaa-bbbb-cccc-000000000001"), "(none)");
    EXPECT_EQ(Find("22222222-aaaa-bbbb-cccc-000000000002"), "(none)");
    EXPECT_EQ(Find("44444444-aaaa-bbbb-cccc-000000000004"), "\\Second\\C\\Last");
    for (const std::string& path : read_) EXPECT_NE(path, Native("Top/A/First/GUID"));
}

class ProfilePathByGuidTest : public ProfileSearchTest {
protected:
    CViewProfile object_;
};

TEST_F(ProfilePathByGuidTest, EveryCallLoadsTheTreeAndGivesTheNameBelowItsRoot) {
    std::string name = "unchanged";
    EXPECT_FALSE(object_.ProfilePathByGuid("55555555-aaaa-bbbb-cccc-000000000005", &name));
    EXPECT_EQ(name, "unchanged");
    EXPECT_TRUE(object_.ProfilePathByGuid("44444444-aaaa-bbbb-cccc-000000000004", &name));
    EXPECT_EQ(name, "\\Second\\C\\Last");
    std::filesystem::rename(Native("Second/C"), Native("Second/Moved"));
    EXPECT_TRUE(object_.ProfilePathByGuid("44444444-aaaa-bbbb-cccc-000000000004", &name));
    EXPECT_EQ(name, "\\Second\\Moved\\Last");
    EXPECT_TRUE(Messages().empty());

    SetProjectRootSetting("");
    EXPECT_FALSE(object_.ProfilePathByGuid("44444444-aaaa-bbbb-cccc-000000000004", &name));
    EXPECT_EQ(Messages(), test::Texts{LoadString(IDS_TREE_ROOT_NOT_SET)});
    EXPECT_EQ(name, "\\Second\\Moved\\Last");
}

// One request at a time, a match early in the search's order leaves the
// profiles after it unread, and a folder holding a folder named GUID is no
// profile even where the walk no longer reads.
TEST_F(ProfilePathByGuidTest, AnEarlyMatchLeavesTheRestUnread) {
    MakeFolder("Top/Y/X/GUID");
    CScopedEnv one_at_a_time("KELMORA_REQUESTS_IN_FLIGHT", "1");
    std::string name;
    ASSERT_TRUE(object_.ProfilePathByGuid("11111111-aaaa-bbbb-cccc-000000000001", &name));
    int unread = 0;
    SearchTree(CurrentTree(), [&](CTreeNode& node) {
        unread += node.IsProfile() && !WalkFileRead(node, "GUID");
        return false;
    });
    EXPECT_GT(unread, 0);
    EXPECT_FALSE(Node("\\Top\\Y\\X")->IsProfile());
}

// The walk that stops reading at the first profile naming the GUID answers
// as the search through the whole walk: a match shallow and deep, and of the
// profiles sharing a GUID the first in search order.
TEST_F(ProfilePathByGuidTest, StoppingAtTheFirstFindAnswersAsTheWholeWalk) {
    // Either way round, one of the two GUIDs is first deep in the search's order.
    for (const auto& [shallow, deep] : {std::pair{"Top", "Second"}, {"Second", "Top"}}) {
        MakeProfileFolder(std::string(shallow) + "/S", std::string(shallow) + " 1.0");
        MakeProfileFolder(std::string(deep) + "/D/E/F/G", std::string(shallow) + " 1.0");
    }
    for (int i = 0; i < 20; ++i) MakeProfileFolder("Top/B/P" + std::to_string(i), "dup 1.0");
    ASSERT_NE(Load(), nullptr);
    for (const char* guid :
         {"Top", "Second", "dup", "44444444-aaaa-bbbb-cccc-000000000004", "missing"}) {
        const std::string whole = Find(guid);
        std::string name = "(none)";
        object_.ProfilePathByGuid(guid, &name);
        EXPECT_EQ(name, whole) << guid;
        // The search met no profile that the walk left unread.
        SearchTree(CurrentTree(), [&](CTreeNode& node) {
            if (node.IsProfile()) {
                EXPECT_NE(WalkFileRead(node, "GUID"), nullptr) << guid;
            }
            return ProfileNameOfNode(node) == name;
        });
    }
}

}  // namespace
}  // namespace kelmora::test

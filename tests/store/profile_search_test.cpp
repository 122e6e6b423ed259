// The readers of profile files that wait for writers, and the search by GUID.
#include "store/profile_search.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>

#include "automation/view_profile.h"
#include "platform/fs.h"
#include "store/current_tree.h"
#include "store/profile_files.h"
#include "store/profile_layout.h"
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
    // Every profile's GUID file was read once; folders were not.
    EXPECT_EQ(read_.size(), 10u);
    EXPECT_EQ(std::set<std::string>(read_.begin(), read_.end()).size(), 5u);
    // A search stops at the first profile in its order that has the GUID.
    const std::vector<std::string> order(read_.begin(), read_.begin() + 5);
    const size_t at = order[0] == Native("Top/B/NoGuid/GUID") ? 1 : 0;
    read_.clear();
    EXPECT_NE(Find(GuidOfGuidFileText(ReadTextFile(order[at]))), "(none)");
    unsetenv("KELMORA_REQUESTS_IN_FLIGHT");
    EXPECT_EQ(read_, std::vector<std::string>(order.begin(), order.begin() + at + 1));
    EXPECT_EQ(Find("11111111-aaaa-bbbb-cccc-000000000001"), "\\Top\\A\\First");
    EXPECT_EQ(Find("22222222-aaaa-bbbb-cccc-000000000002"), "\\Top\\A\\Padded");
    EXPECT_EQ(Find("33333333-aaaa-bbbb-cccc-000000000003"), "\\Top\\B\\Bare");
    EXPECT_EQ(Find("44444444-aaaa-bbbb-cccc-000000000004"), "\\Second\\C\\Last");
}

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
    MakeProfileFolder("Top/B/Blank", " \r\n");
    EXPECT_FALSE(object_.ProfilePathByGuid("", &name));
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

TEST_F(ProfilePathByGuidTest, GuidFileHeldByAWriterCostsTheRetriesAndTheSearchGoesOn) {
    const std::string held = Native("Top/A/First/GUID");
    CChildProcess writer({BuiltProgram("file_holder"), held, "write", "exclusive"});
    ASSERT_EQ(writer.ReadLine(), "opened");
    object_.SetErrorString("Looking up the profile.\n\n");
    std::string name;
    EXPECT_TRUE(object_.ProfilePathByGuid("44444444-aaaa-bbbb-cccc-000000000004", &name));
    EXPECT_EQ(name, "\\Second\\C\\Last");
    EXPECT_EQ(test::CRecordedSleep::calls, std::vector<unsigned>(10, 3000));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_TRUE(Messages()[0].starts_with("Looking up the profile.\n\n"));
    EXPECT_NE(Messages()[0].find("'" + held + "'"), std::string::npos);
    writer.Finish();
}

// A folder holding a folder named GUID is no profile even where the walk no longer reads.
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

// A match shallow and deep, and of the profiles sharing a GUID the first in search order.
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

// The reader's waits are recorded; another process holds files as a tree
// editor saving the profile does.
class ProfileFileReadTest : public CStoreTest {
protected:
    void SetUp() override {
        CStoreTest::SetUp();
        profile_.SetErrorString("Cannot read the profile.\n\n");
    }

    BOOL Read(const std::string& path, BOOL must_exist, BOOL first_block_only = FALSE) {
        text_ = "stale";
        return profile_.ReadProfileFile(path, &text_, must_exist, first_block_only);
    }
    std::string OpenError(int error, const std::string& path) const {
        return "Cannot read the profile.\n\nError " + std::to_string(error) +
               " while trying to open '" + path + "':\n" + std::strerror(error);
    }

    CViewProfile profile_;
    std::string text_;
};

// Only a writer's refusal is waited for: a folder, like a file the user may
// not read, is refused at once.
TEST_F(ProfileFileReadTest, MissingFileIsEmptyAtOnceAndReportedOnlyWhenRequired) {
    EXPECT_EQ(Read(temp_ / "VOB List", FALSE), TRUE);
    EXPECT_EQ(text_, "");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Read(temp_ / "Rules", TRUE), FALSE);
    EXPECT_EQ(text_, "");
    ASSERT_TRUE(MakeDirectory(temp_ / "GUID"));
    EXPECT_EQ(Read(temp_ / "GUID", TRUE), FALSE);
    EXPECT_TRUE(CRecordedSleep::calls.empty());
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[0].text, OpenError(ENOENT, temp_ / "Rules"));
    EXPECT_EQ(Boxes()[0].style, MB_OK);
    EXPECT_EQ(Boxes()[1].text, OpenError(EISDIR, temp_ / "GUID"));
}

// A writer that lets go during the n-th wait: the next open reads the file,
// up to the eleventh open after the tenth wait; a file removed meanwhile is
// missing then, an error only when it must exist.
struct CReleaseCase {
    size_t wait;
    bool removed;
    BOOL must_exist;
};

class ProfileFileReleaseTest : public ProfileFileReadTest,
                               public ::testing::WithParamInterface<CReleaseCase> {};

TEST_P(ProfileFileReleaseTest, FileReleasedDuringAWaitIsRead) {
    const CReleaseCase c = GetParam();
    const std::string path = temp_ / "GUID";
    test::WriteTextFile(path, "4f1c 1.7");
    auto writer = std::make_unique<CChildProcess>(
        Texts{BuiltProgram("file_holder"), path, "write", "exclusive"});
    ASSERT_EQ(writer->ReadLine(), "opened");
    CRecordedSleep::action = [&](size_t n) {
        if (n != c.wait) return;
        if (c.removed) RemoveFile(path);
        writer->Finish();
    };
    // The program is told once what it waits for.
    std::vector<std::string> notices;
    SetWaitNoticeHandler([&](const std::string& what) { notices.push_back(what); });
    EXPECT_EQ(Read(path, c.must_exist), c.removed && c.must_exist ? FALSE : TRUE);
    SetWaitNoticeHandler(nullptr);
    EXPECT_EQ(notices, std::vector<std::string>{path});
    EXPECT_EQ(text_, c.removed ? "" : "4f1c 1.7");
    EXPECT_EQ(CRecordedSleep::calls.size(), c.wait);
    EXPECT_EQ(Messages(), c.removed && c.must_exist ? Texts{OpenError(ENOENT, path)} : Texts{});
}

INSTANTIATE_TEST_SUITE_P(
    Waits, ProfileFileReleaseTest,
    ::testing::Values(CReleaseCase{1, false, TRUE}, CReleaseCase{10, false, TRUE},
                      CReleaseCase{2, true, FALSE}, CReleaseCase{2, true, TRUE}),
    [](const auto& info) {
        return std::string(info.param.removed ? "RemovedAtWait" : "AfterWait") +
               std::to_string(info.param.wait) + (info.param.must_exist ? "" : "Optional");
    });

TEST_F(ProfileFileReadTest, ReadsByBlocksAndANulEndsTheTextOfItsBlockOnly) {
    const std::string path = temp_ / "Description";
    std::string first(kProfileFileBlockSize, 'b');
    first.replace(0, 11, std::string("aaaaaaaaaa\0", 11));
    test::WriteTextFile(path, first + std::string(kProfileFileBlockSize + 905, 'c'));
    ASSERT_EQ(Read(path, TRUE), TRUE);
    EXPECT_EQ(text_, std::string(10, 'a') + std::string(kProfileFileBlockSize + 905, 'c'));
    std::string tried;  // the quiet reader of the searches reads the same
    EXPECT_EQ(TryReadProfileFile(path, &tried), FileErrorCause::None);
    EXPECT_EQ(tried, text_);
    ASSERT_EQ(Read(path, TRUE, TRUE), TRUE);
    EXPECT_EQ(text_, std::string(10, 'a'));
}

// The one test of the reader's wait on the real clock.
class ProfileFileReadSlow : public ProfileFileReadTest {};

TEST_F(ProfileFileReadSlow, RealWaitBetweenOpensWhileAnotherProcessWrites) {
    CScopedSleep real_clock(nullptr);
    const std::string path = temp_ / "Rules";
    test::WriteTextFile(path, "element * CHECKEDOUT\n");
    // Lets go after one second, well inside the first wait.
    test::CChildProcess writer(
        {test::BuiltProgram("file_holder"), path, "write", "exclusive", "1000"});
    ASSERT_EQ(writer.ReadLine(), "opened");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Read(path, TRUE), TRUE);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(text_, "element * CHECKEDOUT\n");
    EXPECT_GE(elapsed, std::chrono::milliseconds(kProfileFileRetryMs));
    EXPECT_LT(elapsed, std::chrono::milliseconds(2 * kProfileFileRetryMs));
    EXPECT_TRUE(Boxes().empty());
}

}  // namespace
}  // namespace kelmora::test

#include "store/profile_files.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include "automation/view_profile.h"
#include "platform/fs.h"
#include "store/store_fixture.h"

namespace kelmora::test {
namespace {

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
    // Plain names, not a structured binding: the lambda below captures them.
    const size_t wait = GetParam().wait;
    const bool removed = GetParam().removed;
    const BOOL must_exist = GetParam().must_exist;
    const std::string path = temp_ / "GUID";
    test::WriteTextFile(path, "4f1c 1.7");
    auto writer = test::HoldFileElsewhere(path);
    CRecordedSleep::action = [&](size_t n) {
        if (n != wait) return;
        if (removed) RemoveFile(path);
        writer->Finish();
    };
    // The program is told once what it waits for.
    std::vector<std::string> notices;
    SetWaitNoticeHandler([&](const std::string& what) { notices.push_back(what); });
    EXPECT_EQ(Read(path, must_exist), removed && must_exist ? FALSE : TRUE);
    SetWaitNoticeHandler(nullptr);
    EXPECT_EQ(notices, std::vector<std::string>{path});
    EXPECT_EQ(text_, removed ? "" : "4f1c 1.7");
    EXPECT_EQ(CRecordedSleep::calls.size(), wait);
    EXPECT_EQ(Messages(), removed && must_exist ? Texts{OpenError(ENOENT, path)} : Texts{});
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

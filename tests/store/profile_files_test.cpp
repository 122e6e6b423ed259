#include "store/profile_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <vector>

#include "automation/view_profile.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "platform/sleep.h"
#include "support/scripted_ui.h"
#include "support/test_env.h"

namespace kelmora {
namespace {

// The reader's waits, recorded instead of slept; a test may act on the n-th.
std::vector<unsigned> g_waits;
std::function<void(size_t)> g_on_wait;

void RecordingSleep(unsigned milliseconds) {
    g_waits.push_back(milliseconds);
    if (g_on_wait) g_on_wait(g_waits.size());
}

std::string OpenErrorText(const std::string& prefix, int error, const std::string& path) {
    return prefix + "Error " + std::to_string(error) + " while trying to open '" + path + "':\n" +
           std::strerror(error);
}

class ProfileFileReadTest : public ::testing::Test {
protected:
    ProfileFileReadTest() : sleep_(&RecordingSleep) {
        g_waits.clear();
        g_on_wait = nullptr;
        profile_.SetErrorString("Cannot read the profile.\n\n");
    }
    ~ProfileFileReadTest() override { g_on_wait = nullptr; }

    // Keeps the file open as a writer does: nobody else may open it.
    void HoldAsWriter(const std::string& path) {
        CFileException error;
        ASSERT_TRUE(holder_.Open(path, FileAccess::ReadWrite, FileShare::Exclusive,
                                 FileCreate::OpenAlways, &error));
    }

    CScopedSleep sleep_;
    test::CScriptedUserInterface ui_;
    test::CTempDir dir_;
    CViewProfile profile_;
    CFile holder_;
};

TEST_F(ProfileFileReadTest, MissingOptionalFileIsEmptyAtOnce) {
    std::string text = "stale";
    EXPECT_EQ(profile_.ReadProfileFile(dir_ / "VOB List", &text, FALSE, FALSE), TRUE);
    EXPECT_EQ(text, "");
    EXPECT_TRUE(ui_.shown().empty());
    EXPECT_TRUE(g_waits.empty());
}

TEST_F(ProfileFileReadTest, MissingRequiredFileIsReportedWithoutWaiting) {
    std::string text = "stale";
    std::string path = dir_ / "Rules";
    EXPECT_EQ(profile_.ReadProfileFile(path, &text, TRUE, FALSE), FALSE);
    EXPECT_EQ(text, "");
    EXPECT_TRUE(g_waits.empty());
    ASSERT_EQ(ui_.shown().size(), 1u);
    EXPECT_EQ(ui_.shown()[0].text, OpenErrorText(profile_.error_prefix(), ENOENT, path));
    EXPECT_EQ(ui_.shown()[0].style, MB_OK);
}

TEST_F(ProfileFileReadTest, FileHeldByAWriterCostsElevenOpensTenWaitsThenAReport) {
    std::string path = dir_ / "Rules";
    test::WriteTextFile(path, "element * CHECKEDOUT\n");
    HoldAsWriter(path);
    std::string text;
    EXPECT_EQ(profile_.ReadProfileFile(path, &text, FALSE, FALSE), FALSE);
    EXPECT_EQ(g_waits, std::vector<unsigned>(kProfileFileOpenAttempts - 1, kProfileFileRetryMs));
    EXPECT_EQ(text, "");
    ASSERT_EQ(ui_.shown().size(), 1u);
    EXPECT_EQ(ui_.shown()[0].text, OpenErrorText(profile_.error_prefix(), EAGAIN, path));
}

TEST_F(ProfileFileReadTest, FileReleasedBetweenAttemptsIsRead) {
    std::string path = dir_ / "GUID";
    test::WriteTextFile(path, "4f1c 1.7");
    HoldAsWriter(path);
    g_on_wait = [&](size_t n) {
        if (n == 3) holder_.Close();
    };
    std::string text;
    EXPECT_EQ(profile_.ReadProfileFile(path, &text, TRUE, FALSE), TRUE);
    EXPECT_EQ(text, "4f1c 1.7");
    EXPECT_EQ(g_waits.size(), 3u);
    EXPECT_TRUE(ui_.shown().empty());
}

TEST_F(ProfileFileReadTest, FileRemovedWhileWaitingIsMissingOnTheNextAttempt) {
    for (BOOL must_exist : {FALSE, TRUE}) {
        g_waits.clear();
        std::string path = dir_ / "Checkpoints";
        test::WriteTextFile(path, "cp1");
        HoldAsWriter(path);
        g_on_wait = [&](size_t n) {
            if (n != 2) return;
            RemoveFile(path);
            holder_.Close();
        };
        std::string text;
        EXPECT_EQ(profile_.ReadProfileFile(path, &text, must_exist, FALSE),
                  must_exist ? FALSE : TRUE);
        EXPECT_EQ(text, "");
        EXPECT_EQ(g_waits.size(), 2u);
    }
    ASSERT_EQ(ui_.shown().size(), 1u);
    EXPECT_EQ(ui_.shown()[0].text,
              OpenErrorText(profile_.error_prefix(), ENOENT, dir_ / "Checkpoints"));
}

TEST_F(ProfileFileReadTest, FirstBlockOnlyStopsAfterOneBlock) {
    std::string path = dir_ / "cspec";
    std::string content;
    for (int i = 0; content.size() < 10000; ++i) content += static_cast<char>('a' + i % 26);
    content.resize(10000);
    test::WriteTextFile(path, content);
    std::string text;
    ASSERT_EQ(profile_.ReadProfileFile(path, &text, TRUE, TRUE), TRUE);
    EXPECT_EQ(text, content.substr(0, kProfileFileBlockSize));
    ASSERT_EQ(profile_.ReadProfileFile(path, &text, TRUE, FALSE), TRUE);
    EXPECT_EQ(text, content);
}

TEST_F(ProfileFileReadTest, NulEndsTheTextOfItsBlockOnly) {
    std::string path = dir_ / "Description";
    std::string first(kProfileFileBlockSize, 'b');
    first.replace(0, 11, std::string("aaaaaaaaaa\0", 11));
    test::WriteTextFile(path, first + std::string(905, 'c'));
    std::string text;
    ASSERT_EQ(profile_.ReadProfileFile(path, &text, TRUE, FALSE), TRUE);
    EXPECT_EQ(text, std::string(10, 'a') + std::string(905, 'c'));
}

TEST_F(ProfileFileReadTest, SuppressedReportGoesToTheLogNotTheScreen) {
    profile_.SuppressErrorDisplay(TRUE);
    std::string text;
    EXPECT_EQ(profile_.ReadProfileFile(dir_ / "Rules", &text, TRUE, FALSE), FALSE);
    EXPECT_TRUE(ui_.shown().empty());
}

// Another process holds the file as a writer, as a tree editor saving the
// profile does.
TEST_F(ProfileFileReadTest, WriterInAnotherProcessIsWaitedForAndThenRead) {
    std::string path = dir_ / "Rules";
    test::WriteTextFile(path, "element * /main/LATEST\n");
    test::CChildProcess writer({test::BuiltProgram("file_holder"), path, "write", "exclusive"});
    ASSERT_EQ(writer.ReadLine(), "opened");
    g_on_wait = [&](size_t n) {
        if (n == 2) writer.Finish();
    };
    std::string text;
    EXPECT_EQ(profile_.ReadProfileFile(path, &text, TRUE, FALSE), TRUE);
    EXPECT_EQ(text, "element * /main/LATEST\n");
    EXPECT_EQ(g_waits.size(), 2u);
}

TEST_F(ProfileFileReadTest, WriterInAnotherProcessThatNeverLetsGoIsReported) {
    std::string path = dir_ / "Rules";
    test::WriteTextFile(path, "x");
    test::CChildProcess writer({test::BuiltProgram("file_holder"), path, "write", "exclusive"});
    ASSERT_EQ(writer.ReadLine(), "opened");
    std::string text;
    EXPECT_EQ(profile_.ReadProfileFile(path, &text, TRUE, FALSE), FALSE);
    EXPECT_EQ(g_waits.size(), static_cast<size_t>(kProfileFileOpenAttempts - 1));
    ASSERT_EQ(ui_.shown().size(), 1u);
    EXPECT_EQ(ui_.shown()[0].text, OpenErrorText(profile_.error_prefix(), EAGAIN, path));
}

// The one test of the reader's wait on the real clock.
TEST(ProfileFileReadSlow, RealWaitBetweenOpensWhileAnotherProcessWrites) {
    test::CScriptedUserInterface ui;
    test::CTempDir dir;
    std::string path = dir / "Rules";
    test::WriteTextFile(path, "element * CHECKEDOUT\n");
    // Lets go after one second, well inside the first wait.
    test::CChildProcess writer(
        {test::BuiltProgram("file_holder"), path, "write", "exclusive", "1000"});
    ASSERT_EQ(writer.ReadLine(), "opened");
    CViewProfile profile;
    std::string text;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(profile.ReadProfileFile(path, &text, TRUE, FALSE), TRUE);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(text, "element * CHECKEDOUT\n");
    EXPECT_GE(elapsed, std::chrono::milliseconds(kProfileFileRetryMs));
    EXPECT_LT(elapsed, std::chrono::milliseconds(2 * kProfileFileRetryMs));
    EXPECT_TRUE(ui.shown().empty());
}

}  // namespace
}  // namespace kelmora

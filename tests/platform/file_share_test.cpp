#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/file.h"
#include "support/test_env.h"

namespace kelmora {
namespace {

using test::BuiltProgram;
using test::CChildProcess;

// The outcome of one open by a second process: "opened" or "failed <cause> <errno>".
std::string OpenInOtherProcess(const std::string& path, const char* access, const char* share) {
    CChildProcess other({BuiltProgram("file_holder"), path, access, share, "0"});
    std::string line = other.ReadLine();
    other.Finish();
    return line;
}

std::string FailedWith(FileErrorCause cause) {
    return "failed " + std::to_string(static_cast<int>(cause));
}

TEST(FileShareBetweenProcesses, DenyWritersKeepsExclusiveOutButLetsReadersIn) {
    test::CTempDir dir;
    std::string path = dir / "Rules";
    test::WriteTextFile(path, "element * CHECKEDOUT\n");

    CChildProcess holder({BuiltProgram("file_holder"), path, "read", "denywrite"});
    ASSERT_EQ(holder.ReadLine(), "opened");

    EXPECT_EQ(OpenInOtherProcess(path, "readwrite", "exclusive").rfind(
                  FailedWith(FileErrorCause::SharingViolation), 0), 0u);
    EXPECT_EQ(OpenInOtherProcess(path, "write", "none").rfind(
                  FailedWith(FileErrorCause::SharingViolation), 0), 0u);
    EXPECT_EQ(OpenInOtherProcess(path, "read", "none"), "opened");
    EXPECT_EQ(OpenInOtherProcess(path, "read", "denywrite"), "opened");

    holder.Finish();
    EXPECT_EQ(OpenInOtherProcess(path, "readwrite", "exclusive"), "opened");
}

TEST(FileShareBetweenProcesses, ExclusiveForReadingKeepsEveryoneOut) {
    test::CTempDir dir;
    std::string path = dir / ".rev";
    test::WriteTextFile(path, "41");

    CChildProcess holder({BuiltProgram("file_holder"), path, "read", "exclusive"});
    ASSERT_EQ(holder.ReadLine(), "opened");
    for (const char* access : {"read", "write", "readwrite"}) {
        for (const char* share : {"none", "denywrite", "exclusive"}) {
            EXPECT_EQ(OpenInOtherProcess(path, access, share).rfind(
                          FailedWith(FileErrorCause::SharingViolation), 0), 0u)
                << access << " " << share;
        }
    }
}

TEST(FileShareBetweenProcesses, WriterKeepsDenyWritersOut) {
    test::CTempDir dir;
    std::string path = dir / "GUID";
    test::WriteTextFile(path, "x 0.0");

    CChildProcess writer({BuiltProgram("file_holder"), path, "write", "none"});
    ASSERT_EQ(writer.ReadLine(), "opened");
    EXPECT_EQ(OpenInOtherProcess(path, "read", "denywrite").rfind(
                  FailedWith(FileErrorCause::SharingViolation), 0), 0u);
    EXPECT_EQ(OpenInOtherProcess(path, "read", "none"), "opened");
}

TEST(FileShare, ClosingReleasesTheShareLock) {
    test::CTempDir dir;
    std::string path = dir / "f";
    CFile first;
    CFileException error;
    ASSERT_TRUE(first.Open(path, FileAccess::ReadWrite, FileShare::Exclusive,
                           FileCreate::OpenAlways, &error));
    EXPECT_EQ(OpenInOtherProcess(path, "read", "none").rfind(
                  FailedWith(FileErrorCause::SharingViolation), 0), 0u);
    first.Close();
    EXPECT_EQ(OpenInOtherProcess(path, "read", "none"), "opened");
}

TEST(FileOpen, MissingFileGivesFileNotFound) {
    test::CTempDir dir;
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(dir / "absent", FileAccess::Read, FileShare::DenyWrite,
                           FileCreate::OpenExisting, &error));
    EXPECT_EQ(error.cause, FileErrorCause::FileNotFound);
    EXPECT_EQ(error.os_error, ENOENT);
}

TEST(FileOpen, RefusedCreateAlwaysLeavesTheContents) {
    test::CTempDir dir;
    std::string path = dir / "Description";
    test::WriteTextFile(path, "keep me");
    CChildProcess holder({BuiltProgram("file_holder"), path, "read", "denywrite"});
    ASSERT_EQ(holder.ReadLine(), "opened");
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(path, FileAccess::ReadWrite, FileShare::Exclusive,
                           FileCreate::CreateAlways, &error));
    EXPECT_EQ(error.cause, FileErrorCause::SharingViolation);
    EXPECT_EQ(test::ReadTextFile(path), "keep me");
}

// Skips under root, which may read any file; run again unprivileged.
TEST(FileOpenPermission, RefusedCreateLeavesNoFileBehind) {
    if (geteuid() == 0) GTEST_SKIP() << "needs a user whom file modes bind";
    test::CTempDir dir;
    const std::string path = dir / "Description";
    // A file that its maker cannot read cannot carry the lock a writer takes.
    const mode_t previous = umask(0444);
    CFile file;
    CFileException error;
    const bool opened =
        file.Open(path, FileAccess::Write, FileShare::DenyWrite, FileCreate::CreateAlways, &error);
    umask(previous);
    EXPECT_FALSE(opened);
    EXPECT_EQ(error.cause, FileErrorCause::AccessDenied);
    EXPECT_EQ(access(path.c_str(), F_OK), -1) << "the refused open left its file";
}

// The lock of an exclusive open for reading sits on a second descriptor; it
// must lie on the file that was opened even while the path is being replaced.
TEST(FileOpen, LocksStayOnTheOpenedFileWhileThePathIsReplaced) {
    test::CTempDir dir;
    const std::string path = dir / ".rev";
    test::WriteTextFile(path, "1");
    std::atomic<bool> stop{false};
    std::thread replacer([&] {
        for (int i = 0; !stop; ++i) {
            const std::string next = dir / ("next" + std::to_string(i % 2));
            test::WriteTextFile(next, "1");
            rename(next.c_str(), path.c_str());
        }
    });
    int opened = 0, unlocked = 0;
    for (int i = 0; i < 20000; ++i) {
        CFile file;
        CFileException error;
        if (!file.Open(path, FileAccess::Read, FileShare::Exclusive, FileCreate::OpenExisting,
                       &error))
            continue;
        ++opened;
        // Another open of the very file that was opened must be refused.
        CFile probe;
        if (probe.Open("/proc/self/fd/" + std::to_string(file.fd()), FileAccess::Read,
                       FileShare::DenyNone, FileCreate::OpenExisting, &error))
            ++unlocked;
    }
    stop = true;
    replacer.join();
    EXPECT_GT(opened, 0);
    EXPECT_EQ(unlocked, 0) << "of " << opened << " opens";
}

TEST(FileOpen, DirectoryIsAccessDenied) {
    test::CTempDir dir;
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(dir.path(), FileAccess::Read, FileShare::DenyNone,
                           FileCreate::OpenExisting, &error));
    EXPECT_EQ(error.cause, FileErrorCause::AccessDenied);
}

TEST(FileIo, WriteThenReadAllRoundTripsBytes) {
    test::CTempDir dir;
    std::string bytes("a\r\nb\0c\xff", 7);
    CFile file;
    CFileException error;
    ASSERT_TRUE(file.Open(dir / "f", FileAccess::ReadWrite, FileShare::Exclusive,
                          FileCreate::CreateAlways, &error));
    ASSERT_TRUE(file.Write(bytes.data(), bytes.size(), &error));
    ASSERT_TRUE(file.SeekToStart(&error));
    std::string back;
    ASSERT_TRUE(file.ReadAll(&back, &error));
    EXPECT_EQ(back, bytes);
    EXPECT_EQ(file.Length(), 7);
    ASSERT_TRUE(file.Truncate(&error));
    EXPECT_EQ(file.Length(), 0);
}

}  // namespace
}  // namespace kelmora

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/file.h"
#include "support/test_env.h"

namespace kelmora {
namespace {

using test::BuiltProgram;
using test::CChildProcess;

// One open by a second process: "opened", "refused" (a sharing violation),
// or what file_holder printed.
std::string OpenInOtherProcess(const std::string& path, const char* access, const char* share) {
    CChildProcess other({BuiltProgram("file_holder"), path, access, share, "0"});
    const std::string line = other.ReadLine();
    const std::string refused =
        "failed " + std::to_string(static_cast<int>(FileErrorCause::SharingViolation)) + " ";
    return line.starts_with(refused) ? "refused" : line;
}

using CProbes = std::vector<std::tuple<const char*, const char*, const char*>>;

struct CShareCase {
    const char* label;
    const char* access;  // the holder's open
    const char* share;
    CProbes probes;  // access, share, outcome
};

CProbes EveryOpen(const char* outcome) {
    CProbes probes;
    for (const char* access : {"read", "write", "readwrite"})
        for (const char* share : {"none", "denywrite", "exclusive"})
            probes.emplace_back(access, share, outcome);
    return probes;
}

class FileShareBetweenProcesses : public ::testing::TestWithParam<CShareCase> {};

TEST_P(FileShareBetweenProcesses, OthersAreLetInOrRefusedUntilTheHolderCloses) {
    test::CTempDir dir;
    const std::string path = dir / "Rules";
    test::WriteTextFile(path, "element * CHECKEDOUT\n");
    {
        CChildProcess holder(
            {BuiltProgram("file_holder"), path, GetParam().access, GetParam().share});
        ASSERT_EQ(holder.ReadLine(), "opened");
        for (const auto& [access, share, outcome] : GetParam().probes)
            EXPECT_EQ(OpenInOtherProcess(path, access, share), outcome) << access << " " << share;
    }
    EXPECT_EQ(OpenInOtherProcess(path, "readwrite", "exclusive"), "opened");
}

INSTANTIATE_TEST_SUITE_P(
    Holders, FileShareBetweenProcesses,
    ::testing::Values(CShareCase{"DenyWritersLetsReadersIn",
                                 "read",
                                 "denywrite",
                                 {{"readwrite", "exclusive", "refused"},
                                  {"write", "none", "refused"},
                                  {"read", "none", "opened"},
                                  {"read", "denywrite", "opened"}}},
                      // The tree lock taken for reading must still keep everyone out.
                      CShareCase{"ExclusiveForReadingKeepsEveryoneOut", "read", "exclusive",
                                 EveryOpen("refused")},
                      CShareCase{"WriterKeepsDenyWritersOut",
                                 "write",
                                 "none",
                                 {{"read", "denywrite", "refused"}, {"read", "none", "opened"}}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(FileShare, ClosingReleasesTheShareLock) {
    test::CTempDir dir;
    const std::string path = dir / "f";
    CFile first;
    CFileException error;
    ASSERT_TRUE(first.Open(path, FileAccess::ReadWrite, FileShare::Exclusive,
                           FileCreate::OpenAlways, &error));
    EXPECT_EQ(OpenInOtherProcess(path, "read", "none"), "refused");
    first.Close();
    EXPECT_EQ(OpenInOtherProcess(path, "read", "none"), "opened");
}

TEST(FileOpen, MissingFileAndFolderGiveTheirCauses) {
    test::CTempDir dir;
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(dir / "absent", FileAccess::Read, FileShare::DenyWrite,
                           FileCreate::OpenExisting, &error));
    EXPECT_EQ(error.cause, FileErrorCause::FileNotFound);
    EXPECT_EQ(error.os_error, ENOENT);
    EXPECT_FALSE(file.Open(dir.path(), FileAccess::Read, FileShare::DenyNone,
                           FileCreate::OpenExisting, &error));
    EXPECT_EQ(error.cause, FileErrorCause::AccessDenied);
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
    ASSERT_TRUE(file.Truncate(&error));
    EXPECT_EQ(file.Length(), 0);
}

}  // namespace
}  // namespace kelmora

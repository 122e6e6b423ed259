#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/file.h"
#include "platform/fs.h"
#include "support/test_env.h"

namespace kelmora {
namespace {

using test::BuiltProgram;
using test::CChildProcess;

struct CMode {
    const char* access;
    const char* share;
    FileAccess file_access;
    FileShare file_share;
};
constexpr CMode kModes[] = {
    {"read", "none", FileAccess::Read, FileShare::DenyNone},
    {"read", "denywrite", FileAccess::Read, FileShare::DenyWrite},
    {"read", "exclusive", FileAccess::Read, FileShare::Exclusive},
    {"write", "none", FileAccess::Write, FileShare::DenyNone},
    {"write", "denywrite", FileAccess::Write, FileShare::DenyWrite},
    {"write", "exclusive", FileAccess::Write, FileShare::Exclusive},
    {"readwrite", "none", FileAccess::ReadWrite, FileShare::DenyNone},
    {"readwrite", "denywrite", FileAccess::ReadWrite, FileShare::DenyWrite},
    {"readwrite", "exclusive", FileAccess::ReadWrite, FileShare::Exclusive},
};

bool MayShare(const CMode& a, const CMode& b) {
    if (a.file_share == FileShare::Exclusive || b.file_share == FileShare::Exclusive) return false;
    const auto writes = [](const CMode& m) { return m.file_access != FileAccess::Read; };
    const auto denies = [](const CMode& m) { return m.file_share == FileShare::DenyWrite; };
    return !(writes(a) && denies(b)) && !(writes(b) && denies(a));
}

// The tree lock taken for reading ("read exclusive") must keep everyone out.
class FileShareMatrixTest : public ::testing::TestWithParam<CMode> {};

TEST_P(FileShareMatrixTest, OpenerMeetsHolderInAnotherProcess) {
    test::CTempDir dir;
    const std::string path = dir / "shared";
    test::WriteTextFile(path, "x");
    const CMode& held = GetParam();
    CChildProcess holder({BuiltProgram("file_holder"), path, held.access, held.share});
    ASSERT_EQ(holder.ReadLine(), "opened");
    for (const CMode& opener : kModes) {
        CFile file;
        CFileException error;
        const bool opened = file.Open(path, opener.file_access, opener.file_share,
                                      FileCreate::OpenExisting, &error);
        EXPECT_EQ(opened, MayShare(held, opener)) << opener.access << " " << opener.share;
        if (!opened) {
            EXPECT_EQ(error.cause, FileErrorCause::SharingViolation);
        }
    }
    // A refused open that would have emptied the file leaves its contents.
    CFile truncating;
    CFileException error;
    EXPECT_FALSE(truncating.Open(path, FileAccess::ReadWrite, FileShare::Exclusive,
                                 FileCreate::CreateAlways, &error));
    EXPECT_EQ(error.cause, FileErrorCause::SharingViolation);
    EXPECT_EQ(test::ReadTextFile(path), "x");
}

INSTANTIATE_TEST_SUITE_P(Held, FileShareMatrixTest, ::testing::ValuesIn(kModes),
                         [](const auto& info) {
                             return std::string(info.param.access) + "_" + info.param.share;
                         });

// Block sizes around the reader's own, under every share mode.
class FileReadEndTest : public ::testing::TestWithParam<size_t> {};

TEST_P(FileReadEndTest, BlocksAndWholeFileEndWithTheFile) {
    test::CTempDir dir;
    const std::string path = dir / "Rules";
    std::string content;
    for (size_t i = 0; i < GetParam(); ++i) content += static_cast<char>(i % 251);
    CFileException error;
    {
        CFile writer;
        ASSERT_TRUE(writer.Open(path, FileAccess::Write, FileShare::Exclusive,
                                FileCreate::CreateAlways, &error));
        ASSERT_TRUE(writer.Write(content.data(), content.size(), &error));
    }
    std::string first;  // a look that takes no lock reads up to its limit
    bool held = false;
    ASSERT_TRUE(ReadUnlessHeldExclusively(path, 4096, &first, &held));
    EXPECT_EQ(first, content.substr(0, 4096));
    for (FileShare share : {FileShare::DenyNone, FileShare::DenyWrite, FileShare::Exclusive}) {
        CFile file;
        ASSERT_TRUE(file.Open(path, FileAccess::Read, share, FileCreate::OpenExisting, &error));
        std::string blocks;
        char block[4095];
        for (long n; (n = file.Read(block, sizeof block, &error)) > 0;)
            blocks.append(block, static_cast<size_t>(n));
        EXPECT_EQ(blocks, content);
        EXPECT_EQ(file.Length(), static_cast<long long>(content.size()));
        std::string whole;
        ASSERT_TRUE(file.SeekToStart(&error) && file.ReadAll(&whole, &error));
        EXPECT_EQ(whole, content);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, FileReadEndTest,
                         ::testing::Values(0, 1, 4094, 4095, 4096, 8190, 70000),
                         [](const auto& info) { return std::to_string(info.param); });

TEST(FileRead, AFileIsReadPastItsLengthAtTheOpen) {
    CFolder process;
    ASSERT_TRUE(process.Open("/proc/" + std::to_string(getpid())));
    std::string text;
    CFileException error;
    ASSERT_TRUE(ReadFileUnlessHeldIn(process, "cmdline", 1 << 20, &text, &error));
    EXPECT_EQ(text, test::ReadTextFile("/proc/self/cmdline"));
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

// The lock of an exclusive open for reading sits on a second descriptor.
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
        CFile file, probe;
        CFileException error;
        if (!file.Open(path, FileAccess::Read, FileShare::Exclusive, FileCreate::OpenExisting,
                       &error))
            continue;
        ++opened;
        // Another open of the very file that was opened must be refused.
        if (probe.Open("/proc/self/fd/" + std::to_string(file.fd()), FileAccess::Read,
                       FileShare::DenyNone, FileCreate::OpenExisting, &error))
            ++unlocked;
    }
    stop = true;
    replacer.join();
    EXPECT_GT(opened, 0);
    EXPECT_EQ(unlocked, 0) << "of " << opened << " opens";
}

}  // namespace
}  // namespace kelmora

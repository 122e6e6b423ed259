// Every pair of share modes between two processes: an open succeeds unless
// one of the two is exclusive, or one writes while the other denies writers.
// And reads that keep writers out end where the file ends.
#include <gtest/gtest.h>

#include <string>

#include "platform/file.h"
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
}

INSTANTIATE_TEST_SUITE_P(Held, FileShareMatrixTest, ::testing::ValuesIn(kModes),
                         [](const auto& info) {
                             return std::string(info.param.access) + "_" + info.param.share;
                         });

// Sizes around the reader's block and the end that a short read reveals.
class FileReadEndTest : public ::testing::TestWithParam<size_t> {};

TEST_P(FileReadEndTest, BlocksAndWholeFileEndWithTheFile) {
    test::CTempDir dir;
    const std::string path = dir / "Rules";
    std::string content;
    for (size_t i = 0; i < GetParam(); ++i) content += static_cast<char>('a' + i % 26);
    test::WriteTextFile(path, content);
    for (FileShare share : {FileShare::DenyNone, FileShare::DenyWrite, FileShare::Exclusive}) {
        CFile file;
        CFileException error;
        ASSERT_TRUE(file.Open(path, FileAccess::Read, share, FileCreate::OpenExisting, &error));
        std::string blocks;
        char block[4095];
        for (long n; (n = file.Read(block, sizeof block, &error)) > 0;)
            blocks.append(block, static_cast<size_t>(n));
        EXPECT_EQ(blocks, content);
        std::string whole;
        ASSERT_TRUE(file.SeekToStart(&error) && file.ReadAll(&whole, &error));
        EXPECT_EQ(whole, content);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, FileReadEndTest,
                         ::testing::Values(0, 1, 4094, 4095, 4096, 8190, 70000),
                         [](const auto& info) { return std::to_string(info.param); });

}  // namespace
}  // namespace kelmora

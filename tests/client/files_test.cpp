#include "client/files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/test_env.h"

namespace kelmora::test {
namespace {

struct CTmpfileCase {
    bool in_folder;  // else in $TMPDIR
    const char* prefix;
    const char* extension;
    size_t size;
    const char* name_start;  // null: the path does not fit, nothing is made
    const char* name_end;
};

class TmpfileTest : public ::testing::TestWithParam<CTmpfileCase> {};

TEST_P(TmpfileTest, NewBinaryFileInTheFolderNamedAsAsked) {
    const CTmpfileCase& c = GetParam();
    CTempDir dir, tmp;
    CScopedEnv tmpdir("TMPDIR", tmp.path());
    const std::string folder = c.in_folder ? dir.path() : tmp.path();
    char path[1024] = "junk";
    errno = 0;
    FILE* file = fileutl_tmpfile_ext_binary(c.in_folder ? dir.path().c_str() : nullptr, c.prefix,
                                            c.extension, path, c.size);
    if (!c.name_start) {
        EXPECT_EQ(file, nullptr);
        EXPECT_EQ(errno, ENAMETOOLONG);
        EXPECT_STREQ(path, "");
        EXPECT_TRUE(std::filesystem::is_empty(folder));
        return;
    }
    ASSERT_NE(file, nullptr) << std::strerror(errno);
    // Nothing is translated on the way out.
    const std::string bytes("a\r\nb\n\0c\xFF", 8);
    EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    EXPECT_EQ(unix_nt_fclose(file), 0);
    EXPECT_EQ(ReadTextFile(path), bytes);
    const std::string name = std::filesystem::path(path).filename();
    EXPECT_EQ(std::string(path), folder + "/" + name);
    EXPECT_TRUE(name.starts_with(c.name_start) && name.ends_with(c.name_end)) << name;
    EXPECT_EQ(unix_nt_unlink(path), 0);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

INSTANTIATE_TEST_SUITE_P(Names, TmpfileTest,
                         ::testing::Values(CTmpfileCase{true, "cs", "txt", 1024, "cs-", ".txt"},
                                           CTmpfileCase{true, "cs", ".txt", 1024, "cs-", ".txt"},
                                           CTmpfileCase{false, nullptr, nullptr, 1024, "kelmora-",
                                                        ""},
                                           CTmpfileCase{true, "", "", 1024, "kelmora-", ""},
                                           CTmpfileCase{true, "cs", "txt", 16, nullptr, nullptr}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
}  // namespace kelmora::test

#include "client/files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/temp_file.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

std::vector<std::string> Names(const std::string& folder) {
    std::vector<CDirEntry> entries;
    EXPECT_TRUE(ListDirectory(folder, &entries));
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry.name);
    return names;
}

struct CTmpfileCase {
    const char* prefix;
    const char* extension;
    const char* name_start;
    const char* name_end;
};

class TmpfileTest : public ::testing::TestWithParam<CTmpfileCase> {};

TEST_P(TmpfileTest, NewBinaryFileInTheFolderNamedAsAsked) {
    CTempDir dir;
    char path[1024];
    FILE* file = fileutl_tmpfile_ext_binary(dir.path().c_str(), GetParam().prefix,
                                            GetParam().extension, path, sizeof path);
    ASSERT_NE(file, nullptr) << std::strerror(errno);
    // Nothing is translated on the way out.
    const std::string bytes("a\r\nb\n\0c\xFF", 8);
    EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    EXPECT_EQ(unix_nt_fclose(file), 0);
    EXPECT_EQ(ReadTextFile(path), bytes);
    const std::string name = std::string(path).substr(dir.path().size() + 1);
    EXPECT_EQ(std::string(path).rfind(dir.path() + "/", 0), 0u) << path;
    EXPECT_TRUE(name.starts_with(GetParam().name_start) && name.ends_with(GetParam().name_end))
        << name;
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{name});
}

INSTANTIATE_TEST_SUITE_P(Names, TmpfileTest,
                         ::testing::Values(CTmpfileCase{"cs", "txt", "cs-", ".txt"},
                                           CTmpfileCase{"cs", ".txt", "cs-", ".txt"},
                                           CTmpfileCase{nullptr, nullptr, "kelmora-", ""},
                                           CTmpfileCase{"", "", "kelmora-", ""}),
                         [](const auto& info) {
                             return test::CaseName(info.index, info.param.extension);
                         });

TEST(FilesTest, TmpfileDefaultsToTheTemporaryFolder) {
    char path[1024];
    FILE* file = fileutl_tmpfile_ext_binary(nullptr, nullptr, nullptr, path, sizeof path);
    ASSERT_NE(file, nullptr) << std::strerror(errno);
    EXPECT_EQ(unix_nt_fclose(file), 0);
    EXPECT_EQ(std::string(path).rfind(TempFolder() + "/", 0), 0u) << path;
    EXPECT_EQ(unix_nt_unlink(path), 0);
    EXPECT_FALSE(PathExists(path));
}

TEST(FilesTest, PathThatDoesNotFitCreatesNothing) {
    CTempDir dir;
    char path[16];
    errno = 0;
    EXPECT_EQ(fileutl_tmpfile_ext_binary(dir.path().c_str(), "cs", "txt", path, sizeof path),
              nullptr);
    EXPECT_EQ(errno, ENAMETOOLONG);
    EXPECT_STREQ(path, "");
    EXPECT_TRUE(Names(dir.path()).empty());
}

}  // namespace
}  // namespace kelmora::test

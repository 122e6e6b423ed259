#include "client/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
    const char* name_start;
    const char* name_end;
};

class TmpfileTest : public ::testing::TestWithParam<CTmpfileCase> {};

TEST_P(TmpfileTest, NewBinaryFileInTheFolderNamedAsAsked) {
    const CTmpfileCase& c = GetParam();
    CTempDir dir, tmp;
    CScopedEnv tmpdir("TMPDIR", tmp.path());
    const std::string folder = c.in_folder ? dir.path() : tmp.path();
    const char* in = c.in_folder ? dir.path().c_str() : nullptr;
    char path[1024] = "junk";
    FILE* file = fileutl_tmpfile_ext_binary(in, c.prefix, c.extension, path, sizeof path);
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
    // A buffer one byte short of the path refuses before anything is made.
    const size_t fits = std::strlen(path) + 1;
    EXPECT_EQ(fileutl_tmpfile_ext_binary(in, c.prefix, c.extension, path, fits - 1), nullptr);
    EXPECT_EQ(errno, ENAMETOOLONG);
    EXPECT_STREQ(path, "");
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    file = fileutl_tmpfile_ext_binary(in, c.prefix, c.extension, path, fits);
    ASSERT_NE(file, nullptr) << std::strerror(errno);
    EXPECT_EQ(unix_nt_fclose(file), 0);
    EXPECT_EQ(unix_nt_unlink(path), 0);
}

INSTANTIATE_TEST_SUITE_P(Names, TmpfileTest,
                         ::testing::Values(CTmpfileCase{true, "cs", "txt", "cs-", ".txt"},
                                           CTmpfileCase{true, "cs", ".txt", "cs-", ".txt"},
                                           CTmpfileCase{false, nullptr, nullptr, "kelmora-", ""},
                                           CTmpfileCase{true, "", "", "kelmora-", ""}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

// Paths made absolute from the current folder, without ".", ".." or repeated
// and trailing slashes; the object's path follows links as far as it exists.
TEST(AbsolutePathTest, NormalPathsAndObjectsBehindLinks) {
    CTempDir dir;
    std::filesystem::create_directory(dir / "real");
    std::filesystem::create_directory_symlink(dir / "real", dir / "link");
    const std::string cwd = std::filesystem::current_path(),
                      base = std::filesystem::canonical(dir.path()), real = base + "/real";
    std::filesystem::current_path(dir.path());
    const struct {
        const char* path;
        std::string absolute, object;
    } kCases[] = {{"/a/./b//c/../d/", "/a/b/d", "/a/b/d"},
                  {"/..", "/", "/"},
                  {"link/new/..//x", base + "/link/x", real + "/x"},
                  {"./link", base + "/link", real}};
    char buf[1024];
    for (const auto& c : kCases) {
        ASSERT_EQ(fileutl_abspn(c.path, buf, sizeof buf), TBS_ST_OK) << c.path;
        EXPECT_EQ(std::string(buf), c.absolute) << c.path;
        ASSERT_EQ(fileutl_absobjpn(c.path, buf, sizeof buf), TBS_ST_OK) << c.path;
        EXPECT_EQ(std::string(buf), c.object) << c.path;
    }
    std::filesystem::current_path(cwd);
    EXPECT_EQ(fileutl_abspn("/abc/def", buf, 5), TBS_ST_BUFFER_TOO_SMALL);
    EXPECT_STREQ(buf, "/abc");
    EXPECT_EQ(fileutl_abspn("", buf, sizeof buf), TBS_ST_INVALID);
    struct stat info {};
    EXPECT_EQ(fileutl_stat((dir / "link").c_str(), &info), TBS_ST_OK);
    EXPECT_EQ(fileutl_stat((dir / "real/none/x").c_str(), &info), TBS_ST_NOT_FOUND);
}

}  // namespace
}  // namespace kelmora::test

#include "client/files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/test_env.h"

namespace kelmora::test {
namespace {

TEST(TmpfileTest, NewBinaryFileInTheFolderNamedAsAsked) {
    const struct {
        bool in_folder;
        const char *prefix, *extension, *name_start, *name_end;
    } kCases[] = {{true, "cs", "txt", "cs-", ".txt"},
                  {true, "cs", ".txt", "cs-", ".txt"},
                  {false, nullptr, nullptr, "kelmora-", ""},
                  {true, "", "", "kelmora-", ""}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(&c - kCases);
        CTempDir dir, tmp;
        CScopedEnv tmpdir("TMPDIR", tmp.path());
        const std::string folder = c.in_folder ? dir.path() : tmp.path();
        const char* in = c.in_folder ? dir.path().c_str() : nullptr;
        char path[1024] = "junk";
        FILE* file = fileutl_tmpfile_ext_binary(in, c.prefix, c.extension, path, sizeof path);
        ASSERT_NE(file, nullptr) << std::strerror(errno);
        EXPECT_EQ(unix_nt_fclose(file), 0);
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
}

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
}

}  // namespace
}  // namespace kelmora::test

#include "platform/paths.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "platform/env.h"
#include "platform/fs.h"
#include "platform/temp_file.h"
#include "support/test_env.h"

namespace kelmora {
namespace {

struct CPathCase {
    const char* root;
    const char* name;  // a profile name, or a node's full path
    const char* file;
    const char* expected;  // empty: refused
};

// clang-format off
const CPathCase kProfiles[] = {
    {"/srv/p", "\\Stavemark View Profiles\\Proj", "GUID", "/srv/p/Stavemark View Profiles/Proj/GUID"},
    {"/srv/p/", "\\Top\\Proj", "", "/srv/p/Top/Proj"},
    {"/", "\\Top\\Proj", "GUID", "/Top/Proj/GUID"},  // found by fuzzing: "//Top"
    {"/srv/p", "\\Top\\..\\..\\etc", "", ""}, {"/srv/p", "\\Top\\.\\Proj", "", ""},
    {"/srv/p", "\\Top\\\\Proj", "", ""},      {"/srv/p", "Top\\Proj", "", ""},
    {"/srv/p", "\\Top/../x", "", ""},         {"/srv/p", "\\Top\\Proj\\", "", ""},
    {"/srv/p", "\\Top\\Proj", "..", ""},      {"/srv/p", "\\Top\\Proj", "a/b", ""}};

const CPathCase kNodes[] = {
    {"/srv/p", "/srv/p\\Top\\Proj", "GUID", "/srv/p/Top/Proj/GUID"},
    {"/srv/p/", "/srv/p/\\Top", "", "/srv/p/Top"}, {"/srv/p", "/srv/p", "", "/srv/p"},
    {"/srv/p", "/srv/p", ".rev", "/srv/p/.rev"},  {"/", "/\\Top", "", "/Top"},
    {"/", "/", ".rev", "/.rev"},                  {"/srv/p", "/srv/other\\Top", "", ""},
    {"/srv/p", "/srv/p", "..", ""},               {"", "\\Top", "", ""}};
// clang-format on

// A profile's name, or a node's full path, joined to the root; empty when refused.
TEST(NativePathTest, ProfilesAndNodesJoinOnlyNamesBelowTheRoot) {
    for (const auto& [join, cases] :
         {std::pair{&ProfileNativePath, std::span<const CPathCase>(kProfiles)},
          std::pair{&NodeNativePath, std::span<const CPathCase>(kNodes)}}) {
        for (const CPathCase& c : cases)
            EXPECT_EQ(join(c.root, c.name, c.file), c.expected)
                << c.root << " " << c.name << " " << c.file;
    }
}

// The user's home comes from the password database when HOME is unset or empty.
TEST(KelmoraHomeTest, TheVariableElseTheUsersHome) {
    const passwd* user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);
    const std::string from_passwd = std::string(user->pw_dir) + "/.kelmora";
    const struct {
        const char *variable, *home;
        std::string expected;
    } kCases[] = {{"/k", "/h", "/k"},
                  {"", "/h", "/h/.kelmora"},
                  {nullptr, "/h", "/h/.kelmora"},
                  {nullptr, "", from_passwd},
                  {nullptr, nullptr, from_passwd}};
    for (const auto& c : kCases) {
        test::CScopedEnv variable("KELMORA_HOME", c.variable), home("HOME", c.home);
        EXPECT_EQ(KelmoraHome(), c.expected) << (c.variable ? c.variable : "unset");
    }
}

TEST(TempFile, RemovedWhenTheObjectDiesOrTakesAnotherUnlessReleased) {
    test::CTempDir dir;
    test::CScopedEnv tmp("TMPDIR", dir.path());
    std::string path, released;
    {
        CTempFile file, kept;
        ASSERT_TRUE(file.Create("text", ".cs"));
        ASSERT_TRUE(kept.Create());
        path = file.path();
        EXPECT_TRUE(path.starts_with(dir / "kelmora-") && path.ends_with(".cs")) << path;
        EXPECT_EQ(test::ReadTextFile(path), "text");
        released = kept.Release();
        EXPECT_TRUE(kept.empty());
    }
    EXPECT_FALSE(PathExists(path));
    EXPECT_TRUE(IsRegularFile(released));
    CTempFile adopter;  // what it held goes when it takes another file
    ASSERT_TRUE(adopter.Create());
    path = adopter.path();
    adopter.Adopt(released);
    EXPECT_FALSE(PathExists(path));
    ASSERT_TRUE(adopter.Create());
    EXPECT_FALSE(PathExists(released));
}

// The entries of a folder, with each one's permission bits.
std::vector<std::pair<std::string, unsigned>> Entries(const std::string& folder) {
    std::vector<std::pair<std::string, unsigned>> entries;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        struct stat st {};
        stat(entry.path().c_str(), &st);
        entries.emplace_back(entry.path().filename(), st.st_mode & 07777);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// The target changes only at the commit.
class ReplacementFileTest : public ::testing::TestWithParam<bool> {};

TEST_P(ReplacementFileTest, IsMadeBesideItsTargetAndRenamedOverIt) {
    test::CTempDir dir;
    const bool relative = GetParam();
    const std::string cwd = std::filesystem::current_path();
    if (relative) std::filesystem::current_path(dir.path());
    const std::string target = relative ? "Rules" : dir / "Rules";
    test::WriteTextFile(dir / "Rules", "old");
    chmod((dir / "Rules").c_str(), 0640);
    {
        CReplacementFile replacement;
        ASSERT_TRUE(replacement.Prepare(target, "new"));
        const auto during = Entries(dir.path());
        ASSERT_EQ(during.size(), 2u);
        EXPECT_TRUE(during[0].first.starts_with(".Rules.saving-")) << during[0].first;
        EXPECT_EQ(test::ReadTextFile(dir / "Rules"), "old");
        ASSERT_TRUE(replacement.Commit());
    }
    EXPECT_EQ(Entries(dir.path()),
              (std::vector<std::pair<std::string, unsigned>>{{"Rules", 0640}}));
    EXPECT_EQ(test::ReadTextFile(dir / "Rules"), "new");
    {
        CReplacementFile abandoned;  // never committed: nothing is left
        ASSERT_TRUE(abandoned.Prepare(target, "lost"));
    }
    std::filesystem::current_path(cwd);
    EXPECT_EQ(Entries(dir.path()).size(), 1u);
    EXPECT_EQ(test::ReadTextFile(dir / "Rules"), "new");
}

INSTANTIATE_TEST_SUITE_P(Targets, ReplacementFileTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Relative" : "Absolute"; });

// Here one of another file system; the caller then writes the text instead.
TEST(ReplacementFileLink, AFileThatCannotBeLinkedLeavesNothing) {
    test::CTempDir dir;
    CFolder folder;
    ASSERT_TRUE(folder.Open(dir.path()));
    const int elsewhere = memfd_create("Rules", MFD_CLOEXEC);
    ASSERT_GE(elsewhere, 0);
    CReplacementFile replacement;
    EXPECT_FALSE(replacement.PrepareLinkIn(folder, "Rules", elsewhere));
    EXPECT_FALSE(replacement.PrepareIn(CFolder(), "Rules", "text"));
    EXPECT_EQ(replacement.temp_name(), "");
    EXPECT_TRUE(Entries(dir.path()).empty());
    close(elsewhere);
}

// A file swapped or removed between a listing and its copy is not copied.
TEST(CopyFileBetween, NothingIsCopiedFromAMissingOrSpecialFileOrOverAnother) {
    test::CTempDir dir;
    CFolder folder;
    ASSERT_TRUE(folder.Open(dir.path()));
    test::WriteTextFile(dir / "taken", "keep");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    const std::tuple<const char*, const char*, int> kCases[] = {
        {"absent", "copy", ENOENT},
        {"fifo", "copy", kNotRegularFileError},
        {"taken", "taken", EEXIST}};
    for (const auto& [from, to, error] : kCases) {
        EXPECT_FALSE(CopyFileBetween(folder, from, folder, to)) << from;
        EXPECT_EQ(errno, error) << from;
    }
    EXPECT_FALSE(PathExists(dir / "copy"));
    EXPECT_EQ(test::ReadTextFile(dir / "taken"), "keep");
}

TEST(RemoveFolderWithContents, AFolderAlreadyGoneIsRemovedAFileInItsPlaceIsNot) {
    test::CTempDir dir;
    CFolder folder;
    ASSERT_TRUE(folder.Open(dir.path()));
    test::WriteTextFile(dir / "file", "");
    EXPECT_TRUE(RemoveFolderWithContents(folder, "absent"));
    EXPECT_FALSE(RemoveFolderWithContents(folder, "file"));
    EXPECT_TRUE(IsRegularFile(dir / "file"));
}

TEST(ReplacementFile, LeftoversAreRecognisedByTheirWholeName) {
    for (const char* name : {".Rules.saving-abc123", ".x.saving-ABCDEF"})
        EXPECT_TRUE(IsReplacementTempName(name)) << name;
    for (const char* name : {"Rules.saving-abc123", ".Rules.saving-abc12", ".Rules.saving-abc12!",
                             ".saving-abcdef", ".Rules.savings-abc123", ".Rules.saving-ab.123"})
        EXPECT_FALSE(IsReplacementTempName(name)) << name;
}

}  // namespace
}  // namespace kelmora

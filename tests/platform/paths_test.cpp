#include "platform/paths.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/fs.h"
#include "platform/temp_file.h"
#include "support/test_env.h"

namespace kelmora {
namespace {

struct JoinCase {
    const char* root;
    const char* name;
    const char* file;
    const char* expected;  // empty: refused
};

class ProfileNativePathTest : public ::testing::TestWithParam<JoinCase> {};

TEST_P(ProfileNativePathTest, JoinsOrRefuses) {
    const auto& c = GetParam();
    EXPECT_EQ(ProfileNativePath(c.root, c.name, c.file), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ProfileNativePathTest,
    ::testing::Values(
        JoinCase{"/srv/p", "\\Stavemark View Profiles\\Proj", "GUID",
                 "/srv/p/Stavemark View Profiles/Proj/GUID"},
        JoinCase{"/srv/p/", "\\Top\\Proj", "", "/srv/p/Top/Proj"},
        // Found by fuzzing: the name space's root gave "//Top".
        JoinCase{"/", "\\Top\\Proj", "GUID", "/Top/Proj/GUID"},
        JoinCase{"/srv/p", "\\Top\\..\\..\\etc", "", ""},
        JoinCase{"/srv/p", "\\Top\\.\\Proj", "", ""}, JoinCase{"/srv/p", "\\Top\\\\Proj", "", ""},
        JoinCase{"/srv/p", "Top\\Proj", "", ""}, JoinCase{"/srv/p", "\\Top/../x", "", ""},
        JoinCase{"/srv/p", "\\Top\\Proj\\", "", ""}, JoinCase{"/srv/p", "\\Top\\Proj", "..", ""},
        JoinCase{"/srv/p", "\\Top\\Proj", "a/b", ""}),
    [](const auto& info) { return test::CaseName(info.index, info.param.name); });

struct CNodePathCase {
    const char* root;
    const char* full_path;
    const char* file;
    const char* native;  // empty: refused
};

class NodeNativePathTest : public ::testing::TestWithParam<CNodePathCase> {};

TEST_P(NodeNativePathTest, JoinsOnlyNamesBelowTheRoot) {
    const CNodePathCase& c = GetParam();
    EXPECT_EQ(NodeNativePath(c.root, c.full_path, c.file), c.native);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NodeNativePathTest,
    ::testing::Values(CNodePathCase{"/srv/p", "/srv/p\\Top\\Proj", "", "/srv/p/Top/Proj"},
                      CNodePathCase{"/srv/p", "/srv/p\\Top\\Proj", "GUID", "/srv/p/Top/Proj/GUID"},
                      CNodePathCase{"/srv/p/", "/srv/p/\\Top", "", "/srv/p/Top"},
                      CNodePathCase{"/srv/p", "/srv/p", "", "/srv/p"},
                      CNodePathCase{"/srv/p", "/srv/p", ".rev", "/srv/p/.rev"},
                      CNodePathCase{"/", "/\\Top", "", "/Top"},
                      CNodePathCase{"/", "/", ".rev", "/.rev"},
                      CNodePathCase{"/srv/p", "/srv/other\\Top", "", ""},
                      CNodePathCase{"/srv/p", "/srv/p\\Top\\..\\..", "", ""},
                      CNodePathCase{"/srv/p", "/srv/p\\Top\\\\Proj", "", ""},
                      CNodePathCase{"/srv/p", "/srv/p\\Top\\.", "", ""},
                      CNodePathCase{"/srv/p", "/srv/p\\Top", "../x", ""},
                      CNodePathCase{"/srv/p", "/srv/p", "..", ""},
                      CNodePathCase{"", "\\Top", "", ""}),
    [](const auto& info) { return test::CaseName(info.index, info.param.full_path); });

TEST(TempFile, RemovedWhenTheObjectDiesUnlessReleased) {
    std::string path, released;
    {
        CTempFile file, kept;
        ASSERT_TRUE(file.Create("text", ".cs"));
        ASSERT_TRUE(kept.Create());
        path = file.path();
        EXPECT_TRUE(path.ends_with(".cs")) << path;
        released = kept.Release();
        EXPECT_TRUE(kept.empty());
    }
    EXPECT_FALSE(PathExists(path));
    EXPECT_TRUE(IsRegularFile(released));
    RemoveFile(released);
}

}  // namespace
}  // namespace kelmora

#include <gtest/gtest.h>

#include <string>

#include "platform/paths.h"

namespace kelmora {
namespace {

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
                      CNodePathCase{"/srv/p", "/srv/other\\Top", "", ""},
                      CNodePathCase{"/srv/p", "/srv/p\\Top\\..\\..", "", ""},
                      CNodePathCase{"/srv/p", "/srv/p\\Top\\\\Proj", "", ""},
                      CNodePathCase{"/srv/p", "/srv/p\\Top\\.", "", ""},
                      CNodePathCase{"/srv/p", "/srv/p\\Top", "../x", ""},
                      CNodePathCase{"/srv/p", "/srv/p", "..", ""},
                      CNodePathCase{"", "\\Top", "", ""}));

}  // namespace
}  // namespace kelmora

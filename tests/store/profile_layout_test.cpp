#include "store/profile_layout.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_env.h"

namespace kelmora::test {
namespace {

struct GuidCase {
    std::string_view text;
    bool ok;
    const char* guid;
    int major;
    int minor;
};

class GuidFileTextTest : public ::testing::TestWithParam<GuidCase> {};

TEST_P(GuidFileTextTest, ScansLikeTheStoredFormat) {
    CProfileGuid parsed;
    EXPECT_EQ(ParseGuidFileText(GetParam().text, &parsed), GetParam().ok);
    EXPECT_EQ(parsed.guid, GetParam().guid);
    if (GetParam().ok) {
        EXPECT_EQ(parsed.major, GetParam().major);
        EXPECT_EQ(parsed.minor, GetParam().minor);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, GuidFileTextTest,
    ::testing::Values(GuidCase{"0f1e2d3c-aaaa-bbbb-cccc-001122334455 1.7", true,
                               "0f1e2d3c-aaaa-bbbb-cccc-001122334455", 1, 7},
                      GuidCase{"  g 0.0", true, "g", 0, 0},
                      GuidCase{"g\t2.41\r\n", true, "g", 2, 41},
                      GuidCase{"g 1. 5", true, "g", 1, 5},  // the scan skips blanks before a number
                      GuidCase{"g", false, "g", 0, 0},      // GUID alone
                      GuidCase{"g 1", false, "g", 0, 0}, GuidCase{"g x.1", false, "g", 0, 0},
                      GuidCase{"", false, "", 0, 0},
                      // Found by fuzzing: the bytes after a NUL were part of the GUID until a
                      // bump wrote the GUID back as a C string, without them.
                      GuidCase{std::string_view("g 1.4\0 junk", 11), true, "g", 1, 4},
                      GuidCase{std::string_view("g\0x 1.4", 8), false, "g", 0, 0}),
    [](const auto& info) { return test::CaseName(info.index, info.param.text); });

}  // namespace
}  // namespace kelmora::test

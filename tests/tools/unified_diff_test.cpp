// The preview's and vptree diff's unified diff against diff -u output written by hand.
#include "unified_diff.h"

#include <gtest/gtest.h>

#include "support/test_env.h"

namespace kelmora::test {
namespace {

struct CDiffCase {
    const char* label;
    std::string old_text, new_text;
    std::string hunks;  // what follows the two label lines; empty: no difference
};

class UnifiedDiffTest : public ::testing::TestWithParam<CDiffCase> {};

TEST_P(UnifiedDiffTest, WritesWhatDiffUWrites) {
    const CDiffCase& c = GetParam();
    EXPECT_EQ(tools::UnifiedDiff(c.old_text, c.new_text, "a", "b"),
              c.hunks.empty() ? "" : "--- a\n+++ b\n" + c.hunks);
}

std::string Numbers(int from, int to, const std::string& end = "\n") {
    std::string text;
    for (int i = from; i <= to; ++i) text += std::to_string(i) + end;
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UnifiedDiffTest,
    ::testing::Values(
        CDiffCase{"CrLfIsNoChange", "a\r\nb\r\n", "a\nb\n", ""},
        CDiffCase{"FromNothing", "", "a\nb\n", "@@ -0,0 +1,2 @@\n+a\n+b\n"},
        CDiffCase{"ToNothing", "a\n", "", "@@ -1 +0,0 @@\n-a\n"},
        CDiffCase{"TwoHunksFarApart", Numbers(1, 20), "1\nX\n" + Numbers(3, 18) + "Y\n20\n",
                  "@@ -1,5 +1,5 @@\n 1\n-2\n+X\n 3\n 4\n 5\n"
                  "@@ -16,5 +16,5 @@\n 16\n 17\n 18\n-19\n+Y\n 20\n"},
        CDiffCase{"NearChangesShareAHunk", Numbers(1, 10), "1\n2\n3\nA\n5\n6\n7\n8\nB\n10\n",
                  "@@ -1,10 +1,10 @@\n 1\n 2\n 3\n-4\n+A\n 5\n 6\n 7\n 8\n-9\n+B\n 10\n"},
        CDiffCase{"AddedAtTheEndWithoutLineEnd", "a\nb", "a\nb\nc\n",
                  "@@ -1,2 +1,3 @@\n a\n-b\n\\ No newline at end of file\n+b\n+c\n"}),
    [](const auto& info) { return CaseName(info.index, info.param.label); });

}  // namespace
}  // namespace kelmora::test

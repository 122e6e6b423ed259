#include "automation/vob_list.h"

#include <gtest/gtest.h>

namespace kelmora {
namespace {

TEST(VobListTest, NextNeedsFirstEndsEmptyAndAssignDropsThePosition) {
    CVobList list;
    EXPECT_EQ(list.First(), "");
    EXPECT_EQ(list.Next(), "");
    list.Assign({"\\a", "\\b"});
    EXPECT_EQ(list.Next(), "");
    EXPECT_EQ(list.First(), "\\a");
    EXPECT_EQ(list.Next(), "\\b");
    EXPECT_EQ(list.Next(), "");
    EXPECT_EQ(list.Next(), "");
    EXPECT_EQ(list.First(), "\\a");  // restarts
    EXPECT_EQ(list.Next(), "\\b");
    list.Assign({"\\c"});
    EXPECT_EQ(list.Next(), "");
}

}  // namespace
}  // namespace kelmora

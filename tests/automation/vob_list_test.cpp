#include "automation/vob_list.h"

#include <gtest/gtest.h>

namespace kelmora {
namespace {

TEST(VobListTest, NextBeforeFirstAndAfterTheLastIsEmpty) {
    CVobList list;
    list.Assign({"\\proj", "\\tools"});
    EXPECT_EQ(list.Next(), "");
    EXPECT_EQ(list.First(), "\\proj");
    EXPECT_EQ(list.Next(), "\\tools");
    EXPECT_EQ(list.Next(), "");
    EXPECT_EQ(list.Next(), "");
}

TEST(VobListTest, FirstRestartsTheIteration) {
    CVobList list;
    list.Assign({"\\a", "\\b", "\\c"});
    EXPECT_EQ(list.First(), "\\a");
    EXPECT_EQ(list.Next(), "\\b");
    EXPECT_EQ(list.First(), "\\a");
    EXPECT_EQ(list.Next(), "\\b");
}

TEST(VobListTest, EmptyListHasNoFirstAndAssignDropsThePosition) {
    CVobList list;
    EXPECT_EQ(list.First(), "");
    EXPECT_EQ(list.Next(), "");
    list.Assign({"\\a"});
    EXPECT_EQ(list.First(), "\\a");
    list.Assign({"\\b"});
    EXPECT_EQ(list.Next(), "");
}

}  // namespace
}  // namespace kelmora

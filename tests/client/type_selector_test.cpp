// Type selectors; making, locking and removing types is shown through
// stavetool's type commands and the wizard's branch-type step.
#include <gtest/gtest.h>

#include <string>

#include "client/type_admin.h"

namespace kelmora::test {
namespace {

TEST(TypeSelectorTest, TheVobBeginsAtTheFirstAtSignBeforeASeparator) {
    client::ETypeKind kind;
    std::string name, vob;
    ASSERT_TRUE(client::ParseTypeSelector("lbtype:REL@1@/vobs/src", &kind, &name, &vob));
    EXPECT_EQ(kind, client::ETypeKind::kLabel);
    EXPECT_EQ(name + " " + vob, "REL@1 /vobs/src");
    for (const char* text : {"brtype:priv@vob", "brtype:@\\vob", "eltype:priv@\\vob"})
        EXPECT_FALSE(client::ParseTypeSelector(text, &kind, &name, &vob)) << text;
}

}  // namespace
}  // namespace kelmora::test

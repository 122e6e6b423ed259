#include <gtest/gtest.h>

#include <string>

#include "platform/format.h"
#include "support/test_env.h"

namespace kelmora {
namespace {

TEST(FormatPrintf, GrowsToAnyLength) {
    std::string long_text(5000, 'x');
    EXPECT_EQ(FormatPrintf("[%s]", long_text.c_str()).size(), 5002u);
    EXPECT_EQ(FormatPrintf("%-*s %s (%s)", 10, "kelmora", "1.0", "date"),
              "kelmora    1.0 (date)");
}

struct MessageCase {
    const char* format;
    std::string expected;
};

class FormatMessageTextTest : public ::testing::TestWithParam<MessageCase> {};

TEST_P(FormatMessageTextTest, FillsNumberedInserts) {
    const auto& c = GetParam();
    EXPECT_EQ(FormatMessageText(c.format, {CFormatArg(13LL), CFormatArg(std::string("/t/f"))}),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Inserts, FormatMessageTextTest,
    ::testing::Values(MessageCase{"Error %1!d! while trying to create temp file '%2!s!'",
                                  "Error 13 while trying to create temp file '/t/f'"},
                      MessageCase{"%2!s! then %1!d!", "/t/f then 13"},
                      MessageCase{"%1", "13"},                     // bare insert means text
                      MessageCase{"%1!5d!|", "   13|"},            // width inside the conversion
                      MessageCase{"%2!d!", "0"},                   // text where a number is asked
                      MessageCase{"%3!s! gone", " gone"},          // no such value
                      MessageCase{"100%% sure%n", "100% sure\n"},  // escapes
                      MessageCase{"%1!n!", ""},  // unknown conversion prints nothing
                      MessageCase{"%2!1905269717x!|", "|"},  // a field no message needs
                      MessageCase{"%2!.4097s!|", "|"},
                      MessageCase{"trailing %", "trailing %"}),
    [](const auto& info) { return test::CaseName(info.index, info.param.format); });

}  // namespace
}  // namespace kelmora

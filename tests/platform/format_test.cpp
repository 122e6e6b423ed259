#include "platform/format.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace kelmora {
namespace {

TEST(FormatMessageText, FillsNumberedInserts) {
    const std::pair<const char*, const char*> kCases[] = {
        {"Error %1!d! while trying to create temp file '%2!s!'",
         "Error 13 while trying to create temp file '/t/f'"},
        {"%2!s! then %1!d!", "/t/f then 13"},
        {"%1", "13"},                     // bare insert means text
        {"%1!9d!|", "       13|"},        // width inside the conversion
        {"%2!d!", "0"},                   // text where a number is asked
        {"%3!s! gone", " gone"},          // no such value
        {"100%% sure%n", "100% sure\n"},  // escapes
        {"%1!n!", ""},                    // unknown conversion prints nothing
        {"%2!1905269717x!|", "|"},        // a field no message needs
        {"%2!.4097s!|", "|"},
        {"trailing %", "trailing %"}};
    for (const auto& [format, expected] : kCases) {
        EXPECT_EQ(FormatMessageText(format, {CFormatArg(13LL), CFormatArg(std::string("/t/f"))}),
                  expected)
            << format;
    }
}

}  // namespace
}  // namespace kelmora

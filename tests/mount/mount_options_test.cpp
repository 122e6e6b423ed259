#include "mount/mount_options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "client/client_test_util.h"

namespace kelmora::test {
namespace {

struct mntent EntryWithOptions(const char* options) {
    return {nullptr, nullptr, nullptr, const_cast<char*>(options), 0, 0};
}

struct COptionCase {
    const char* options;
    const char* name;
    const char* token;  // null: no match
};

class HasMountOptionTest : public ::testing::TestWithParam<COptionCase> {};

TEST_P(HasMountOptionTest, OnlyAWholeNameMatches) {
    struct mntent entry = EntryWithOptions(GetParam().options);
    const char* token = mount::FindMountOption(&entry, GetParam().name);
    if (GetParam().token) {
        ASSERT_NE(token, nullptr);
        EXPECT_STREQ(token, GetParam().token);
    } else {
        EXPECT_EQ(token, nullptr) << token;
    }
}

const std::string kLongOptions = std::string(1018, 'x') + ",ro,rw";

INSTANTIATE_TEST_SUITE_P(
    Tokens, HasMountOptionTest,
    ::testing::Values(COptionCase{"rw,ro", "ro", "ro"}, COptionCase{"ro=1,rw", "ro", "ro=1"},
                      COptionCase{"rw", "ro", nullptr}, COptionCase{"roof", "ro", nullptr},
                      COptionCase{"noac", "no", nullptr}, COptionCase{"", "ro", nullptr},
                      COptionCase{kLongOptions.c_str(), "ro", "ro"},
                      // Only 1023 characters are looked at.
                      COptionCase{kLongOptions.c_str(), "rw", nullptr}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

struct CNumericCase {
    const char* name;
    const char* options;
    int32_t value;
    const char* message;
};

class NumericOptionTest : public ::testing::TestWithParam<CNumericCase> {};

TEST_P(NumericOptionTest, ValuesReadAsCNumbersAndBadOnesAreReportedAsZero) {
    struct mntent entry = EntryWithOptions(GetParam().options);
    CCapturedOutput output;
    EXPECT_EQ(mount::ReadNumericOption("timeo", &entry), GetParam().value);
    EXPECT_EQ(output.error(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, NumericOptionTest,
    ::testing::Values(CNumericCase{"Hex", "rw,timeo=0x10", 16, ""},
                      CNumericCase{"Octal", "timeo=010", 8, ""},
                      CNumericCase{"TrailingText", "timeo=12abc", 12, ""},
                      CNumericCase{"Clamped", "timeo=99999999999", INT32_MAX, ""},
                      CNumericCase{"Bare", "soft,timeo", 0, "bad numeric option 'timeo'\n"},
                      CNumericCase{"NotANumber", "timeo=abc", 0,
                                   "bad numeric option 'timeo=abc'\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StringOptionTest, TheValueStartsAfterBlanksAndEndsAtOne) {
    for (auto [options, value] :
         {std::pair{"rw,uuid= \tabc def", "abc"}, std::pair{"uuid=", ""}, std::pair{"uuid", ""}}) {
        struct mntent entry = EntryWithOptions(options);
        char* copy = mount::ReadStringOption("uuid", &entry);
        EXPECT_EQ(copy ? std::string(copy) : std::string(), value) << options;
        std::free(copy);
    }
}

}  // namespace
}  // namespace kelmora::test

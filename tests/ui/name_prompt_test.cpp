#include "ui/name_prompt.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/test_env.h"
#include "ui/console/console_ui.h"

namespace kelmora {
namespace {

struct CPromptCase {
    const char* input;
    int answer;
    const char* name;
    bool user_left;
};

class ConsoleNamePromptTest : public ::testing::TestWithParam<CPromptCase> {};

TEST_P(ConsoleNamePromptTest, ReadsOneLine) {
    std::istringstream in(GetParam().input);
    std::ostringstream out;
    CConsoleUserInterface ui(in, out);
    CNamePrompt prompt;
    prompt.set_message("Unable to name View Profile 'x'.\r\n\r\nFile exists");
    EXPECT_EQ(ui.RunNamePrompt(prompt), GetParam().answer);
    EXPECT_EQ(prompt.name(), GetParam().name);
    EXPECT_EQ(ui.IsUserPresent(), GetParam().user_left);
    EXPECT_NE(out.str().find("| Unable to name View Profile 'x'.\n|\n| File exists\n"),
              std::string::npos);
    ASSERT_EQ(ui.name_prompts().size(), 1u);
    EXPECT_EQ(ui.name_prompts()[0].answer, GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(Answers, ConsoleNamePromptTest,
                         ::testing::Values(CPromptCase{"New Name\n", IDOK, "New Name", true},
                                           CPromptCase{"Dos Name\r\n", IDOK, "Dos Name", true},
                                           CPromptCase{"\nlater\n", IDCANCEL, "", true},
                                           CPromptCase{"", IDCANCEL, "", false}),
                         [](const auto& info) {
                             return test::CaseName(info.index, info.param.input);
                         });

TEST(NamePrompt, FieldsStopAtTheEditBoxLimits) {
    CNamePrompt prompt;
    prompt.set_name(std::string(300, 'n'));
    prompt.set_message(std::string(2000, 'm'));
    EXPECT_EQ(prompt.name().size(), CNamePrompt::kMaxNameLength);
    EXPECT_EQ(prompt.message().size(), CNamePrompt::kMaxMessageLength);
}

}  // namespace
}  // namespace kelmora

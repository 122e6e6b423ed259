#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ui/console/console_ui.h"
#include "ui/user_interface.h"

namespace kelmora {
namespace {

// The answer read for a box of that style, or the one taken at end of
// input; the header names the style's icon, whatever its buttons.
struct AnswerCase {
    unsigned style;
    const char* input;
    int expected;
    const char* icon;
};

class ConsoleAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(ConsoleAnswerTest, ReadsTheAnswerOrFallsBackAtEndOfInput) {
    std::istringstream in(GetParam().input);
    std::ostringstream out;
    CConsoleUserInterface ui(in, out);
    EXPECT_EQ(ui.MessageBox("question?", GetParam().style), GetParam().expected);
    EXPECT_TRUE(out.str().starts_with("+-- " + ApplicationName() + " [" + GetParam().icon + "]\n"))
        << out.str();
}

INSTANTIATE_TEST_SUITE_P(
    Styles, ConsoleAnswerTest,
    ::testing::Values(AnswerCase{0x14, "yes\n", IDYES, "stop"},
                      AnswerCase{0x14, "N\n", IDNO, "stop"},
                      AnswerCase{0x14, "", IDNO, "stop"},             // end of input: No
                      AnswerCase{0x14, "maybe\ny\n", IDYES, "stop"},  // asks again
                      AnswerCase{0x14, "maybe\n", IDNO, "stop"},      // then runs out
                      AnswerCase{0x01, "", IDCANCEL, "none"},         // OK/Cancel at end: Cancel
                      AnswerCase{0x01, "ok\n", IDOK, "none"}, AnswerCase{0x00, "", IDOK, "none"},
                      AnswerCase{0x10, "\n", IDOK, "stop"},
                      AnswerCase{0x30, "", IDOK, "exclamation"},
                      AnswerCase{0x40, "anything\n", IDOK, "information"}));

TEST(ConsoleUserInterface, PrintsTitleIconAndEveryLine) {
    std::istringstream in;
    std::ostringstream out;
    CConsoleUserInterface ui(in, out);
    SetApplicationName("Stavemark View Profiles");
    ui.MessageBox("Error getting view handle.\n\nsecond", 0x10);
    SetApplicationName("kelmora");
    std::string shown = out.str();
    EXPECT_NE(shown.find("Stavemark View Profiles [stop]"), std::string::npos);
    EXPECT_NE(shown.find("| Error getting view handle.\n|\n| second\n"), std::string::npos);
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].style, 0x10u);
    EXPECT_EQ(ui.shown()[0].title, "Stavemark View Profiles");
}

TEST(UserInterfaceSeam, InstalledFrontEndServesAndWaitCursorNests) {
    std::istringstream in("y\n");
    std::ostringstream out;
    CConsoleUserInterface ui(in, out);
    {
        CScopedUserInterface scope(&ui);
        EXPECT_EQ(UserInterface().MessageBox("sure?", 0x14), IDYES);
        CWaitCursor outer;
        {
            CWaitCursor inner;
            EXPECT_EQ(ui.wait_cursor_depth(), 2);
        }
        EXPECT_EQ(ui.wait_cursor_depth(), 1);
    }
    EXPECT_EQ(ui.wait_cursor_depth(), 0);
    EXPECT_NE(&UserInterface(), &ui);
}

}  // namespace
}  // namespace kelmora

#include "ui/dissoc_dlg.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ui/console/console_ui.h"

namespace kelmora {
namespace {

// A dissociation whose steps answer as scripted, watching the wait cursor.
class CScriptedDissociation final : public CDissociationHost {
public:
    CScriptedDissociation(std::vector<BOOL> results, const CConsoleUserInterface& ui)
        : results_(std::move(results)), ui_(ui) {}
    BOOL RunDissociationStep() override {
        if (ui_.wait_cursor_depth() == 0) ADD_FAILURE() << "no wait cursor";
        return steps_ < results_.size() ? results_[steps_++] : FALSE;
    }
    size_t steps_ = 0;

private:
    std::vector<BOOL> results_;
    const CConsoleUserInterface& ui_;
};

struct CDissocCase {
    const char* label;
    const char* input;
    std::vector<BOOL> step_results;
    int answer;
    size_t steps;
};

class DissocDlgConsoleTest : public ::testing::TestWithParam<CDissocCase> {};

TEST_P(DissocDlgConsoleTest, OneLinePerDecisionAndAFailedStepKeepsTheDialog) {
    const CDissocCase& c = GetParam();
    std::istringstream in(c.input);
    std::ostringstream out;
    CConsoleUserInterface ui(in, out);
    CScopedUserInterface scope(&ui);  // the model's wait cursor goes to it
    CScriptedDissociation host(c.step_results, ui);
    CDissocDlg dialog(&host);
    EXPECT_EQ(ui.RunDissocDlg(dialog), c.answer);
    EXPECT_EQ(dialog.done(), c.answer == IDOK ? TRUE : FALSE);
    EXPECT_EQ(host.steps_, c.steps);
    EXPECT_TRUE(
        out.str().starts_with("+-- Dissociate from Stavemark View Profile [dialog]\n"
                              "| Removing the association between a view\n"
                              "| and a Stavemark View Profile will disable\n"
                              "| automatic support for branching and merging.\n"
                              "| Is this what you want to do?\n"
                              "+-- [Yes/No] "))
        << out.str();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DissocDlgConsoleTest,
    ::testing::Values(CDissocCase{"Yes", "yes\n", {TRUE}, IDOK, 1},
                      CDissocCase{"EndOfInputAnswersNo", "", {}, IDCANCEL, 0},
                      CDissocCase{"OtherWordsAskAgain", "perhaps\nY\n", {TRUE}, IDOK, 1},
                      CDissocCase{"FailedStepThenYes", "yes\nyes\n", {FALSE, TRUE}, IDOK, 2},
                      CDissocCase{"FailedStepThenNo", "yes\nno\n", {FALSE}, IDCANCEL, 1}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace kelmora

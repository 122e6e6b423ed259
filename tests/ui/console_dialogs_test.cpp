// The console renderings of the dialogs, driven by scripted input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scripted_ui.h"
#include "support/test_env.h"
#include "ui/assoc_dlg.h"
#include "ui/cos_dlg.h"
#include "ui/edit_cspec.h"
#include "ui/finish_dlg.h"

namespace kelmora {
namespace {

using Texts = std::vector<std::string>;

class CAcceptingHost : public CAssociationHost {
public:
    BOOL RunAssociationStep(const std::string& name) override {
        calls.push_back(name);
        return name == "\\Good" ? TRUE : FALSE;
    }
    Texts calls;
};

struct CAssocScript {
    const char* name;
    const char* input;
    int result;
    Texts calls;
};

class ConsoleAssocTest : public ::testing::TestWithParam<CAssocScript> {};

TEST_P(ConsoleAssocTest, EachLineIsOneDecision) {
    test::CScriptedUserInterface ui(GetParam().input);
    CAcceptingHost host;
    CAssocDlg dialog(&host);
    EXPECT_EQ(dialog.DoModal(), GetParam().result);
    EXPECT_EQ(host.calls, GetParam().calls);
    EXPECT_EQ(dialog.done(), GetParam().result == IDOK ? TRUE : FALSE);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, ConsoleAssocTest,
    ::testing::Values(
        CAssocScript{"RefusedNameThenAccepted", "\\Bad\n\\Good\n", IDOK, {"\\Bad", "\\Good"}},
        CAssocScript{"EmptyLineOnAnEmptyField", "\n", IDCANCEL, {""}},
        CAssocScript{"EndOfInputCancels", "", IDCANCEL, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConsoleRendering, AssociatePrintsTitleTextsAndControls) {
    test::CScriptedUserInterface ui("cancel\n");
    CAssocDlg dialog;
    dialog.DoModal();
    EXPECT_EQ(ui.output(),
              "+-- Associate with Stavemark View Profile\n"
              "| Enter the name of the Stavemark View Profile\n"
              "| that you want to associate with this view:\n"
              "| Name: \n"
              "+-- [OK] [Cancel] [Help] [Browse]\n"
              "+-- profile name, browse, help or cancel (an empty line is OK): ");
}

struct CFinishScript {
    const char* name;
    const char* input;
    int result;
    int choice;
};

class ConsoleFinishTest : public ::testing::TestWithParam<CFinishScript> {};

TEST_P(ConsoleFinishTest, ButtonsAndEnterByFocus) {
    test::CScriptedUserInterface ui(GetParam().input);
    CFinishDlg dialog;
    EXPECT_EQ(dialog.DoModal(), GetParam().result);
    EXPECT_EQ(dialog.choice(), GetParam().choice);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, ConsoleFinishTest,
    ::testing::Values(CFinishScript{"Publish", "publish\n", IDOK, 1},
                      CFinishScript{"Suspend", "suspend\n", IDOK, 0},
                      CFinishScript{"EnterOnSuspend", "focus suspend\nenter\n", IDOK, 0},
                      CFinishScript{"EnterAtFirst", "enter\n", IDOK, 1},
                      CFinishScript{"EnterOnCancel", "focus cancel\nenter\n", IDCANCEL, 1},
                      CFinishScript{"EndOfInputCancels", "", IDCANCEL, 1}),
    [](const auto& info) { return std::string(info.param.name); });

struct CCheckoutsScript {
    const char* name;
    const char* input;
    int result;
    size_t finder_runs;
};

class ConsoleCheckoutsTest : public ::testing::TestWithParam<CCheckoutsScript> {};

TEST_P(ConsoleCheckoutsTest, FindRunsTheFinderAndCloses) {
    test::CRecordingTool finder("stavefindco");
    test::CScriptedUserInterface ui(GetParam().input);
    CCOsDlg dialog("jdoe_dev", FALSE, kCheckoutsSynchronize);
    dialog.set_message("3 checked out elements in \\vobA");
    EXPECT_EQ(dialog.DoModal(), GetParam().result);
    EXPECT_EQ(finder.Runs().size(), GetParam().finder_runs);
    EXPECT_TRUE(ui.output().starts_with(
        "+-- Synchronize with View Profile\n"
        "| Before proceeding, you must first check in (or undo the check outs for) these "
        "elements.\n"
        "| 3 checked out elements in \\vobA\n"
        "| To display the list of checked out elements, press this button.\n"
        "+-- [Find Check Outs] [OK] [Help]   focus: OK\n"))
        << ui.output();
}

INSTANTIATE_TEST_SUITE_P(Scripts, ConsoleCheckoutsTest,
                         ::testing::Values(CCheckoutsScript{"Find", "find\n", IDOK, 1},
                                           CCheckoutsScript{"Ok", "what\nok\n", IDOK, 0},
                                           CCheckoutsScript{"EndOfInput", "", IDCANCEL, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

constexpr char kStored[] = "element * CHECKEDOUT\r\nelement * /main/LATEST\r\n";

struct CEditorScript {
    const char* name;
    int hidden;
    const char* input;
    int result;
    const char* kept;
};

class ConsoleEditorTest : public ::testing::TestWithParam<CEditorScript> {};

TEST_P(ConsoleEditorTest, EditTextThenButtons) {
    test::CScriptedUserInterface ui(GetParam().input);
    CEditCSpec dialog;
    dialog.set_config_spec_text(kStored);
    dialog.set_context_text("jdoe_dev");
    dialog.set_hidden_mode(GetParam().hidden);
    EXPECT_EQ(dialog.DoModal(), GetParam().result);
    EXPECT_EQ(dialog.config_spec_text(), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, ConsoleEditorTest,
    ::testing::Values(CEditorScript{"EditSaveClose", 0, "edit\nelement * /main/3\n.\nsave\nclose\n",
                                    IDOK, "element * /main/3\r\n"},
                      CEditorScript{"SaveBeforeEditIsRefused", 0, "save\nclose\n", IDOK, kStored},
                      CEditorScript{"EndOfInputKeepsNothing", 0, "edit\nelement * /main/3\n.\n",
                                    IDCANCEL, kStored},
                      CEditorScript{"HiddenEditDone", 1, "edit\nelement * /main/3\n.\ndone\n", IDOK,
                                    "element * /main/3\r\n"},
                      CEditorScript{"HiddenEndOfInputKeepsTheText", 1, "", IDOK, kStored}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConsoleRendering, EditorPrintsTheTextAndTheButtonsOfItsState) {
    test::CScriptedUserInterface ui("edit\n.\n");
    CEditCSpec dialog;
    dialog.set_config_spec_text(kStored);
    dialog.DoModal();
    EXPECT_EQ(ui.output(),
              "+-- Stavemark Config Spec Editor\n"
              "| element * CHECKEDOUT\n"
              "| element * /main/LATEST\n"
              "|\n"
              "+-- [Edit] [Close]   focus: Edit\n"
              "+-- edit, undo, reset, save, close or quit: "
              "+-- the new text, ended by a line holding only \".\":\n"
              "+-- (Undo) (Reset) (Save) [Close]\n"
              "+-- edit, undo, reset, save, close or quit: Cancel (end of input)\n");
}

}  // namespace
}  // namespace kelmora

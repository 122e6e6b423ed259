// One input line per decision; the end of the input answers Cancel or No.
#include <gtest/gtest.h>

#include <string>

#include "support/scripted_ui.h"
#include "support/test_env.h"
#include "ui/assoc_dlg.h"
#include "ui/cos_dlg.h"
#include "ui/dissoc_dlg.h"
#include "ui/edit_cspec.h"
#include "ui/finish_dlg.h"
#include "ui/name_prompt.h"

namespace kelmora {
namespace {

std::string Answered(int result) {
    return result == IDOK ? "OK" : result == IDCANCEL ? "Cancel" : result == IDYES ? "Yes" : "No";
}

// Runs one dialog on the scripted console: what it answered and left in words.
using Runner = std::string (*)(test::CScriptedUserInterface& ui);

template <unsigned style>
std::string RunBox(test::CScriptedUserInterface&) {
    return Answered(UserInterface().MessageBox("question?\n\nsecond", style));
}

class CAcceptingHost : public CAssociationHost {
public:
    BOOL RunAssociationStep(const std::string& name) override {
        tried += " [" + name + "]";
        return name == "\\Good" ? TRUE : FALSE;
    }
    std::string tried;
};

std::string RunAssociate(test::CScriptedUserInterface&) {
    CAcceptingHost host;
    CAssocDlg dialog(&host);
    const std::string result = Answered(dialog.DoModal());
    return result + host.tried + (dialog.done() ? " done" : "");
}

std::string RunFinish(test::CScriptedUserInterface&) {
    CFinishDlg dialog;
    const std::string result = Answered(dialog.DoModal());
    return result + (dialog.choice() == 1 ? " publish" : " suspend");
}

std::string RunCheckouts(test::CScriptedUserInterface&) {
    test::CRecordingTool finder("stavefindco");
    CCOsDlg dialog("jdoe_dev", FALSE, kCheckoutsSynchronize);
    dialog.set_message("3 checked out elements in \\vobA");
    const std::string result = Answered(dialog.DoModal());
    return result + ", finder run " + std::to_string(finder.Runs().size()) + " times";
}

constexpr char kStored[] = "element * CHECKEDOUT\r\nelement * /main/LATEST\r\n";

template <int hidden>
std::string RunEditor(test::CScriptedUserInterface& ui) {
    CEditCSpec dialog;
    dialog.set_config_spec_text(kStored);
    dialog.set_context_text("jdoe_dev");
    dialog.set_hidden_mode(hidden);
    const std::string result = Answered(dialog.DoModal());
    const std::string& kept = dialog.config_spec_text();
    std::string boxes;  // each with its style
    for (const CShownBox& box : ui.shown())
        boxes += " [" + std::to_string(box.style) + ": " + box.text + "]";
    return result + " " + (kept == kStored ? "unchanged" : kept) + boxes;
}

// Its first step fails, the next succeed; each runs under the wait cursor.
class CDissociation final : public CDissociationHost {
public:
    explicit CDissociation(const test::CScriptedUserInterface& ui) : ui_(ui) {}
    BOOL RunDissociationStep() override {
        if (ui_.wait_cursor_depth() == 0) ADD_FAILURE() << "no wait cursor";
        return ++steps > 1 ? TRUE : FALSE;
    }
    int steps = 0;

private:
    const test::CScriptedUserInterface& ui_;
};

std::string RunDissociate(test::CScriptedUserInterface& ui) {
    CDissociation host(ui);
    CDissocDlg dialog(&host);
    const std::string result = Answered(UserInterface().RunDissocDlg(dialog));
    return result + " after " + std::to_string(host.steps) + " steps" +
           (dialog.done() ? " done" : "");
}

std::string RunNamePrompt(test::CScriptedUserInterface&) {
    CNamePrompt prompt;
    prompt.set_message("Unable to name View Profile 'x'.\r\n\r\nFile exists");
    const std::string result = Answered(UserInterface().RunNamePrompt(prompt));
    return result + " [" + prompt.name() + "]" +
           (UserInterface().IsUserPresent() ? "" : " input ended");
}

struct CScriptCase {
    const char* label;
    Runner run;
    const char* input;
    std::string outcome;
    std::string shown = {};  // the lines that tell this screen; empty: not compared
};

class ConsoleScriptTest : public ::testing::TestWithParam<CScriptCase> {};

TEST_P(ConsoleScriptTest, EachLineIsOneDecision) {
    const CScriptCase& c = GetParam();
    test::CScriptedUserInterface ui(c.input);
    EXPECT_EQ(c.run(ui), c.outcome);
    EXPECT_NE(ui.output().find(c.shown), std::string::npos) << ui.output();
}

const std::string kAssociateShown =
    "| Name: \n+-- [OK] [Cancel] [Help] [Browse]\n+-- profile name, browse, help or cancel";
const std::string kCheckoutsShown =
    "| 3 checked out elements in \\vobA\n| To display the list of checked out elements, press "
    "this button.\n+-- [Find Check Outs] [OK] [Help]   focus: OK\n";
// A caption's later lines stand under its first.
const std::string kFinishShown =
    "|            Configure my view to see the Integration Branch.\n"
    "+-- [Publish] [Suspend] [Cancel] [Help]   focus: Publish\n";
const std::string kEditorShown =
    "+-- save is not available now\n+-- [Edit] [Close]   focus: Edit\n"
    "+-- edit, undo, reset, save, close or quit: "
    "+-- the new text, ended by a line holding only \".\":\n"
    "+-- (Undo) (Reset) (Save) [Close]\n";
const std::string kSaveChanges = " [35: Save changes to the config spec?]";
const std::string kDissociateShown =
    "+-- Dissociate from Stavemark View Profile [dialog]\n| Removing the association";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Scripts, ConsoleScriptTest, ::testing::Values(
    // Every line of the text, an empty one too, under the title and the style's icon.
    CScriptCase{"BoxNo", RunBox<0x14>, "N\n", "No", "+-- kelmora [stop]\n| question?\n|\n| second\n+-- ["},
    CScriptCase{"BoxAsksAgain", RunBox<0x14>, "maybe\ny\n", "Yes"},
    CScriptCase{"BoxOkCancelAtEndOfInput", RunBox<0x01>, "", "Cancel", "+-- kelmora [none]\n"},
    CScriptCase{"BoxInformationTakesAnyLine", RunBox<0x40>, "any\n", "OK", "+-- kelmora [information]\n"},
    CScriptCase{"AssociateShowsTheDialog", RunAssociate, "cancel\n", "Cancel", kAssociateShown},
    CScriptCase{"AssociateRefusedThenAccepted", RunAssociate, "\\Bad\n\\Good\n", "OK [\\Bad] [\\Good] done", "OK): | Name: \\Bad\n"},
    CScriptCase{"AssociateEmptyLineOnAnEmptyField", RunAssociate, "\n", "Cancel []"},
    CScriptCase{"FinishEnterOnSuspend", RunFinish, "focus suspend\nenter\n", "OK suspend"},
    CScriptCase{"FinishEnterAtFirst", RunFinish, "enter\n", "OK publish", kFinishShown},
    CScriptCase{"FinishAtEndOfInput", RunFinish, "", "Cancel publish"},
    CScriptCase{"CheckoutsFind", RunCheckouts, "find\n", "OK, finder run 1 times", kCheckoutsShown},
    CScriptCase{"CheckoutsOk", RunCheckouts, "what\nok\n", "OK, finder run 0 times"},
    CScriptCase{"CheckoutsAtEndOfInput", RunCheckouts, "", "Cancel, finder run 0 times"},
    CScriptCase{"EditorShowsTheButtonsOfItsStateAndRefusesOthers", RunEditor<0>, "save\nedit\n.\nclose\n",
                "OK unchanged", kEditorShown},
    CScriptCase{"EditorAtEndOfInputKeepsNothing", RunEditor<0>, "edit\nelement * /main/3\n.\n",
                "Cancel unchanged"},
    // Closed after a change, the editor asks; it keeps only a text that parses.
    CScriptCase{"EditorCloseAfterAChangeYes", RunEditor<0>, "edit\nelement * /main/3\n.\nclose\nyes\n",
                "OK element * /main/3\r\n" + kSaveChanges},
    CScriptCase{"EditorCloseBoxYesOnAnInvalidTextStays", RunEditor<0>, "edit\nelement * CHECKEDOUT\n"
                "element * /main/LATEST\n  elemnt * x\n.\nquit\nyes\n\n", "Cancel unchanged" + kSaveChanges +
                " [0: The config spec contains a syntax error on line 3, near column 3.\n\nYou'll need to "
                "correct this error before saving the config spec.]"},
    CScriptCase{"HiddenEditorAtEndOfInputKeepsTheText", RunEditor<1>, "", "OK unchanged"},
    // Done takes the text unchecked; Undo takes a Reset back.
    CScriptCase{"HiddenEditorDone", RunEditor<1>, "edit\n  elemnt * x\n.\nreset\nundo\ndone\n",
                "OK   elemnt * x\r\n", "+-- Stavemark Config Spec Editor: jdoe_dev\n"},
    CScriptCase{"DissociateFailedStepThenYes", RunDissociate, "yes\nyes\n", "OK after 2 steps done",
                kDissociateShown},
    CScriptCase{"NamePromptReadsOneLine", RunNamePrompt, "New Name\n", "OK [New Name]",
                "+-- kelmora [name]\n| Unable to name View Profile 'x'.\n|\n| File exists\n"},
    CScriptCase{"NamePromptDropsTheCarriageReturn", RunNamePrompt, "Dos Name\r\n", "OK [Dos Name]"},
    CScriptCase{"NamePromptAtEndOfInput", RunNamePrompt, "", "Cancel [] input ended"}),
    [](const auto& info) { return std::string(info.param.label); });
// clang-format on

}  // namespace
}  // namespace kelmora

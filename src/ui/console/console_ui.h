#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "ui/user_interface.h"

namespace kelmora {

// A box as the console showed it, kept for callers that check what was asked.
struct CShownBox {
    std::string title;
    std::string text;
    unsigned style = 0;
    int answer = 0;
};

// A name prompt as the console ran it.
struct CShownNamePrompt {
    std::string message;
    std::string name;  // what was entered; empty when cancelled
    int answer = 0;
};

class CDialogModel;

// Terminal front end: prints each box (title, icon word, text, buttons) and
// reads the answer from a line of input. At end of input a box with a Cancel
// or No button answers Cancel or No; an OK box answers OK. Dialogs print their
// texts and controls and read one line per decision (docs/dialogs.md); at end
// of input they are cancelled. Fed from a string stream it is the scripted
// front end of the end-to-end tests.
class CConsoleUserInterface : public CUserInterface {
public:
    CConsoleUserInterface(std::istream& in, std::ostream& out);

    int MessageBox(const std::string& text, unsigned style) override;
    // Prints the message and reads the name from one line; an empty line or
    // the end of input cancels.
    int RunNamePrompt(CNamePrompt& prompt) override;
    int RunAssocDlg(CAssocDlg& dialog) override;
    int RunCOsDlg(CCOsDlg& dialog) override;
    int RunFinishDlg(CFinishDlg& dialog) override;
    int RunEditCSpec(CEditCSpec& dialog) override;
    // Prints the active page and reads one command per line (docs/dialogs.md);
    // a command for a control that is disabled or not on the page is refused.
    // End of input cancels.
    int RunBranchPSheet(CBranchPSheet& sheet) override;
    // Prints the title and texts and reads yes or no, one line per decision;
    // a Yes whose step fails keeps the dialog for the next line. End of
    // input answers No.
    int RunDissocDlg(CDissocDlg& dialog) override;
    bool IsUserPresent() const override { return !input_ended_; }
    void BeginWaitCursor() override;
    void EndWaitCursor() override;

    const std::vector<CShownBox>& shown() const { return shown_; }
    const std::vector<CShownNamePrompt>& name_prompts() const { return name_prompts_; }
    int wait_cursor_depth() const { return wait_depth_; }

private:
    // Reads a line; false at end of input.
    bool ReadAnswerLine(std::string* line);
    void PrintIndented(const std::string& text);
    // One line of controls: visible buttons, disabled ones in parentheses.
    void PrintButtons(const CDialogModel& dialog,
                      const std::vector<std::pair<int, const char*>>& buttons);
    // What a dialog takes, one line per decision: the words and what each
    // does; any other line goes to other (refused when it answers false or
    // there is none). before_each prints what changes between decisions.
    struct CDecisions {
        std::string prompt;
        std::vector<std::pair<int, const char*>> buttons;
        std::vector<std::pair<std::string, std::function<void()>>> words;
        std::function<bool(const std::string& line, const std::string& word)> other;
        std::function<void()> before_each;
        std::function<void()> at_end;
    };
    // Reads decisions until the dialog ends or the input does.
    void RunDecisions(CDialogModel& dialog, const CDecisions& decisions);
    void CancelAtEndOfInput(CDialogModel& dialog);
    // The wizard's pages: their texts once, their fields before each command,
    // and the commands each takes (console_wizard.cpp).
    void PrintWizardPage(CBranchPSheet& sheet, bool with_texts);
    bool RunNamePageCommand(CBranchPSheet& sheet, const std::string& word, const std::string& rest);
    bool RunBranchPointCommand(CBranchPSheet& sheet, const std::string& word,
                               const std::string& rest);
    void Refuse(const std::string& word);
    // Lines up to one holding only "."; false when the input ends first.
    bool ReadTextBlock(std::string* text);
    // Reads lines until one answers the buttons (a style's button bits that
    // ask a question); end of input gives the set's last answer (No or Cancel).
    int ReadButtonAnswer(unsigned buttons);

    std::istream& in_;
    std::ostream& out_;
    std::vector<CShownBox> shown_;
    std::vector<CShownNamePrompt> name_prompts_;
    int wait_depth_ = 0;
    bool input_ended_ = false;
    bool echo_answers_ = false;  // print each line read after its prompt
    friend CUserInterface& DefaultUserInterface();
};

// Words the console prints for the icon bits of a style.
const char* IconWord(unsigned style);

// An answer as the console compares it: lower case, without outer blanks.
std::string NormalizedAnswer(std::string line);

// A caption as the console prints it: without the mnemonic markers ("&").
std::string CaptionText(const std::string& caption);

}  // namespace kelmora

#pragma once

#include <iosfwd>
#include <string>
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

// Terminal front end: prints each box (title, icon word, text, buttons) and
// reads the answer from a line of input. At end of input a box with a Cancel
// or No button answers Cancel or No; an OK box answers OK. Fed from a string
// stream it is the scripted front end of the end-to-end tests.
class CConsoleUserInterface : public CUserInterface {
public:
    CConsoleUserInterface(std::istream& in, std::ostream& out);

    int MessageBox(const std::string& text, unsigned style) override;
    // Prints the message and reads the name from one line; an empty line or
    // the end of input cancels.
    int RunNamePrompt(CNamePrompt& prompt) override;
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
    // Reads lines until one answers the buttons: IDYES/IDNO or IDOK/IDCANCEL.
    // End of input answers No or Cancel.
    int ReadButtonAnswer(bool yes_no);

    std::istream& in_;
    std::ostream& out_;
    std::vector<CShownBox> shown_;
    std::vector<CShownNamePrompt> name_prompts_;
    int wait_depth_ = 0;
    bool input_ended_ = false;
};

// Words the console prints for the icon bits of a style.
const char* IconWord(unsigned style);

}  // namespace kelmora

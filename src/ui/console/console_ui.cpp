#include "ui/console/console_ui.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>

#include "ui/dissoc_dlg.h"
#include "ui/name_prompt.h"

namespace kelmora {

namespace {

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    text.erase(0, text.find_first_not_of(" \t\r"));
    text.erase(text.find_last_not_of(" \t\r") + 1);
    return text;
}

}  // namespace

const char* IconWord(unsigned style) {
    switch (style & MB_ICON_MASK) {
        case MB_ICONSTOP: return "stop";
        case MB_ICONEXCLAMATION: return "exclamation";
        case MB_ICONINFORMATION: return "information";
        case 0x20: return "question";
        default: return "none";
    }
}

CConsoleUserInterface::CConsoleUserInterface(std::istream& in, std::ostream& out)
    : in_(in), out_(out) {}

bool CConsoleUserInterface::ReadAnswerLine(std::string* line) {
    if (!std::getline(in_, *line)) {
        input_ended_ = true;
        return false;
    }
    return true;
}

void CConsoleUserInterface::PrintIndented(const std::string& text) {
    // Indent every line of the text so that multi-line messages stay readable.
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out_ << (line.empty() ? "|" : "| ") << line << "\n";
        start = end + 1;
    }
}

int CConsoleUserInterface::ReadButtonAnswer(bool yes_no) {
    out_ << "+-- " << (yes_no ? "[Yes/No] " : "[OK/Cancel] ") << std::flush;
    for (;;) {
        std::string line;
        if (!ReadAnswerLine(&line)) {
            out_ << (yes_no ? "No" : "Cancel") << " (end of input)\n";
            return yes_no ? IDNO : IDCANCEL;
        }
        std::string word = Lowered(line);
        if (yes_no && (word == "y" || word == "yes")) return IDYES;
        if (yes_no && (word == "n" || word == "no")) return IDNO;
        if (!yes_no && (word == "o" || word == "ok" || word.empty())) return IDOK;
        if (!yes_no && (word == "c" || word == "cancel")) return IDCANCEL;
        out_ << "+-- please answer " << (yes_no ? "yes or no: " : "ok or cancel: ") << std::flush;
    }
}

int CConsoleUserInterface::MessageBox(const std::string& text, unsigned style) {
    unsigned buttons = style & MB_BUTTON_MASK;
    out_ << "+-- " << ApplicationName() << " [" << IconWord(style) << "]\n";
    PrintIndented(text);
    int answer = IDOK;
    if (buttons == MB_YESNO || buttons == 0x01 /* OK/Cancel */) {
        answer = ReadButtonAnswer(buttons == MB_YESNO);
    } else {
        out_ << "+-- [OK] " << std::flush;
        std::string line;
        if (!ReadAnswerLine(&line)) out_ << "\n";
    }
    out_.flush();
    shown_.push_back({ApplicationName(), text, style, answer});
    return answer;
}

int CConsoleUserInterface::RunNamePrompt(CNamePrompt& prompt) {
    out_ << "+-- " << ApplicationName() << " [name]\n";
    PrintIndented(prompt.message());
    out_ << "+-- name (an empty line cancels): " << std::flush;
    std::string line;
    int answer = IDCANCEL;
    if (!ReadAnswerLine(&line)) {
        out_ << "Cancel (end of input)\n";
    } else {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) {
            prompt.set_name(line);
            answer = IDOK;
        }
    }
    out_.flush();
    name_prompts_.push_back({prompt.message(), answer == IDOK ? prompt.name() : "", answer});
    return answer;
}

int CConsoleUserInterface::RunDissocDlg(CDissocDlg& dialog) {
    dialog.OnInitDialog();
    out_ << "+-- " << CDissocDlg::kTitle << " [dialog]\n";
    for (const std::string& text : dialog.texts()) PrintIndented(text);
    // The step's own messages come between the prompts.
    while (ReadButtonAnswer(true) == IDYES) {
        if (dialog.OnYes()) return IDOK;
    }
    dialog.OnNo();
    out_.flush();
    return IDCANCEL;
}

void CConsoleUserInterface::BeginWaitCursor() { ++wait_depth_; }
void CConsoleUserInterface::EndWaitCursor() {
    if (wait_depth_ > 0) --wait_depth_;
}

}  // namespace kelmora

#include "ui/console/console_ui.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <istream>
#include <ostream>
#include <vector>

#include "ui/dissoc_dlg.h"
#include "ui/name_prompt.h"

namespace kelmora {

std::string NormalizedAnswer(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    text.erase(0, text.find_first_not_of(" \t\r"));
    text.erase(text.find_last_not_of(" \t\r") + 1);
    return text;
}

const char* IconWord(unsigned style) {
    switch (style & MB_ICON_MASK) {
        case MB_ICONSTOP:
            return "stop";
        case MB_ICONEXCLAMATION:
            return "exclamation";
        case MB_ICONINFORMATION:
            return "information";
        case 0x20:
            return "question";
        default:
            return "none";
    }
}

CConsoleUserInterface::CConsoleUserInterface(std::istream& in, std::ostream& out)
    : in_(in), out_(out) {}

bool CConsoleUserInterface::ReadAnswerLine(std::string* line) {
    if (input_ended_ || !std::getline(in_, *line)) {
        input_ended_ = true;
        return false;
    }
    // Input that is not typed is not echoed: say it, so that what follows
    // starts on a line of its own.
    if (echo_answers_) out_ << *line << "\n" << std::flush;
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

namespace {

// The answers of a box with more than an OK button: the words that give each
// answer, and the answer taken at end of input (the last one listed).
struct CAnswerWord {
    const char* word;
    const char* short_word;
    int answer;
};
struct CButtonSet {
    unsigned buttons;
    const char* label;
    const char* retry;
    std::vector<CAnswerWord> answers;
};

const CButtonSet* ButtonSetOf(unsigned buttons) {
    static const CButtonSet kSets[] = {
        {MB_YESNO, "[Yes/No] ", "yes or no: ", {{"yes", "y", IDYES}, {"no", "n", IDNO}}},
        {MB_OKCANCEL,
         "[OK/Cancel] ",
         "ok or cancel: ",
         {{"ok", "o", IDOK}, {"", "", IDOK}, {"cancel", "c", IDCANCEL}}},
        {MB_YESNOCANCEL,
         "[Yes/No/Cancel] ",
         "yes, no or cancel: ",
         {{"yes", "y", IDYES}, {"no", "n", IDNO}, {"cancel", "c", IDCANCEL}}},
    };
    for (const CButtonSet& set : kSets)
        if (set.buttons == buttons) return &set;
    return nullptr;
}

const char* AnswerWord(int answer) {
    switch (answer) {
        case IDYES:
            return "Yes";
        case IDNO:
            return "No";
        case IDCANCEL:
            return "Cancel";
        default:
            return "OK";
    }
}

}  // namespace

int CConsoleUserInterface::ReadButtonAnswer(unsigned buttons) {
    const CButtonSet* set = ButtonSetOf(buttons);
    out_ << "+-- " << set->label << std::flush;
    for (;;) {
        std::string line;
        if (!ReadAnswerLine(&line)) {
            int answer = set->answers.back().answer;
            out_ << AnswerWord(answer) << " (end of input)\n";
            return answer;
        }
        std::string word = NormalizedAnswer(line);
        for (const CAnswerWord& candidate : set->answers) {
            if (word == candidate.word || word == candidate.short_word) return candidate.answer;
        }
        out_ << "+-- please answer " << set->retry << std::flush;
    }
}

int CConsoleUserInterface::MessageBox(const std::string& text, unsigned style) {
    out_ << "+-- " << ApplicationName() << " [" << IconWord(style) << "]\n";
    PrintIndented(text);
    int answer = IDOK;
    if (ButtonSetOf(style & MB_BUTTON_MASK)) {
        answer = ReadButtonAnswer(style & MB_BUTTON_MASK);
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

CUserInterface& DefaultUserInterface() {
    // Messages go to standard error so that a method's printed result stays clean.
    static CConsoleUserInterface console = [] {
        // Batch mode: nothing is read, so every box takes its default and
        // every question and dialog its No or Cancel.
        const char* no_input = std::getenv("KELMORA_NO_INPUT");
        if (no_input && std::strcmp(no_input, "1") == 0) {
            CConsoleUserInterface batch(std::cin, std::cerr);
            batch.input_ended_ = true;
            return batch;
        }
        // Unbuffered, so that a sibling program that a dialog starts (the
        // profile browser) reads the answers on the same input meant for it.
        std::setvbuf(stdin, nullptr, _IONBF, 0);
        CConsoleUserInterface console(std::cin, std::cerr);
        console.echo_answers_ = isatty(STDIN_FILENO) == 0;
        return console;
    }();
    return console;
}

int CConsoleUserInterface::RunDissocDlg(CDissocDlg& dialog) {
    dialog.OnInitDialog();
    out_ << "+-- " << CDissocDlg::kTitle << " [dialog]\n";
    for (const std::string& text : dialog.texts()) PrintIndented(text);
    // The step's own messages come between the prompts.
    while (ReadButtonAnswer(MB_YESNO) == IDYES) {
        if (dialog.OnYes()) return IDOK;
    }
    dialog.OnNo();
    out_.flush();
    return IDCANCEL;
}

void CConsoleUserInterface::BeginWaitCursor() {
    ++wait_depth_;
}
void CConsoleUserInterface::EndWaitCursor() {
    if (wait_depth_ > 0) --wait_depth_;
}

}  // namespace kelmora

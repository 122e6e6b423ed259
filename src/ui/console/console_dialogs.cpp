// The console renderings of the operation dialogs and the config spec editor.
#include <istream>
#include <ostream>

#include "ui/assoc_dlg.h"
#include "ui/console/console_ui.h"
#include "ui/cos_dlg.h"
#include "ui/edit_cspec.h"
#include "ui/finish_dlg.h"

namespace kelmora {

namespace {

std::string WithoutLineEnd(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

std::string CaptionText(const std::string& caption) {
    std::string text;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        text += caption[i];
    }
    return text;
}

void CConsoleUserInterface::PrintButtons(const CDialogModel& dialog,
                                         const std::vector<std::pair<int, const char*>>& buttons) {
    out_ << "+--";
    std::string focused;
    for (const auto& [id, caption] : buttons) {
        if (!dialog.IsVisible(id)) continue;
        const std::string text = CaptionText(caption);
        out_ << (dialog.IsEnabled(id) ? " [" + text + "]" : " (" + text + ")");
        if (dialog.focus() == id) focused = text;
    }
    if (!focused.empty()) out_ << "   focus: " << focused;
    out_ << "\n";
}

bool CConsoleUserInterface::ReadTextBlock(std::string* text) {
    out_ << "+-- the new text, ended by a line holding only \".\":\n" << std::flush;
    text->clear();
    std::string line;
    while (ReadAnswerLine(&line)) {
        line = WithoutLineEnd(line);
        if (line == ".") return true;
        *text += line + "\r\n";  // config spec text keeps CR LF line ends
    }
    return false;
}

void CConsoleUserInterface::RunDecisions(CDialogModel& dialog, const CDecisions& decisions) {
    while (!dialog.ended()) {
        if (decisions.before_each) decisions.before_each();
        if (!decisions.buttons.empty()) PrintButtons(dialog, decisions.buttons);
        out_ << "+-- " << decisions.prompt << ": " << std::flush;
        std::string line;
        if (!ReadAnswerLine(&line)) {
            decisions.at_end();
            break;
        }
        line = WithoutLineEnd(line);
        const std::string word = NormalizedAnswer(line);
        bool taken = false;
        for (const auto& [name, action] : decisions.words) {
            if (word == name) {
                action();
                taken = true;
                break;
            }
        }
        if (!taken && !(decisions.other && decisions.other(line, word)))
            out_ << "+-- please answer " << decisions.prompt << "\n";
    }
    out_.flush();
}

int CConsoleUserInterface::RunAssocDlg(CAssocDlg& dialog) {
    dialog.OnInitDialog();
    out_ << "+-- " << CAssocDlg::kTitle << "\n";
    PrintIndented(std::string(CAssocDlg::kPromptFirst) + "\n" + dialog.prompt_text());
    RunDecisions(dialog, {"profile name, browse, help or cancel (an empty line is OK)",
                          {{IDOK, "OK"},
                           {IDCANCEL, "Cancel"},
                           {kHelpButtonId, "Help"},
                           {CAssocDlg::kBrowseId, CAssocDlg::kBrowseCaption}},
                          {{"browse", [&] { dialog.OnBrowse(); }},
                           {"help", [&] { dialog.OnHelp(); }},
                           {"cancel", [&] { dialog.OnCancel(); }}},
                          // Any other line is the name, typed into the field, and OK.
                          [&](const std::string& line, const std::string&) {
                              if (!line.empty()) dialog.set_name_text(line);
                              dialog.OnOK();
                              return true;
                          },
                          [&] { out_ << "| Name: " << dialog.name_text() << "\n"; },
                          [&] { CancelAtEndOfInput(dialog); }});
    return dialog.result();
}

int CConsoleUserInterface::RunCOsDlg(CCOsDlg& dialog) {
    dialog.OnInitDialog();
    out_ << "+-- " << dialog.title() << "\n";
    PrintIndented(std::string(CCOsDlg::kInstruction) + "\n" + dialog.message() + "\n" +
                  CCOsDlg::kFindPrompt);
    RunDecisions(dialog, {"find, ok or help",
                          {{CCOsDlg::kFindCheckOutsId, CCOsDlg::kFindCaption},
                           {IDOK, "OK"},
                           {kHelpButtonId, "Help"}},
                          {{"find", [&] { dialog.OnFindCheckOuts(); }},
                           {"ok", [&] { dialog.OnOK(); }},
                           {"help", [&] { dialog.OnHelp(); }}},
                          nullptr,
                          nullptr,
                          [&] { CancelAtEndOfInput(dialog); }});
    return dialog.result();
}

int CConsoleUserInterface::RunFinishDlg(CFinishDlg& dialog) {
    dialog.OnInitDialog();
    out_ << "+-- " << CFinishDlg::kTitle << "\n";
    PrintIndented(std::string(CFinishDlg::kHeading));
    // Each picture button with its text beside it.
    for (const auto& [caption, text] :
         {std::pair{CFinishDlg::kPublishCaption, CFinishDlg::kPublishText},
          std::pair{CFinishDlg::kSuspendCaption, CFinishDlg::kSuspendText}}) {
        const std::string button = "[" + std::string(caption) + "]  ";
        std::string beside = CaptionText(text);
        for (size_t at = beside.find('\n'); at != std::string::npos; at = beside.find('\n', at + 1))
            beside.insert(at + 1, button.size(), ' ');
        PrintIndented(button + beside);
    }
    CDecisions decisions{"publish, suspend, cancel, help, enter or focus BUTTON",
                         {{CFinishDlg::kPublishId, CFinishDlg::kPublishCaption},
                          {CFinishDlg::kSuspendId, CFinishDlg::kSuspendCaption},
                          {IDCANCEL, "Cancel"},
                          {kHelpButtonId, "Help"}},
                         {{"publish", [&] { dialog.OnPublish(); }},
                          {"suspend", [&] { dialog.OnSuspend(); }},
                          {"cancel", [&] { dialog.OnCancel(); }},
                          {"help", [&] { dialog.OnHelp(); }},
                          // Enter on an ordinary button presses it; the picture
                          // buttons leave it to the dialog, which chooses by focus.
                          {"enter",
                           [&] {
                               if (dialog.focus() == IDCANCEL)
                                   dialog.OnCancel();
                               else if (dialog.focus() == kHelpButtonId)
                                   dialog.OnHelp();
                               else
                                   dialog.OnOK();
                           }}},
                         nullptr,
                         nullptr,
                         [&] { CancelAtEndOfInput(dialog); }};
    for (const auto& [name, id] :
         {std::pair{"publish", CFinishDlg::kPublishId},
          std::pair{"suspend", CFinishDlg::kSuspendId}, std::pair{"cancel", int{IDCANCEL}},
          std::pair{"help", kHelpButtonId}}) {
        decisions.words.push_back(
            {std::string("focus ") + name, [&dialog, focus = id] { dialog.SetFocus(focus); }});
    }
    RunDecisions(dialog, decisions);
    return dialog.result();
}

int CConsoleUserInterface::RunEditCSpec(CEditCSpec& dialog) {
    dialog.OnInitDialog();
    CConfigSpecEditControl& control = dialog.control();
    // The text, whenever it is new or has changed.
    std::string shown_text;
    bool first = true;
    auto show_text = [&] {
        if (first || control.text() != shown_text) PrintIndented(control.text());
        shown_text = control.text();
        first = false;
    };
    auto read_edit = [&] {
        std::string replacement;
        if (ReadTextBlock(&replacement) && !replacement.empty()) control.ReplaceText(replacement);
    };
    if (!dialog.window_visible()) {
        // Hidden mode: the control's own user interface, and no way to cancel.
        out_ << "+-- " << CEditCSpec::kTitle << ": " << control.context_text() << "\n";
        RunDecisions(dialog, {"edit, undo, reset or done",
                              {},
                              {{"edit", read_edit},
                               {"undo", [&] { control.Undo(); }},
                               {"reset", [&] { control.Reset(); }},
                               {"done", [&] { control.Done(); }}},
                              nullptr,
                              show_text,
                              [&] {
                                  // The composed text goes on as it stands.
                                  out_ << "Done (end of input)\n";
                                  control.Done();
                                  if (!dialog.ended()) dialog.EndDialog(IDCANCEL);
                              }});
        return dialog.result();
    }
    out_ << "+-- " << CEditCSpec::kTitle << "\n";
    // A word for a button does what a click does, when the button is there.
    auto press = [&](int button, const char* word, void (CEditCSpec::*handler)()) {
        return [&dialog, button, word, handler, this] {
            if (dialog.IsVisible(button) && dialog.IsEnabled(button))
                (dialog.*handler)();
            else
                out_ << "+-- " << word << " is not available now\n";
        };
    };
    RunDecisions(dialog, {"edit, undo, reset, save, close or quit",
                          {{CEditCSpec::kEditId, "&Edit"},
                           {CEditCSpec::kUndoId, "&Undo"},
                           {CEditCSpec::kResetId, "&Reset"},
                           {CEditCSpec::kSaveId, "&Save"},
                           {CEditCSpec::kCloseId, "&Close"}},
                          {{"edit",
                            [&] {
                                if (dialog.IsVisible(CEditCSpec::kEditId)) dialog.OnEdit();
                                read_edit();
                            }},
                           {"undo", press(CEditCSpec::kUndoId, "undo", &CEditCSpec::OnUndo)},
                           {"reset", press(CEditCSpec::kResetId, "reset", &CEditCSpec::OnReset)},
                           {"save", press(CEditCSpec::kSaveId, "save", &CEditCSpec::OnSave)},
                           {"close", press(CEditCSpec::kCloseId, "close", &CEditCSpec::OnOK)},
                           {"quit", [&] { dialog.OnClose(); }}},
                          nullptr,
                          show_text,
                          // Nobody is there to answer: nothing that was typed is kept.
                          [&] { CancelAtEndOfInput(dialog); }});
    return dialog.result();
}

void CConsoleUserInterface::CancelAtEndOfInput(CDialogModel& dialog) {
    out_ << "Cancel (end of input)\n";
    dialog.EndDialog(IDCANCEL);
}

}  // namespace kelmora

#pragma once

#include <string>

#include "platform/bool.h"
#include "ui/config_spec_edit_control.h"
#include "ui/config_spec_editor.h"
#include "ui/dialog_model.h"

namespace kelmora {

// "Stavemark Config Spec Editor": shows a config spec in the edit control and
// keeps the edited text only when it parses. Visible mode: Edit, then Undo,
// Reset and Save as the control reports changes, and Close. Hidden mode: the
// window stays hidden, the control runs its own user interface and the
// dialog closes with the control's text when the control is done.
class CEditCSpec : public CDialogModel, private CConfigSpecEditEvents {
public:
    static constexpr int kTemplateId = 117;
    static constexpr int kResetId = 118;
    static constexpr int kEditId = 119;
    static constexpr int kUndoId = 120;
    static constexpr int kSaveId = 121;
    static constexpr int kCloseId = IDOK;
    static constexpr int kControlId = CConfigSpecEditor::kControlId;
    static constexpr char kTitle[] = "Stavemark Config Spec Editor";
    static constexpr char kAskSaveChanges[] = "Save changes to the config spec?";
    static constexpr char kCannotParse[] =
        "The config spec cannot be parsed.\n\nCheck for syntax errors before saving. ";

    CEditCSpec();
    CEditCSpec(const CEditCSpec&) = delete;
    CEditCSpec& operator=(const CEditCSpec&) = delete;

    // Set before the run; after it, the accepted text.
    const std::string& config_spec_text() const { return config_spec_text_; }
    void set_config_spec_text(std::string text) { config_spec_text_ = std::move(text); }
    // Handed to the control (the associate operation puts the view tag here).
    const std::string& context_text() const { return context_text_; }
    void set_context_text(std::string text) { context_text_ = std::move(text); }
    int hidden_mode() const { return hidden_mode_; }
    void set_hidden_mode(int hidden) { hidden_mode_ = hidden; }

    // The hosted control, for front ends to show and edit.
    CConfigSpecEditControl& control() { return control_; }
    bool window_visible() const { return window_visible_; }

    int DoModal();
    BOOL OnInitDialog();
    void OnEdit();
    void OnUndo();
    void OnReset();
    void OnSave();
    // Close (the dialog's OK button).
    void OnOK();
    // The title bar's close box: ends as cancelled.
    void OnClose();
    // Hidden mode: the control's window tells what the text is for; its
    // Cancel ends with the text as it was handed in, as if nothing was typed.
    std::string HiddenCaption() const;
    void OnHiddenCancel() { EndDialog(IDCANCEL); }
    // Marks where the control's text does not parse, without telling anyone.
    void MarkSyntaxError();

    // Parses the control's text; false after telling the user what is wrong.
    // True also when no check can be made.
    bool CheckSyntax();
    // Where the last check found a syntax error (line and column from 1);
    // 0 when it found none or could not tell where.
    int syntax_error_line() const { return syntax_error_line_; }
    int syntax_error_column() const { return syntax_error_column_; }

private:
    void OnEditorModified(bool modified) override;
    void OnEditorDone() override;
    // Asks whether to keep a changed text; false when the dialog must stay.
    bool KeepChangesBeforeClosing();
    // Parses the control's text: true when it parses or cannot be checked.
    // Otherwise the error's place (0 when the parser did not say).
    bool ParseText();

    std::string config_spec_text_;
    std::string context_text_;
    int hidden_mode_ = 0;
    CConfigSpecEditor editor_;
    CConfigSpecEditControl control_;
    bool window_visible_ = true;
    int syntax_error_line_ = 0;
    int syntax_error_column_ = 0;
};

}  // namespace kelmora

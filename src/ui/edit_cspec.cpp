#include "ui/edit_cspec.h"

#include <cstdio>

#include "client/cfs.h"
#include "client/client_messages.h"
#include "client/files.h"
#include "resources/message_text.h"
#include "resources/string_table.h"

namespace kelmora {

namespace {

constexpr size_t kTempNameSize = 1024;
constexpr char kSyntaxErrorMarker[] = "Syntax error";

}  // namespace

CEditCSpec::CEditCSpec() {
    // Until Edit is pressed only Edit and Close are there.
    for (int id : {kUndoId, kResetId, kSaveId}) ShowControl(id, false);
}

int CEditCSpec::DoModal() {
    return UserInterface().RunEditCSpec(*this);
}

BOOL CEditCSpec::OnInitDialog() {
    editor_.Create(&control_);
    control_.SetEventSink(this);
    editor_.SetText(config_spec_text_);
    editor_.SetContextText(context_text_);
    if (hidden_mode_) {
        window_visible_ = false;
        editor_.SetHiddenMode(TRUE);
    }
    SetFocus(kEditId);
    return TRUE;
}

void CEditCSpec::OnEdit() {
    editor_.EditMode();
    EnableControl(kEditId, false);
    ShowControl(kEditId, false);
    for (int id : {kUndoId, kResetId, kSaveId}) {
        ShowControl(id, true);
        EnableControl(id, false);
    }
    SetFocus(kControlId);
}

void CEditCSpec::OnEditorModified(bool modified) {
    for (int id : {kResetId, kSaveId, kUndoId}) EnableControl(id, modified);
}

void CEditCSpec::OnEditorDone() {
    if (hidden_mode_) OnOK();
}

void CEditCSpec::OnUndo() {
    SetFocus(kControlId);
    editor_.Undo();
}

void CEditCSpec::OnReset() {
    SetFocus(kControlId);
    editor_.Reset();
}

void CEditCSpec::OnSave() {
    if (!CheckSyntax()) return;
    config_spec_text_ = editor_.GetText();
    editor_.SetText(config_spec_text_);
    SetFocus(kControlId);
    EnableControl(kResetId, false);
    EnableControl(kSaveId, false);
}

bool CEditCSpec::KeepChangesBeforeClosing() {
    std::string text = editor_.GetText();
    if (text == config_spec_text_) return true;
    switch (UserInterface().MessageBox(kAskSaveChanges, MB_YESNOCANCEL | MB_ICONQUESTION)) {
        case IDYES:
            if (!CheckSyntax()) return false;
            config_spec_text_ = std::move(text);
            return true;
        case IDNO:
            return true;
        default:
            SetFocus(kControlId);
            return false;
    }
}

void CEditCSpec::OnOK() {
    if (hidden_mode_) {
        // The caller takes the text as it is; it checks what it stores.
        config_spec_text_ = editor_.GetText();
        EndDialog(IDOK);
        return;
    }
    if (KeepChangesBeforeClosing()) EndDialog(IDOK);
}

void CEditCSpec::OnClose() {
    // Yes is checked here as on Close: a text that does not parse is never kept.
    if (KeepChangesBeforeClosing()) EndDialog(IDCANCEL);
}

std::string CEditCSpec::HiddenCaption() const {
    return "The config spec composed for " + context_text_ +
           ". Done writes it to the workspace as it stands now and loads the workspace by "
           "it; Cancel goes on with the text as it was composed. Marked lines do not parse.";
}

void CEditCSpec::MarkSyntaxError() {
    ParseText();
}

bool CEditCSpec::CheckSyntax() {
    if (ParseText()) return true;
    if (syntax_error_line_ > 0) {
        UserInterface().MessageBox(
            FormatStringId(IDS_CSPEC_SYNTAX_ERROR_AT, syntax_error_line_, syntax_error_column_),
            MB_OK);
    } else {
        UserInterface().MessageBox(kCannotParse, MB_OK);
    }
    return false;
}

bool CEditCSpec::ParseText() {
    syntax_error_line_ = syntax_error_column_ = 0;
    const std::string text = editor_.GetText();
    char name[kTempNameSize];
    std::FILE* file = fileutl_tmpfile_ext_binary(nullptr, nullptr, nullptr, name, sizeof name);
    if (!file) return true;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (unix_nt_fclose(file) != 0 || !written) {
        // A text that could not be written whole cannot be checked.
        unix_nt_unlink(name);
        return true;
    }
    CClientMessageCapture capture;
    ClearPendingClientMessages();
    cfs_parse_result_t* result = nullptr;
    const bool valid = cfs_parse(name, &TBS_UUID_NULL, &result) == TBS_ST_OK;
    if (!valid) {
        const std::string errors = PendingClientErrors();
        const size_t at = errors.find(kSyntaxErrorMarker);
        int line = 0, column = 0;
        if (at != std::string::npos &&
            std::sscanf(errors.c_str() + at, "Syntax error on line %d, near column %d,", &line,
                        &column) == 2) {
            syntax_error_line_ = line;
            syntax_error_column_ = column;
        }
    }
    ClearPendingClientMessages();
    cfs_free(result);
    unix_nt_unlink(name);
    return valid;
}

}  // namespace kelmora

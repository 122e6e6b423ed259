#include "ui/config_spec_editor.h"

namespace kelmora {

CEditValue CConfigSpecEditor::Call(int dispatch_id, CEditValue argument) {
    CEditValue result;
    if (control_) control_->Invoke(dispatch_id, argument, &result);
    return result;
}

BOOL CConfigSpecEditor::SetText(const std::string& text) {
    return Call(CConfigSpecEditControl::kDispSetText, {false, text}).flag ? TRUE : FALSE;
}

void CConfigSpecEditor::EditMode() {
    Call(CConfigSpecEditControl::kDispEditMode);
}

void CConfigSpecEditor::Undo() {
    Call(CConfigSpecEditControl::kDispUndo);
}

void CConfigSpecEditor::Reset() {
    Call(CConfigSpecEditControl::kDispReset);
}

std::string CConfigSpecEditor::GetText() {
    return Call(CConfigSpecEditControl::kDispGetText).text;
}

void CConfigSpecEditor::SetHiddenMode(BOOL hidden) {
    Call(CConfigSpecEditControl::kDispHiddenMode, {hidden != FALSE, {}});
}

void CConfigSpecEditor::SetContextText(const std::string& text) {
    Call(CConfigSpecEditControl::kDispContextText, {false, text});
}

}  // namespace kelmora

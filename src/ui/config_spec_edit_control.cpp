#include "ui/config_spec_edit_control.h"

namespace kelmora {

bool CConfigSpecEditControl::Invoke(int dispatch_id, const CEditValue& argument,
                                    CEditValue* result) {
    CEditValue answer;
    switch (dispatch_id) {
        case kDispSetText:
            SetText(argument.text);
            answer.flag = true;
            break;
        case kDispEditMode:
            edit_mode_ = true;
            break;
        case kDispUndo:
            Undo();
            break;
        case kDispReset:
            Reset();
            break;
        case kDispGetText:
            answer.text = text_;
            break;
        case kDispHiddenMode:
            hidden_mode_ = argument.flag;
            break;
        case kDispContextText:
            context_text_ = argument.text;
            break;
        default:
            return false;
    }
    if (result) *result = std::move(answer);
    return true;
}

void CConfigSpecEditControl::SetText(std::string text) {
    // Putting a text in is no edit: nothing fires, and earlier edits stay undoable.
    text_ = std::move(text);
    reset_point_ = text_;
}

bool CConfigSpecEditControl::ReplaceText(std::string text) {
    if (!editable()) return false;
    if (text == text_) return true;
    undo_.push_back(std::move(text_));
    text_ = std::move(text);
    NotifyModified();
    return true;
}

void CConfigSpecEditControl::Undo() {
    if (undo_.empty()) return;
    text_ = std::move(undo_.back());
    undo_.pop_back();
    NotifyModified();
}

void CConfigSpecEditControl::Reset() {
    if (text_ != reset_point_) undo_.push_back(text_);
    text_ = reset_point_;
    NotifyModified();
}

void CConfigSpecEditControl::Done() {
    if (sink_) sink_->OnEditorDone();
}

void CConfigSpecEditControl::NotifyModified() {
    if (sink_) sink_->OnEditorModified(IsModified());
}

}  // namespace kelmora

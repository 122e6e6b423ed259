#pragma once

#include <string>

#include "platform/bool.h"
#include "ui/config_spec_edit_control.h"

namespace kelmora {

// The editor dialog's handle on its edit control (control 122): each
// operation is one numbered call on the control. Unbound, the calls do
// nothing and answer empty.
class CConfigSpecEditor {
public:
    static constexpr int kControlId = 122;

    // Binds the wrapper to the control hosted in the dialog.
    void Create(CConfigSpecEditControl* control) { control_ = control; }
    bool IsBound() const { return control_ != nullptr; }

    BOOL SetText(const std::string& text);
    void EditMode();
    void Undo();
    void Reset();
    std::string GetText();
    void SetHiddenMode(BOOL hidden);
    void SetContextText(const std::string& text);

private:
    CEditValue Call(int dispatch_id, CEditValue argument = {});

    CConfigSpecEditControl* control_ = nullptr;
};

}  // namespace kelmora

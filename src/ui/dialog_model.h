#pragma once

#include <map>
#include <string>

#include "ui/user_interface.h"

namespace kelmora {

// What the dialog models share: the enabled and visible state of their
// controls, the control with the keyboard focus, and how the modal run ended.
// Front ends read this state to draw and call the models' handlers.
class CDialogModel {
public:
    virtual ~CDialogModel() = default;

    // True once a handler (or the front end) ended the modal run.
    bool ended() const { return ended_; }
    int result() const { return result_; }
    // Ends the modal run with IDOK, IDCANCEL or another answer.
    void EndDialog(int result);

    // Controls that no handler touched are visible and enabled.
    bool IsVisible(int control) const;
    bool IsEnabled(int control) const;
    int focus() const { return focus_; }
    // The front end moves the focus as the user tabs or clicks.
    void SetFocus(int control) { focus_ = control; }

protected:
    void ShowControl(int control, bool visible) { controls_[control].visible = visible; }
    void EnableControl(int control, bool enabled) { controls_[control].enabled = enabled; }

private:
    struct CControlState {
        bool visible = true;
        bool enabled = true;
    };
    std::map<int, CControlState> controls_;
    int focus_ = 0;
    int result_ = 0;
    bool ended_ = false;
};

// Id of the Help button that every dialog template carries.
inline constexpr int kHelpButtonId = 57670;

// Opens a help topic through the help library.
void OpenHelpTopic(const std::string& topic);

// The edit controls hold at most this many characters.
std::string LimitedText(std::string text, size_t limit);

}  // namespace kelmora

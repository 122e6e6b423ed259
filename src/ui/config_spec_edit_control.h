#pragma once

#include <string>
#include <vector>

namespace kelmora {

// The events the config spec edit control fires at its container.
class CConfigSpecEditEvents {
public:
    virtual ~CConfigSpecEditEvents() = default;
    // Event 1: after every change, whether the text differs from the text
    // last put into the control.
    virtual void OnEditorModified(bool modified) = 0;
    // Event 2: the user is done with the text (the hidden mode's way out).
    virtual void OnEditorDone() = 0;
};

// An argument or result of a call on the control.
struct CEditValue {
    bool flag = false;
    std::string text;
};

// Our own config spec edit control. Containers reach it through numbered
// calls (see CConfigSpecEditor); front ends show its text and forward the
// user's edits. The text put into the control is its reset point; every edit
// can be undone, also across a new reset point.
class CConfigSpecEditControl {
public:
    enum EDispatchId : int {
        kDispSetText = 1,   // text -> accepted
        kDispEditMode = 2,  // the user may edit from now on
        kDispUndo = 3,
        kDispReset = 4,        // back to the reset point
        kDispGetText = 5,      // -> text
        kDispHiddenMode = 6,   // flag: the control runs its own user interface
        kDispContextText = 7,  // text: what the text belongs to (a view tag)
    };

    // One call by its number; false for a number the control does not answer.
    bool Invoke(int dispatch_id, const CEditValue& argument, CEditValue* result);
    void SetEventSink(CConfigSpecEditEvents* sink) { sink_ = sink; }

    const std::string& text() const { return text_; }
    const std::string& context_text() const { return context_text_; }
    bool hidden_mode() const { return hidden_mode_; }
    // The user may change the text: after edit mode, or in hidden mode.
    bool editable() const { return edit_mode_ || hidden_mode_; }
    bool CanUndo() const { return !undo_.empty(); }
    bool IsModified() const { return text_ != reset_point_; }

    // The user's actions. An edit replaces the whole text; it is refused
    // (false) while the control is not editable.
    bool ReplaceText(std::string text);
    void Undo();
    void Reset();
    void Done();

private:
    void SetText(std::string text);
    void NotifyModified();

    std::string text_;
    std::string reset_point_;
    std::string context_text_;
    std::vector<std::string> undo_;
    bool edit_mode_ = false;
    bool hidden_mode_ = false;
    CConfigSpecEditEvents* sink_ = nullptr;
};

}  // namespace kelmora

#include "ui/dialog_model.h"

#include "client/help.h"

namespace kelmora {

void CDialogModel::EndDialog(int result) {
    result_ = result;
    ended_ = true;
}

bool CDialogModel::IsVisible(int control) const {
    auto it = controls_.find(control);
    return it == controls_.end() || it->second.visible;
}

bool CDialogModel::IsEnabled(int control) const {
    auto it = controls_.find(control);
    return it == controls_.end() || it->second.enabled;
}

void OpenHelpTopic(const std::string& topic) {
    // The help library tells the user itself when a page is missing.
    gu_help(nullptr, topic.c_str(), 1, 0);
}

std::string LimitedText(std::string text, size_t limit) {
    if (text.size() > limit) text.resize(limit);
    return text;
}

}  // namespace kelmora

#include "ui/profile_picker.h"

#include <algorithm>
#include <cctype>

#include "client/preview.h"
#include "client/registry.h"

namespace kelmora {

namespace {

constexpr size_t kSelectionValueSize = 1024;

std::string SelectionKey() {
    return std::string(ntregy_get_common_key()) + CProfilePicker::kSelectionKeySuffix;
}

// One value of the selection; false when it cannot be read whole.
bool ReadSelectionValue(const char* name, std::string* value) {
    char buffer[kSelectionValueSize];
    ntregy_key_t handle = nullptr;
    tbs_status_t status = ntregy_get_value(NTREGY_HKEY_CURRENT_USER, SelectionKey().c_str(), name,
                                           buffer, sizeof buffer, &handle);
    ntregy_close_key(handle);
    if (status != TBS_ST_OK) return false;
    *value = buffer;
    return true;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string LastComponent(const std::string& name) {
    return name.substr(name.rfind('\\') + 1);
}

}  // namespace

bool ReadBrowserSelection(std::string* folder, std::string* item) {
    return ReadSelectionValue("Folder", folder) && ReadSelectionValue("Item", item);
}

int StoreBrowserSelection(const std::string& profile) {
    const size_t slash = profile.rfind('\\');
    const std::string folder = slash == std::string::npos ? "" : profile.substr(0, slash);
    const std::string key = SelectionKey();
    for (const auto& [name, value] :
         {std::pair{"Folder", folder}, std::pair{"Item", LastComponent(profile)}}) {
        if (tbs_status_t status =
                ntregy_set_value(NTREGY_HKEY_CURRENT_USER, key.c_str(), name, value.c_str()))
            return static_cast<int>(status);
    }
    return 0;
}

BOOL CProfilePicker::OnInitDialog() {
    entries_.clear();
    if (!source_ || !source_->ListProfileTree(&entries_)) {
        EndDialog(IDCANCEL);
        return FALSE;
    }
    shown_.assign(entries_.size(), true);
    std::string folder, item;
    if (ReadBrowserSelection(&folder, &item)) {
        const std::string last = folder + '\\' + item;
        for (size_t i = 0; i < entries_.size(); ++i)
            if (entries_[i].is_profile && entries_[i].name == last) selection_ = i;
    }
    UpdateOk();
    SetFocus(kTreeId);
    return TRUE;
}

void CProfilePicker::SetFilter(std::string text) {
    filter_ = std::move(text);
    const std::string wanted = Lower(filter_);
    const size_t count = entries_.size();
    std::vector<bool> matches(count);
    for (size_t i = 0; i < count; ++i)
        matches[i] = Lower(LastComponent(entries_[i].name)).find(wanted) != std::string::npos ||
                     Lower(entries_[i].description).find(wanted) != std::string::npos;
    // A match shows the folders above it and everything below it.
    shown_.assign(count, false);
    std::vector<size_t> above;  // the open folders, by depth
    for (size_t i = 0; i < count; ++i) {
        const size_t depth = static_cast<size_t>(std::max(0, entries_[i].depth));
        above.resize(std::min(above.size(), depth));
        bool inherited = false;
        for (size_t parent : above) inherited = inherited || matches[parent];
        if (matches[i] || inherited) {
            shown_[i] = true;
            for (size_t parent : above) shown_[parent] = true;
        }
        if (matches[i] || inherited) matches[i] = true;
        above.push_back(i);
    }
    if (selection_ != kNone && !shown_[selection_]) selection_ = kNone;
    UpdateOk();
}

void CProfilePicker::Select(size_t index) {
    selection_ = index < entries_.size() && shown_[index] ? index : kNone;
    UpdateOk();
}

void CProfilePicker::OnOK() {
    if (selection_ == kNone || !entries_[selection_].is_profile) return;
    const std::string& name = entries_[selection_].name;
    // A preview changes nothing, the user's remembered pick included.
    if (!ActivePreview() && StoreBrowserSelection(name) != 0) {
        UserInterface().MessageBox("Cannot keep the selection " + name + ".", MB_ICONSTOP);
        return;
    }
    picked_ = name;
    EndDialog(IDOK);
}

void CProfilePicker::UpdateOk() {
    EnableControl(IDOK, selection_ != kNone && entries_[selection_].is_profile);
}

}  // namespace kelmora

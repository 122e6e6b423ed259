#pragma once

#include <string>
#include <vector>

#include "platform/bool.h"
#include "ui/dialog_model.h"

namespace kelmora {

// One folder of the View Profile tree as the picker lists it.
struct CProfileEntry {
    std::string name;  // below the tree root: "\Stavemark View Profiles\Proj"
    bool is_profile = false;
    std::string description;  // a profile's first line of "Description"
    int depth = 0;            // 0 for a top-level folder
};

// Where the picker gets the tree: the store, reached from above.
class CProfileTreeSource {
public:
    // The tree in listing order (each folder before what lies in it); false
    // after the user has been told why it cannot be read.
    virtual bool ListProfileTree(std::vector<CProfileEntry>* entries) = 0;

protected:
    ~CProfileTreeSource() = default;
};

// The profile browser's pick, kept per user under the client's common key,
// as "Folder" (the folder's name below the tree root) and "Item".
bool ReadBrowserSelection(std::string* folder, std::string* item);
// The pick of a profile name; the client's status (0: kept).
int StoreBrowserSelection(const std::string& profile);

// The profile browser as a window: the tree of folders and profiles with
// their descriptions, a filter, and OK for a profile. OK keeps the pick
// where the associate dialog's Browse reads it; the last pick is selected
// when the picker opens again.
class CProfilePicker : public CDialogModel {
public:
    static constexpr int kFilterId = 201;
    static constexpr int kTreeId = 202;
    static constexpr char kTitle[] = "Stavemark View Profile Browser";
    static constexpr char kFilterPrompt[] = "&Show only names or descriptions holding:";
    static constexpr char kTreePrompt[] = "&Profiles:";
    static constexpr size_t kNone = static_cast<size_t>(-1);
    // Where the pick is kept, below the client's common key, per user.
    static constexpr char kSelectionKeySuffix[] =
        "\\Stavemark View Profile Browser\\Current Selection";

    explicit CProfilePicker(CProfileTreeSource* source = nullptr) : source_(source) {}

    // Reads the tree and selects the last pick; false (and the run ends)
    // when there is no tree to show.
    BOOL OnInitDialog();
    // Shows only entries whose name or description holds the text (any
    // case), with the folders above them.
    void SetFilter(std::string text);
    void Select(size_t index);
    // OK: keeps the selected profile; a folder cannot be picked.
    void OnOK();
    void OnCancel() { EndDialog(IDCANCEL); }

    const std::vector<CProfileEntry>& entries() const { return entries_; }
    bool IsShown(size_t index) const { return shown_[index]; }
    const std::string& filter() const { return filter_; }
    size_t selection() const { return selection_; }
    // The profile OK took; empty before.
    const std::string& picked() const { return picked_; }

private:
    void UpdateOk();

    CProfileTreeSource* source_;
    std::vector<CProfileEntry> entries_;
    std::vector<bool> shown_;
    std::string filter_;
    size_t selection_ = kNone;
    std::string picked_;
};

}  // namespace kelmora

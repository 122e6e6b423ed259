#pragma once

#include <string>
#include <vector>

// A preview, or a read-only look, of what the operations would change. While
// one is active in the process, the config spec writer, the type commands,
// the mount call and the start of the merge tool record what they would do
// here and answer success, and no view, VOB or mount changes.
namespace kelmora {

// A config spec that would have been put in a view.
struct CPreviewedConfigSpec {
    std::string view_tag;
    std::string workspace_path;  // empty for a dynamic view
    bool update_contents = false;
    std::string text;  // as it would have been written, byte for byte
};

// A type command that would have run on one type: "mkbrtype", "unlock" or "rmtype".
struct CPreviewedTypeCommand {
    std::string command;
    std::string selector;  // "brtype:NAME@VOB"
    std::string comment;
    bool global = false;
};

struct CPreview {
    std::vector<CPreviewedConfigSpec> config_specs;
    std::vector<CPreviewedTypeCommand> type_commands;
    std::vector<std::string> mounts;                 // VOB tags
    std::vector<std::vector<std::string>> programs;  // argument vectors not started
};

// The preview under way, or null when changes are made for real.
CPreview* ActivePreview();

// Records into preview for one scope (previews do not nest).
class CScopedPreview {
public:
    explicit CScopedPreview(CPreview* preview);
    ~CScopedPreview();
    CScopedPreview(const CScopedPreview&) = delete;
    CScopedPreview& operator=(const CScopedPreview&) = delete;

private:
    CPreview* previous_;
};

}  // namespace kelmora

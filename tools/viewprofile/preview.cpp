// viewprofile --preview: the method runs as always, dialogs and questions
// included, while the client layer holds back every change; what it would
// have changed is printed after its result.
#include "client/preview.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "client/admin.h"
#include "cspec/info_block.h"
#include "look.h"
#include "unified_diff.h"

namespace kelmora {

namespace {

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

// What a new config spec records, in words.
std::string RecordedAssociation(const std::string& text) {
    CInfoBlockFields fields;
    if (ScanInfoBlock(text, &fields) != 4) return "it records no View Profile";
    return "it records revision " + std::to_string(fields.major) + "." +
           std::to_string(fields.minor) + " of " + fields.name;
}

}  // namespace

std::string ConfigSpecPreviewText(const CPreviewedConfigSpec& write) {
    std::string current;
    if (client::GetConfigSpecText(write.view_tag, &current) != TBS_ST_OK) current.clear();
    std::string how = write.workspace_path.empty() ? "view " + Quoted(write.view_tag)
                                                   : "workspace " + Quoted(write.workspace_path);
    const std::string diff = tools::UnifiedDiff(current, write.text, write.view_tag + " (now)",
                                                write.view_tag + " (would be)");
    return "The config spec of " + how + " would be set" +
           (!write.workspace_path.empty() && write.update_contents
                ? " and the workspace's contents updated"
                : "") +
           "; " + RecordedAssociation(write.text) + ".\n" +
           (diff.empty() ? "(the same text as now)\n" : diff);
}

namespace {

void PrintTypeCommands(const std::vector<CPreviewedTypeCommand>& commands) {
    struct CKind {
        const char* command;
        const char* title;
    };
    for (const CKind kind : {CKind{"unlock", "Types it would unlock:"},
                             CKind{"mkbrtype", "Branch types it would create:"},
                             CKind{"rmtype", "Types it would remove:"}}) {
        bool titled = false;
        for (const CPreviewedTypeCommand& c : commands) {
            if (c.command != kind.command) continue;
            if (!titled) std::printf("%s\n", kind.title);
            titled = true;
            std::printf("  %s%s%s\n", c.selector.c_str(),
                        c.global ? " (for the admin VOB's users)" : "",
                        c.comment.empty() ? "" : (" \"" + c.comment + "\"").c_str());
        }
    }
}

void PrintPreview(const std::string& method, const CPreview& preview) {
    std::printf("Preview of %s: nothing was changed.\n", method.c_str());
    for (const CPreviewedConfigSpec& write : preview.config_specs)
        std::fputs(ConfigSpecPreviewText(write).c_str(), stdout);
    PrintTypeCommands(preview.type_commands);
    // A VOB that two steps would mount is listed once.
    std::vector<std::string> mounts;
    for (const std::string& tag : preview.mounts) {
        if (std::find(mounts.begin(), mounts.end(), tag) == mounts.end()) mounts.push_back(tag);
    }
    if (!mounts.empty()) std::printf("VOBs it would mount:\n");
    for (const std::string& tag : mounts) std::printf("  %s\n", tag.c_str());
    for (const std::vector<std::string>& argv : preview.programs) {
        std::string line;
        for (const std::string& arg : argv) line += (line.empty() ? "" : " ") + arg;
        std::printf("It would start: %s\n", line.c_str());
    }
    if (preview.config_specs.empty() && preview.type_commands.empty() && preview.mounts.empty() &&
        preview.programs.empty())
        std::printf("It would change nothing.\n");
}

}  // namespace

int RunPreview(const CObjectSetup& setup, const std::string& method,
               const std::vector<std::string>& arguments) {
    CInProcessModule module;
    IDispatch* object = module.CreateObject();
    if (!object) {
        std::fprintf(stderr, "viewprofile: the View Profile class is not available\n");
        return kExitFailure;
    }
    CPreview preview;
    int exit_code = kExitFailure;
    {
        CScopedPreview scope(&preview);
        CCaller caller(CInProcessModule::strings(), object);
        exit_code = CallAndPrint(caller, setup, method, arguments);
    }
    // A call that could not be made has nothing to show.
    if (exit_code != kExitFailure) PrintPreview(method, preview);
    std::fflush(stdout);
    return exit_code;
}

}  // namespace kelmora

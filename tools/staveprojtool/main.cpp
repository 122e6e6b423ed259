// staveprojtool: the View Profile browser. Lists the profile tree, lets the
// user pick a profile and leaves the pick in the per-user values "Folder" and
// "Item", where the associate dialog's Browse reads it.
//   staveprojtool /b [--root DIR] [--select PROFILE]
//   staveprojtool --gui [--root DIR]
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "client/preview.h"
#include "client/registry.h"
#include "module/front_end.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "platform/tool_log.h"
#include "program.h"
#include "store/current_tree.h"
#include "store/profile_listing.h"
#include "store/tree_load.h"
#include "store/tree_root.h"
#include "ui/front_end_library.h"
#include "ui/profile_picker.h"
#include "ui/user_interface.h"

namespace {

using namespace kelmora;

enum : int { kExitPicked = 0, kExitNotPicked = 1, kExitUsage = 2 };

constexpr char kUsage[] =
    "usage: staveprojtool /b [--root DIR] [--select PROFILE] [--keep-in FILE] [--no-input]\n"
    "       staveprojtool --gui [--root DIR]\n"
    "\n"
    "Browses the View Profile tree at DIR, or at the machine's ProjectRoot setting:\n"
    "lists its folders and profiles and reads the profile to pick from standard\n"
    "input (its number or its name, \"\\Stavemark View Profiles\\Proj\"). --select\n"
    "picks PROFILE without asking; --no-input (or KELMORA_NO_INPUT=1) reads nothing\n"
    "and so picks nothing. --gui shows the tree in a window instead, with\n"
    "descriptions and a filter (the list on the terminal when there is no display).\n"
    "The pick is kept for the current user, or with --keep-in written to FILE\n"
    "(folder, a line end, profile) and nothing is changed.\n"
    "Exit status: 0 a profile was picked, 1 none was, 2 wrong usage.\n";

// The profiles of the tree in listing order, by name below the tree root.
struct CListing {
    std::vector<std::string> profiles;
};

std::string NameBelowRoot(const CTreeNode& node) {
    const std::string& root = CurrentTreeRoot();
    const std::string& path = node.full_path();
    return path.starts_with(root) ? path.substr(root.size()) : path;
}

void ListNodes(const CTreeNode* node, CListing* listing) {
    for (; node; node = node->next_sibling()) {
        if (node->IsProfile()) {
            listing->profiles.push_back(NameBelowRoot(*node));
            std::fprintf(stderr, "%4zu  %s\n", listing->profiles.size(),
                         listing->profiles.back().c_str());
        } else {
            std::fprintf(stderr, "      %s\\\n", NameBelowRoot(*node).c_str());
        }
        ListNodes(node->first_child(), listing);
    }
}

void CollectProfiles(const CTreeNode* node, CListing* listing) {
    for (; node; node = node->next_sibling()) {
        if (node->IsProfile()) listing->profiles.push_back(NameBelowRoot(*node));
        CollectProfiles(node->first_child(), listing);
    }
}

// The profile a choice names: its number in the listing or its name.
std::string ProfileOfChoice(const CListing& listing, const std::string& choice) {
    for (const std::string& profile : listing.profiles)
        if (profile == choice) return profile;
    size_t used = 0;
    unsigned long number = 0;
    try {
        number = std::stoul(choice, &used);
    } catch (const std::exception&) {
        return {};
    }
    if (used != choice.size() || number == 0 || number > listing.profiles.size()) return {};
    return listing.profiles[number - 1];
}

std::string AskForProfile(const CListing& listing) {
    for (;;) {
        std::fputs("Profile (number or name; an empty line cancels): ", stderr);
        std::string line;
        // Batch mode reads nothing: the browser is cancelled.
        if (tools::NoInputRequested() || !std::getline(std::cin, line)) {
            std::fputs("\n", stderr);
            return {};
        }
        // Input that is not typed is not echoed: what follows starts a line of its own.
        if (!isatty(STDIN_FILENO)) std::fprintf(stderr, "%s\n", line.c_str());
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) return {};
        std::string profile = ProfileOfChoice(listing, line);
        if (!profile.empty()) return profile;
        std::fprintf(stderr, "staveprojtool: '%s' is no profile of the list\n", line.c_str());
    }
}

// Keeps the pick as the folder's name and the profile's own name.
bool StoreSelection(const std::string& profile) {
    if (int status = StoreBrowserSelection(profile)) {
        std::fprintf(stderr, "staveprojtool: cannot keep the selection: %s\n",
                     tbs_strerror(static_cast<tbs_status_t>(status)));
        return false;
    }
    return true;
}

// The Qt front end's folder: the private folder beside the module's library,
// installed or built.
std::string FrontEndFolder() {
    const std::string program = ExecutableFolder();
    for (const char* relative : {KELMORA_INSTALLED_LIBDIR, KELMORA_BUILT_LIBDIR}) {
        const std::string folder = program + "/" + relative + "/" + kFrontEndFolder;
        if (IsRegularFile(folder + "/libkelmora_qtui.so")) return folder;
    }
    return ModuleFolder() + "/" + kFrontEndFolder;
}

struct CStoreTree : CProfileTreeSource {
    bool ListProfileTree(std::vector<CProfileEntry>* entries) override {
        return LoadAndListProfileTree(entries);
    }
};

// The picker in a window: kExitPicked or kExitNotPicked; -1 when there are
// no windows (said why), so that the terminal serves.
int PickInWindow() {
    std::string reason;
    CUserInterface* ui = LoadQtFrontEnd(FrontEndFolder(), &reason);
    if (!ui) {
        std::fprintf(stderr, "staveprojtool: no windows: %s; the console serves instead\n",
                     reason.c_str());
        return -1;
    }
    // The tree's messages come as boxes too.
    SetUserInterface(ui);
    CStoreTree tree;
    CProfilePicker picker(&tree);
    if (ui->RunProfilePicker(picker) != IDOK) return kExitNotPicked;
    std::fprintf(stderr, "Selected %s\n", picker.picked().c_str());
    return kExitPicked;
}

bool WriteSelection(const std::string& path, const std::string& profile) {
    const size_t slash = profile.rfind('\\');
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << profile.substr(0, slash) << '\n' << profile.substr(slash + 1);
    out.close();
    if (out) return true;
    std::fprintf(stderr, "staveprojtool: cannot write the selection to %s\n", path.c_str());
    return false;
}

int Usage(const char* problem) {
    std::fprintf(stderr, "staveprojtool: %s\n%s", problem, kUsage);
    return kExitUsage;
}

int Run(int argc, char** argv) {
    RecordToolInvocation(argc, argv);
    // Read no further than the choice: the rest of the input belongs to the
    // program that started the browser.
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    std::vector<std::string> args(argv + 1, argv + argc);
    bool browse = false;
    bool gui = false;
    std::string selection;
    bool have_selection = false;
    std::string keep_in;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            std::fputs(kUsage, stdout);
            return kExitPicked;
        }
        if (args[i] == "--version") return tools::PrintVersion();
        if (args[i] == "--no-input" || args[i] == "--") {
            if (args[i] == "--no-input") tools::RequestNoInput();
            continue;
        }
        if (args[i] == "/b" || args[i] == "/B") {
            browse = true;
        } else if (args[i] == "--gui") {
            gui = true;
        } else if (args[i] == "--root" && i + 1 < args.size()) {
            OverrideTreeRootSetting(args[++i]);
        } else if (args[i] == "--keep-in" && i + 1 < args.size()) {
            keep_in = args[++i];
        } else if (args[i] == "--select" && i + 1 < args.size()) {
            selection = args[++i];
            have_selection = true;
        } else {
            return tools::UnknownWord("argument", args[i],
                                      {"/b", "--gui", "--root", "--select", "--keep-in",
                                       "--no-input", "--help", "--version"});
        }
    }
    if (!browse && !have_selection && !gui) return Usage("only the browser (/b) is offered");
    SetApplicationName("staveprojtool");
    if (gui && !have_selection) {
        const int picked = PickInWindow();
        if (picked >= 0) return picked;
    }

    // A look for a preview: the tree gets no lock file or top folder from it.
    CPreview look;
    std::optional<CScopedPreview> looking;
    if (!keep_in.empty()) looking.emplace(&look);
    CListing listing;
    if (!LoadProfileTree(false)) return kExitNotPicked;
    std::string profile;
    if (have_selection) {
        CollectProfiles(CurrentTree(), &listing);
        profile = ProfileOfChoice(listing, selection);
        if (profile.empty()) {
            std::fprintf(stderr, "staveprojtool: no profile '%s' in the tree at %s\n",
                         selection.c_str(), CurrentTreeRoot().c_str());
            return kExitNotPicked;
        }
    } else {
        std::fprintf(stderr, "View Profiles in %s:\n", CurrentTreeRoot().c_str());
        ListNodes(CurrentTree(), &listing);
        if (listing.profiles.empty()) {
            std::fputs("staveprojtool: the tree holds no profile\n", stderr);
            return kExitNotPicked;
        }
        profile = AskForProfile(listing);
        if (profile.empty()) return kExitNotPicked;
    }
    if (!keep_in.empty() ? !WriteSelection(keep_in, profile) : !StoreSelection(profile))
        return kExitNotPicked;
    std::fprintf(stderr, "Selected %s\n", profile.c_str());
    return kExitPicked;
}

}  // namespace

int main(int argc, char** argv) {
    tools::SetProgramName("staveprojtool");
    return tools::FinishOutput(Run(argc, argv));
}

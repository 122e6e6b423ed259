// staveprojtool: the View Profile browser. Lists the profile tree, lets the
// user pick a profile and leaves the pick in the per-user values "Folder" and
// "Item", where the associate dialog's Browse reads it.
//   staveprojtool /b [--root DIR] [--select PROFILE]
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "client/preview.h"
#include "client/registry.h"
#include "platform/tool_log.h"
#include "store/current_tree.h"
#include "store/tree_load.h"
#include "store/tree_root.h"
#include "ui/assoc_dlg.h"
#include "ui/user_interface.h"

namespace {

using namespace kelmora;

enum : int { kExitPicked = 0, kExitNotPicked = 1, kExitUsage = 2 };

constexpr char kUsage[] =
    "usage: staveprojtool /b [--root DIR] [--select PROFILE] [--keep-in FILE]\n"
    "\n"
    "Browses the View Profile tree at DIR, or at the machine's ProjectRoot setting:\n"
    "lists its folders and profiles and reads the profile to pick from standard\n"
    "input (its number or its name, \"\\Stavemark View Profiles\\Proj\"). --select\n"
    "picks PROFILE without asking. The pick is kept for the current user, or with\n"
    "--keep-in written to FILE (folder, a line end, profile) and nothing is changed.\n"
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
        if (!std::getline(std::cin, line)) {
            std::fputs("\n", stderr);
            return {};
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) return {};
        std::string profile = ProfileOfChoice(listing, line);
        if (!profile.empty()) return profile;
        std::fprintf(stderr, "staveprojtool: '%s' is no profile of the list\n", line.c_str());
    }
}

// Keeps the pick as the folder's name and the profile's own name.
bool StoreSelection(const std::string& profile) {
    const std::string key = std::string(ntregy_get_common_key()) + CAssocDlg::kSelectionKeySuffix;
    const size_t slash = profile.rfind('\\');
    const std::string folder = profile.substr(0, slash);
    const std::string item = profile.substr(slash + 1);
    for (const auto& [name, value] : {std::pair{"Folder", folder}, std::pair{"Item", item}}) {
        if (tbs_status_t status =
                ntregy_set_value(NTREGY_HKEY_CURRENT_USER, key.c_str(), name, value.c_str())) {
            std::fprintf(stderr, "staveprojtool: cannot keep the selection: %s\n",
                         tbs_strerror(status));
            return false;
        }
    }
    return true;
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

}  // namespace

int main(int argc, char** argv) {
    RecordToolInvocation(argc, argv);
    // Read no further than the choice: the rest of the input belongs to the
    // program that started the browser.
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    std::vector<std::string> args(argv + 1, argv + argc);
    bool browse = false;
    std::string selection;
    bool have_selection = false;
    std::string keep_in;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            std::fputs(kUsage, stdout);
            return kExitPicked;
        }
        if (args[i] == "/b" || args[i] == "/B") {
            browse = true;
        } else if (args[i] == "--root" && i + 1 < args.size()) {
            OverrideTreeRootSetting(args[++i]);
        } else if (args[i] == "--keep-in" && i + 1 < args.size()) {
            keep_in = args[++i];
        } else if (args[i] == "--select" && i + 1 < args.size()) {
            selection = args[++i];
            have_selection = true;
        } else {
            return Usage(("unknown argument " + args[i]).c_str());
        }
    }
    if (!browse && !have_selection) return Usage("only the browser (/b) is offered");
    SetApplicationName("staveprojtool");

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

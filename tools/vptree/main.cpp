// vptree: a tree editing host for the View Profile tree. It loads the tree,
// runs one editing command on it, and reloads the tree whenever the tree lock
// reports that another process has changed it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "platform/sleep.h"
#include "store/current_tree.h"
#include "store/tree_load.h"
#include "store/tree_lock.h"
#include "store/tree_root.h"
#include "ui/console/console_ui.h"
#include "ui/user_interface.h"

namespace {

constexpr const char* kUsage =
    "usage: vptree [--root DIR] [--wait SECONDS] COMMAND [ARGUMENTS]\n"
    "\n"
    "Edits the View Profile tree at DIR, or at the machine's ProjectRoot setting.\n"
    "--wait sets how long to wait for the tree lock or a profile file that another\n"
    "process holds (default: 9 s for the lock, 30 s for a file).\n"
    "\n"
    "commands:\n"
    "  ls                              list folders and profiles (GUID, revision)\n"
    "  mkfolder PARENT                 make a new folder under PARENT\n"
    "  mkprofile PARENT                create an empty profile under PARENT\n"
    "  cp SOURCE PARENT [--keep-guid]  copy a profile (a new GUID unless --keep-guid)\n"
    "  mv NODE NEWNAME                 rename a folder or profile\n"
    "  rm NODE                         delete a folder or profile with all below it\n"
    "  ls --json                       the same as one JSON document\n"
    "  show PROFILE [--json]           print every field of a profile\n"
    "  diff PROFILE                    what the last save of the profile's Rules\n"
    "                                  changed, as a unified diff\n"
    "  set PROFILE FIELD (--text TEXT | --file FILE)\n"
    "                                  keep a field's new value for the next save\n"
    "  save PROFILE [--name NEWNAME]   write the kept fields (Rules raises the\n"
    "                                  profile revision), then rename\n"
    "\n"
    "FIELD is one of Description, Rules, \"Admin VOB\", \"VOB List\", \"Project Branch\",\n"
    "\"Project Label\", Checkpoints, Diagram (from a file only).\n"
    "Nodes are names below the root (\"\\Stavemark View Profiles\\Proj\") or\n"
    "native paths of folders below the root.\n"
    "With --json (docs/json.md) failures are a JSON object on standard error.\n"
    "Exit status: 0 done, 1 failed, 2 wrong usage.\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace kelmora;
    std::vector<std::string> args(argv + 1, argv + argc);
    size_t next = 0;
    for (; next < args.size() && args[next].starts_with("-"); ++next) {
        if (args[next] == "--help" || args[next] == "-h") {
            std::fputs(kUsage, stdout);
            return vptree::kExitOk;
        }
        if (args[next] == "--root" && next + 1 < args.size()) {
            OverrideTreeRootSetting(args[++next]);
            continue;
        }
        if (args[next] == "--wait" && next + 1 < args.size()) {
            const std::string& seconds = args[++next];
            char* end = nullptr;
            const double value = std::strtod(seconds.c_str(), &end);
            if (seconds.empty() || *end || !(value >= 0 && value <= 86400)) {
                std::fprintf(stderr, "vptree: --wait takes seconds from 0 to 86400, not '%s'\n",
                             seconds.c_str());
                return vptree::kExitUsage;
            }
            SetWaitLimitMs(static_cast<long>(value * 1000));
            continue;
        }
        std::fprintf(stderr, "vptree: unknown option %s\n%s", args[next].c_str(), kUsage);
        return vptree::kExitUsage;
    }
    if (next == args.size()) {
        std::fputs(kUsage, stderr);
        return vptree::kExitUsage;
    }
    const std::string command = args[next];
    if (command == "help") {
        std::fputs(kUsage, stdout);
        return vptree::kExitOk;
    }
    if (!vptree::IsTreeCommand(command)) {
        std::fprintf(stderr, "vptree: no command '%s'\n%s", command.c_str(), kUsage);
        return vptree::kExitUsage;
    }
    SetApplicationName("vptree");
    SetWaitNoticeHandler([](const std::string& what) {
        std::fprintf(stderr, "vptree: waiting for %s, which another process holds\n", what.c_str());
    });
    std::vector<std::string> command_args(args.begin() + next + 1, args.end());
    const auto json = std::find(command_args.begin(), command_args.end(), "--json");
    // With --json nothing is asked (there is no one to answer) and what the
    // store says goes into the error object.
    std::istringstream no_answers;
    std::ostringstream not_shown;
    CConsoleUserInterface recorder(no_answers, not_shown);
    std::optional<CScopedUserInterface> recording;
    if (json != command_args.end()) {
        command_args.erase(json);
        recording.emplace(&recorder);
        vptree::UseJsonOutput(&recorder);
        if (command != "ls" && command != "show")
            return vptree::ReportUsageError("--json is for ls and show");
    }

    // The host's part of the tree lock: a changed tree is loaded again before
    // the lock goes on.
    SetTreeChangedHandler([] { LoadProfileTree(false); });
    if (!LoadProfileTree(false)) {
        return recording ? vptree::ReportFailure("cannot load the View Profile tree")
                         : vptree::kExitFailure;
    }
    return vptree::RunTreeCommand(command, command_args);
}

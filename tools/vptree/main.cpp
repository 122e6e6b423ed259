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
#include "program.h"
#include "store/current_tree.h"
#include "store/tree_load.h"
#include "store/tree_lock.h"
#include "store/tree_root.h"
#include "ui/console/console_ui.h"
#include "ui/user_interface.h"

namespace {

constexpr const char* kUsage =
    "usage: vptree [--root DIR] [--wait SECONDS] [--no-input] [--] COMMAND [ARGUMENTS]\n"
    "       vptree --help | --version\n"
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
    "  rm [-r] [--dry-run] NODE        delete a profile or folder and print what went;\n"
    "                                  a folder holding profiles needs -r; --dry-run\n"
    "                                  only lists what would go\n"
    "  ls --json                       the same as one JSON document\n"
    "  show PROFILE [--json]           print every field of a profile\n"
    "  log PROFILE [--json]            the revisions of the profile's Rules kept in\n"
    "                                  its history, newest first: revision, time\n"
    "                                  (UTC), user@host, lines added and removed\n"
    "  diff PROFILE [REV [REV]]        a unified diff of the Rules: what the last\n"
    "                                  save changed, from REV to the Rules that\n"
    "                                  stand, or from one REV to the other (a line\n"
    "                                  whose CR came or went shows it as ^M)\n"
    "  restore PROFILE REV             save the Rules of revision REV again, as a\n"
    "                                  new revision\n"
    "  rules PROFILE --private FILE --profile FILE\n"
    "                                  keep Rules built from two plain config specs\n"
    "                                  (markers, CR LF) for the next save\n"
    "  rules PROFILE --show            print the private and the profile rules\n"
    "  set PROFILE FIELD (--text TEXT | --file FILE)\n"
    "                                  keep a field's new value for the next save\n"
    "  save PROFILE [--name NEWNAME]   write the kept fields (Rules raises the\n"
    "                                  profile revision), then rename\n"
    "\n"
    "FIELD is one of Description, Rules, \"Admin VOB\", \"VOB List\", \"Project Branch\",\n"
    "\"Project Label\", Checkpoints, Diagram (from a file only).\n"
    "REV is a revision, MAJOR.MINOR or its MINOR alone (\"1.5\" or \"5\").\n"
    "Nodes are names below the profiles folder (\"Team\\App\"), below the root\n"
    "(\"\\Stavemark View Profiles\\Team\\App\") or native paths below the root.\n"
    "Rules that the composition could not use (markers missing or out of order,\n"
    "LF line ends, a part that does not parse) are refused by set and save.\n"
    "--no-input (or KELMORA_NO_INPUT=1): nothing is read; questions take Cancel.\n"
    "With --json (docs/json.md) failures are a JSON object on standard error.\n"
    "Exit status: 0 done, 1 failed, 2 wrong usage.\n";

}  // namespace

namespace {

int Run(int argc, char** argv) {
    using namespace kelmora;
    std::vector<std::string> args(argv + 1, argv + argc);
    size_t next = 0;
    for (; next < args.size() && args[next].starts_with("-"); ++next) {
        if (args[next] == "--") {
            ++next;
            break;
        }
        if (args[next] == "--help" || args[next] == "-h") {
            std::fputs(kUsage, stdout);
            return vptree::kExitOk;
        }
        if (args[next] == "--version") return tools::PrintVersion();
        if (args[next] == "--no-input") {
            tools::RequestNoInput();
            continue;
        }
        if (args[next] == "--root" && next + 1 < args.size()) {
            OverrideTreeRootSetting(args[++next]);
            continue;
        }
        if (args[next] == "--wait" && next + 1 < args.size()) {
            const std::string& seconds = args[++next];
            char* end = nullptr;
            const double value = std::strtod(seconds.c_str(), &end);
            if (seconds.empty() || *end || !(value >= 0 && value <= 86400))
                return tools::UsageError("--wait takes seconds from 0 to 86400, not '" + seconds +
                                         "'");
            SetWaitLimitMs(static_cast<long>(value * 1000));
            continue;
        }
        if (args[next] == "--root" || args[next] == "--wait")
            return tools::UsageError("option '" + args[next] + "' needs a value");
        return tools::UnknownWord("option", args[next],
                                  {"--root", "--wait", "--no-input", "--help", "--version", "--"});
    }
    if (next == args.size()) return tools::UsageError("no command given");
    const std::string command = args[next];
    if (command == "help") {
        std::fputs(kUsage, stdout);
        return vptree::kExitOk;
    }
    if (!vptree::IsTreeCommand(command))
        return tools::UnknownWord("command", command, vptree::TreeCommandNames());
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
        if (command != "ls" && command != "show" && command != "log")
            return vptree::ReportUsageError("--json is for ls, show and log");
    }

    // The host's part of the tree lock: a changed tree is loaded again before
    // the lock goes on.
    SetTreeChangedHandler([] { LoadProfileTree(false); });
    // set keeps a value locally and reads nothing of the tree; save reads
    // only what it changes, and its lock take says when there is no tree.
    const bool keeps_only = command == "set" || command == "save";
    if (keeps_only) SetCurrentTreeRoot(ReadTreeRootSetting());
    if (!(keeps_only                        ? !CurrentTreeRoot().empty()
          : vptree::NeedsWholeTree(command) ? LoadProfileTree(false) != nullptr
                                            : CheckTreeRoot(false))) {
        // Nothing works without a tree: a new user is told how to name one.
        if (ReadTreeRootSetting().empty())
            tools::PrintError(
                "no View Profile tree is set up; name it with: stavetool setting set ProjectRoot "
                "DIR (or give --root DIR)");
        return vptree::ReportTreeLoadFailure();
    }
    return vptree::RunTreeCommand(command, command_args);
}

}  // namespace

int main(int argc, char** argv) {
    kelmora::tools::SetProgramName("vptree");
    return kelmora::tools::FinishOutput(Run(argc, argv));
}

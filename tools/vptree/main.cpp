// vptree: a tree editing host for the View Profile tree. It loads the tree,
// runs one editing command on it, and reloads the tree whenever the tree lock
// reports that another process has changed it.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "store/current_tree.h"
#include "store/tree_load.h"
#include "store/tree_lock.h"
#include "store/tree_root.h"
#include "ui/user_interface.h"

namespace {

constexpr const char* kUsage =
    "usage: vptree [--root DIR] COMMAND [ARGUMENTS]\n"
    "\n"
    "Edits the View Profile tree at DIR, or at the machine's ProjectRoot setting.\n"
    "\n"
    "commands:\n"
    "  ls                              list folders and profiles (GUID, revision)\n"
    "  mkfolder PARENT                 make a new folder under PARENT\n"
    "  mkprofile PARENT                create an empty profile under PARENT\n"
    "  cp SOURCE PARENT [--keep-guid]  copy a profile (a new GUID unless --keep-guid)\n"
    "  mv NODE NEWNAME                 rename a folder or profile\n"
    "  rm NODE                         delete a folder or profile with all below it\n"
    "  show PROFILE                    print every field of a profile\n"
    "  set PROFILE FIELD (--text TEXT | --file FILE)\n"
    "                                  keep a field's new value for the next save\n"
    "  save PROFILE [--name NEWNAME]   write the kept fields (Rules raises the\n"
    "                                  profile revision), then rename\n"
    "\n"
    "FIELD is one of Description, Rules, \"Admin VOB\", \"VOB List\", \"Project Branch\",\n"
    "\"Project Label\", Checkpoints, Diagram (from a file only).\n"
    "Nodes are names below the root (\"\\Stavemark View Profiles\\Proj\") or\n"
    "native paths of folders below the root.\n"
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

    // The host's part of the tree lock: a changed tree is loaded again before
    // the lock goes on.
    SetTreeChangedHandler([] { LoadProfileTree(false); });
    if (!LoadProfileTree(false)) return vptree::kExitFailure;
    return vptree::RunTreeCommand(command, {args.begin() + next + 1, args.end()});
}

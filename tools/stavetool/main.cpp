// stavetool: the administration command line of the local client state.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "client/messages.h"
#include "commands.h"
#include "program.h"

namespace kelmora::stavetool {

namespace {

constexpr char kUsage[] =
    "Usage: stavetool COMMAND [ARGUMENTS]\n"
    "\n"
    "Administers the client state kept under $KELMORA_HOME (default ~/.kelmora).\n"
    "\n"
    "Commands:\n"
    "  setting get [--user] KEY NAME        print a setting\n"
    "  setting set [--user] KEY NAME VALUE  write a setting, creating its key\n"
    "  setting unset [--user] KEY NAME      delete a setting\n"
    "      With NAME alone (get, unset) or NAME VALUE (set) the setting is under\n"
    "      the client's common key, e.g. \"setting set ProjectRoot /srv/profiles\".\n"
    "      --user: the current user's settings instead of the machine's.\n"
    "      KEY is a backslash-separated path such as \"Software\\Kelmora\".\n"
    "  setting list                         ProjectRoot, client parameter 10 and file\n"
    "                                       system parameter 28: value and where it\n"
    "                                       comes from (the client database, else\n"
    "                                       /etc/kelmora/settings, see kelmora-settings(5))\n"
    "  setting get|unset --param N          the client's parameter N (machine-wide)\n"
    "  setting set --param N VALUE          set it to the number VALUE; e.g. parameter\n"
    "                                       10 not 0: no notice of VOBs mounted for a\n"
    "                                       View Profile\n"
    "  mkview TAG                           make a dynamic view\n"
    "  mkws TAG PATH                        make a workspace rooted at PATH\n"
    "  rmview TAG                           remove a view or workspace\n"
    "  lsview                               list views: tag, kind, uuid, root\n"
    "      lsview, lsvob, lsco and lstype take --json: the list as one JSON\n"
    "      document, and failures as a JSON object on standard error\n"
    "      (docs/json.md)\n"
    "  setcs TAG FILE                       set a view's config spec from FILE\n"
    "                                       (refused when it does not parse)\n"
    "  catcs TAG                            print a view's config spec as stored\n"
    "  mkvob TAG STORAGE [--replicated] [--replica NAME] [--mount-dir DIR]\n"
    "                                       make a VOB whose storage folder is STORAGE\n"
    "                                       (created when missing). TAG is absolute:\n"
    "                                       \"/vobs/src\" or \"\\src\". --replicated: the\n"
    "                                       VOB has replicas at other sites, and only\n"
    "                                       checkouts mastered here count; --replica:\n"
    "                                       this site's replica (default \"original\");\n"
    "                                       --mount-dir: where it is mounted (the tag).\n"
    "                                       Also registers TAG for mounting (see mktag):\n"
    "                                       public when run by an administrator\n"
    "  seevob VIEW VOB                      let the view see the VOB (a checkout does too)\n"
    "  co VIEW VOB ELEMENT [--master REPLICA]\n"
    "                                       check the element out to the view, mastered\n"
    "                                       by REPLICA (default this site's; a new name\n"
    "                                       in a replicated VOB is another site's replica)\n"
    "  ci VIEW VOB ELEMENT                  check the element in\n"
    "  unco VIEW VOB ELEMENT                undo the checkout\n"
    "  lsco VIEW                            list the view's checkouts, oldest first:\n"
    "                                       VOB tag, element, master replica (tabs)\n"
    "  vobfault VOB STATUS [--at CALL]      make the VOB answer the status word STATUS\n"
    "                                       (e.g. 1002 or 0x3ea) from the client call\n"
    "                                       CALL: open (default), replica, checkouts,\n"
    "                                       master, or create (the next type made in\n"
    "                                       the VOB fails, once)\n"
    "  vobfault VOB --clear                 let the VOB answer normally again\n"
    "  mktag TAG STORAGE [--public] [--options OPTS]\n"
    "                                       register TAG of an existing VOB for mounting,\n"
    "                                       with global path STORAGE; --public (needs an\n"
    "                                       administrator): \"mount -a\" mounts it too;\n"
    "                                       --options: mount options, e.g. \"ro,noauto\"\n"
    "  rmtag TAG                            remove the registration of an unmounted TAG\n"
    "  lsvob                                list VOBs: \"*\" when mounted, tag, storage,\n"
    "                                       registration, where it is mounted\n"
    "  mount TAG|-a                         mount the VOB of TAG, or every public tag\n"
    "                                       without the noauto option; it is seen at\n"
    "                                       $KELMORA_HOME/vobs/TAG\n"
    "  umount TAG|-a                        unmount the VOB of TAG, or every mounted VOB\n"
    "  mountfault TAG COUNT                 make the next COUNT mounts of TAG fail with\n"
    "                                       status 1001 (a VOB that cannot be reached)\n"
    "  mountfault TAG --clear               let TAG mount normally again\n"
    "  mkbrtype NAME VOB [--comment TEXT] [--admin]\n"
    "                                       make a branch type in the VOB; --admin: for\n"
    "                                       the VOBs that use VOB as their admin VOB\n"
    "  mklbtype NAME VOB [--comment TEXT]   make a label type in the VOB\n"
    "  lock TYPE                            lock a type, TYPE being brtype:NAME@VOB or\n"
    "                                       lbtype:NAME@VOB\n"
    "  unlock TYPE                          unlock a type\n"
    "  rmtype TYPE                          remove an unlocked type\n"
    "  lstype VOB                           list the VOB's types: kind, name, flags\n"
    "                                       (locked, admin or -), comment (tabs)\n"
    "  --help, -h                           show this text\n"
    "  --version                            show the program's version\n"
    "\n"
    "Exit status: 0 success, 1 the operation failed, 2 usage error.\n";

struct CCommand {
    const char* name;
    int (*run)(const CArguments& args);
};

constexpr CCommand kCommands[] = {
    {"setting", RunSetting},
    {"mkview", RunMakeView},
    {"mkws", RunMakeWorkspace},
    {"rmview", RunRemoveView},
    {"lsview", RunListViews},
    {"setcs", RunSetConfigSpec},
    {"catcs", RunCatConfigSpec},
    {"mkvob", RunMakeVob},
    {"seevob", RunSeeVob},
    {"vobfault", RunVobFault},
    {"co", RunCheckOut},
    {"ci", RunCheckIn},
    {"unco", RunUndoCheckOut},
    {"lsco", RunListCheckouts},
    {"mktag", RunMakeTag},
    {"rmtag", RunRemoveTag},
    {"lsvob", RunListVobs},
    {"mount", RunMount},
    {"umount", RunUnmount},
    {"mkbrtype", RunMakeBranchType},
    {"mklbtype", RunMakeLabelType},
    {"lock", RunLockType},
    {"unlock", RunUnlockType},
    {"rmtype", RunRemoveType},
    {"lstype", RunListTypes},
    {"mountfault", RunMountFault},
};

// The commands that list, and so take --json.
constexpr const char* kListingCommands[] = {"lsview", "lsvob", "lsco", "lstype"};

bool g_json = false;

}  // namespace

bool JsonOutput() {
    return g_json;
}

int PrintJsonDocument(const tools::CJson& document) {
    if (tools::PrintJson(document)) return kExitOk;
    return Fail(std::string("cannot write the list: ") + std::strerror(errno));
}

int Fail(const std::string& message) {
    if (g_json) return tools::PrintJsonError(message, kExitFailed);
    std::fprintf(stderr, "stavetool: %s\n", message.c_str());
    return kExitFailed;
}

int UsageError(const std::string& message) {
    if (g_json) return tools::PrintJsonError(message, kExitUsage);
    std::fprintf(stderr, "stavetool: %s\nTry 'stavetool --help'.\n", message.c_str());
    return kExitUsage;
}

std::string StatusText(tbs_status_t status) {
    return tbs_strerror(status);
}

int Main(int argc, char** argv) {
    imsg_set_app_name("stavetool");
    tools::SetProgramName("stavetool");
    int first = 1;
    if (argc > 1 && std::strcmp(argv[1], "--") == 0) ++first;
    if (argc <= first) return UsageError("no command given");
    const std::string command = argv[first];
    if (first == 1 && (command == "--help" || command == "-h" || command == "help")) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (first == 1 && command == "--version") return tools::PrintVersion();
    if (first == 1 && command.starts_with("-"))
        return tools::UnknownWord("option", command, {"--help", "--version", "--"});
    CArguments args(argv + first + 1, argv + argc);
    const auto options_end = std::find(args.begin(), args.end(), "--");
    if (const auto json = std::find(args.begin(), options_end, "--json"); json != options_end) {
        args.erase(json);
        g_json = true;
        if (std::find(std::begin(kListingCommands), std::end(kListingCommands), command) ==
            std::end(kListingCommands))
            return UsageError("--json is for lsview, lsvob, lsco and lstype");
    }
    std::vector<std::string> names;
    for (const CCommand& entry : kCommands) {
        if (command == entry.name) return entry.run(args);
        names.push_back(entry.name);
    }
    return UsageError(tools::UnknownWordText("command", command, names));
}

}  // namespace kelmora::stavetool

int main(int argc, char** argv) {
    return kelmora::tools::FinishOutput(kelmora::stavetool::Main(argc, argv));
}

// viewprofile: calls one method of the View Profile object from the command line.
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "caller.h"
#include "json_output.h"
#include "kelmora/automation.h"
#include "look.h"
#include "program.h"
#include "server_library.h"
#include "store/tree_root.h"

namespace {

using namespace kelmora;

struct CMethodHelp {
    const char* name;
    const char* argument;  // null: none
    const char* result;
    const char* what;
    bool needs_view;
};

// The object's methods as the user sees them; the object itself resolves the
// names, this table only explains them.
constexpr CMethodHelp kMethods[] = {
    {"GetProfileName", nullptr, "text", "name of the associated profile", true},
    {"GetConfigSpec", nullptr, "text", "the view's config spec", true},
    {"SetErrorString", "TEXT", "-", "text put before every error message", false},
    {"Dissociate", nullptr, "bool", "remove the view's association", true},
    {"GetFirstVOB", nullptr, "text", "first VOB of the profile", true},
    {"GetNextVOB", nullptr, "text", "next VOB of the profile", true},
    {"Associate", nullptr, "bool", "associate the view with a profile", true},
    {"SetUpBranch", "BOOL", "bool", "set up a private branch", true},
    {"FinishBranch", nullptr, "bool", "finish the private branch", true},
    {"Synchronize", "BOOL", "bool", "bring the view up to date with its profile", true},
    {"GetDescription", nullptr, "text", "the profile's description", true},
    {"GetDiagramPName", nullptr, "text", "path of the profile's diagram", true},
    {"IsAssociated", nullptr, "bool", "whether the view follows a profile", true},
    {"IsOnPrivateBranch", nullptr, "bool", "whether the view works on a private branch", true},
    {"GetProfileTreeRoot", nullptr, "text", "root of the View Profile tree", false},
    {"MountProfileVOBs", "TEXT", "bool", "mount the profile's VOBs", true},
    {"SetViewTag", "TAG", "bool", "work on the view with this tag", false},
    {"SetWorkspacePath", "PATH", "bool", "work on the workspace at this path", false},
    {"SuppressErrorDisplay", "BOOL", "-", "log errors instead of showing them", false},
};

constexpr const char* kLogCommand = "log";

void PrintUsage(FILE* out) {
    std::fprintf(out,
                 "usage: viewprofile [--view TAG | --workspace PATH] [--error-prefix TEXT]\n"
                 "                   [--suppress-errors] [--preview] [--gui] [--no-input]\n"
                 "                   [--] METHOD [ARG]\n"
                 "       viewprofile (--view TAG | --workspace PATH) status [--json] [--diff]\n"
                 "       viewprofile (--view TAG --view TAG... | --all) status [--json]\n"
                 "       viewprofile sync --all [--jobs N] [--preview] [--no-input] [--json]\n"
                 "       viewprofile log [--since TIME] [--view TAG]\n"
                 "       viewprofile --version\n"
                 "       viewprofile --help\n");
}

void PrintHelp() {
    PrintUsage(stdout);
    std::printf(
        "\nCreates the KELMORA.VIEWPROFILE object, names the view, and calls METHOD.\n"
        "A text result is printed; a boolean result is printed as TRUE or FALSE.\n"
        "Exit status: 0 for TRUE or any other result, 1 for FALSE or when the\n"
        "method's operation failed (it has said why; a workspace path that names no\n"
        "workspace, too) or the result could not be written, 2 for a usage error or\n"
        "a failed call.\n"
        "A cancelled wizard answers TRUE; \"cancelled\" is then said on standard error.\n"
        "Errors are shown as message boxes on standard error; with --suppress-errors\n"
        "they go to the log \"viewprofile_log\" in the product's log folder.\n"
        "BOOL arguments: TRUE, FALSE, YES, NO or a number.\n"
        "\n"
        "--no-input (or KELMORA_NO_INPUT=1): nothing is read; every box takes its\n"
        "default and every question and dialog No or Cancel.\n"
        "--preview: the method asks and shows what it always does, but changes no\n"
        "view, VOB, tree or mount; after its result come the config spec it would\n"
        "write (a unified diff against the view's, with the revision it would\n"
        "record), the types it would make and the VOBs it would mount.\n"
        "status: one look at the view that asks and changes nothing: its profile,\n"
        "revisions, private branch, checkouts, the profile's VOBs and whether the\n"
        "config spec was edited by hand; --json prints it as one JSON document.\n"
        "--diff: for a view that is behind, what Synchronize will bring: the diff of\n"
        "the profile's Rules from the view's revision to the current one, from the\n"
        "profile's Rules history; when that revision is not kept there, the config\n"
        "spec Synchronize would write, as --preview shows it.\n"
        "Exit status 0 up to date and clean, 1 something needs the user, 2 the view\n"
        "or the tree could not be read (or a usage error).\n"
        "Several --view options, or --all (every view of the client), look at each\n"
        "view in turn in one process, which reads each profile's files once; the\n"
        "exit status is the highest, and --json prints {\"views\": [...]}.\n"
        "sync --all: every view of this user's client database that follows a\n"
        "profile and is behind it is synchronized (Synchronize FALSE, in a\n"
        "viewprofile of its own with --no-input: nothing is ever asked); one line\n"
        "per view on standard error, then who was updated, who was up to date and\n"
        "who needs you, with why and the command to run. --jobs N: N views at once,\n"
        "never two of one profile. --preview: what each would change, changing\n"
        "nothing. Views that follow no profile are left alone. Exit status 0 every\n"
        "associated view is up to date afterwards, 1 some need you.\n"
        "log: the calls of every host, from log/viewprofile.jsonl: since TIME\n"
        "(ISO 8601 UTC, \"2026-12-07\" or \"2026-12-07T08:00\"), of the view TAG.\n"
        "\n"
        "With --gui (or KELMORA_UI=qt) dialogs and boxes are windows; without a\n"
        "display that is said once and the console serves.\n"
        "\nMethods:\n");
    for (const auto& m : kMethods) {
        std::string call = std::string(m.name) + (m.argument ? std::string(" ") + m.argument : "");
        std::printf("  %-28s %-5s %s\n", call.c_str(), m.result, m.what);
    }
}

struct COptions {
    std::optional<std::string> view_tag;
    std::vector<std::string> more_views;  // --view given again (status only)
    bool all = false;                     // status or sync of every view
    std::optional<std::string> workspace;
    std::optional<std::string> error_prefix;
    std::optional<std::string> since;
    std::optional<std::string> jobs;
    bool diff = false;
    bool suppress_errors = false;
    bool preview = false;
    bool json = false;
    bool gui = false;
    bool no_input = false;
    bool help = false;
    bool version = false;
    std::string method;
    std::vector<std::string> arguments;
    std::string error;  // why the command line was refused
};

const std::vector<std::string> kOptionNames = {
    "--view",    "--workspace", "--error-prefix", "--suppress-errors",
    "--preview", "--gui",       "--no-input",     "--json",
    "--since",   "--help",      "--version",      "--diff",
    "--all",     "--"};

// Accepts "--name VALUE" and "--name=VALUE"; a missing value is an error.
bool TakeValue(const std::string& arg, const char* name, int argc, char** argv, int* i,
               std::optional<std::string>* value, std::string* error) {
    std::string prefix = std::string(name) + "=";
    if (arg == name) {
        if (*i + 1 >= argc) {
            *error = "option '" + arg + "' needs a value";
            return true;
        }
        *value = argv[++*i];
        return true;
    }
    if (arg.rfind(prefix, 0) == 0) {
        *value = arg.substr(prefix.size());
        return true;
    }
    return false;
}

// The method's name as the table writes it (the object takes any letter
// case); empty when there is none of that name.
const CMethodHelp* FindMethod(const std::string& name) {
    for (const CMethodHelp& m : kMethods)
        if (strcasecmp(m.name, name.c_str()) == 0) return &m;
    return nullptr;
}

std::vector<std::string> CommandNames() {
    std::vector<std::string> names = {kStatusCommand, kSyncCommand, kLogCommand};
    for (const CMethodHelp& m : kMethods) names.push_back(m.name);
    return names;
}

// sync works on every view, and only on all of them for now.
bool CheckSyncOptions(COptions* o) {
    if (o->view_tag || o->workspace)
        o->error =
            "sync --all takes no view; for one view: viewprofile --view TAG Synchronize FALSE";
    else if (!o->all)
        o->error = "sync needs --all (for one view: viewprofile --view TAG Synchronize FALSE)";
    else if (!o->arguments.empty())
        o->error = "sync takes no argument '" + o->arguments[0] + "'";
    else if (o->error_prefix || o->suppress_errors || o->gui)
        o->error = "sync --all takes no --error-prefix, --suppress-errors or --gui";
    else if (o->jobs && (o->jobs->empty() || o->jobs->size() > 3 ||
                         o->jobs->find_first_not_of("0123456789") != std::string::npos ||
                         std::stoi(*o->jobs) < 1))
        o->error = "--jobs takes a number from 1 to 999, not '" + *o->jobs + "'";
    return o->error.empty();
}

// Parses the command line; false on a usage error, with its reason.
bool ParseOptions(int argc, char** argv, COptions* o) {
    bool options_ended = false;
    for (int i = 1; i < argc && o->error.empty(); ++i) {
        std::string arg = argv[i];
        const bool own_options =
            o->method == kStatusCommand || o->method == kLogCommand || o->method == kSyncCommand;
        const bool sync = o->method == kSyncCommand;
        if (!options_ended && arg == "--") {
            options_ended = true;
        } else if (!o->method.empty() && (options_ended || !own_options)) {
            o->arguments.push_back(arg);
        } else if (options_ended) {
            o->method = arg;
        } else if (arg == "--json" && o->method != kLogCommand) {
            o->json = true;
        } else if (arg == "--all" && o->method != kLogCommand) {
            o->all = true;
        } else if (o->method == kLogCommand &&
                   (TakeValue(arg, "--since", argc, argv, &i, &o->since, &o->error) ||
                    TakeValue(arg, "--view", argc, argv, &i, &o->view_tag, &o->error))) {
        } else if (arg == "--diff" && o->method != kLogCommand && !sync) {
            o->diff = true;
        } else if (sync && TakeValue(arg, "--jobs", argc, argv, &i, &o->jobs, &o->error)) {
        } else if (sync && arg == "--preview") {
            o->preview = true;
        } else if (sync && arg == "--no-input") {
            o->no_input = true;
        } else if (own_options) {
            if (arg.rfind("-", 0) != 0) {
                o->arguments.push_back(arg);
                continue;
            }
            const std::string name = arg.substr(0, arg.find('='));
            if (std::find(kOptionNames.begin(), kOptionNames.end(), name) != kOptionNames.end()) {
                o->error = "options go before the method: '" + arg + "'";
                continue;
            }
            o->error = tools::UnknownWordText(
                "option", arg,
                o->method == kLogCommand ? std::vector<std::string>{"--since", "--view"}
                : sync ? std::vector<std::string>{"--all", "--jobs", "--preview", "--no-input",
                                                  "--json"}
                       : std::vector<std::string>{"--json", "--diff", "--all"});
        } else if (std::optional<std::string> another;
                   o->view_tag && TakeValue(arg, "--view", argc, argv, &i, &another, &o->error)) {
            if (another) o->more_views.push_back(*another);
        } else if (TakeValue(arg, "--view", argc, argv, &i, &o->view_tag, &o->error) ||
                   TakeValue(arg, "--workspace", argc, argv, &i, &o->workspace, &o->error) ||
                   TakeValue(arg, "--error-prefix", argc, argv, &i, &o->error_prefix, &o->error)) {
        } else if (arg == "--suppress-errors") {
            o->suppress_errors = true;
        } else if (arg == "--preview") {
            o->preview = true;
        } else if (arg == "--gui") {
            o->gui = true;
        } else if (arg == "--no-input") {
            o->no_input = true;
        } else if (arg == "--help" || arg == "-h") {
            o->help = true;
        } else if (arg == "--version") {
            o->version = true;
        } else if (arg.rfind("-", 0) == 0) {
            o->error = tools::UnknownWordText("option", arg, kOptionNames);
        } else {
            o->method = arg;
        }
    }
    if (!o->error.empty()) return false;
    if (o->help || o->version) return true;
    if (o->method.empty()) {
        o->error = "no method given";
        return false;
    }
    const CMethodHelp* method = FindMethod(o->method);
    if (!method && o->method != kStatusCommand && o->method != kLogCommand &&
        o->method != kSyncCommand) {
        o->error = tools::UnknownWordText("method", o->method, CommandNames());
        return false;
    }
    if (o->method == kLogCommand) {
        if (!o->arguments.empty()) o->error = "log takes no argument '" + o->arguments[0] + "'";
        return o->error.empty();
    }
    if (o->method == kSyncCommand) return CheckSyncOptions(o);
    if ((o->all || !o->more_views.empty()) && o->method != kStatusCommand) {
        o->error = "several views and --all are for status only";
        return false;
    }
    if (o->all && (o->view_tag || o->workspace)) {
        o->error = "status --all takes no --view or --workspace";
        return false;
    }
    if (o->diff && (o->all || !o->more_views.empty())) {
        o->error = "status --diff looks at one view";
        return false;
    }
    if (o->view_tag && o->workspace) {
        o->error = "give either --view or --workspace, not both";
        return false;
    }
    if (o->arguments.size() > 1) {
        // "status --view v" is the likeliest way here: say where options go.
        for (const std::string& arg : o->arguments) {
            if (arg.rfind("--", 0) != 0) continue;
            o->error = "options go before the method: '" + arg + "'";
            return false;
        }
        o->error = "a method takes at most one argument";
        return false;
    }
    const bool needs_view = method ? method->needs_view : true;
    if (needs_view && !o->view_tag && !o->workspace && !o->all) {
        o->error = o->method + " works on a view: give --view TAG or --workspace PATH";
        return false;
    }
    if (o->method == kStatusCommand) {
        const char* refused = !o->arguments.empty() ? "an argument"
                              : o->preview          ? "--preview"
                              : o->error_prefix     ? "--error-prefix"
                              : o->suppress_errors  ? "--suppress-errors"
                                                    : nullptr;
        if (refused) {
            o->error = std::string("status takes no ") + refused;
            return false;
        }
    } else if (o->json || o->diff) {
        o->error = std::string(o->json ? "--json" : "--diff") + " is for status only";
        return false;
    }
    return true;
}

CObjectSetup SetupOf(const COptions& options) {
    CObjectSetup setup;
    if (options.view_tag) setup.view_tag = &*options.view_tag;
    if (options.workspace) setup.workspace = &*options.workspace;
    if (options.error_prefix) setup.error_prefix = &*options.error_prefix;
    setup.suppress_errors = options.suppress_errors;
    return setup;
}

// Set for a call of a method that reads the View Profile tree.
bool g_uses_tree = false;

// Runs the command line; the exit code.
int Run(int argc, char** argv) {
    COptions options;
    if (!ParseOptions(argc, argv, &options)) {
        // The choice of output is known only when the line has been read.
        const bool json = std::any_of(
            argv + 1, argv + argc, [](const char* arg) { return std::strcmp(arg, "--json") == 0; });
        if (json) return tools::PrintJsonError(options.error, kExitFailure);
        return tools::UsageError(options.error);
    }
    if (options.help) {
        PrintHelp();
        return kExitTrue;
    }
    if (options.version) return tools::PrintVersion();
    if (options.no_input) tools::RequestNoInput();
    // The methods that read the tree, where a missing tree is the likely cause
    // of a failure (status says so itself; suppressed errors stay quiet).
    const CMethodHelp* method = FindMethod(options.method);
    g_uses_tree = method && method->needs_view && !options.suppress_errors &&
                  method != FindMethod("GetConfigSpec") && method != FindMethod("IsAssociated");
    if (options.method == kLogCommand)
        return PrintCallLog(options.since.value_or(""), options.view_tag.value_or(""));
    // The choice of front end is read when the first dialog is shown.
    if (options.gui) setenv("KELMORA_UI", "qt", 1);
    // Both run the operations here, where they can be watched.
    if (options.method == kStatusCommand && (options.all || !options.more_views.empty())) {
        std::vector<std::string> views = options.more_views;
        if (options.view_tag) views.insert(views.begin(), *options.view_tag);
        return RunStatusOfViews(views, options.all, options.json);
    }
    if (options.method == kStatusCommand)
        return RunStatus(SetupOf(options), options.json, options.diff);
    if (options.method == kSyncCommand)
        return RunSyncAll(
            {options.jobs ? std::stoi(*options.jobs) : 1, options.preview, options.json});
    if (options.preview) return RunPreview(SetupOf(options), options.method, options.arguments);

    CServerLibrary library;
    const bool loaded = library.Load(KELMORA_VIEWPROFILE_PROGID);
    if (!library.notice().empty()) tools::PrintError(library.notice());
    if (!loaded) {
        // The usage was right: a client database that cannot be read fails the call.
        if (library.registry_unusable()) return kExitFalse;
        tools::PrintError(library.error());
        return kExitFailure;
    }
    IDispatch* object = library.CreateObject();
    if (!object) {
        tools::PrintError(library.error());
        return kExitFailure;
    }

    int exit_code = kExitTrue;
    {
        CCaller caller(library.string_functions(), object);
        exit_code = CallAndPrint(caller, SetupOf(options), options.method, options.arguments);
    }
    library.UnloadIfUnused();
    return exit_code;
}

}  // namespace

int main(int argc, char** argv) {
    kelmora::tools::SetProgramName("viewprofile");
    const int exit_code = Run(argc, argv);
    // Nothing works without a tree: the first error of a new user says how to name one.
    if (exit_code != kelmora::kExitTrue && g_uses_tree && kelmora::ReadTreeRootSetting().empty())
        kelmora::tools::PrintError(
            "no View Profile tree is set up; name it with: stavetool setting set ProjectRoot DIR");
    return kelmora::tools::FinishOutput(exit_code);
}

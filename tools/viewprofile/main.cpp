// viewprofile: calls one method of the View Profile object from the command line.
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
#include "server_library.h"

namespace {

using namespace kelmora;

struct CMethodHelp {
    const char* name;
    const char* argument;  // null: none
    const char* result;
    const char* what;
};

// The object's methods as the user sees them; the object itself resolves the
// names, this table only explains them.
constexpr CMethodHelp kMethods[] = {
    {"GetProfileName", nullptr, "text", "name of the associated profile"},
    {"GetConfigSpec", nullptr, "text", "the view's config spec"},
    {"SetErrorString", "TEXT", "-", "text put before every error message"},
    {"Dissociate", nullptr, "bool", "remove the view's association"},
    {"GetFirstVOB", nullptr, "text", "first VOB of the profile"},
    {"GetNextVOB", nullptr, "text", "next VOB of the profile"},
    {"Associate", nullptr, "bool", "associate the view with a profile"},
    {"SetUpBranch", "BOOL", "bool", "set up a private branch"},
    {"FinishBranch", nullptr, "bool", "finish the private branch"},
    {"Synchronize", "BOOL", "bool", "bring the view up to date with its profile"},
    {"GetDescription", nullptr, "text", "the profile's description"},
    {"GetDiagramPName", nullptr, "text", "path of the profile's diagram"},
    {"IsAssociated", nullptr, "bool", "whether the view follows a profile"},
    {"IsOnPrivateBranch", nullptr, "bool", "whether the view works on a private branch"},
    {"GetProfileTreeRoot", nullptr, "text", "root of the View Profile tree"},
    {"MountProfileVOBs", "TEXT", "bool", "mount the profile's VOBs"},
    {"SetViewTag", "TAG", "bool", "work on the view with this tag"},
    {"SetWorkspacePath", "PATH", "bool", "work on the workspace at this path"},
    {"SuppressErrorDisplay", "BOOL", "-", "log errors instead of showing them"},
};

void PrintUsage(FILE* out) {
    std::fprintf(out,
                 "usage: viewprofile [--view TAG | --workspace PATH] [--error-prefix TEXT]\n"
                 "                   [--suppress-errors] [--preview] [--gui] METHOD [ARG]\n"
                 "       viewprofile [--view TAG | --workspace PATH] status [--json]\n"
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
        "workspace, too), 2 for a usage error or a failed call.\n"
        "Errors are shown as message boxes on standard error; with --suppress-errors\n"
        "they go to the log \"viewprofile_log\" in the product's log folder.\n"
        "BOOL arguments: TRUE, FALSE, YES, NO or a number.\n"
        "\n"
        "--preview: the method asks and shows what it always does, but changes no\n"
        "view, VOB, tree or mount; after its result come the config spec it would\n"
        "write (a unified diff against the view's, with the revision it would\n"
        "record), the types it would make and the VOBs it would mount.\n"
        "status: one look at the view that asks and changes nothing: its profile,\n"
        "revisions, private branch, checkouts, the profile's VOBs and whether the\n"
        "config spec was edited by hand; --json prints it as one JSON document.\n"
        "Exit status 0 up to date and clean, 1 something needs the user, 2 the view\n"
        "or the tree could not be read (or a usage error).\n"
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
    std::optional<std::string> workspace;
    std::optional<std::string> error_prefix;
    bool suppress_errors = false;
    bool preview = false;
    bool json = false;
    bool gui = false;
    std::string method;
    std::vector<std::string> arguments;
    std::string error;  // why the command line was refused
};

// Accepts "--name VALUE" and "--name=VALUE".
bool TakeValue(const std::string& arg, const char* name, int argc, char** argv, int* i,
               std::optional<std::string>* value) {
    std::string prefix = std::string(name) + "=";
    if (arg == name) {
        if (*i + 1 >= argc) return false;
        *value = argv[++*i];
        return true;
    }
    if (arg.rfind(prefix, 0) == 0) {
        *value = arg.substr(prefix.size());
        return true;
    }
    return false;
}

// Parses the command line; false on a usage error, with its reason.
bool ParseOptions(int argc, char** argv, COptions* options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--json" && (options->method.empty() || options->method == kStatusCommand)) {
            options->json = true;
        } else if (!options->method.empty()) {
            options->arguments.push_back(arg);
        } else if (TakeValue(arg, "--view", argc, argv, &i, &options->view_tag) ||
                   TakeValue(arg, "--workspace", argc, argv, &i, &options->workspace) ||
                   TakeValue(arg, "--error-prefix", argc, argv, &i, &options->error_prefix)) {
        } else if (arg == "--suppress-errors") {
            options->suppress_errors = true;
        } else if (arg == "--preview") {
            options->preview = true;
        } else if (arg == "--gui") {
            options->gui = true;
        } else if (arg.rfind("-", 0) == 0) {
            options->error = "unknown or incomplete option '" + arg + "'";
            return false;
        } else {
            options->method = arg;
        }
    }
    if (options->method.empty()) {
        options->error = "no method given";
        return false;
    }
    if (options->view_tag && options->workspace) {
        options->error = "give either --view or --workspace, not both";
        return false;
    }
    if (options->arguments.size() > 1) {
        // "status --view v" is the likeliest way here: say where options go.
        for (const std::string& arg : options->arguments) {
            if (arg.rfind("--", 0) != 0) continue;
            options->error = "options go before the method: '" + arg + "'";
            return false;
        }
        options->error = "a method takes at most one argument";
        return false;
    }
    if (options->method == kStatusCommand) {
        if (!options->view_tag && !options->workspace) {
            options->error = "status needs --view or --workspace";
            return false;
        }
        const char* refused = !options->arguments.empty() ? "an argument"
                              : options->preview          ? "--preview"
                              : options->error_prefix     ? "--error-prefix"
                              : options->suppress_errors  ? "--suppress-errors"
                                                          : nullptr;
        if (refused) {
            options->error = std::string("status takes no ") + refused;
            return false;
        }
    } else if (options->json) {
        options->error = "--json is for status only";
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

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintHelp();
        return kExitTrue;
    }
    bool version = argc == 2 && std::strcmp(argv[1], "--version") == 0;
    COptions options;
    if (!version && !ParseOptions(argc, argv, &options)) {
        // The choice of output is known only when the line has been read.
        const bool json = std::any_of(
            argv + 1, argv + argc, [](const char* arg) { return std::strcmp(arg, "--json") == 0; });
        if (json) return tools::PrintJsonError(options.error, kExitFailure);
        std::fprintf(stderr, "viewprofile: %s\n", options.error.c_str());
        PrintUsage(stderr);
        return kExitFailure;
    }
    // The choice of front end is read when the first dialog is shown.
    if (options.gui) setenv("KELMORA_UI", "qt", 1);
    // Both run the operations here, where they can be watched.
    if (options.method == kStatusCommand) return RunStatus(SetupOf(options), options.json);
    if (options.preview) return RunPreview(SetupOf(options), options.method, options.arguments);

    CServerLibrary library;
    const bool loaded = library.Load(KELMORA_VIEWPROFILE_PROGID);
    if (!library.notice().empty())
        std::fprintf(stderr, "viewprofile: %s\n", library.notice().c_str());
    if (!loaded) {
        // The usage was right: a client database that cannot be read fails the call.
        if (library.registry_unusable()) return kExitFalse;
        std::fprintf(stderr, "viewprofile: %s\n", library.error().c_str());
        return kExitFailure;
    }
    if (version) {
        library.PrintVersion();
        return kExitTrue;
    }
    IDispatch* object = library.CreateObject();
    if (!object) {
        std::fprintf(stderr, "viewprofile: %s\n", library.error().c_str());
        return kExitFailure;
    }

    int exit_code = kExitTrue;
    {
        CCaller caller(library.string_functions(), object);
        exit_code = CallAndPrint(caller, SetupOf(options), options.method, options.arguments);
    }
    std::fflush(stdout);
    library.UnloadIfUnused();
    return exit_code;
}

// viewprofile: calls one method of the View Profile object from the command line.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "kelmora/automation.h"
#include "server_library.h"

namespace {

using kelmora::CServerLibrary;

enum : int { kExitTrue = 0, kExitFalse = 1, kExitFailure = 2 };

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
                 "                   [--suppress-errors] [--gui] METHOD [ARG]\n"
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
        "With --gui (or KELMORA_UI=qt) dialogs and boxes are windows; without a\n"
        "display that is said once and the console serves.\n"
        "BOOL arguments: TRUE, FALSE, YES, NO or a number.\n\nMethods:\n");
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
    bool gui = false;
    std::string method;
    std::vector<std::string> arguments;
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

// Parses the command line; false on a usage error (already explained).
bool ParseOptions(int argc, char** argv, COptions* options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (!options->method.empty()) {
            options->arguments.push_back(arg);
        } else if (TakeValue(arg, "--view", argc, argv, &i, &options->view_tag) ||
                   TakeValue(arg, "--workspace", argc, argv, &i, &options->workspace) ||
                   TakeValue(arg, "--error-prefix", argc, argv, &i, &options->error_prefix)) {
        } else if (arg == "--suppress-errors") {
            options->suppress_errors = true;
        } else if (arg == "--gui") {
            options->gui = true;
        } else if (arg.rfind("-", 0) == 0) {
            std::fprintf(stderr, "viewprofile: unknown or incomplete option '%s'\n", arg.c_str());
            return false;
        } else {
            options->method = arg;
        }
    }
    if (options->method.empty()) {
        std::fprintf(stderr, "viewprofile: no method given\n");
        return false;
    }
    if (options->view_tag && options->workspace) {
        std::fprintf(stderr, "viewprofile: give either --view or --workspace, not both\n");
        return false;
    }
    if (options->arguments.size() > 1) {
        std::fprintf(stderr, "viewprofile: a method takes at most one argument\n");
        return false;
    }
    return true;
}

// Calls a method by name with string arguments; the object converts them to
// the parameter's type.
class CCaller {
public:
    CCaller(CServerLibrary& library, IDispatch* object) : library_(library), object_(object) {}
    ~CCaller() { object_->Release(); }
    CCaller(const CCaller&) = delete;
    CCaller& operator=(const CCaller&) = delete;

    HRESULT Call(const std::string& method, const std::vector<std::string>& arguments,
                 VARIANT* result) {
        const char* names[] = {method.c_str()};
        DISPID id = -1;
        HRESULT hr = object_->GetIDsOfNames(names, 1, &id);
        if (FAILED(hr)) return hr;
        std::vector<VARIANT> values(arguments.size());
        for (size_t i = 0; i < arguments.size(); ++i) {
            values[i].vt = VT_BSTR;
            values[i].bstrVal = library_.AllocString(arguments[i]);
        }
        DISPPARAMS params{values.data(), static_cast<uint32_t>(values.size())};
        hr = object_->Invoke(id, &params, result);
        for (auto& v : values) kelmora_variant_clear(&v, library_.free_string_function());
        return hr;
    }

private:
    CServerLibrary& library_;
    IDispatch* object_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintHelp();
        return kExitTrue;
    }
    bool version = argc == 2 && std::strcmp(argv[1], "--version") == 0;
    COptions options;
    if (!version && !ParseOptions(argc, argv, &options)) {
        PrintUsage(stderr);
        return kExitFailure;
    }

    // The library reads the choice of front end when it is loaded.
    if (options.gui) setenv("KELMORA_UI", "qt", 1);
    CServerLibrary library;
    const bool loaded = library.Load(KELMORA_VIEWPROFILE_PROGID);
    if (!library.notice().empty())
        std::fprintf(stderr, "viewprofile: %s\n", library.notice().c_str());
    if (!loaded) {
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
        CCaller caller(library, object);
        auto fail = [&](const std::string& method, HRESULT hr) {
            std::fprintf(stderr, "viewprofile: %s: %s\n", method.c_str(),
                         kelmora::DescribeHresult(hr).c_str());
            return kExitFailure;
        };
        VARIANT result;
        kelmora_variant_init(&result);
        HRESULT hr = S_OK;
        if (options.view_tag) {
            hr = caller.Call("SetViewTag", {*options.view_tag}, &result);
        } else if (options.workspace) {
            hr = caller.Call("SetWorkspacePath", {*options.workspace}, &result);
        }
        if (FAILED(hr)) return fail(options.view_tag ? "SetViewTag" : "SetWorkspacePath", hr);
        // The object has told the user why it cannot work on this path.
        if (result.vt == VT_BOOL && result.boolVal == VARIANT_FALSE) return kExitFalse;
        if (options.error_prefix) {
            hr = caller.Call("SetErrorString", {*options.error_prefix}, nullptr);
            if (FAILED(hr)) return fail("SetErrorString", hr);
        }
        if (options.suppress_errors) {
            hr = caller.Call("SuppressErrorDisplay", {"TRUE"}, nullptr);
            if (FAILED(hr)) return fail("SuppressErrorDisplay", hr);
        }

        kelmora_variant_init(&result);
        hr = caller.Call(options.method, options.arguments, &result);
        if (FAILED(hr)) return fail(options.method, hr);
        // The operation reported a failure; whatever text it found is still printed.
        if (hr == S_FALSE) exit_code = kExitFalse;
        if (result.vt == VT_BSTR) {
            std::string text = library.StringOf(result.bstrVal);
            std::fwrite(text.data(), 1, text.size(), stdout);
            if (!text.empty() && text.back() != '\n') std::fputc('\n', stdout);
        } else if (result.vt == VT_BOOL) {
            std::printf("%s\n", result.boolVal ? "TRUE" : "FALSE");
            if (result.boolVal == VARIANT_FALSE) exit_code = kExitFalse;
        }
        kelmora_variant_clear(&result, library.free_string_function());
    }
    std::fflush(stdout);
    library.UnloadIfUnused();
    return exit_code;
}

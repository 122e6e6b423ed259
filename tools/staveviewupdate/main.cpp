// staveviewupdate: brings a workspace in line with a new config spec.
//   staveviewupdate -ws WORKSPACE -cspec FILE [-quick]
// The config spec in FILE becomes the workspace's own; -quick is accepted for
// the callers' sake (the update is always the quick one).
#include <cstdio>
#include <cstring>
#include <string>

#include "client/messages.h"
#include "client/views.h"
#include "platform/tool_log.h"
#include "program.h"

namespace {

constexpr char kUsage[] = "usage: staveviewupdate -ws WORKSPACE -cspec FILE [-quick]\n";

int Run(int argc, char** argv) {
    using namespace kelmora;
    RecordToolInvocation(argc, argv);
    imsg_set_app_name("staveviewupdate");
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        std::puts(
            "Makes the config spec in FILE the workspace's own. Exit status: 0 done,\n"
            "1 the workspace or the config spec was refused, 2 usage error.");
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) return tools::PrintVersion();
    std::string workspace, cspec;
    bool have_workspace = false, have_cspec = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-ws") == 0 && i + 1 < argc) {
            workspace = argv[++i];
            have_workspace = true;
        } else if (std::strcmp(argv[i], "-cspec") == 0 && i + 1 < argc) {
            cspec = argv[++i];
            have_cspec = true;
        } else if (std::strcmp(argv[i], "-ws") == 0 || std::strcmp(argv[i], "-cspec") == 0) {
            return tools::UsageError(std::string("option '") + argv[i] + "' needs a value");
        } else if (std::strcmp(argv[i], "-quick") != 0 && std::strcmp(argv[i], "--") != 0) {
            return tools::UnknownWord("option", argv[i],
                                      {"-ws", "-cspec", "-quick", "--help", "--version"});
        }
    }
    if (!have_workspace || !have_cspec)
        return tools::UsageError("-ws WORKSPACE and -cspec FILE are needed");

    ws_handle_t handle = nullptr;
    if (tbs_status_t st = ws_get_handle(workspace.c_str(), 0, &handle)) {
        imsg_print(IMSG_KIND_ERROR, "staveviewupdate: '%s' is not a workspace: %s\n", -1,
                   workspace.c_str(), tbs_strerror(st));
        return 1;
    }
    tbs_status_t st = ws_set_spec(handle, cspec.c_str());
    ws_free_handle(&handle);
    if (st != TBS_ST_OK) {
        imsg_print(IMSG_KIND_ERROR, "staveviewupdate: cannot set the config spec of '%s': %s\n", -1,
                   workspace.c_str(), tbs_strerror(st));
        return 1;
    }
    imsg_print(IMSG_KIND_INFO, "Workspace '%s' updated.\n", -1, workspace.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    kelmora::tools::SetProgramName("staveviewupdate");
    return kelmora::tools::FinishOutput(Run(argc, argv));
}

// stavemrgman: the merge tool's stand-in. Publishing a private branch starts
// it; it says what it would merge and leaves the merging to the user.
//   stavemrgman /t VIEW /b BRANCH /n VOB...   the private branch in these VOBs of the view
//   stavemrgman /t WORKSPACE /b BRANCH        the private branch in the workspace
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/tool_log.h"
#include "program.h"

namespace {

constexpr char kUsage[] =
    "usage: stavemrgman /t VIEW /b BRANCH /n VOB...\n"
    "       stavemrgman /t WORKSPACE /b BRANCH\n";

constexpr char kDescription[] =
    "Tells what merging the private branch BRANCH onto the integration branch\n"
    "would take: in the view VIEW, from each VOB named after /n, or in the\n"
    "workspace at WORKSPACE. It changes nothing.\n"
    "Exit status: 0 told, 1 the text could not be written, 2 usage error.\n";

int Run(int argc, char** argv) {
    using namespace kelmora;
    RecordToolInvocation(argc, argv);
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        std::fputs(kDescription, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) return tools::PrintVersion();
    std::string target, branch;
    std::vector<std::string> vobs;
    bool vob_list = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (vob_list) {
            vobs.push_back(arg);
        } else if ((arg == "/t" || arg == "/b") && i + 1 < argc) {
            (arg == "/t" ? target : branch) = argv[++i];
        } else if (arg == "/n" || arg == "--") {
            vob_list = true;
        } else {
            return tools::UnknownWord("argument", arg, {"/t", "/b", "/n", "--help", "--version"});
        }
    }
    if (target.empty() || branch.empty()) return tools::UsageError("/t and /b are needed");
    if (vob_list && vobs.empty()) return tools::UsageError("/n needs at least one VOB");
    if (vobs.empty()) {
        std::printf("stavemrgman: would merge the private branch \"%s\" in the workspace %s\n",
                    branch.c_str(), target.c_str());
    } else {
        std::printf("stavemrgman: would merge the private branch \"%s\" in the view \"%s\" from:\n",
                    branch.c_str(), target.c_str());
        for (const std::string& vob : vobs) std::printf("  %s\n", vob.c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    kelmora::tools::SetProgramName("stavemrgman");
    return kelmora::tools::FinishOutput(Run(argc, argv));
}

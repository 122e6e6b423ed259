#include "ui/sibling_tool.h"

#include "resources/message_text.h"
#include "resources/string_table.h"
#include "ui/user_interface.h"

namespace kelmora {

CProcessResult RunSiblingTool(const std::vector<std::string>& argv) {
    CProcessResult run = RunProcessAndWait(argv);
    if (!run.started) {
        UserInterface().MessageBox(
            FormatStringId(IDS_EXEC_FAILED, argv.empty() ? "" : argv[0].c_str(), run.error),
            MB_ICONSTOP);
    }
    return run;
}

}  // namespace kelmora

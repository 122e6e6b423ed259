#include "automation/operation_log.h"

#include "client/messages.h"

namespace kelmora {

namespace {
constexpr size_t kLogPathBufferSize = 1024;
}

std::string OperationLogPath() {
    char path[kLogPathBufferSize] = {0};
    if (tbs_product_log_dir(path, sizeof path, kOperationLogName) != TBS_ST_OK) return {};
    return path;
}

void WriteOperationLogEntry(const std::string& text) {
    std::string path = OperationLogPath();
    if (path.empty()) return;
    // Messages made to stand before more text end in empty lines; in the log
    // they would only separate an entry from the next.
    std::string entry = text;
    entry.erase(entry.find_last_not_of("\r\n") + 1);
    if (imsg_start_log_file(path.c_str(), 0) != TBS_ST_OK) return;
    imsg_print(IMSG_KIND_ERROR, "%s\n", -1, entry.c_str());
    imsg_end_log_file();
}

}  // namespace kelmora

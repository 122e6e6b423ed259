#include "store/store_reporter.h"

#include "client/messages.h"

namespace kelmora {

void WriteOperationLogEntry(const std::string& text) {
    char path[1024] = {0};
    // A log that cannot be found or opened loses the entry; the client
    // library has said what went wrong.
    if (tbs_product_log_dir(path, sizeof path, "viewprofile_log") != TBS_ST_OK) return;
    if (imsg_start_log_file(path, 0) != TBS_ST_OK) return;
    imsg_print(IMSG_KIND_ERROR, "%s\n", -1, text.c_str());
    imsg_end_log_file();
}

void ReportStoreError(const std::string& text, bool to_log, unsigned icon) {
    if (to_log) {
        WriteOperationLogEntry(text);
    } else {
        UserInterface().MessageBox(text, MB_OK | icon);
    }
}

}  // namespace kelmora

#include "store/store_reporter.h"

#include "automation/operation_log.h"

namespace kelmora {

void ReportStoreError(const std::string& text, bool to_log, unsigned icon) {
    if (to_log) {
        WriteOperationLogEntry(text);
    } else {
        UserInterface().MessageBox(text, MB_OK | icon);
    }
}

}  // namespace kelmora

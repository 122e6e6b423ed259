#include "store/profile_files.h"

#include <cstring>

#include "automation/view_profile.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/sleep.h"
#include "resources/message_text.h"
#include "resources/string_table.h"

namespace kelmora {

std::string OpenErrorText(const CFileException& error, const std::string& path) {
    if (error.cause == FileErrorCause::NotRegularFile) {
        return FormatStringId(IDS_NOT_REGULAR_FILE, path.c_str());
    }
    return FormatMessageText(
        LoadString(IDS_ERR_OPEN_FILE),
        {static_cast<long long>(error.os_error), path, std::string(std::strerror(error.os_error))});
}

std::string WriteErrorText(const CFileException& error, const std::string& path) {
    return FormatMessageText(
        LoadString(IDS_ERR_WRITE_FILE),
        {static_cast<long long>(error.os_error), path, std::string(std::strerror(error.os_error))});
}

BOOL CViewProfile::ReadProfileFile(const std::string& path, std::string* text, BOOL must_exist,
                                   BOOL first_block_only) {
    text->clear();
    CFile file;
    CFileException error;
    // Writers open profile files exclusively; wait for them to finish. Only
    // such a refusal passes: no permission, for one, stays.
    CWaitNotice notice(path);
    for (int attempt = 1;; ++attempt) {
        if (file.Open(path, FileAccess::Read, FileShare::DenyWrite, FileCreate::OpenExisting,
                      &error, FileKind::RegularOnly))
            break;
        // A link or a FIFO is never followed or waited for.
        if (error.cause == FileErrorCause::NotRegularFile) break;
        if (error.cause == FileErrorCause::FileNotFound) {
            if (!must_exist) return TRUE;
            break;
        }
        if (error.cause != FileErrorCause::SharingViolation) break;
        if (attempt >= WaitAttempts(kProfileFileOpenAttempts, kProfileFileRetryMs)) break;
        notice.Sleep(kProfileFileRetryMs);
    }
    if (file.IsOpen()) {
        char block[kProfileFileBlockSize];
        for (;;) {
            long count = file.Read(block, sizeof block, &error);
            if (count == 0) return TRUE;
            if (count < 0) break;
            // A NUL ends the text of its block.
            text->append(block, strnlen(block, static_cast<size_t>(count)));
            if (first_block_only) return TRUE;
        }
        // A file that opens but cannot be read is reported like one that
        // cannot be opened, with the read's error.
        text->clear();
    }
    ReportError(error_prefix_ + OpenErrorText(error, path), MB_OK);
    return FALSE;
}

}  // namespace kelmora

#include "store/profile_files.h"

#include <algorithm>
#include <cstring>

#include "automation/view_profile.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/request_pool.h"
#include "platform/sleep.h"
#include "resources/message_text.h"
#include "resources/string_table.h"
#include "store/requests_in_flight.h"

namespace kelmora {

namespace {

CProfileFileReadAhead* g_read_ahead = nullptr;

// Appends the open file's text, a block at a time (a NUL ends the text of
// its block); false with the text emptied when a read fails.
bool ReadTextBlocks(CFile& file, std::string* text, bool first_block_only, CFileException* error) {
    char block[kProfileFileBlockSize];
    for (;;) {
        const long count = file.Read(block, sizeof block, error);
        if (count == 0) return true;
        if (count < 0) break;
        text->append(block, strnlen(block, static_cast<size_t>(count)));
        if (first_block_only) return true;
    }
    text->clear();
    return false;
}

bool OpenProfileFile(CFile& file, const std::string& path, CFileException* error) {
    return file.Open(path, FileAccess::Read, FileShare::DenyWrite, FileCreate::OpenExisting, error,
                     FileKind::RegularOnly);
}

}  // namespace

FileErrorCause TryReadProfileFile(const std::string& path, std::string* text) {
    text->clear();
    CFile file;
    CFileException error;
    if (!OpenProfileFile(file, path, &error)) return error.cause;
    if (ReadTextBlocks(file, text, false, &error)) return FileErrorCause::None;
    return error.cause == FileErrorCause::None ? FileErrorCause::Other : error.cause;
}

std::string ProfileFileTextOf(std::string_view bytes) {
    std::string text;
    for (size_t at = 0; at < bytes.size(); at += kProfileFileBlockSize) {
        const std::string_view block = bytes.substr(at, kProfileFileBlockSize);
        text.append(block.data(), strnlen(block.data(), block.size()));
    }
    return text;
}

CProfileFileReadAhead::CProfileFileReadAhead(std::vector<std::string> paths)
    : outer_(g_read_ahead) {
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    std::vector<std::pair<FileErrorCause, std::string>> reads(paths.size());
    ReadInOrder(
        paths.size(), RequestsInFlight(),
        [&](size_t i) { reads[i].first = TryReadProfileFile(paths[i], &reads[i].second); },
        [](size_t) { return true; });
    for (size_t i = 0; i < paths.size(); ++i) reads_[paths[i]] = std::move(reads[i]);
    g_read_ahead = this;
}

CProfileFileReadAhead::CProfileFileReadAhead(
    std::map<std::string, std::pair<FileErrorCause, std::string>> reads)
    : reads_(std::move(reads)), outer_(g_read_ahead) {
    g_read_ahead = this;
}

CProfileFileReadAhead::~CProfileFileReadAhead() {
    g_read_ahead = outer_;
}

const std::pair<FileErrorCause, std::string>* CProfileFileReadAhead::Find(const std::string& path) {
    for (const CProfileFileReadAhead* ahead = g_read_ahead; ahead; ahead = ahead->outer_) {
        const auto found = ahead->reads_.find(path);
        if (found != ahead->reads_.end()) return &found->second;
    }
    return nullptr;
}

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
    if (const auto* ahead = CProfileFileReadAhead::Find(path); ahead && !first_block_only) {
        if (ahead->first == FileErrorCause::None) {
            *text = ahead->second;
            return TRUE;
        }
        if (ahead->first == FileErrorCause::FileNotFound && !must_exist) return TRUE;
    }
    CFile file;
    CFileException error;
    // Writers open profile files exclusively; wait for them to finish. Only
    // such a refusal passes: no permission, for one, stays.
    CWaitNotice notice(path);
    for (int attempt = 1;; ++attempt) {
        if (OpenProfileFile(file, path, &error)) break;
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
    // A file that opens but cannot be read is reported like one that cannot
    // be opened, with the read's error.
    if (file.IsOpen() && ReadTextBlocks(file, text, first_block_only != FALSE, &error)) return TRUE;
    ReportError(error_prefix_ + OpenErrorText(error, path), MB_OK);
    return FALSE;
}

}  // namespace kelmora

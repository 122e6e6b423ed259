#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file.h"

namespace kelmora {

// How the profile file reader waits for a file that another process holds:
// 11 opens in all, 3000 ms apart, so about half a minute.
inline constexpr int kProfileFileOpenAttempts = 11;
inline constexpr unsigned kProfileFileRetryMs = 3000;
// The reader appends the file in blocks of this size; "first block only"
// means the first of them.
inline constexpr size_t kProfileFileBlockSize = 4095;

// The store's message for a file that could not be opened, read or written:
// the error number, the path and the system's text for the number; or, for
// a link, FIFO or device, that it was left alone.
std::string OpenErrorText(const CFileException& error, const std::string& path);
// The same for a write that failed after the open.
std::string WriteErrorText(const CFileException& error, const std::string& path);

// One open and read of a profile file (native path) as the profile file
// reader makes them, without waiting for a writer and without a report: None
// with the whole text, or why not (FileNotFound for a missing file).
FileErrorCause TryReadProfileFile(const std::string& path, std::string* text);

// The text that the profile file reader makes of a whole file's bytes: a NUL
// ends the text of its block.
std::string ProfileFileTextOf(std::string_view bytes);

// Profile files read ahead, with RequestsInFlight() requests in flight, for a
// run of looks that change nothing (the status of many views). While one is
// in scope, the profile file reader gives a whole text, or a missing file,
// from it instead of opening the file again; a file that could not be read
// ahead is read (waited for and reported) as ever.
class CProfileFileReadAhead {
public:
    explicit CProfileFileReadAhead(std::vector<std::string> paths);
    // Reads made by the caller: by path, the cause and the whole text.
    explicit CProfileFileReadAhead(
        std::map<std::string, std::pair<FileErrorCause, std::string>> reads);
    ~CProfileFileReadAhead();
    CProfileFileReadAhead(const CProfileFileReadAhead&) = delete;
    CProfileFileReadAhead& operator=(const CProfileFileReadAhead&) = delete;

    // The read of path made ahead, or null.
    static const std::pair<FileErrorCause, std::string>* Find(const std::string& path);

private:
    std::map<std::string, std::pair<FileErrorCause, std::string>> reads_;
    CProfileFileReadAhead* outer_;
};

}  // namespace kelmora

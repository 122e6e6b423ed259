#pragma once

#include <cstddef>
#include <string>

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

}  // namespace kelmora

#pragma once

#include <cstddef>

namespace kelmora {

// How the profile file reader waits for a file that another process holds:
// 11 opens in all, 3000 ms apart, so about half a minute.
inline constexpr int kProfileFileOpenAttempts = 11;
inline constexpr unsigned kProfileFileRetryMs = 3000;
// The reader appends the file in blocks of this size; "first block only"
// means the first of them.
inline constexpr size_t kProfileFileBlockSize = 4095;

}  // namespace kelmora

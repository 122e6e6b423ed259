#pragma once

#include <cstring>
#include <string_view>

#include "client/status.h"

namespace kelmora::client {

// Copies text and a terminator into a caller's buffer. When it does not fit,
// the text is cut short (still terminated) and the status says so.
inline tbs_status_t CopyToBuffer(std::string_view text, char* buf, size_t size) {
    if (!buf || size == 0) return TBS_ST_BUFFER_TOO_SMALL;
    size_t count = text.size() < size ? text.size() : size - 1;
    std::memcpy(buf, text.data(), count);
    buf[count] = '\0';
    return count == text.size() ? TBS_ST_OK : TBS_ST_BUFFER_TOO_SMALL;
}

}  // namespace kelmora::client

#include "client/strutl.h"

#include <cstring>

const char* strutl_find_str(const char* text, const char* pattern) {
    if (!text || !pattern) return nullptr;
    return std::strstr(text, pattern);
}

tbs_status_t strutl_concat(char* buf, size_t size, const char* text) {
    if (!buf || !text) return TBS_ST_INVALID;
    const size_t used = strnlen(buf, size);
    const size_t added = std::strlen(text);
    if (used >= size || added >= size - used) return TBS_ST_BUFFER_TOO_SMALL;
    std::memcpy(buf + used, text, added + 1);
    return TBS_ST_OK;
}

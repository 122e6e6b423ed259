#pragma once

#include <cstddef>

#include "client/status.h"

// The first place where pattern occurs in text, or null.
const char* strutl_find_str(const char* text, const char* pattern);
// Appends text to the string in buf (size bytes with the terminator); when
// the whole does not fit, buf is left as it was and the result is
// TBS_ST_BUFFER_TOO_SMALL.
tbs_status_t strutl_concat(char* buf, size_t size, const char* text);

#pragma once

#include <cstdint>

#include "client/status.h"
#include "client/storage.h"

// Pool maps: which storage pools of a VOB live in which folders, written in
// mount options as "poolmap=NAME:DIR;NAME:DIR". The pieces are copied into
// the caller's storage area and go with it.
struct poolmap_cstring_t {
    char* text;
    uint32_t length;  // without the terminator
    uint32_t size;    // with it
};

// Splits a pool map value into *count names and directories. An empty value
// has no pools; a pool without a name or a directory is TBS_ST_INVALID.
tbs_status_t poolmap_crack_mapstring(const char* value, stg_area_t* area, int* count,
                                     poolmap_cstring_t** names, poolmap_cstring_t** directories);
// The same for the poolmap option of a mount option string (none: no pools).
tbs_status_t poolmap_crack_mntopts(const char* options, stg_area_t* area, int* count,
                                   poolmap_cstring_t** names, poolmap_cstring_t** directories);

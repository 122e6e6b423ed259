#pragma once

#include <cstddef>

#include "client/status.h"

// UUIDs as text: 36 characters, lower-case 8-4-4-4-12 hexadecimal.
constexpr size_t TBS_UUID_STR_SIZE = 37;  // with the terminator

void tbs_uuid_to_str(const tbs_uuid_t* uuid, char* buf);  // TBS_UUID_STR_SIZE bytes
// TBS_ST_INVALID for text that is not a UUID; *uuid is then unchanged.
tbs_status_t tbs_str_to_uuid(const char* text, tbs_uuid_t* uuid);
// An object identifier from its text in a registry entry (the same form).
tbs_status_t tbs_dstr_to_oid(const char* text, tbs_uuid_t* oid);

#include "client/uuid_text.h"

#include <cstring>
#include <string>

#include "client/view_store.h"

void tbs_uuid_to_str(const tbs_uuid_t* uuid, char* buf) {
    if (!buf) return;
    const std::string text = kelmora::client::UuidToText(uuid ? *uuid : TBS_UUID_NULL);
    std::memcpy(buf, text.c_str(), TBS_UUID_STR_SIZE);
}

tbs_status_t tbs_str_to_uuid(const char* text, tbs_uuid_t* uuid) {
    if (!text || !uuid) return TBS_ST_INVALID;
    tbs_uuid_t parsed;
    if (!kelmora::client::UuidFromText(text, &parsed)) return TBS_ST_INVALID;
    *uuid = parsed;
    return TBS_ST_OK;
}

tbs_status_t tbs_dstr_to_oid(const char* text, tbs_uuid_t* oid) {
    return tbs_str_to_uuid(text, oid);
}

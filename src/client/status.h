#pragma once

#include <cstdint>

// Status words of the client libraries: 0 is success, every other value a
// failure whose text tbs_strerror gives.
typedef uint32_t tbs_status_t;

enum : tbs_status_t {
    TBS_ST_OK = 0,
    TBS_ST_ERR = 1001,         // general failure
    TBS_ST_NOT_FOUND = 1002,   // no such object (view, workspace, value, file)
    TBS_ST_EXISTS = 1003,      // the object exists already
    TBS_ST_INVALID = 1004,     // argument or text not acceptable
    TBS_ST_CFS_SYNTAX = 1005,  // config spec does not parse
    TBS_ST_IO = 1006,          // file could not be read or written
    TBS_ST_DATABASE = 1007,    // client database failure
    TBS_ST_NOT_WS = 1008,      // path is not inside a workspace
    TBS_ST_LOCKED = 1009,      // object is locked
    TBS_ST_BUFFER_TOO_SMALL = 1010,
    TBS_ST_NOT_A_VIEW = 1011,
    // The mount client's own.
    TBS_ST_NOT_DIR = 1051,  // a private tag's storage is not a directory
    TBS_ST_MOUNTED = 1067,  // the VOB is mounted already
    TBS_ST_PFXMAP = 1084,   // the path prefix map refused a conversion
};

// Text of a status word; never null, "unknown status" for a value not listed.
const char* tbs_strerror(tbs_status_t status);

// 16-byte identifiers of views and VOBs.
struct tbs_uuid_t {
    uint8_t bytes[16];

    bool operator==(const tbs_uuid_t&) const = default;
};
extern const tbs_uuid_t TBS_UUID_NULL;

// Objects in a VOB (replicas, checked-out objects) are named by identifiers
// of the same form.
typedef tbs_uuid_t tbs_oid_t;
extern const tbs_oid_t TBS_OID_NULL;

#include "client/status.h"

const tbs_uuid_t TBS_UUID_NULL = {};
const tbs_oid_t TBS_OID_NULL = {};

const char* tbs_strerror(tbs_status_t status) {
    switch (status) {
        case TBS_ST_OK:
            return "success";
        case TBS_ST_ERR:
            return "operation failed";
        case TBS_ST_NOT_FOUND:
            return "not found";
        case TBS_ST_EXISTS:
            return "already exists";
        case TBS_ST_INVALID:
            return "invalid argument";
        case TBS_ST_CFS_SYNTAX:
            return "config spec syntax error";
        case TBS_ST_IO:
            return "file could not be read or written";
        case TBS_ST_DATABASE:
            return "client database error";
        case TBS_ST_NOT_WS:
            return "not inside a workspace";
        case TBS_ST_LOCKED:
            return "object is locked";
        case TBS_ST_BUFFER_TOO_SMALL:
            return "buffer too small";
        case TBS_ST_NOT_A_VIEW:
            return "not a view";
        case TBS_ST_NOT_DIR:
            return "not a directory";
        case TBS_ST_MOUNTED:
            return "already mounted";
        case TBS_ST_PFXMAP:
            return "path prefix not convertible";
    }
    return "unknown status";
}

#pragma once

#include "client/status.h"

// Parses a config spec file. 0 when it parses; otherwise the diagnostic
// "Syntax error on line N, near column M, ..." goes to the error output
// (imsg_print kind 6) and the result is TBS_ST_CFS_SYNTAX, or TBS_ST_IO when
// the file cannot be read. *result is set in both cases and released with cfs_free.
struct cfs_parse_result_t;
tbs_status_t cfs_parse(const char* path, const tbs_uuid_t* view_uuid, cfs_parse_result_t** result);
void cfs_free(cfs_parse_result_t* result);

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "client/status.h"

// Parses a config spec file. 0 when it parses; otherwise the diagnostic
// "Syntax error on line N, near column M, ..." goes to the error output
// (imsg_print kind 6) and the result is TBS_ST_CFS_SYNTAX, or TBS_ST_IO when
// the file cannot be read. *result is set in both cases and released with cfs_free.
struct cfs_parse_result_t;
tbs_status_t cfs_parse(const char* path, const tbs_uuid_t* view_uuid, cfs_parse_result_t** result);
void cfs_free(cfs_parse_result_t* result);

// What a parse found. Line and column are 1-based and 0 when the text parsed
// or the file could not be read; the diagnostic is empty when the text parsed.
int cfs_result_ok(const cfs_parse_result_t* result);
int cfs_result_error_line(const cfs_parse_result_t* result);
int cfs_result_error_column(const cfs_parse_result_t* result);
const char* cfs_result_diagnostic(const cfs_parse_result_t* result);

namespace kelmora::client {

// The gate of every config spec that is stored: 0 when text parses, else
// TBS_ST_CFS_SYNTAX with the diagnostic printed to the error output.
tbs_status_t CheckConfigSpecText(std::string_view text);

// Reads a config spec file byte for byte; TBS_ST_IO (reported on the error
// output) when it cannot be read, TBS_ST_INVALID when it is larger than
// kMaxConfigSpecBytes (an endless device, a wrong file).
inline constexpr size_t kMaxConfigSpecBytes = size_t{64} << 20;
tbs_status_t ReadConfigSpecFile(const char* path, std::string* text);

}  // namespace kelmora::client

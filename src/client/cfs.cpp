#include "client/cfs.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "client/cfs_grammar.h"
#include "client/messages.h"
#include "platform/file.h"

struct cfs_parse_result_t {
    kelmora::CCfsParseResult parse;
    std::string diagnostic;
};

namespace kelmora::client {

tbs_status_t CheckConfigSpecText(std::string_view text) {
    CCfsParseResult parse = ParseConfigSpecText(text, /*keep_rules=*/false);
    if (parse.ok) return TBS_ST_OK;
    imsg_print(IMSG_KIND_ERROR, "%s\n", -1, parse.Diagnostic().c_str());
    return TBS_ST_CFS_SYNTAX;
}

tbs_status_t ReadConfigSpecFile(const char* path, std::string* text) {
    text->clear();
    if (!path || !*path) return TBS_ST_INVALID;
    CFile file;
    CFileException error;
    if (!file.Open(path, FileAccess::Read, FileShare::DenyNone, FileCreate::OpenExisting, &error) ||
        !file.ReadAll(text, &error, kMaxConfigSpecBytes)) {
        if (error.os_error == EFBIG) {
            imsg_print(IMSG_KIND_ERROR,
                       "Config spec file \"%s\" is larger than %zu MiB: not a config spec\n", -1,
                       path, kMaxConfigSpecBytes >> 20);
            return TBS_ST_INVALID;
        }
        imsg_print(IMSG_KIND_ERROR, "Unable to read config spec file \"%s\": %s\n", -1, path,
                   std::strerror(error.os_error));
        return TBS_ST_IO;
    }
    return TBS_ST_OK;
}

}  // namespace kelmora::client

// The view's uuid is accepted for the callers' sake; the grammar does not
// depend on the view.
tbs_status_t cfs_parse(const char* path, const tbs_uuid_t* /*view_uuid*/,
                       cfs_parse_result_t** result) {
    if (result) *result = nullptr;
    auto parsed = new (std::nothrow) cfs_parse_result_t;
    if (!parsed) return TBS_ST_ERR;
    std::string text;
    tbs_status_t status = kelmora::client::ReadConfigSpecFile(path, &text);
    if (status != TBS_ST_OK) {
        parsed->parse.ok = false;
        parsed->diagnostic = "Unable to read config spec file";
    } else {
        parsed->parse = kelmora::ParseConfigSpecText(text);
        if (!parsed->parse.ok) {
            parsed->diagnostic = parsed->parse.Diagnostic();
            imsg_print(IMSG_KIND_ERROR, "%s\n", -1, parsed->diagnostic.c_str());
            status = TBS_ST_CFS_SYNTAX;
        }
    }
    if (result) {
        *result = parsed;
    } else {
        delete parsed;
    }
    return status;
}

void cfs_free(cfs_parse_result_t* result) {
    delete result;
}

int cfs_result_ok(const cfs_parse_result_t* result) {
    return result && result->parse.ok;
}

int cfs_result_error_line(const cfs_parse_result_t* result) {
    return result && !result->parse.ok ? result->parse.line : 0;
}

int cfs_result_error_column(const cfs_parse_result_t* result) {
    return result && !result->parse.ok ? result->parse.column : 0;
}

const char* cfs_result_diagnostic(const cfs_parse_result_t* result) {
    return result ? result->diagnostic.c_str() : "";
}

#include "client/prefix_map.h"

#include <cstring>

#include "client/database.h"

namespace {

using kelmora::client::CClientDatabase;
using kelmora::client::CStatement;
using kelmora::client::CTransaction;

// Shared form "\\host\share\..." or "\vobs\...", or local "/...".
bool IsAbsolute(const char* path) {
    return path && (path[0] == '/' || path[0] == '\\');
}

}  // namespace

tbs_status_t ntpfxmap_register(const char* path) {
    if (!IsAbsolute(path)) return TBS_ST_INVALID;
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CStatement upsert;
    if (tbs_status_t status = db.Prepare("INSERT INTO path_prefix (path, uses) VALUES (?1, 1)"
                                         " ON CONFLICT (path) DO UPDATE SET uses = uses + 1",
                                         &upsert))
        return status;
    upsert.BindText(1, path);
    return db.StepDone(&upsert, "cannot update the path prefix map");
}

tbs_status_t ntpfxmap_unregister(const char* path) {
    if (!path) return TBS_ST_INVALID;
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CTransaction transaction(&db);
    if (tbs_status_t status = transaction.Begin()) return status;
    for (const char* sql : {"UPDATE path_prefix SET uses = uses - 1 WHERE path = ?1 AND uses > 1",
                            "DELETE FROM path_prefix WHERE path = ?1 AND uses = 1"}) {
        CStatement update;
        if (tbs_status_t status = db.Prepare(sql, &update)) return status;
        update.BindText(1, path);
        if (tbs_status_t status = db.StepDone(&update, "cannot update the path prefix map"))
            return status;
        if (db.Changes() > 0) return transaction.Commit();
    }
    return TBS_ST_NOT_FOUND;
}

tbs_status_t ntpfxmap_convert(char* path, size_t size) {
    if (!IsAbsolute(path) || strnlen(path, size) >= size) return TBS_ST_PFXMAP;
    for (char* c = path; *c; ++c) {
        if (*c == '\\') *c = '/';
    }
    return TBS_ST_OK;
}

namespace kelmora::client {

tbs_status_t ListPathPrefixes(std::map<std::string, int>* prefixes) {
    prefixes->clear();
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CStatement select;
    if (tbs_status_t status = db.Prepare("SELECT path, uses FROM path_prefix", &select))
        return status;
    for (;;) {
        bool has_row = false;
        if (tbs_status_t status = db.StepRow(&select, &has_row, "cannot read the path prefix map"))
            return status;
        if (!has_row) return TBS_ST_OK;
        (*prefixes)[select.ColumnText(0)] = static_cast<int>(select.ColumnInt(1));
    }
}

}  // namespace kelmora::client

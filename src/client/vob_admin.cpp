#include "client/vob_admin.h"

#include <cerrno>
#include <cstring>

#include "client/messages.h"
#include "client/view_store.h"
#include "platform/env.h"
#include "platform/uuid.h"

namespace kelmora::client {

namespace {

constexpr size_t kMaxVobTagLength = 1023;

constexpr char kVobColumns[] =
    "SELECT id, tag, uuid, replica_name, replica_uuid, replicated, mount_dir, storage_path, "
    "fault_status, fault_call FROM vob";

void ReadRecord(const CStatement& row, CVobRecord* vob) {
    vob->id = row.ColumnInt(0);
    vob->tag = row.ColumnText(1);
    vob->uuid = row.ColumnText(2);
    vob->replica_name = row.ColumnText(3);
    vob->replica_uuid = row.ColumnText(4);
    vob->replicated = row.ColumnInt(5) != 0;
    vob->mount_dir = row.ColumnText(6);
    vob->storage_path = row.ColumnText(7);
    vob->fault_status = static_cast<tbs_status_t>(row.ColumnInt(8));
    vob->fault_call = row.ColumnText(9);
}

tbs_status_t FindVobBy(CClientDatabase* db, const char* column, const std::string& key,
                       CVobRecord* vob) {
    std::string sql = std::string(kVobColumns) + " WHERE " + column + " = ?1";
    CStatement select;
    if (tbs_status_t status = db->Prepare(sql.c_str(), &select)) return status;
    select.BindText(1, key);
    bool has_row = false;
    if (tbs_status_t status = db->StepRow(&select, &has_row, "cannot read a VOB")) return status;
    if (!has_row) return TBS_ST_NOT_FOUND;
    ReadRecord(select, vob);
    return TBS_ST_OK;
}

template <typename Lookup>
tbs_status_t OnConnection(Lookup lookup) {
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    return lookup(&db);
}

tbs_status_t InsertVob(CClientDatabase* db, const std::string& tag, const std::string& storage,
                       const CVobOptions& options) {
    CStatement insert;
    if (tbs_status_t status = db->Prepare(
            "INSERT INTO vob (tag, uuid, replica_name, replica_uuid, replicated, mount_dir, "
            "storage_path) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)",
            &insert))
        return status;
    insert.BindText(1, tag);
    insert.BindText(2, NewUuidText());
    insert.BindText(3, options.replica_name.empty() ? kDefaultReplicaName : options.replica_name);
    insert.BindText(4, NewUuidText());
    insert.BindInt(5, options.replicated ? 1 : 0);
    insert.BindText(6, options.mount_dir.empty() ? tag : options.mount_dir);
    insert.BindText(7, storage);
    return db->StepDone(&insert, "cannot create a VOB");
}

}  // namespace

bool IsValidVobTag(const std::string& tag) {
    if (tag.size() < 2 || tag.size() > kMaxVobTagLength) return false;
    if (tag[0] != '/' && tag[0] != '\\') return false;
    for (unsigned char c : tag) {
        if (c <= ' ' || c == 0x7f || c == ',' || c == '"') return false;
    }
    return true;
}

tbs_status_t CreateVob(CClientDatabase* db, const std::string& tag, const std::string& storage,
                       const CVobOptions& options) {
    if (!IsValidVobTag(tag) || storage.empty()) return TBS_ST_INVALID;
    if (!options.mount_dir.empty() && !IsValidVobTag(options.mount_dir)) return TBS_ST_INVALID;
    if (options.replica_name.find_first_of(" \t\r\n") != std::string::npos) return TBS_ST_INVALID;
    const std::string absolute = NormalizeAbsolutePath(storage);
    CVobRecord existing;
    for (tbs_status_t found :
         {FindVobByTag(db, tag, &existing), FindVobByStoragePath(db, absolute, &existing)}) {
        if (found == TBS_ST_OK) return TBS_ST_EXISTS;
        if (found != TBS_ST_NOT_FOUND) return found;
    }
    if (!EnsureFolder(absolute)) {
        imsg_print(IMSG_KIND_ERROR, "Cannot create the folder %s: %s\n", -1, absolute.c_str(),
                   std::strerror(errno));
        return TBS_ST_IO;
    }
    return InsertVob(db, tag, absolute, options);
}

tbs_status_t CreateVob(const std::string& tag, const std::string& storage,
                       const CVobOptions& options) {
    return RunInTransaction(
        [&](CClientDatabase* db) { return CreateVob(db, tag, storage, options); });
}

tbs_status_t FindVobByTag(CClientDatabase* db, const std::string& tag, CVobRecord* vob) {
    return FindVobBy(db, "tag", tag, vob);
}

tbs_status_t FindVobByUuid(CClientDatabase* db, const std::string& uuid, CVobRecord* vob) {
    return FindVobBy(db, "uuid", uuid, vob);
}

tbs_status_t FindVobByStoragePath(CClientDatabase* db, const std::string& storage,
                                  CVobRecord* vob) {
    return FindVobBy(db, "storage_path", NormalizeAbsolutePath(storage), vob);
}

tbs_status_t FindVob(const std::string& tag, CVobRecord* vob) {
    return OnConnection([&](CClientDatabase* db) { return FindVobByTag(db, tag, vob); });
}

tbs_status_t FindVobByUuid(const std::string& uuid, CVobRecord* vob) {
    return OnConnection([&](CClientDatabase* db) { return FindVobByUuid(db, uuid, vob); });
}

tbs_status_t FindVobByStoragePath(const std::string& storage, CVobRecord* vob) {
    return OnConnection(
        [&](CClientDatabase* db) { return FindVobByStoragePath(db, storage, vob); });
}

tbs_status_t ListVobs(std::vector<CVobRecord>* vobs) {
    vobs->clear();
    return OnConnection([&](CClientDatabase* db) -> tbs_status_t {
        std::string sql = std::string(kVobColumns) + " ORDER BY tag";
        CStatement select;
        if (tbs_status_t status = db->Prepare(sql.c_str(), &select)) return status;
        for (;;) {
            bool has_row = false;
            if (tbs_status_t status = db->StepRow(&select, &has_row, "cannot read the VOBs"))
                return status;
            if (!has_row) return TBS_ST_OK;
            vobs->emplace_back();
            ReadRecord(select, &vobs->back());
        }
    });
}

}  // namespace kelmora::client

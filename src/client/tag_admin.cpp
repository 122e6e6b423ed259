#include "client/tag_admin.h"

#include "client/database.h"
#include "client/trfs_driver.h"
#include "client/view_store.h"
#include "client/vob_admin.h"

namespace kelmora::client {

namespace {

tbs_status_t InsertEntry(CClientDatabase* db, int kind, const std::string& region,
                         const CRegistryKeys& keys, long long* id) {
    CStatement insert;
    if (tbs_status_t status =
            db->Prepare("INSERT INTO rgy_entry (kind, region) VALUES (?1, ?2)", &insert))
        return status;
    insert.BindInt(1, kind);
    insert.BindText(2, region);
    if (tbs_status_t status = db->StepDone(&insert, "cannot add a registry entry")) return status;
    const long long entry_id = sqlite3_last_insert_rowid(db->handle());
    for (const auto& [key, value] : keys) {
        CStatement add_key;
        if (tbs_status_t status = db->Prepare(
                "INSERT INTO rgy_entry_key (entry_id, key, value) VALUES (?1, ?2, ?3)", &add_key))
            return status;
        add_key.BindInt(1, entry_id);
        add_key.BindInt(2, key);
        add_key.BindText(3, value);
        if (tbs_status_t status = db->StepDone(&add_key, "cannot add a registry key"))
            return status;
    }
    if (id) *id = entry_id;
    return TBS_ST_OK;
}

tbs_status_t DeleteEntry(CClientDatabase* db, long long id) {
    for (const char* sql :
         {"DELETE FROM rgy_entry_key WHERE entry_id = ?1", "DELETE FROM rgy_entry WHERE id = ?1"}) {
        CStatement remove;
        if (tbs_status_t status = db->Prepare(sql, &remove)) return status;
        remove.BindInt(1, id);
        if (tbs_status_t status = db->StepDone(&remove, "cannot remove a registry entry"))
            return status;
    }
    return TBS_ST_OK;
}

// The region's VOB tag entries, all of them for an empty tag.
tbs_status_t SelectTagIds(CClientDatabase* db, const std::string& region, const std::string& tag,
                          std::vector<long long>* ids) {
    return SelectEntryIds(db, RGY_KIND_VOB_TAG, region, tag.empty() ? 0 : RGY_KEY_TAG, tag.c_str(),
                          nullptr, ids);
}

tbs_status_t FindTagSharingMountPoint(CClientDatabase* db, const std::string& tag,
                                      std::string* other) {
    std::string mount_point, theirs;
    if (!TrfsMountPoint(tag, &mount_point)) return TBS_ST_INVALID;
    CStatement select;
    if (tbs_status_t status =
            db->Prepare("SELECT k.value FROM rgy_entry_key k JOIN rgy_entry e ON e.id = k.entry_id"
                        " WHERE e.kind = ?1 AND k.key = ?2",
                        &select))
        return status;
    select.BindInt(1, RGY_KIND_VOB_TAG);
    select.BindInt(2, RGY_KEY_TAG);
    for (;;) {
        bool has_row = false;
        if (tbs_status_t status = db->StepRow(&select, &has_row, "cannot read the VOB tags"))
            return status;
        if (!has_row) return TBS_ST_NOT_FOUND;
        const std::string registered = select.ColumnText(0);
        if (registered != tag && TrfsMountPoint(registered, &theirs) && theirs == mount_point) {
            *other = registered;
            return TBS_ST_OK;
        }
    }
}

}  // namespace

std::string CVobTagRecord::Key(int key) const {
    auto found = keys.find(key);
    return found == keys.end() ? std::string() : found->second;
}

tbs_status_t AddRegion(const std::string& name) {
    if (name.empty() || name.size() >= RGY_REGION_NAME_MAX) return TBS_ST_INVALID;
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CStatement insert;
    if (tbs_status_t status =
            db.Prepare("INSERT OR IGNORE INTO rgy_region (name) VALUES (?1)", &insert))
        return status;
    insert.BindText(1, name);
    if (tbs_status_t status = db.StepDone(&insert, "cannot add a region")) return status;
    return db.Changes() == 0 ? TBS_ST_EXISTS : TBS_ST_OK;
}

tbs_status_t AddRegistryEntry(int kind, const std::string& region, const CRegistryKeys& keys,
                              long long* id) {
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CTransaction transaction(&db);
    if (tbs_status_t status = transaction.Begin()) return status;
    std::string region_name;
    if (tbs_status_t status = ResolveRegion(&db, region.c_str(), &region_name)) return status;
    if (tbs_status_t status = InsertEntry(&db, kind, region_name, keys, id)) return status;
    return transaction.Commit();
}

tbs_status_t RemoveRegistryEntry(long long id) {
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CTransaction transaction(&db);
    if (tbs_status_t status = transaction.Begin()) return status;
    if (tbs_status_t status = DeleteEntry(&db, id)) return status;
    if (db.Changes() == 0) return TBS_ST_NOT_FOUND;
    return transaction.Commit();
}

tbs_status_t ListVobTags(const std::string& region, std::vector<CVobTagRecord>* tags) {
    tags->clear();
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    std::string region_name;
    if (tbs_status_t status = ResolveRegion(&db, region.c_str(), &region_name)) return status;
    std::vector<long long> ids;
    if (tbs_status_t status = SelectTagIds(&db, region_name, "", &ids)) return status;
    for (long long id : ids) {
        tags->emplace_back();
        tags->back().id = id;
        if (tbs_status_t status = ReadRegistryKeys(&db, id, &tags->back().keys)) return status;
    }
    return TBS_ST_OK;
}

tbs_status_t CreateVobTag(const std::string& tag, const std::string& storage,
                          const CVobTagOptions& options) {
    if (!IsValidVobTag(tag) || storage.empty()) return TBS_ST_INVALID;
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CTransaction transaction(&db);
    if (tbs_status_t status = transaction.Begin()) return status;
    CVobRecord vob;
    if (tbs_status_t status = FindVobByTag(&db, tag, &vob)) return status;
    std::string region;
    if (tbs_status_t status = ResolveRegion(&db, nullptr, &region)) return status;
    std::vector<long long> existing;
    if (tbs_status_t status = SelectTagIds(&db, region, tag, &existing)) return status;
    if (!existing.empty()) return TBS_ST_EXISTS;
    std::string other;
    tbs_status_t shared = FindTagSharingMountPoint(&db, tag, &other);
    if (shared != TBS_ST_NOT_FOUND) return shared == TBS_ST_OK ? TBS_ST_EXISTS : shared;
    const CRegistryKeys keys = {
        {RGY_KEY_GLOBAL_PATH, NormalizeAbsolutePath(storage)},
        {RGY_KEY_ACCESS, options.is_public ? RGY_ACCESS_PUBLIC : RGY_ACCESS_PRIVATE},
        {RGY_KEY_OPTIONS, options.mount_options},
        {RGY_KEY_TAG, tag},
        {RGY_KEY_UUID, vob.replica_uuid},
    };
    if (tbs_status_t status = InsertEntry(&db, RGY_KIND_VOB_TAG, region, keys, nullptr))
        return status;
    return transaction.Commit();
}

tbs_status_t FindTagSharingMountPoint(const std::string& tag, std::string* other) {
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    return FindTagSharingMountPoint(&db, tag, other);
}

tbs_status_t RemoveVobTag(const std::string& tag) {
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CTransaction transaction(&db);
    if (tbs_status_t status = transaction.Begin()) return status;
    std::string region;
    if (tbs_status_t status = ResolveRegion(&db, nullptr, &region)) return status;
    std::vector<long long> ids;
    if (tbs_status_t status = SelectTagIds(&db, region, tag, &ids)) return status;
    if (ids.empty()) return TBS_ST_NOT_FOUND;
    for (long long id : ids) {
        if (tbs_status_t status = DeleteEntry(&db, id)) return status;
    }
    return transaction.Commit();
}

}  // namespace kelmora::client

#include "client/tag_registry.h"

#include <unistd.h>

#include <cstring>
#include <map>
#include <new>
#include <vector>

#include "client/buffer_copy.h"
#include "client/database.h"
#include "client/view_store.h"

struct rgy_entry_s {
    long long id = 0;
    int kind = 0;
    std::string region;
    std::map<int, std::string> keys;
};

// The ids that matched when the cursor was opened; entries are read as they
// are handed out, so one removed in between is skipped.
struct rgy_cursor_s {
    std::vector<long long> ids;
    size_t next = 0;
};

namespace kelmora::client {

tbs_status_t ResolveRegion(CClientDatabase* db, const char* region, std::string* name) {
    CStatement select;
    if (region && *region) {
        if (tbs_status_t status =
                db->Prepare("SELECT name FROM rgy_region WHERE name = ?1", &select))
            return status;
        select.BindText(1, region);
    } else if (tbs_status_t status =
                   db->Prepare("SELECT name FROM rgy_region WHERE is_default = 1", &select)) {
        return status;
    }
    bool has_row = false;
    if (tbs_status_t status = db->StepRow(&select, &has_row, "cannot read a region")) return status;
    if (!has_row) return TBS_ST_NOT_FOUND;
    *name = select.ColumnText(0);
    return TBS_ST_OK;
}

tbs_status_t SelectEntryIds(CClientDatabase* db, int kind, const std::string& region, int key,
                            const char* text, const char* qualifier, std::vector<long long>* ids) {
    std::string sql = "SELECT id FROM rgy_entry e WHERE kind = ?1 AND region = ?2";
    if (key > 0)
        sql +=
            " AND EXISTS (SELECT 1 FROM rgy_entry_key k WHERE k.entry_id = e.id"
            " AND k.key = ?3 AND k.value = ?4)";
    const bool qualified = qualifier && *qualifier;
    if (qualified)
        sql +=
            " AND EXISTS (SELECT 1 FROM rgy_entry_key q WHERE q.entry_id = e.id"
            " AND q.key = ?5 AND q.value = ?6)";
    sql += " ORDER BY id";
    CStatement select;
    if (tbs_status_t status = db->Prepare(sql.c_str(), &select)) return status;
    select.BindInt(1, kind);
    select.BindText(2, region);
    if (key > 0) {
        select.BindInt(3, key);
        select.BindText(4, text ? text : "");
    }
    if (qualified) {
        select.BindInt(5, RGY_KEY_ACCESS);
        select.BindText(6, qualifier);
    }
    for (;;) {
        bool has_row = false;
        if (tbs_status_t status = db->StepRow(&select, &has_row, "cannot search the registry"))
            return status;
        if (!has_row) return TBS_ST_OK;
        ids->push_back(select.ColumnInt(0));
    }
}

tbs_status_t ReadRegistryKeys(CClientDatabase* db, long long id, std::map<int, std::string>* keys) {
    CStatement select;
    if (tbs_status_t status =
            db->Prepare("SELECT key, value FROM rgy_entry_key WHERE entry_id = ?1", &select))
        return status;
    select.BindInt(1, id);
    for (;;) {
        bool has_row = false;
        if (tbs_status_t status = db->StepRow(&select, &has_row, "cannot read a registry entry"))
            return status;
        if (!has_row) return TBS_ST_OK;
        (*keys)[static_cast<int>(select.ColumnInt(0))] = select.ColumnText(1);
    }
}

std::string LocalHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "localhost";
    return name;
}

}  // namespace kelmora::client

namespace {

using kelmora::client::CClientDatabase;
using kelmora::client::CStatement;

tbs_status_t ReadEntry(CClientDatabase* db, long long id, rgy_entry_s* entry, bool* exists) {
    CStatement head;
    if (tbs_status_t status =
            db->Prepare("SELECT kind, region FROM rgy_entry WHERE id = ?1", &head))
        return status;
    head.BindInt(1, id);
    if (tbs_status_t status = db->StepRow(&head, exists, "cannot read a registry entry"))
        return status;
    if (!*exists) return TBS_ST_OK;
    entry->id = id;
    entry->kind = static_cast<int>(head.ColumnInt(0));
    entry->region = head.ColumnText(1);
    return kelmora::client::ReadRegistryKeys(db, id, &entry->keys);
}

tbs_status_t OpenCursor(CClientDatabase* db, int kind, const char* qualifier, const char* region,
                        int key, const char* text, rgy_cursor_t* cursor) {
    std::string region_name;
    if (tbs_status_t status = kelmora::client::ResolveRegion(db, region, &region_name))
        return status;
    auto opened = new (std::nothrow) rgy_cursor_s;
    if (!opened) return TBS_ST_ERR;
    if (tbs_status_t status = kelmora::client::SelectEntryIds(db, kind, region_name, key, text,
                                                              qualifier, &opened->ids)) {
        delete opened;
        return status;
    }
    *cursor = opened;
    return TBS_ST_OK;
}

tbs_status_t NextEntries(CClientDatabase* db, rgy_cursor_s* cursor, int max, rgy_entry_t* entries,
                         int* count) {
    while (*count < max && cursor->next < cursor->ids.size()) {
        auto entry = new (std::nothrow) rgy_entry_s;
        if (!entry) return TBS_ST_ERR;
        bool exists = false;
        tbs_status_t status = ReadEntry(db, cursor->ids[cursor->next], entry, &exists);
        if (status != TBS_ST_OK || !exists) {
            delete entry;
            if (status != TBS_ST_OK) return status;
            ++cursor->next;
            continue;
        }
        ++cursor->next;
        entries[(*count)++] = entry;
    }
    return TBS_ST_OK;
}

tbs_status_t Search(int kind, const char* qualifier, const char* region, int key, const char* text,
                    rgy_cursor_t* cursor, int max, rgy_entry_t* entries, int* count) {
    if (count) *count = 0;
    if (!cursor || !entries || !count || max <= 0) return TBS_ST_INVALID;
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    if (!*cursor) {
        if (tbs_status_t status = OpenCursor(&db, kind, qualifier, region, key, text, cursor))
            return status;
    }
    return NextEntries(&db, *cursor, max, entries, count);
}

bool Is16Bytes(size_t uuid_length, const tbs_uuid_t* uuid) {
    return uuid && uuid_length == sizeof(tbs_uuid_t);
}

}  // namespace

tbs_status_t rgy_get_default_region(rgy_region_t* region) {
    if (!region) return TBS_ST_INVALID;
    region->name[0] = '\0';
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    std::string name;
    if (tbs_status_t status = kelmora::client::ResolveRegion(&db, nullptr, &name)) return status;
    return kelmora::client::CopyToBuffer(name, region->name, sizeof region->name);
}

tbs_status_t rgy_findbystring_entry(int kind, const char* qualifier, const char* region, int key,
                                    const char* text, rgy_cursor_t* cursor, int max,
                                    rgy_entry_t* entries, int* count) {
    if (key <= 0 || !text) {
        if (count) *count = 0;
        return TBS_ST_INVALID;
    }
    return Search(kind, qualifier, region, key, text, cursor, max, entries, count);
}

tbs_status_t rgy_get_entry(int kind, const char* qualifier, const char* region,
                           rgy_cursor_t* cursor, int max, rgy_entry_t* entries, int* count) {
    return Search(kind, qualifier, region, 0, nullptr, cursor, max, entries, count);
}

void rgy_close_cursor(rgy_cursor_t cursor) {
    delete cursor;
}

void rgy_delete_entry(rgy_entry_t entry) {
    delete entry;
}

tbs_status_t rgy_getstring_from_entry(rgy_entry_t entry, int key, size_t size, char* buf) {
    if (!entry) return TBS_ST_INVALID;
    auto found = entry->keys.find(key);
    if (found == entry->keys.end()) return TBS_ST_NOT_FOUND;
    return kelmora::client::CopyToBuffer(found->second, buf, size);
}

tbs_status_t rgy_getuuid_from_entry(rgy_entry_t entry, size_t size, tbs_uuid_t* uuid) {
    if (!entry || !uuid || size != sizeof(tbs_uuid_t)) return TBS_ST_INVALID;
    auto found = entry->keys.find(RGY_KEY_UUID);
    if (found == entry->keys.end()) return TBS_ST_NOT_FOUND;
    return kelmora::client::UuidFromText(found->second, uuid) ? TBS_ST_OK : TBS_ST_INVALID;
}

tbs_status_t rgy_getinfo_by_uuid(int kind, const char* qualifier, const char* region,
                                 size_t uuid_length, const tbs_uuid_t* uuid, char* host,
                                 size_t host_size, char* path, size_t path_size) {
    if (!Is16Bytes(uuid_length, uuid)) return TBS_ST_INVALID;
    const std::string uuid_text = kelmora::client::UuidToText(*uuid);
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    std::string found_path;
    if (kind == RGY_KIND_VOB) {
        CStatement select;
        if (tbs_status_t status =
                db.Prepare("SELECT storage_path FROM vob WHERE replica_uuid = ?1", &select))
            return status;
        select.BindText(1, uuid_text);
        bool has_row = false;
        if (tbs_status_t status = db.StepRow(&select, &has_row, "cannot read a VOB")) return status;
        if (!has_row) return TBS_ST_NOT_FOUND;
        found_path = select.ColumnText(0);
    } else if (kind == RGY_KIND_VOB_TAG) {
        rgy_cursor_t cursor = nullptr;
        if (tbs_status_t status =
                OpenCursor(&db, kind, qualifier, region, RGY_KEY_UUID, uuid_text.c_str(), &cursor))
            return status;
        rgy_entry_t entry = nullptr;
        int count = 0;
        tbs_status_t status = NextEntries(&db, cursor, 1, &entry, &count);
        rgy_close_cursor(cursor);
        if (status != TBS_ST_OK) return status;
        if (count == 0) return TBS_ST_NOT_FOUND;
        found_path = entry->keys[RGY_KEY_GLOBAL_PATH];
        rgy_delete_entry(entry);
    } else {
        return TBS_ST_INVALID;
    }
    if (host) {
        if (tbs_status_t status =
                kelmora::client::CopyToBuffer(kelmora::client::LocalHostName(), host, host_size))
            return status;
    }
    if (path) return kelmora::client::CopyToBuffer(found_path, path, path_size);
    return TBS_ST_OK;
}

tbs_status_t rgy_getuuid_by_uuid(int kind, const char* /*qualifier*/, const char* /*region*/,
                                 size_t uuid_length, const tbs_uuid_t* uuid, int selector,
                                 tbs_uuid_t* result, size_t* result_length) {
    if (!Is16Bytes(uuid_length, uuid) || !result || kind != RGY_KIND_VOB ||
        selector != RGY_UUID_VOB_IDENTIFIER)
        return TBS_ST_INVALID;
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CStatement select;
    if (tbs_status_t status = db.Prepare("SELECT uuid FROM vob WHERE replica_uuid = ?1", &select))
        return status;
    select.BindText(1, kelmora::client::UuidToText(*uuid));
    bool has_row = false;
    if (tbs_status_t status = db.StepRow(&select, &has_row, "cannot read a VOB")) return status;
    if (!has_row) return TBS_ST_NOT_FOUND;
    if (!kelmora::client::UuidFromText(select.ColumnText(0), result)) return TBS_ST_DATABASE;
    if (result_length) *result_length = sizeof(tbs_uuid_t);
    return TBS_ST_OK;
}

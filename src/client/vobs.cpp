#include "client/vobs.h"

#include <algorithm>
#include <list>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "client/buffer_copy.h"
#include "client/shared_database.h"
#include "client/view_store.h"
#include "client/vob_admin.h"
#include "client/vob_handles.h"
#include "client/vob_types.h"

using kelmora::client::AcquireSharedDatabase;
using kelmora::client::CSharedDatabase;
using kelmora::client::CStatementLease;

struct vob_ckout_cursor_s {
    vob_handle_s* owner;
    long long view_id;
    long long last_id = 0;  // the last checkout delivered
};

struct vob_handle_s {
    // Declared first, released last.
    std::shared_ptr<CSharedDatabase> db;
    kelmora::client::CVobRecord vob;
    tbs_oid_t own_replica{};
    std::list<std::unique_ptr<vob_ckout_cursor_s>> cursors;

    // The status the VOB is made to answer from call, else success.
    tbs_status_t Fault(const char* call) const {
        return vob.fault_status != TBS_ST_OK && vob.fault_call == call ? vob.fault_status
                                                                       : TBS_ST_OK;
    }
};

namespace {

using kelmora::client::UuidFromText;
using kelmora::client::UuidToText;

struct COpenHandles {
    std::mutex mutex;
    std::vector<std::unique_ptr<vob_handle_s>> handles;
};

COpenHandles& OpenHandles() {
    static COpenHandles* open = new COpenHandles();  // handles may outlive static destruction
    return *open;
}

tbs_status_t RowStatus(CSharedDatabase* shared, int rc, const char* what) {
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) return TBS_ST_OK;
    return shared->db()->Fail(what, rc);
}

// A row id column of the first row, or TBS_ST_NOT_FOUND.
tbs_status_t LookUpId(CSharedDatabase* shared, const char* sql, const std::string& key,
                      long long* id) {
    CStatementLease select;
    if (tbs_status_t status = shared->Statement(sql, &select)) return status;
    select->BindText(1, key);
    int rc = select->Step();
    if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? TBS_ST_NOT_FOUND : RowStatus(shared, rc, sql);
    *id = select->ColumnInt(0);
    return TBS_ST_OK;
}

bool IsOwnedCursor(const vob_handle_s& handle, const vob_ckout_cursor_s* cursor) {
    return cursor && cursor->owner == &handle;
}

void DropCursor(vob_ckout_cursor_s* cursor) {
    auto& cursors = cursor->owner->cursors;
    cursors.remove_if([cursor](const auto& held) { return held.get() == cursor; });
}

}  // namespace

tbs_status_t view_inventory_vobs(view_handle_t view, view_inv_cursor_t cursor, int flags, int max,
                                 tbs_uuid_t* vobs, int* count, view_inv_cursor_t* next, int* end) {
    if (!view || !vobs || !count || !next || !end || max <= 0) return TBS_ST_INVALID;
    *count = 0;
    *next = cursor;
    *end = 0;
    tbs_uuid_t view_uuid{};
    if (tbs_status_t status = view_get_uuid(view, &view_uuid)) return status;
    std::shared_ptr<CSharedDatabase> shared;
    if (tbs_status_t status = AcquireSharedDatabase(&shared)) return status;
    CStatementLease select;
    // One row more than asked tells whether the batch is the last.
    if (tbs_status_t status = shared->Statement(
            "SELECT i.id, v.uuid FROM view_vob i JOIN vob v ON v.id = i.vob_id "
            "WHERE i.view_id = (SELECT id FROM view WHERE uuid = ?1) AND i.id > ?2 "
            "ORDER BY i.id LIMIT ?3",
            &select))
        return status;
    select->BindText(1, UuidToText(view_uuid));
    select->BindInt(2, static_cast<long long>(cursor));
    select->BindInt(3, static_cast<long long>(max) + 1);
    int rc = SQLITE_ROW;
    int rows = 0;
    while ((rc = select->Step()) == SQLITE_ROW) {
        if (++rows > max) break;
        if (!UuidFromText(select->ColumnText(1), &vobs[*count])) return TBS_ST_DATABASE;
        ++*count;
        *next = static_cast<view_inv_cursor_t>(select->ColumnInt(0));
    }
    if (tbs_status_t status = RowStatus(shared.get(), rc, "cannot read a view's VOBs")) {
        *count = 0;
        *next = cursor;
        return status;
    }
    *end = rows <= max ? 1 : 0;
    return TBS_ST_OK;
}

tbs_status_t vob_ob_register_replica(const tbs_uuid_t* vob, const tbs_oid_t* replica,
                                     void* scratch_a, void* scratch_b, int flags,
                                     vob_handle_t* handle) {
    if (!handle) return TBS_ST_INVALID;
    *handle = nullptr;
    if (!vob) return TBS_ST_INVALID;
    auto opened = std::make_unique<vob_handle_s>();
    if (tbs_status_t status = AcquireSharedDatabase(&opened->db)) return status;
    if (tbs_status_t status =
            kelmora::client::FindVobByUuid(opened->db->db(), UuidToText(*vob), &opened->vob))
        return status;
    if (tbs_status_t status = opened->Fault(kelmora::client::kVobFaultOpen)) return status;
    if (!UuidFromText(opened->vob.replica_uuid, &opened->own_replica)) return TBS_ST_DATABASE;
    if (replica && !(*replica == TBS_OID_NULL) && !(*replica == opened->own_replica))
        return TBS_ST_NOT_FOUND;
    COpenHandles& open = OpenHandles();
    std::lock_guard<std::mutex> guard(open.mutex);
    *handle = opened.get();
    open.handles.push_back(std::move(opened));
    return TBS_ST_OK;
}

tbs_status_t vob_ob_get_mount_dir_pname(vob_handle_t handle, int flags, int absolute, size_t size,
                                        char* buf) {
    if (buf && size > 0) buf[0] = '\0';
    if (!handle) return TBS_ST_INVALID;
    return kelmora::client::CopyToBuffer(handle->vob.mount_dir, buf, size);
}

tbs_status_t vob_ob_get_wk_obj(vob_handle_t handle, int which, tbs_oid_t* object) {
    if (!handle || !object) return TBS_ST_INVALID;
    if (tbs_status_t status = handle->Fault(kelmora::client::kVobFaultReplica)) return status;
    if (which != VOB_WK_OBJ_OWN_REPLICA) return TBS_ST_INVALID;
    *object = handle->own_replica;
    return TBS_ST_OK;
}

tbs_status_t vob_ob_is_replicated(vob_handle_t handle, int* replicated) {
    if (!handle || !replicated) return TBS_ST_INVALID;
    if (tbs_status_t status = handle->Fault(kelmora::client::kVobFaultReplica)) return status;
    *replicated = handle->vob.replicated ? 1 : 0;
    return TBS_ST_OK;
}

tbs_status_t vob_ob_next_ckouts(vob_handle_t handle, const tbs_uuid_t* view,
                                vob_ckout_cursor_t* cursor, int max, vob_ckout_rec_t* records,
                                int* count) {
    if (!handle || !view || !cursor || !records || !count || max <= 0) return TBS_ST_INVALID;
    *count = 0;
    if (*cursor && !IsOwnedCursor(*handle, *cursor)) return TBS_ST_INVALID;
    if (tbs_status_t status = handle->Fault(kelmora::client::kVobFaultCheckouts)) return status;
    CSharedDatabase* shared = handle->db.get();
    if (!*cursor) {
        long long view_id = 0;
        if (tbs_status_t status = LookUpId(shared, "SELECT id FROM view WHERE uuid = ?1",
                                           UuidToText(*view), &view_id))
            return status;
        handle->cursors.push_back(
            std::make_unique<vob_ckout_cursor_s>(vob_ckout_cursor_s{handle, view_id}));
        *cursor = handle->cursors.back().get();
    }
    vob_ckout_cursor_s* position = *cursor;
    CStatementLease select;
    if (tbs_status_t status = shared->Statement(
            "SELECT id, oid FROM checkout WHERE vob_id = ?1 AND view_id = ?2 AND id > ?3 "
            "ORDER BY id LIMIT ?4",
            &select))
        return status;
    select->BindInt(1, handle->vob.id);
    select->BindInt(2, position->view_id);
    select->BindInt(3, position->last_id);
    select->BindInt(4, max);
    int rc = SQLITE_ROW;
    long long last_id = position->last_id;
    while ((rc = select->Step()) == SQLITE_ROW) {
        vob_ckout_rec_t& record = records[*count];
        if (!UuidFromText(select->ColumnText(1), &record.object)) return TBS_ST_DATABASE;
        record.view = *view;
        last_id = select->ColumnInt(0);
        ++*count;
    }
    if (tbs_status_t status = RowStatus(shared, rc, "cannot read checkouts")) {
        *count = 0;
        return status;
    }
    position->last_id = last_id;
    if (*count == 0) {
        DropCursor(position);
        *cursor = nullptr;
    }
    return TBS_ST_OK;
}

void vob_ob_cursor_close(vob_ckout_cursor_t cursor) {
    if (cursor) DropCursor(cursor);
}

tbs_status_t vob_obj_get_master(vob_handle_t handle, const tbs_oid_t* object, int flags,
                                tbs_oid_t* master) {
    if (!handle || !object || !master) return TBS_ST_INVALID;
    if (tbs_status_t status = handle->Fault(kelmora::client::kVobFaultMaster)) return status;
    CSharedDatabase* shared = handle->db.get();
    CStatementLease select;
    if (tbs_status_t status = shared->Statement(
            "SELECT master_replica FROM checkout WHERE vob_id = ?1 AND oid = ?2 "
            "UNION ALL SELECT uuid FROM vob_replica WHERE vob_id = ?1 AND uuid = ?2 "
            "UNION ALL SELECT replica_uuid FROM vob WHERE id = ?1 AND replica_uuid = ?2",
            &select))
        return status;
    select->BindInt(1, handle->vob.id);
    select->BindText(2, UuidToText(*object));
    int rc = select->Step();
    if (rc != SQLITE_ROW)
        return rc == SQLITE_DONE ? TBS_ST_NOT_FOUND
                                 : RowStatus(shared, rc, "cannot read an object's master");
    return UuidFromText(select->ColumnText(0), master) ? TBS_ST_OK : TBS_ST_DATABASE;
}

void vob_ob_close_resources(vob_handle_t vob) {
    if (!vob) return;
    std::unique_ptr<vob_handle_s> closing;
    COpenHandles& open = OpenHandles();
    std::lock_guard<std::mutex> guard(open.mutex);
    auto held = std::find_if(open.handles.begin(), open.handles.end(),
                             [vob](const auto& handle) { return handle.get() == vob; });
    if (held == open.handles.end()) return;
    closing = std::move(*held);
    open.handles.erase(held);
}

long long kelmora::client::VobRowIdOf(vob_handle_t handle) {
    return handle->vob.id;
}

const std::string& kelmora::client::VobTagOf(vob_handle_t handle) {
    return handle->vob.tag;
}

void vob_ob_close_all() {
    std::vector<std::unique_ptr<vob_handle_s>> closing;
    {
        COpenHandles& open = OpenHandles();
        std::lock_guard<std::mutex> guard(open.mutex);
        closing.swap(open.handles);
    }
}

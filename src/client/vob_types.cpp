#include "client/vob_types.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "client/buffer_copy.h"
#include "client/type_admin.h"
#include "client/view_store.h"
#include "client/vob_admin.h"
#include "client/vob_handles.h"

using kelmora::client::CTypeRecord;
using kelmora::client::ETypeKind;

namespace {

// Closes a handle unless the caller takes it.
struct CCloseHandle {
    void operator()(vob_handle_s* vob) const { vob_ob_close_resources(vob); }
};
using CHandleGuard = std::unique_ptr<vob_handle_s, CCloseHandle>;

}  // namespace

tbs_status_t vob_resolve_general(const char* selector, int flags_a, int flags_b, int flags_c,
                                 vob_handle_t* vob, tbs_oid_t* object, int flags_d,
                                 uint32_t* object_kind, int flags_e, size_t size, char* buf) {
    if (buf && size > 0) buf[0] = '\0';
    if (!vob || !object) return TBS_ST_INVALID;
    *vob = nullptr;
    ETypeKind kind;
    std::string name, vob_tag;
    if (!selector || !kelmora::client::ParseTypeSelector(selector, &kind, &name, &vob_tag))
        return TBS_ST_INVALID;
    kelmora::client::CVobRecord record;
    if (tbs_status_t status = kelmora::client::FindVob(vob_tag, &record)) return status;
    tbs_uuid_t vob_uuid{};
    if (!kelmora::client::UuidFromText(record.uuid, &vob_uuid)) return TBS_ST_DATABASE;
    vob_handle_t opened = nullptr;
    if (tbs_status_t status =
            vob_ob_register_replica(&vob_uuid, &TBS_OID_NULL, nullptr, nullptr, 0, &opened))
        return status;
    CHandleGuard guard(opened);
    CTypeRecord type;
    if (tbs_status_t status = kelmora::client::FindType(kind, name, vob_tag, &type)) return status;
    if (!kelmora::client::UuidFromText(type.uuid, object)) return TBS_ST_DATABASE;
    if (object_kind)
        *object_kind = kind == ETypeKind::kLabel ? VOB_OBJ_KIND_LBTYPE : VOB_OBJ_KIND_BRTYPE;
    if (buf && size > 0) kelmora::client::CopyToBuffer(type.name, buf, size);
    *vob = guard.release();
    return TBS_ST_OK;
}

tbs_status_t vob_obj_get_lock(vob_handle_t vob, const tbs_oid_t* object, int flags, int want_info,
                              vob_lock_info_t** info) {
    if (info) *info = nullptr;
    if (!vob || !object || (want_info && !info)) return TBS_ST_INVALID;
    CTypeRecord type;
    if (tbs_status_t status = kelmora::client::FindTypeObject(
            kelmora::client::VobRowIdOf(vob), kelmora::client::UuidToText(*object), &type))
        return status;
    if (!type.locked) return TBS_ST_NOT_FOUND;
    if (!want_info) return TBS_ST_OK;
    const std::string selector = kelmora::client::TypeSelector(type.kind, type.name, type.vob_tag);
    auto lock =
        std::unique_ptr<vob_lock_info_t>(new (std::nothrow) vob_lock_info_t{*object, nullptr});
    if (!lock) return TBS_ST_ERR;
    lock->selector = new (std::nothrow) char[selector.size() + 1];
    if (!lock->selector) return TBS_ST_ERR;
    std::memcpy(lock->selector, selector.c_str(), selector.size() + 1);
    *info = lock.release();
    return TBS_ST_OK;
}

void vob_ob_free_lock_info(vob_lock_info_t* info) {
    if (!info) return;
    delete[] info->selector;
    delete info;
}

#pragma once

#include <cstddef>
#include <cstdint>

#include "client/status.h"
#include "client/vobs.h"

// Branch types and label types as objects of a VOB: found by their selector,
// and asked for their lock.

// What vob_resolve_general found.
enum : uint32_t { VOB_OBJ_KIND_BRTYPE = 1, VOB_OBJ_KIND_LBTYPE = 2 };

// Resolves "brtype:NAME@VOB" or "lbtype:NAME@VOB": opens the VOB (*vob) and
// names the type object (*object), its kind and its name (into buf).
// TBS_ST_INVALID for a text that is no such selector, TBS_ST_NOT_FOUND when
// the VOB or the type does not exist; on failure no handle stays open. The
// handle stays open until vob_ob_close_resources (or vob_ob_close_all).
tbs_status_t vob_resolve_general(const char* selector, int flags_a, int flags_b, int flags_c,
                                 vob_handle_t* vob, tbs_oid_t* object, int flags_d,
                                 uint32_t* object_kind, int flags_e, size_t size, char* buf);

// Who holds a lock on an object; freed with vob_ob_free_lock_info.
struct vob_lock_info_t {
    tbs_oid_t object;
    char* selector;  // the locked type's "brtype:NAME@VOB"
};

// TBS_ST_OK when the object is locked, with *info filled when want_info is
// set; TBS_ST_NOT_FOUND when it is not locked or is no type of that VOB.
tbs_status_t vob_obj_get_lock(vob_handle_t vob, const tbs_oid_t* object, int flags, int want_info,
                              vob_lock_info_t** info);
void vob_ob_free_lock_info(vob_lock_info_t* info);

// Closes the handle that vob_resolve_general opened, with what it holds.
void vob_ob_close_resources(vob_handle_t vob);

#pragma once

#include <cstddef>
#include <cstdint>

#include "client/status.h"
#include "client/views.h"

// The VOBs a view sees and the checkouts in them. Handles and cursors keep
// one shared connection to the client database between calls; every batch is
// a query of its own that starts after the last row delivered, so nothing is
// read whole and no transaction stays open between calls.

// Inventory position: 0 before the first batch, then what the last call gave.
typedef uint64_t view_inv_cursor_t;

// Up to max VOB identifiers that the view sees after cursor, in the order it
// came to see them. *end is set when nothing follows the delivered batch.
tbs_status_t view_inventory_vobs(view_handle_t view, view_inv_cursor_t cursor, int flags, int max,
                                 tbs_uuid_t* vobs, int* count, view_inv_cursor_t* next, int* end);

typedef struct vob_handle_s* vob_handle_t;
typedef struct vob_ckout_cursor_s* vob_ckout_cursor_t;

struct vob_ckout_rec_t {
    tbs_oid_t object;  // the checked-out object
    tbs_uuid_t view;
};

// Well-known object numbers of vob_ob_get_wk_obj.
enum : int { VOB_WK_OBJ_OWN_REPLICA = 21 };

// Opens the VOB by its identifier. replica is TBS_OID_NULL (or this site's
// replica). TBS_ST_NOT_FOUND for a VOB the client does not know. The scratch
// buffers are the caller's and are not written. Handles stay open until
// vob_ob_close_all.
tbs_status_t vob_ob_register_replica(const tbs_uuid_t* vob, const tbs_oid_t* replica,
                                     void* scratch_a, void* scratch_b, int flags,
                                     vob_handle_t* handle);
// Where the VOB is mounted.
tbs_status_t vob_ob_get_mount_dir_pname(vob_handle_t handle, int flags, int absolute, size_t size,
                                        char* buf);
// VOB_WK_OBJ_OWN_REPLICA: the object that stands for this site's replica.
tbs_status_t vob_ob_get_wk_obj(vob_handle_t handle, int which, tbs_oid_t* object);
tbs_status_t vob_ob_is_replicated(vob_handle_t handle, int* replicated);

// The next up to max checkouts of the VOB to the view. Pass a null cursor to
// start. A batch leaves *cursor set; a call that finds nothing more frees the
// cursor and sets it to null.
tbs_status_t vob_ob_next_ckouts(vob_handle_t handle, const tbs_uuid_t* view,
                                vob_ckout_cursor_t* cursor, int max, vob_ckout_rec_t* records,
                                int* count);
// Frees a cursor that has not run to its end.
void vob_ob_cursor_close(vob_ckout_cursor_t cursor);

// The replica that masters the object: for a checked-out object the replica
// it was checked out under; a replica masters itself.
tbs_status_t vob_obj_get_master(vob_handle_t handle, const tbs_oid_t* object, int flags,
                                tbs_oid_t* master);

// Closes every VOB handle of the process, with cursors still open on them.
void vob_ob_close_all();

#include "automation/client_lock.h"
#include "automation/view_profile.h"
#include "client/views.h"
#include "client/vobs.h"
#include "resources/message_text.h"
#include "resources/string_table.h"

namespace kelmora {

namespace {

constexpr size_t kPathBufferSize = 1024;
constexpr size_t kScratchBufferSize = 1024;
// Batches bound what one detection holds, however many VOBs and checkouts there are.
constexpr int kVobBatchSize = 10;
constexpr int kCheckoutBatchSize = 50;

// The view handle and every VOB handle are released on each way out.
class CDetectionHandles {
public:
    ~CDetectionHandles() {
        view_free_handle(view);
        vob_ob_close_all();
    }
    view_handle_t view = nullptr;
};

// Whether any checkout of the view in this VOB counts: every one in an
// unreplicated VOB, only those mastered by this site's replica in a
// replicated one. Stops at the first that counts.
BOOL SearchVob(CViewProfile* profile, const tbs_uuid_t& vob_uuid, const tbs_uuid_t& view_uuid) {
    char scratch_a[kScratchBufferSize];
    char scratch_b[kScratchBufferSize];
    vob_handle_t vob = nullptr;
    tbs_status_t status =
        vob_ob_register_replica(&vob_uuid, &TBS_OID_NULL, scratch_a, scratch_b, 0, &vob);
    if (status == TBS_ST_NOT_FOUND) return FALSE;  // not reachable from here: nothing to say
    if (status != TBS_ST_OK) {
        profile->ReportError(LoadString(IDS_CHECKOUTS_UNKNOWN_ALL), MB_OK);
        return FALSE;
    }
    char mount_dir[kPathBufferSize];
    if (vob_ob_get_mount_dir_pname(vob, 0, 1, sizeof mount_dir, mount_dir) != TBS_ST_OK)
        mount_dir[0] = '\0';
    auto report_unknown = [&] {
        profile->ReportError(FormatStringId(IDS_CHECKOUTS_UNKNOWN_VOB, mount_dir), MB_OK);
    };
    tbs_oid_t own_replica{};
    int replicated = 0;
    if (vob_ob_get_wk_obj(vob, VOB_WK_OBJ_OWN_REPLICA, &own_replica) != TBS_ST_OK ||
        vob_ob_is_replicated(vob, &replicated) != TBS_ST_OK) {
        report_unknown();
        return FALSE;
    }

    BOOL found = FALSE;
    vob_ckout_cursor_t cursor = nullptr;
    vob_ckout_rec_t records[kCheckoutBatchSize];
    for (;;) {
        int count = 0;
        if (vob_ob_next_ckouts(vob, &view_uuid, &cursor, kCheckoutBatchSize, records, &count) !=
            TBS_ST_OK) {
            report_unknown();
            break;
        }
        if (!cursor) return found;
        if (!replicated) {
            found = TRUE;
        } else {
            for (int i = 0; i < count && !found; ++i) {
                tbs_oid_t master{};
                if (vob_obj_get_master(vob, &records[i].object, 0, &master) != TBS_ST_OK) {
                    report_unknown();
                    vob_ob_cursor_close(cursor);
                    return found;
                }
                found = master == own_replica;
            }
        }
        if (found) break;
    }
    if (cursor) vob_ob_cursor_close(cursor);
    return found;
}

}  // namespace

BOOL CViewProfile::DetectCheckouts() {
    CClientLock lock;
    auto report_view_failure = [this](tbs_status_t status) {
        ReportError(FormatStringId(IDS_ERR_MOUNTED_VOB_NAMES, tbs_strerror(status)), MB_ICONSTOP);
        return FALSE;
    };
    char view_pname[kPathBufferSize];
    tbs_status_t status =
        cmd_utl_view_tag_to_pname(view_tag_.c_str(), 0, sizeof view_pname, view_pname);
    if (status != TBS_ST_OK) return report_view_failure(status);
    CDetectionHandles handles;
    status = view_get_handle(view_pname, 1, &handles.view);
    if (status != TBS_ST_OK) return report_view_failure(status);
    tbs_uuid_t view_uuid{};
    view_get_uuid(handles.view, &view_uuid);

    BOOL found = FALSE;
    view_inv_cursor_t cursor = 0;
    int end = 0;
    while (!found && !end) {
        tbs_uuid_t vobs[kVobBatchSize];
        int count = 0;
        status = view_inventory_vobs(handles.view, cursor, 0, kVobBatchSize, vobs, &count, &cursor,
                                     &end);
        if (status != TBS_ST_OK) return report_view_failure(status);
        for (int i = 0; i < count && !found; ++i) found = SearchVob(this, vobs[i], view_uuid);
    }
    return found;
}

}  // namespace kelmora

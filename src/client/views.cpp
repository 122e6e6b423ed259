#include "client/views.h"

#include <cstring>
#include <new>
#include <string>

#include "client/buffer_copy.h"
#include "client/cfs.h"
#include "client/messages.h"
#include "client/view_store.h"
#include "platform/file.h"

// A handle holds what was looked up when it was taken; later calls find the
// view again by its uuid, so a handle never reaches a different view that
// took the same tag.
struct view_handle_s {
    kelmora::client::CViewRecord view;
    tbs_uuid_t uuid;
};

struct ws_handle_s {
    kelmora::client::CViewRecord view;
};

namespace {

using kelmora::client::CClientDatabase;
using kelmora::client::CViewRecord;

tbs_status_t MakeViewHandle(const CViewRecord& view, view_handle_t* handle) {
    tbs_uuid_t uuid{};
    if (!kelmora::client::UuidFromText(view.uuid, &uuid)) return TBS_ST_DATABASE;
    *handle = new (std::nothrow) view_handle_s{view, uuid};
    return *handle ? TBS_ST_OK : TBS_ST_ERR;
}

tbs_status_t LookUpViewByTag(const char* tag, CViewRecord* view) {
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    return kelmora::client::FindViewByTag(&db, tag, view);
}

tbs_status_t LookUpWorkspaceHolding(const char* path, CViewRecord* view) {
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    return kelmora::client::FindWorkspaceHolding(&db, path, view);
}

tbs_status_t SetSpecFromFile(const std::string& uuid, const char* cspec_path) {
    std::string text;
    if (tbs_status_t status = kelmora::client::ReadConfigSpecFile(cspec_path, &text)) return status;
    return kelmora::client::StoreConfigSpec(uuid, text);
}

}  // namespace

tbs_status_t cmd_utl_view_tag_to_handle(const char* view_tag, int, int, int, int,
                                        view_handle_t* handle) {
    const tbs_status_t status = view_get_handle_by_tag(view_tag, 0, handle);
    // As the command utilities do: a tag that names no view is said, so that
    // a typo is not taken for a state of the view.
    if (status == TBS_ST_NOT_FOUND)
        imsg_print(IMSG_KIND_ERROR, "No view \"%s\" exists (stavetool lsview lists the views).\n",
                   -1, view_tag);
    return status;
}

tbs_status_t view_get_handle_by_tag(const char* view_tag, int flags, view_handle_t* handle) {
    if (!handle) return TBS_ST_INVALID;
    *handle = nullptr;
    if (!view_tag || !*view_tag) return TBS_ST_INVALID;
    CViewRecord view;
    if (tbs_status_t status = LookUpViewByTag(view_tag, &view)) return status;
    return MakeViewHandle(view, handle);
}

tbs_status_t view_get_handle(const tbs_uuid_t* view_uuid, view_handle_t* handle) {
    if (!handle) return TBS_ST_INVALID;
    *handle = nullptr;
    if (!view_uuid) return TBS_ST_INVALID;
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CViewRecord view;
    if (tbs_status_t status =
            kelmora::client::FindViewByUuid(&db, kelmora::client::UuidToText(*view_uuid), &view))
        return status;
    return MakeViewHandle(view, handle);
}

tbs_status_t view_get_handle(const char* view_pname, int flags, view_handle_t* handle) {
    if (!handle) return TBS_ST_INVALID;
    *handle = nullptr;
    if (!view_pname || !*view_pname) return TBS_ST_INVALID;
    const std::string path = kelmora::client::NormalizeAbsolutePath(view_pname);
    const std::string views_root =
        kelmora::client::NormalizeAbsolutePath(kelmora::client::DynamicViewPath(""));
    CViewRecord view;
    if (path != views_root && kelmora::client::PathHolds(views_root, path)) {
        const std::string below = path.substr(views_root.size() + 1);
        tbs_status_t status = LookUpViewByTag(below.substr(0, below.find('/')).c_str(), &view);
        if (status == TBS_ST_OK && view.is_workspace) return TBS_ST_NOT_A_VIEW;
        if (status == TBS_ST_NOT_FOUND) return TBS_ST_NOT_A_VIEW;
        if (status) return status;
    } else {
        tbs_status_t status = LookUpWorkspaceHolding(path.c_str(), &view);
        if (status == TBS_ST_NOT_WS) return TBS_ST_NOT_A_VIEW;
        if (status) return status;
    }
    return MakeViewHandle(view, handle);
}

void view_free_handle(view_handle_t handle) {
    delete handle;
}

tbs_status_t view_ws_is_ws_view(view_handle_t handle, int* is_ws) {
    if (!handle || !is_ws) return TBS_ST_INVALID;
    *is_ws = handle->view.is_workspace ? 1 : 0;
    return TBS_ST_OK;
}

tbs_status_t view_get_uuid(view_handle_t handle, tbs_uuid_t* uuid) {
    if (!handle || !uuid) return TBS_ST_INVALID;
    *uuid = handle->uuid;
    return TBS_ST_OK;
}

tbs_status_t view_get_config_spec(view_handle_t handle, const char* path, int flags) {
    if (!handle || !path || !*path) return TBS_ST_INVALID;
    std::string text;
    if (tbs_status_t status = kelmora::client::LoadConfigSpec(handle->view.uuid, &text))
        return status;
    kelmora::CFile file;
    kelmora::CFileException error;
    if (!file.Open(path, kelmora::FileAccess::Write, kelmora::FileShare::DenyWrite,
                   kelmora::FileCreate::CreateAlways, &error) ||
        !file.Write(text.data(), text.size(), &error)) {
        imsg_print(IMSG_KIND_ERROR, "Unable to write config spec file \"%s\": %s\n", -1, path,
                   std::strerror(error.os_error));
        return TBS_ST_IO;
    }
    return TBS_ST_OK;
}

tbs_status_t cmd_utl_view_tag_to_pname(const char* view_tag, int flags, size_t size, char* buf) {
    if (buf && size > 0) buf[0] = '\0';
    if (!view_tag || !*view_tag) return TBS_ST_INVALID;
    CViewRecord view;
    if (tbs_status_t status = LookUpViewByTag(view_tag, &view)) return status;
    const std::string pname =
        view.is_workspace ? view.workspace_root : kelmora::client::DynamicViewPath(view.tag);
    return kelmora::client::CopyToBuffer(pname, buf, size);
}

tbs_status_t cmd_setcs(const cmd_setcs_args_t* args) {
    if (!args || !args->view_tag || !*args->view_tag || !args->cspec_path) return TBS_ST_INVALID;
    CViewRecord view;
    if (tbs_status_t status = LookUpViewByTag(args->view_tag, &view)) return status;
    return SetSpecFromFile(view.uuid, args->cspec_path);
}

tbs_status_t ws_get_view(const char* path, int flags, size_t size, char* view_tag) {
    if (view_tag && size > 0) view_tag[0] = '\0';
    if (!path || !*path) return TBS_ST_INVALID;
    CViewRecord view;
    if (tbs_status_t status = LookUpWorkspaceHolding(path, &view)) return status;
    return kelmora::client::CopyToBuffer(view.tag, view_tag, size);
}

tbs_status_t ws_get_handle(const char* path, int flags, ws_handle_t* handle) {
    if (!handle) return TBS_ST_INVALID;
    *handle = nullptr;
    if (!path || !*path) return TBS_ST_INVALID;
    CViewRecord view;
    if (tbs_status_t status = LookUpWorkspaceHolding(path, &view)) return status;
    *handle = new (std::nothrow) ws_handle_s{view};
    return *handle ? TBS_ST_OK : TBS_ST_ERR;
}

void ws_free_handle(ws_handle_t* handle) {
    if (!handle) return;
    delete *handle;
    *handle = nullptr;
}

tbs_status_t ws_set_load_preferences(ws_handle_t handle, uint32_t flag, int on) {
    if (!handle) return TBS_ST_INVALID;
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    kelmora::client::CTransaction transaction(&db);
    if (tbs_status_t status = transaction.Begin()) return status;
    kelmora::client::CStatement update;
    if (tbs_status_t status = db.Prepare(
            on ? "UPDATE view SET load_preferences = load_preferences | ?1 WHERE uuid = ?2"
               : "UPDATE view SET load_preferences = load_preferences & ~?1 WHERE uuid = ?2",
            &update))
        return status;
    update.BindInt(1, flag);
    update.BindText(2, handle->view.uuid);
    if (tbs_status_t status = db.StepDone(&update, "cannot set load preferences")) return status;
    if (db.Changes() == 0) return TBS_ST_NOT_FOUND;
    return transaction.Commit();
}

tbs_status_t ws_set_spec(ws_handle_t handle, const char* cspec_path) {
    if (!handle || !cspec_path) return TBS_ST_INVALID;
    return SetSpecFromFile(handle->view.uuid, cspec_path);
}

tbs_status_t ws_get_load_preferences(ws_handle_t handle, uint32_t* flags) {
    if (!handle || !flags) return TBS_ST_INVALID;
    *flags = 0;
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    kelmora::client::CStatement select;
    if (tbs_status_t status =
            db.Prepare("SELECT load_preferences FROM view WHERE uuid = ?1", &select))
        return status;
    select.BindText(1, handle->view.uuid);
    bool has_row = false;
    if (tbs_status_t status = db.StepRow(&select, &has_row, "cannot read load preferences"))
        return status;
    if (!has_row) return TBS_ST_NOT_FOUND;
    *flags = static_cast<uint32_t>(select.ColumnInt(0));
    return TBS_ST_OK;
}

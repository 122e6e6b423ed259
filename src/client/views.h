#pragma once

#include <cstddef>

#include "client/status.h"

// Views and workspaces. A view has a tag, a uuid and a config spec; a
// workspace is a view with a root folder whose contents follow its config spec.
typedef struct view_handle_s* view_handle_t;
typedef struct ws_handle_s* ws_handle_t;

tbs_status_t cmd_utl_view_tag_to_handle(const char* view_tag, int a1, int a2, int a3, int a4,
                                        view_handle_t* handle);
tbs_status_t view_get_handle_by_tag(const char* view_tag, int flags, view_handle_t* handle);
tbs_status_t view_get_handle(const tbs_uuid_t* view_uuid, view_handle_t* handle);
// By path name: the view whose folder (see cmd_utl_view_tag_to_pname) is
// view_pname or holds it; TBS_ST_NOT_A_VIEW when no view's folder does.
tbs_status_t view_get_handle(const char* view_pname, int flags, view_handle_t* handle);
void view_free_handle(view_handle_t handle);

tbs_status_t view_ws_is_ws_view(view_handle_t handle, int* is_ws);
tbs_status_t view_get_uuid(view_handle_t handle, tbs_uuid_t* uuid);
// Writes the view's config spec text, byte for byte as stored, into the file.
tbs_status_t view_get_config_spec(view_handle_t handle, const char* path, int flags);
// The view's path name: the folder under which the view's files are seen.
tbs_status_t cmd_utl_view_tag_to_pname(const char* view_tag, int flags, size_t size, char* buf);

// Argument record of the set-config-spec command. On the 32-bit original it
// is 44 bytes, all zero but the view tag (offset 8), the flags (offset 12)
// and the config spec file (offset 16).
struct cmd_setcs_args_t {
    uint32_t reserved0;
    uint32_t reserved1;
    const char* view_tag;
    uint32_t flags;
    const char* cspec_path;
    uint32_t reserved[6];
};

// Sets a view's config spec from a file. A text that does not parse is
// refused: the parser's diagnostic goes to the error output and the result is
// TBS_ST_CFS_SYNTAX.
tbs_status_t cmd_setcs(const cmd_setcs_args_t* args);

// The tag of the workspace whose root holds path (the root itself or any
// path below it); TBS_ST_NOT_WS when none does.
tbs_status_t ws_get_view(const char* path, int flags, size_t size, char* view_tag);
tbs_status_t ws_get_handle(const char* path, int flags, ws_handle_t* handle);
void ws_free_handle(ws_handle_t* handle);  // clears *handle
tbs_status_t ws_set_load_preferences(ws_handle_t handle, uint32_t flag, int on);
tbs_status_t ws_get_load_preferences(ws_handle_t handle, uint32_t* flags);
// Same refusal of unparsable text as cmd_setcs.
tbs_status_t ws_set_spec(ws_handle_t handle, const char* cspec_path);

#include "automation/view_profile.h"

#include "automation/client_lock.h"
#include "resources/message_text.h"
#include "client/views.h"
#include "module/class_factory.h"
#include "resources/string_table.h"

namespace kelmora {

namespace {

IUnknown* CreateViewProfile() {
    return static_cast<IDispatch*>(new CViewProfile());
}

// ws_get_view's buffer for the view tag.
constexpr size_t kViewTagBufferSize = 1024;

}  // namespace

CClassFactory& ViewProfileClassFactory() {
    // One instance may serve any number of hosts' objects in the process.
    static CClassFactory factory(CLSID_ViewProfile, KELMORA_VIEWPROFILE_PROGID,
                                 /*multi_instance=*/false, &CreateViewProfile);
    return factory;
}

CViewProfile::CViewProfile() = default;

// The fetched config spec file goes with its CTempFile member.
CViewProfile::~CViewProfile() = default;

std::string CViewProfile::GetConfigSpec() {
    if (!config_spec_loaded_) LoadConfigSpec(FALSE);
    return config_spec_;
}

std::string CViewProfile::GetProfileName() {
    if (!association_read_) ReadAssociation();
    return profile_name_;
}

std::string CViewProfile::GetProfileTreeRoot() {
    if (!tree_root_known_) LookUpTreeRoot();
    return profile_tree_root_;
}

BOOL CViewProfile::SetViewTag(const std::string& tag) {
    CClientLock lock;
    view_tag_ = tag;
    is_workspace_ = FALSE;
    view_handle_t handle = nullptr;
    // An unknown tag is no error here: the operations report it when they
    // fetch the config spec.
    if (view_get_handle_by_tag(tag.c_str(), 1, &handle) == TBS_ST_OK) {
        int is_ws = 0;
        if (view_ws_is_ws_view(handle, &is_ws) == TBS_ST_OK) is_workspace_ = is_ws ? TRUE : FALSE;
        view_free_handle(handle);
    }
    return TRUE;
}

BOOL CViewProfile::SetWorkspacePath(const std::string& path) {
    workspace_path_ = path;
    char tag[kViewTagBufferSize] = {0};
    if (ws_get_view(path.c_str(), 0, sizeof tag, tag) != TBS_ST_OK) {
        // Shown whatever the suppress flag says: the host named no view at all.
        UserInterface().MessageBox(FormatStringId(IDS_ERR_WORKSPACE_VIEW_TAG, path.c_str()),
                                   MB_ICONSTOP);
        return FALSE;
    }
    view_tag_ = tag;
    is_workspace_ = TRUE;
    return TRUE;
}

}  // namespace kelmora

#include "automation/view_profile.h"
#include "resources/string_table.h"
#include "store/tree_root.h"

namespace kelmora {

BOOL CViewProfile::LookUpTreeRoot() {
    profile_tree_root_ = ReadTreeRootSetting();
    if (profile_tree_root_.empty()) {
        ReportError(error_prefix_ + LoadString(IDS_TREE_ROOT_NOT_SET), MB_OK);
        return FALSE;
    }
    tree_root_known_ = TRUE;
    return TRUE;
}

}  // namespace kelmora

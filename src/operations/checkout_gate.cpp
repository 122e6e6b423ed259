// The checkout gate: an operation that changes what the view selects goes on
// only while the view has no checkouts that count.
#include "automation/view_profile.h"
#include "resources/message_text.h"
#include "resources/string_table.h"
#include "ui/cos_dlg.h"

namespace kelmora {

BOOL CViewProfile::PassCheckoutGate(int kind) {
    return !DetectCheckouts() || ResolveCheckoutsInDialog(kind);
}

BOOL CViewProfile::ResolveCheckoutsInDialog(int kind) {
    CCOsDlg dialog(is_workspace_ ? workspace_path_ : view_tag_, is_workspace_, kind);
    dialog.set_message(FormatStringId(IDS_CHECKOUTS_EXIST, view_tag_.c_str()));
    dialog.DoModal();
    // However it closed: the user may have checked everything in meanwhile.
    return !DetectCheckouts();
}

}  // namespace kelmora

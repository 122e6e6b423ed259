#include "ui/dissoc_dlg.h"

#include "resources/string_table.h"
#include "ui/user_interface.h"

namespace kelmora {

void CDissocDlg::OnInitDialog() {
    texts_[0] = LoadString(IDS_DISSOC_PROMPT);
}

bool CDissocDlg::OnYes() {
    CWaitCursor wait;
    if (!host_->RunDissociationStep()) return false;
    done_ = TRUE;
    return true;
}

}  // namespace kelmora

#include "ui/finish_dlg.h"

#include "ui/user_interface.h"

namespace kelmora {

int CFinishDlg::DoModal() {
    return UserInterface().RunFinishDlg(*this);
}

BOOL CFinishDlg::OnInitDialog() {
    // The first button of the template takes the focus.
    SetFocus(kPublishId);
    return TRUE;
}

void CFinishDlg::OnPublish() {
    choice_ = kChoicePublish;
    EndDialog(IDOK);
}

void CFinishDlg::OnSuspend() {
    choice_ = kChoiceSuspend;
    EndDialog(IDOK);
}

void CFinishDlg::OnOK() {
    choice_ = focus() == kSuspendId ? kChoiceSuspend : kChoicePublish;
    EndDialog(IDOK);
}

void CFinishDlg::OnHelp() {
    OpenHelpTopic(kHelpTopic);
}

}  // namespace kelmora

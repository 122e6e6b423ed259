#include "ui/assoc_dlg.h"

#include "resources/string_table.h"
#include "ui/profile_picker.h"
#include "ui/sibling_tool.h"
#include "ui/user_interface.h"

namespace kelmora {

int CAssocDlg::DoModal() {
    return UserInterface().RunAssocDlg(*this);
}

BOOL CAssocDlg::OnInitDialog() {
    prompt_text_ = LoadString(IDS_ASSOC_PROMPT);
    SetFocus(kNameEditId);
    return TRUE;
}

void CAssocDlg::OnBrowse() {
    CProfilePicker picker(host_);
    const int shown = UserInterface().RunProfilePicker(picker);
    if (shown == kNoWindow) {
        CWaitCursor wait;
        if (!RunSiblingTool({kBrowserTool, "/b"}).Succeeded()) return;
    } else if (shown != IDOK) {
        return;
    }
    std::string folder, item;
    if (!ReadBrowserSelection(&folder, &item)) return;
    set_name_text(folder + '\\' + item);
    SetFocus(kNameEditId);
}

void CAssocDlg::OnOK() {
    CWaitCursor wait;
    profile_name_ = name_text_;
    if (host_ && host_->RunAssociationStep(profile_name_)) {
        done_ = TRUE;
        EndDialog(IDOK);
        return;
    }
    // The step has said why; the user corrects the name.
    SetFocus(kNameEditId);
}

void CAssocDlg::OnHelp() {
    OpenHelpTopic(kHelpTopic);
}

}  // namespace kelmora

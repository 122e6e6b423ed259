#include "ui/assoc_dlg.h"

#include "client/preview.h"
#include "platform/file.h"
#include "platform/temp_file.h"
#include "resources/string_table.h"
#include "ui/profile_picker.h"
#include "ui/sibling_tool.h"
#include "ui/user_interface.h"

namespace kelmora {

namespace {

bool ReadWholeFile(const std::string& path, std::string* text) {
    CFile file;
    CFileException error;
    return file.Open(path, FileAccess::Read, FileShare::DenyNone, FileCreate::OpenExisting,
                     &error) &&
           file.ReadAll(text, &error);
}

// The console browser's pick. A preview changes nothing: the browser hands its
// pick over in a file instead of keeping it for the user.
bool BrowseOnTheConsole(std::string* profile) {
    CWaitCursor wait;
    if (ActivePreview()) {
        CTempFile pick;
        std::string text;
        if (!pick.Create() ||
            !RunSiblingTool({CAssocDlg::kBrowserTool, "/b", "--keep-in", pick.path()})
                 .Succeeded() ||
            !ReadWholeFile(pick.path(), &text))
            return false;
        const size_t line_end = text.find('\n');
        if (line_end == std::string::npos) return false;
        *profile = text.substr(0, line_end) + '\\' + text.substr(line_end + 1);
        return true;
    }
    if (!RunSiblingTool({CAssocDlg::kBrowserTool, "/b"}).Succeeded()) return false;
    std::string folder, item;
    if (!ReadBrowserSelection(&folder, &item)) return false;
    *profile = folder + '\\' + item;
    return true;
}

}  // namespace

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
    std::string profile;
    if (shown == kNoWindow) {
        if (!BrowseOnTheConsole(&profile)) return;
    } else if (shown == IDOK) {
        profile = picker.picked();
    } else {
        return;
    }
    set_name_text(profile);
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

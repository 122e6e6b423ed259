#include "ui/assoc_dlg.h"

#include <fstream>
#include <sstream>

#include "client/preview.h"
#include "client/registry.h"
#include "platform/temp_file.h"
#include "resources/string_table.h"
#include "ui/sibling_tool.h"
#include "ui/user_interface.h"

namespace kelmora {

namespace {

constexpr size_t kSelectionValueSize = 1024;

// One value of the browser's selection; false when it cannot be read whole.
bool ReadSelectionValue(const std::string& key, const char* name, std::string* value) {
    char buffer[kSelectionValueSize];
    ntregy_key_t handle = nullptr;
    tbs_status_t status = ntregy_get_value(NTREGY_HKEY_CURRENT_USER, key.c_str(), name, buffer,
                                           sizeof buffer, &handle);
    ntregy_close_key(handle);
    if (status != TBS_ST_OK) return false;
    *value = buffer;
    return true;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    *text = all.str();
    return static_cast<bool>(in);
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
    CWaitCursor wait;
    // A preview changes nothing: the browser hands its pick over in a file
    // instead of keeping it for the user.
    if (ActivePreview()) {
        CTempFile pick;
        std::string text;
        if (!pick.Create() ||
            !RunSiblingTool({kBrowserTool, "/b", "--keep-in", pick.path()}).Succeeded() ||
            !ReadWholeFile(pick.path(), &text))
            return;
        const size_t line_end = text.find('\n');
        if (line_end != std::string::npos)
            set_name_text(text.substr(0, line_end) + '\\' + text.substr(line_end + 1));
        return;
    }
    CProcessResult run = RunSiblingTool({kBrowserTool, "/b"});
    if (!run.Succeeded()) return;
    const std::string key = std::string(ntregy_get_common_key()) + kSelectionKeySuffix;
    std::string folder, item;
    if (ReadSelectionValue(key, "Folder", &folder) && ReadSelectionValue(key, "Item", &item))
        set_name_text(folder + '\\' + item);
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

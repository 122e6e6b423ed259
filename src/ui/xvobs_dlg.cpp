#include "ui/xvobs_dlg.h"

#include "platform/format.h"
#include "platform/process.h"
#include "resources/string_table.h"
#include "ui/user_interface.h"

namespace kelmora {

int CXVOBsDlg::PrepareMergeArguments() {
    if (!host_) return 0;
    if (host_->is_workspace()) {
        merge_arguments_ = FormatPrintf("/t %s /b %s", host_->workspace_path().c_str(),
                                        host_->private_branch().c_str());
        merge_argument_vector_ = {"/t", host_->workspace_path(), "/b", host_->private_branch()};
        return 1;
    }
    for (std::string tag = host_->GetFirstVOB(); !tag.empty(); tag = host_->GetNextVOB())
        profile_vob_text_ += " \\" + tag.substr(1);
    if (profile_vob_text_.empty()) {
        UserInterface().MessageBox(LoadString(IDS_NO_MERGE_VOBS), MB_OK);
        return 0;
    }
    merge_arguments_ = FormatPrintf("/t %s /b %s /n %s", host_->view_tag().c_str(),
                                    host_->private_branch().c_str(), profile_vob_text_.c_str());
    // View tags, branch names and VOB tags hold no blanks: the words are the arguments.
    merge_argument_vector_ = SplitCommandLine(merge_arguments_);
    return 1;
}

void CXVOBsDlg::OnHelp() {
    OpenHelpTopic(kHelpTopic);
}

}  // namespace kelmora

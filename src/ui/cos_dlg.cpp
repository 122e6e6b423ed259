#include "ui/cos_dlg.h"

#include <cstdio>

#include "client/registry.h"
#include "resources/string_table.h"
#include "ui/checkout_list.h"
#include "ui/sibling_tool.h"
#include "ui/user_interface.h"

namespace kelmora {

namespace {

constexpr size_t kViewShareBufferSize = 256;

struct CKindInfo {
    int kind;
    unsigned title_id;
    const char* help_topic;
};

constexpr CKindInfo kKinds[] = {
    {kCheckoutsFinishBranch, IDS_TITLE_FINISH_BRANCH,
     "private_branch_wizard/findcheckoutsfinprivbr.htm"},
    {kCheckoutsSetUpBranch, IDS_TITLE_SETUP_BRANCH,
     "private_branch_wizard/findcheckoutssetupprbr.htm"},
    {kCheckoutsAssociate, IDS_TITLE_ASSOCIATE,
     "private_branch_wizard/findcheckoutsassocvprofile.htm"},
    {kCheckoutsSynchronize, IDS_TITLE_SYNCHRONIZE,
     "private_branch_wizard/findcheckoutsfinprivbr.htm"},
};

const CKindInfo* FindKind(int kind) {
    for (const CKindInfo& info : kKinds)
        if (info.kind == kind) return &info;
    return nullptr;
}

}  // namespace

int CCOsDlg::DoModal() {
    return UserInterface().RunCOsDlg(*this);
}

BOOL CCOsDlg::OnInitDialog() {
    // A kind without a title of its own keeps the template's.
    if (const CKindInfo* info = FindKind(kind_)) title_ = LoadString(info->title_id);
    SetFocus(IDOK);
    return TRUE;
}

std::string CCOsDlg::HelpTopic() const {
    const CKindInfo* info = FindKind(kind_);
    return info ? info->help_topic : "";
}

std::vector<std::string> CCOsDlg::FinderArguments() const {
    // The workspace path is one argument, blanks and all.
    if (workspace_) return {kFinderTool, "-recurse", target_};
    char share[kViewShareBufferSize];
    // An empty name would make no path at all; it counts as unreadable.
    if (ntregy_get_trfs_param(kViewShareParam, share, sizeof share) != TBS_ST_OK || !*share)
        std::snprintf(share, sizeof share, "%s", kDefaultViewShare);
    return {kFinderTool, "-avobs", std::string("\\\\") + share + "\\" + target_};
}

void CCOsDlg::OnFindCheckOuts() {
    // The finder's own result is its business: the caller counts again.
    CCheckoutList list(target_, workspace_);
    if (UserInterface().RunCheckoutList(list) != kNoWindow) {
        EndDialog(IDOK);
        return;
    }
    CWaitCursor wait;
    if (RunSiblingTool(FinderArguments()).started) EndDialog(IDOK);
}

void CCOsDlg::OnHelp() {
    std::string topic = HelpTopic();
    if (!topic.empty()) OpenHelpTopic(topic);
}

}  // namespace kelmora

// Setting up a private branch through the wizard, and finishing it: publish
// (back to the profile's config spec, then the merge tool) or suspend.
#include <cstring>
#include <string_view>

#include "automation/profile_lists.h"
#include "automation/view_profile.h"
#include "client/preview.h"
#include "cspec/text_scan.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "resources/message_text.h"
#include "resources/string_table.h"
#include "ui/branch_psheet.h"
#include "ui/cos_dlg.h"
#include "ui/finish_dlg.h"
#include "ui/xvobs_dlg.h"

namespace kelmora {

namespace {

constexpr const char* kAdminVobFileName = "Admin VOB";
constexpr const char* kCheckpointsFileName = "Checkpoints";
constexpr char kMergeTool[] = "stavemrgman";

}  // namespace

// These operations' messages are shown whatever the suppress flag says.
BOOL CViewProfile::ReadBranchAssociation() {
    if (view_tag_.empty()) {
        UserInterface().MessageBox(error_prefix_ + LoadString(IDS_NO_VIEW_SPECIFIED), MB_OK);
        return FALSE;
    }
    if (!config_spec_loaded_ && !LoadConfigSpec(FALSE)) return FALSE;
    if (!TestAssociation()) {
        UserInterface().MessageBox(
            error_prefix_ + FormatStringId(IDS_NOT_ASSOCIATED_FOR_OPERATION, view_tag_.c_str()),
            MB_OK);
        return FALSE;
    }
    return LookUpTreeRoot() && ReadAssociation() ? TRUE : FALSE;
}

BOOL CViewProfile::SetUpBranch(BOOL update) {
    error_prefix_ = LoadString(IDS_CANNOT_SETUP_PREFIX);
    if (!ReadBranchAssociation()) return FALSE;
    if (!private_branch_.empty()) {
        UserInterface().MessageBox(
            error_prefix_ + FormatStringId(IDS_ALREADY_ON_PRIVATE_BRANCH, view_tag_.c_str()),
            MB_OK);
        return FALSE;
    }
    if (!PassCheckoutGate(kCheckoutsSetUpBranch)) return FALSE;

    std::string admin_vob;
    if (!ReadProfileFile(ProfileNativePath(profile_tree_root_, profile_name_, kAdminVobFileName),
                         &admin_vob, FALSE, FALSE))
        return FALSE;
    // A line end after the tag is no part of it.
    admin_vob_ = TrimSpace(admin_vob);
    if (admin_vob_.empty() && !vob_list_loaded_ && !LoadVobList()) return FALSE;

    std::string checkpoints;
    if (!ReadProfileFile(ProfileNativePath(profile_tree_root_, profile_name_, kCheckpointsFileName),
                         &checkpoints, FALSE, FALSE))
        return FALSE;
    // The last name of the file comes first; a second set-up starts afresh.
    checkpoints_ = NewestFirstCheckpoints(checkpoints);

    CBranchPSheet sheet("", nullptr, CBranchPSheet::kNamePage);
    sheet.SetWizardMode();
    sheet.set_host(this);
    sheet.set_update(update);
    cancelled_ = sheet.DoModal() == IDCANCEL && sheet.completion() ? TRUE : FALSE;
    if (sheet.completion()) {
        // The view's config spec may have changed: the next operation reads it afresh.
        config_spec_loaded_ = FALSE;
        association_read_ = FALSE;
    }
    return sheet.completion() ? TRUE : FALSE;
}

BOOL CViewProfile::FinishBranch() {
    error_prefix_ = LoadString(IDS_CANNOT_FINISH_PREFIX);
    if (!ReadBranchAssociation()) return FALSE;
    if (private_branch_.empty()) {
        UserInterface().MessageBox(
            error_prefix_ + FormatStringId(IDS_NOT_ON_PRIVATE_BRANCH, view_tag_.c_str()),
            MB_ICONEXCLAMATION);
        return FALSE;
    }
    if (!PassCheckoutGate(kCheckoutsFinishBranch)) return FALSE;
    if (!ComposeProfileConfigSpec()) return FALSE;

    CFinishDlg dialog;
    if (dialog.DoModal() != IDOK) return FALSE;
    const bool publish = dialog.choice() == CFinishDlg::kChoicePublish;
    error_prefix_ = LoadString(publish ? IDS_CANNOT_MERGE_PREFIX : IDS_CANNOT_SUSPEND_PREFIX);

    CXVOBsDlg merge(this);
    if (publish) {
        if (!vob_list_loaded_) LoadVobList();
        if (!merge.PrepareMergeArguments()) return FALSE;
    }
    if (!WriteConfigSpecAndUpdateView(TRUE, kUpdateNoticeSilent)) return FALSE;
    if (publish) {
        std::vector<std::string> argv = merge.MergeArgumentVector();
        argv.insert(argv.begin(), kMergeTool);
        int error = 0;
        // Not waited for: the merge is the tool's business. A preview only
        // tells that it would start.
        if (CPreview* preview = ActivePreview()) {
            preview->programs.push_back(argv);
        } else if (!StartDetached(argv, &error)) {
            UserInterface().MessageBox(FormatStringId(IDS_EXEC_MERGE_FAILED, std::strerror(error)),
                                       MB_ICONSTOP);
            return FALSE;
        }
    } else if (!is_workspace_) {
        UserInterface().MessageBox(
            FormatStringId(IDS_BRANCH_SUSPENDED, view_tag_.c_str(), private_branch_.c_str()),
            MB_OK);
    }
    config_spec_loaded_ = FALSE;
    association_read_ = FALSE;
    private_branch_.clear();
    return TRUE;
}

}  // namespace kelmora

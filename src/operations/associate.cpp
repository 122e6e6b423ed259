// Associating a view with a profile: the questions, the associate dialog, and
// the step that composes the profile's config spec and puts it in the view.
#include "automation/view_profile.h"
#include "resources/message_text.h"
#include "resources/string_table.h"
#include "ui/assoc_dlg.h"
#include "ui/cos_dlg.h"
#include "ui/edit_cspec.h"

namespace kelmora {

namespace {

constexpr unsigned kYesNoQuestion = MB_YESNO | MB_ICONQUESTION;

}  // namespace

BOOL CViewProfile::Associate() {
    error_prefix_ = LoadString(IDS_CANNOT_ASSOCIATE_PREFIX);
    // This operation's own messages are shown whatever the suppress flag says.
    if (view_tag_.empty()) {
        UserInterface().MessageBox(error_prefix_ + LoadString(IDS_NO_VIEW_SPECIFIED), MB_OK);
        return FALSE;
    }
    if (!config_spec_loaded_ && !LoadConfigSpec(FALSE)) return FALSE;
    if (!PassCheckoutGate(kCheckoutsAssociate)) return FALSE;
    if (!LookUpTreeRoot()) return FALSE;
    // What these find is judged by the fields they fill: an unassociated
    // view's load rules come along into the new config spec.
    if (TestAssociation())
        ReadAssociation();
    else
        CollectLoadRules();
    if (TestAssociation() &&
        UserInterface().MessageBox(
            FormatStringId(IDS_ASK_CHANGE_ASSOCIATION, view_tag_.c_str(), profile_name_.c_str()),
            kYesNoQuestion) != IDYES)
        return FALSE;
    if (!private_branch_.empty() &&
        UserInterface().MessageBox(FormatStringId(IDS_ASK_ASSOCIATE_ON_PRIVATE_BRANCH,
                                                  view_tag_.c_str(), private_branch_.c_str()),
                                   kYesNoQuestion) != IDYES)
        return FALSE;
    CAssocDlg dialog(this);
    dialog.DoModal();
    return dialog.done();
}

BOOL CViewProfile::RunAssociationStep(const std::string& profile_name) {
    profile_name_ = profile_name;
    if (!CheckProfileLocation(suppress_error_display_)) return FALSE;
    // When a step fails, the field goes back to what the view holds.
    std::string in_view = config_spec_;
    auto unchanged = [&] {
        config_spec_ = std::move(in_view);
        return FALSE;
    };
    if (!ComposeProfileConfigSpec()) return unchanged();
    // What was read of the old profile no longer holds; the next query reads the new one.
    vob_list_loaded_ = FALSE;
    association_read_ = FALSE;
    if (is_workspace_) {
        if (!WriteConfigSpecAndUpdateView(FALSE, kUpdateNoticeSilent)) return unchanged();
        // The user sees the composed text before the workspace is loaded by it.
        CEditCSpec editor;
        editor.set_config_spec_text(config_spec_);
        editor.set_context_text(view_tag_);
        editor.set_hidden_mode(1);
        editor.DoModal();
        if (editor.config_spec_text() != config_spec_) config_spec_ = editor.config_spec_text();
    }
    if (!WriteConfigSpecAndUpdateView(TRUE, kUpdateNoticeSilent)) {
        // The workspace holds the composed text by now; a failed step gives
        // it its own back (a failure of that is reported too).
        if (is_workspace_) {
            config_spec_ = in_view;
            WriteConfigSpecAndUpdateView(FALSE, kUpdateNoticeSilent);
        }
        return unchanged();
    }
    if (!is_workspace_) MountProfileVOBs("");
    return TRUE;
}

}  // namespace kelmora

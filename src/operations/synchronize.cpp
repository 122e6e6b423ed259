// Bringing an associated view up to date with its profile's revision, on the
// user's request or as the host starts work in the view (start-up mode).
#include "automation/view_profile.h"
#include "cspec/text_scan.h"
#include "platform/paths.h"
#include "resources/message_text.h"
#include "resources/string_table.h"
#include "ui/cos_dlg.h"

namespace kelmora {

namespace {

constexpr const char* kGuidFileName = "GUID";

}  // namespace

BOOL CViewProfile::ReadProfileRevision(int32_t* major, int32_t* minor) {
    std::string guid_text;
    if (!ReadProfileFile(ProfileNativePath(profile_tree_root_, profile_name_, kGuidFileName),
                         &guid_text, TRUE, FALSE))
        return FALSE;
    std::string guid;
    int scanned_major = 0, scanned_minor = 0;
    if (ScanGuidAndRevision(guid_text, &guid, &scanned_major, &scanned_minor) != 3) {
        ReportError(FormatStringId(IDS_REVISION_CORRUPT, guid_text.c_str()), MB_ICONSTOP);
        return FALSE;
    }
    *major = scanned_major;
    *minor = scanned_minor;
    return TRUE;
}

BOOL CViewProfile::Synchronize(BOOL startup) {
    error_prefix_ =
        FormatStringId(startup ? IDS_STARTUP_PREFIX : IDS_CANNOT_SYNC_PREFIX, view_tag_.c_str());
    if (view_tag_.empty()) {
        ReportError(error_prefix_ + LoadString(IDS_NO_VIEW_SPECIFIED), MB_OK);
        return FALSE;
    }
    if (!config_spec_loaded_ && !LoadConfigSpec(FALSE)) return FALSE;
    if (!TestAssociation()) {
        // At start-up an unassociated view is nothing to speak of.
        if (!startup)
            UserInterface().MessageBox(FormatStringId(IDS_SYNC_NOT_ASSOCIATED, view_tag_.c_str()),
                                       MB_OK);
        return FALSE;
    }
    if (!LookUpTreeRoot() || !ReadAssociation()) return FALSE;
    const BOOL mounted_now = !is_workspace_ && MountProfileVOBs("");

    int32_t profile_major = 0, profile_minor = 0;
    if (!ReadProfileRevision(&profile_major, &profile_minor)) return FALSE;
    const std::string& target = is_workspace_ ? workspace_path_ : view_tag_;
    // Only the minor number moves with the profile's rules.
    if (profile_minor == revision_minor_) {
        if (!startup)
            UserInterface().MessageBox(
                FormatStringId(mounted_now ? IDS_NOW_UP_TO_DATE : IDS_ALREADY_UP_TO_DATE,
                               target.c_str(), profile_name_.c_str()),
                MB_ICONINFORMATION);
        return TRUE;
    }
    // Work on a private branch is finished before the view follows the profile again.
    if (!private_branch_.empty()) {
        if (!startup)
            UserInterface().MessageBox(
                FormatStringId(IDS_SYNC_ON_PRIVATE_BRANCH, target.c_str(), private_branch_.c_str()),
                MB_OK);
        return FALSE;
    }
    if (DetectCheckouts()) {
        if (startup) {
            ReportError(
                FormatStringId(IDS_STARTUP_PROFILE_MODIFIED, profile_name_.c_str(), target.c_str()),
                MB_ICONINFORMATION);
            return FALSE;
        }
        if (!ResolveCheckoutsInDialog(kCheckoutsSynchronize)) return FALSE;
    } else if (startup && AskQuestion(FormatStringId(IDS_ASK_STARTUP_UPDATE, profile_name_.c_str(),
                                                     target.c_str()),
                                      MB_OKCANCEL | MB_ICONQUESTION) != IDOK) {
        // Deferred; with display suppressed the offer is logged and nobody is asked.
        return FALSE;
    }
    {
        CWaitCursor wait;
        if (!RunAssociationStep(profile_name_)) return FALSE;
    }
    if (!startup)
        UserInterface().MessageBox(
            FormatStringId(IDS_NOW_UP_TO_DATE, view_tag_.c_str(), profile_name_.c_str()), MB_OK);
    return TRUE;
}

}  // namespace kelmora

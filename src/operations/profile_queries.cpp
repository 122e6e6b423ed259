// The read-only questions about the view and its profile: is it associated,
// is it on a private branch, the profile's description, diagram and VOBs.
#include <string_view>
#include <vector>

#include "automation/profile_lists.h"
#include "automation/view_profile.h"
#include "platform/paths.h"
#include "resources/string_table.h"

namespace kelmora {

namespace {

constexpr const char* kDescriptionFileName = "Description";
constexpr const char* kDiagramFileName = "Diagram";
constexpr const char* kVobListFileName = "VOB List";

}  // namespace

BOOL CViewProfile::TestAssociation() {
    if (view_tag_.empty()) {
        ReportError(error_prefix_ + LoadString(IDS_NO_VIEW_SPECIFIED), MB_OK);
        return FALSE;
    }
    // The marker opens the text or it is not there: the first block will do.
    if (!config_spec_loaded_ && !LoadConfigSpec(TRUE)) return FALSE;
    return config_spec_.starts_with(LoadString(IDS_MARKER_START)) ? TRUE : FALSE;
}

BOOL CViewProfile::TestPrivateBranch() {
    if (view_tag_.empty()) {
        // Shown whatever the suppress flag says.
        UserInterface().MessageBox(error_prefix_ + LoadString(IDS_NO_VIEW_SPECIFIED), MB_OK);
        return FALSE;
    }
    if (!config_spec_loaded_ && !LoadConfigSpec(FALSE)) return FALSE;
    if (!TestAssociation()) return FALSE;
    if (!LookUpTreeRoot() || !ReadAssociation()) return FALSE;
    return private_branch_.empty() ? FALSE : TRUE;
}

BOOL CViewProfile::IsAssociated() {
    error_prefix_ = LoadString(IDS_IS_ASSOCIATED_PREFIX);
    return TestAssociation();
}

BOOL CViewProfile::IsOnPrivateBranch() {
    error_prefix_ = LoadString(IDS_IS_ON_PRIVATE_BRANCH_PREFIX);
    return TestPrivateBranch();
}

std::string CViewProfile::GetDiagramPName() {
    error_prefix_ = LoadString(IDS_DIAGRAM_PREFIX);
    if (!TestAssociation()) return {};
    if (!tree_root_known_ && !LookUpTreeRoot()) return {};
    if (!association_read_ && !ReadAssociation()) return {};
    // Whether the profile has a diagram is the caller's concern.
    return ProfileNativePath(profile_tree_root_, profile_name_, kDiagramFileName);
}

std::string CViewProfile::GetDescription() {
    error_prefix_ = LoadString(IDS_DESCRIPTION_PREFIX);
    if (!TestAssociation()) return {};
    if (!tree_root_known_ && !LookUpTreeRoot()) return {};
    if (!association_read_ && !ReadAssociation()) return {};
    std::string description;
    // A profile without a description has an empty one.
    if (!ReadProfileFile(ProfileNativePath(profile_tree_root_, profile_name_, kDescriptionFileName),
                         &description, FALSE, FALSE))
        return {};
    return description;
}

BOOL CViewProfile::LoadVobList() {
    // What these two find is judged by the fields they fill.
    if (!tree_root_known_) LookUpTreeRoot();
    if (profile_name_.empty()) ReadAssociation();
    if (profile_tree_root_.empty() || profile_name_.empty()) return FALSE;
    std::string text;
    if (!ReadProfileFile(ProfileNativePath(profile_tree_root_, profile_name_, kVobListFileName),
                         &text, FALSE, FALSE))
        return FALSE;
    vob_list_.Assign(SplitProfileList(text));
    vob_list_loaded_ = TRUE;
    return TRUE;
}

std::string CViewProfile::GetFirstVOB() {
    // A list that cannot be read enumerates as empty, and is read again next time.
    if (!vob_list_loaded_ && !LoadVobList()) vob_list_.Clear();
    return vob_list_.First();
}

}  // namespace kelmora

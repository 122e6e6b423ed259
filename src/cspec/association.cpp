// Reading a view's association back from its config spec, and following a
// profile that moved in the tree.
#include <optional>
#include <string_view>

#include "automation/view_profile.h"
#include "cspec/info_block.h"
#include "cspec/text_scan.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "resources/message_text.h"
#include "resources/string_table.h"

namespace kelmora {

namespace {

// What follows the keyword on the first line of text that begins with it
// (after leading blanks). Only rule lines count: a profile named
// "\...\Runtime" must not give its name's tail as the branch point.
std::optional<std::string_view> RuleArgument(std::string_view text, std::string_view keyword) {
    for (size_t pos = 0; pos < text.size(); pos = NextLineStart(text, pos)) {
        std::string_view line = TrimLeadingSpace(RestOfLine(text, pos));
        if (line.starts_with(keyword)) return line.substr(keyword.size());
    }
    return std::nullopt;
}

bool IsAllSpace(std::string_view text) {
    return TrimLeadingSpace(text).empty();
}

}  // namespace

BOOL CViewProfile::ReadAssociation() {
    association_state_ = EAssociationState::kUnreadable;
    if (!config_spec_loaded_ && !LoadConfigSpec(FALSE)) return FALSE;
    association_state_ = EAssociationState::kNotInterpretable;
    // A missing tree root has been reported; the location check fails below.
    if (!tree_root_known_) LookUpTreeRoot();

    CInfoBlockFields fields{{}, {}, revision_major_, revision_minor_};
    int converted = ScanInfoBlock(config_spec_, &fields);
    revision_major_ = fields.major;
    revision_minor_ = fields.minor;
    if (converted != 4) return OfferRecovery();
    profile_name_ = fields.name;
    profile_guid_ = fields.guid;

    const std::string closing = InfoBlockClosingLines();
    size_t closing_at = config_spec_.find(closing);
    if (closing_at == std::string::npos) return OfferRecovery();
    std::string_view spec(config_spec_);
    std::string_view head = spec.substr(0, closing_at);

    if (auto branch = RuleArgument(head, "mkbranch"); branch && !branch->empty())
        private_branch_ = TrimSpace(*branch);

    const std::string header = LoadString(IDS_SECTION_HEADER);
    size_t section_at = config_spec_.find(header);
    if (!private_branch_.empty()) {
        if (auto time = RuleArgument(head, "time"); time && !time->empty()) {
            branch_point_ = TrimSpace(*time);
        } else if (section_at != std::string::npos) {
            if (auto selector =
                    ScanLineAfter(spec.substr(section_at + header.size()), "element * "))
                branch_point_ = TrimSpace(*selector);
        }
    }

    if (section_at != std::string::npos) {
        size_t block_end = closing_at + closing.size();
        std::string_view between =
            section_at > block_end ? spec.substr(block_end, section_at - block_end) : "";
        user_rules_ = IsAllSpace(between) ? std::string() : std::string(between);
        const std::string end_marker = LoadString(IDS_SECTION_END_MARKER);
        size_t end_at = config_spec_.find(end_marker, section_at);
        if (end_at != std::string::npos && end_at + end_marker.size() < config_spec_.size()) {
            user_rules_ += "\r\n";
            user_rules_ += spec.substr(end_at + end_marker.size());
            user_rules_ += "\r\n";
        }
    }

    if (CheckProfileLocation(TRUE)) {
        association_read_ = TRUE;
        association_state_ = EAssociationState::kFound;
        return TRUE;
    }

    std::string moved_to;
    if (!ProfilePathByGuid(profile_guid_, &moved_to)) {
        association_state_ = EAssociationState::kNotFound;
        ReportError(error_prefix_ + FormatStringId(IDS_PROFILE_NOT_FOUND, profile_name_.c_str()),
                    MB_ICONSTOP);
        return FALSE;
    }
    ReportError(FormatStringId(IDS_PROFILE_MOVED, profile_name_.c_str(), moved_to.c_str()), MB_OK);
    // Only the Name line's value: the same text elsewhere (a rule, the
    // block's first line) stays as it is.
    config_spec_.replace(fields.name_at, profile_name_.size(), moved_to);
    profile_name_ = moved_to;
    association_state_ = EAssociationState::kMoved;
    // The flag stays clear: the next reader reads the corrected text again.
    return WriteConfigSpecAndUpdateView(FALSE, kUpdateNoticeAnnounce);
}

BOOL CViewProfile::OfferRecovery() {
    std::string question =
        error_prefix_ + FormatStringId(IDS_ASK_RECOVER_CONFIG_SPEC, view_tag_.c_str());
    // With display suppressed the question is logged and answered No.
    if (AskQuestion(question) != IDYES) return FALSE;
    if (!RecoverConfigSpec()) return FALSE;
    return ReadAssociation();
}

BOOL CViewProfile::CheckProfileLocation(BOOL quiet) {
    // Both boxes are shown directly: the caller asked for them.
    if (profile_name_.empty()) {
        if (!quiet) UserInterface().MessageBox(LoadString(IDS_ENTER_PROFILE_NAME), MB_OK);
        return FALSE;
    }
    if (ProfileFolderExists(profile_name_)) return TRUE;
    if (!quiet)
        UserInterface().MessageBox(FormatStringId(IDS_NO_PROFILE_AT, profile_name_.c_str()),
                                   MB_ICONEXCLAMATION);
    return FALSE;
}

BOOL CViewProfile::ProfileFolderExists(const std::string& profile_name) const {
    // Without a tree root the name would be looked for at the file system's root.
    if (profile_tree_root_.empty()) return FALSE;
    std::string path = ProfileNativePath(profile_tree_root_, profile_name);
    return !path.empty() && PathExists(path) ? TRUE : FALSE;
}

}  // namespace kelmora

// Composing a managed config spec: from the profile's Rules and GUID files,
// or for a private branch from what read association found.
#include <string_view>

#include "automation/view_profile.h"
#include "cspec/info_block.h"
#include "cspec/profile_rules.h"
#include "cspec/text_scan.h"
#include "platform/format.h"
#include "platform/paths.h"
#include "resources/message_text.h"
#include "resources/string_table.h"

namespace kelmora {

namespace {

constexpr const char* kRulesFileName = "Rules";
constexpr const char* kGuidFileName = "GUID";
constexpr std::string_view kMkbranchOption = "-mkbranch";
constexpr std::string_view kMainZero = "main\\0";
constexpr std::string_view kLoadRule = "load ";

// The rules that put a view on its private branch: select the branch's
// latest versions and make new ones there.
std::string PrivateRules(const std::string& branch) {
    return FormatPrintf("element * ...\\%s\\LATEST\r\n", branch.c_str()) +
           FormatPrintf("mkbranch %s\r\n", branch.c_str());
}

// Calls visit with each line of text, its LF included (the last may have none).
template <class Visit>
void ForEachLine(std::string_view text, Visit visit) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = NextLineStart(text, pos);
        visit(text.substr(pos, end - pos));
        pos = end;
    }
}

}  // namespace

BOOL CViewProfile::ComposeProfileConfigSpec() {
    if (!tree_root_known_ && !LookUpTreeRoot()) return FALSE;
    // The GUID file before Rules: a save writes Rules first and then raises
    // the revision, so a save in between leaves the view naming a revision
    // older than its rules (the next synchronize catches up), never newer
    // (which would keep it from ever seeing those rules).
    std::string rules, guid_text;
    if (!ReadProfileFile(ProfileNativePath(profile_tree_root_, profile_name_, kGuidFileName),
                         &guid_text, TRUE, FALSE))
        return FALSE;
    if (!ReadProfileFile(ProfileNativePath(profile_tree_root_, profile_name_, kRulesFileName),
                         &rules, TRUE, FALSE))
        return FALSE;

    // The GUID file's buffer holds 255 characters; a file that does not
    // give a GUID and both numbers must not put a made-up revision in the view.
    std::string guid;
    int major = 0, minor = 0;
    if (ScanGuidAndRevision(guid_text, &guid, &major, &minor) != 3 || guid.size() > 255) {
        ReportError(error_prefix_ + FormatStringId(IDS_REVISION_CORRUPT, guid_text.c_str()),
                    MB_ICONSTOP);
        return FALSE;
    }

    config_spec_ = FormatProfileInfoBlock({profile_name_, guid, major, minor});
    if (user_rules_.empty()) {
        config_spec_ += "\r\n\r\n";
    } else {
        config_spec_ = TrimTrailingSpace(config_spec_) + user_rules_;
    }
    config_spec_ += LoadString(IDS_SECTION_HEADER);

    CProfileRulesParts parts;
    const ERulesSplit split = SplitProfileRules(rules, &parts);
    if (split == ERulesSplit::kNoProfileHeader) {
        ReportError(error_prefix_ + LoadString(IDS_ERR_NO_PRIVATE_RULES), MB_ICONSTOP);
        return FALSE;
    }
    config_spec_ += TrimSpace(parts.private_rules);
    config_spec_ += "\r\n";
    if (split == ERulesSplit::kNoEndMarker) {
        ReportError(error_prefix_ + LoadString(IDS_ERR_NO_PROFILE_RULES), MB_ICONSTOP);
        return FALSE;
    }
    config_spec_ += parts.profile_rules;
    config_spec_ += LoadString(IDS_SECTION_END_MARKER);
    return TRUE;
}

void CViewProfile::ComposePrivateBranchConfigSpec(const std::string& selector,
                                                  const std::string& branch) {
    std::string load_rules = LoadRulesOfGeneratedSection();
    config_spec_ = FormatPrivateBranchInfoBlock(
        {profile_name_, profile_guid_, revision_major_, revision_minor_}, PrivateRules(branch));
    if (!user_rules_.empty()) config_spec_ = TrimTrailingSpace(config_spec_) + user_rules_;
    config_spec_ += LoadString(IDS_SECTION_HEADER);
    config_spec_ += load_rules;
    config_spec_ += "element * " + selector + "\r\nelement * \\main\\0\r\n";
    config_spec_ += LoadString(IDS_SECTION_END_MARKER);
}

void CViewProfile::ComposePrivateBranchConfigSpecAtTime(const std::string& time,
                                                        const std::string& branch) {
    const std::string old_text = std::move(config_spec_);
    config_spec_ = FormatPrivateBranchInfoBlock(
        {profile_name_, profile_guid_, revision_major_, revision_minor_},
        PrivateRules(branch) + "time " + time + "\r\n");
    if (!user_rules_.empty()) config_spec_ = TrimTrailingSpace(config_spec_) + user_rules_;
    const std::string header = LoadString(IDS_SECTION_HEADER);
    config_spec_ += header;

    // The profile's rules as the view had them; a text without a generated
    // section gives an empty one.
    const std::string end_marker = LoadString(IDS_SECTION_END_MARKER);
    size_t header_at = old_text.find(header);
    std::string_view rest = header_at == std::string::npos
                                ? std::string_view(end_marker)
                                : std::string_view(old_text).substr(header_at + header.size());
    // What follows the section is among the user rules already.
    if (size_t end_at = rest.find(end_marker); end_at != std::string_view::npos)
        rest = rest.substr(0, end_at + end_marker.size());

    // New branches are made only on the private branch: each "-mkbranch"
    // option goes with its branch type, up to the line end.
    bool has_fallback = false;
    size_t pos = 0;
    for (size_t option; (option = rest.find(kMkbranchOption, pos)) != std::string_view::npos;) {
        std::string_view before = rest.substr(pos, option - pos);
        if (before.find(kMainZero) != std::string_view::npos) has_fallback = true;
        config_spec_ += before;
        size_t line_end = rest.find_first_of("\r\n", option);
        pos = line_end == std::string_view::npos ? rest.size() : line_end;
    }
    rest.remove_prefix(pos);
    if (!has_fallback) {
        size_t end_at = rest.find(end_marker);
        if (end_at != std::string_view::npos) {
            config_spec_ += rest.substr(0, end_at);
            config_spec_ += LoadString(IDS_FALLBACK_RULE_END);
            return;
        }
    }
    config_spec_ += rest;
}

void CViewProfile::CollectLoadRules() {
    user_rules_.clear();
    ForEachLine(config_spec_, [this](std::string_view line) {
        if (line.find(kLoadRule) != std::string_view::npos &&
            TrimLeadingSpace(line).starts_with("load"))
            user_rules_ += line;
    });
    if (!user_rules_.empty()) user_rules_ = "\r\n\r\n" + user_rules_ + "\r\n";
}

std::string CViewProfile::LoadRulesOfGeneratedSection() const {
    const std::string header = LoadString(IDS_SECTION_HEADER);
    size_t header_at = config_spec_.find(header);
    if (header_at == std::string::npos) return {};
    std::string load_rules;
    ForEachLine(std::string_view(config_spec_).substr(header_at + header.size()),
                [&load_rules](std::string_view line) {
                    if (line.starts_with(kLoadRule) && line.ends_with('\n')) load_rules += line;
                });
    return load_rules;
}

}  // namespace kelmora

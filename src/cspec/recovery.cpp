// Rebuilding a managed config spec that was edited outside the module: find
// the profile, the private branch and the user's rules in what is left, and
// compose the config spec afresh.
#include <optional>
#include <string_view>

#include "automation/view_profile.h"
#include "cspec/text_scan.h"
#include "resources/string_table.h"

namespace kelmora {

namespace {

constexpr std::string_view kMkbranch = "mkbranch";
constexpr std::string_view kElement = "element";

// What the damaged text says about a private branch.
struct CPrivateBranchRules {
    int counted = 0;  // plain mkbranch rules, at most 2
    std::string branch;
    std::string selector;  // the branch point: a selector ...
    std::string time;      // ... or a time
};

// Counts the mkbranch rules; "-mkbranch" options of element rules are not
// private branches. Stops at the second.
CPrivateBranchRules CountPrivateBranchRules(std::string_view text, size_t* first_at) {
    CPrivateBranchRules rules;
    for (size_t pos = 0, at;
         rules.counted < 2 && (at = text.find(kMkbranch, pos)) != std::string_view::npos;) {
        pos = at + kMkbranch.size();
        if (at > 0 && text[at - 1] == '-') continue;
        if (++rules.counted == 1) *first_at = at;
        if (auto word = ScanWordAfter(text.substr(at), "mkbranch "))
            rules.branch = TrimSpace(*word);
    }
    return rules;
}

// The branch point of the one private branch: a time rule right after its
// mkbranch rule, or else the last element rule's selector before one that
// selects main's latest versions. False when neither is there.
bool FindBranchPoint(std::string_view text, size_t mkbranch_at, CPrivateBranchRules* rules) {
    std::string_view after = TrimLeadingSpace(text.substr(NextLineStart(text, mkbranch_at)));
    if (after.starts_with("time")) {
        std::optional<std::string> time = ScanWordAfter(after, "time ");
        if (!time) return false;
        rules->time = *time;
        return true;
    }
    for (size_t pos = 0, at; (at = text.find(kElement, pos)) != std::string_view::npos;) {
        pos = at + kElement.size();
        std::optional<std::string> selector = ScanWordAfter(text.substr(at), "element * ");
        if (!selector) continue;
        if (selector->find("main/LATEST") != std::string::npos ||
            selector->find("main\\LATEST") != std::string::npos)
            break;
        rules->selector = *selector;
    }
    return !rules->selector.empty();
}

// The text after the end marker of the first marked part at or after from
// (the generated section), as read association keeps it; empty when none.
std::string RulesAfterSection(std::string_view text, size_t from) {
    size_t section = text.find(LoadString(IDS_MARKER_START), from);
    if (section == std::string_view::npos) return {};
    const std::string end_marker = LoadString(IDS_SECTION_END_MARKER);
    size_t end_at = text.find(end_marker, section);
    if (end_at == std::string_view::npos || end_at + end_marker.size() >= text.size()) return {};
    return "\r\n" + std::string(text.substr(end_at + end_marker.size())) + "\r\n";
}

// The user's rules: after the block's closing comment lines up to the next
// marked part, and after the generated section. Nothing when they cannot be
// told apart.
std::optional<std::string> FindUserRules(std::string_view text) {
    size_t from = text.find(LoadString(IDS_BLOCK_COMMENT_END));
    if (from == std::string_view::npos) from = text.find(LoadString(IDS_SECTION_END_MARKER));
    if (from == std::string_view::npos) return std::nullopt;
    std::string after = RulesAfterSection(text, from);
    size_t start = NextLineStart(text, from);
    while (start < text.size() && text[start] == '#') start = NextLineStart(text, start);
    size_t marker = start < text.size() ? text.find(LoadString(IDS_MARKER_START), start)
                                        : std::string_view::npos;
    if (marker == std::string_view::npos) {
        if (after.empty()) return std::nullopt;
        return after;
    }
    return std::string(text.substr(start, marker - start)) + after;
}

}  // namespace

BOOL CViewProfile::RecoverConfigSpec() {
    const std::string text = config_spec_;

    // The profile: by the name that the block still shows, else by its GUID.
    std::string name;
    const std::string name_prefix = LoadString(IDS_BLOCK_NAME_PREFIX);
    if (size_t at = text.find(name_prefix); at != std::string::npos) {
        std::string_view rest = RestOfLine(text, at + name_prefix.size());
        if (!rest.empty()) name = TrimSpace(rest);
        if (!ProfileFolderExists(name)) name.clear();
    }
    if (name.empty()) {
        const std::string id_prefix = LoadString(IDS_BLOCK_ID_PREFIX);
        size_t at = text.find(id_prefix);
        std::optional<std::string> guid;
        if (at != std::string::npos)
            guid = ScanWordAfter(std::string_view(text).substr(at + id_prefix.size()), "");
        if (!guid) return OfferDissociation(IDS_ASK_DISSOCIATE_UNSALVAGEABLE);
        if (!ProfilePathByGuid(TrimSpace(*guid), &name))
            return OfferDissociation(IDS_ASK_DISSOCIATE_DELETED);
    }

    size_t mkbranch_at = 0;
    CPrivateBranchRules branch = CountPrivateBranchRules(text, &mkbranch_at);
    if (branch.counted >= 2 ||
        (branch.counted == 1 && !FindBranchPoint(text, mkbranch_at, &branch)))
        return OfferDissociation(IDS_ASK_DISSOCIATE_UNSALVAGEABLE);

    if (std::optional<std::string> user_rules = FindUserRules(text)) {
        // Composition attaches the user rules right after the block's last
        // comment line; rules found at a line start would join that comment.
        bool own_line =
            user_rules->empty() || user_rules->front() == '\r' || user_rules->front() == '\n';
        user_rules_ = own_line ? *user_rules : "\r\n" + *user_rules;
    }

    profile_name_ = name;
    if (!ComposeProfileConfigSpec()) return FALSE;
    if (branch.counted == 1) {
        // Fills the GUID, revision and user rules from the composed text.
        ReadAssociation();
        if (!branch.selector.empty())
            ComposePrivateBranchConfigSpec(branch.selector, branch.branch);
        else
            ComposePrivateBranchConfigSpecAtTime(branch.time, branch.branch);
    }
    MountProfileVOBs("");
    return WriteConfigSpecAndUpdateView(TRUE, kUpdateNoticeAnnounce);
}

BOOL CViewProfile::OfferDissociation(unsigned question) {
    // Logged and answered No when display is suppressed.
    if (AskQuestion(LoadString(question)) == IDYES) Dissociate();
    return FALSE;
}

}  // namespace kelmora

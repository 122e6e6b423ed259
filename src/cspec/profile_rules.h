#pragma once

#include <optional>
#include <string>
#include <string_view>

// A profile's Rules file as the composition reads it: the checked-out rule
// block, the private rules, the profile header, the profile rules and the end
// marker. The composition, the tools that write Rules and the check of a
// Rules text all cut it here.
namespace kelmora {

enum class ERulesSplit { kOk, kNoProfileHeader, kNoEndMarker };

struct CProfileRulesParts {
    std::string_view private_rules;  // as written, between the block and the header
    std::string_view profile_rules;  // as written, between the header and the end marker
    size_t private_at = 0, profile_at = 0, end_at = 0;  // offsets in the text
};

// Cuts the text as the composition does: the block is skipped by its length
// alone, the header is the first one, the end marker the first after it.
// Parts found before a missing marker are filled.
ERulesSplit SplitProfileRules(std::string_view rules, CProfileRulesParts* parts);

// Why the composition could not use a Rules text, and the line (1-based).
struct CRulesProblem {
    int line = 0;
    std::string reason;
};

// Checks what the composition needs: CR LF line ends, the block at the start,
// the header and end marker in that order, nothing after the end marker, and
// two parts that each parse as a config spec. Nothing when it can be used.
std::optional<CRulesProblem> CheckProfileRules(std::string_view rules);

// A Rules text from two plain config specs (any line ends): the block, the
// private rules, the header, the profile rules and the end marker, CR LF.
std::string FormatProfileRules(std::string_view private_rules, std::string_view profile_rules);

}  // namespace kelmora

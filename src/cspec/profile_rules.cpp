#include "cspec/profile_rules.h"

#include <algorithm>

#include "client/cfs_grammar.h"
#include "cspec/text_scan.h"
#include "resources/string_table.h"

namespace kelmora {

namespace {

int LineAt(std::string_view text, size_t offset) {
    return 1 + static_cast<int>(
                   std::count(text.begin(), text.begin() + std::min(offset, text.size()), '\n'));
}

// Every line with CR LF, whatever it ended with; a last line gets one too.
std::string WithCrLf(std::string_view text) {
    std::string out;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        std::string_view line = text.substr(pos, end == std::string_view::npos ? end : end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        out.append(line).append("\r\n");
        pos = end == std::string_view::npos ? text.size() : end + 1;
    }
    return out;
}

std::optional<CRulesProblem> CheckPart(std::string_view rules, size_t at, std::string_view part,
                                       const char* name) {
    const CCfsParseResult parse = ParseConfigSpecText(part, /*keep_rules=*/false);
    if (parse.ok) return std::nullopt;
    return CRulesProblem{LineAt(rules, at) + parse.line - 1,
                         std::string("the ") + name + " do not parse: " + parse.reason};
}

}  // namespace

ERulesSplit SplitProfileRules(std::string_view rules, CProfileRulesParts* parts) {
    const std::string header = LoadString(IDS_RULES_PROFILE_HEADER);
    const size_t header_at = rules.find(header);
    if (header_at == std::string_view::npos) return ERulesSplit::kNoProfileHeader;
    parts->private_at = LoadString(IDS_RULES_CHECKEDOUT_BLOCK).size();
    if (parts->private_at < header_at)
        parts->private_rules = rules.substr(parts->private_at, header_at - parts->private_at);
    parts->profile_at = header_at + header.size();
    const size_t end_at = rules.find(LoadString(IDS_RULES_END_MARKER), header_at);
    if (end_at == std::string_view::npos || end_at < parts->profile_at)
        return ERulesSplit::kNoEndMarker;
    parts->end_at = end_at;
    parts->profile_rules = rules.substr(parts->profile_at, end_at - parts->profile_at);
    return ERulesSplit::kOk;
}

std::optional<CRulesProblem> CheckProfileRules(std::string_view rules) {
    for (size_t lf = rules.find('\n'); lf != std::string_view::npos;
         lf = rules.find('\n', lf + 1)) {
        if (lf == 0 || rules[lf - 1] != '\r')
            return CRulesProblem{LineAt(rules, lf), "the line ends in LF alone; Rules need CR LF"};
    }
    const std::string block = LoadString(IDS_RULES_CHECKEDOUT_BLOCK);
    if (rules.substr(0, block.size()) != block) {
        return CRulesProblem{1, "the checked-out rule block (\"" +
                                    std::string(RestOfLine(block, 0)) +
                                    "\" ...) must come first, unchanged"};
    }
    CProfileRulesParts parts;
    switch (SplitProfileRules(rules, &parts)) {
        case ERulesSplit::kNoProfileHeader:
            return CRulesProblem{
                LineAt(rules, block.size()),
                "no profile header (\"" +
                    std::string(RestOfLine(LoadString(IDS_RULES_PROFILE_HEADER), 0)) +
                    "\" and its comment lines) after the private rules"};
        case ERulesSplit::kNoEndMarker:
            return CRulesProblem{LineAt(rules, rules.size()),
                                 "no end marker (\"" +
                                     std::string(RestOfLine(LoadString(IDS_RULES_END_MARKER), 0)) +
                                     "\") after the profile rules"};
        case ERulesSplit::kOk:
            break;
    }
    const size_t after = parts.end_at + LoadString(IDS_RULES_END_MARKER).size();
    if (!TrimSpace(rules.substr(after)).empty())
        return CRulesProblem{LineAt(rules, after), "text after the end marker is never used"};
    if (auto problem = CheckPart(rules, parts.private_at, parts.private_rules, "private rules"))
        return problem;
    return CheckPart(rules, parts.profile_at, parts.profile_rules, "profile rules");
}

std::string FormatProfileRules(std::string_view private_rules, std::string_view profile_rules) {
    return LoadString(IDS_RULES_CHECKEDOUT_BLOCK) + WithCrLf(TrimSpace(private_rules)) +
           LoadString(IDS_RULES_PROFILE_HEADER) + WithCrLf(profile_rules) +
           LoadString(IDS_RULES_END_MARKER);
}

}  // namespace kelmora

#pragma once

// Each line holds the save's token, so a spec composed from part of one text, or two, shows.
#include <string>
#include <string_view>

#include "cspec/info_block.h"
#include "resources/string_table.h"
#include "store/profile_layout.h"

namespace kelmora::test {

inline constexpr int kStressRuleLines = 200;

inline std::string StressProfileRules(const std::string& token) {
    std::string rules;
    for (int line = 0; line < kStressRuleLines; ++line)
        rules += "element \\vobs\\d" + std::to_string(line) + " " + token + "\r\n";
    return rules;
}

inline std::string StressRulesFile(const std::string& token) {
    return LoadString(IDS_RULES_CHECKEDOUT_BLOCK) + LoadString(IDS_RULES_PROFILE_HEADER) +
           StressProfileRules(token) + LoadString(IDS_RULES_END_MARKER);
}

// The text of each profile file a killed save writes: Rules as above.
inline std::string StressFieldText(int file_index, const std::string& token) {
    return file_index == kProfileRules ? StressRulesFile(token)
                                       : std::string(ProfileFileName(file_index)) + "-" + token;
}

// The token is empty when the generated section is not one complete Rules text.
struct CComposedSpec {
    int minor = -1;
    std::string token;
};

inline CComposedSpec AnalyzeComposedSpec(std::string_view spec) {
    CComposedSpec result;
    CInfoBlockFields fields;
    if (ScanInfoBlock(spec, &fields) == 4) result.minor = fields.minor;
    const std::string header = LoadString(IDS_SECTION_HEADER);
    const size_t at = spec.find(header);
    if (at == std::string_view::npos) return result;
    const std::string_view section = spec.substr(at + header.size());
    constexpr std::string_view kFirst = "\r\nelement \\vobs\\d0 ";
    if (!section.starts_with(kFirst)) return result;
    const size_t end = section.find("\r\n", kFirst.size());
    const std::string token(section.substr(kFirst.size(), end - kFirst.size()));
    if (section == "\r\n" + StressProfileRules(token) + LoadString(IDS_SECTION_END_MARKER))
        result.token = token;
    return result;
}

}  // namespace kelmora::test

#include "cspec/info_block.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "resources/message_text.h"
#include "cspec/text_scan.h"
#include "resources/string_table.h"

namespace kelmora {

namespace {

// One more than the field limit is read, so that an over-long field is seen
// (and refused) instead of being cut and the rest taken for the next value.
constexpr int kScanWidth = static_cast<int>(kInfoBlockFieldMax) + 1;

// Rewrites a scan pattern so that its text conversions are bounded, and
// checks that it converts exactly a line, a word and two numbers, in that
// order, so that the values' storage always fits. Empty when it does not.
std::string BoundedScanPattern(const std::string& pattern) {
    std::string out;
    std::vector<char> conversions;
    for (size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        out += c;
        if (c != '%') continue;
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            out += pattern[++i];
            continue;
        }
        size_t j = i + 1;
        // No suppressed assignments, widths or length modifiers of its own.
        if (j >= pattern.size()) return {};
        char conv = pattern[j];
        if (conv == '[' || conv == 's') {
            out += std::to_string(kScanWidth);
            out += conv;
            if (conv == '[') {
                // The scan set runs to the first ']' that is not its first member.
                size_t k = j + 1;
                if (k < pattern.size() && pattern[k] == '^') out += pattern[k++];
                if (k < pattern.size() && pattern[k] == ']') out += pattern[k++];
                while (k < pattern.size() && pattern[k] != ']') out += pattern[k++];
                if (k >= pattern.size()) return {};
                out += ']';
                j = k;
            }
        } else if (conv == 'd') {
            out += conv;
        } else {
            return {};
        }
        conversions.push_back(conv);
        i = j;
    }
    if (conversions != std::vector<char>{'[', 's', 'd', 'd'}) return {};
    return out;
}

std::string ScanPattern() {
    std::string bounded = BoundedScanPattern(LoadString(IDS_INFO_BLOCK_SCAN));
    if (bounded.empty())
        bounded = BoundedScanPattern(std::string(BuiltinString(IDS_INFO_BLOCK_SCAN)));
    return bounded;
}

}  // namespace

std::string FormatProfileInfoBlock(const CInfoBlockFields& f) {
    return FormatStringId(IDS_INFO_BLOCK, f.name.c_str(), f.guid.c_str(), f.major, f.minor);
}

std::string FormatPrivateBranchInfoBlock(const CInfoBlockFields& f,
                                         const std::string& private_rules) {
    return FormatStringId(IDS_INFO_BLOCK_HEAD, f.name.c_str(), f.guid.c_str(), f.major, f.minor) +
           private_rules + LoadString(IDS_INFO_BLOCK_TAIL);
}

int ScanInfoBlock(std::string_view text, CInfoBlockFields* fields) {
    std::string pattern = ScanPattern();
    std::string input(text);
    std::vector<char> name(kScanWidth + 1, '\0');
    std::vector<char> guid(kScanWidth + 1, '\0');
    int major = 0, minor = 0;
    int count =
        std::sscanf(input.c_str(), pattern.c_str(), name.data(), guid.data(), &major, &minor);
    if (count <= 0) return 0;
    if (std::strlen(name.data()) > kInfoBlockFieldMax) return 0;
    fields->name = name.data();
    if (count == 1) return 1;
    if (std::strlen(guid.data()) > kInfoBlockFieldMax) return 1;
    fields->guid = guid.data();
    if (count >= 3) fields->major = major;
    if (count >= 4) fields->minor = minor;
    return count;
}

std::string InfoBlockClosingLines() {
    return TrimTrailingSpace(LoadString(IDS_INFO_BLOCK_TAIL));
}

bool HasInfoBlockClosingLines(std::string_view text) {
    return text.find(InfoBlockClosingLines()) != std::string_view::npos;
}

}  // namespace kelmora

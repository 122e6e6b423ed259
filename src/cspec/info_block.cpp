#include "cspec/info_block.h"

#include <optional>

#include "cspec/text_scan.h"
#include "resources/message_text.h"
#include "resources/string_table.h"

namespace kelmora {

std::string FormatProfileInfoBlock(const CInfoBlockFields& f) {
    return FormatStringId(IDS_INFO_BLOCK, f.name.c_str(), f.guid.c_str(), f.major, f.minor);
}

std::string FormatPrivateBranchInfoBlock(const CInfoBlockFields& f,
                                         const std::string& private_rules) {
    return FormatStringId(IDS_INFO_BLOCK_HEAD, f.name.c_str(), f.guid.c_str(), f.major, f.minor) +
           private_rules + LoadString(IDS_INFO_BLOCK_TAIL);
}

int ScanInfoBlock(std::string_view text, CInfoBlockFields* fields) {
    // The pattern is file format: always the built-in one. Its conversions are
    // a line, a word and two numbers, in that order.
    const std::string_view pattern = BuiltinString(IDS_INFO_BLOCK_SCAN);
    size_t pos = 0;
    int count = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (IsScanSpace(c)) {
            while (pos < text.size() && IsScanSpace(text[pos])) ++pos;
        } else if (c != '%') {
            if (pos >= text.size() || text[pos] != c) return count;
            ++pos;
        } else if (pattern[++i] == 'd') {
            std::optional<int> value = ScanInt(text, &pos);
            if (!value) return count;
            (count == 2 ? fields->major : fields->minor) = *value;
            ++count;
        } else {
            // "%[^\r\n]" takes the rest of the line; "%s" skips white space
            // and takes a word.
            const bool line = pattern[i] == '[';
            if (line) i = pattern.find(']', i + 2);
            while (!line && pos < text.size() && IsScanSpace(text[pos])) ++pos;
            size_t end = pos;
            while (end < text.size() &&
                   (line ? text[end] != '\r' && text[end] != '\n' : !IsScanSpace(text[end])))
                ++end;
            // An over-long field is refused, never cut; so is one holding a NUL,
            // which no name or GUID has and no composed block could carry.
            if (end == pos || end - pos > kInfoBlockFieldMax ||
                text.substr(pos, end - pos).find('\0') != std::string_view::npos)
                return count;
            if (count == 0) {
                fields->name.assign(text.substr(pos, end - pos));
                fields->name_at = pos;
            } else {
                fields->guid.assign(text.substr(pos, end - pos));
            }
            pos = end;
            ++count;
        }
    }
    return count;
}

std::string InfoBlockClosingLines() {
    return TrimTrailingSpace(LoadString(IDS_INFO_BLOCK_TAIL));
}

bool HasInfoBlockClosingLines(std::string_view text) {
    return text.find(InfoBlockClosingLines()) != std::string_view::npos;
}

}  // namespace kelmora

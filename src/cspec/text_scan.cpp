#include "cspec/text_scan.h"

#include <charconv>

namespace kelmora {

namespace {

// Matches the literal part of a scan pattern at the start of text; the
// position after it, or nothing.
std::optional<size_t> MatchLiteral(std::string_view text, std::string_view literal) {
    size_t pos = 0;
    for (char c : literal) {
        if (IsScanSpace(c)) {
            while (pos < text.size() && IsScanSpace(text[pos])) ++pos;
        } else if (pos < text.size() && text[pos] == c) {
            ++pos;
        } else {
            return std::nullopt;
        }
    }
    return pos;
}

}  // namespace

bool IsScanSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view TrimLeadingSpace(std::string_view text) {
    size_t start = 0;
    while (start < text.size() && IsScanSpace(text[start])) ++start;
    return text.substr(start);
}

std::string TrimTrailingSpace(std::string_view text) {
    size_t end = text.size();
    while (end > 0 && IsScanSpace(text[end - 1])) --end;
    return std::string(text.substr(0, end));
}

std::string TrimSpace(std::string_view text) {
    return TrimTrailingSpace(TrimLeadingSpace(text));
}

std::string_view RestOfLine(std::string_view text, size_t pos) {
    if (pos >= text.size()) return {};
    size_t end = text.find_first_of("\r\n", pos);
    return text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
}

size_t NextLineStart(std::string_view text, size_t pos) {
    size_t lf = text.find('\n', pos);
    return lf == std::string_view::npos ? text.size() : lf + 1;
}

std::optional<std::string> ScanWordAfter(std::string_view text, std::string_view literal) {
    std::optional<size_t> pos = MatchLiteral(text, literal);
    if (!pos) return std::nullopt;
    size_t start = *pos;
    while (start < text.size() && IsScanSpace(text[start])) ++start;
    size_t end = start;
    while (end < text.size() && !IsScanSpace(text[end])) ++end;
    if (end == start) return std::nullopt;
    return std::string(text.substr(start, end - start));
}

std::optional<std::string> ScanLineAfter(std::string_view text, std::string_view literal) {
    std::optional<size_t> pos = MatchLiteral(text, literal);
    if (!pos) return std::nullopt;
    std::string_view line = RestOfLine(text, *pos);
    if (line.empty()) return std::nullopt;
    return std::string(line);
}

std::optional<int> ScanInt(std::string_view text, size_t* pos) {
    size_t at = *pos;
    while (at < text.size() && IsScanSpace(text[at])) ++at;
    bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    // Parsed as a wider magnitude first, so that INT_MIN reads and nothing wraps.
    unsigned long long magnitude = 0;
    auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), magnitude);
    if (error != std::errc()) return std::nullopt;
    const unsigned long long limit = negative ? 2147483648ULL : 2147483647ULL;
    if (magnitude > limit) return std::nullopt;
    *pos = static_cast<size_t>(end - text.data());
    return negative ? static_cast<int>(-static_cast<long long>(magnitude))
                    : static_cast<int>(magnitude);
}

int ScanGuidAndRevision(std::string_view text, std::string* guid, int* major, int* minor) {
    std::optional<std::string> word = ScanWordAfter(text, "");
    if (!word) return 0;
    *guid = *word;
    size_t pos = text.find(*word) + word->size();
    std::optional<int> first = ScanInt(text, &pos);
    if (!first) return 1;
    *major = *first;
    if (pos >= text.size() || text[pos] != '.') return 2;
    ++pos;
    std::optional<int> second = ScanInt(text, &pos);
    if (!second) return 2;
    *minor = *second;
    return 3;
}

}  // namespace kelmora

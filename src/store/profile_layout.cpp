#include "store/profile_layout.h"

#include <cctype>

#include "platform/format.h"

namespace kelmora {

namespace {
constexpr const char* kFileNames[kProfileFileCount] = {
    "Description", "Rules",         "Admin VOB", "VOB List", "Project Branch",
    "Checkpoints", "Project Label", "Diagram",   "GUID",
};

bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

const char* ProfileFileName(int index) {
    return (index >= 0 && index < kProfileFileCount) ? kFileNames[index] : "";
}

bool ParseGuidFileText(std::string_view text, CProfileGuid* out) {
    *out = CProfileGuid{};
    // Every other reader of the file sees it as a C string.
    text = text.substr(0, text.find('\0'));
    size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    size_t start = pos;
    while (pos < text.size() && !IsSpace(text[pos])) ++pos;
    out->guid = std::string(text.substr(start, pos - start));
    if (out->guid.empty()) return false;
    if (!ScanDecimalInt(text, &pos, &out->major)) return false;
    if (pos >= text.size() || text[pos] != '.') return false;
    ++pos;
    // "%d" skips white space after the point too.
    return ScanDecimalInt(text, &pos, &out->minor);
}

std::string FormatGuidFileText(const CProfileGuid& guid) {
    return FormatPrintf("%s %d.%d", guid.guid.c_str(), guid.major, guid.minor);
}

std::string GuidOfGuidFileText(std::string_view text) {
    size_t start = 0;
    while (start < text.size() && IsSpace(text[start])) ++start;
    size_t end = text.find(' ', start);
    return std::string(text.substr(start, end == std::string_view::npos ? end : end - start));
}

}  // namespace kelmora

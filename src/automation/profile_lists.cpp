#include "automation/profile_lists.h"

namespace kelmora {

namespace {
constexpr std::string_view kListSeparators = " \t\r\n,";
}  // namespace

std::vector<std::string> SplitProfileList(std::string_view text) {
    std::vector<std::string> items;
    size_t pos = text.find_first_not_of(kListSeparators);
    while (pos != std::string_view::npos) {
        size_t end = text.find_first_of(kListSeparators, pos);
        items.emplace_back(text.substr(pos, end == std::string_view::npos ? end : end - pos));
        pos = end == std::string_view::npos ? end : text.find_first_not_of(kListSeparators, end);
    }
    return items;
}

std::string NewestFirstCheckpoints(std::string_view text) {
    // Built from the end: putting each name in front would copy the field
    // once per name.
    const std::vector<std::string> names = SplitProfileList(text);
    std::string field;
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        field += *name;
        field += ' ';
    }
    return field;
}

}  // namespace kelmora

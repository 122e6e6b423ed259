#include "automation/vob_list.h"

namespace kelmora {

namespace {
constexpr std::string_view kVobListSeparators = " \t\r\n,";
}  // namespace

std::vector<std::string> SplitVobList(std::string_view text) {
    std::vector<std::string> tags;
    size_t pos = text.find_first_not_of(kVobListSeparators);
    while (pos != std::string_view::npos) {
        size_t end = text.find_first_of(kVobListSeparators, pos);
        tags.emplace_back(text.substr(pos, end == std::string_view::npos ? end : end - pos));
        pos = end == std::string_view::npos ? end : text.find_first_not_of(kVobListSeparators, end);
    }
    return tags;
}

void CVobList::Assign(std::vector<std::string> tags) {
    tags_ = std::move(tags);
    position_ = kNoPosition;
}

void CVobList::Clear() {
    Assign({});
}

std::string CVobList::First() {
    position_ = 0;
    return Next();
}

std::string CVobList::Next() {
    if (position_ == kNoPosition || position_ >= tags_.size()) return {};
    return tags_[position_++];
}

}  // namespace kelmora

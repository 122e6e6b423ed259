#include "automation/vob_list.h"

namespace kelmora {

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

#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kelmora {

// The profile's VOB tags with the one iteration position that GetFirstVOB
// and GetNextVOB share. There is no position until First() runs.
class CVobList {
public:
    void Assign(std::vector<std::string> tags);
    void Clear();

    // Starts at the head: the first tag, or empty when the list is empty.
    std::string First();
    // The tag at the position, then advances; empty before First() and at the end.
    std::string Next();

    const std::vector<std::string>& tags() const { return tags_; }
    bool empty() const { return tags_.empty(); }

private:
    static constexpr size_t kNoPosition = static_cast<size_t>(-1);

    std::vector<std::string> tags_;
    size_t position_ = kNoPosition;
};

}  // namespace kelmora

#pragma once

#include <string>
#include <string_view>
#include <vector>

// The lists that profile files hold: the VOB tags of "VOB List" and the
// checkpoint names of "Checkpoints", both separated by runs of blank, tab,
// CR, LF and comma.
namespace kelmora {

// Every run of characters other than the separators is one item, in file
// order; there is never an empty one.
std::vector<std::string> SplitProfileList(std::string_view text);

// The checkpoint field of a private branch set-up: each name followed by one
// blank, the file's last name first.
std::string NewestFirstCheckpoints(std::string_view text);

}  // namespace kelmora

#pragma once

#include <string>
#include <string_view>

namespace kelmora {

// The config spec of a dissociated view: every comment goes, and with the
// comment lines the profile information block; blank lines and leading
// blanks go too. Rules stay as written, so the view selects what it did.
// A "#" is a comment where the config spec language reads one: at the start
// of a word and outside double quotes ("REL#1" is a label).
std::string StripConfigSpecComments(std::string_view text);

}  // namespace kelmora

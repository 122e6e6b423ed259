#pragma once

#include <string>

namespace kelmora::tools {

// The change from one text to another as a unified diff (as "diff -u" writes
// it, with the given labels after "---" and "+++" and three lines of
// context), or an empty text when the two hold the same lines. Lines are cut
// at LF; a CR before the LF is no part of the line, so CR LF and LF texts
// compare by their contents, unless line_ends_count: then a line whose CR
// came or went has changed, and a changed line shows its CR as "^M". A last
// line without a line end is marked "\ No newline at end of file".
std::string UnifiedDiff(const std::string& old_text, const std::string& new_text,
                        const std::string& old_label, const std::string& new_label,
                        bool line_ends_count = false);

}  // namespace kelmora::tools

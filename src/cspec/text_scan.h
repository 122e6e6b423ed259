#pragma once

#include <optional>
#include <string>
#include <string_view>

// The few pieces of the C runtime's formatted scan and of the string class
// that the config spec engine reads its own markers with, on texts of any
// length and without fixed buffers.
namespace kelmora {

// White space as the scan and the trim functions see it: blank, tab, CR, LF,
// vertical tab and form feed.
bool IsScanSpace(char c);

std::string TrimSpace(std::string_view text);
std::string TrimTrailingSpace(std::string_view text);
std::string_view TrimLeadingSpace(std::string_view text);

// The text from pos up to the next CR or LF (or the end).
std::string_view RestOfLine(std::string_view text, size_t pos);
// Position of the line that follows the one holding pos; text.size() when none.
size_t NextLineStart(std::string_view text, size_t pos);

// The formatted scan of "<literal>%s": every character of literal must match,
// except that a blank in it matches any run of white space, or none; then
// white space is skipped and the word up to the next white space is taken.
// Nothing when the literal does not match or no word follows.
std::optional<std::string> ScanWordAfter(std::string_view text, std::string_view literal);

// The formatted scan of "<literal>%[^\r\n]": as above, then the characters up
// to the next CR or LF, at least one.
std::optional<std::string> ScanLineAfter(std::string_view text, std::string_view literal);

// The formatted scan's "%d" at *pos: white space skipped, an optional sign,
// digits. Nothing when no digit follows or the value does not fit an int
// (the C runtime leaves that undefined); *pos then stays.
std::optional<int> ScanInt(std::string_view text, size_t* pos);

// A GUID file's text, "%s %d.%d": the GUID word, then the revision's major
// and minor numbers. How many of the three were read, in that order.
int ScanGuidAndRevision(std::string_view text, std::string* guid, int* major, int* minor);

}  // namespace kelmora

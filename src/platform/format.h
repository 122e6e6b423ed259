#pragma once

#include <cstdarg>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace kelmora {

// printf-style formatting into a string of whatever length the result needs.
std::string FormatPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatPrintfV(const char* format, va_list args);

// Reads a decimal number as the C scan's "%d" does: white space, an optional
// sign, digits. From *pos on; on success *pos is past the digits. False when
// there is no number or it does not fit an int (refused, never wrapped).
bool ScanDecimalInt(std::string_view text, size_t* pos, int* value);

// The widest field or precision a conversion of a message text may ask for.
// Texts come from language packs that anyone may write; a width of a billion
// would make every message a gigabyte.
constexpr unsigned long kMaxFieldWidth = 4096;

// True when every number in a conversion's flags, width and precision is
// within kMaxFieldWidth.
bool FieldWidthsWithinBound(std::string_view spec);

// One value for a message-format string: numbers and texts.
using CFormatArg = std::variant<long long, std::string>;

// Message-format strings number their inserts: "%1!d!" and "%2!s!" (the part
// between the exclamation marks is a printf conversion), "%1" alone means "%1!s!".
// "%%" gives a percent sign, "%n" a line feed. An insert whose number has no
// value is left out; a value of the wrong kind is converted, never misread; an
// insert whose conversion asks for a field wider than kMaxFieldWidth is left out.
std::string FormatMessageText(std::string_view format, std::initializer_list<CFormatArg> args);

// Takes the text up to the next separator off the front of *rest (all of it
// when there is none).
std::string_view TakeItem(std::string_view* rest, char separator);

}  // namespace kelmora

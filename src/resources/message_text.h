#pragma once

#include <string>

namespace kelmora {

// Formats a numbered printf-style string with the values its built-in text
// expects. A language pack's text is used only when its conversions are the
// built-in text's, in the same order; otherwise the built-in text is, so that
// a faulty catalogue can never make a format read the wrong values.
std::string FormatStringId(unsigned id, ...);

// The conversions of a printf format, one token each ("s", "d", "*d", "ld"),
// joined by blanks; "%%" is no conversion.
std::string PrintfConversions(const std::string& format);

}  // namespace kelmora

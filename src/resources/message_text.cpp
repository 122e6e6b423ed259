#include "resources/message_text.h"

#include <cctype>
#include <cstdarg>
#include <cstring>

#include "platform/format.h"
#include "resources/string_table.h"

namespace kelmora {

std::string PrintfConversions(const std::string& format) {
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (i + 1 < format.size() && format[i + 1] == '%') {
            ++i;
            continue;
        }
        std::string token;
        size_t j = i + 1;
        while (j < format.size() && std::strchr("-+ #0", format[j])) ++j;
        const size_t widths = j;
        while (j < format.size() && (std::isdigit(static_cast<unsigned char>(format[j])) ||
                                     format[j] == '*' || format[j] == '.')) {
            if (format[j] == '*') token += '*';
            ++j;
        }
        // An oversized field never matches a built-in text's conversion.
        if (!FieldWidthsWithinBound(std::string_view(format).substr(widths, j - widths)))
            token += '!';
        while (j < format.size() && std::strchr("hlLqjzt", format[j])) token += format[j++];
        token += j < format.size() ? format[j] : '?';
        if (!out.empty()) out += ' ';
        out += token;
        i = j;
    }
    return out;
}

std::string FormatStringId(unsigned id, ...) {
    std::string text = LoadString(id);
    std::string builtin(BuiltinString(id));
    if (PrintfConversions(text) != PrintfConversions(builtin)) text = builtin;
    va_list args;
    va_start(args, id);
    std::string out = FormatPrintfV(text.c_str(), args);
    va_end(args);
    return out;
}

}  // namespace kelmora

#include "platform/format.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kelmora {

std::string FormatPrintfV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed <= 0) return {};
    std::string out(static_cast<size_t>(needed), '\0');
    std::vsnprintf(out.data(), out.size() + 1, format, args);
    return out;
}

std::string FormatPrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = FormatPrintfV(format, args);
    va_end(args);
    return out;
}

bool ScanDecimalInt(std::string_view text, size_t* pos, int* value) {
    size_t at = *pos;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    const char* first = text.data() + at;
    const char* last = text.data() + text.size();
    // from_chars takes a minus sign but not a plus sign.
    if (first < last && *first == '+' && first + 1 < last && *(first + 1) != '-') ++first;
    int parsed = 0;
    auto [end, error] = std::from_chars(first, last, parsed);
    if (error != std::errc()) return false;
    *value = parsed;
    *pos = static_cast<size_t>(end - text.data());
    return true;
}

bool FieldWidthsWithinBound(std::string_view spec) {
    unsigned long number = 0;
    for (char c : spec) {
        if (c >= '0' && c <= '9') {
            number = number * 10 + static_cast<unsigned long>(c - '0');
            if (number > kMaxFieldWidth) return false;
        } else {
            number = 0;
        }
    }
    return true;
}

namespace {

// Formats one insert with its conversion spec ("d", "5s", "x", ...), choosing
// the argument type from the conversion letter so that a mismatch cannot crash.
std::string FormatInsert(const std::string& spec, const CFormatArg& arg) {
    char conv = spec.empty() ? 's' : spec.back();
    std::string flags = spec.empty() ? std::string() : spec.substr(0, spec.size() - 1);
    // Only width/precision/flag characters may precede the conversion.
    for (char c : flags) {
        if (!(c == '-' || c == '+' || c == ' ' || c == '#' || c == '0' || c == '.' ||
              (c >= '0' && c <= '9')))
            return {};
    }
    if (!FieldWidthsWithinBound(flags)) return {};
    switch (conv) {
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X':
        case 'o':
        case 'c': {
            long long value = 0;
            if (auto n = std::get_if<long long>(&arg))
                value = *n;
            else
                value = std::strtoll(std::get<std::string>(arg).c_str(), nullptr, 10);
            std::string f = "%" + flags + "ll" + (conv == 'i' ? 'd' : conv);
            if (conv == 'c')
                return FormatPrintf(("%" + flags + "c").c_str(), static_cast<int>(value));
            return FormatPrintf(f.c_str(), value);
        }
        case 's':
        case 'S': {
            std::string text;
            if (auto s = std::get_if<std::string>(&arg))
                text = *s;
            else
                text = std::to_string(std::get<long long>(arg));
            return FormatPrintf(("%" + flags + "s").c_str(), text.c_str());
        }
        default:
            return {};
    }
}

}  // namespace

std::string FormatMessageText(std::string_view format, std::initializer_list<CFormatArg> args) {
    std::vector<CFormatArg> values(args);
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        char next = format[i + 1];
        if (next == '%') {
            out += '%';
            ++i;
            continue;
        }
        if (next == 'n') {
            out += '\n';
            ++i;
            continue;
        }
        if (next < '1' || next > '9') {
            out += c;
            continue;
        }
        size_t j = i + 1;
        unsigned number = 0;
        while (j < format.size() && format[j] >= '0' && format[j] <= '9' && number < 100)
            number = number * 10 + static_cast<unsigned>(format[j++] - '0');
        std::string spec = "s";
        if (j < format.size() && format[j] == '!') {
            size_t close = format.find('!', j + 1);
            if (close != std::string_view::npos) {
                spec = std::string(format.substr(j + 1, close - j - 1));
                j = close + 1;
            }
        }
        if (number >= 1 && number <= values.size()) out += FormatInsert(spec, values[number - 1]);
        i = j - 1;
    }
    return out;
}

std::string_view TakeItem(std::string_view* rest, char separator) {
    const size_t end = rest->find(separator);
    std::string_view item = rest->substr(0, end);
    *rest = end == std::string_view::npos ? std::string_view() : rest->substr(end + 1);
    return item;
}

}  // namespace kelmora

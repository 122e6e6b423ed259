// The two formatters with any inserts: message-format texts of any shape, and
// the numbered printf-style strings under a language pack of any content,
// whose texts are used only when their conversions are the built-in ones.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_site.h"
#include "platform/format.h"
#include "resources/message_text.h"
#include "resources/string_table.h"

using namespace kelmora;

namespace {

// A catalogue line's text for any bytes, with the escapes the loader knows.
std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '"':
                out += "\\\"";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Calls the string's format with inserts of the kinds its built-in text takes.
void FormatWithInserts(unsigned id, const std::string& conversions, const char* s1, const char* s2,
                       const char* s3, int d1, int d2) {
    if (conversions == "s") FormatStringId(id, s1);
    if (conversions == "s s") FormatStringId(id, s1, s2);
    if (conversions == "s s s") FormatStringId(id, s1, s2, s3);
    if (conversions == "s d") FormatStringId(id, s1, d1);
    if (conversions == "d d") FormatStringId(id, d1, d2);
    if (conversions == "s s d d") FormatStringId(id, s1, s2, d1, d2);
    if (conversions.empty()) FormatStringId(id);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::string format = fuzz::Part(data + 2, size - 2, 0);
    const std::string first = fuzz::Part(data + 2, size - 2, 1);
    const std::string second = fuzz::Part(data + 2, size - 2, 2);
    const long long number = std::strtoll(first.c_str(), nullptr, 0);
    FormatMessageText(format, {number, first, second});
    FormatMessageText(format, {first, number});

    // The numbered string that a language pack gives this text.
    const auto table = BuiltinStringTable();
    const CStringEntry& entry = table[(data[0] | data[1] << 8) % table.size()];
    const std::string conversions = PrintfConversions(std::string(entry.text));
    static const std::string catalogue = fuzz::CFuzzSite::Get().Scratch("catalogue.txt");
    const std::string line = std::to_string(entry.id) + "\t" + Escaped(format) + "\n";
    fuzz::CFuzzSite::Get().WriteFile(catalogue, line);
    if (!LoadStringCatalogue(catalogue)) std::abort();
    // Texts that files hold are never translated.
    if (LoadString(entry.id) != (IsFileFormatString(entry.id) ? std::string(entry.text) : format))
        std::abort();
    FormatWithInserts(entry.id, conversions, first.c_str(), second.c_str(), format.c_str(),
                      static_cast<int>(number), -static_cast<int>(number & 0xFFFF));
    UnloadStringCatalogue();

    // And the loader over a catalogue of any bytes.
    fuzz::CFuzzSite::Get().WriteFile(catalogue, fuzz::Part(data + 2, size - 2, 3));
    LoadStringCatalogue(catalogue);
    FormatWithInserts(entry.id, conversions, second.c_str(), first.c_str(), "", 1, 2);
    UnloadStringCatalogue();
    return 0;
}

// The config spec parser over any text: it never fails to answer, the quick
// verdict is the full one's, and a verdict names a place inside the text.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "client/cfs_grammar.h"

using namespace kelmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const CCfsParseResult full = ParseConfigSpecText(text, true);
    const CCfsParseResult quick = ParseConfigSpecText(text, false);
    if (full.ok != quick.ok || full.line != quick.line || full.column != quick.column ||
        full.reason != quick.reason || !quick.rules.empty())
        std::abort();
    if (full.ok != full.Diagnostic().empty()) std::abort();
    int lines = 1;
    for (char c : text) lines += c == '\n';
    if (!full.ok && (full.line < 1 || full.line > lines || full.column < 1)) std::abort();
    int previous = 0;
    for (const CCfsRule& rule : full.rules) {
        if (rule.line < previous || rule.line > lines) std::abort();
        if (rule.end_line != 0 && rule.end_line < rule.line) std::abort();
        previous = rule.line;
    }
    return 0;
}

// The information block scan and the scan pieces under it over any text.
// A block that is read back gives the same values once composed again.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cspec/info_block.h"
#include "cspec/text_scan.h"
#include "fuzz_site.h"

using namespace kelmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CInfoBlockFields fields;
    const int count = ScanInfoBlock(text, &fields);
    if (count < 0 || count > 4) std::abort();
    if (fields.name.size() > kInfoBlockFieldMax || fields.guid.size() > kInfoBlockFieldMax)
        std::abort();
    HasInfoBlockClosingLines(text);
    if (count == 4) {
        for (const std::string& composed :
             {FormatProfileInfoBlock(fields), FormatPrivateBranchInfoBlock(fields, "")}) {
            CInfoBlockFields again;
            if (ScanInfoBlock(composed, &again) != 4 || again.name != fields.name ||
                again.guid != fields.guid || again.major != fields.major ||
                again.minor != fields.minor || !HasInfoBlockClosingLines(composed))
                std::abort();
        }
    }

    // A literal and a text of their own for the single scans.
    const std::string literal = fuzz::Part(data, size, 0);
    const std::string subject = fuzz::Part(data, size, 1);
    if (auto word = ScanWordAfter(subject, literal)) {
        if (word->empty()) std::abort();
        for (char c : *word) {
            if (IsScanSpace(c)) std::abort();
        }
    }
    if (auto line = ScanLineAfter(subject, literal)) {
        if (line->empty() || line->find_first_of("\r\n") != std::string::npos) std::abort();
    }
    const std::string trimmed = TrimSpace(subject);
    if (!trimmed.empty() && (IsScanSpace(trimmed.front()) || IsScanSpace(trimmed.back())))
        std::abort();
    for (size_t pos = 0; pos <= subject.size(); pos += 1 + subject.size() / 8) {
        if (NextLineStart(subject, pos) > subject.size() || NextLineStart(subject, pos) < pos)
            std::abort();
        RestOfLine(subject, pos);
    }
    return 0;
}

#pragma once

namespace kelmora {

// Fixed at build time.
struct CVersionRecord {
    const char* module_name;
    const char* version;
    const char* build_date;  // C runtime date text, "Sun Dec  6 08:29:10 2026"
};

const CVersionRecord& VersionRecord();

// One line through the client's message printer (kind 0): the module name in
// a 33-character column, the version, and the build date in parentheses.
void PrintVersionIdentification();

}  // namespace kelmora

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The profile information block at the top of a managed config spec: which
// profile the view follows, the profile's GUID and the profile revision the
// config spec was composed from.
namespace kelmora {

struct CInfoBlockFields {
    std::string name;  // profile path below the tree root, "\..."
    std::string guid;
    int major = 0;
    int minor = 0;
    size_t name_at = 0;  // where the scan found the name in the text
};

// Longest name or GUID the block may carry; a longer one does not match.
inline constexpr size_t kInfoBlockFieldMax = 1023;

// The block as composed from a profile: lines 1 to 9 with the values filled in.
std::string FormatProfileInfoBlock(const CInfoBlockFields& fields);
// The block of a view set up for a private branch: lines 1 to 5, the private
// rules (each ending in CR LF), then the closing lines and two empty lines.
std::string FormatPrivateBranchInfoBlock(const CInfoBlockFields& fields,
                                         const std::string& private_rules);

// Scans the start of a config spec with the block's scan pattern, as the C
// runtime's formatted scan does: white space in the pattern matches any run of
// white space (or none), the name runs to the end of its line, the GUID to the
// next white space; a number that does not fit an int is not read. Returns how many of the four
// values (name, GUID, major, minor) were read, in that order; the block is recognised only at 4.
// The values read are stored in *fields, the others are left as they were.
int ScanInfoBlock(std::string_view text, CInfoBlockFields* fields);

// The closing lines of the block: its tail without the trailing white space.
std::string InfoBlockClosingLines();
// True when the closing lines stand anywhere in the text, exactly.
bool HasInfoBlockClosingLines(std::string_view text);

}  // namespace kelmora

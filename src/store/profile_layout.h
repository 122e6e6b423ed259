#pragma once

#include <string>
#include <string_view>

namespace kelmora {

// The files of a profile folder, by the index the field reader uses.
enum ProfileFileIndex : int {
    kProfileDescription = 0,
    kProfileRules = 1,
    kProfileAdminVob = 2,
    kProfileVobList = 3,
    kProfileProjectBranch = 4,
    kProfileCheckpoints = 5,
    kProfileProjectLabel = 6,
    kProfileDiagram = 7,
    kProfileGuid = 8,
    kProfileFileCount = 9,
};

// "Description", "Rules", "Admin VOB", "VOB List", "Project Branch",
// "Checkpoints", "Project Label", "Diagram", "GUID".
const char* ProfileFileName(int index);

// Top-level folder of a new tree, and the tree's lock file.
inline constexpr const char* kTopLevelFolderName = "Stavemark View Profiles";
inline constexpr const char* kLockFileName = ".rev";
// The Rules as they were before the last save that wrote them, kept hidden in
// the profile folder (a further file: copied and deleted with the profile).
inline constexpr const char* kPreviousRulesFileName = ".Rules.previous";

// Contents of a GUID file: "<guid> <major>.<minor>", one line, no line end.
struct CProfileGuid {
    std::string guid;
    int major = 0;
    int minor = 0;
};

// Parses "%s %d.%d" (leading white space allowed, as the C scan allows); the
// text ends at a NUL, as it does for the C scan.
// A text holding only the GUID gives ok=false but still fills guid.
bool ParseGuidFileText(std::string_view text, CProfileGuid* out);
std::string FormatGuidFileText(const CProfileGuid& guid);

// The GUID alone, as the search by GUID compares it: leading white space
// removed, cut at the first blank.
std::string GuidOfGuidFileText(std::string_view text);

}  // namespace kelmora

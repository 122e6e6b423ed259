// A "VOB List" or "Checkpoints" file of any content: split into names
// without separators and without empty ones, losing no other character; the
// checkpoints newest first; the VOB tags enumerated through GetFirstVOB and
// GetNextVOB from the real file of an associated view.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "automation/profile_lists.h"
#include "automation/view_profile.h"
#include "fuzz_site.h"
#include "support/scripted_ui.h"

using namespace kelmora;

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::CFuzzSite& site = fuzz::CFuzzSite::Get();
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> tags = SplitProfileList(text);
    std::string kept, joined;
    for (char c : text) {
        if (!IsSeparator(c)) kept += c;
    }
    for (const std::string& tag : tags) {
        if (tag.empty()) std::abort();
        for (char c : tag) {
            if (IsSeparator(c)) std::abort();
        }
        joined += tag;
    }
    if (joined != kept) std::abort();
    std::vector<std::string> newest_first = SplitProfileList(NewestFirstCheckpoints(text));
    if (std::vector<std::string>(newest_first.rbegin(), newest_first.rend()) != tags) std::abort();

    static const bool associated = (site.SetViewConfigSpec(site.AssociatedConfigSpec()), true);
    (void)associated;
    site.WriteFile(site.ProfileFile("VOB List"), text);
    test::CScriptedUserInterface ui;
    CViewProfile profile;
    profile.SetViewTag(site.view_tag());
    std::vector<std::string> listed;
    for (std::string tag = profile.GetFirstVOB(); !tag.empty(); tag = profile.GetNextVOB())
        listed.push_back(tag);
    // The reader ends each block's text at a NUL byte.
    if (text.find('\0') == std::string::npos && profile.vob_list_loaded() && listed != tags)
        std::abort();
    return 0;
}

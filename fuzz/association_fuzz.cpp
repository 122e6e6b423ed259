// Read association and recover config spec over a view's config spec of any
// content, on a real tree, with the questions answered by a script. Input:
// a flag byte (1: display suppressed, 2: recover directly, 4: compose after
// the read), then the config spec, the answers, a Rules text and a GUID file
// text, split at NULs; an empty Rules or GUID part keeps the site's own.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "automation/view_profile.h"
#include "fuzz_site.h"
#include "platform/env.h"
#include "support/scripted_ui.h"

using namespace kelmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const fuzz::CFuzzSite& site = fuzz::CFuzzSite::Get();
    const uint8_t flags = data[0];
    const std::string spec = fuzz::Part(data + 1, size - 1, 0);
    const std::string answers = fuzz::Part(data + 1, size - 1, 1);
    const std::string rules = fuzz::Part(data + 1, size - 1, 2);
    const std::string guid = fuzz::Part(data + 1, size - 1, 3);
    site.SetViewConfigSpec(spec);
    site.WriteFile(site.ProfileFile("Rules"), rules.empty() ? site.rules() : rules);
    site.WriteFile(site.ProfileFile("GUID"), guid.empty() ? site.profile_guid() + " 2.5" : guid);
    // The operation log would grow with every run.
    unlink((KelmoraHome() + "/log/viewprofile_log").c_str());

    test::CScriptedUserInterface ui(answers);
    CViewProfile profile;
    profile.SetViewTag(site.view_tag());
    profile.SuppressErrorDisplay((flags & 1) ? TRUE : FALSE);
    if (flags & 2) {
        profile.LoadConfigSpec(FALSE);
        profile.RecoverConfigSpec();
        return 0;
    }
    const BOOL read = profile.ReadAssociation();
    if (read && profile.association_read() && profile.profile_name().empty()) std::abort();
    if (read && (flags & 4)) profile.ComposeProfileConfigSpec();
    return 0;
}

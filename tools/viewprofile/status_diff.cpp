// viewprofile status --diff: what Synchronize would bring to a view that is
// behind, as the change of its profile's Rules since the revision the view
// was composed from.
#include "automation/view_profile.h"
#include "client/preview.h"
#include "look.h"
#include "store/rules_history.h"
#include "unified_diff.h"

namespace kelmora {

CSynchronizeDiff DiffOfSynchronize(IDispatch* object, const CObjectSetup& setup,
                                   const std::string& profile_folder, int32_t from, int32_t to,
                                   const std::string& from_label, const std::string& to_label) {
    CSynchronizeDiff diff;
    std::string old_rules, new_rules;
    CRulesHistoryError error;
    if (from >= 0 && to >= 0 &&
        ReadRulesAtRevision(profile_folder, static_cast<unsigned long>(from), &old_rules, &error) &&
        ReadRulesAtRevision(profile_folder, static_cast<unsigned long>(to), &new_rules, &error)) {
        diff.from_history = true;
        diff.text =
            tools::UnifiedDiff(old_rules, new_rules, "Rules " + from_label, "Rules " + to_label);
        return diff;
    }
    // Not kept: the config spec a Synchronize would write, with every change held back.
    CViewProfile& view = *static_cast<CViewProfile*>(object);
    CPreview held_back;
    {
        CScopedPreview scope(&held_back);
        if (setup.workspace ? view.SetWorkspacePath(*setup.workspace)
                            : view.SetViewTag(setup.view_tag ? *setup.view_tag : ""))
            view.Synchronize(FALSE);
    }
    for (const CPreviewedConfigSpec& write : held_back.config_specs)
        diff.text += ConfigSpecPreviewText(write);
    // Status above shows the private branch or the checkouts.
    if (diff.text.empty())
        diff.text =
            "(Synchronize would write nothing now: a private branch, checkouts or a failure stop "
            "it)\n";
    return diff;
}

}  // namespace kelmora

#include "automation/view_profile.h"

namespace kelmora {

// The mount client is not part of this build: nothing is mounted, and the
// answer says so. Its callers (association, synchronization, recovery) do not
// depend on the result; the automation method answers E_NOTIMPL meanwhile.
BOOL CViewProfile::MountProfileVOBs(const std::string& profile_name) {
    return FALSE;
}

}  // namespace kelmora

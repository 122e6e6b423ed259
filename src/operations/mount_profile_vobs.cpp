// Mounting the profile's VOBs: every VOB of the list that is not mounted gets
// a first try and, after a pause, a second one; only a second failure is
// reported. The user is told which VOBs were mounted.
#include <cstdint>
#include <string>
#include <vector>

#include "automation/client_lock.h"
#include "automation/view_profile.h"
#include "client/registry.h"
#include "client/vob_utl.h"
#include "mount/mntrpc.h"
#include "platform/format.h"
#include "platform/sleep.h"
#include "resources/message_text.h"
#include "resources/string_table.h"

namespace kelmora {

namespace {

// Gives a VOB that could not be mounted a moment (its server starting, its
// storage coming back) before the second try.
constexpr unsigned kRetryPauseMs = 2000;
// Nonzero: the user is not told which VOBs were mounted.
constexpr int kNoMountNoticeParam = 10;

enum class EMountOutcome { kMountedAlready, kMounted, kFailed };

// Checks and mounts under the client lock, so that other users of the client
// libraries can run between one VOB and the next.
EMountOutcome MountUnlessMounted(const std::string& tag, tbs_status_t* status) {
    CClientLock lock;
    if (CViewProfile::IsVobMounted(tag)) return EMountOutcome::kMountedAlready;
    *status = mntrpc_mount_tag(tag.c_str(), "", "");
    return *status == TBS_ST_OK ? EMountOutcome::kMounted : EMountOutcome::kFailed;
}

// One line of the notice: a tab and the tag without its leading separator.
std::string NoticeLine(const std::string& tag) {
    const bool separator = tag.front() == '\\' || tag.front() == '/';
    return "\t" + tag.substr(separator ? 1 : 0) + "\n";
}

bool MountNoticeWanted() {
    uint32_t value = 0;
    return ntregy_get_param(kNoMountNoticeParam, &value, sizeof value) != TBS_ST_OK || value == 0;
}

}  // namespace

BOOL CViewProfile::IsVobMounted(const std::string& tag) {
    CClientLock lock;
    return vob_utl_is_mounted_vob_pname(tag.c_str()) ? TRUE : FALSE;
}

BOOL CViewProfile::MountProfileVOBs(const std::string& profile_name) {
    if (!profile_name.empty()) profile_name_ = profile_name;
    // A name that names no profile would mount nothing without a word.
    if (!profile_name.empty() && !vob_list_loaded_) {
        if (!tree_root_known_ && !LookUpTreeRoot()) return FALSE;
        if (!ProfileFolderExists(profile_name_)) {
            ReportError(error_prefix_ + FormatStringId(IDS_NO_PROFILE_AT, profile_name_.c_str()),
                        MB_ICONEXCLAMATION);
            return FALSE;
        }
    }
    std::string mounted;
    std::vector<std::string> retry;
    tbs_status_t status = TBS_ST_OK;
    for (std::string tag = GetFirstVOB(); !tag.empty(); tag = GetNextVOB()) {
        switch (MountUnlessMounted(tag, &status)) {
            case EMountOutcome::kMounted:
                mounted += NoticeLine(tag);
                break;
            case EMountOutcome::kFailed:
                retry.push_back(tag);
                break;
            case EMountOutcome::kMountedAlready:
                break;
        }
    }
    if (!retry.empty()) {
        // Outside the lock: the pause must not hold up the client libraries.
        SleepMs(kRetryPauseMs);
        for (const std::string& tag : retry) {
            EMountOutcome outcome = MountUnlessMounted(tag, &status);
            if (outcome == EMountOutcome::kMounted) mounted += NoticeLine(tag);
            if (outcome == EMountOutcome::kFailed)
                ReportError(
                    error_prefix_ + FormatMessageText(LoadString(IDS_ERR_MOUNT_VOB),
                                                      {static_cast<long long>(status), tag}),
                    MB_ICONEXCLAMATION);
        }
    }
    if (!mounted.empty() && MountNoticeWanted())
        ReportError(FormatStringId(IDS_VOBS_MOUNTED, mounted.c_str()), MB_ICONINFORMATION);
    return mounted.empty() ? FALSE : TRUE;
}

}  // namespace kelmora

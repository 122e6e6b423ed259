#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "caller.h"
#include "kelmora/automation.h"

// What viewprofile runs in its own process instead of through the loaded
// library: the status of a view and the preview of a method. Both watch the
// operations from below (the preview seam of the client layer), which a
// library with its own copy of that state would hide.
namespace kelmora {

inline constexpr const char* kStatusCommand = "status";
inline constexpr const char* kSyncCommand = "sync";

// The module's application object, started and ended with this object, and
// the View Profile class made here.
class CInProcessModule {
public:
    CInProcessModule();
    ~CInProcessModule();
    CInProcessModule(const CInProcessModule&) = delete;
    CInProcessModule& operator=(const CInProcessModule&) = delete;

    // A new object's dispatch interface; null when the class cannot be had.
    IDispatch* CreateObject();
    static CStringFunctions strings();
};

// The status of the view that setup names (status.cpp): exit 0 up to date
// and clean, 1 something needs the user, 2 the view, its config spec or the
// tree could not be read.
// With diff, what Synchronize would bring too.
int RunStatus(const CObjectSetup& setup, bool json, bool diff = false);
// The same for several views (each tag, then with all every view of the
// client) in one process, which reads each profile's files once: every
// view's status in turn, and the highest exit code.
int RunStatusOfViews(const std::vector<std::string>& view_tags, bool all, bool json);

// What sync --all needs of the status look at one view (status.cpp). The
// object is the view's own; nothing is asked or changed.
struct CViewLook {
    bool looked = false;  // false: failure says what could not be read
    std::string failure;
    std::string view_tag;
    bool associated = false;
    bool edited_outside = false;
    std::string profile_name, profile_guid;  // as the view records them
    std::string profile_state;               // "found", "moved", "gone"
    std::string moved_to;
    std::optional<int64_t> behind;  // null: a revision is not known
    std::string private_branch;
    int checkouts = 0;
    std::vector<std::string> needs;  // the words of status's "needs"
};
CViewLook LookAtView(IDispatch* object, const CObjectSetup& setup);

// viewprofile sync --all (sync_all.cpp): exit 0 when every associated view is
// up to date afterwards, 1 when some need the user, 2 when the views cannot
// be listed.
struct CSyncAllOptions {
    int jobs = 1;
    bool preview = false;
    bool json = false;
};
int RunSyncAll(const CSyncAllOptions& options);

// What --preview shows of a config spec the method would write: what would
// be set, and a unified diff against the view's (preview.cpp).
struct CPreviewedConfigSpec;
std::string ConfigSpecPreviewText(const CPreviewedConfigSpec& write);

// status --diff (status_diff.cpp): what Synchronize would bring to a view that
// is behind. from and to are the minor numbers; the Rules of the profile
// folder at both, from its history; when the view's is not kept there, the
// config spec a held-back Synchronize of the object (named, not yet used)
// composes instead.
struct CSynchronizeDiff {
    bool from_history = false;
    std::string text;  // a unified diff, or what --preview would show
};
CSynchronizeDiff DiffOfSynchronize(IDispatch* object, const CObjectSetup& setup,
                                   const std::string& profile_folder, int32_t from, int32_t to,
                                   const std::string& from_label, const std::string& to_label);

// Runs the method with every change held back, then prints what it would
// have changed (preview.cpp). The exit code is the method's.
int RunPreview(const CObjectSetup& setup, const std::string& method,
               const std::vector<std::string>& arguments);

// viewprofile log: the call log, readably, the calls since a time (an ISO
// 8601 prefix; empty for all) of a view or workspace (empty for all).
int PrintCallLog(const std::string& since, const std::string& view);

}  // namespace kelmora

#pragma once

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
int RunStatus(const CObjectSetup& setup, bool json);
// The same for several views (each tag, then with all every view of the
// client) in one process, which reads each profile's files once: every
// view's status in turn, and the highest exit code.
int RunStatusOfViews(const std::vector<std::string>& view_tags, bool all, bool json);

// Runs the method with every change held back, then prints what it would
// have changed (preview.cpp). The exit code is the method's.
int RunPreview(const CObjectSetup& setup, const std::string& method,
               const std::vector<std::string>& arguments);

// viewprofile log: the call log, readably, the calls since a time (an ISO
// 8601 prefix; empty for all) of a view or workspace (empty for all).
int PrintCallLog(const std::string& since, const std::string& view);

}  // namespace kelmora

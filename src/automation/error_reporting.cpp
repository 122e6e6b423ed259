#include "automation/call_log.h"
#include "automation/operation_log.h"
#include "automation/view_profile.h"
#include "client/client_messages.h"

namespace kelmora {

namespace {
constexpr unsigned kOkCancelButtons = 0x01;
}

void CViewProfile::ReportError(std::string text, unsigned style) {
    if ((style & MB_ICON_MASK) != MB_ICONINFORMATION) failure_reported_ = TRUE;
    if (!suppress_error_display_) {
        UserInterface().MessageBox(text, style);
        return;
    }
    if (call_recorder_) call_recorder_->Logged(text);
    WriteOperationLogEntry(text);
}

void CViewProfile::ReportErrorStop(std::string text) {
    std::string info = PendingClientInfo();
    std::string errors = PendingClientErrors();
    ClearPendingClientMessages();
    if (!info.empty()) ReportError(info, MB_ICONINFORMATION);
    text += errors;
    ReportError(std::move(text), suppress_error_display_ ? MB_OK : MB_ICONSTOP);
}

int CViewProfile::AskQuestion(const std::string& text, unsigned style) {
    if (!suppress_error_display_) return UserInterface().MessageBox(text, style);
    // Nobody can answer: log the question and take the answer that changes nothing.
    ReportError(text, MB_OK);
    switch (style & MB_BUTTON_MASK) {
        case MB_YESNO:
            return IDNO;
        case kOkCancelButtons:
            return IDCANCEL;
        default:
            return IDOK;
    }
}

}  // namespace kelmora

#pragma once

#include <string>

#include "ui/user_interface.h"

namespace kelmora {

// How the tree load and the tree lock report a failure: with to_log, one
// entry in the operation log "viewprofile_log"; otherwise a message box with
// an OK button and the given icon. The text is never prefixed.
void ReportStoreError(const std::string& text, bool to_log, unsigned icon = MB_ICONEXCLAMATION);

}  // namespace kelmora

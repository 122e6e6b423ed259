#pragma once

#include <string>

#include "client/status.h"

// The help library: one HTML page per topic under share/kelmora/help/.
// Opens the topic's page with the desktop's opener (xdg-open) when a desktop
// is there, else prints the page's path on standard error. owner, command and
// data are the callers' window and help command words; a page is opened the
// same way whatever they say. TBS_ST_NOT_FOUND when the topic has no page.
tbs_status_t gu_help(void* owner, const char* topic, int command, int data);

namespace kelmora::client {

// The folder of the help pages: $KELMORA_HELP_DIR when set, else
// share/kelmora/help as the build tree or the install places it beside the
// library (or program) that holds this code, else beside the running program.
// Empty when none exists.
std::string HelpFolder();

// The page of a topic ("private_branch_wizard/finishingaprivbr.htm"); empty
// when the topic leaves the help folder or has no page.
std::string HelpPagePath(const std::string& topic);

// A graphical session is there (DISPLAY or WAYLAND_DISPLAY set) and xdg-open
// can be found.
bool DesktopOpenerAvailable();

}  // namespace kelmora::client

#pragma once

#include <string>

#include "ui/user_interface.h"

namespace kelmora {

// The environment variable that chooses the front end: "qt" for windows,
// "console" (or nothing) for the terminal.
inline constexpr char kFrontEndVariable[] = "KELMORA_UI";

// Reads KELMORA_UI and, for "qt", has the Qt front end loaded on the first
// use of the seam. A front end that cannot be loaded, or an unknown name, is
// said on standard error at that first use, and the console serves.
void ChooseFrontEndFromEnvironment();

// Loads the Qt front end from folder (ModuleFolder()/kFrontEndFolder); nullptr with the reason when
// it cannot serve. The library stays loaded until the process ends.
CUserInterface* LoadQtFrontEnd(const std::string& folder, std::string* reason);

// The folder of the library (or program) that holds the module.
std::string ModuleFolder();

}  // namespace kelmora

#pragma once

#include <vector>

#include "ui/profile_picker.h"

namespace kelmora {

// Loads the View Profile tree anew and lists it as the profile picker shows
// it: every folder before what lies in it, a profile with the first line of
// its "Description" (empty while another process holds the file). False
// after the load has told the user why there is no tree.
bool LoadAndListProfileTree(std::vector<CProfileEntry>* entries);

}  // namespace kelmora

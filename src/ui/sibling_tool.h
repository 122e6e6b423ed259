#pragma once

#include <string>
#include <vector>

#include "platform/process.h"

namespace kelmora {

// Runs one of the client's sibling programs from its argument vector and
// waits for it without a time limit. When it cannot be started the user is
// told so (the program's name and the system's error, stop icon).
CProcessResult RunSiblingTool(const std::vector<std::string>& argv);

}  // namespace kelmora

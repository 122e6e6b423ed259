#pragma once

#include <string>
#include <vector>

namespace kelmora::vptree {

enum : int { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// Runs one command on the loaded tree; args are what follows the command
// word. Returns the exit code.
int RunTreeCommand(const std::string& command, const std::vector<std::string>& args);

// True when the word names a command.
bool IsTreeCommand(const std::string& command);

}  // namespace kelmora::vptree

#pragma once

#include <string>
#include <vector>

namespace kelmora {
class CConsoleUserInterface;
class CTreeNode;
}  // namespace kelmora

namespace kelmora::vptree {

enum : int { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// Runs one command on the loaded tree; args are what follows the command
// word. Returns the exit code.
int RunTreeCommand(const std::string& command, const std::vector<std::string>& args);

// True when the word names a command.
bool IsTreeCommand(const std::string& command);
std::vector<std::string> TreeCommandNames();

// From here on, ls and show print JSON and failures are JSON objects on
// standard error that carry what the recorder (the front end in use) showed.
void UseJsonOutput(const CConsoleUserInterface* recorder);
// "vptree: text" on standard error, or its JSON object; the exit code.
int ReportFailure(const std::string& text);
int ReportUsageError(const std::string& text);
bool JsonOutputInUse();

// The profile an argument names, or null after saying why.
CTreeNode* ResolveProfileArgument(const std::string& argument);
// Its name below the tree root.
std::string ProfileNameOf(const CTreeNode& node);
// False after saying why when the composition could not use the Rules.
bool RulesUsableForSave(const std::string& rules, const std::string& source);
// After a load of the tree failed (and said why): the JSON failure, or the exit code.
int ReportTreeLoadFailure();

// Whether the command works on the whole tree loaded first; the others read
// only what they touch, after CheckTreeRoot.
bool NeedsWholeTree(const std::string& command);

}  // namespace kelmora::vptree

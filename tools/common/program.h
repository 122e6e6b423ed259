#pragma once

#include <string>
#include <vector>

// What every program of the project does the same way: "prog: message" on
// standard error, one wording for misuse with the nearest valid word
// suggested, --version, batch mode, and a standard output that is checked
// before the exit status is given.
namespace kelmora::tools {

enum : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// The name put in front of every message; also what --version prints.
void SetProgramName(const char* name);
const std::string& ProgramName();

// "prog: message" on standard error.
void PrintError(const std::string& message);

// "prog: message" and "Try 'prog --help'." on standard error; kExitUsage.
int UsageError(const std::string& message);

// The valid word that word most likely misspells (a few edits away, letter
// case aside); empty when none is close.
std::string NearestWord(const std::string& word, const std::vector<std::string>& valid);

// "unknown KIND 'word'", with " (did you mean 'nearest'?)" when one is close.
std::string UnknownWordText(const std::string& kind, const std::string& word,
                            const std::vector<std::string>& valid);
// That text as a usage error; kExitUsage.
int UnknownWord(const std::string& kind, const std::string& word,
                const std::vector<std::string>& valid);

// "prog VERSION" on standard output; kExitOk.
int PrintVersion();

// Batch mode (--no-input or KELMORA_NO_INPUT=1): every box takes its default
// and every question No or Cancel, and nothing is read. Requesting it sets the
// variable, so that the programs this one starts read nothing either.
bool NoInputRequested();
void RequestNoInput();

// Flushes standard output: exit_code when everything written reached it,
// else kExitFailed after saying why (a full disk, a closed pipe).
int FinishOutput(int exit_code);

}  // namespace kelmora::tools

#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelmora {

// What became of a program that was started.
struct CProcessResult {
    bool started = false;  // false: it could not be started; error says why
    int error = 0;         // errno of the failed start, or of the wait (ECHILD:
                           // it ran, but its exit status cannot be known)
    int exit_code = -1;    // exit status, or 128 + signal number; -1: unknown
    bool signaled = false;

    bool Succeeded() const { return started && !signaled && exit_code == 0; }
};

// Starts argv[0] (looked up on PATH when it has no slash) with the rest as its
// arguments, never through a shell, and waits for it without a time limit.
CProcessResult RunProcessAndWait(const std::vector<std::string>& argv);

// Starts the program in a session of its own and does not wait. No fork, so
// it is safe in a threaded host. Returns false with *error set when it could
// not be started.
bool StartDetached(const std::vector<std::string>& argv, int* error);
// Reaps the programs started detached that have ended since (each later start
// does it too), so that none stays a zombie for long in a host that runs on.
void ReapDetachedChildren();

// Splits a command line as it was formatted for a message: blanks separate
// arguments, double quotes group (and are removed), a backslash before a double
// quote escapes it, other backslashes stay (paths on shared trees use them).
std::vector<std::string> SplitCommandLine(std::string_view command_line);

// Full path of a program on PATH, or empty.
std::string FindProgramOnPath(const std::string& name);

// Folder of the running executable (for finding sibling programs).
std::string ExecutableFolder();

// Absolute folder of the file (program or library) whose code is at address,
// as the kernel maps it: right even when the loader found the library through
// a relative path. Empty when it cannot be told.
std::string FolderOfCode(const void* address);

}  // namespace kelmora

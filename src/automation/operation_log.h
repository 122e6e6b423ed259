#pragma once

#include <string>

namespace kelmora {

// Name of the operation log in the product's log folder.
inline constexpr const char* kOperationLogName = "viewprofile_log";

// Appends one entry, "text\n", to the operation log, opening and closing the
// log around it; line ends at the end of the text are left out, so every
// entry ends in exactly one. Processes that log at the same time never split an entry.
// A log that cannot be found or opened loses the entry silently: the client
// library deals with its own failures.
void WriteOperationLogEntry(const std::string& text);

// Full path of the operation log (the log folder is created when missing);
// empty when the log folder cannot be determined.
std::string OperationLogPath();

}  // namespace kelmora

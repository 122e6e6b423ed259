#pragma once

#include <string>
#include <string_view>
#include <vector>

// The sibling programs record how they were started when $KELMORA_TOOL_LOG
// names a file: one line per run, the arguments separated by tabs. A tab,
// line feed, carriage return or backslash inside an argument is written as
// \t, \n, \r or \\, so every argument comes back exactly.
namespace kelmora {

// Appends the line in one write, so runs that overlap never mix their lines.
// Does nothing when the variable is unset; a log that cannot be written is
// ignored, the program's work matters more.
void RecordToolInvocation(int argc, const char* const* argv);

std::string FormatToolLogLine(const std::vector<std::string>& args);
std::vector<std::string> ParseToolLogLine(std::string_view line);

}  // namespace kelmora

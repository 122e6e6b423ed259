#pragma once

#include <string>
#include <vector>

// The commands that read a profile's Rules history: log, diff and restore.
namespace kelmora::vptree {

int Log(const std::vector<std::string>& args);
int Diff(const std::vector<std::string>& args);
int Restore(const std::vector<std::string>& args);

}  // namespace kelmora::vptree

#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kelmora::tools {

// Calls run(i) for every index of keys on at most jobs threads (this one
// included), never for two indexes of one key at once; an empty key shares
// with nothing. Returns when every call has returned.
void RunJobsOnePerKey(const std::vector<std::string>& keys, int jobs,
                      const std::function<void(size_t)>& run);

}  // namespace kelmora::tools

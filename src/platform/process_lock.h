#pragma once

#include <mutex>

namespace kelmora {

// The one process-wide lock around sequences of view and VOB library calls.
// Re-entrant for the thread that holds it.
std::recursive_mutex& ProcessWideLock();

}  // namespace kelmora

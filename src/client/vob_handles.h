#pragma once

#include <string>

#include "client/vobs.h"

// What the client's own calls read of an open VOB handle.
namespace kelmora::client {

long long VobRowIdOf(vob_handle_t handle);
const std::string& VobTagOf(vob_handle_t handle);

}  // namespace kelmora::client

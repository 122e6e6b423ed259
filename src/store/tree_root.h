#pragma once

#include <string>

namespace kelmora {

// The tree root as the machine's "ProjectRoot" setting holds it, without one
// trailing separator; empty when the setting is missing or empty.
std::string ReadTreeRootSetting();

}  // namespace kelmora

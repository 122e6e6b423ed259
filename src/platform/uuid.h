#pragma once

#include <string>

namespace kelmora {

// A new random UUID as lower-case 8-4-4-4-12 text.
std::string NewUuidText();

}  // namespace kelmora

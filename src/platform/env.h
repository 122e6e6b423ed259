#pragma once

#include <string>

namespace kelmora {

// Folder of all local state: $KELMORA_HOME, else ~/.kelmora. Not created here.
std::string KelmoraHome();

// Creates the folder and its parents when missing; false with errno set on failure.
bool EnsureFolder(const std::string& path);

}  // namespace kelmora

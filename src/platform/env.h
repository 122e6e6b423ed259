#pragma once

#include <string>

namespace kelmora {

// Folder of all local state: $KELMORA_HOME, else ~/.kelmora. Not created here.
std::string KelmoraHome();

// Creates the folder and its parents when missing (with mode, less the
// umask); false with errno set on failure (ENOTDIR: something else is there).
bool EnsureFolder(const std::string& path, unsigned mode = 0777);
// The same for a folder of the local state, $KELMORA_HOME itself included:
// what is made there is the user's alone (0700).
bool EnsureStateFolder(const std::string& path);

}  // namespace kelmora

#include "platform/env.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kelmora {

std::string KelmoraHome() {
    if (const char* home = std::getenv("KELMORA_HOME"); home && *home) return home;
    const char* user_home = std::getenv("HOME");
    if (!user_home || !*user_home) {
        if (passwd* pw = getpwuid(getuid())) user_home = pw->pw_dir;
    }
    return std::string(user_home ? user_home : "/tmp") + "/.kelmora";
}

bool EnsureFolder(const std::string& path) {
    if (path.empty()) return false;
    // Mostly it is there: one call instead of one per component.
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/') continue;
        std::string part = path.substr(0, pos);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace kelmora

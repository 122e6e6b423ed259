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

namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) return true;
    errno = ENOTDIR;
    return false;
}

}  // namespace

bool EnsureFolder(const std::string& path, unsigned mode) {
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    // Mostly it is there: one call instead of one per component.
    if (IsFolder(path)) return true;
    if (errno == ENOTDIR) return false;
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/') continue;
        std::string part = path.substr(0, pos);
        if (mkdir(part.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) return false;
    }
    return IsFolder(path);
}

bool EnsureStateFolder(const std::string& path) {
    constexpr unsigned kPrivate = 0700;
    return EnsureFolder(KelmoraHome(), kPrivate) && EnsureFolder(path, kPrivate);
}

}  // namespace kelmora

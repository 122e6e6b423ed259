#include "platform/temp_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kelmora {

std::string TempFolder() {
    const char* dir = std::getenv("TMPDIR");
    return (dir && *dir) ? dir : "/tmp";
}

int CreateTempFile(std::string* path, const std::string& prefix, const std::string& suffix) {
    std::string templ = TempFolder() + "/" + prefix + "-XXXXXX" + suffix;
    int fd = suffix.empty() ? mkstemp(templ.data())
                            : mkstemps(templ.data(), static_cast<int>(suffix.size()));
    if (fd < 0) return -1;
    *path = templ;
    return fd;
}

CTempFile& CTempFile::operator=(CTempFile&& other) noexcept {
    if (this != &other) {
        Remove();
        path_ = std::move(other.path_);
        other.path_.clear();
    }
    return *this;
}

bool CTempFile::Create(const std::string& text, const std::string& suffix) {
    Remove();
    std::string path;
    int fd = CreateTempFile(&path, "kelmora", suffix);
    if (fd < 0) return false;
    path_ = path;
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int saved = errno;
            ::close(fd);
            Remove();
            errno = saved;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::close(fd) != 0) {
        int saved = errno;
        Remove();
        errno = saved;
        return false;
    }
    return true;
}

void CTempFile::Adopt(const std::string& path) {
    Remove();
    path_ = path;
}

std::string CTempFile::Release() {
    std::string path = std::move(path_);
    path_.clear();
    return path;
}

void CTempFile::Remove() {
    if (!path_.empty()) {
        ::unlink(path_.c_str());
        path_.clear();
    }
}

}  // namespace kelmora

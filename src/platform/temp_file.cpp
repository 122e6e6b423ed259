#include "platform/temp_file.h"

#include <sys/stat.h>
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

namespace {

// Writes all of text and closes fd; false with errno set.
bool WriteAllAndClose(int fd, const std::string& text) {
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int saved = errno;
            ::close(fd);
            errno = saved;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return ::close(fd) == 0;
}

}  // namespace

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
    if (!WriteAllAndClose(fd, text)) {
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

bool CReplacementFile::Prepare(const std::string& target, const std::string& text) {
    const size_t cut = target.rfind('/');
    const std::string folder = cut == std::string::npos ? "." : target.substr(0, cut);
    const std::string name = cut == std::string::npos ? target : target.substr(cut + 1);
    std::string templ = folder + "/." + name + ".XXXXXX";
    int fd = mkstemp(templ.data());
    if (fd < 0) return false;
    temp_.Adopt(templ);
    target_ = target;
    struct stat st {};
    mode_t mode = 0;
    if (stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode = umask(0);
        umask(mode);
        mode = 0666 & ~mode;
    }
    if (fchmod(fd, mode) != 0) {
        int saved = errno;
        ::close(fd);
        temp_.Remove();
        errno = saved;
        return false;
    }
    if (!WriteAllAndClose(fd, text)) {
        int saved = errno;
        temp_.Remove();
        errno = saved;
        return false;
    }
    return true;
}

bool CReplacementFile::Commit() {
    if (temp_.empty() || ::rename(temp_.path().c_str(), target_.c_str()) != 0) return false;
    temp_.Release();
    return true;
}

}  // namespace kelmora

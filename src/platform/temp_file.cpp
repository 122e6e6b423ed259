#include "platform/temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/fs.h"

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

// Writes all of text; false with errno set.
bool WriteAll(int fd, const std::string& text) {
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

// Writes all of text and closes fd; false with errno set.
bool WriteAllAndClose(int fd, const std::string& text) {
    if (!WriteAll(fd, text)) {
        int saved = errno;
        ::close(fd);
        errno = saved;
        return false;
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

namespace {

constexpr std::string_view kReplacementMark = ".saving-";
constexpr size_t kUniqueLength = 6;  // mkstemp's XXXXXX

// A rename is on disk only when its folder is; file systems that cannot
// flush a folder keep it anyway.
void FlushFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    ::close(fd);
}

std::string FolderOf(const std::string& path) {
    const size_t cut = path.rfind('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

}  // namespace

bool CReplacementFile::Prepare(const std::string& target, const std::string& text, int old_fd) {
    temp_.Remove();
    const size_t cut = target.rfind('/');
    const std::string name = cut == std::string::npos ? target : target.substr(cut + 1);
    std::string templ = FolderOf(target) + "/." + name + std::string(kReplacementMark) + "XXXXXX";
    int fd = mkstemp(templ.data());
    if (fd < 0) return false;
    temp_.Adopt(templ);
    target_ = target;
    struct stat st {};
    mode_t mode = 0;
    if ((old_fd >= 0 && fstat(old_fd, &st) == 0) || stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode = umask(0);
        umask(mode);
        mode = 0666 & ~mode;
    }
    bool ok = fchmod(fd, mode) == 0;
    if (ok) {
        // Closed by the writer, so flushed before.
        ok = WriteAll(fd, text) && fsync(fd) == 0;
    }
    int saved = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        temp_.Remove();
        errno = saved;
    }
    return ok;
}

bool CReplacementFile::Commit() {
    if (temp_.empty()) {
        errno = EINVAL;
        return false;
    }
    if (::rename(temp_.path().c_str(), target_.c_str()) != 0) {
        const int saved = errno;
        temp_.Remove();
        errno = saved;
        return false;
    }
    temp_.Release();
    FlushFolder(FolderOf(target_));
    return true;
}

bool IsReplacementTempName(std::string_view name) {
    if (name.size() < 2 + kReplacementMark.size() + kUniqueLength || name[0] != '.') return false;
    const size_t mark = name.size() - kUniqueLength - kReplacementMark.size();
    if (name.substr(mark, kReplacementMark.size()) != kReplacementMark) return false;
    for (char c : name.substr(name.size() - kUniqueLength)) {
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

void RemoveReplacementLeftovers(const std::string& folder) {
    std::vector<CDirEntry> entries;
    if (!ListDirectory(folder, &entries)) return;
    for (const CDirEntry& entry : entries) {
        if (!entry.is_directory && IsReplacementTempName(entry.name))
            RemoveFile(folder + "/" + entry.name);
    }
}

}  // namespace kelmora

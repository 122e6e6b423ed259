#include "platform/temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <random>
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

// Makes the hidden temporary file beside name in the folder, with a unique
// end in the manner of mkstemp and the given mode (less the umask); the
// descriptor, or -1 with errno set.
int MakeUniqueIn(const CFolder& folder, const std::string& name, mode_t mode,
                 std::string* temp_name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temp_name = "." + name + std::string(kReplacementMark) + RandomNameEnd();
        const int fd = openat(folder.fd(), temp_name->c_str(),
                              O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

mode_t ProcessUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

}  // namespace

CReplacementFile::~CReplacementFile() {
    RemoveTemp();
}

CReplacementFile& CReplacementFile::operator=(CReplacementFile&& other) noexcept {
    if (this != &other) {
        RemoveTemp();
        folder_ = std::move(other.folder_);
        temp_name_ = std::exchange(other.temp_name_, {});
        target_ = std::move(other.target_);
        linked_ = other.linked_;
    }
    return *this;
}

void CReplacementFile::RemoveTemp() {
    if (!temp_name_.empty() && folder_.IsOpen()) unlinkat(folder_.fd(), temp_name_.c_str(), 0);
    temp_name_.clear();
}

bool CReplacementFile::Prepare(const std::string& target, const std::string& text, int old_fd) {
    const size_t cut = target.rfind('/');
    const std::string folder =
        cut == std::string::npos ? "." : (cut == 0 ? "/" : target.substr(0, cut));
    CFolder opened;
    if (!opened.Open(folder)) return false;
    return PrepareIn(opened, cut == std::string::npos ? target : target.substr(cut + 1), text,
                     old_fd);
}

bool CReplacementFile::PrepareIn(const CFolder& folder, const std::string& name,
                                 const std::string& text, int old_fd) {
    RemoveTemp();
    linked_ = false;
    if (!folder_.OpenBeneath(folder, "")) return false;
    target_ = name;
    struct stat st {};
    const mode_t mask = ProcessUmask();
    mode_t mode = 0666 & ~mask;
    // Set-id and sticky bits are never taken over from a file others may have made.
    if ((old_fd >= 0 && fstat(old_fd, &st) == 0) ||
        fstatat(folder_.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        mode = st.st_mode & 0777;
    // Made with its mode where the umask allows it: one request less on a share.
    const int fd = MakeUniqueIn(folder_, name, mode, &temp_name_);
    if (fd < 0) {
        temp_name_.clear();
        return false;
    }
    bool ok = (mode & mask) == 0 || fchmod(fd, mode) == 0;
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
        RemoveTemp();
        errno = saved;
    }
    return ok;
}

bool CReplacementFile::PrepareLinkIn(const CFolder& folder, const std::string& name,
                                     int source_fd) {
    RemoveTemp();
    if (!folder_.OpenBeneath(folder, "")) return false;
    target_ = name;
    // Through /proc the link names the open file itself, not whatever its
    // path names now, and needs no privilege.
    const std::string source = "/proc/self/fd/" + std::to_string(source_fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_name_ = "." + name + std::string(kReplacementMark) + RandomNameEnd();
        linked_ = linkat(AT_FDCWD, source.c_str(), folder_.fd(), temp_name_.c_str(),
                         AT_SYMLINK_FOLLOW) == 0;
        if (linked_) return true;
        if (errno != EEXIST) break;
    }
    const int saved = errno;
    temp_name_.clear();
    errno = saved;
    return false;
}

bool CReplacementFile::Commit(bool sync_folder) {
    if (temp_name_.empty()) {
        errno = EINVAL;
        return false;
    }
    if (!folder_.RenameEntry(temp_name_, folder_, target_, false)) {
        const int saved = errno;
        RemoveTemp();
        errno = saved;
        return false;
    }
    // A rename between two names of one file does nothing: a link of a file
    // the target names already (a save killed after making it) stays.
    if (linked_) folder_.RemoveEntry(temp_name_);
    linked_ = false;
    temp_name_.clear();
    // A rename is on disk only when its folder is.
    if (sync_folder) folder_.Sync();
    return true;
}

bool IsReplacementTempName(std::string_view name) {
    if (name.size() < 2 + kReplacementMark.size() + kUniqueLength || name[0] != '.') return false;
    const size_t mark = name.size() - kUniqueLength - kReplacementMark.size();
    if (name.substr(mark, kReplacementMark.size()) != kReplacementMark) return false;
    return IsRandomNameEnd(name.substr(name.size() - kUniqueLength));
}

std::string RandomNameEnd() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937_64 random(std::random_device{}() ^ static_cast<unsigned>(getpid()));
    std::string end(kUniqueLength, 'X');
    for (char& c : end) c = kLetters[random() % (sizeof kLetters - 1)];
    return end;
}

bool IsRandomNameEnd(std::string_view text) {
    if (text.size() != kUniqueLength) return false;
    for (char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

bool RemoveReplacementLeftovers(const CFolder& folder, bool* holds_files) {
    std::vector<CDirEntry> entries;
    if (holds_files) *holds_files = false;
    if (!folder.List(&entries)) return false;
    bool found = false;
    for (const CDirEntry& entry : entries) {
        if (!entry.is_directory && IsReplacementTempName(entry.name)) {
            folder.RemoveEntry(entry.name);
            found = true;
        } else if (holds_files && entry.is_regular_file) {
            *holds_files = true;
        }
    }
    return found;
}

}  // namespace kelmora

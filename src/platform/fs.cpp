#include "platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <memory>

namespace kelmora {

namespace {

// Keeps errno across a cleanup call.
template <typename F>
void PreservingErrno(F cleanup) {
    const int saved = errno;
    cleanup();
    errno = saved;
}

// Fills the entry's kind from the listing, or from the entry itself (never
// through a link) when the file system does not say.
void FillEntryKind(int folder_fd, unsigned char type, const char* name, CDirEntry* entry) {
    if (type == DT_UNKNOWN) {
        struct stat st {};
        if (fstatat(folder_fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            type = S_ISDIR(st.st_mode)   ? DT_DIR
                   : S_ISREG(st.st_mode) ? DT_REG
                   : S_ISLNK(st.st_mode) ? DT_LNK
                                         : DT_UNKNOWN;
        }
    }
    entry->is_directory = type == DT_DIR;
    entry->is_regular_file = type == DT_REG;
    entry->is_link = type == DT_LNK;
}

long long Nanoseconds(const statx_timestamp& t) {
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

void FillTimes(const struct statx& sx, CEntryTimes* times) {
    times->last_write_ns = Nanoseconds(sx.stx_mtime);
    times->creation_ns =
        (sx.stx_mask & STATX_BTIME) ? Nanoseconds(sx.stx_btime) : times->last_write_ns;
}

}  // namespace

CFolder::CFolder(CFolder&& other) noexcept : fd_(other.fd_), listed_(other.listed_) {
    other.fd_ = -1;
}

CFolder& CFolder::operator=(CFolder&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        listed_ = other.listed_;
        other.fd_ = -1;
    }
    return *this;
}

bool CFolder::Open(const std::string& path, bool path_only) {
    Close();
    fd_ =
        open(path.c_str(), (path_only ? O_PATH : O_RDONLY) | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return fd_ >= 0;
}

bool CFolder::OpenIn(const CFolder& parent, const std::string& name) {
    Close();
    fd_ = openat(parent.fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return fd_ >= 0;
}

bool CFolder::OpenEnterableIn(const CFolder& parent, const std::string& name, bool path_only) {
    Close();
    // Looking up "." in it is what entering it needs, and no link is
    // followed on the way (the name itself, or a link swapped in for it).
    static std::atomic<bool> unavailable = false;
    if (unavailable) {
        errno = ENOSYS;
        return false;
    }
    open_how how{};
    how.flags = (path_only ? O_PATH : O_RDONLY) | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const std::string path = name + "/.";
    fd_ = static_cast<int>(syscall(SYS_openat2, parent.fd_, path.c_str(), &how, sizeof how));
    if (fd_ < 0 && (errno == ENOSYS || errno == EPERM)) {
        // An older kernel, or a filter that forbids the call: ask the old way.
        unavailable = true;
        errno = ENOSYS;
    }
    return fd_ >= 0;
}

bool CFolder::OpenBeneath(const CFolder& base, std::string_view relative) {
    Close();
    if (relative.empty()) {
        fd_ = fcntl(base.fd_, F_DUPFD_CLOEXEC, 0);
        return fd_ >= 0;
    }
    // Every component is checked, so that neither way can climb out.
    for (size_t start = 0; start <= relative.size();) {
        size_t end = relative.find('/', start);
        if (end == std::string_view::npos) end = relative.size();
        const std::string_view name = relative.substr(start, end - start);
        if (name.empty() || name == "." || name == "..") {
            errno = EINVAL;
            return false;
        }
        start = end + 1;
    }
    static std::atomic<bool> no_openat2 = false;
    const std::string path(relative);
    if (!no_openat2) {
        open_how how{};
        how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        fd_ = static_cast<int>(syscall(SYS_openat2, base.fd_, path.c_str(), &how, sizeof how));
        if (fd_ >= 0 || (errno != ENOSYS && errno != EPERM)) return fd_ >= 0;
        no_openat2 = true;
    }
    CFolder at;
    at.fd_ = fcntl(base.fd_, F_DUPFD_CLOEXEC, 0);
    if (at.fd_ < 0) return false;
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        CFolder next;
        if (!next.OpenIn(at, path.substr(start, end - start))) return false;
        at = std::move(next);
        start = end + 1;
    }
    *this = std::move(at);
    return true;
}

void CFolder::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    listed_ = false;
}

bool CFolder::Rewind() const {
    if (!listed_) return true;
    if (lseek(fd_, 0, SEEK_SET) != 0) return false;
    listed_ = false;
    return true;
}

bool CFolder::ReadBatch(std::vector<CDirEntry>* batch) const {
    batch->clear();
    alignas(dirent64) char buffer[32768];
    listed_ = true;
    for (;;) {
        const ssize_t size = getdents64(fd_, buffer, sizeof buffer);
        if (size < 0 && errno == EINTR) continue;
        if (size <= 0) {
            if (size == 0) errno = 0;
            return false;
        }
        for (ssize_t at = 0; at < size;) {
            const auto* e = reinterpret_cast<const dirent64*>(buffer + at);
            at += e->d_reclen;
            const std::string_view name = e->d_name;
            if (name == "." || name == "..") continue;
            CDirEntry entry{std::string(name)};
            FillEntryKind(fd_, e->d_type, e->d_name, &entry);
            batch->push_back(std::move(entry));
        }
        // A batch of only "." and ".." is no end yet.
        if (!batch->empty()) return true;
    }
}

bool CFolder::List(std::vector<CDirEntry>* entries) const {
    bool stopped = false;
    return ListUntil(
        entries, [](const CDirEntry&) { return false; }, &stopped);
}

bool CFolder::GetTimes(CEntryTimes* times, CFileIdentity* identity) const {
    struct statx sx {};
    if (statx(fd_, "", AT_EMPTY_PATH, STATX_MTIME | STATX_BTIME | STATX_INO, &sx) != 0)
        return false;
    FillTimes(sx, times);
    identity->device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    identity->inode = sx.stx_ino;
    identity->birth_ns = (sx.stx_mask & STATX_BTIME) ? Nanoseconds(sx.stx_btime) : 0;
    return true;
}

bool CFolder::IsWritable() const {
    return faccessat(fd_, ".", W_OK | X_OK, AT_EACCESS) == 0;
}

bool CFolder::RemoveEntry(const std::string& name) const {
    return unlinkat(fd_, name.c_str(), 0) == 0;
}

bool CFolder::RemoveSubfolder(const std::string& name) const {
    return unlinkat(fd_, name.c_str(), AT_REMOVEDIR) == 0;
}

bool CFolder::MakeSubfolder(const std::string& name, unsigned mode) const {
    return mkdirat(fd_, name.c_str(), mode) == 0;
}

bool CFolder::MakeLink(const std::string& name, const std::string& target) const {
    return symlinkat(target.c_str(), fd_, name.c_str()) == 0;
}

bool CFolder::Describe(const std::string& name, CDirEntry* entry) const {
    struct stat st {};
    if (fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    entry->name = name;
    entry->is_directory = S_ISDIR(st.st_mode);
    entry->is_regular_file = S_ISREG(st.st_mode);
    entry->is_link = S_ISLNK(st.st_mode);
    return true;
}

bool CFolder::RenameEntry(const std::string& name, const CFolder& to_folder,
                          const std::string& to_name, bool no_replace) const {
    if (!no_replace) return renameat(fd_, name.c_str(), to_folder.fd_, to_name.c_str()) == 0;
    if (renameat2(fd_, name.c_str(), to_folder.fd_, to_name.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    // File systems without the flag (some network ones): check, then rename.
    // The tree lock keeps our own processes from racing between the two.
    struct stat st {};
    if (fstatat(to_folder.fd_, to_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    return renameat(fd_, name.c_str(), to_folder.fd_, to_name.c_str()) == 0;
}

bool CFolder::GetOwner(const std::string& name, unsigned* uid, unsigned* mode) const {
    struct stat st {};
    if (fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW | (name.empty() ? AT_EMPTY_PATH : 0)) !=
        0)
        return false;
    *uid = st.st_uid;
    *mode = st.st_mode;
    return true;
}

void CFolder::Sync() const {
    fsync(fd_);
}

bool RemoveFolderWithContents(const CFolder& parent, const std::string& name,
                              std::string* failed_at) {
    // One level per open folder, with its entries listed once, instead of
    // recursion: a deep tree needs no deep stack.
    struct CLevel {
        CFolder folder;
        std::string path;  // below parent
        std::vector<CDirEntry> entries;
        size_t next = 0;
    };
    int first_error = 0;
    auto failed = [&](const std::string& path) {
        if (first_error == 0) {
            first_error = errno;
            if (failed_at) *failed_at = path;
        }
    };
    std::vector<CLevel> stack;
    auto enter = [&](const CFolder& in, const std::string& entry, const std::string& path) {
        CLevel level;
        level.path = path;
        if (!level.folder.OpenIn(in, entry) || !level.folder.List(&level.entries)) {
            if (errno != ENOENT) failed(path);
            return false;
        }
        stack.push_back(std::move(level));
        return true;
    };
    enter(parent, name, name);
    while (!stack.empty()) {
        CLevel& level = stack.back();
        if (level.next < level.entries.size()) {
            const CDirEntry& entry = level.entries[level.next++];
            const std::string path = level.path + "/" + entry.name;
            if (!entry.is_directory) {
                if (!level.folder.RemoveEntry(entry.name) && errno != ENOENT) failed(path);
            } else if (!enter(level.folder, entry.name, path)) {
                // Neither listed nor removed; what it holds stays.
            }
            continue;
        }
        CLevel done = std::move(stack.back());
        stack.pop_back();
        const CFolder& holder = stack.empty() ? parent : stack.back().folder;
        const size_t cut = done.path.rfind('/');
        const std::string own = cut == std::string::npos ? done.path : done.path.substr(cut + 1);
        done.folder.Close();
        if (!holder.RemoveSubfolder(own) && errno != ENOENT) failed(done.path);
    }
    errno = first_error;
    return first_error == 0;
}

bool CopyFileBetween(const CFolder& from, const std::string& name, const CFolder& to,
                     const std::string& to_name) {
    // Non-blocking, so that a FIFO answers at once instead of waiting for a writer.
    int in = openat(from.fd(), name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (in < 0) return false;
    struct stat st {};
    if (fstat(in, &st) != 0) {
        PreservingErrno([&] { close(in); });
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        close(in);
        errno = S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFileError;
        return false;
    }
    int out = openat(to.fd(), to_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                     st.st_mode & 0777);
    if (out < 0) {
        PreservingErrno([&] { close(in); });
        return false;
    }
    char buf[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t off = 0; off < n;) {
            ssize_t w = write(out, buf + off, static_cast<size_t>(n - off));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                ok = false;
                break;
            }
            off += w;
        }
        if (!ok) break;
    }
    int saved = errno;
    close(in);
    if (ok && fsync(out) != 0) {
        ok = false;
        saved = errno;
    }
    if (close(out) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        unlinkat(to.fd(), to_name.c_str(), 0);
        errno = saved;
    }
    return ok;
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool MakeDirectory(const std::string& path) {
    return mkdir(path.c_str(), 0777) == 0;
}
bool RemoveDirectory(const std::string& path) {
    return rmdir(path.c_str()) == 0;
}
bool RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

bool CanEnterFolder(const std::string& path) {
    return access(path.c_str(), X_OK) == 0;
}

bool GetEntryTimes(const std::string& path, CEntryTimes* times) {
    struct statx sx {};
    if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_MTIME | STATX_BTIME, &sx) != 0)
        return false;
    FillTimes(sx, times);
    return true;
}

bool GetFileIdentity(const std::string& path, CFileIdentity* identity) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return false;
    identity->device = st.st_dev;
    identity->inode = st.st_ino;
    return true;
}

bool IsNameSpaceRoot(const std::string& path) {
    CFileIdentity self, parent;
    return GetFileIdentity(path, &self) && GetFileIdentity(path + "/..", &parent) && self == parent;
}

}  // namespace kelmora

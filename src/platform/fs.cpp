#include "platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
void FillEntryKind(int folder_fd, const dirent& e, CDirEntry* entry) {
    unsigned char type = e.d_type;
    if (type == DT_UNKNOWN) {
        struct stat st {};
        if (fstatat(folder_fd, e.d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
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

}  // namespace

bool ListDirectory(const std::string& path, std::vector<CDirEntry>* entries) {
    entries->clear();
    CFolder folder;
    return folder.Open(path) && folder.List(entries);
}

CFolder::CFolder(CFolder&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

CFolder& CFolder::operator=(CFolder&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool CFolder::Open(const std::string& path) {
    Close();
    fd_ = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return fd_ >= 0;
}

bool CFolder::OpenIn(const CFolder& parent, const std::string& name) {
    Close();
    fd_ = openat(parent.fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return fd_ >= 0;
}

void CFolder::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool CFolder::List(std::vector<CDirEntry>* entries) const {
    entries->clear();
    // The listing gets a descriptor of its own; this one stays usable.
    int listing_fd = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (listing_fd < 0) return false;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(fdopendir(listing_fd), &closedir);
    if (!dir) {
        PreservingErrno([&] { close(listing_fd); });
        return false;
    }
    errno = 0;
    while (dirent* e = readdir(dir.get())) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        CDirEntry entry{std::move(name)};
        FillEntryKind(fd_, *e, &entry);
        entries->push_back(std::move(entry));
        errno = 0;
    }
    return errno == 0;
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

bool MakeDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }
bool RemoveDirectory(const std::string& path) { return rmdir(path.c_str()) == 0; }
bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }
bool RenamePath(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

bool CopyFileTo(const std::string& from, const std::string& to, bool overwrite) {
    // Non-blocking, so that a FIFO answers at once instead of waiting for a writer.
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
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
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (overwrite ? O_TRUNC : O_EXCL);
    int out = open(to.c_str(), flags, st.st_mode & 07777);
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
    if (close(out) != 0) ok = false;
    if (!ok) {
        unlink(to.c_str());
        errno = saved;
    }
    return ok;
}

bool IsFolderWritable(const std::string& path) { return access(path.c_str(), W_OK) == 0; }

bool CanEnterFolder(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

bool RenamePathNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    // File systems without the flag (some network ones): check, then rename.
    // The tree lock keeps our own processes from racing between the two.
    struct stat st {};
    if (lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return rename(from.c_str(), to.c_str()) == 0;
}

bool GetEntryTimes(const std::string& path, CEntryTimes* times) {
    struct statx sx {};
    if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_MTIME | STATX_BTIME, &sx) != 0)
        return false;
    times->last_write_ns =
        static_cast<long long>(sx.stx_mtime.tv_sec) * 1000000000LL + sx.stx_mtime.tv_nsec;
    times->creation_ns =
        (sx.stx_mask & STATX_BTIME)
            ? static_cast<long long>(sx.stx_btime.tv_sec) * 1000000000LL + sx.stx_btime.tv_nsec
            : times->last_write_ns;
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

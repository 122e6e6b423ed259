#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <utility>

#include "platform/fs.h"

namespace kelmora {

void CFileException::Set(int errno_value) {
    os_error = errno_value;
    switch (errno_value) {
        case ENOENT:
        case ENOTDIR:
            cause = FileErrorCause::FileNotFound;
            break;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            cause = FileErrorCause::AccessDenied;
            break;
        case EAGAIN:
        case EDEADLK:
            cause = FileErrorCause::SharingViolation;
            break;
        default:
            cause = FileErrorCause::Other;
            break;
    }
}

namespace {

// Three adjacent lock bytes far past any data the module keeps in a file:
//  denier   - held shared by every open that denies writers;
//  present  - every open holds it shared; an exclusive open holds it exclusively;
//  writer   - held shared by every open with write access.
// A writer takes its byte and then checks that no denier exists, a denier the
// other way round, so two racing opens can both fail but never both succeed.
// Each open sets its bytes in one call (a denier's two lie side by side, and a
// writer's two), then tests the other kind's byte: two calls for a read that
// denies writers, and no fewer will do: a shared lock is granted beside other
// shared locks, so setting one cannot tell whether a writer holds its byte,
// and a test alone would let a writer that starts after it go unseen.
// An exclusive open still takes only the present byte, and the writer byte is
// where it was, so deny-write readers and exclusive writers of earlier builds
// keep sharing correctly with these.
constexpr off_t kPresentByte = 0x7FFFFF00;
constexpr off_t kDenierByte = kPresentByte - 1;
constexpr off_t kWriterByte = kPresentByte + 1;

bool SetLock(int fd, short type, off_t at, off_t length = 1) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = at;
    fl.l_len = length;
    return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// Whether a lock of type on the byte would meet another open's lock; false
// when the test itself fails.
bool TestLock(int fd, short type, off_t at, bool* met) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = at;
    fl.l_len = 1;
    if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
    *met = fl.l_type != F_UNLCK;
    return true;
}

// True when another open description holds a lock on the byte.
bool IsHeldByOthers(int fd, off_t at) {
    bool met = true;
    return !TestLock(fd, F_WRLCK, at, &met) || met;
}

// The shared bytes an open holds: from the first to the last of them.
struct CShareBytes {
    off_t first;
    off_t count;
};
CShareBytes SharedBytes(bool writes, bool denies) {
    const off_t first = denies ? kDenierByte : kPresentByte;
    const off_t last = writes ? kWriterByte : kPresentByte;
    return {first, last - first + 1};
}

// Opens of a missing file that meet one made meanwhile by another process.
constexpr int kCreateAttempts = 5;

int OpenFlags(FileAccess access) {
    switch (access) {
        case FileAccess::Read:
            return O_RDONLY;
        case FileAccess::Write:
            return O_WRONLY;
        case FileAccess::ReadWrite:
            return O_RDWR;
    }
    return O_RDONLY;
}

}  // namespace

CFile::CFile(CFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      lock_fd_(std::exchange(other.lock_fd_, -1)),
      path_(std::move(other.path_)),
      created_(std::exchange(other.created_, false)),
      read_(std::exchange(other.read_, CReadState{})) {}

CFile& CFile::operator=(CFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        lock_fd_ = std::exchange(other.lock_fd_, -1);
        path_ = std::move(other.path_);
        created_ = std::exchange(other.created_, false);
        read_ = std::exchange(other.read_, CReadState{});
    }
    return *this;
}

bool CFile::Open(const std::string& path, FileAccess access, FileShare share, FileCreate create,
                 CFileException* error, FileKind kind) {
    return OpenAt(AT_FDCWD, path, access, share, create, error, kind);
}

bool CFile::OpenIn(const CFolder& folder, const std::string& name, FileAccess access,
                   FileShare share, FileCreate create, CFileException* error, FileKind kind) {
    return OpenAt(folder.fd(), name, access, share, create, error, kind);
}

bool CFile::OpenAt(int dir_fd, const std::string& path, FileAccess access, FileShare share,
                   FileCreate create, CFileException* error, FileKind kind) {
    Close();
    dir_fd_ = dir_fd;
    CFileException local;
    CFileException& err = error ? *error : local;
    err.Clear();
    int flags = OpenFlags(access) | O_CLOEXEC;
    if (kind == FileKind::RegularOnly) flags |= O_NOFOLLOW | O_NONBLOCK;
    // A missing file is made with O_EXCL, so that this open knows that it made
    // the file and can take it back when the share check refuses.
    bool created = false;
    int fd = -1;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        fd = ::openat(dir_fd, path.c_str(), flags);
        if (fd >= 0 || errno != ENOENT || create == FileCreate::OpenExisting) break;
        fd = ::openat(dir_fd, path.c_str(), flags | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) created = true;
        if (fd >= 0 || errno != EEXIST) break;
    }
    // A dangling link: one that may be followed is followed to make its target.
    if (fd < 0 && errno == EEXIST && kind == FileKind::Any) {
        fd = ::openat(dir_fd, path.c_str(), flags | O_CREAT, 0666);
        created = fd >= 0;
    }
    if (fd < 0) {
        err.Set(errno);
        if (errno == ELOOP && kind == FileKind::RegularOnly)
            err.cause = FileErrorCause::NotRegularFile;
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        err.Set(errno);
        ::close(fd);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        err.Set(EISDIR);
        return false;
    }
    const bool regular = S_ISREG(st.st_mode);
    if (kind == FileKind::RegularOnly) {
        if (!regular) {
            ::close(fd);
            err.Set(kNotRegularFileError);
            err.cause = FileErrorCause::NotRegularFile;
            return false;
        }
        // O_NONBLOCK stays: it changes nothing for a regular file.
    }
    fd_ = fd;
    path_ = path;
    // Pipes and devices have no share modes to keep.
    if (regular && !TakeShareLocks(access, share, &err)) {
        // A file that this open made and nobody else has opened meanwhile
        // goes again: a refused open changes nothing.
        if (created && err.cause != FileErrorCause::SharingViolation) {
            struct stat now {};
            if (fstatat(dir_fd, path.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
                now.st_dev == st.st_dev && now.st_ino == st.st_ino)
                ::unlinkat(dir_fd, path.c_str(), 0);
        }
        Close();
        return false;
    }
    // An empty file is not cut: on some file systems (ext4) a cut to nothing
    // makes the close write the new data out at once, as a replacement.
    if (create == FileCreate::CreateAlways && regular && !created && st.st_size > 0 &&
        ftruncate(fd_, 0) != 0) {
        err.Set(errno);
        Close();
        return false;
    }
    created_ = created;
    if (regular) {
        read_.tracked = access == FileAccess::Read && share != FileShare::DenyNone;
        read_.length = st.st_size;
    }
    return true;
}

int CFile::OpenSecondDescriptor(int flags) const {
    // Through the first descriptor, so that both lie on the same file even
    // when the path is replaced between the two opens.
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    int fd = ::open(self.c_str(), flags | O_CLOEXEC);
    if (fd >= 0 || errno != ENOENT) return fd;
    // Without /proc: by path, and only while the path still names the same file.
    fd = ::openat(dir_fd_, path_.c_str(), flags | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return fd;
    struct stat first {
    }, second{};
    if (fstat(fd_, &first) != 0 || fstat(fd, &second) != 0 || first.st_dev != second.st_dev ||
        first.st_ino != second.st_ino) {
        ::close(fd);
        errno = EAGAIN;
        return -1;
    }
    return fd;
}

bool CFile::TakeShareLocks(FileAccess access, FileShare share, CFileException* error) {
    bool writes = access != FileAccess::Read;
    // Read locks need a readable descriptor, write locks a writable one. When
    // the caller's descriptor cannot carry the lock (an exclusive open for
    // reading must still keep everyone out), the locks go on a second
    // descriptor of the same file, held for as long as the file is open.
    int lfd = fd_;
    int second_flags = -1;
    if (share == FileShare::Exclusive && access == FileAccess::Read) second_flags = O_RDWR;
    if (share != FileShare::Exclusive && access == FileAccess::Write) second_flags = O_RDONLY;
    if (second_flags >= 0) {
        lock_fd_ = OpenSecondDescriptor(second_flags);
        if (lock_fd_ < 0 && second_flags == O_RDWR && (errno == EACCES || errno == EROFS)) {
            // A user who may not write the file cannot hold a write lock on it.
            // Such a reader still keeps writers and exclusive openers out, but
            // not other readers, which is all a read-only user can disturb.
            const CShareBytes bytes = SharedBytes(false, true);
            if (!SetLock(fd_, F_RDLCK, bytes.first, bytes.count) ||
                IsHeldByOthers(fd_, kWriterByte)) {
                error->Set(EAGAIN);
                return false;
            }
            return true;
        }
        if (lock_fd_ < 0) {
            error->Set(errno);
            return false;
        }
        lfd = lock_fd_;
    }

    if (share == FileShare::Exclusive) {
        if (SetLock(lfd, F_WRLCK, kPresentByte)) return true;
        error->Set(errno);
        return false;
    }
    const bool denies = share == FileShare::DenyWrite;
    const CShareBytes bytes = SharedBytes(writes, denies);
    // Only an exclusive open holds a byte exclusively, and only the present one.
    if (!SetLock(lfd, F_RDLCK, bytes.first, bytes.count)) {
        error->Set(errno);
        return false;
    }
    if ((writes && IsHeldByOthers(lfd, kDenierByte)) ||
        (denies && IsHeldByOthers(lfd, kWriterByte))) {
        error->Set(EAGAIN);
        return false;
    }
    return true;
}

void CFile::Close() {
    if (lock_fd_ >= 0) ::close(lock_fd_);
    if (fd_ >= 0) ::close(fd_);
    lock_fd_ = -1;
    fd_ = -1;
    path_.clear();
    created_ = false;
    read_ = CReadState{};
}

long CFile::Read(void* buffer, size_t size, CFileException* error) {
    if (read_.at_end) return 0;
    for (;;) {
        ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0) {
            // With writers kept out the file keeps the length it had at the
            // open, so a short read that reaches it is the end.
            read_.position += n;
            read_.at_end =
                read_.tracked && static_cast<size_t>(n) < size && read_.position >= read_.length;
            return static_cast<long>(n);
        }
        if (errno == EINTR) continue;
        if (error) error->Set(errno);
        return -1;
    }
}

bool CFile::Write(const void* data, size_t size, CFileException* error) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (error) error->Set(errno);
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool CFile::ReadAll(std::string* text, CFileException* error, size_t limit) {
    text->clear();
    // Into the text itself, in one read for a file that keeps its length.
    size_t filled = 0;
    const size_t first = read_.length > 0 ? static_cast<size_t>(read_.length) + 1 : 65536;
    const size_t most = limit == SIZE_MAX ? limit : limit + 1;  // one more tells it is over
    text->resize(std::min(first, most));
    for (;;) {
        if (filled > limit) {
            text->clear();
            if (error) error->Set(EFBIG);
            return false;
        }
        if (filled == text->size()) text->resize(std::min(text->size() * 2, most));
        long n = Read(text->data() + filled, text->size() - filled, error);
        if (n <= 0) {
            text->resize(filled);
            return n == 0;
        }
        filled += static_cast<size_t>(n);
    }
}

bool CFile::SeekToStart(CFileException* error) {
    read_.position = 0;
    read_.at_end = false;
    if (lseek(fd_, 0, SEEK_SET) == 0) return true;
    if (error) error->Set(errno);
    return false;
}

bool CFile::Truncate(CFileException* error) {
    if (ftruncate(fd_, 0) == 0 && lseek(fd_, 0, SEEK_SET) == 0) return true;
    if (error) error->Set(errno);
    return false;
}

bool CFile::SetLength(long long length, CFileException* error) {
    if (ftruncate(fd_, static_cast<off_t>(length)) == 0) return true;
    if (error) error->Set(errno);
    return false;
}

bool CFile::Flush(CFileException* error) {
    if (fsync(fd_) == 0) return true;
    if (error) error->Set(errno);
    return false;
}

long long CFile::Length() const {
    struct stat st {};
    if (fstat(fd_, &st) != 0) return -1;
    return st.st_size;
}

namespace {

// True when an open holds the file exclusively: a shared lock would be
// granted beside other readers' locks, so only an exclusive open conflicts.
bool IsHeldExclusively(int fd, bool* held) {
    return TestLock(fd, F_RDLCK, kPresentByte, held);
}

}  // namespace

bool ReadFileUnlessHeldIn(const CFolder& folder, const std::string& name, size_t limit,
                          std::string* text, CFileException* error, bool* regular) {
    text->clear();
    error->Clear();
    if (regular) *regular = false;
    const int fd =
        ::openat(folder.fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error->Set(errno);
        if (errno == ELOOP) error->cause = FileErrorCause::NotRegularFile;
        return false;
    }
    struct stat st {};
    bool held = false;
    const bool stated = fstat(fd, &st) == 0;
    if (regular) *regular = stated && S_ISREG(st.st_mode);
    if (!stated) {
        error->Set(errno);
    } else if (S_ISDIR(st.st_mode)) {
        error->Set(EISDIR);
    } else if (!S_ISREG(st.st_mode)) {
        error->Set(kNotRegularFileError);
        error->cause = FileErrorCause::NotRegularFile;
    } else if (!IsHeldExclusively(fd, &held) || held) {
        error->Set(held ? EAGAIN : errno);
    }
    // A short read that reaches the length at the open is the end (a change
    // meanwhile is the caller's to find, as above); a longer file is read on.
    size_t filled = 0;
    const size_t length = static_cast<size_t>(st.st_size);
    if (error->cause == FileErrorCause::None) {
        text->resize(std::min(limit, length + 1));
        for (;;) {
            if (filled == text->size()) {
                if (filled >= limit) break;
                text->resize(std::min(limit, std::max<size_t>(filled * 2, 4096)));
            }
            const size_t wanted = text->size() - filled;
            const ssize_t n = ::read(fd, text->data() + filled, wanted);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) error->Set(errno);
            if (n <= 0) break;
            filled += static_cast<size_t>(n);
            if (static_cast<size_t>(n) < wanted && filled >= length) break;
        }
    }
    ::close(fd);
    text->resize(error->cause == FileErrorCause::None ? filled : 0);
    return error->cause == FileErrorCause::None;
}

bool ReadUnlessHeldExclusively(const std::string& path, size_t limit, std::string* text,
                               bool* held) {
    text->clear();
    *held = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool read = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && IsHeldExclusively(fd, held);
    read = read && !*held;
    std::string block(limit, '\0');
    for (size_t done = 0; read && done < limit;) {
        const ssize_t n = ::read(fd, block.data() + done, limit - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            read = n == 0;
            block.resize(done);
            break;
        }
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    if (read) *text = std::move(block);
    return read;
}

}  // namespace kelmora

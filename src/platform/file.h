#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kelmora {

class CFolder;

// Why an open or an I/O call failed, with the operating system's error number.
// NotRegularFile: an open for regular files only met a link, a FIFO, a device
// or a socket (see FileKind).
enum class FileErrorCause {
    None,
    FileNotFound,
    AccessDenied,
    SharingViolation,
    Other,
    NotRegularFile
};

struct CFileException {
    FileErrorCause cause = FileErrorCause::None;
    int os_error = 0;

    void Set(int errno_value);
    void Clear() { *this = CFileException{}; }
};

enum class FileAccess { Read, Write, ReadWrite };

// What an open denies to every other open of the same file while it is held.
// DenyWrite lets others read; Exclusive lets nobody else open the file at all.
enum class FileShare { DenyNone, DenyWrite, Exclusive };

enum class FileCreate {
    OpenExisting,  // fail when missing
    OpenAlways,    // create when missing, keep the contents
    CreateAlways,  // create or truncate (a regular file; others are written as they are)
};

// RegularOnly opens without following a link and without waiting (a FIFO
// would wait for its other end), and refuses anything but a regular file.
enum class FileKind { Any, RegularOnly };

// A file opened with a share mode. The share mode is kept as advisory locks on
// the open file description (OFD byte-range locks), so it holds between
// processes and on network file systems that forward byte-range locks, and it
// is released exactly when this object closes the file. An open that the share
// check refuses leaves no file behind that it created itself.
class CFile {
public:
    CFile() = default;
    ~CFile() { Close(); }
    CFile(CFile&& other) noexcept;
    CFile& operator=(CFile&& other) noexcept;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    bool Open(const std::string& path, FileAccess access, FileShare share, FileCreate create,
              CFileException* error, FileKind kind = FileKind::Any);
    // The same for the entry name of a folder held open (never a path that
    // could lead through a link to elsewhere).
    bool OpenIn(const CFolder& folder, const std::string& name, FileAccess access, FileShare share,
                FileCreate create, CFileException* error, FileKind kind = FileKind::Any);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    // The last open made the file (it did not exist before).
    bool created() const { return created_; }

    // Reads up to size bytes; returns the count read (0 at the end), or -1
    // with error set.
    long Read(void* buffer, size_t size, CFileException* error);
    // Writes all bytes or fails.
    bool Write(const void* data, size_t size, CFileException* error);
    // The rest of the file; more than limit bytes fails with EFBIG (an
    // endless device, a huge file) before the memory runs out.
    bool ReadAll(std::string* text, CFileException* error, size_t limit = SIZE_MAX);
    bool SeekToStart(CFileException* error);
    bool Truncate(CFileException* error);
    // Cuts or extends the file to length bytes; the position stays.
    bool SetLength(long long length, CFileException* error);
    bool Flush(CFileException* error);
    long long Length() const;

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

private:
    bool OpenAt(int dir_fd, const std::string& path, FileAccess access, FileShare share,
                FileCreate create, CFileException* error, FileKind kind);
    bool TakeShareLocks(FileAccess access, FileShare share, CFileException* error);
    int OpenSecondDescriptor(int flags) const;

    int dir_fd_ = -1;  // the folder an open is made in, during the open only

    // Where a read that keeps writers out stands; it knows the end of the
    // file without asking once more.
    struct CReadState {
        bool tracked = false;  // opened for reading only, writers denied
        long long length = 0;  // at the open
        long long position = 0;
        bool at_end = false;
    };

    int fd_ = -1;
    int lock_fd_ = -1;  // a writable descriptor when the share lock needs one
    std::string path_;
    bool created_ = false;
    CReadState read_;
};

// A look at a small regular file that takes no share lock at all, so that
// it never makes an opener wait: its first limit bytes, unless an open holds
// it exclusively (then false with *held), or it cannot be read (false).
bool ReadUnlessHeldExclusively(const std::string& path, size_t limit, std::string* text,
                               bool* held);

// One read of the regular file name in folder, up to limit bytes, that takes
// no share lock either, so that no writer waits for it: for reads that are
// checked against changes otherwise (the tree's settled reads). Refused, as a
// reader that denies writers is, while an open holds the file exclusively
// (SharingViolation); a link, FIFO or device is never opened (NotRegularFile).
// *regular: the name is a regular file, whether or not it could be read.
bool ReadFileUnlessHeldIn(const CFolder& folder, const std::string& name, size_t limit,
                          std::string* text, CFileException* error, bool* regular = nullptr);

}  // namespace kelmora

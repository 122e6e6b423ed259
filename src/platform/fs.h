#pragma once

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

namespace kelmora {

// What an entry is in itself: a link is reported as a link, never as what it
// points at.
struct CDirEntry {
    std::string name;
    bool is_directory = false;
    bool is_regular_file = false;
    bool is_link = false;
};

// Times of a file or folder (a link's own, not its target's) in nanoseconds
// since the Unix epoch. Creation is the birth time where the file system keeps
// one, else the last write time.
struct CEntryTimes {
    long long creation_ns = 0;
    long long last_write_ns = 0;
};

// Device and inode number: tells whether two paths name the same folder.
struct CFileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    // When the file system tells it (else 0): a folder removed and made anew
    // may get the same inode number, never the same birth.
    long long birth_ns = 0;
    bool operator==(const CFileIdentity& other) const {
        return device == other.device && inode == other.inode &&
               (birth_ns == 0 || other.birth_ns == 0 || birth_ns == other.birth_ns);
    }
};

// A folder held open while its entries are listed and removed relative to it,
// so that a folder swapped for a link meanwhile is never followed. Every call
// returns false with errno set on failure.
class CFolder {
public:
    CFolder() = default;
    ~CFolder() { Close(); }
    CFolder(CFolder&& other) noexcept;
    CFolder& operator=(CFolder&& other) noexcept;
    CFolder(const CFolder&) = delete;
    CFolder& operator=(const CFolder&) = delete;

    // Fails (ELOOP or ENOTDIR) when the last component is a link.
    // path_only: as OpenEnterableIn's; such a folder serves only to open
    // folders below it (OpenBeneath), and on a share costs no request of its own.
    bool Open(const std::string& path, bool path_only = false);
    bool OpenIn(const CFolder& parent, const std::string& name);
    // Opens the subfolder name, itself no link, only when the calling process
    // may also make it its current directory: one call where the kernel
    // resolves names below a descriptor without links (openat2), else false
    // with ENOSYS and nothing tried. path_only: a descriptor to reach the
    // folder's entries by, not to list it (no open request on a share).
    bool OpenEnterableIn(const CFolder& parent, const std::string& name, bool path_only = false);
    // Opens the folder at relative (components joined by '/', none empty,
    // "." or "..") below base, following no link on the way and never
    // leaving base: openat2 with RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS where
    // the kernel has it, else one O_NOFOLLOW open per component. An empty
    // relative opens base itself again. ELOOP or ENOTDIR for a link.
    bool OpenBeneath(const CFolder& base, std::string_view relative);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Every entry but "." and "..", in the file system's order, from the
    // first one however often it is called.
    bool List(std::vector<CDirEntry>* entries) const;
    // The same, but stops after the first entry for which stop says true
    // (without reading the rest of the folder); *stopped tells whether it did.
    template <typename Stop>
    bool ListUntil(std::vector<CDirEntry>* entries, Stop stop, bool* stopped) const;
    // The folder's times and identity, in one call.
    bool GetTimes(CEntryTimes* times, CFileIdentity* identity) const;
    // The calling process may create and remove entries in the folder.
    bool IsWritable() const;
    // Removes an entry that is not a folder (a link itself, not its target).
    bool RemoveEntry(const std::string& name) const;
    bool RemoveSubfolder(const std::string& name) const;  // must be empty
    // Makes the subfolder (mode less the umask) or a link named name to target.
    bool MakeSubfolder(const std::string& name, unsigned mode = 0777) const;
    bool MakeLink(const std::string& name, const std::string& target) const;
    // What the entry is in itself (a link is a link); false with ENOENT when absent.
    bool Describe(const std::string& name, CDirEntry* entry) const;
    // Renames the entry name to to_name in to_folder; with no_replace an
    // existing target fails with EEXIST (a plain rename replaces an empty folder).
    bool RenameEntry(const std::string& name, const CFolder& to_folder, const std::string& to_name,
                     bool no_replace) const;
    // Owner and mode of an entry (a link's own), or of the folder itself for "".
    bool GetOwner(const std::string& name, unsigned* uid, unsigned* mode) const;
    // Flushes the folder's entries (a rename in it) to disk.
    void Sync() const;

private:
    // Reads the next batch of entries into entries_batch; false at the end
    // (errno 0) or on failure.
    bool ReadBatch(std::vector<CDirEntry>* entries_batch) const;
    bool Rewind() const;

    int fd_ = -1;
    mutable bool listed_ = false;  // the descriptor's position is past the first entry
};

template <typename Stop>
bool CFolder::ListUntil(std::vector<CDirEntry>* entries, Stop stop, bool* stopped) const {
    entries->clear();
    *stopped = false;
    if (!Rewind()) return false;
    std::vector<CDirEntry> batch;
    while (ReadBatch(&batch)) {
        for (CDirEntry& entry : batch) {
            entries->push_back(std::move(entry));
            if (stop(entries->back())) {
                *stopped = true;
                return true;
            }
        }
    }
    return errno == 0;
}

// Removes the subfolder name of parent with everything in it, never following
// a link (a link is removed itself). Goes on past what cannot be removed;
// false with errno and *failed_at (the path below parent) of the first failure.
bool RemoveFolderWithContents(const CFolder& parent, const std::string& name,
                              std::string* failed_at = nullptr);

// Copies the regular file name of from into a new file to_name of to (which
// must not exist), bytes and permission bits (at most 0777). Neither is
// followed through a link; a source that is not a regular file is refused at
// once (EISDIR for a folder, else kNotRegularFileError).
bool CopyFileBetween(const CFolder& from, const std::string& name, const CFolder& to,
                     const std::string& to_name);

bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);

// Each returns false with errno set on failure.
bool MakeDirectory(const std::string& path);
bool RemoveDirectory(const std::string& path);  // must be empty
bool RemoveFile(const std::string& path);
inline constexpr int kNotRegularFileError = EINVAL;

// True when the calling process may make the folder its current directory.
bool CanEnterFolder(const std::string& path);

// Times of a file or folder (see CEntryTimes).
bool GetEntryTimes(const std::string& path, CEntryTimes* times);

// Identity of what path names, through links.
bool GetFileIdentity(const std::string& path, CFileIdentity* identity);

// True when the folder is its own parent: the root of the whole name space,
// which has no folder above it to keep private data apart.
bool IsNameSpaceRoot(const std::string& path);

}  // namespace kelmora

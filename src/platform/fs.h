#pragma once

#include <string>
#include <vector>

namespace kelmora {

struct CDirEntry {
    std::string name;
    bool is_directory = false;
};

// The entries of a folder, without "." and "..", in the order the file system
// gives them. False with errno set when the folder cannot be listed.
bool ListDirectory(const std::string& path, std::vector<CDirEntry>* entries);

bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);

// Each returns false with errno set on failure.
bool MakeDirectory(const std::string& path);
bool RemoveDirectory(const std::string& path);  // must be empty
bool RemoveFile(const std::string& path);
bool RenamePath(const std::string& from, const std::string& to);
// Copies bytes and permission bits; fails when the target exists and overwrite is false.
bool CopyFileTo(const std::string& from, const std::string& to, bool overwrite);

// True when the calling process may create files in the folder.
bool IsFolderWritable(const std::string& path);

// True when the calling process may make the folder its current directory.
bool CanEnterFolder(const std::string& path);

// Renames like RenamePath but never replaces an existing target: fails with
// EEXIST instead (a plain rename silently replaces an empty folder).
bool RenamePathNoReplace(const std::string& from, const std::string& to);

// Times of a file or folder in nanoseconds since the Unix epoch. Creation is
// the birth time where the file system keeps one, else the last write time.
struct CEntryTimes {
    long long creation_ns = 0;
    long long last_write_ns = 0;
};
bool GetEntryTimes(const std::string& path, CEntryTimes* times);

// Device and inode number: tells whether two paths name the same folder.
struct CFileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    bool operator==(const CFileIdentity&) const = default;
};
bool GetFileIdentity(const std::string& path, CFileIdentity* identity);

// True when the folder is its own parent: the root of the whole name space,
// which has no folder above it to keep private data apart.
bool IsNameSpaceRoot(const std::string& path);

}  // namespace kelmora

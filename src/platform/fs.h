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

}  // namespace kelmora

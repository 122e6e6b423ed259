#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

#include "platform/fs.h"

namespace kelmora {

// Folder for temporary files: $TMPDIR, else /tmp.
std::string TempFolder();

// Creates a new, empty file with a unique name (mkstemp) under TempFolder().
// suffix, when given, ends the name (".txt"). Returns an open descriptor and
// the path, or -1 with errno set.
int CreateTempFile(std::string* path, const std::string& prefix = "kelmora",
                   const std::string& suffix = "");

// A temporary file that is removed when the object dies, whatever the path out.
class CTempFile {
public:
    CTempFile() = default;
    ~CTempFile() { Remove(); }
    CTempFile(CTempFile&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
    CTempFile& operator=(CTempFile&& other) noexcept;
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;

    // Creates the file and writes text into it; false with errno set on failure.
    bool Create(const std::string& text = "", const std::string& suffix = "");
    // Takes ownership of an existing path.
    void Adopt(const std::string& path);
    // Gives up ownership: the file stays.
    std::string Release();
    void Remove();

    const std::string& path() const { return path_; }
    bool empty() const { return path_.empty(); }

private:
    std::string path_;
};

// A new version of a file, written beside it under a hidden temporary name
// (".<name>.saving-XXXXXX"), flushed to disk and put in its place with one
// rename by Commit(), so that readers, and whoever looks after a crash, find
// the old contents or the new ones, never a part. Removed unless committed.
class CReplacementFile {
public:
    CReplacementFile() = default;
    ~CReplacementFile();
    CReplacementFile(CReplacementFile&& other) noexcept
        : folder_(std::move(other.folder_)),
          temp_name_(std::exchange(other.temp_name_, {})),
          target_(std::move(other.target_)),
          linked_(other.linked_) {}
    CReplacementFile& operator=(CReplacementFile&& other) noexcept;
    CReplacementFile(const CReplacementFile&) = delete;
    CReplacementFile& operator=(const CReplacementFile&) = delete;

    // Writes text into the temporary file and flushes it. It gets the
    // permission bits (never more than 0777) of old_fd (the old file, held
    // open by the caller) when given, else of the target when it exists.
    // False with errno set.
    bool Prepare(const std::string& target, const std::string& text, int old_fd = -1);
    // The same for the entry name of a folder held open; the folder is kept
    // open until the commit.
    bool PrepareIn(const CFolder& folder, const std::string& name, const std::string& text,
                   int old_fd = -1);
    // The same without writing: the hidden name becomes a hard link of the
    // open file source_fd, whose text is on disk already. False with errno
    // set (EPERM, EXDEV, ENOTSUP... where the file system or the user may
    // not link), and the caller writes the text instead.
    bool PrepareLinkIn(const CFolder& folder, const std::string& name, int source_fd);
    // Renames it over the target and flushes the folder (unless the caller
    // flushes it once after several commits). False with errno set; the
    // temporary file is then removed and the target is as it was.
    bool Commit(bool sync_folder = true);
    // The hidden name it is written under; empty before Prepare.
    const std::string& temp_name() const { return temp_name_; }

private:
    void RemoveTemp();

    CFolder folder_;
    std::string temp_name_;
    std::string target_;
    bool linked_ = false;
};

// Six letters or digits chosen at random, as mkstemp's XXXXXX end a name;
// and whether a text is such an end.
std::string RandomNameEnd();
bool IsRandomNameEnd(std::string_view text);

// Whether a folder entry is the temporary file of a replacement: one that a
// writer killed before its rename left behind.
bool IsReplacementTempName(std::string_view name);
// Removes such leftovers from a folder (never anything else); the caller
// keeps other writers of the folder out. True when there were any.
// *holds_files: whether the folder holds any other plain file.
bool RemoveReplacementLeftovers(const CFolder& folder, bool* holds_files = nullptr);

}  // namespace kelmora

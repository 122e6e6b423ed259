#pragma once

#include <string>
#include <string_view>

#include "platform/file.h"
#include "platform/fs.h"
#include "platform/temp_file.h"
#include "store/tree_node.h"

// A save of the Rules first records in the lock file ".rev", after the tree
// revision, which GUID file text it is going to write ("pending", the
// profile's name and that text on one line), and clears the record after the
// bump. A save cut in between leaves the record, and the next process that
// takes the tree lock for writing finishes the bump, so that new Rules never
// stand at the old revision, where every view would count as up to date.
namespace kelmora {

struct CPendingBump {
    std::string profile_name;  // below the tree root ("\Stavemark View Profiles\Proj")
    std::string guid_text;     // the GUID file's text to reach
};

// The record's line, and the record found in a lock file's text (false when
// it holds none, or only part of one).
std::string PendingBumpLine(const CPendingBump& pending);
bool FindPendingBump(std::string_view lock_text, CPendingBump* pending);

// Raises the profile's GUID file to the recorded text unless it stands there
// or beyond already, or the profile is gone. False when it could not be
// done now (the record is then kept).
bool CompletePendingBump(const CPendingBump& pending);

// Whether the lock file of the tree at tree_root (a native path) records an
// unfinished bump of the profile; read without creating or locking anything.
bool HasPendingBump(const std::string& tree_root, std::string_view profile_name);

// The node's name below the current tree root.
std::string StoredProfileName(const CTreeNode& node);

// Writes a GUID file's new text whole: a replacement renamed over it, or, in
// a folder that takes no new file, one write at its start, filled with
// blanks to the old length, so that a kill leaves the old text or the new.
class CGuidFileWriter {
public:
    bool Prepare(const CFolder& folder, const CFile& held, const std::string& text,
                 CFileException* error);
    // Written in place in any case, over old_length bytes: for a save whose
    // pending bump (which holds the text) finishes a write it does not live
    // to make, so that the file needs no replacement.
    void PrepareInPlace(const std::string& text, long long old_length);
    bool Write(CFile& held, CFileException* error, bool sync_folder = true);

private:
    CReplacementFile replacement_;
    bool in_place_ = false;
    std::string text_;
};

}  // namespace kelmora

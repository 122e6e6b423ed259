#pragma once

#include <string>

#include "platform/file.h"
#include "store/tree_node.h"

// Reading a whole profile into a profile record and writing it back, for a
// tree editing host.
namespace kelmora {

// Which files a save writes.
enum ProfileSaveMask : unsigned {
    kSaveNothing = 0x001,
    kSaveDescription = 0x002,
    kSaveRules = 0x004,  // also raises the profile revision
    kSaveAdminVob = 0x008,
    kSaveVobList = 0x010,
    kSaveProjectBranch = 0x020,
    kSaveCheckpoints = 0x040,
    kSaveProjectLabel = 0x080,
    kSaveDiagram = 0x100,  // copied from the record's diagram source path
};

// Appends the file with that index (profile_layout.h) of the node at
// full_path to text; opened once, denying writers. Returns the cause of a
// failed open (text unchanged), else FileErrorCause::None.
FileErrorCause ReadProfileField(const std::string& full_path, int file_index, std::string* text);

// Reads the seven text files into a new record of the node, under the tree
// lock for reading, then tells whether the user may change it. The node may
// be replaced by its counterpart in a reloaded tree.
bool LoadProfile(CTreeNode*& node);

// True when the current user cannot change the profile (its GUID file) or
// the tree (its lock file).
bool IsProfileReadOnly(const CTreeNode& node);

// Replaces the node's file with text, exclusively; says so when it cannot.
bool WriteProfileFile(const CTreeNode& node, const std::string& file_name, const std::string& text);

// Raises the minor number of the profile revision in the GUID file by one.
// A GUID file with a GUID but no revision counts as 0.0; one without a GUID
// is left alone (false).
bool BumpProfileRevision(const CTreeNode& node);

// Writes the files that mask selects under the tree lock for writing (rules
// last, with a bump of the profile revision); the node is left not loaded.
// A new name is then given with a rename, asking the user for another name
// for as long as it fails. False when the lock was not obtained, a file was
// not written, or the profile did not get a name the user accepted (it may
// then have been deleted at the user's request).
bool SaveProfile(CTreeNode*& node, CProfileRecord record, unsigned mask,
                 const std::string& new_name);

}  // namespace kelmora

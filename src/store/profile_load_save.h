#pragma once

#include <span>
#include <string>

#include "platform/file.h"
#include "platform/fs.h"
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

// The seven texts of a profile record, each with the profile file it is read
// from (profile_layout.h) and the save mask bit that writes it, in file order.
struct CProfileTextField {
    int file_index;
    std::string CProfileRecord::*text;
    unsigned save_bit;
};
std::span<const CProfileTextField> ProfileTextFields();

// Appends the file with that index (profile_layout.h) of the node at
// full_path to text; opened once, denying writers. Returns the cause of a
// failed open (text unchanged), else FileErrorCause::None.
FileErrorCause ReadProfileField(const std::string& full_path, int file_index, std::string* text);
// The same for any file of the profile folder by its name (the hidden
// kPreviousRulesFileName, say).
FileErrorCause ReadProfileFolderFile(const std::string& full_path, const char* file_name,
                                     std::string* text);
// The same in a profile folder already open.
FileErrorCause ReadFileInFolder(const CFolder& folder, const char* file_name, std::string* text);

// Reads the seven text files into a new record of the node, reading again
// while a change meets the read (the tree lock only after several tries),
// then tells whether the user may change it. When the tree moved since the
// node was confirmed, the node is checked again (a conflicting change when
// its folder is gone).
bool LoadProfile(CTreeNode*& node);

// True when the current user cannot change the profile (its GUID file) or
// the tree (its lock file). *busy: true only because other processes held
// the lock file throughout, so the user may well change it later.
bool IsProfileReadOnly(const CTreeNode& node, bool* busy = nullptr);

// How a save ended.
enum class ESaveOutcome {
    kNotSaved,      // nothing written (or a write failed); reported
    kSaved,         // written, and named when a new name was given
    kSavedUnnamed,  // written, but the new name could not be given
    kDeleted,       // a new profile that the user gave up when it could not be named
    // Only with quiet_refusals, unreported, nothing written:
    kReadOnly,  // the user may not change the profile (its GUID file) or the tree (its lock file)
    kTreeBusy,  // others held the tree lock throughout
    kConflict,  // the node's folder is gone or another one since it was found
};

// Writes the files that mask selects under the tree lock for writing (rules
// last, then the profile revision rises); the node is left not loaded. Every
// file the save writes is opened exclusively first, retrying while a reader
// holds it; when one stays refused nothing is written. The diagram is copied
// in through a temporary file. A new name is then given with a rename, asking
// the user for another name while it fails; only a new_profile (one that this
// save names for the first time) may then be deleted at the user's request.
// With quiet_refusals the caller words a read-only profile or a busy tree
// itself, so that it needs no read-only test of its own before the save;
// and a node whose folder holds no file is no profile (kConflict).
ESaveOutcome SaveProfile(CTreeNode*& node, CProfileRecord record, unsigned mask,
                         const std::string& new_name, bool new_profile = false,
                         bool quiet_refusals = false);

}  // namespace kelmora

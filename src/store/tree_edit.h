#pragma once

#include <optional>
#include <string>

#include "store/tree_node.h"

// Changes to the shape of the View Profile tree for a tree editing host. Each
// takes the tree lock for writing with the node it is given (which may be
// replaced by its counterpart in a reloaded tree), shows its messages in
// message boxes, and releases the lock with a revision bump when it changed
// something.
namespace kelmora {

// Highest number of the numbered names an operation tries ("New Folder (99)").
inline constexpr int kLastNumberedName = 99;

// Makes "New Folder", else "New Folder (2)" ... "(99)" under parent; the new
// node stands first among parent's children. Null when none could be made.
CTreeNode* MakeNewFolder(CTreeNode*& parent);

// Without a source, creates an empty profile "TBD (1)" ... "TBD (99)". With
// the full path of a source profile, copies its plain files: into its own
// folder as "Copy of NAME", "Copy (2) of NAME" ...; into another folder under
// its own name. Unless keep_guid, the new profile gets a new GUID file with
// revision 0.0. Null when nothing was made (or what was made is gone again).
CTreeNode* CreateOrCopyProfile(CTreeNode*& parent, const std::optional<std::string>& source_path,
                               bool keep_guid);

// Renames the node's folder. A new name that is empty, ".", "..", begins with
// a dot or holds a separator is refused with EINVAL and changes nothing. On
// failure errno tells why (0 when the lock was not obtained).
bool RenameNode(CTreeNode*& node, const std::string& new_name);

// Removes the node's folder with everything below it; a link in it is removed
// itself and never followed. First checks that all of it can go (only files,
// links and the folders of the tree, each removable by this user); otherwise
// says why and removes nothing. True when the node's folder is gone.
bool DeleteNode(CTreeNode*& node);

}  // namespace kelmora

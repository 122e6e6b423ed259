#pragma once

#include <string>
#include <string_view>

#include "platform/fs.h"

// The folders of the current tree, reached from a descriptor of the tree
// root and never through a link: a folder of the tree swapped for a link
// after the load makes the operation fail instead of acting elsewhere. The
// load, the edits, the saves and the readers of profile files share it.
namespace kelmora {

// Opens the current tree root; false with errno set.
bool OpenTreeRootFolder(CFolder* root);

// Opens the folder of a node by its full path (the tree root alone is the
// root folder); false with errno set (ELOOP or ENOTDIR where a link stands,
// EINVAL for a path outside the tree).
bool OpenTreeFolder(std::string_view full_path, CFolder* folder);

// Opens the folder that holds the node's folder and gives the node's own name.
bool OpenTreeParent(std::string_view full_path, CFolder* parent, std::string* name);

// A hidden name in a folder for a profile being made (a copy, filled before
// it is renamed into place) or a subtree being removed (renamed aside first):
// ".kelmora-making-XXXXXX" or ".kelmora-removing-XXXXXX". Loads never take
// a name that begins with a dot into the tree.
std::string HiddenEditName(bool removing);
bool IsHiddenEditName(std::string_view name);
// Removes what a killed copy or delete left in the folder (never anything
// else); the caller holds the tree lock for writing.
void RemoveHiddenEditLeftovers(const CFolder& folder);

}  // namespace kelmora

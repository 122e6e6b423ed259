#pragma once

#include "store/tree_node.h"

namespace kelmora {

// Reads the View Profile tree below the tree root setting into memory, under
// the tree lock taken for reading, and makes it the current tree. A tree root
// without any folder gets the top-level folder first. Returns the first
// top-level node, or null; failures are reported through the store reporter
// (to_log: into the operation log instead of a message box).
CTreeNode* LoadProfileTree(bool to_log);

}  // namespace kelmora

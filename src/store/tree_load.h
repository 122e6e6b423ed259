#pragma once

#include <functional>
#include <string>
#include <vector>

#include "store/current_tree.h"
#include "store/tree_node.h"

namespace kelmora {

// Reads the View Profile tree below the tree root setting into memory as a
// settled read (settled_read.h: no writer waits for it; it walks again when a
// change met the walk) and makes it the current tree. A tree root
// without any folder gets the top-level folder first. Returns the first
// top-level node, or null; failures are reported through the store reporter
// (to_log: into the operation log instead of a message box).
// read_in_profiles: files the walk reads in each profile folder it finds, as
// part of the same read (WalkFileRead gives them). stop_at: a search's test of
// those reads; the profiles after the first that passes it, in the order of
// FindNodeByPath, are left unread (their nodes have no WalkFileRead).
using ProfileReadsMatch = std::function<bool(const std::vector<CProfileFileRead>&)>;
CTreeNode* LoadProfileTree(bool to_log,
                           const std::vector<CProfileFileToRead>& read_in_profiles = {},
                           const ProfileReadsMatch& stop_at = {});

// The first steps of a load: reads the tree root setting into the current
// tree root and checks that a tree can be read there, reporting as the load
// does when not.
bool CheckTreeRoot(bool to_log);

// For a change or a read of one node: reads only the folders on the way from
// the current tree root (CheckTreeRoot) to full_path, as the load would, and
// makes them the current tree (the node and the folders above it, each the
// only child of the next), confirmed at no revision: a read or a change of
// the node checks it again. Returns the node, or null with the outcome;
// reports nothing.
enum class ETreePath {
    kFound,
    kNotInTree,  // full_path is no node of the tree
    kUnsure,     // only a load of the whole tree can tell (and report) why
                 // not: a folder on the way could not be read, the root is a profile
};
CTreeNode* LoadProfileTreePath(const std::string& full_path, ETreePath* outcome);
// Makes the current tree the one profile at full_path that an earlier
// command found in the tree as the folder with that identity (or named by
// its path alone: identity null), without reading anything: the tree lock
// checks it again before it is changed.
CTreeNode* AdoptKnownProfile(const std::string& full_path, const CFileIdentity* identity);

}  // namespace kelmora

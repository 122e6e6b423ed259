#pragma once

#include <string>

namespace kelmora::vptree {

// The full path of the tree node that a command-line argument names: a
// stored-form profile name ("\Stavemark View Profiles\Proj") or a native path
// of a folder below the tree root. Empty when it names nothing below the root.
std::string FullPathOfArgument(const std::string& argument, const std::string& tree_root);

// The name below the tree root of a node's full path ("\Stavemark View Profiles\Proj").
std::string StoredNameOf(const std::string& full_path, const std::string& tree_root);

}  // namespace kelmora::vptree

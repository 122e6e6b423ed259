#pragma once

#include <string>
#include <string_view>

namespace kelmora {

// Profile names keep their stored form, a backslash-separated path below the
// tree root ("\Stavemark View Profiles\Proj"), because trees and config specs
// are shared with other platforms. A name whose components include an empty
// one, "." or ".." is not a profile name: it could lead outside the tree.
bool IsValidProfileName(std::string_view name);

// The one conversion from the stored form to a native path:
// tree root + profile name + optional "\file". Returns empty when the name (or
// file name) is not valid; a root ending in a separator is not doubled.
std::string ProfileNativePath(std::string_view tree_root, std::string_view profile_name,
                              std::string_view file_name = {});

// Native path of a tree node. A node's full path is the tree root followed by
// stored-form names ("/srv/profiles\Stavemark View Profiles\Proj"); the root
// alone names the root folder. Empty when the full path does not begin with
// the root or a name in it (or the file name) is not valid.
std::string NodeNativePath(std::string_view tree_root, std::string_view full_path,
                           std::string_view file_name = {});

// A single folder or file name that may safely be created in a folder: not
// empty, not "." or "..", and without either separator.
bool IsValidEntryName(std::string_view name);

}  // namespace kelmora

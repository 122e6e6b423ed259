#pragma once

#include <functional>
#include <string>

#include "store/tree_node.h"

namespace kelmora {

// Reads a profile's GUID file (native path) into text; a missing file reads
// as an empty text. False when the read failed (the reader has reported it).
using GuidFileReader = std::function<bool(const std::string& path, std::string* text)>;

// Searches from start, then from its next sibling, then from its first child,
// for a profile not yet loaded whose GUID file names guid: leading white
// space skipped, cut at the first blank, compared exactly. Folders and loaded
// profiles are passed over without reading; a failed read goes on searching.
CTreeNode* FindProfileNodeByGuid(CTreeNode* start, const std::string& guid,
                                 const GuidFileReader& read_guid_file);

// The profile name of a node of the current tree: its path below the tree
// root ("\Stavemark View Profiles\Proj"); empty when it is not a valid name.
std::string ProfileNameOfNode(const CTreeNode& node);

}  // namespace kelmora

#pragma once

#include <functional>
#include <string>

#include "platform/file.h"
#include "store/tree_node.h"

namespace kelmora {

// Reads a profile's GUID file (native path) into text; a missing file reads
// as an empty text. False when the read failed (the reader has reported it).
using GuidFileReader = std::function<bool(const std::string& path, std::string* text)>;

// How a search reads GUID files. peek: one open and read from any thread,
// without waiting or a report (FileNotFound for a missing file); read: on the
// searching thread, for a file the peek could not settle.
struct CGuidFileReaders {
    std::function<FileErrorCause(const std::string& path, std::string* text)> peek;
    GuidFileReader read;
};

// Searches from start, then from its next sibling, then from its first child,
// for a profile not yet loaded whose GUID file names guid: leading white
// space skipped, cut at the first blank, compared exactly. Folders and loaded
// profiles are passed over without reading; a failed read goes on searching.
// Up to RequestsInFlight() GUID files are read at once, in search order; the
// answer and the reports are those of reading one at a time, and no file is
// read after the answer is known. Where the load's walk read the GUID files,
// the search goes through those reads instead (and reads only a file whose
// read failed, as the reader that waits and reports).
CTreeNode* FindProfileNodeByGuid(CTreeNode* start, const std::string& guid,
                                 const CGuidFileReaders& readers);

// The profile name of a node of the current tree: its path below the tree
// root ("\Stavemark View Profiles\Proj"); empty when it is not a valid name.
std::string ProfileNameOfNode(const CTreeNode& node);

}  // namespace kelmora

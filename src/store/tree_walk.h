#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/fs.h"
#include "store/current_tree.h"
#include "store/tree_node.h"

namespace kelmora {

// What the walk knows of a folder before it lists it.
struct CFolderFacts {
    CEntryTimes times;
    CFileIdentity identity;
    bool has_identity = false;
};

// Builds the nodes of one tree. Works with full paths and descriptors instead
// of the process's current directory: each folder is opened below its
// parent's descriptor and listed once; where a file is read in each profile,
// a folder in which that file is a regular file is a profile without a
// listing (held by its path only, so that on a share it costs no open). The folders are read with
// up to RequestsInFlight() requests in flight; the nodes, their order and what went unread come out
// as a walk one folder at a time would give them.
class CTreeWalk {
public:
    // width 0: RequestsInFlight().
    explicit CTreeWalk(CTreeNodeArena* arena, unsigned width = 0);

    // The node of the folder at native_path (open in folder unless it could
    // not be opened), whose full path is full_path, with everything below it.
    // *listed: its listing was read. folder must stay open during the call.
    CTreeNode* BuildNode(const std::string& full_path, const std::string& native_path,
                         const CFolder& folder, const CFolderFacts& facts, bool* listed = nullptr);

    // The nodes on the way from the root folder down through names, each
    // folder entered as the walk enters it and listed no further than the
    // walk would: the last one's node, or null when the way leaves the tree
    // (a name that is no folder of the tree, or one below a profile).
    // *unsure: a folder on the way could not be read, or the root is a
    // profile, which only a load of the whole tree can tell about.
    CTreeNode* BuildPath(const std::string& root, const std::string& native_root,
                         const CFolder& root_folder, const std::vector<std::string>& names,
                         bool* unsure);

    // Each profile folder's files to read while the walk holds the folder
    // open (no lookup of its path again), kept with the nodes in the arena.
    void ReadInEachProfile(std::vector<CProfileFileToRead> files) { files_ = std::move(files); }
    // What a search looks for in those reads: once the first profile in
    // search order (FindNodeByPath's) whose reads match is certain, the
    // profiles after it are walked without reading their files.
    using Match = std::function<bool(const std::vector<CProfileFileRead>&)>;
    void StopReadingAtFirst(Match match) { match_ = std::move(match); }

    // The facts of an open folder, by its descriptor; by its path where the
    // descriptor cannot tell.
    static CFolderFacts FactsOf(const CFolder& folder, const std::string& native_path);

    // The folders that could be entered but not opened or listed, with why,
    // in walk order: a tree read without them could take a profile in them for gone.
    const std::vector<std::pair<std::string, int>>& unreadable() const { return unreadable_; }
    // The file that made the walk's first folder (the root) a profile.
    const std::string& first_file() const { return first_file_; }

private:
    CTreeNodeArena* arena_;
    unsigned width_;
    std::vector<std::pair<std::string, int>> unreadable_;
    std::string first_file_;
    std::vector<CProfileFileToRead> files_;
    Match match_;
};

}  // namespace kelmora

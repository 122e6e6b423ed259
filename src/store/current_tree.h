#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/file.h"
#include "store/tree_node.h"

// The process-wide state of the profile store: the tree root that the last
// tree load read, the tree it built, and the tree revision under which that
// tree was last confirmed. All of it is used from one thread.
namespace kelmora {

const std::string& CurrentTreeRoot();
void SetCurrentTreeRoot(std::string root);

// First top-level node of the current tree (the others follow as its
// siblings), or null when no load has built one.
CTreeNode* CurrentTree();

// A file of a profile folder as the walk that found the profile read it,
// through the folder it held open: the text, or why it could not be read.
struct CProfileFileRead {
    std::string name;
    FileErrorCause cause = FileErrorCause::None;
    std::string text;
};

// A file that a walk reads in each profile folder it finds, up to limit bytes.
struct CProfileFileToRead {
    std::string name;
    size_t limit = SIZE_MAX;
};

// The nodes of one tree, owned together, with the files their walk read.
class CTreeNodeArena {
public:
    CTreeNode* Add(std::unique_ptr<CTreeNode> node);
    void KeepFileReads(const CTreeNode* node, std::vector<CProfileFileRead> reads);
    const CProfileFileRead* FileRead(const CTreeNode& node, std::string_view name) const;

private:
    std::vector<std::unique_ptr<CTreeNode>> nodes_;
    std::unordered_map<const CTreeNode*, std::vector<CProfileFileRead>> file_reads_;
};

// Makes a freshly built tree the current one. The nodes of the tree it
// replaces are freed: a host drops its old nodes, and the tree lock re-finds
// a node that a caller hands in by its path.
void ReplaceCurrentTree(CTreeNode* first, CTreeNodeArena nodes);
// Counts replacements, so that a holder can tell that its nodes are gone.
unsigned long CurrentTreeGeneration();

// The read of the file name that the load of the current tree made in the
// node's profile folder (LoadProfileTree's read_in_profiles), or null.
const CProfileFileRead* WalkFileRead(const CTreeNode& node, std::string_view name);

// Keeps a node that an edit adds to the current tree for as long as that tree.
CTreeNode* AdoptTreeNode(std::unique_ptr<CTreeNode> node);

// The tree revision the current tree was built or last confirmed under; -1
// when unknown.
int CachedTreeRevision();
void SetCachedTreeRevision(int revision);

// Visits start, then searches from its next sibling, then from its first
// child; the first node whose full path equals full_path (exactly) is the
// result. Every visited node is stamped with the cached tree revision, so an
// empty path stamps everything from start on.
CTreeNode* FindNodeByPath(CTreeNode* start, std::string_view full_path);

// Native path of a node's folder (or of a file in it) below the current tree
// root; empty when the node's path does not lie below that root.
std::string NativePathOfNode(const CTreeNode& node, std::string_view file_name = {});
std::string NativePathOfFullPath(std::string_view full_path, std::string_view file_name = {});

}  // namespace kelmora

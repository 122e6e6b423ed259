#include "store/current_tree.h"

#include "platform/paths.h"

namespace kelmora {

namespace {
struct CStoreState {
    std::string tree_root;
    CTreeNode* first = nullptr;
    CTreeNodeArena nodes;
    unsigned long generation = 0;
    int cached_revision = -1;
};

CStoreState& State() {
    static CStoreState state;
    return state;
}
}  // namespace

const std::string& CurrentTreeRoot() {
    return State().tree_root;
}
void SetCurrentTreeRoot(std::string root) {
    State().tree_root = std::move(root);
}

CTreeNode* CurrentTree() {
    return State().first;
}

CTreeNode* CTreeNodeArena::Add(std::unique_ptr<CTreeNode> node) {
    nodes_.push_back(std::move(node));
    return nodes_.back().get();
}

void CTreeNodeArena::KeepFileReads(const CTreeNode* node, std::vector<CProfileFileRead> reads) {
    file_reads_[node] = std::move(reads);
}

const CProfileFileRead* CTreeNodeArena::FileRead(const CTreeNode& node,
                                                 std::string_view name) const {
    const auto found = file_reads_.find(&node);
    if (found == file_reads_.end()) return nullptr;
    for (const CProfileFileRead& read : found->second)
        if (read.name == name) return &read;
    return nullptr;
}

const CProfileFileRead* WalkFileRead(const CTreeNode& node, std::string_view name) {
    return State().nodes.FileRead(node, name);
}

void ReplaceCurrentTree(CTreeNode* first, CTreeNodeArena nodes) {
    CStoreState& state = State();
    state.first = first;
    state.nodes = std::move(nodes);
    ++state.generation;
}

unsigned long CurrentTreeGeneration() {
    return State().generation;
}

CTreeNode* AdoptTreeNode(std::unique_ptr<CTreeNode> node) {
    return State().nodes.Add(std::move(node));
}

int CachedTreeRevision() {
    return State().cached_revision;
}
void SetCachedTreeRevision(int revision) {
    State().cached_revision = revision;
}

CTreeNode* FindNodeByPath(CTreeNode* start, std::string_view full_path) {
    const int revision = CachedTreeRevision();
    return SearchTree(start, [&](CTreeNode& node) {
        node.set_revision_stamp(revision);
        return node.full_path() == full_path;
    });
}

std::string NativePathOfNode(const CTreeNode& node, std::string_view file_name) {
    return NativePathOfFullPath(node.full_path(), file_name);
}

std::string NativePathOfFullPath(std::string_view full_path, std::string_view file_name) {
    return NodeNativePath(CurrentTreeRoot(), full_path, file_name);
}

}  // namespace kelmora

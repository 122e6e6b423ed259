#include "store/tree_node.h"

#include <vector>

namespace kelmora {

CTreeNode::CTreeNode(std::string full_path, std::string short_name, long long creation_time_ns,
                     long long last_write_time_ns, int host_data)
    : full_path_(std::move(full_path)),
      short_name_(std::move(short_name)),
      creation_time_ns_(creation_time_ns),
      last_write_time_ns_(last_write_time_ns),
      host_data_(host_data) {}

CTreeNode::~CTreeNode() = default;

std::string CTreeNode::Name() const {
    size_t cut = full_path_.rfind('\\');
    return cut == std::string::npos ? full_path_ : full_path_.substr(cut + 1);
}

void CTreeNode::MarkFolder() {
    record_.reset();
    state_ = ProfileState::kFolder;
}

void CTreeNode::MarkProfileNotLoaded() {
    record_.reset();
    state_ = ProfileState::kNotLoaded;
}

void CTreeNode::SetProfileRecord(std::unique_ptr<CProfileRecord> record) {
    record_ = std::move(record);
    state_ = record_ ? ProfileState::kLoaded : ProfileState::kNotLoaded;
}

CTreeNode* SearchTree(CTreeNode* start, const std::function<bool(CTreeNode&)>& visit) {
    std::vector<CTreeNode*> pending;
    if (start) pending.push_back(start);
    while (!pending.empty()) {
        CTreeNode* node = pending.back();
        pending.pop_back();
        if (visit(*node)) return node;
        if (node->first_child()) pending.push_back(node->first_child());
        if (node->next_sibling()) pending.push_back(node->next_sibling());
    }
    return nullptr;
}

void LinkAsFirstChild(CTreeNode* parent, CTreeNode* child) {
    child->set_parent(parent);
    child->set_next_sibling(parent->first_child());
    parent->set_first_child(child);
}

}  // namespace kelmora

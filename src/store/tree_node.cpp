#include "store/tree_node.h"

#include <vector>

#include "store/profile_load_save.h"

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

CTreeNode& CopyNode(CTreeNode& target, const CTreeNode& source) {
    if (&target == &source) return target;
    target.full_path_ = source.full_path_;
    target.short_name_ = source.short_name_;
    target.creation_time_ns_ = source.creation_time_ns_;
    target.last_write_time_ns_ = source.last_write_time_ns_;
    target.host_data_ = source.host_data_;
    target.revision_stamp_ = source.revision_stamp_;
    target.identity_ = source.identity_;
    target.has_identity_ = source.has_identity_;
    target.parent_ = source.parent_;
    target.next_sibling_ = source.next_sibling_;
    target.first_child_ = source.first_child_;
    if (source.state_ == ProfileState::kLoaded && source.record_) {
        auto copy = std::make_unique<CProfileRecord>();
        const CProfileRecord& from = *source.record_;
        for (const CProfileTextField& field : ProfileTextFields()) {
            (*copy).*field.text = from.*field.text;
        }
        copy->all_empty = from.all_empty;
        target.SetProfileRecord(std::move(copy));
    } else if (source.state_ == ProfileState::kFolder) {
        target.MarkFolder();
    } else {
        target.MarkProfileNotLoaded();
    }
    return target;
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

void UnlinkChild(CTreeNode* parent, CTreeNode* child) {
    if (parent->first_child() == child) {
        parent->set_first_child(child->next_sibling());
    } else {
        for (CTreeNode* n = parent->first_child(); n; n = n->next_sibling()) {
            if (n->next_sibling() == child) {
                n->set_next_sibling(child->next_sibling());
                break;
            }
        }
    }
    child->set_parent(nullptr);
    child->set_next_sibling(nullptr);
}

}  // namespace kelmora

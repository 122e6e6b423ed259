#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/fs.h"

namespace kelmora {

// A profile read into memory: the texts of its files and whether the user may
// change it.
struct CProfileRecord {
    std::string rules;
    std::string description;
    std::string admin_vob;
    std::string vob_list;
    std::string project_branch;
    std::string project_label;
    std::string checkpoints;
    // A file that a save copies into the profile as its "Diagram"; a load
    // leaves it empty.
    std::string diagram_source_path;
    bool all_empty = false;  // the seven texts were all empty when loaded
    bool read_only = false;  // the current user cannot change the profile or the tree
    bool tree_busy = false;  // read only only because others held the tree lock throughout
};

// What a node holds besides its folder: nothing (a folder), a profile whose
// files have not been read, or a loaded profile record.
enum class ProfileState { kFolder, kNotLoaded, kLoaded };

// One folder of the View Profile tree. The full path is the node's identity:
// the tree root followed by a backslash and a name for each folder from the
// top level down. The links do not own: every node of a loaded tree belongs to
// the store (current_tree.h), a node that a host builds belongs to the host.
class CTreeNode {
public:
    CTreeNode(std::string full_path, std::string short_name, long long creation_time_ns,
              long long last_write_time_ns, int host_data = 0);
    virtual ~CTreeNode();
    CTreeNode(const CTreeNode&) = delete;
    CTreeNode& operator=(const CTreeNode&) = delete;

    const std::string& full_path() const { return full_path_; }
    void set_full_path(std::string path) { full_path_ = std::move(path); }
    // The last component of the full path: the folder's own name.
    std::string Name() const;

    // The file system's short alternate name; empty where there is none.
    const std::string& short_name() const { return short_name_; }
    long long creation_time_ns() const { return creation_time_ns_; }
    long long last_write_time_ns() const { return last_write_time_ns_; }
    // For the host's own use; the store sets 0 and never reads it.
    int host_data() const { return host_data_; }
    void set_host_data(int value) { host_data_ = value; }

    // The tree revision under which the node was last built or confirmed.
    int revision_stamp() const { return revision_stamp_; }
    void set_revision_stamp(int revision) { revision_stamp_ = revision; }

    // The folder's device and inode when the node was built, if known: a
    // change re-checks that the path still names that folder.
    const CFileIdentity* folder_identity() const { return has_identity_ ? &identity_ : nullptr; }
    void set_folder_identity(const CFileIdentity& identity) {
        identity_ = identity;
        has_identity_ = true;
    }

    CTreeNode* parent() const { return parent_; }
    CTreeNode* next_sibling() const { return next_sibling_; }
    CTreeNode* first_child() const { return first_child_; }
    void set_parent(CTreeNode* node) { parent_ = node; }
    void set_next_sibling(CTreeNode* node) { next_sibling_ = node; }
    void set_first_child(CTreeNode* node) { first_child_ = node; }

    ProfileState profile_state() const { return state_; }
    bool IsProfile() const { return state_ != ProfileState::kFolder; }
    CProfileRecord* profile_record() const { return record_.get(); }
    void MarkFolder();
    void MarkProfileNotLoaded();
    void SetProfileRecord(std::unique_ptr<CProfileRecord> record);

private:
    std::string full_path_;
    std::string short_name_;
    long long creation_time_ns_ = 0;
    long long last_write_time_ns_ = 0;
    int host_data_ = 0;
    int revision_stamp_ = -1;
    CFileIdentity identity_;
    bool has_identity_ = false;
    CTreeNode* parent_ = nullptr;
    CTreeNode* next_sibling_ = nullptr;
    CTreeNode* first_child_ = nullptr;
    ProfileState state_ = ProfileState::kFolder;
    std::unique_ptr<CProfileRecord> record_;
};

// Visits start, then everything from its next sibling on, then everything
// below it (the order of the recursive search) without deepening the call
// stack for long sibling chains. Returns the first node for which visit
// answers true, else null.
CTreeNode* SearchTree(CTreeNode* start, const std::function<bool(CTreeNode&)>& visit);

// Puts child first among parent's children (new nodes stand first).
void LinkAsFirstChild(CTreeNode* parent, CTreeNode* child);

}  // namespace kelmora

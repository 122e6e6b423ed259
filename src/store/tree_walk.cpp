#include "store/tree_walk.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <memory>
#include <mutex>

#include "platform/file.h"
#include "platform/paths.h"
#include "platform/request_pool.h"
#include "platform/temp_file.h"
#include "store/profile_layout.h"
#include "store/requests_in_flight.h"
#include "store/tree_lock.h"

namespace kelmora {

namespace {

// A folder file that makes its folder a profile: any plain file but a lock
// file or what a killed save left behind.
bool IsProfileFile(const CDirEntry& entry) {
    return entry.is_regular_file && entry.name != kLockFileName &&
           !IsReplacementTempName(entry.name);
}

// One folder as the requests found it, before any node is made.
struct CWalkedFolder {
    std::string full_path, native_path;
    const CWalkedFolder* parent = nullptr;
    CFolderFacts facts;
    bool entered = false;  // opened: it becomes a node
    bool listed = false;
    bool is_profile = false;
    bool unreadable = false;  // entered but not opened or listed
    int error = 0;
    std::string first_file;
    std::vector<CProfileFileRead> file_reads;              // of a profile
    bool matched = false;                                  // its reads are what the walk looks for
    std::vector<std::unique_ptr<CWalkedFolder>> children;  // in listing order
    bool known = false;  // all of the above is final (under the reader's state lock)
    // Where a search reaches it, lowest first: per level below the root the
    // index among its siblings, then INT_MAX less that index for a level
    // that the search enters only after all the siblings.
    std::vector<int> search_key;

    void Unreadable() {
        unreadable = true;
        error = errno;
    }
    bool HasAncestor(const CFileIdentity& identity) const {
        for (const CWalkedFolder* folder = parent; folder; folder = folder->parent) {
            if (folder->facts.has_identity && folder->facts.identity == identity) return true;
        }
        return false;
    }
};

// Opens a subfolder that the walk goes into: one the user may enter and
// that is no link back to a folder above (that would make the walk
// endless). False: it is left out of the tree.
// path_only: the folder may come back open only to reach its entries by
// (*path_only stays true), not to list it.
bool OpenChild(const CFolder& parent, const std::string& name, CWalkedFolder* walked,
               CFolder* child, bool same_ids, bool* path_only = nullptr) {
    CFolderFacts* facts = &walked->facts;
    const bool by_path = path_only && *path_only;
    if (path_only) *path_only = false;
    // The open that enters the folder is the check that it can be
    // entered, where the open is made with the ids that the check would use.
    if (same_ids && child->OpenEnterableIn(parent, name, by_path) &&
        child->GetTimes(&facts->times, &facts->identity)) {
        facts->has_identity = true;
        if (!walked->HasAncestor(facts->identity)) {
            if (path_only) *path_only = by_path;
            return true;
        }
        child->Close();
        return false;
    }
    // Gone, or no folder (a link) by now: not in the tree. No permission
    // is asked again below; anything else is a folder that went unread.
    if (same_ids && errno != ENOSYS && errno != EACCES) {
        if (errno != ENOENT && errno != ENOTDIR && errno != ELOOP) walked->Unreadable();
        child->Close();
        return false;
    }
    child->Close();
    const std::string& native_path = walked->native_path;
    if (!CanEnterFolder(native_path)) return false;
    if (!GetFileIdentity(native_path, &facts->identity) || walked->HasAncestor(facts->identity))
        return false;
    facts->has_identity = true;
    GetEntryTimes(native_path, &facts->times);
    if (!child->OpenIn(parent, name)) {
        if (errno != ENOENT && errno != ENOTDIR && errno != ELOOP) walked->Unreadable();
        return false;
    }
    return true;
}

using CSharedFolder = std::shared_ptr<const CFolder>;

// Reads the folders: each task opens one folder below its parent's
// descriptor (held until the last child is open) and lists it.
class CFolderReader {
    struct COrderFrame {
        const CWalkedFolder* folder;
        bool descending;
        size_t at;
    };
    struct CQueued {
        CWalkedFolder* folder = nullptr;
        CSharedFolder parent;
    };

public:
    CFolderReader(unsigned width, const std::vector<CProfileFileToRead>& files,
                  const CTreeWalk::Match& match)
        : pool_(width),
          same_ids_(geteuid() == getuid() && getegid() == getgid()),
          files_(files),
          match_(match) {}

    void Read(CWalkedFolder* root, CSharedFolder folder) {
        root->entered = true;
        List(root, std::move(folder));
        pool_.WaitIdle();
    }

private:
    // A folder that directly holds a file is a profile, and what lies below a
    // profile is not looked at: its listing is read no further than that
    // file. A link is neither a file nor a folder of the tree, and is never
    // followed.
    void List(CWalkedFolder* walked, CSharedFolder folder) {
        std::vector<CDirEntry> entries;
        if (!folder->IsOpen() || !folder->ListUntil(&entries, IsProfileFile, &walked->is_profile)) {
            if (folder->IsOpen()) walked->Unreadable();
            return;
        }
        walked->listed = true;
        if (walked->is_profile) {
            walked->first_file = entries.back().name;
            ReadFiles(walked, *folder, 0);
            return;
        }
        for (const CDirEntry& entry : entries) {
            if (!entry.is_directory || entry.name.starts_with('.')) continue;
            // A native name with a backslash has no stored form.
            if (!IsValidEntryName(entry.name)) continue;
            auto child = std::make_unique<CWalkedFolder>();
            child->full_path = walked->full_path + "\\" + entry.name;
            child->native_path = walked->native_path + "/" + entry.name;
            child->parent = walked;
            walked->children.push_back(std::move(child));
        }
        Known(walked);
        if (match_) return QueueInSearchOrder(walked, folder);
        // The first child is queued last, so it is read first.
        for (auto it = walked->children.rbegin(); it != walked->children.rend(); ++it) {
            CWalkedFolder* child = it->get();
            pool_.Submit([this, child, folder]() mutable { Enter(child, std::move(folder)); });
        }
    }

    // For a search the folders are entered nearly in the order the search
    // reaches them, so that its first find is soon certain.
    void QueueInSearchOrder(CWalkedFolder* walked, const CSharedFolder& folder) {
        std::vector<int> base = walked->search_key;
        if (!base.empty()) base.back() = INT_MAX - base.back();
        const auto later = [](const CQueued& a, const CQueued& b) {
            return a.folder->search_key > b.folder->search_key;
        };
        for (size_t i = 0; i < walked->children.size(); ++i) {
            CWalkedFolder* child = walked->children[i].get();
            child->search_key = base;
            child->search_key.push_back(static_cast<int>(i));
            std::lock_guard lock(state_mutex_);
            queued_.push_back({child, folder});
            std::push_heap(queued_.begin(), queued_.end(), later);
        }
        for (size_t i = 0; i < walked->children.size(); ++i) {
            pool_.Submit([this, later] {
                CQueued next;
                {
                    std::lock_guard lock(state_mutex_);
                    std::pop_heap(queued_.begin(), queued_.end(), later);
                    next = std::move(queued_.back());
                    queued_.pop_back();
                }
                Enter(next.folder, std::move(next.parent));
            });
        }
    }

    // The profile's files from the first one on (those before were read). The
    // settled read around the walk tells a change met; no writer waits for
    // these reads. Once what the walk looks for is found, the profiles after
    // it in search order are not read.
    void ReadFiles(CWalkedFolder* walked, const CFolder& folder, size_t first) {
        if (stop_reads_) return;
        for (size_t i = first; i < files_.size(); ++i) {
            CProfileFileRead& read = walked->file_reads.emplace_back();
            read.name = files_[i].name;
            CFileException error;
            ReadFileUnlessHeldIn(folder, read.name, files_[i].limit, &read.text, &error);
            read.cause = error.cause;
        }
        walked->matched = match_ && match_(walked->file_reads);
    }

    // A folder held open by its path only is a profile when the first file
    // to read in it is a regular file (then it is read right away), else
    // only its listing can tell. False: the listing must tell.
    bool ProbeProfile(CWalkedFolder* walked, const CFolder& folder) {
        bool regular = false;
        if (stop_reads_) {
            CDirEntry entry;
            regular = folder.Describe(files_[0].name, &entry) && entry.is_regular_file;
        } else {
            CProfileFileRead read;
            read.name = files_[0].name;
            CFileException error;
            ReadFileUnlessHeldIn(folder, read.name, files_[0].limit, &read.text, &error, &regular);
            read.cause = error.cause;
            if (regular) walked->file_reads.push_back(std::move(read));
        }
        if (!regular) return false;
        walked->is_profile = walked->listed = true;
        walked->first_file = files_[0].name;
        if (!walked->file_reads.empty()) ReadFiles(walked, folder, 1);
        return true;
    }

    void Enter(CWalkedFolder* child, CSharedFolder parent) {
        auto folder = std::make_shared<CFolder>();
        const std::string name = child->native_path.substr(child->parent->native_path.size() + 1);
        // Where the walk reads a file in each profile, that file is looked
        // for first: most folders are profiles, which then need no listing.
        bool path_only = !files_.empty();
        const bool opened = OpenChild(*parent, name, child, folder.get(), same_ids_, &path_only);
        parent.reset();
        if (opened) {
            child->entered = true;
            if (!path_only || !ProbeProfile(child, *folder)) {
                auto listing = std::make_shared<CFolder>();
                if (!path_only) {
                    listing = std::move(folder);
                } else if (!listing->OpenIn(*folder, ".")) {
                    // Gone or swapped meanwhile: as if it had not been entered.
                    if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP)
                        child->entered = false;
                    else
                        child->Unreadable();
                }
                folder.reset();
                if (child->entered && !child->unreadable) List(child, std::move(listing));
            }
        }
        Known(child);
    }

    // Marks a folder final and, once the walk has found what it looks for,
    // tells whether everything before the first find in search order (a
    // folder, then its next siblings, then its first child) is final too:
    // then the profiles after it need not be read.
    void Known(CWalkedFolder* walked) {
        if (!match_) return;
        std::lock_guard lock(state_mutex_);
        walked->known = true;
        found_any_ = found_any_ || walked->matched;
        if (!found_any_ || stop_reads_) return;
        // The search visits a folder's children, then the subtrees of the
        // last child to the first.
        if (!started_) {
            for (const CWalkedFolder* root = walked; root; root = root->parent)
                if (!root->parent) order_.push_back({root, false, 0});
            started_ = true;
        }
        while (!order_.empty()) {
            COrderFrame& frame = order_.back();
            const auto& children = frame.folder->children;
            if (!frame.descending) {
                if (frame.at == children.size()) {
                    frame.descending = true;
                    continue;
                }
                const CWalkedFolder& child = *children[frame.at];
                if (!child.known) return;
                if (child.entered && child.matched) {
                    stop_reads_ = true;
                    return;
                }
                ++frame.at;
                continue;
            }
            if (frame.at == 0) {
                order_.pop_back();
                continue;
            }
            const CWalkedFolder& child = *children[--frame.at];
            if (child.entered && !child.is_profile) order_.push_back({&child, false, 0});
        }
    }

    CRequestPool pool_;
    const bool same_ids_;
    const std::vector<CProfileFileToRead>& files_;
    const CTreeWalk::Match& match_;
    std::mutex state_mutex_;
    std::atomic<bool> stop_reads_ = false;
    bool found_any_ = false, started_ = false;
    std::vector<COrderFrame> order_;  // where the search stands, under the state lock
    std::vector<CQueued> queued_;     // a heap: for a search, the folders to enter
};

}  // namespace

CFolderFacts CTreeWalk::FactsOf(const CFolder& folder, const std::string& native_path) {
    CFolderFacts facts;
    if (folder.GetTimes(&facts.times, &facts.identity)) {
        facts.has_identity = true;
    } else {
        GetEntryTimes(native_path, &facts.times);
        facts.has_identity = GetFileIdentity(native_path, &facts.identity);
    }
    return facts;
}

CTreeWalk::CTreeWalk(CTreeNodeArena* arena, unsigned width)
    : arena_(arena), width_(width ? width : RequestsInFlight()) {}

CTreeNode* CTreeWalk::BuildNode(const std::string& full_path, const std::string& native_path,
                                const CFolder& folder, const CFolderFacts& facts, bool* listed) {
    CWalkedFolder root;
    root.full_path = full_path;
    root.native_path = native_path;
    root.facts = facts;
    // The caller keeps the root folder open and owns it.
    CFolderReader(width_, files_, match_).Read(&root, CSharedFolder(&folder, [](const CFolder*) {
    }));
    if (listed) {
        *listed = root.listed;
        if (root.is_profile) first_file_ = root.first_file;
    }

    // The nodes, in the order of a walk that reads one folder at a time.
    const int revision = CachedTreeRevision();
    auto assemble = [&](auto& self, CWalkedFolder& walked) -> CTreeNode* {
        CTreeNode* node = arena_->Add(std::make_unique<CTreeNode>(
            walked.full_path, std::string(), walked.facts.times.creation_ns,
            walked.facts.times.last_write_ns, 0));
        node->set_revision_stamp(revision);
        if (walked.facts.has_identity) node->set_folder_identity(walked.facts.identity);
        if (walked.unreadable) unreadable_.emplace_back(walked.native_path, walked.error);
        if (walked.is_profile) {
            node->MarkProfileNotLoaded();
            if (!files_.empty()) arena_->KeepFileReads(node, std::move(walked.file_reads));
            return node;
        }
        CTreeNode* last_child = nullptr;
        for (const auto& child_walked : walked.children) {
            if (!child_walked->entered) {
                if (child_walked->unreadable)
                    unreadable_.emplace_back(child_walked->native_path, child_walked->error);
                continue;
            }
            CTreeNode* child = self(self, *child_walked);
            child->set_parent(node);
            if (last_child) {
                last_child->set_next_sibling(child);
            } else {
                node->set_first_child(child);
            }
            last_child = child;
        }
        return node;
    };
    return assemble(assemble, root);
}

CTreeNode* CTreeWalk::BuildPath(const std::string& root, const std::string& native_root,
                                const CFolder& root_folder, const std::vector<std::string>& names,
                                bool* unsure) {
    *unsure = false;
    const bool same_ids = geteuid() == getuid() && getegid() == getgid();
    // One walked folder per level: the ancestors that a link back is checked against.
    std::vector<std::unique_ptr<CWalkedFolder>> way;
    way.push_back(std::make_unique<CWalkedFolder>());
    way.back()->full_path = root;
    way.back()->native_path = native_root;
    way.back()->facts = FactsOf(root_folder, native_root);
    const CFolder* folder = &root_folder;
    CFolder below;
    CTreeNode* parent = nullptr;
    for (size_t depth = 0;; ++depth) {
        const CWalkedFolder& walked = *way.back();
        CTreeNode* node = arena_->Add(std::make_unique<CTreeNode>(
            walked.full_path, std::string(), walked.facts.times.creation_ns,
            walked.facts.times.last_write_ns, 0));
        if (walked.facts.has_identity) node->set_folder_identity(walked.facts.identity);
        if (parent) {
            node->set_parent(parent);
            parent->set_first_child(node);
        }
        std::vector<CDirEntry> entries;
        bool is_profile = false;
        if (!folder->ListUntil(&entries, IsProfileFile, &is_profile)) {
            *unsure = true;
            return nullptr;
        }
        if (is_profile) {
            node->MarkProfileNotLoaded();
            *unsure = depth == 0;
            return depth == names.size() ? node : nullptr;
        }
        if (depth == names.size()) return node;
        const std::string& name = names[depth];
        if (name.starts_with('.') || !IsValidEntryName(name)) return nullptr;
        auto child_walked = std::make_unique<CWalkedFolder>();
        child_walked->full_path = walked.full_path + "\\" + name;
        child_walked->native_path = walked.native_path + "/" + name;
        child_walked->parent = &walked;
        CFolder child;
        if (!OpenChild(*folder, name, child_walked.get(), &child, same_ids)) {
            *unsure = child_walked->unreadable;
            return nullptr;
        }
        below = std::move(child);
        folder = &below;
        way.push_back(std::move(child_walked));
        parent = node;
    }
}

}  // namespace kelmora

#include "store/profile_search.h"

#include "automation/view_profile.h"
#include "platform/paths.h"
#include "platform/request_pool.h"
#include "store/current_tree.h"
#include "store/profile_files.h"
#include "store/profile_layout.h"
#include "store/requests_in_flight.h"
#include "store/settled_read.h"
#include "store/tree_load.h"

namespace kelmora {

namespace {

// A GUID file's text names guid. An empty GUID names no profile, not even
// one whose GUID file is blank (a view may have stored an empty one).
bool NamesGuid(const std::string& text, const std::string& guid) {
    return !guid.empty() && GuidOfGuidFileText(text) == guid;
}

}  // namespace

CTreeNode* FindProfileNodeByGuid(CTreeNode* start, const std::string& guid,
                                 const CGuidFileReaders& readers) {
    std::vector<CTreeNode*> profiles;
    bool walked_reads = false;
    SearchTree(start, [&](CTreeNode& node) {
        if (node.profile_state() != ProfileState::kNotLoaded) return false;
        profiles.push_back(&node);
        walked_reads = walked_reads || WalkFileRead(node, ProfileFileName(kProfileGuid));
        return false;
    });
    struct CPeek {
        std::string path, text;
        FileErrorCause cause = FileErrorCause::Other;
    };
    std::vector<CPeek> peeks(profiles.size());
    for (size_t i = 0; i < profiles.size(); ++i)
        peeks[i].path = NativePathOfNode(*profiles[i], ProfileFileName(kProfileGuid));
    CTreeNode* found = nullptr;
    // Where the walk read the GUID files, one at a time through its reads: it
    // left unread only profiles after the first that names guid.
    ReadInOrder(
        profiles.size(), walked_reads ? 1 : RequestsInFlight(),
        [&](size_t i) {
            if (peeks[i].path.empty()) return;
            // Read already by the walk that found the profile, where the load was asked to.
            const CProfileFileRead* walked =
                WalkFileRead(*profiles[i], ProfileFileName(kProfileGuid));
            if (!walked) {
                peeks[i].cause = readers.peek(peeks[i].path, &peeks[i].text);
                return;
            }
            peeks[i].cause = walked->cause;
            peeks[i].text = ProfileFileTextOf(walked->text);
        },
        [&](size_t i) {
            CPeek& peek = peeks[i];
            if (peek.path.empty()) return true;
            // A file held by a writer, or one that fails, is read again by
            // the reader that waits and reports, as a search one at a time would.
            bool read =
                peek.cause == FileErrorCause::None || peek.cause == FileErrorCause::FileNotFound;
            if (!read) read = readers.read(peek.path, &peek.text);
            if (read && NamesGuid(peek.text, guid)) {
                found = profiles[i];
                return false;
            }
            return true;
        });
    return found;
}

std::string ProfileNameOfNode(const CTreeNode& node) {
    const std::string& root = CurrentTreeRoot();
    if (root.empty() || !node.full_path().starts_with(root)) return {};
    std::string name = node.full_path().substr(root.size());
    return IsValidProfileName(name) ? name : std::string();
}

CTreeNode* CViewProfile::FindProfileByGuid(CTreeNode* start, const std::string& guid) {
    return FindProfileNodeByGuid(
        start, guid, {TryReadProfileFile, [this](const std::string& path, std::string* text) {
                          return ReadProfileFile(path, text, FALSE, FALSE) != FALSE;
                      }});
}

BOOL CViewProfile::ProfilePathByGuid(const std::string& guid, std::string* profile_name) {
    // The tree and the GUID files as they stood at one moment.
    const bool to_log = suppress_error_display_ != FALSE;
    if (!CheckTreeRoot(to_log)) return FALSE;
    CSettledTreeRead read(to_log);
    CTreeNode* node = nullptr;
    do {
        // The walk reads no GUID file after the first that names guid.
        const auto names_guid = [&guid](const std::vector<CProfileFileRead>& reads) {
            return reads.size() == 1 && reads[0].cause == FileErrorCause::None &&
                   NamesGuid(ProfileFileTextOf(reads[0].text), guid);
        };
        CTreeNode* first =
            read.Begin() ? LoadProfileTree(to_log, {{ProfileFileName(kProfileGuid)}}, names_guid)
                         : nullptr;
        if (!first) return FALSE;
        node = FindProfileByGuid(first, guid);
    } while (!read.Settled());
    read.Release();
    if (!node) return FALSE;
    // The name is cut from the root that this load used, and must name a
    // folder below it.
    std::string name = ProfileNameOfNode(*node);
    if (name.empty()) return FALSE;
    *profile_name = std::move(name);
    return TRUE;
}

}  // namespace kelmora

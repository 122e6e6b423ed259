// viewprofile status: one look at a view through the operations' own steps,
// with every question answered No and every change held back.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "automation/view_profile.h"
#include "client/admin.h"
#include "client/preview.h"
#include "cspec/info_block.h"
#include "json_output.h"
#include "look.h"
#include "platform/paths.h"
#include "platform/request_pool.h"
#include "store/current_tree.h"
#include "store/pending_bump.h"
#include "store/profile_files.h"
#include "store/profile_layout.h"
#include "store/requests_in_flight.h"
#include "store/settled_read.h"
#include "store/tree_root.h"
#include "ui/console/console_ui.h"

namespace kelmora {

namespace {

using tools::CJson;

struct CRevision {
    int32_t major = 0;
    int32_t minor = 0;
    std::string Text() const { return std::to_string(major) + "." + std::to_string(minor); }
};

struct CVobState {
    std::string tag;
    bool mounted = false;
};

// Everything the look found. A field that could not be found is empty.
struct CViewStatus {
    std::string view_tag;
    std::string workspace_path;
    bool is_workspace = false;
    bool associated = false;
    bool edited_outside = false;
    std::string profile_name;  // as the view records it
    std::string profile_guid;
    std::string profile_state;  // "found", "moved", "gone" (associated views)
    std::string moved_to;
    std::string profile_folder;  // native, where it was found
    std::optional<CRevision> view_revision, profile_revision;
    std::string private_branch, branch_point;
    std::vector<CVobCheckoutCount> checkouts;
    std::vector<CVobState> vobs;
    std::vector<std::string> attention;  // what needs the user, by stable words
    std::vector<std::string> messages;   // what the operations would have shown

    int TotalCheckouts() const {
        int total = 0;
        for (const CVobCheckoutCount& vob : checkouts) total += vob.count;
        return total;
    }
    // Composed from the profile's current revision, which is where the view says.
    bool UpToDate() const {
        return profile_state == "found" && !edited_outside && Behind().value_or(1) == 0;
    }
    // Wide enough for any two revisions a file can hold.
    std::optional<int64_t> Behind() const {
        if (!view_revision || !profile_revision) return std::nullopt;
        return int64_t{profile_revision->minor} - view_revision->minor;
    }
};

// An access error: what could not be read, and what the operations said.
struct CLookFailure {
    std::string what;
};

std::string Joined(const std::vector<std::string>& texts, const char* separator) {
    std::string out;
    for (const std::string& text : texts) out += (out.empty() ? "" : separator) + text;
    return out;
}

// The lock file's text that the views' settled read began with; null
// outside it, or where it read under the lock.
const std::string* g_lock_text = nullptr;

// Whether a save cut between the Rules and the revision left the profile's bump.
bool PendingBumpOf(const std::string& tree_root, const std::string& profile_name) {
    if (!g_lock_text || tree_root != CurrentTreeRoot())
        return HasPendingBump(tree_root, profile_name);
    CPendingBump pending;
    return FindPendingBump(*g_lock_text, &pending) && pending.profile_name == profile_name;
}

class CStatusLook {
public:
    CStatusLook(CViewProfile& view, const CConsoleUserInterface& ui) : view_(view), ui_(ui) {}

    // False with failure_ set on an access error.
    bool Run(const CObjectSetup& setup) {
        if (setup.workspace) {
            if (!view_.SetWorkspacePath(*setup.workspace))
                return Fail("no workspace at " + *setup.workspace);
        } else if (setup.view_tag) {
            view_.SetViewTag(*setup.view_tag);
        }
        status_.view_tag = view_.view_tag();
        status_.workspace_path = view_.workspace_path();
        status_.is_workspace = view_.is_workspace();
        // A typo is not a view that is not associated.
        client::CViewRecord record;
        if (client::FindView(view_.view_tag(), &record) == TBS_ST_NOT_FOUND)
            return Fail("no view '" + view_.view_tag() + "' (stavetool lsview lists the views)");
        // A workspace named by its tag is shown with its root.
        if (status_.workspace_path.empty()) status_.workspace_path = record.workspace_root;
        if (!view_.LoadConfigSpec(FALSE))
            return Fail("cannot read the config spec of view '" + view_.view_tag() + "'");
        if (!view_.CountCheckouts(&status_.checkouts))
            return Fail("cannot search view '" + view_.view_tag() + "' for checkouts");
        if (status_.TotalCheckouts() > 0) status_.attention.push_back("checkouts");
        status_.associated = view_.TestAssociation();
        if (!status_.associated) {
            status_.attention.push_back("not_associated");
            return Done();
        }
        if (!view_.LookUpTreeRoot()) return Fail("the View Profile tree is not configured");
        return LookAtProfile() && Done();
    }

    const CViewStatus& status() const { return status_; }
    const CLookFailure& failure() const { return failure_; }

private:
    bool LookAtProfile() {
        // The block as the view records it; read association then says what
        // became of its profile.
        CInfoBlockFields recorded;
        if (ScanInfoBlock(view_.config_spec(), &recorded) == 4) {
            status_.profile_name = recorded.name;
            status_.profile_guid = recorded.guid;
            status_.view_revision = CRevision{recorded.major, recorded.minor};
        }
        const unsigned long tree_loads = CurrentTreeGeneration();
        view_.ReadAssociation();
        switch (view_.association_state()) {
            case EAssociationState::kFound:
                status_.profile_state = "found";
                break;
            case EAssociationState::kMoved:
                status_.profile_state = "moved";
                status_.moved_to = view_.profile_name();
                status_.attention.push_back("profile_moved");
                break;
            case EAssociationState::kNotFound:
                // Only a tree that was read can tell that the profile is gone.
                if (CurrentTreeGeneration() == tree_loads)
                    return Fail("cannot read the View Profile tree");
                status_.profile_state = "gone";
                status_.attention.push_back("profile_gone");
                break;
            case EAssociationState::kNotInterpretable:
                status_.edited_outside = true;
                status_.attention.push_back("edited_outside");
                return true;
            case EAssociationState::kNotRead:
            case EAssociationState::kUnreadable:
                return Fail("cannot read the config spec of view '" + view_.view_tag() + "'");
        }
        status_.profile_folder = ProfileNativePath(view_.profile_tree_root(), view_.profile_name());
        status_.private_branch = view_.private_branch();
        if (!status_.private_branch.empty()) status_.branch_point = view_.branch_point();
        if (status_.profile_state == "gone") return true;

        CRevision current;
        if (!view_.ReadProfileRevision(&current.major, &current.minor))
            return Fail("cannot read the revision of profile '" + view_.profile_name() + "'");
        // A save cut between the Rules and the revision: the revision is not
        // known until the next writer of the tree finishes it.
        if (PendingBumpOf(view_.profile_tree_root(), view_.profile_name())) {
            status_.attention.push_back("revision_unknown");
        } else {
            status_.profile_revision = current;
            if (status_.Behind().value_or(0) != 0) status_.attention.push_back("behind");
        }
        bool unmounted = false;
        for (std::string tag = view_.GetFirstVOB(); !tag.empty(); tag = view_.GetNextVOB()) {
            status_.vobs.push_back({tag, CViewProfile::IsVobMounted(tag) != FALSE});
            unmounted = unmounted || !status_.vobs.back().mounted;
        }
        // A workspace sees its VOBs through its own copy; only a dynamic view needs them mounted.
        if (unmounted && !status_.is_workspace) status_.attention.push_back("vobs_not_mounted");
        return true;
    }

    bool Done() {
        for (const CShownBox& box : ui_.shown()) status_.messages.push_back(box.text);
        return true;
    }

    bool Fail(const std::string& what) {
        failure_.what = what;
        std::vector<std::string> said;
        for (const CShownBox& box : ui_.shown()) said.push_back(box.text);
        if (!said.empty()) failure_.what += ":\n" + Joined(said, "\n");
        return false;
    }

    CViewProfile& view_;
    const CConsoleUserInterface& ui_;
    CViewStatus status_;
    CLookFailure failure_;
};

CJson ToJson(const CViewStatus& s) {
    CJson doc;
    doc["view"] = s.view_tag;
    doc["kind"] = s.is_workspace ? "workspace" : "dynamic";
    doc["workspace"] = tools::JsonTextOrNull(s.workspace_path);
    doc["associated"] = s.associated;
    doc["edited_outside"] = s.edited_outside;
    if (s.profile_name.empty()) {
        doc["profile"] = nullptr;
    } else {
        CJson& profile = doc["profile"];
        profile["name"] = s.profile_name;
        profile["guid"] = s.profile_guid;
        profile["state"] = tools::JsonTextOrNull(s.profile_state);
        profile["moved_to"] = tools::JsonTextOrNull(s.moved_to);
    }
    if (!s.view_revision) {
        doc["revision"] = nullptr;
    } else {
        CJson& revision = doc["revision"];
        revision["view"] = s.view_revision->Text();
        revision["profile"] = s.profile_revision ? CJson(s.profile_revision->Text()) : CJson();
        revision["behind"] = s.Behind() ? CJson(*s.Behind()) : CJson();
    }
    if (s.private_branch.empty()) {
        doc["private_branch"] = nullptr;
    } else {
        doc["private_branch"] = {{"name", s.private_branch},
                                 {"branch_point", tools::JsonTextOrNull(s.branch_point)}};
    }
    CJson& checkouts = doc["checkouts"];
    checkouts["total"] = s.TotalCheckouts();
    checkouts["vobs"] = CJson::array();
    for (const CVobCheckoutCount& vob : s.checkouts)
        checkouts["vobs"].push_back({{"vob", vob.vob}, {"count", vob.count}});
    doc["vobs"] = CJson::array();
    for (const CVobState& vob : s.vobs)
        doc["vobs"].push_back({{"tag", vob.tag}, {"mounted", vob.mounted}});
    doc["up_to_date"] = s.UpToDate();
    doc["needs"] = s.attention;
    doc["messages"] = s.messages;
    return doc;
}

void PrintLine(const char* title, const std::string& text) {
    std::printf("%-16s%s\n", title, text.c_str());
}

void PrintText(const CViewStatus& s) {
    PrintLine("view", s.view_tag + (s.is_workspace ? " (workspace " + s.workspace_path + ")"
                                                   : " (dynamic)"));
    PrintLine("associated", s.associated ? "yes" : "no");
    std::vector<std::string> counts;
    for (const CVobCheckoutCount& vob : s.checkouts)
        counts.push_back(vob.vob + " " + std::to_string(vob.count));
    const std::string checkouts =
        counts.empty() ? "none"
                       : std::to_string(s.TotalCheckouts()) + " (" + Joined(counts, ", ") + ")";
    if (!s.associated) return PrintLine("checkouts", checkouts);
    if (s.edited_outside)
        PrintLine("config spec", "edited outside the module: it needs a recovery");
    if (!s.profile_name.empty()) {
        PrintLine("profile", s.profile_name);
        PrintLine("GUID", s.profile_guid);
    }
    if (s.profile_state == "moved") PrintLine("moved to", s.moved_to + " (not written)");
    if (s.profile_state == "gone") PrintLine("profile state", "gone: no profile has its GUID");
    if (s.view_revision) {
        std::string text = "view " + s.view_revision->Text();
        if (s.profile_revision) text += ", profile " + s.profile_revision->Text();
        if (const std::optional<int64_t> behind = s.Behind()) {
            if (*behind == 0) text += ": up to date";
            if (*behind > 0)
                text +=
                    ": behind by " + std::to_string(*behind) + (*behind == 1 ? " save" : " saves");
            if (*behind < 0) text += ": the view records a later revision than the profile's";
        }
        PrintLine("revision", text);
    }
    if (!s.edited_outside)
        PrintLine(
            "private branch",
            s.private_branch.empty()
                ? "none"
                : s.private_branch + (s.branch_point.empty() ? "" : " from " + s.branch_point));
    PrintLine("checkouts", checkouts);
    std::vector<std::string> vobs;
    for (const CVobState& vob : s.vobs)
        vobs.push_back(vob.tag + (vob.mounted ? "" : " (not mounted)"));
    if (!vobs.empty()) PrintLine("VOBs", Joined(vobs, ", "));
}

// Nobody is asked, nothing is written: answers are No or Cancel, what the
// operations would show is kept, and what they would change is held back.
class CQuietScope {
public:
    CQuietScope() : ui_(no_answers_, not_shown_), ui_scope_(&ui_), preview_scope_(&held_back_) {}
    const CConsoleUserInterface& ui() const { return ui_; }

private:
    std::istringstream no_answers_;
    std::ostringstream not_shown_;
    CConsoleUserInterface ui_;
    CScopedUserInterface ui_scope_;
    CPreview held_back_;
    CScopedPreview preview_scope_;
};

// One look with an object and a console of its own, so that what the
// operations said stays with its view.
struct CLook {
    bool looked = false;
    CViewStatus status;
    CLookFailure failure;
};

// The look with an object the caller holds.
CLook LookWith(IDispatch* object, const CObjectSetup& setup) {
    CLook look;
    const CQuietScope quiet;
    CStatusLook status_look(*static_cast<CViewProfile*>(object), quiet.ui());
    look.looked = status_look.Run(setup);
    look.status = status_look.status();
    look.failure = status_look.failure();
    return look;
}

CLook LookAt(CInProcessModule& module, const CObjectSetup& setup) {
    IDispatch* object = module.CreateObject();
    if (!object) {
        CLook look;
        look.failure.what = "the View Profile class is not available";
        return look;
    }
    CLook look = LookWith(object, setup);
    object->Release();
    return look;
}

int ExitCodeOf(const CLook& look) {
    if (!look.looked) return kExitFailure;
    return look.status.attention.empty() ? kExitTrue : kExitFalse;
}

// The folders of the profiles that the views' config specs name, as the
// looks will read their "GUID" and "VOB List" files, once each.
std::vector<std::string> ProfileFoldersOf(CInProcessModule& module,
                                          const std::vector<CObjectSetup>& setups) {
    std::vector<std::string> folders;
    const std::string root = ReadTreeRootSetting();
    if (root.empty()) return folders;
    const CQuietScope quiet;
    for (const CObjectSetup& setup : setups) {
        IDispatch* object = module.CreateObject();
        if (!object) break;
        auto& view = *static_cast<CViewProfile*>(object);
        if (setup.view_tag) view.SetViewTag(*setup.view_tag);
        CInfoBlockFields recorded;
        if (setup.view_tag && view.LoadConfigSpec(FALSE) &&
            ScanInfoBlock(view.config_spec(), &recorded) == 4) {
            std::string folder = ProfileNativePath(root, recorded.name);
            if (!folder.empty()) folders.push_back(std::move(folder));
        }
        object->Release();
    }
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    return folders;
}

using CFileReads = std::map<std::string, std::pair<FileErrorCause, std::string>>;

// The files of each folder, each read once through the folder held open,
// with requests in flight and without a share lock: the settled read around
// them tells a change met. A file held by a writer, or a folder that cannot
// be opened, is left to the look, which waits and reports as ever.
CFileReads ReadProfileFilesIn(const std::vector<std::string>& folders) {
    const std::vector<std::string> names = {ProfileFileName(kProfileGuid),
                                            ProfileFileName(kProfileVobList)};
    std::vector<CFileReads> reads(folders.size());
    ReadInOrder(
        folders.size(), RequestsInFlight(),
        [&](size_t i) {
            CFolder folder;
            if (!folder.Open(folders[i], true)) return;
            for (const std::string& name : names) {
                std::string bytes;
                CFileException error;
                ReadFileUnlessHeldIn(folder, name, SIZE_MAX, &bytes, &error);
                reads[i][folders[i] + "/" + name] = {error.cause, ProfileFileTextOf(bytes)};
            }
        },
        [](size_t) { return true; });
    CFileReads all;
    for (CFileReads& folder_reads : reads) all.merge(folder_reads);
    return all;
}

// The profiles' files and the lock file as they stood at one moment, read
// again when a change met them; nothing when the tree cannot be read now
// (each look then reads, and says why, itself).
struct CViewsReadAhead {
    std::optional<CProfileFileReadAhead> files;
    std::string lock_text;

    explicit CViewsReadAhead(const std::vector<std::string>& folders) {
        const CQuietScope quiet;
        SetCurrentTreeRoot(ReadTreeRootSetting());
        if (CurrentTreeRoot().empty()) return;
        CSettledTreeRead read(false);
        CFileReads reads;
        do {
            if (!read.Begin()) return;
            reads = ReadProfileFilesIn(folders);
        } while (!read.Settled());
        files.emplace(std::move(reads));
        lock_text = read.lock_text();
        if (!read.locked()) g_lock_text = &lock_text;
    }
    ~CViewsReadAhead() { g_lock_text = nullptr; }
    CViewsReadAhead(const CViewsReadAhead&) = delete;
    CViewsReadAhead& operator=(const CViewsReadAhead&) = delete;
};

}  // namespace

CViewLook LookAtView(IDispatch* object, const CObjectSetup& setup) {
    const CLook look = LookWith(object, setup);
    CViewLook out;
    out.looked = look.looked;
    out.failure = look.failure.what;
    const CViewStatus& s = look.status;
    out.view_tag = s.view_tag;
    out.associated = s.associated;
    out.edited_outside = s.edited_outside;
    out.profile_name = s.profile_name;
    out.profile_guid = s.profile_guid;
    out.profile_state = s.profile_state;
    out.moved_to = s.moved_to;
    out.behind = s.Behind();
    out.private_branch = s.private_branch;
    out.checkouts = s.TotalCheckouts();
    out.needs = s.attention;
    return out;
}

namespace {

// Behind a profile that was found: what Synchronize would bring, in words and text.
std::optional<CSynchronizeDiff> DiffOfBehindView(CInProcessModule& module,
                                                 const CObjectSetup& setup, const CViewStatus& s) {
    if (s.profile_state != "found" || s.edited_outside || s.Behind().value_or(0) == 0)
        return std::nullopt;
    IDispatch* object = module.CreateObject();
    if (!object) return std::nullopt;
    const CQuietScope quiet;
    CSynchronizeDiff diff = DiffOfSynchronize(object, setup, s.profile_folder,
                                              s.view_revision->minor, s.profile_revision->minor,
                                              s.view_revision->Text(), s.profile_revision->Text());
    object->Release();
    return diff;
}

void PrintDiff(const CViewStatus& s, const std::optional<CSynchronizeDiff>& diff) {
    if (!diff) return PrintLine("diff", "none: the view is not behind a profile it can follow");
    if (diff->from_history)
        std::printf("The Rules of %s from %s to %s, which Synchronize will bring:\n%s",
                    s.profile_name.c_str(), s.view_revision->Text().c_str(),
                    s.profile_revision->Text().c_str(),
                    diff->text.empty() ? "(the same text)\n" : diff->text.c_str());
    else
        std::printf(
            "Revision %s of %s is not in its Rules history; what Synchronize would "
            "write instead:\n%s",
            s.view_revision->Text().c_str(), s.profile_name.c_str(), diff->text.c_str());
}

CJson DiffJson(const CViewStatus& s, const std::optional<CSynchronizeDiff>& diff) {
    if (!diff) return nullptr;
    return {{"from", s.view_revision->Text()},
            {"to", s.profile_revision->Text()},
            {"source", diff->from_history ? "history" : "preview"},
            {"text", diff->text}};
}

}  // namespace

int RunStatus(const CObjectSetup& setup, bool json, bool with_diff) {
    CInProcessModule module;
    const CLook look = LookAt(module, setup);
    if (!look.looked) {
        if (json) return tools::PrintJsonError(look.failure.what, kExitFailure);
        std::fprintf(stderr, "viewprofile: %s\n", look.failure.what.c_str());
        return kExitFailure;
    }
    const CViewStatus& status = look.status;
    std::optional<CSynchronizeDiff> diff;
    if (with_diff) diff = DiffOfBehindView(module, setup, status);
    if (json) {
        CJson doc = ToJson(status);
        if (with_diff) doc["diff"] = DiffJson(status, diff);
        if (!tools::PrintJson(doc)) return kExitFailure;
    } else {
        PrintText(status);
        PrintLine("needs", status.attention.empty() ? "nothing" : Joined(status.attention, ", "));
        if (with_diff) PrintDiff(status, diff);
    }
    return ExitCodeOf(look);
}

int RunStatusOfViews(const std::vector<std::string>& view_tags, bool all, bool json) {
    CInProcessModule module;
    std::vector<std::string> tags = view_tags;
    if (all) {
        std::vector<client::CViewRecord> views;
        if (client::ListViews(&views) != TBS_ST_OK) {
            const char* text = "cannot list the views";
            if (json) return tools::PrintJsonError(text, kExitFailure);
            std::fprintf(stderr, "viewprofile: %s\n", text);
            return kExitFailure;
        }
        for (const client::CViewRecord& view : views) tags.push_back(view.tag);
    }
    std::vector<CObjectSetup> setups(tags.size());
    for (size_t i = 0; i < tags.size(); ++i) setups[i].view_tag = &tags[i];
    // Each profile's files are read once, with requests in flight, whatever
    // number of views look at it.
    const CViewsReadAhead read_ahead(ProfileFoldersOf(module, setups));

    int exit_code = kExitTrue;
    CJson documents = CJson::array();
    for (size_t i = 0; i < setups.size(); ++i) {
        const CLook look = LookAt(module, setups[i]);
        exit_code = std::max(exit_code, ExitCodeOf(look));
        if (json) {
            documents.push_back(look.looked
                                    ? ToJson(look.status)
                                    : CJson{{"view", tags[i]}, {"error", look.failure.what}});
            continue;
        }
        if (i > 0) std::printf("\n");
        if (!look.looked) {
            PrintLine("view", tags[i]);
            std::fprintf(stderr, "viewprofile: %s\n", look.failure.what.c_str());
            continue;
        }
        PrintText(look.status);
        PrintLine("needs",
                  look.status.attention.empty() ? "nothing" : Joined(look.status.attention, ", "));
    }
    if (json && !tools::PrintJson(CJson{{"views", std::move(documents)}})) return kExitFailure;
    return exit_code;
}

}  // namespace kelmora

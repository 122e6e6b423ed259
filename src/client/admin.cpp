#include "client/admin.h"

#include <cerrno>
#include <cstring>

#include "client/database.h"
#include "client/messages.h"
#include "client/view_store.h"
#include "platform/env.h"
#include "platform/uuid.h"

namespace kelmora::client {

namespace {

constexpr size_t kMaxTagLength = 128;

bool IsTagCharacter(char c, bool first) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')
        return true;
    return !first && (c == '-' || c == '.');
}

// Tags appear in command lines, paths and config specs: keep them to
// letters, digits, "_", "-" and ".", and never let one look like an option.
bool IsValidTag(const std::string& tag) {
    if (tag.empty() || tag.size() > kMaxTagLength) return false;
    for (size_t i = 0; i < tag.size(); ++i) {
        if (!IsTagCharacter(tag[i], i == 0)) return false;
    }
    return true;
}

tbs_status_t InsertView(CClientDatabase* db, const std::string& tag, const std::string* root) {
    CStatement insert;
    if (tbs_status_t status = db->Prepare(
            "INSERT INTO view (tag, uuid, is_workspace, workspace_root) VALUES (?1, ?2, ?3, ?4)",
            &insert))
        return status;
    insert.BindText(1, tag);
    insert.BindText(2, NewUuidText());
    insert.BindInt(3, root ? 1 : 0);
    if (root) {
        insert.BindText(4, *root);
    } else {
        insert.BindNull(4);
    }
    return db->StepDone(&insert, "cannot create a view");
}

// A path in two workspaces would make ws_get_view ambiguous.
tbs_status_t CheckRootIsFree(CClientDatabase* db, const std::string& root) {
    std::vector<CViewRecord> views;
    if (tbs_status_t status = ReadViews(db, &views)) return status;
    for (const CViewRecord& other : views) {
        if (!other.is_workspace) continue;
        if (other.workspace_root == root) {
            imsg_print(IMSG_KIND_ERROR, "%s is already the root of workspace \"%s\"\n", -1,
                       root.c_str(), other.tag.c_str());
            return TBS_ST_EXISTS;
        }
        if (PathHolds(other.workspace_root, root) || PathHolds(root, other.workspace_root)) {
            imsg_print(IMSG_KIND_ERROR,
                       "The workspace root %s would overlap workspace \"%s\" at %s\n", -1,
                       root.c_str(), other.tag.c_str(), other.workspace_root.c_str());
            return TBS_ST_INVALID;
        }
    }
    return TBS_ST_OK;
}

tbs_status_t CreateViewRecord(const std::string& tag, const std::string* root) {
    if (!IsValidTag(tag)) return TBS_ST_INVALID;
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CTransaction transaction(&db);
    if (tbs_status_t status = transaction.Begin()) return status;
    CViewRecord existing;
    tbs_status_t found = FindViewByTag(&db, tag, &existing);
    if (found == TBS_ST_OK) return TBS_ST_EXISTS;
    if (found != TBS_ST_NOT_FOUND) return found;
    if (root) {
        if (tbs_status_t status = CheckRootIsFree(&db, *root)) return status;
        if (!EnsureFolder(*root)) {
            imsg_print(IMSG_KIND_ERROR, "Cannot create the folder %s: %s\n", -1, root->c_str(),
                       std::strerror(errno));
            return TBS_ST_IO;
        }
    }
    if (tbs_status_t status = InsertView(&db, tag, root)) return status;
    return transaction.Commit();
}

}  // namespace

tbs_status_t CreateView(const std::string& tag) {
    return CreateViewRecord(tag, nullptr);
}

tbs_status_t CreateWorkspace(const std::string& tag, const std::string& root) {
    if (root.empty()) return TBS_ST_INVALID;
    const std::string absolute = NormalizeAbsolutePath(root);
    return CreateViewRecord(tag, &absolute);
}

tbs_status_t RemoveView(const std::string& tag) {
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CTransaction transaction(&db);
    if (tbs_status_t status = transaction.Begin()) return status;
    CStatement remove;
    if (tbs_status_t status = db.Prepare("DELETE FROM view WHERE tag = ?1", &remove)) return status;
    remove.BindText(1, tag);
    if (tbs_status_t status = db.StepDone(&remove, "cannot remove a view")) return status;
    if (db.Changes() == 0) return TBS_ST_NOT_FOUND;
    return transaction.Commit();
}

tbs_status_t ListViews(std::vector<CViewRecord>* views) {
    views->clear();
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    return ReadViews(&db, views);
}

tbs_status_t FindView(const std::string& tag, CViewRecord* view) {
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    return FindViewByTag(&db, tag, view);
}

tbs_status_t SetConfigSpecText(const std::string& tag, const std::string& text) {
    CViewRecord view;
    if (tbs_status_t status = FindView(tag, &view)) return status;
    return StoreConfigSpec(view.uuid, text);
}

tbs_status_t GetConfigSpecText(const std::string& tag, std::string* text) {
    text->clear();
    CViewRecord view;
    if (tbs_status_t status = FindView(tag, &view)) return status;
    return LoadConfigSpec(view.uuid, text);
}

}  // namespace kelmora::client

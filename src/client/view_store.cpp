#include "client/view_store.h"

#include <filesystem>

#include "client/cfs.h"
#include "platform/env.h"

namespace kelmora::client {

namespace {

constexpr char kViewColumns[] = "SELECT tag, uuid, is_workspace, workspace_root FROM view";

void ReadRecord(const CStatement& row, CViewRecord* view) {
    view->tag = row.ColumnText(0);
    view->uuid = row.ColumnText(1);
    view->is_workspace = row.ColumnInt(2) != 0;
    view->workspace_root = row.ColumnIsNull(3) ? std::string() : row.ColumnText(3);
}

tbs_status_t FindViewBy(CClientDatabase* db, const char* column, const std::string& key,
                        CViewRecord* view) {
    std::string sql = std::string(kViewColumns) + " WHERE " + column + " = ?1";
    CStatement select;
    if (tbs_status_t status = db->Prepare(sql.c_str(), &select)) return status;
    select.BindText(1, key);
    bool has_row = false;
    if (tbs_status_t status = db->StepRow(&select, &has_row, "cannot read a view")) return status;
    if (!has_row) return TBS_ST_NOT_FOUND;
    ReadRecord(select, view);
    return TBS_ST_OK;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

tbs_status_t FindViewByTag(CClientDatabase* db, const std::string& tag, CViewRecord* view) {
    return FindViewBy(db, "tag", tag, view);
}

tbs_status_t FindViewByUuid(CClientDatabase* db, const std::string& uuid, CViewRecord* view) {
    return FindViewBy(db, "uuid", uuid, view);
}

tbs_status_t ReadViews(CClientDatabase* db, std::vector<CViewRecord>* views) {
    views->clear();
    std::string sql = std::string(kViewColumns) + " ORDER BY tag";
    CStatement select;
    if (tbs_status_t status = db->Prepare(sql.c_str(), &select)) return status;
    for (;;) {
        bool has_row = false;
        if (tbs_status_t status = db->StepRow(&select, &has_row, "cannot read the views"))
            return status;
        if (!has_row) return TBS_ST_OK;
        views->emplace_back();
        ReadRecord(select, &views->back());
    }
}

tbs_status_t FindWorkspaceHolding(CClientDatabase* db, const std::string& path, CViewRecord* view) {
    const std::string wanted = NormalizeAbsolutePath(path);
    std::vector<CViewRecord> views;
    if (tbs_status_t status = ReadViews(db, &views)) return status;
    const CViewRecord* best = nullptr;
    for (const CViewRecord& candidate : views) {
        if (!candidate.is_workspace || !PathHolds(candidate.workspace_root, wanted)) continue;
        if (!best || candidate.workspace_root.size() > best->workspace_root.size())
            best = &candidate;
    }
    if (!best) return TBS_ST_NOT_WS;
    *view = *best;
    return TBS_ST_OK;
}

tbs_status_t StoreConfigSpec(const std::string& uuid, std::string_view text) {
    if (tbs_status_t status = CheckConfigSpecText(text)) return status;
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CTransaction transaction(&db);
    if (tbs_status_t status = transaction.Begin()) return status;
    CStatement update;
    if (tbs_status_t status =
            db.Prepare("UPDATE view SET config_spec = ?1 WHERE uuid = ?2", &update))
        return status;
    update.BindBlob(1, text);
    update.BindText(2, uuid);
    if (tbs_status_t status = db.StepDone(&update, "cannot store a config spec")) return status;
    if (db.Changes() == 0) return TBS_ST_NOT_FOUND;
    return transaction.Commit();
}

tbs_status_t LoadConfigSpec(const std::string& uuid, std::string* text) {
    text->clear();
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CStatement select;
    if (tbs_status_t status = db.Prepare("SELECT config_spec FROM view WHERE uuid = ?1", &select))
        return status;
    select.BindText(1, uuid);
    bool has_row = false;
    if (tbs_status_t status = db.StepRow(&select, &has_row, "cannot read a config spec"))
        return status;
    if (!has_row) return TBS_ST_NOT_FOUND;
    *text = select.ColumnBlob(0);
    return TBS_ST_OK;
}

std::string NormalizeAbsolutePath(const std::string& path) {
    std::filesystem::path p(path);
    if (p.is_relative()) {
        std::error_code ec;
        std::filesystem::path cwd = std::filesystem::current_path(ec);
        p = ec ? std::filesystem::path("/") / p : cwd / p;
    }
    std::string result = p.lexically_normal().string();
    while (result.size() > 1 && result.back() == '/') result.pop_back();
    return result;
}

bool PathHolds(const std::string& root, const std::string& path) {
    if (root.empty()) return false;
    if (root == "/") return !path.empty() && path[0] == '/';
    return path.compare(0, root.size(), root) == 0 &&
           (path.size() == root.size() || path[root.size()] == '/');
}

bool UuidFromText(std::string_view text, tbs_uuid_t* uuid) {
    // 8-4-4-4-12 hexadecimal digits.
    if (text.size() != 36) return false;
    size_t out = 0;
    for (size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') return false;
            ++i;
            continue;
        }
        int high = HexDigit(text[i]);
        int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        uuid->bytes[out++] = static_cast<uint8_t>(high * 16 + low);
        i += 2;
    }
    return out == 16;
}

std::string UuidToText(const tbs_uuid_t& uuid) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
        text.push_back(kDigits[uuid.bytes[i] >> 4]);
        text.push_back(kDigits[uuid.bytes[i] & 0x0f]);
    }
    return text;
}

std::string DynamicViewPath(const std::string& tag) {
    return KelmoraHome() + "/views/" + tag;
}

}  // namespace kelmora::client

#include "client/type_admin.h"

#include "client/cfs_grammar.h"
#include "client/vob_admin.h"
#include "platform/uuid.h"

namespace kelmora::client {

namespace {

constexpr char kTypeColumns[] =
    "SELECT t.id, t.vob_id, v.tag, t.kind, t.name, t.uuid, t.locked, t.is_admin, t.comment "
    "FROM vob_type t JOIN vob v ON v.id = t.vob_id";

void ReadRecord(const CStatement& row, CTypeRecord* type) {
    type->id = row.ColumnInt(0);
    type->vob_id = row.ColumnInt(1);
    type->vob_tag = row.ColumnText(2);
    type->kind = row.ColumnText(3) == TypeKindWord(ETypeKind::kLabel) ? ETypeKind::kLabel
                                                                      : ETypeKind::kBranch;
    type->name = row.ColumnText(4);
    type->uuid = row.ColumnText(5);
    type->locked = row.ColumnInt(6) != 0;
    type->admin = row.ColumnInt(7) != 0;
    type->comment = row.ColumnText(8);
}

// The first row of kTypeColumns + where, with the bound texts and numbers.
tbs_status_t SelectType(CClientDatabase* db, const char* where, CTypeRecord* type,
                        const std::function<void(CStatement*)>& bind) {
    std::string sql = std::string(kTypeColumns) + " WHERE " + where;
    CStatement select;
    if (tbs_status_t status = db->Prepare(sql.c_str(), &select)) return status;
    bind(&select);
    bool has_row = false;
    if (tbs_status_t status = db->StepRow(&select, &has_row, "cannot read a type")) return status;
    if (!has_row) return TBS_ST_NOT_FOUND;
    ReadRecord(select, type);
    return TBS_ST_OK;
}

tbs_status_t FindTypeIn(CClientDatabase* db, ETypeKind kind, const std::string& name,
                        const std::string& vob_tag, CTypeRecord* type) {
    return SelectType(db, "v.tag = ?1 AND t.kind = ?2 AND t.name = ?3", type,
                      [&](CStatement* select) {
                          select->BindText(1, vob_tag);
                          select->BindText(2, TypeKindWord(kind));
                          select->BindText(3, name);
                      });
}

// Runs change on a type that must exist, inside one transaction.
tbs_status_t ChangeType(
    ETypeKind kind, const std::string& name, const std::string& vob_tag,
    const std::function<tbs_status_t(CClientDatabase*, const CTypeRecord&)>& change) {
    return RunInTransaction([&](CClientDatabase* db) -> tbs_status_t {
        CTypeRecord type;
        if (tbs_status_t status = FindTypeIn(db, kind, name, vob_tag, &type)) return status;
        return change(db, type);
    });
}

tbs_status_t RunOnRow(CClientDatabase* db, const char* sql, long long id, const char* what) {
    CStatement statement;
    if (tbs_status_t status = db->Prepare(sql, &statement)) return status;
    statement.BindInt(1, id);
    return db->StepDone(&statement, what);
}

}  // namespace

bool IsValidTypeName(std::string_view name) {
    return name.size() <= kMaxTypeNameLength && IsValidCfsName(name);
}

const char* TypeKindWord(ETypeKind kind) {
    return kind == ETypeKind::kLabel ? "lbtype" : "brtype";
}

bool ParseTypeSelector(std::string_view selector, ETypeKind* kind, std::string* name,
                       std::string* vob_tag) {
    size_t colon = selector.find(':');
    if (colon == std::string_view::npos) return false;
    std::string_view word = selector.substr(0, colon);
    if (word == TypeKindWord(ETypeKind::kBranch)) {
        *kind = ETypeKind::kBranch;
    } else if (word == TypeKindWord(ETypeKind::kLabel)) {
        *kind = ETypeKind::kLabel;
    } else {
        return false;
    }
    std::string_view rest = selector.substr(colon + 1);
    for (size_t at = rest.find('@'); at != std::string_view::npos; at = rest.find('@', at + 1)) {
        if (at + 1 < rest.size() && (rest[at + 1] == '/' || rest[at + 1] == '\\')) {
            if (at == 0) return false;
            *name = std::string(rest.substr(0, at));
            *vob_tag = std::string(rest.substr(at + 1));
            return true;
        }
    }
    return false;
}

std::string TypeSelector(ETypeKind kind, const std::string& name, const std::string& vob_tag) {
    return std::string(TypeKindWord(kind)) + ":" + name + "@" + vob_tag;
}

tbs_status_t CreateType(ETypeKind kind, const std::string& name, const std::string& vob_tag,
                        const std::string& comment, bool admin) {
    if (!IsValidTypeName(name)) return TBS_ST_INVALID;
    tbs_status_t fault = TBS_ST_OK;
    tbs_status_t status = RunInTransaction([&](CClientDatabase* db) -> tbs_status_t {
        CVobRecord vob;
        if (tbs_status_t found = FindVobByTag(db, vob_tag, &vob)) return found;
        if (vob.fault_call == kVobFaultCreate && vob.fault_status != TBS_ST_OK) {
            // Answered once: the clearing is committed, the creation is not made.
            fault = vob.fault_status;
            return RunOnRow(db, "UPDATE vob SET fault_status = 0 WHERE id = ?1", vob.id,
                            "cannot clear a VOB's fault");
        }
        CTypeRecord existing;
        tbs_status_t found = FindTypeIn(db, kind, name, vob_tag, &existing);
        if (found == TBS_ST_OK) return TBS_ST_EXISTS;
        if (found != TBS_ST_NOT_FOUND) return found;
        CStatement insert;
        if (tbs_status_t prepared =
                db->Prepare("INSERT INTO vob_type (vob_id, kind, name, uuid, comment, is_admin) "
                            "VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
                            &insert))
            return prepared;
        insert.BindInt(1, vob.id);
        insert.BindText(2, TypeKindWord(kind));
        insert.BindText(3, name);
        insert.BindText(4, NewUuidText());
        insert.BindText(5, comment);
        insert.BindInt(6, admin ? 1 : 0);
        return db->StepDone(&insert, "cannot create a type");
    });
    return status != TBS_ST_OK ? status : fault;
}

tbs_status_t FindType(ETypeKind kind, const std::string& name, const std::string& vob_tag,
                      CTypeRecord* type) {
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    return FindTypeIn(&db, kind, name, vob_tag, type);
}

tbs_status_t FindTypeObject(long long vob_id, const std::string& uuid, CTypeRecord* type) {
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    return SelectType(&db, "t.vob_id = ?1 AND t.uuid = ?2", type, [&](CStatement* select) {
        select->BindInt(1, vob_id);
        select->BindText(2, uuid);
    });
}

tbs_status_t SetTypeLock(ETypeKind kind, const std::string& name, const std::string& vob_tag,
                         bool locked) {
    return ChangeType(kind, name, vob_tag,
                      [locked](CClientDatabase* db, const CTypeRecord& type) -> tbs_status_t {
                          if (type.locked == locked) return TBS_ST_ERR;
                          return RunOnRow(db,
                                          locked ? "UPDATE vob_type SET locked = 1 WHERE id = ?1"
                                                 : "UPDATE vob_type SET locked = 0 WHERE id = ?1",
                                          type.id, "cannot lock or unlock a type");
                      });
}

tbs_status_t RemoveType(ETypeKind kind, const std::string& name, const std::string& vob_tag) {
    return ChangeType(kind, name, vob_tag,
                      [](CClientDatabase* db, const CTypeRecord& type) -> tbs_status_t {
                          if (type.locked) return TBS_ST_LOCKED;
                          return RunOnRow(db, "DELETE FROM vob_type WHERE id = ?1", type.id,
                                          "cannot remove a type");
                      });
}

tbs_status_t ListTypes(const std::string& vob_tag, std::vector<CTypeRecord>* types) {
    types->clear();
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CVobRecord vob;
    if (tbs_status_t status = FindVobByTag(&db, vob_tag, &vob)) return status;
    std::string sql = std::string(kTypeColumns) + " WHERE t.vob_id = ?1 ORDER BY t.kind, t.name";
    CStatement select;
    if (tbs_status_t status = db.Prepare(sql.c_str(), &select)) return status;
    select.BindInt(1, vob.id);
    for (;;) {
        bool has_row = false;
        if (tbs_status_t status = db.StepRow(&select, &has_row, "cannot read the types"))
            return status;
        if (!has_row) return TBS_ST_OK;
        types->emplace_back();
        ReadRecord(select, &types->back());
    }
}

}  // namespace kelmora::client

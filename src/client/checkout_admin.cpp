#include "client/checkout_admin.h"

#include "client/database.h"
#include "client/vob_admin.h"
#include "platform/uuid.h"

namespace kelmora::client {

namespace {

constexpr size_t kMaxElementLength = 1023;

tbs_status_t FindViewId(CClientDatabase* db, const std::string& tag, long long* id) {
    CStatement select;
    if (tbs_status_t status = db->Prepare("SELECT id FROM view WHERE tag = ?1", &select))
        return status;
    select.BindText(1, tag);
    bool has_row = false;
    if (tbs_status_t status = db->StepRow(&select, &has_row, "cannot read a view")) return status;
    if (!has_row) return TBS_ST_NOT_FOUND;
    *id = select.ColumnInt(0);
    return TBS_ST_OK;
}

// The view's row id and the VOB's record, both of which must exist.
tbs_status_t FindViewAndVob(CClientDatabase* db, const std::string& view_tag,
                            const std::string& vob_tag, long long* view_id, CVobRecord* vob) {
    if (tbs_status_t status = FindViewId(db, view_tag, view_id)) return status;
    return FindVobByTag(db, vob_tag, vob);
}

tbs_status_t InsertInventoryEntry(CClientDatabase* db, long long view_id, long long vob_id) {
    CStatement insert;
    if (tbs_status_t status = db->Prepare(
            "INSERT OR IGNORE INTO view_vob (view_id, vob_id) VALUES (?1, ?2)", &insert))
        return status;
    insert.BindInt(1, view_id);
    insert.BindInt(2, vob_id);
    return db->StepDone(&insert, "cannot add a VOB to a view");
}

// The uuid of the VOB's replica of that name, made when a replicated VOB
// meets it for the first time.
tbs_status_t ReplicaUuid(CClientDatabase* db, const CVobRecord& vob, const std::string& name,
                         std::string* uuid) {
    if (name.empty() || name == vob.replica_name) {
        *uuid = vob.replica_uuid;
        return TBS_ST_OK;
    }
    if (!vob.replicated) return TBS_ST_INVALID;
    CStatement select;
    if (tbs_status_t status =
            db->Prepare("SELECT uuid FROM vob_replica WHERE vob_id = ?1 AND name = ?2", &select))
        return status;
    select.BindInt(1, vob.id);
    select.BindText(2, name);
    bool has_row = false;
    if (tbs_status_t status = db->StepRow(&select, &has_row, "cannot read a replica"))
        return status;
    if (has_row) {
        *uuid = select.ColumnText(0);
        return TBS_ST_OK;
    }
    *uuid = NewUuidText();
    CStatement insert;
    if (tbs_status_t status = db->Prepare(
            "INSERT INTO vob_replica (vob_id, name, uuid) VALUES (?1, ?2, ?3)", &insert))
        return status;
    insert.BindInt(1, vob.id);
    insert.BindText(2, name);
    insert.BindText(3, *uuid);
    return db->StepDone(&insert, "cannot add a replica");
}

}  // namespace

std::string CheckoutLine(const CCheckoutRecord& checkout) {
    return checkout.vob_tag + '\t' + checkout.element + '\t' + checkout.master_replica + '\n';
}

bool IsValidElementName(const std::string& element) {
    if (element.empty() || element.size() > kMaxElementLength) return false;
    for (unsigned char c : element) {
        if (c < ' ' || c == 0x7f) return false;
    }
    return true;
}

bool IsVobFaultCall(const std::string& call) {
    for (const char* known :
         {kVobFaultOpen, kVobFaultReplica, kVobFaultCheckouts, kVobFaultMaster, kVobFaultCreate})
        if (call == known) return true;
    return false;
}

tbs_status_t AddVobToView(CClientDatabase* db, const std::string& view_tag,
                          const std::string& vob_tag) {
    long long view_id = 0;
    CVobRecord vob;
    if (tbs_status_t status = FindViewAndVob(db, view_tag, vob_tag, &view_id, &vob)) return status;
    if (tbs_status_t status = InsertInventoryEntry(db, view_id, vob.id)) return status;
    return db->Changes() == 0 ? TBS_ST_EXISTS : TBS_ST_OK;
}

tbs_status_t CheckOut(CClientDatabase* db, const std::string& view_tag, const std::string& vob_tag,
                      const std::string& element, const std::string& master) {
    if (!IsValidElementName(element)) return TBS_ST_INVALID;
    long long view_id = 0;
    CVobRecord vob;
    if (tbs_status_t status = FindViewAndVob(db, view_tag, vob_tag, &view_id, &vob)) return status;
    std::string master_uuid;
    if (tbs_status_t status = ReplicaUuid(db, vob, master, &master_uuid)) return status;
    CStatement insert;
    if (tbs_status_t status = db->Prepare(
            "INSERT OR IGNORE INTO checkout (view_id, vob_id, element, oid, master_replica) "
            "VALUES (?1, ?2, ?3, ?4, ?5)",
            &insert))
        return status;
    insert.BindInt(1, view_id);
    insert.BindInt(2, vob.id);
    insert.BindText(3, element);
    insert.BindText(4, NewUuidText());
    insert.BindText(5, master_uuid);
    if (tbs_status_t status = db->StepDone(&insert, "cannot check out")) return status;
    if (db->Changes() == 0) return TBS_ST_EXISTS;
    // A view sees what it has checked out.
    return InsertInventoryEntry(db, view_id, vob.id);
}

tbs_status_t EndCheckOut(CClientDatabase* db, const std::string& view_tag,
                         const std::string& vob_tag, const std::string& element) {
    long long view_id = 0;
    CVobRecord vob;
    if (tbs_status_t status = FindViewAndVob(db, view_tag, vob_tag, &view_id, &vob)) return status;
    CStatement remove;
    if (tbs_status_t status = db->Prepare(
            "DELETE FROM checkout WHERE view_id = ?1 AND vob_id = ?2 AND element = ?3", &remove))
        return status;
    remove.BindInt(1, view_id);
    remove.BindInt(2, vob.id);
    remove.BindText(3, element);
    if (tbs_status_t status = db->StepDone(&remove, "cannot end a checkout")) return status;
    return db->Changes() == 0 ? TBS_ST_NOT_FOUND : TBS_ST_OK;
}

tbs_status_t AddVobToView(const std::string& view_tag, const std::string& vob_tag) {
    return RunInTransaction(
        [&](CClientDatabase* db) { return AddVobToView(db, view_tag, vob_tag); });
}

tbs_status_t CheckOut(const std::string& view_tag, const std::string& vob_tag,
                      const std::string& element, const std::string& master) {
    return RunInTransaction(
        [&](CClientDatabase* db) { return CheckOut(db, view_tag, vob_tag, element, master); });
}

tbs_status_t EndCheckOut(const std::string& view_tag, const std::string& vob_tag,
                         const std::string& element) {
    return RunInTransaction(
        [&](CClientDatabase* db) { return EndCheckOut(db, view_tag, vob_tag, element); });
}

tbs_status_t ForEachCheckout(const std::string& view_tag,
                             const std::function<bool(const CCheckoutRecord&)>& visit) {
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    long long view_id = 0;
    if (tbs_status_t status = FindViewId(&db, view_tag, &view_id)) return status;
    CStatement select;
    if (tbs_status_t status =
            db.Prepare("SELECT v.tag, c.element, COALESCE(r.name, v.replica_name), c.oid "
                       "FROM checkout c JOIN vob v ON v.id = c.vob_id "
                       "LEFT JOIN vob_replica r ON r.uuid = c.master_replica "
                       "WHERE c.view_id = ?1 ORDER BY c.id",
                       &select))
        return status;
    select.BindInt(1, view_id);
    CCheckoutRecord record;
    for (;;) {
        bool has_row = false;
        if (tbs_status_t status = db.StepRow(&select, &has_row, "cannot read the checkouts"))
            return status;
        if (!has_row) return TBS_ST_OK;
        record.vob_tag = select.ColumnText(0);
        record.element = select.ColumnText(1);
        record.master_replica = select.ColumnText(2);
        record.oid = select.ColumnText(3);
        if (!visit(record)) return TBS_ST_OK;
    }
}

tbs_status_t SetVobFault(const std::string& vob_tag, tbs_status_t status, const std::string& call) {
    if (!IsVobFaultCall(call)) return TBS_ST_INVALID;
    CClientDatabase db;
    if (tbs_status_t opened = db.Open()) return opened;
    CStatement update;
    if (tbs_status_t prepared =
            db.Prepare("UPDATE vob SET fault_status = ?1, fault_call = ?2 WHERE tag = ?3", &update))
        return prepared;
    update.BindInt(1, status);
    update.BindText(2, call);
    update.BindText(3, vob_tag);
    if (tbs_status_t updated = db.StepDone(&update, "cannot set a VOB's fault")) return updated;
    return db.Changes() == 0 ? TBS_ST_NOT_FOUND : TBS_ST_OK;
}

}  // namespace kelmora::client

#pragma once

#include <sqlite3.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "client/status.h"

namespace kelmora::client {

// One prepared statement, finalized when the object dies. A failed bind is
// kept and returned by the next Step, so call sites bind without checking.
class CStatement {
public:
    CStatement() = default;
    ~CStatement();
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;

    void BindText(int index, std::string_view text);
    // The bytes are not copied (a config spec may be megabytes): they must
    // stay as they are until the statement has run.
    void BindBlob(int index, std::string_view bytes);
    void BindInt(int index, long long value);
    void BindNull(int index);

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step();
    // Ready to run again, with no values bound.
    void Reset();

    std::string ColumnText(int column) const;
    std::string ColumnBlob(int column) const;
    long long ColumnInt(int column) const;
    bool ColumnIsNull(int column) const;

private:
    friend class CClientDatabase;
    sqlite3_stmt* stmt_ = nullptr;
    int bind_error_ = SQLITE_OK;
};

class CClientConnection;

// The process's connection to $KELMORA_HOME/client.db. It is opened, switched
// to WAL and its schema brought up to date by the first Open of a process,
// and kept until the process ends (or CloseClientDatabase): on a network home
// every open costs round trips, and a last close that removes the log files
// makes the next open create them again. A forked child or a change of
// KELMORA_HOME gets a connection of its own.
class CClientDatabase {
public:
    CClientDatabase();
    ~CClientDatabase();
    CClientDatabase(const CClientDatabase&) = delete;
    CClientDatabase& operator=(const CClientDatabase&) = delete;

    // Takes the process's connection, opening it on first use (creating the
    // folder and the file when missing).
    tbs_status_t Open();

    tbs_status_t Prepare(const char* sql, CStatement* statement);
    tbs_status_t Execute(const char* sql);
    // Runs a statement that returns no rows.
    tbs_status_t StepDone(CStatement* statement, const char* what);
    // Runs a statement to its first row; *has_row tells whether there was one.
    tbs_status_t StepRow(CStatement* statement, bool* has_row, const char* what);
    int Changes() const { return sqlite3_changes(handle()); }

    // Reports the connection's last error on the error output; returns TBS_ST_DATABASE.
    tbs_status_t Fail(const char* what, int code);

    sqlite3* handle() const;

private:
    friend class CClientConnection;
    friend class CTransaction;
    std::shared_ptr<CClientConnection> connection_;
};

// BEGIN IMMEDIATE ... COMMIT; rolled back when the object dies uncommitted.
// Writers take the write lock up front, so a busy database is waited for (the
// busy timeout) instead of failing halfway through.
class CTransaction {
public:
    explicit CTransaction(CClientDatabase* db) : db_(db) {}
    ~CTransaction();
    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;

    tbs_status_t Begin();
    tbs_status_t Commit();

private:
    CClientDatabase* db_;
    bool active_ = false;
    // One connection serves every thread: a transaction is one thread's at a time.
    std::unique_lock<std::recursive_mutex> turn_;
};

// Runs change on the process's connection inside one write transaction,
// committed only when change succeeds.
tbs_status_t RunInTransaction(const std::function<tbs_status_t(CClientDatabase*)>& change);

// The version the schema steps lead to.
int ClientSchemaVersion();

}  // namespace kelmora::client

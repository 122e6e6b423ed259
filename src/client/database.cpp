#include "client/database.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "client/admin.h"
#include "client/messages.h"
#include "platform/env.h"

namespace kelmora::client {

namespace {

constexpr int kBusyTimeoutMs = 10000;
constexpr int kWalRetryMs = 10;
// How long a writer's last checkpoint waits for readers to leave the log.
constexpr int kCloseCheckpointWaitMs = 2000;

// The schema, one step per version: step i leads from version i to i + 1.
// A database is brought forward step by step, so an existing one keeps its
// data when later versions add tables. Never edit a step once released; add one.
const char* const kSchemaSteps[] = {
    // 1: registry values; views and workspaces.
    R"sql(
    CREATE TABLE registry_value (
        hive      INTEGER NOT NULL CHECK (hive IN (0, 1)),
        user_name TEXT    NOT NULL,  -- owner of a per-user value, '' in the machine hive
        key_path  TEXT    NOT NULL COLLATE NOCASE,
        name      TEXT    NOT NULL COLLATE NOCASE,
        value     TEXT    NOT NULL,
        PRIMARY KEY (hive, user_name, key_path, name)
    );
    CREATE TABLE view (
        id               INTEGER PRIMARY KEY,
        tag              TEXT    NOT NULL UNIQUE,
        uuid             TEXT    NOT NULL UNIQUE,
        is_workspace     INTEGER NOT NULL DEFAULT 0,
        workspace_root   TEXT    UNIQUE,  -- absolute, normalized; null for a dynamic view
        load_preferences INTEGER NOT NULL DEFAULT 0,
        config_spec      BLOB    NOT NULL DEFAULT x''
    );
    )sql",
    // 2: VOBs with this site's replica; the other sites' replicas of replicated VOBs.
    R"sql(
    CREATE TABLE vob (
        id           INTEGER PRIMARY KEY,
        tag          TEXT    NOT NULL UNIQUE,  -- absolute name: "/vobs/src", "\src"
        uuid         TEXT    NOT NULL UNIQUE,
        replica_name TEXT    NOT NULL,         -- this site's replica
        replica_uuid TEXT    NOT NULL UNIQUE,
        replicated   INTEGER NOT NULL DEFAULT 0,
        mount_dir    TEXT    NOT NULL,
        storage_path TEXT    NOT NULL UNIQUE,  -- absolute, normalized
        fault_status INTEGER NOT NULL DEFAULT 0,  -- what the faulted call answers; 0: none
        fault_call   TEXT    NOT NULL DEFAULT 'open'
    );
    CREATE TABLE vob_replica (
        id     INTEGER PRIMARY KEY,
        vob_id INTEGER NOT NULL REFERENCES vob (id) ON DELETE CASCADE,
        name   TEXT    NOT NULL,
        uuid   TEXT    NOT NULL UNIQUE,
        UNIQUE (vob_id, name)
    );
    )sql",
    // 3: the VOBs each view sees, in the order it came to see them; checkouts.
    R"sql(
    CREATE TABLE view_vob (
        id      INTEGER PRIMARY KEY,
        view_id INTEGER NOT NULL REFERENCES view (id) ON DELETE CASCADE,
        vob_id  INTEGER NOT NULL REFERENCES vob (id) ON DELETE CASCADE,
        UNIQUE (view_id, vob_id)
    );
    CREATE INDEX view_vob_by_view ON view_vob (view_id);
    CREATE TABLE checkout (
        id             INTEGER PRIMARY KEY,
        vob_id         INTEGER NOT NULL REFERENCES vob (id) ON DELETE CASCADE,
        view_id        INTEGER NOT NULL REFERENCES view (id) ON DELETE CASCADE,
        element        TEXT    NOT NULL,
        oid            TEXT    NOT NULL UNIQUE,  -- the checked-out object
        master_replica TEXT    NOT NULL,         -- uuid of the replica that masters it
        UNIQUE (vob_id, view_id, element)
    );
    CREATE INDEX checkout_by_vob_view ON checkout (vob_id, view_id);
    )sql",
    // 4: the tag registry (regions; entries of a kind holding numbered text
    // keys), the path prefix map and the file system driver's mount table.
    R"sql(
    CREATE TABLE rgy_region (
        name       TEXT    PRIMARY KEY,
        is_default INTEGER NOT NULL DEFAULT 0
    );
    INSERT INTO rgy_region (name, is_default) VALUES ('local', 1);
    CREATE TABLE rgy_entry (
        id     INTEGER PRIMARY KEY,
        kind   INTEGER NOT NULL,
        region TEXT    NOT NULL
    );
    CREATE TABLE rgy_entry_key (
        entry_id INTEGER NOT NULL,
        key      INTEGER NOT NULL,
        value    TEXT    NOT NULL,
        PRIMARY KEY (entry_id, key)
    );
    CREATE INDEX rgy_entry_key_by_value ON rgy_entry_key (key, value);
    CREATE TABLE path_prefix (
        path TEXT    PRIMARY KEY,
        uses INTEGER NOT NULL CHECK (uses > 0)
    );
    CREATE TABLE trfs_mount (
        tag           TEXT    PRIMARY KEY,
        storage_path  TEXT    NOT NULL,
        object_path   TEXT    NOT NULL,
        registry_path TEXT    NOT NULL,
        host          TEXT    NOT NULL,
        vob_uuid      TEXT    NOT NULL,
        replica_uuid  TEXT    NOT NULL,
        flags         INTEGER NOT NULL,
        mount_point   TEXT    NOT NULL
    );
    )sql",
    // 5: the driver's mount faults: how many of the next mounts of a tag it refuses.
    R"sql(
    CREATE TABLE trfs_mount_fault (
        tag       TEXT    PRIMARY KEY,
        remaining INTEGER NOT NULL CHECK (remaining > 0)
    );
    )sql",
    // 6: the branch types and label types of each VOB.
    R"sql(
    CREATE TABLE vob_type (
        id       INTEGER PRIMARY KEY,
        vob_id   INTEGER NOT NULL REFERENCES vob (id) ON DELETE CASCADE,
        kind     TEXT    NOT NULL CHECK (kind IN ('brtype', 'lbtype')),
        name     TEXT    NOT NULL,         -- case-sensitive: "Main" is not "main"
        uuid     TEXT    NOT NULL UNIQUE,  -- the type object
        locked   INTEGER NOT NULL DEFAULT 0,
        comment  TEXT    NOT NULL DEFAULT '',
        is_admin INTEGER NOT NULL DEFAULT 0,  -- made for the VOBs that use this one as admin VOB
        UNIQUE (vob_id, kind, name)
    );
    )sql",
};

}  // namespace

std::string ClientDatabasePath() {
    return KelmoraHome() + "/client.db";
}

int ClientSchemaVersion() {
    return static_cast<int>(std::size(kSchemaSteps));
}

CStatement::~CStatement() {
    sqlite3_finalize(stmt_);
}

void CStatement::BindText(int index, std::string_view text) {
    int rc = sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                               SQLITE_TRANSIENT);
    if (rc != SQLITE_OK && bind_error_ == SQLITE_OK) bind_error_ = rc;
}

void CStatement::BindBlob(int index, std::string_view bytes) {
    // An empty blob must still be a blob, not null: bind a zero-length one.
    int rc = bytes.empty() ? sqlite3_bind_zeroblob(stmt_, index, 0)
                           : sqlite3_bind_blob(stmt_, index, bytes.data(),
                                               static_cast<int>(bytes.size()), SQLITE_STATIC);
    if (rc != SQLITE_OK && bind_error_ == SQLITE_OK) bind_error_ = rc;
}

void CStatement::BindInt(int index, long long value) {
    int rc = sqlite3_bind_int64(stmt_, index, value);
    if (rc != SQLITE_OK && bind_error_ == SQLITE_OK) bind_error_ = rc;
}

void CStatement::BindNull(int index) {
    int rc = sqlite3_bind_null(stmt_, index);
    if (rc != SQLITE_OK && bind_error_ == SQLITE_OK) bind_error_ = rc;
}

int CStatement::Step() {
    if (bind_error_ != SQLITE_OK) return bind_error_;
    return sqlite3_step(stmt_);
}

void CStatement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    bind_error_ = SQLITE_OK;
}

std::string CStatement::ColumnText(int column) const {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    int size = sqlite3_column_bytes(stmt_, column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(size))
                : std::string();
}

std::string CStatement::ColumnBlob(int column) const {
    const void* data = sqlite3_column_blob(stmt_, column);
    int size = sqlite3_column_bytes(stmt_, column);
    return data ? std::string(static_cast<const char*>(data), static_cast<size_t>(size))
                : std::string();
}

long long CStatement::ColumnInt(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

bool CStatement::ColumnIsNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

// One open connection. Whoever holds it may use it; the process's state
// holds it too until the process ends, so that it is opened once.
class CClientConnection {
public:
    CClientConnection() : pid_(::getpid()) {}
    ~CClientConnection() {
        // A forked child must not close what its parent still uses: the
        // close would checkpoint, and could remove the log files, under it.
        if (!db_ || ::getpid() != pid_) return;
        // A process that changed nothing writes nothing, not even at the end:
        // the checkpoint of what others wrote is left to a writer.
        if (sqlite3_total_changes(db_) == 0 && !migrated_) {
            sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        } else {
            // A writer leaves client.db whole and the log empty, though others
            // still read: a copy of client.db alone then has every change, and
            // no old log is laid over a client.db put back by hand.
            sqlite3_busy_timeout(db_, kCloseCheckpointWaitMs);
            sqlite3_wal_checkpoint_v2(db_, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
        }
        sqlite3_close_v2(db_);
    }
    CClientConnection(const CClientConnection&) = delete;
    CClientConnection& operator=(const CClientConnection&) = delete;

    // Opens the file and prepares it for use through database, which holds
    // this connection; shared: with the cache of another connection of this
    // process to the same file.
    tbs_status_t Open(CClientDatabase* database, bool shared);
    // The file that the path names now is the one this connection opened:
    // a database removed or replaced meanwhile is opened again, not written
    // where nobody will find it.
    bool StillNamedBy(const std::string& path) const {
        struct stat now {};
        return ::stat(path.c_str(), &now) == 0 && now.st_dev == file_.st_dev &&
               now.st_ino == file_.st_ino;
    }

    sqlite3* handle() const { return db_; }
    pid_t pid() const { return pid_; }
    std::recursive_mutex& transaction_turn() { return transaction_turn_; }

private:
    tbs_status_t UseWriteAheadLog(CClientDatabase* database);
    tbs_status_t Migrate(CClientDatabase* database);
    tbs_status_t ReadSchemaVersion(CClientDatabase* database, int* version);

    sqlite3* db_ = nullptr;
    const pid_t pid_;
    struct stat file_ {};
    bool migrated_ = false;
    std::recursive_mutex transaction_turn_;
};

namespace {

struct CProcessConnection {
    std::mutex mutex;
    std::shared_ptr<CClientConnection> connection;
    std::string home;
    bool close_at_exit = false;
    // Once a file was replaced under a connection, the cache of another
    // copy of this code may still be the old file's.
    bool file_replaced = false;
};

CProcessConnection& ProcessConnection() {
    static CProcessConnection* state = new CProcessConnection();  // outlives every static user
    return *state;
}

// The pid of the first open: a forked child shares nothing with its parent's
// connection, not even SQLite's cache of the file.
pid_t FirstOpenPid() {
    static const pid_t pid = ::getpid();
    return pid;
}

}  // namespace

// The program and the library that it loads each carry this code, and each
// opens its own connection. With a shared cache the second open of the same
// file in a process takes the first one's file, log and cache instead of
// opening them again.
tbs_status_t CClientConnection::Open(CClientDatabase* database, bool shared) {
    if (!EnsureStateFolder(KelmoraHome())) {
        imsg_print(IMSG_KIND_ERROR, "Cannot create the folder %s: %s\n", -1, KelmoraHome().c_str(),
                   std::strerror(errno));
        return TBS_ST_DATABASE;
    }
    const std::string path = ClientDatabasePath();
    // The database holds the user's settings and config specs: the user's
    // alone (its log and index take its mode).
    if (int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600); fd >= 0)
        ::close(fd);
    const int cache = shared ? SQLITE_OPEN_SHAREDCACHE : SQLITE_OPEN_PRIVATECACHE;
    int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | cache,
                             nullptr);
    if (rc != SQLITE_OK) {
        tbs_status_t status = database->Fail("cannot be opened", rc);
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return status;
    }
    ::stat(path.c_str(), &file_);
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    // The log files stay when the last connection closes: the next process
    // would only make them again. Emptied at that close, they cost nothing.
    int persist = 1;
    sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    if (tbs_status_t status = database->Execute("PRAGMA journal_size_limit = 0")) return status;
    // Freed pages are not written over with zeros page by page: replacing a
    // config spec of megabytes would write it twice. What the pages held is
    // still cleared where that costs no write of its own.
    if (tbs_status_t status = database->Execute("PRAGMA secure_delete = FAST")) return status;
    // Removing a view or a VOB takes its inventory entries and checkouts with it.
    if (tbs_status_t status = database->Execute("PRAGMA foreign_keys = ON")) return status;

    if (tbs_status_t status = UseWriteAheadLog(database)) return status;
    return Migrate(database);
}

// WAL lets readers go on while one process writes; the mode stays with the
// file. The switch of a new database needs the whole file, and SQLite refuses
// it at once, without its busy wait, while another process reads it: so it
// is tried again for as long as the busy timeout.
tbs_status_t CClientConnection::UseWriteAheadLog(CClientDatabase* database) {
    for (int waited = 0;; waited += kWalRetryMs) {
        CStatement journal;
        if (tbs_status_t status = database->Prepare("PRAGMA journal_mode=WAL", &journal))
            return status;
        const int rc = journal.Step();
        if (rc == SQLITE_ROW && journal.ColumnText(0) == "wal") return TBS_ST_OK;
        const bool busy = (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
        if (!busy || waited >= kBusyTimeoutMs)
            return database->Fail("cannot switch to WAL", rc == SQLITE_ROW ? SQLITE_ERROR : rc);
        sqlite3_sleep(kWalRetryMs);
    }
}

tbs_status_t CClientConnection::ReadSchemaVersion(CClientDatabase* database, int* version) {
    CStatement statement;
    if (tbs_status_t status = database->Prepare("PRAGMA user_version", &statement)) return status;
    bool has_row = false;
    if (tbs_status_t status =
            database->StepRow(&statement, &has_row, "cannot read the schema version"))
        return status;
    *version = has_row ? static_cast<int>(statement.ColumnInt(0)) : 0;
    return TBS_ST_OK;
}

tbs_status_t CClientConnection::Migrate(CClientDatabase* database) {
    int version = 0;
    if (tbs_status_t status = ReadSchemaVersion(database, &version)) return status;
    if (version == ClientSchemaVersion()) return TBS_ST_OK;

    CTransaction transaction(database);
    if (tbs_status_t status = transaction.Begin()) return status;
    // Another process may have brought it forward while we waited for the lock.
    if (tbs_status_t status = ReadSchemaVersion(database, &version)) return status;
    if (version > ClientSchemaVersion()) {
        imsg_print(IMSG_KIND_ERROR,
                   "Client database %s has schema version %d; this program knows up to %d\n", -1,
                   ClientDatabasePath().c_str(), version, ClientSchemaVersion());
        return TBS_ST_DATABASE;
    }
    migrated_ = true;
    for (; version < ClientSchemaVersion(); ++version) {
        if (tbs_status_t status = database->Execute(kSchemaSteps[version])) return status;
    }
    std::string set_version = "PRAGMA user_version = " + std::to_string(version);
    if (tbs_status_t status = database->Execute(set_version.c_str())) return status;
    return transaction.Commit();
}

CClientDatabase::CClientDatabase() = default;
CClientDatabase::~CClientDatabase() = default;

sqlite3* CClientDatabase::handle() const {
    return connection_ ? connection_->handle() : nullptr;
}

tbs_status_t CClientDatabase::Fail(const char* what, int code) {
    sqlite3* db = handle();
    const char* detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    imsg_print(IMSG_KIND_ERROR, "Client database %s: %s (%s)\n", -1, ClientDatabasePath().c_str(),
               what, detail);
    return TBS_ST_DATABASE;
}

tbs_status_t CClientDatabase::Open() {
    if (connection_) return TBS_ST_OK;
    CProcessConnection& process = ProcessConnection();
    std::lock_guard<std::mutex> guard(process.mutex);
    const std::string home = KelmoraHome();
    if (process.connection && process.connection->pid() == ::getpid() && process.home == home) {
        if (process.connection->StillNamedBy(ClientDatabasePath())) {
            connection_ = process.connection;
            return TBS_ST_OK;
        }
        process.file_replaced = true;
    }
    // Only a connection that opened completely is kept; a failed one is
    // tried again by the next call.
    connection_ = std::make_shared<CClientConnection>();
    const bool shared = ::getpid() == FirstOpenPid() && !process.file_replaced;
    if (tbs_status_t status = connection_->Open(this, shared)) {
        connection_.reset();
        return status;
    }
    process.connection = connection_;
    process.home = home;
    if (!process.close_at_exit) {
        process.close_at_exit = true;
        std::atexit(CloseClientDatabase);
    }
    return TBS_ST_OK;
}

void CloseClientDatabase() {
    CProcessConnection& process = ProcessConnection();
    std::shared_ptr<CClientConnection> closing;
    {
        std::lock_guard<std::mutex> guard(process.mutex);
        closing = std::move(process.connection);
        process.home.clear();
    }
}

tbs_status_t CClientDatabase::Prepare(const char* sql, CStatement* statement) {
    sqlite3_finalize(statement->stmt_);
    statement->stmt_ = nullptr;
    statement->bind_error_ = SQLITE_OK;
    int rc = sqlite3_prepare_v2(handle(), sql, -1, &statement->stmt_, nullptr);
    if (rc != SQLITE_OK) return Fail("cannot prepare a statement", rc);
    return TBS_ST_OK;
}

tbs_status_t CClientDatabase::Execute(const char* sql) {
    int rc = sqlite3_exec(handle(), sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return Fail("cannot update", rc);
    return TBS_ST_OK;
}

tbs_status_t CClientDatabase::StepDone(CStatement* statement, const char* what) {
    int rc = statement->Step();
    if (rc == SQLITE_DONE || rc == SQLITE_ROW) return TBS_ST_OK;
    return Fail(what, rc);
}

tbs_status_t CClientDatabase::StepRow(CStatement* statement, bool* has_row, const char* what) {
    int rc = statement->Step();
    *has_row = rc == SQLITE_ROW;
    if (rc == SQLITE_DONE || rc == SQLITE_ROW) return TBS_ST_OK;
    return Fail(what, rc);
}

CTransaction::~CTransaction() {
    if (active_) sqlite3_exec(db_->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

tbs_status_t CTransaction::Begin() {
    if (db_->connection_) turn_ = std::unique_lock(db_->connection_->transaction_turn());
    if (tbs_status_t status = db_->Execute("BEGIN IMMEDIATE")) return status;
    active_ = true;
    return TBS_ST_OK;
}

tbs_status_t CTransaction::Commit() {
    if (tbs_status_t status = db_->Execute("COMMIT")) return status;
    active_ = false;
    if (turn_.owns_lock()) turn_.unlock();
    return TBS_ST_OK;
}

tbs_status_t RunInTransaction(const std::function<tbs_status_t(CClientDatabase*)>& change) {
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CTransaction transaction(&db);
    if (tbs_status_t status = transaction.Begin()) return status;
    if (tbs_status_t status = change(&db)) return status;
    return transaction.Commit();
}

}  // namespace kelmora::client

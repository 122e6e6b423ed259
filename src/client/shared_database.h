#pragma once

#include <map>
#include <memory>
#include <string>

#include "client/database.h"

namespace kelmora::client {

// A kept statement for one use: reset when the lease ends, so that no read
// transaction stays open between calls and each call sees the latest data.
class CStatementLease {
public:
    CStatementLease() = default;
    ~CStatementLease() {
        if (statement_) statement_->Reset();
    }
    CStatementLease(const CStatementLease&) = delete;
    CStatementLease& operator=(const CStatementLease&) = delete;

    CStatement* operator->() const { return statement_; }
    CStatement* get() const { return statement_; }

private:
    friend class CSharedDatabase;
    CStatement* statement_ = nullptr;
};

// The statements that handles and cursors keep between calls: one set per
// process while any of them lives, so that walking a thousand VOBs prepares
// each statement once. A fork or a change of KELMORA_HOME gets a set of its
// own, on its own connection.
class CSharedDatabase {
public:
    CSharedDatabase() = default;
    CSharedDatabase(const CSharedDatabase&) = delete;
    CSharedDatabase& operator=(const CSharedDatabase&) = delete;

    // The statement for sql, with nothing bound. One text is one statement:
    // a lease ends before the same text is leased again.
    tbs_status_t Statement(const char* sql, CStatementLease* lease);
    CClientDatabase* db() { return &db_; }

private:
    // Declared first, destroyed last: the statements belong to it.
    CClientDatabase db_;
    std::map<std::string, std::unique_ptr<CStatement>, std::less<>> statements_;
};

tbs_status_t AcquireSharedDatabase(std::shared_ptr<CSharedDatabase>* shared);

}  // namespace kelmora::client

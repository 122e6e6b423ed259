#include "client/shared_database.h"

#include <unistd.h>

#include <mutex>

#include "platform/env.h"

namespace kelmora::client {

namespace {

struct CSharedState {
    std::mutex mutex;
    std::weak_ptr<CSharedDatabase> current;
    pid_t pid = 0;
    std::string home;
};

CSharedState& State() {
    static CSharedState* state = new CSharedState();  // outlives every static handle
    return *state;
}

}  // namespace

tbs_status_t CSharedDatabase::Statement(const char* sql, CStatementLease* lease) {
    auto found = statements_.find(std::string_view(sql));
    if (found == statements_.end()) {
        auto prepared = std::make_unique<CStatement>();
        if (tbs_status_t status = db_.Prepare(sql, prepared.get())) return status;
        found = statements_.emplace(sql, std::move(prepared)).first;
    }
    lease->statement_ = found->second.get();
    return TBS_ST_OK;
}

tbs_status_t AcquireSharedDatabase(std::shared_ptr<CSharedDatabase>* shared) {
    CSharedState& state = State();
    std::lock_guard<std::mutex> guard(state.mutex);
    const std::string home = KelmoraHome();
    std::shared_ptr<CSharedDatabase> current = state.current.lock();
    if (current && state.pid == ::getpid() && state.home == home) {
        *shared = std::move(current);
        return TBS_ST_OK;
    }
    auto fresh = std::make_shared<CSharedDatabase>();
    if (tbs_status_t status = fresh->db()->Open()) return status;
    state.current = fresh;
    state.pid = ::getpid();
    state.home = home;
    *shared = std::move(fresh);
    return TBS_ST_OK;
}

}  // namespace kelmora::client

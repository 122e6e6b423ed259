#pragma once

#include <string>

#include "automation/operation_log.h"
#include "platform/fs.h"
#include "support/test_env.h"

namespace kelmora::test {

// The operation log is shared by every test of the process: each test reads
// only what was appended after it started.
class COperationLogTail {
public:
    COperationLogTail() : start_(Contents().size()) {}
    std::string Text() const { return Contents().substr(start_); }

private:
    static std::string Contents() {
        std::string path = OperationLogPath();
        return IsRegularFile(path) ? ReadTextFile(path) : std::string();
    }
    size_t start_;
};

}  // namespace kelmora::test

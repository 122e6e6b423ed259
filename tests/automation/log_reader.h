#pragma once

#include <string>

#include "automation/operation_log.h"
#include "platform/fs.h"
#include "support/test_env.h"

namespace kelmora::test {

// A log (the operation log unless named) is shared by every test of the
// process: each test reads only what was appended after it started.
class COperationLogTail {
public:
    explicit COperationLogTail(std::string path = OperationLogPath())
        : path_(std::move(path)), start_(Contents().size()) {}
    std::string Text() const { return Contents().substr(start_); }

private:
    std::string Contents() const {
        return IsRegularFile(path_) ? ReadTextFile(path_) : std::string();
    }
    std::string path_;
    size_t start_;
};

}  // namespace kelmora::test

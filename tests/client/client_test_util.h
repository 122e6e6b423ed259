#pragma once

#include <gtest/gtest.h>

#include <string>

#include "client/messages.h"
#include "client/views.h"

namespace kelmora::test {

// A name no other test of the process (which shares one client database)
// uses, valid as a view tag and as a registry key component.
inline std::string UniqueName(const std::string& prefix) {
    static int counter = 0;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = prefix + "_" + (info ? info->name() : "x") + "_" + std::to_string(++counter);
    for (char& c : name) {
        bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!keep) c = '_';
    }
    return name;
}

// Routes the client library's printed text into two strings while alive.
class CCapturedOutput {
public:
    CCapturedOutput() {
        info_.clear();
        error_.clear();
        imsg_redirect_output(&OnInfo, &OnError);
    }
    ~CCapturedOutput() { imsg_redirect_output(nullptr, nullptr); }

    const std::string& info() const { return info_; }
    const std::string& error() const { return error_; }

private:
    static void OnInfo(const char* text) { info_ += text; }
    static void OnError(const char* text) { error_ += text; }
    static inline std::string info_, error_;
};

// A handle of the client library freed whatever the test's path out.
template <typename T, void (*Free)(T)>
class CHandle {
public:
    ~CHandle() { Free(handle_); }
    T* out() { return &handle_; }
    T get() const { return handle_; }

private:
    T handle_ = nullptr;
};

using CViewHandle = CHandle<view_handle_t, &view_free_handle>;
inline void FreeWsHandle(ws_handle_t handle) {
    ws_free_handle(&handle);
}
using CWsHandle = CHandle<ws_handle_t, &FreeWsHandle>;

}  // namespace kelmora::test

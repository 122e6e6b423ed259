#include "client/client_messages.h"

#include <mutex>

#include "client/messages.h"

namespace kelmora {

namespace {

struct CBuffers {
    std::mutex mutex;
    int capture_depth = 0;
    std::string info;
    std::string errors;
};

CBuffers& Buffers() {
    static CBuffers buffers;
    return buffers;
}

void AppendInfo(const char* text) {
    std::lock_guard<std::mutex> guard(Buffers().mutex);
    Buffers().info += text;
}

void AppendError(const char* text) {
    std::lock_guard<std::mutex> guard(Buffers().mutex);
    Buffers().errors += text;
}

}  // namespace

CClientMessageCapture::CClientMessageCapture() {
    std::lock_guard<std::mutex> guard(Buffers().mutex);
    if (Buffers().capture_depth++ == 0) imsg_redirect_output(&AppendInfo, &AppendError);
}

CClientMessageCapture::~CClientMessageCapture() {
    std::lock_guard<std::mutex> guard(Buffers().mutex);
    if (--Buffers().capture_depth == 0) imsg_redirect_output(nullptr, nullptr);
}

std::string PendingClientInfo() {
    std::lock_guard<std::mutex> guard(Buffers().mutex);
    return Buffers().info;
}

std::string PendingClientErrors() {
    std::lock_guard<std::mutex> guard(Buffers().mutex);
    return Buffers().errors;
}

void ClearPendingClientMessages() {
    std::lock_guard<std::mutex> guard(Buffers().mutex);
    Buffers().info.clear();
    Buffers().errors.clear();
}

}  // namespace kelmora

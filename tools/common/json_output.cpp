#include "json_output.h"

#include <cstdio>

namespace kelmora::tools {

namespace {

std::string Dump(const CJson& document) {
    return document.dump(2, ' ', false, CJson::error_handler_t::replace) + "\n";
}

}  // namespace

CJson JsonTextOrNull(const std::string& text) {
    return text.empty() ? CJson(nullptr) : CJson(text);
}

bool PrintJson(const CJson& document) {
    const std::string text = Dump(document);
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
           std::fflush(stdout) == 0;
}

int PrintJsonError(const std::string& message, int status) {
    CJson error;
    error["error"] = message;
    error["status"] = status;
    const std::string text = Dump(error);
    std::fwrite(text.data(), 1, text.size(), stderr);
    return status;
}

}  // namespace kelmora::tools

#include <cstdlib>
#include <cstring>

#include "kelmora/automation.h"

// Layout: a 4-byte length, the characters, a NUL. The pointer handed out is
// the first character, so a BSTR reads as a C string.
namespace {
constexpr size_t kHeader = sizeof(uint32_t);
}

extern "C" {

KELMORA_API BSTR kelmora_bstr_alloc_len(const char* text, uint32_t length) {
    auto* block = static_cast<char*>(std::malloc(kHeader + length + 1));
    if (!block) return nullptr;
    std::memcpy(block, &length, kHeader);
    char* chars = block + kHeader;
    if (text && length)
        std::memcpy(chars, text, length);
    else if (length)
        std::memset(chars, 0, length);
    chars[length] = '\0';
    return chars;
}

KELMORA_API BSTR kelmora_bstr_alloc(const char* text) {
    return kelmora_bstr_alloc_len(text, text ? static_cast<uint32_t>(std::strlen(text)) : 0);
}

KELMORA_API void kelmora_bstr_free(BSTR text) {
    if (text) std::free(text - kHeader);
}

KELMORA_API uint32_t kelmora_bstr_len(BSTR text) {
    if (!text) return 0;
    uint32_t length = 0;
    std::memcpy(&length, text - kHeader, kHeader);
    return length;
}

}  // extern "C"

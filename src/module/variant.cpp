#include "module/variant.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace kelmora {

namespace {

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::string BstrToString(BSTR text) {
    if (!text) return {};
    return std::string(text, kelmora_bstr_len(text));
}

BSTR StringToBstr(const std::string& text) {
    return kelmora_bstr_alloc_len(text.data(), static_cast<uint32_t>(text.size()));
}

void SetStringResult(VARIANT* result, const std::string& text) {
    if (!result) return;
    result->vt = VT_BSTR;
    result->bstrVal = StringToBstr(text);
}

void SetBoolResult(VARIANT* result, bool value) {
    if (!result) return;
    result->vt = VT_BOOL;
    result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

HRESULT CoerceToString(const VARIANT& value, std::string* out) {
    switch (value.vt) {
        case VT_EMPTY:
            out->clear();
            return S_OK;
        case VT_BSTR:
            *out = BstrToString(value.bstrVal);
            return S_OK;
        case VT_I4:
            *out = std::to_string(value.lVal);
            return S_OK;
        case VT_BOOL:
            *out = value.boolVal ? "True" : "False";
            return S_OK;
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

HRESULT CoerceToBool(const VARIANT& value, bool* out) {
    switch (value.vt) {
        case VT_EMPTY:
            *out = false;
            return S_OK;
        case VT_BOOL:
            *out = value.boolVal != VARIANT_FALSE;
            return S_OK;
        case VT_I4:
            *out = value.lVal != 0;
            return S_OK;
        case VT_BSTR: {
            std::string word = Lowered(Trimmed(BstrToString(value.bstrVal)));
            if (word == "true" || word == "yes") {
                *out = true;
                return S_OK;
            }
            if (word == "false" || word == "no") {
                *out = false;
                return S_OK;
            }
            long long number = 0;
            auto [ptr, ec] = std::from_chars(word.data(), word.data() + word.size(), number);
            if (word.empty() || ec != std::errc() || ptr != word.data() + word.size())
                return DISP_E_TYPEMISMATCH;
            *out = number != 0;
            return S_OK;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

CVariant CVariant::FromString(const std::string& text) {
    CVariant v;
    SetStringResult(&v.value_, text);
    return v;
}

CVariant CVariant::FromBool(bool value) {
    CVariant v;
    SetBoolResult(&v.value_, value);
    return v;
}

CVariant CVariant::FromInt(int32_t value) {
    CVariant v;
    v.value_.vt = VT_I4;
    v.value_.lVal = value;
    return v;
}

}  // namespace kelmora

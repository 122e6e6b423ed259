#pragma once

#include <cstdint>
#include <string>

#include "kelmora/automation.h"

namespace kelmora {

// Text of a BSTR, embedded NULs included; a null BSTR is empty.
std::string BstrToString(BSTR text);
// A new BSTR holding the text; the caller frees it.
BSTR StringToBstr(const std::string& text);

void SetStringResult(VARIANT* result, const std::string& text);
void SetBoolResult(VARIANT* result, bool value);

// Argument coercions as a dispatch call applies them: a string parameter
// takes a string, a number or a boolean ("True"/"False"); a boolean parameter
// takes a boolean, a number (nonzero is true) or a string holding "true",
// "false", "yes", "no" or a number. Anything else is DISP_E_TYPEMISMATCH.
HRESULT CoerceToString(const VARIANT& value, std::string* out);
HRESULT CoerceToBool(const VARIANT& value, bool* out);

// Owns a VARIANT and clears it when it dies.
class CVariant {
public:
    CVariant() { kelmora_variant_init(&value_); }
    ~CVariant() { Clear(); }
    CVariant(const CVariant&) = delete;
    CVariant& operator=(const CVariant&) = delete;

    static CVariant FromString(const std::string& text);
    static CVariant FromBool(bool value);
    static CVariant FromInt(int32_t value);

    void Clear() { kelmora_variant_clear(&value_, kelmora_bstr_free); }
    VARIANT* get() { return &value_; }
    const VARIANT& value() const { return value_; }

    CVariant(CVariant&& other) noexcept : value_(other.value_) {
        kelmora_variant_init(&other.value_);
    }

private:
    VARIANT value_;
};

}  // namespace kelmora

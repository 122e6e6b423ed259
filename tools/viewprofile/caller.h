#pragma once

#include <string>
#include <vector>

#include "kelmora/automation.h"

namespace kelmora {

// The string functions of the library that made an object: its strings go
// back to the allocator that made them.
struct CStringFunctions {
    BSTR (*alloc)(const char*, uint32_t);
    uint32_t (*length)(BSTR);
    void (*free)(BSTR);
};

// Calls methods of an object by name with string arguments (the object
// converts them to the parameter's type); releases the object when it dies.
class CCaller {
public:
    CCaller(const CStringFunctions& strings, IDispatch* object)
        : strings_(strings), object_(object) {}
    ~CCaller() { object_->Release(); }
    CCaller(const CCaller&) = delete;
    CCaller& operator=(const CCaller&) = delete;

    HRESULT Call(const std::string& method, const std::vector<std::string>& arguments,
                 VARIANT* result);
    std::string StringOf(BSTR text) const {
        return text ? std::string(text, strings_.length(text)) : std::string();
    }
    void Clear(VARIANT* value) const { kelmora_variant_clear(value, strings_.free); }

private:
    CStringFunctions strings_;
    IDispatch* object_;
};

// What the command line asks of the object before the method.
struct CObjectSetup {
    const std::string* view_tag = nullptr;
    const std::string* workspace = nullptr;
    const std::string* error_prefix = nullptr;
    bool suppress_errors = false;
};

enum : int { kExitTrue = 0, kExitFalse = 1, kExitFailure = 2 };

// Names the view, sets the prefix and the display, calls the method and
// prints its result: the exit code (kExitFalse for FALSE or a reported
// failure, kExitFailure for a failed call, said on standard error).
int CallAndPrint(CCaller& caller, const CObjectSetup& setup, const std::string& method,
                 const std::vector<std::string>& arguments);

}  // namespace kelmora

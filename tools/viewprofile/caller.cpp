#include "caller.h"

#include <cstdio>

#include "program.h"
#include "server_library.h"

namespace kelmora {

HRESULT CCaller::Call(const std::string& method, const std::vector<std::string>& arguments,
                      VARIANT* result) {
    const char* names[] = {method.c_str()};
    DISPID id = -1;
    HRESULT hr = object_->GetIDsOfNames(names, 1, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> values(arguments.size());
    for (size_t i = 0; i < arguments.size(); ++i) {
        values[i].vt = VT_BSTR;
        values[i].bstrVal =
            strings_.alloc(arguments[i].data(), static_cast<uint32_t>(arguments[i].size()));
    }
    DISPPARAMS params{values.data(), static_cast<uint32_t>(values.size())};
    hr = object_->Invoke(id, &params, result);
    for (auto& v : values) Clear(&v);
    return hr;
}

int CallAndPrint(CCaller& caller, const CObjectSetup& setup, const std::string& method,
                 const std::vector<std::string>& arguments) {
    auto fail = [&](const std::string& name, HRESULT hr) {
        tools::PrintError(name + ": " + DescribeHresult(hr));
        return kExitFailure;
    };
    VARIANT result;
    kelmora_variant_init(&result);
    HRESULT hr = S_OK;
    if (setup.view_tag) {
        hr = caller.Call("SetViewTag", {*setup.view_tag}, &result);
    } else if (setup.workspace) {
        hr = caller.Call("SetWorkspacePath", {*setup.workspace}, &result);
    }
    if (FAILED(hr)) return fail(setup.view_tag ? "SetViewTag" : "SetWorkspacePath", hr);
    // The object has told the user why it cannot work on this path.
    if (result.vt == VT_BOOL && result.boolVal == VARIANT_FALSE) return kExitFalse;
    if (setup.error_prefix) {
        hr = caller.Call("SetErrorString", {*setup.error_prefix}, nullptr);
        if (FAILED(hr)) return fail("SetErrorString", hr);
    }
    if (setup.suppress_errors) {
        hr = caller.Call("SuppressErrorDisplay", {"TRUE"}, nullptr);
        if (FAILED(hr)) return fail("SuppressErrorDisplay", hr);
    }

    kelmora_variant_init(&result);
    hr = caller.Call(method, arguments, &result);
    if (FAILED(hr)) return fail(method, hr);
    int exit_code = kExitTrue;
    // The operation reported a failure; whatever text it found is still printed.
    if (hr == S_FALSE) exit_code = kExitFalse;
    // TRUE all the same: say that nothing was done.
    if (hr == KELMORA_S_CANCELLED) tools::PrintError("cancelled");
    if (result.vt == VT_BSTR) {
        std::string text = caller.StringOf(result.bstrVal);
        std::fwrite(text.data(), 1, text.size(), stdout);
        if (!text.empty() && text.back() != '\n') std::fputc('\n', stdout);
    } else if (result.vt == VT_BOOL) {
        std::printf("%s\n", result.boolVal ? "TRUE" : "FALSE");
        if (result.boolVal == VARIANT_FALSE) exit_code = kExitFalse;
    }
    caller.Clear(&result);
    return exit_code;
}

}  // namespace kelmora

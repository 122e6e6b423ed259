#include "automation/dispatch.h"

#include <strings.h>

#include <optional>

#include "automation/call_log.h"
#include "automation/view_profile.h"
#include "client/preview.h"
#include "module/variant.h"

namespace kelmora {

namespace {

using T = EDispatchType;

constexpr CDispatchMember kMembers[] = {
    {1, "GetProfileName", T::None, T::String},
    {2, "GetConfigSpec", T::None, T::String},
    {3, "SetErrorString", T::String, T::None},
    {4, "Dissociate", T::None, T::Bool},
    {5, "GetFirstVOB", T::None, T::String},
    {6, "GetNextVOB", T::None, T::String},
    {7, "Associate", T::None, T::Bool},
    {8, "SetUpBranch", T::Bool, T::Bool},
    {9, "FinishBranch", T::None, T::Bool},
    {10, "Synchronize", T::Bool, T::Bool},
    {11, "GetDescription", T::None, T::String},
    {12, "GetDiagramPName", T::None, T::String},
    {13, "IsAssociated", T::None, T::Bool},
    {14, "IsOnPrivateBranch", T::None, T::Bool},
    {15, "GetProfileTreeRoot", T::None, T::String},
    {16, "MountProfileVOBs", T::String, T::Bool},
    {17, "SetViewTag", T::String, T::Bool},
    {18, "SetWorkspacePath", T::String, T::Bool},
    {19, "SuppressErrorDisplay", T::Bool, T::None},
};

}  // namespace

std::span<const CDispatchMember> ViewProfileDispatchMembers() {
    return kMembers;
}

const CDispatchMember* FindDispatchMember(DISPID id) {
    for (const auto& m : kMembers) {
        if (m.id == id) return &m;
    }
    return nullptr;
}

const CDispatchMember* FindDispatchMember(std::string_view name) {
    for (const auto& m : kMembers) {
        if (name.size() == std::char_traits<char>::length(m.name) &&
            strncasecmp(name.data(), m.name, name.size()) == 0)
            return &m;
    }
    return nullptr;
}

HRESULT CViewProfile::QueryInterface(const IID& iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IViewProfile) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

uint32_t CViewProfile::AddRef() {
    return references_.fetch_add(1) + 1;
}

uint32_t CViewProfile::Release() {
    uint32_t left = references_.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return left;
}

HRESULT CViewProfile::GetIDsOfNames(const char* const* names, uint32_t count, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (uint32_t i = 0; i < count; ++i) {
        const CDispatchMember* m =
            names[i] ? FindDispatchMember(std::string_view(names[i])) : nullptr;
        ids[i] = m ? m->id : -1;
        if (!m) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT CViewProfile::Invoke(DISPID id, const DISPPARAMS* arguments, VARIANT* result) {
    const CDispatchMember* member = FindDispatchMember(id);
    if (!member) return DISP_E_MEMBERNOTFOUND;
    uint32_t given = arguments ? arguments->cArgs : 0;
    uint32_t wanted = member->parameter == EDispatchType::None ? 0 : 1;
    if (given != wanted) return DISP_E_BADPARAMCOUNT;
    if (given && !arguments->rgvarg) return E_INVALIDARG;
    if (result) kelmora_variant_init(result);
    failure_reported_ = FALSE;
    cancelled_ = FALSE;
    // The setters that only keep a value are not worth a line of the log.
    const bool logged = id != 3 && id != 17 && id != 19;
    std::optional<CMessageRecorder> recorder;
    CCallLogEntry entry;
    if (logged) {
        recorder.emplace();
        call_recorder_ = &*recorder;
        entry.started = std::chrono::system_clock::now();
    }
    const auto started = std::chrono::steady_clock::now();
    HRESULT hr = InvokeMember(id, given ? &arguments->rgvarg[0] : nullptr, result);
    // A text method answers its text either way; S_FALSE tells the host that
    // its operation reported a failure and found nothing. (A notice beside a
    // found text, such as a moved profile, is no failure.)
    const bool found =
        result && result->vt == VT_BSTR && result->bstrVal && kelmora_bstr_len(result->bstrVal) > 0;
    if (hr == S_OK && member->result == EDispatchType::String && failure_reported_ && !found)
        hr = S_FALSE;
    // TRUE is the answer, yet nothing was done: the host may tell its user.
    if (hr == S_OK && cancelled_) hr = KELMORA_S_CANCELLED;
    if (logged) {
        call_recorder_ = nullptr;
        entry.duration = std::chrono::steady_clock::now() - started;
        entry.view_tag = view_tag_;
        entry.workspace_path = workspace_path_;
        entry.method = member->name;
        std::string text;
        if (given && SUCCEEDED(CoerceToString(arguments->rgvarg[0], &text)))
            entry.arguments.push_back(text);
        if (result && result->vt == VT_BOOL) entry.result = result->boolVal ? "TRUE" : "FALSE";
        if (found) entry.result.assign(result->bstrVal, kelmora_bstr_len(result->bstrVal));
        entry.outcome = FAILED(hr)          ? "error"
                        : ActivePreview()   ? "preview"
                        : cancelled_        ? "cancelled"
                        : failure_reported_ ? "failed"
                                            : "ok";
        entry.messages = recorder->messages();
        WriteCallLogEntry(entry);
    }
    return hr;
}

HRESULT CViewProfile::InvokeMember(DISPID id, const VARIANT* argument, VARIANT* result) {
    std::string text;
    bool flag = false;
    const CDispatchMember* member = FindDispatchMember(id);
    if (member->parameter == EDispatchType::String) {
        if (HRESULT hr = CoerceToString(*argument, &text); FAILED(hr)) return hr;
    } else if (member->parameter == EDispatchType::Bool) {
        if (HRESULT hr = CoerceToBool(*argument, &flag); FAILED(hr)) return hr;
    }
    switch (id) {
        case 1:
            SetStringResult(result, GetProfileName());
            return S_OK;
        case 2:
            SetStringResult(result, GetConfigSpec());
            return S_OK;
        case 3:
            SetErrorString(text);
            return S_OK;
        case 4:
            SetBoolResult(result, Dissociate());
            return S_OK;
        case 5:
            SetStringResult(result, GetFirstVOB());
            return S_OK;
        case 6:
            SetStringResult(result, GetNextVOB());
            return S_OK;
        case 7:
            SetBoolResult(result, Associate());
            return S_OK;
        case 8:
            SetBoolResult(result, SetUpBranch(flag ? TRUE : FALSE));
            return S_OK;
        case 9:
            SetBoolResult(result, FinishBranch());
            return S_OK;
        case 10:
            SetBoolResult(result, Synchronize(flag ? TRUE : FALSE));
            return S_OK;
        case 11:
            SetStringResult(result, GetDescription());
            return S_OK;
        case 12:
            SetStringResult(result, GetDiagramPName());
            return S_OK;
        case 13:
            SetBoolResult(result, IsAssociated());
            return S_OK;
        case 14:
            SetBoolResult(result, IsOnPrivateBranch());
            return S_OK;
        case 15:
            SetStringResult(result, GetProfileTreeRoot());
            return S_OK;
        case 16:
            SetBoolResult(result, MountProfileVOBs(text));
            return S_OK;
        case 17:
            SetBoolResult(result, SetViewTag(text));
            return S_OK;
        case 18:
            SetBoolResult(result, SetWorkspacePath(text));
            return S_OK;
        case 19:
            SuppressErrorDisplay(flag ? TRUE : FALSE);
            return S_OK;
        default:
            // Invoke has turned away every id that is not a member.
            return DISP_E_MEMBERNOTFOUND;
    }
}

}  // namespace kelmora

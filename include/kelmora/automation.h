#pragma once

// The automation interface of libkelmora.so: the object model that hosts use
// to create the View Profile object and call its methods by name. The shapes
// follow the component object model in plain C++: interfaces are abstract
// classes, identifiers are 16-byte GUIDs, results are HRESULTs.
//
// A host creates the object by its program identifier: it looks the ProgID up
// in the registry store (written by DllRegisterServer), dlopen()s the library
// path found there, asks DllGetClassObject for the class factory and calls
// CreateInstance.

#include <stdint.h>

#if defined(__GNUC__)
#define KELMORA_API __attribute__((visibility("default")))
#else
#define KELMORA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t HRESULT;
typedef int32_t DISPID;
typedef int16_t VARIANT_BOOL;
typedef uint16_t VARTYPE;

#define KELMORA_HRESULT(value) ((HRESULT)(uint32_t)(value))

#define S_OK KELMORA_HRESULT(0x00000000u)
#define S_FALSE KELMORA_HRESULT(0x00000001u)
// Success: the method answers TRUE because the user cancelled (the wizard).
#define KELMORA_S_CANCELLED KELMORA_HRESULT(0x00040002u)
#define E_NOTIMPL KELMORA_HRESULT(0x80004001u)
#define E_NOINTERFACE KELMORA_HRESULT(0x80004002u)
#define E_POINTER KELMORA_HRESULT(0x80004003u)
#define E_FAIL KELMORA_HRESULT(0x80004005u)
#define E_OUTOFMEMORY KELMORA_HRESULT(0x8007000Eu)
#define E_INVALIDARG KELMORA_HRESULT(0x80070057u)
#define DISP_E_MEMBERNOTFOUND KELMORA_HRESULT(0x80020003u)
#define DISP_E_PARAMNOTFOUND KELMORA_HRESULT(0x80020004u)
#define DISP_E_TYPEMISMATCH KELMORA_HRESULT(0x80020005u)
#define DISP_E_UNKNOWNNAME KELMORA_HRESULT(0x80020006u)
#define DISP_E_BADPARAMCOUNT KELMORA_HRESULT(0x8002000Eu)
#define CLASS_E_NOAGGREGATION KELMORA_HRESULT(0x80040110u)
#define CLASS_E_CLASSNOTAVAILABLE KELMORA_HRESULT(0x80040111u)

#define SUCCEEDED(hr) ((HRESULT)(hr) >= 0)
#define FAILED(hr) ((HRESULT)(hr) < 0)

#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

// A 16-byte identifier in the usual field layout.
typedef struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;
typedef GUID CLSID;
typedef GUID IID;

// Strings passed through the interface: narrow text with a length kept in
// front of the characters, always NUL-terminated, so it may be used as a C
// string. Allocate and free only through these functions; a null BSTR is an
// empty string.
typedef char* BSTR;

KELMORA_API BSTR kelmora_bstr_alloc(const char* text);
KELMORA_API BSTR kelmora_bstr_alloc_len(const char* text, uint32_t length);
KELMORA_API void kelmora_bstr_free(BSTR text);
KELMORA_API uint32_t kelmora_bstr_len(BSTR text);

// A value passed to or returned by a method: empty, 32-bit integer, boolean
// or string. A variant that holds a string owns it.
enum { VT_EMPTY = 0, VT_I4 = 3, VT_BSTR = 8, VT_BOOL = 11 };

typedef struct VARIANT {
    VARTYPE vt;
    union {
        int32_t lVal;
        VARIANT_BOOL boolVal;
        BSTR bstrVal;
    };
} VARIANT;

// Arguments of a call, in the order of the method's parameters.
typedef struct DISPPARAMS {
    const VARIANT* rgvarg;
    uint32_t cArgs;
} DISPPARAMS;

// Library exports. The identifiers are passed by pointer so that plain C
// callers can use them too.
KELMORA_API HRESULT DllGetClassObject(const CLSID* clsid, const IID* iid, void** object);
KELMORA_API HRESULT DllCanUnloadNow(void);
KELMORA_API HRESULT DllRegisterServer(void);
KELMORA_API void kelmora_print_verid(void);

#ifdef __cplusplus
}  // extern "C"

// Program identifier of the View Profile class.
inline constexpr const char* KELMORA_VIEWPROFILE_PROGID = "KELMORA.VIEWPROFILE";

// {592c6aef-44a3-498a-b5b9-b0d893cf81a5}: the View Profile class.
inline constexpr CLSID CLSID_ViewProfile = {
    0x592c6aef, 0x44a3, 0x498a, {0xb5, 0xb9, 0xb0, 0xd8, 0x93, 0xcf, 0x81, 0xa5}};
// {779e602a-8158-4149-86ae-de83dcca987e}: its dispatch interface.
inline constexpr IID IID_IViewProfile = {
    0x779e602a, 0x8158, 0x4149, {0x86, 0xae, 0xde, 0x83, 0xdc, 0xca, 0x98, 0x7e}};

// The well-known identifiers of the three base interfaces.
inline constexpr IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IDispatch = {
    0x00020400, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

inline bool IsEqualGUID(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i) {
        if (a.Data4[i] != b.Data4[i]) return false;
    }
    return true;
}
inline bool operator==(const GUID& a, const GUID& b) {
    return IsEqualGUID(a, b);
}

class IUnknown {
public:
    virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~IUnknown() = default;  // objects die through Release
};

class IClassFactory : public IUnknown {
public:
    // outer must be null: the class does not support aggregation.
    virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
    // While locked, DllCanUnloadNow answers S_FALSE.
    virtual HRESULT LockServer(int lock) = 0;

protected:
    ~IClassFactory() = default;
};

class IDispatch : public IUnknown {
public:
    // Dispatch identifiers of the named members (names compare without regard
    // to letter case). Unknown names get -1 and the call DISP_E_UNKNOWNNAME.
    virtual HRESULT GetIDsOfNames(const char* const* names, uint32_t count, DISPID* ids) = 0;
    // Calls a member. result may be null when the caller wants no value; a
    // returned string belongs to the caller (kelmora_variant_clear).
    virtual HRESULT Invoke(DISPID id, const DISPPARAMS* arguments, VARIANT* result) = 0;

protected:
    ~IDispatch() = default;
};

inline void kelmora_variant_init(VARIANT* v) {
    v->vt = VT_EMPTY;
    v->lVal = 0;
}

// Frees what the variant owns and empties it. A host that loaded the library
// with dlopen passes the library's kelmora_bstr_free, so that a string goes
// back to the allocator that made it.
inline void kelmora_variant_clear(VARIANT* v, void (*bstr_free)(BSTR)) {
    if (v->vt == VT_BSTR && v->bstrVal) bstr_free(v->bstrVal);
    kelmora_variant_init(v);
}

#endif  // __cplusplus

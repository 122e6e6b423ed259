#include "server_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>

#include "module/server_registry.h"
#include "platform/fs.h"
#include "platform/process.h"

namespace kelmora {

namespace {

// The library by its SONAME, and its folder relative to this program's in
// the install layout and in the build folder (both known at configure time).
constexpr const char* kLibraryName = KELMORA_SERVER_LIBRARY;
constexpr const char* kLibraryFolders[] = {KELMORA_INSTALLED_LIBDIR, KELMORA_BUILT_LIBDIR};

template <typename F>
bool Resolve(void* handle, const char* name, F* out, std::string* error) {
    *out = reinterpret_cast<F>(dlsym(handle, name));
    if (!*out) *error = std::string("the library has no ") + name;
    return *out != nullptr;
}

}  // namespace

std::string DefaultServerLibraryPath() {
    const std::filesystem::path program_folder = ExecutableFolder();
    for (const char* folder : kLibraryFolders) {
        // Registered as "/usr/lib/..." rather than "/usr/bin/../lib/...".
        std::string candidate = (program_folder / folder / kLibraryName).lexically_normal();
        if (IsRegularFile(candidate)) return candidate;
    }
    return kLibraryName;
}

std::string DescribeHresult(HRESULT hr) {
    switch (hr) {
        case E_NOTIMPL:
            return "not implemented in this build";
        case E_NOINTERFACE:
            return "interface not supported";
        case E_INVALIDARG:
            return "invalid argument";
        case E_OUTOFMEMORY:
            return "out of memory";
        case DISP_E_UNKNOWNNAME:
            return "unknown method";
        case DISP_E_MEMBERNOTFOUND:
            return "no such method";
        case DISP_E_BADPARAMCOUNT:
            return "wrong number of arguments";
        case DISP_E_TYPEMISMATCH:
            return "argument of the wrong type";
        case CLASS_E_CLASSNOTAVAILABLE:
            return "class not available";
        default: {
            char text[32];
            std::snprintf(text, sizeof text, "error 0x%08x", static_cast<unsigned>(hr));
            return text;
        }
    }
}

CServerLibrary::~CServerLibrary() {
    if (handle_) dlclose(handle_);
}

bool CServerLibrary::Open(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        error_ = "cannot load " + path + ": " + (why ? why : "unknown error");
        return false;
    }
    path_ = path;
    return Resolve(handle_, "DllGetClassObject", &get_class_object_, &error_) &&
           Resolve(handle_, "DllCanUnloadNow", &can_unload_now_, &error_) &&
           Resolve(handle_, "kelmora_bstr_alloc_len", &alloc_string_, &error_) &&
           Resolve(handle_, "kelmora_bstr_len", &string_length_, &error_) &&
           Resolve(handle_, "kelmora_bstr_free", &free_string_, &error_) &&
           Resolve(handle_, "kelmora_print_verid", &print_verid_, &error_);
}

bool CServerLibrary::RegisterOwnLibrary(const std::string& own) {
    void* own_handle = dlopen(own.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!own_handle) {
        const char* why = dlerror();
        error_ = "cannot load " + own + ": " + (why ? why : "unknown error");
        return false;
    }
    auto register_server = reinterpret_cast<HRESULT (*)()>(dlsym(own_handle, "DllRegisterServer"));
    if (register_server) register_server();
    dlclose(own_handle);
    return true;
}

bool CServerLibrary::Load(const std::string& prog_id) {
    std::string path;
    tbs_status_t failure = TBS_ST_OK;
    const bool registered =
        FindServerByProgId(prog_id, &clsid_, &path, &failure) && IsRegularFile(path);
    // An unusable client database has said why; registering would only say it again.
    if (failure != TBS_ST_OK) {
        registry_unusable_ = true;
        return false;
    }
    const std::string own = DefaultServerLibraryPath();
    CFileIdentity registered_id, own_id;
    const bool other_file = registered && GetFileIdentity(own, &own_id) &&
                            GetFileIdentity(path, &registered_id) && !(registered_id == own_id);
    if (!registered || other_file) {
        // First use on this machine, or another build registered: our own
        // library registers itself, so that this is said only once.
        if (!RegisterOwnLibrary(own)) return false;
        if (other_file) {
            notice_ = prog_id + " was registered to " + path + "; using " + own +
                      " beside this program, which is now registered";
        }
        if (!FindServerByProgId(prog_id, &clsid_, &path)) {
            error_ = prog_id + " is not registered";
            return false;
        }
    }
    return Open(path);
}

IDispatch* CServerLibrary::CreateObject() {
    IClassFactory* factory = nullptr;
    HRESULT hr = get_class_object_(&clsid_, &IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) {
        error_ = "no class factory: " + DescribeHresult(hr);
        return nullptr;
    }
    IDispatch* object = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object));
    factory->Release();
    if (FAILED(hr)) {
        error_ = "cannot create the object: " + DescribeHresult(hr);
        return nullptr;
    }
    return object;
}

void CServerLibrary::UnloadIfUnused() {
    if (handle_ && can_unload_now_() == S_OK) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

}  // namespace kelmora

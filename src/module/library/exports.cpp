// The library's entry points and its application object. Everything else in
// libkelmora.so is hidden (exports.map).
#include <dlfcn.h>

#include <string>

#include "automation/view_profile.h"
#include "kelmora/automation.h"
#include "module/app.h"
#include "module/class_factory.h"
#include "module/module_lock.h"
#include "module/version.h"

namespace {

kelmora::CKelmoraApp theApp;

// Starts the application once the library's globals exist and ends it when
// the library is unloaded.
struct CLibraryLifetime {
    CLibraryLifetime() {
        // Referencing the factory keeps the class in the library and lists it.
        kelmora::ViewProfileClassFactory();
        theApp.InitInstance();
    }
    ~CLibraryLifetime() { theApp.ExitInstance(); }
} g_lifetime;

// Path of this library as the loader found it.
std::string LibraryPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 || !info.dli_fname)
        return {};
    return info.dli_fname;
}

}  // namespace

// Each library has its own copy of the module's state (every symbol but these
// is hidden), so the entry points need no switch of state.
extern "C" {

KELMORA_API HRESULT DllGetClassObject(const CLSID* clsid, const IID* iid, void** object) {
    if (!clsid || !iid || !object) return E_POINTER;
    return kelmora::CClassFactory::GetClassObject(*clsid, *iid, object);
}

KELMORA_API HRESULT DllCanUnloadNow(void) {
    return kelmora::ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

// A registry entry that cannot be written is not reported: hosts find out
// when they look the class up.
KELMORA_API HRESULT DllRegisterServer(void) {
    kelmora::CClassFactory::UpdateRegistryAll(LibraryPath());
    return S_OK;
}

KELMORA_API void kelmora_print_verid(void) {
    kelmora::PrintVersionIdentification();
}

}  // extern "C"

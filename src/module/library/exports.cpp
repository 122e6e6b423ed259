// The library's entry points and its application object. Everything else in
// libkelmora.so is hidden (exports.map).
#include <dlfcn.h>
#include <mntent.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "automation/view_profile.h"
#include "kelmora/automation.h"
#include "kelmora/mount.h"
#include "module/app.h"
#include "module/class_factory.h"
#include "module/module_lock.h"
#include "module/version.h"
#include "mount/message_tables.h"
#include "mount/mntrpc.h"
#include "mount/mount_options.h"
#include "mount/mount_trfs.h"

namespace {

kelmora::CKelmoraApp theApp;

// The loader's name of this library in a canonical folder, taken while the
// library loads: the name may be relative to the working folder of that
// moment, and hosts load what is registered from wherever they run. The file
// name itself stays (libkelmora.so.0, not the file it links to today), so
// that an upgrade of the library keeps the registration good.
std::string CanonicalLibraryPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 || !info.dli_fname)
        return {};
    const std::string name = info.dli_fname;
    const size_t slash = name.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : name.substr(0, slash + 1);
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(folder.c_str(), nullptr),
                                                         &std::free);
    if (!resolved) return name;
    return std::string(resolved.get()) + "/" + name.substr(slash + 1);
}

std::string g_library_path;

// Starts the application once the library's globals exist and ends it when
// the library is unloaded.
struct CLibraryLifetime {
    CLibraryLifetime() {
        g_library_path = CanonicalLibraryPath();
        // Referencing the factory keeps the class in the library and lists it.
        kelmora::ViewProfileClassFactory();
        theApp.InitInstance();
    }
    ~CLibraryLifetime() { theApp.ExitInstance(); }
} g_lifetime;

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
    kelmora::CClassFactory::UpdateRegistryAll(g_library_path);
    return S_OK;
}

KELMORA_API void kelmora_print_verid(void) {
    kelmora::PrintVersionIdentification();
}

// The mount client. A host linked with the library binds its own calls of
// <mntent.h>'s hasmntopt (and those of its other libraries) to this one, so
// it answers as the C library does: a pointer into the entry's own options,
// no length limit, no shared buffer. The library's code calls the functions
// behind these names, never the names.
KELMORA_API char* hasmntopt(const struct mntent* entry, const char* name) noexcept {
    return kelmora::mount::FindMountOptionInPlace(entry, name);
}

KELMORA_API int mount_trfs(const struct mntent* entry, trfs_mount_args_t* block, int /*flag*/,
                           const char* /*program_name*/) {
    return kelmora::mount::MountTrfs(entry, block);
}

KELMORA_API const imsg_msg_table_t* _mount_trfs_mntrpc_msg_table_adr(void) {
    return kelmora::mount::MountTrfsMessageTable();
}

KELMORA_API uint32_t mntrpc_get_tag_info(const char* tag, const char* region, const char* qualifier,
                                         int* is_public, char* path, size_t path_size,
                                         uint8_t* uuid) {
    return kelmora::mount::GetTagInfo(tag, region, qualifier, is_public, path, path_size, uuid);
}

KELMORA_API uint32_t mntrpc_check_tag_collision(const char* /*tag*/, const char* /*region*/,
                                                const char* /*storage_path*/, const char* /*host*/,
                                                int* collision) {
    return kelmora::mount::CheckTagCollision(collision);
}

KELMORA_API int mntrpc_is_trfs_avail(void) {
    return kelmora::mount::IsTrfsAvailable(false) ? 1 : 0;
}

KELMORA_API int mntrpc_is_trfs_avail_sil(void) {
    return kelmora::mount::IsTrfsAvailable(true) ? 1 : 0;
}

KELMORA_API uint32_t mntrpc_umount_alltags(void) {
    return kelmora::mount::UnmountAllTags();
}

KELMORA_API const imsg_msg_table_t* _mntrpc_mntrpc_msg_table_adr(void) {
    return kelmora::mount::MntrpcMessageTable();
}

}  // extern "C"

// The library's entry points and its application object. Everything else in
// libkelmora.so is hidden (exports.map).
#include <dlfcn.h>
#include <mntent.h>

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

// The mount client. hasmntopt has the signature <mntent.h> gives it; the
// library's own code calls the functions behind these, never the names, so
// that an earlier library defining the same names cannot stand in for them.
KELMORA_API char* hasmntopt(const struct mntent* entry, const char* name) noexcept {
    return kelmora::mount::FindMountOption(entry, name);
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

#include "module/app.h"

#include <sys/utsname.h>

#include <cstdio>

#include "client/admin.h"
#include "module/class_factory.h"
#include "module/front_end.h"
#include "resources/string_table.h"
#include "ui/user_interface.h"

namespace kelmora {

unsigned PlatformVersionWord() {
    utsname names{};
    unsigned major = 0, minor = 0;
    if (uname(&names) == 0) std::sscanf(names.release, "%u.%u", &major, &minor);
    return (major & 0xFF) | ((minor & 0xFF) << 8);
}

unsigned PlatformVersionNumber(unsigned version_word) {
    return (version_word & 0xFF) * 256 + ((version_word >> 8) & 0xFF);
}

bool IsConsumedHelpKey(const CMessage& msg, const CModifierKeys& keys, unsigned version_number) {
    if (version_number < kHelpKeyFilterVersion) return false;
    if (msg.message != WM_KEYDOWN || msg.wparam != VK_F1) return false;
    // Bit 30 of the key data (0x4000 in its high word) marks an auto-repeat.
    bool repeated = ((static_cast<uintptr_t>(msg.lparam) >> 16) & 0x4000) != 0;
    return !repeated && !keys.shift && !keys.ctrl && !keys.alt;
}

BOOL CSMWinApp::PreTranslateMessage(const CMessage& msg, const CModifierKeys& keys) {
    if (IsConsumedHelpKey(msg, keys, PlatformVersionNumber(PlatformVersionWord()))) return TRUE;
    // There are no accelerator tables or dialog messages to translate: every
    // other message goes on to its window.
    return FALSE;
}

CKelmoraApp::~CKelmoraApp() {
    if (resource_module_) nt_free_resource_dll(resource_module_);
}

BOOL CKelmoraApp::InitInstance() {
    CClassFactory::RegisterAll();
    ChooseFrontEndFromEnvironment();
    resource_module_ = nt_load_resource_dll(nullptr, 0);
    if (!resource_module_) return TRUE;
    // Boxes carry the language pack's application name as their title.
    SetApplicationName(LoadString(IDS_APP_NAME));
    return TRUE;
}

int CKelmoraApp::ExitInstance() {
    if (resource_module_) {
        nt_free_resource_dll(resource_module_);
        resource_module_ = nullptr;
    }
    CClassFactory::RevokeAll();
    client::CloseClientDatabase();
    return 0;
}

}  // namespace kelmora

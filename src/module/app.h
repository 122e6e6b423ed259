#pragma once

#include <cstdint>

#include "module/resource_library.h"
#include "platform/bool.h"

namespace kelmora {

// A message as the application's message pump sees it.
struct CMessage {
    unsigned message = 0;
    uintptr_t wparam = 0;
    intptr_t lparam = 0;
};

// Which modifier keys are held while the message is handled.
struct CModifierKeys {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

inline constexpr unsigned WM_KEYDOWN = 0x0100;
inline constexpr unsigned VK_F1 = 0x70;
// Platform version number (major * 256 + minor) from which plain F1 presses
// are kept from the dispatcher.
inline constexpr unsigned kHelpKeyFilterVersion = 0x333;

// The platform version word: major in the low byte, minor in the next.
unsigned PlatformVersionWord();
// major * 256 + minor of a version word.
unsigned PlatformVersionNumber(unsigned version_word);

// True for a first (not auto-repeated) F1 key-down with no modifier held, on
// a platform at least kHelpKeyFilterVersion: such a press is consumed.
bool IsConsumedHelpKey(const CMessage& msg, const CModifierKeys& keys, unsigned version_number);

// The product-wide application base.
class CSMWinApp {
public:
    CSMWinApp() = default;
    virtual ~CSMWinApp() = default;
    CSMWinApp(const CSMWinApp&) = delete;
    CSMWinApp& operator=(const CSMWinApp&) = delete;

    // The application's filter of a message before dispatch; TRUE when it
    // was consumed.
    virtual BOOL PreTranslateMessage(const CMessage& msg, const CModifierKeys& keys);

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }
};

// The module's one application object.
class CKelmoraApp : public CSMWinApp {
public:
    CKelmoraApp() = default;
    ~CKelmoraApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    nt_resource_module_t resource_module() const { return resource_module_; }

private:
    nt_resource_module_t resource_module_ = nullptr;
};

}  // namespace kelmora

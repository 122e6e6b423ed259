#include "ui/user_interface.h"

#include <mutex>
#include <utility>

namespace kelmora {

namespace {
std::mutex g_mutex;
CUserInterface* g_ui = nullptr;
UserInterfaceLoader g_loader = nullptr;
std::string g_app_name = "kelmora";
}  // namespace

CUserInterface& UserInterface() {
    UserInterfaceLoader loader = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_mutex);
        if (g_ui) return *g_ui;
        loader = std::exchange(g_loader, nullptr);
    }
    // The loader runs unlocked: it may ask for the application name.
    if (loader) {
        CUserInterface* loaded = loader();
        std::lock_guard<std::mutex> guard(g_mutex);
        if (!g_ui) g_ui = loaded;
        if (g_ui) return *g_ui;
    }
    return DefaultUserInterface();
}

void SetUserInterfaceLoader(UserInterfaceLoader loader) {
    std::lock_guard<std::mutex> guard(g_mutex);
    g_loader = loader;
}

CUserInterface* SetUserInterface(CUserInterface* ui) {
    std::lock_guard<std::mutex> guard(g_mutex);
    CUserInterface* previous = g_ui;
    g_ui = ui;
    return previous;
}

std::string ApplicationName() {
    std::lock_guard<std::mutex> guard(g_mutex);
    return g_app_name;
}

void SetApplicationName(const std::string& name) {
    std::lock_guard<std::mutex> guard(g_mutex);
    g_app_name = name;
}

}  // namespace kelmora

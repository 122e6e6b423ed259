#include "ui/user_interface.h"

#include <mutex>

namespace kelmora {

namespace {
std::mutex g_mutex;
CUserInterface* g_ui = nullptr;
std::string g_app_name = "kelmora";
}  // namespace

CUserInterface& UserInterface() {
    std::lock_guard<std::mutex> guard(g_mutex);
    if (g_ui) return *g_ui;
    return DefaultUserInterface();
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

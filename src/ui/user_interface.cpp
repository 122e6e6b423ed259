#include "ui/user_interface.h"

#include <cstdio>
#include <iostream>
#include <mutex>

#include "ui/console/console_ui.h"

namespace kelmora {

namespace {
std::mutex g_mutex;
CUserInterface* g_ui = nullptr;
std::string g_app_name = "kelmora";
}  // namespace

CUserInterface& UserInterface() {
    std::lock_guard<std::mutex> guard(g_mutex);
    if (g_ui) return *g_ui;
    // Messages go to standard error so that a method's printed result stays clean.
    static CConsoleUserInterface console = [] {
        // Unbuffered, so that a sibling program that a dialog starts (the
        // profile browser) reads the answers on the same input meant for it.
        std::setvbuf(stdin, nullptr, _IONBF, 0);
        return CConsoleUserInterface(std::cin, std::cerr);
    }();
    return console;
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

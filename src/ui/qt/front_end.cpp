// The library's one entry point: the module asks it for the Qt front end.
#include <dlfcn.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "module/resource_library.h"
#include "ui/front_end_library.h"
#include "ui/qt/qt_user_interface.h"

namespace kelmora::qt {

namespace {

// The X server named by DISPLAY answers. Qt gives up the whole process when
// its platform cannot start, so the module asks first.
bool DisplayReachable(std::string* reason) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        *reason = "no display (DISPLAY is not set)";
        return false;
    }
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb) {
        *reason = "the X client library libxcb.so.1 cannot be loaded";
        return false;
    }
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    auto has_error = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    bool reachable = false;
    if (connect && has_error && disconnect) {
        void* connection = connect(display, nullptr);
        reachable = connection && has_error(connection) == 0;
        if (connection) disconnect(connection);
    }
    dlclose(xcb);
    if (!reachable) *reason = std::string("the display ") + display + " does not answer";
    return reachable;
}

// What the front end owns until the process ends: the application object
// when the host has none, and the front end over it.
struct CFrontEnd {
    int argc = 1;
    char name[8] = "kelmora";
    char* argv[2] = {name, nullptr};
    nt_resource_module_t strings = nullptr;
    std::unique_ptr<QApplication> application;
    std::unique_ptr<CQtUserInterface> ui;

    ~CFrontEnd() {
        SetUserInterface(nullptr);
        ui.reset();
        application.reset();
        if (strings) nt_free_resource_dll(strings);
    }
};

CFrontEnd& FrontEnd() {
    static CFrontEnd front_end;
    return front_end;
}

CUserInterface* Create(const kelmora_front_end_context& context, std::string* reason) {
    CFrontEnd& front_end = FrontEnd();
    if (front_end.ui) return front_end.ui.get();
    if (!QApplication::instance()) {
        const char* platform = std::getenv("QT_QPA_PLATFORM");
        if ((!platform || !*platform) && !DisplayReachable(reason)) return nullptr;
        front_end.application =
            std::make_unique<QApplication>(front_end.argc, front_end.argv);
    } else if (!qobject_cast<QApplication*>(QApplication::instance())) {
        *reason = "the host's Qt application has no widgets";
        return nullptr;
    }
    // This library's copy of the models shares the module's title, clock and texts.
    SetApplicationName(context.application_name ? context.application_name : "");
    if (context.clock) SetClockFunction(context.clock);
    front_end.strings = nt_load_resource_dll(nullptr, 0);
    front_end.ui = std::make_unique<CQtUserInterface>();
    SetUserInterface(front_end.ui.get());
    return front_end.ui.get();
}

}  // namespace

}  // namespace kelmora::qt

extern "C" __attribute__((visibility("default"))) kelmora::CUserInterface*
kelmora_front_end_create(const kelmora_front_end_context* context, char* reason,
                         size_t reason_size) {
    std::string why;
    kelmora::CUserInterface* ui = nullptr;
    if (!context || context->abi_version != kelmora::kFrontEndAbiVersion) {
        why = "the front end was built for another version of the module";
    } else {
        ui = kelmora::qt::Create(*context, &why);
    }
    if (!ui && reason && reason_size > 0) std::snprintf(reason, reason_size, "%s", why.c_str());
    return ui;
}

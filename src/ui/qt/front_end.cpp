// The library's one entry point: the module asks it for the Qt front end.
#include <dlfcn.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

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

// What the front end makes: the application object when the host has none,
// and the front end over it. Both stay to the end of the process: when static
// objects are destroyed, Qt's own are already gone.
struct CFrontEnd {
    int argc = 1;
    char name[8] = "kelmora";
    char* argv[2] = {name, nullptr};
    QApplication* application = nullptr;
    CQtUserInterface* ui = nullptr;
};

CFrontEnd& FrontEnd() {
    static CFrontEnd* front_end = new CFrontEnd;
    return *front_end;
}

CUserInterface* Create(const kelmora_front_end_context& context, std::string* reason) {
    CFrontEnd& front_end = FrontEnd();
    if (front_end.ui) return front_end.ui;
    if (!QApplication::instance()) {
        const char* platform = std::getenv("QT_QPA_PLATFORM");
        if ((!platform || !*platform) && !DisplayReachable(reason)) return nullptr;
        front_end.application = new QApplication(front_end.argc, front_end.argv);
    } else if (!qobject_cast<QApplication*>(QApplication::instance())) {
        *reason = "the host's Qt application has no widgets";
        return nullptr;
    }
    // This library's copy of the models shares the module's title, clock and texts.
    SetApplicationName(context.application_name ? context.application_name : "");
    if (context.clock) SetClockFunction(context.clock);
    // The catalogue stays loaded with the front end.
    nt_load_resource_dll(nullptr, 0);
    front_end.ui = new CQtUserInterface;
    SetUserInterface(front_end.ui);
    return front_end.ui;
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

static_assert(std::is_same_v<decltype(&kelmora_front_end_create), kelmora_front_end_create_fn>,
              "the entry point is what the module looks up");

// The library's one entry point: the module asks it for the Qt front end.
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "module/resource_library.h"
#include "ui/front_end_library.h"
#include "ui/qt/qt_user_interface.h"

namespace kelmora::qt {

namespace {

// The X server named by DISPLAY answers.
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

// The Wayland compositor named by WAYLAND_DISPLAY takes a connection.
bool CompositorReachable(std::string* reason) {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name) {
        *reason = "no Wayland display (WAYLAND_DISPLAY is not set)";
        return false;
    }
    std::string path = name;
    if (path[0] != '/') {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        path = std::string(runtime ? runtime : "") + "/" + name;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool reachable = fd >= 0 && path.size() < sizeof address.sun_path;
    if (reachable) {
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        reachable = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    if (fd >= 0) ::close(fd);
    if (!reachable) *reason = "the Wayland display " + path + " does not answer";
    return reachable;
}

// Qt's platform plugin of that name is there and its libraries load.
bool PlatformPluginLoads(const std::string& name, std::string* reason) {
    QStringList folders;
    for (const char* variable : {"QT_QPA_PLATFORM_PLUGIN_PATH", "QT_PLUGIN_PATH"}) {
        const QString value = QString::fromLocal8Bit(qgetenv(variable));
        for (const QString& folder : value.split(QLatin1Char(':'), Qt::SkipEmptyParts))
            folders << folder << folder + QStringLiteral("/platforms");
    }
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms");
    // "wayland" is libqwayland-generic.so, "xcb" libqxcb.so.
    const QString prefix = QStringLiteral("libq") + QString::fromStdString(name);
    for (const QString& folder : folders) {
        for (const QFileInfo& file :
             QDir(folder).entryInfoList({prefix + QStringLiteral("*.so")}, QDir::Files)) {
            // Kept loaded: Qt loads the same plugin next, and a plugin that
            // was unloaded once does not start again.
            if (dlopen(QFile::encodeName(file.absoluteFilePath()).constData(),
                       RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE))
                return true;
            const char* error = dlerror();
            *reason = "the Qt platform plugin " + name +
                      " does not load: " + (error ? error : "unknown error");
            return false;
        }
    }
    *reason = "no Qt platform plugin " + name;
    return false;
}

// Whether Qt can start on one entry of QT_QPA_PLATFORM ("xcb",
// "xcb:option=value", "wayland", "offscreen"...). Qt gives up the whole
// process when its platform cannot start, so the module asks first.
bool PlatformCanStart(const std::string& entry, std::string* reason) {
    const std::string name = entry.substr(0, entry.find(':'));
    if (name.empty()) {
        *reason = "no platform named";
        return false;
    }
    if (!PlatformPluginLoads(name, reason)) return false;
    if (name == "xcb") return DisplayReachable(reason);
    if (name.starts_with("wayland")) return CompositorReachable(reason);
    return true;
}

// The platform Qt is to start on: the first entry of QT_QPA_PLATFORM (a
// list separated by ";") that can start, or without it the X display, then
// a Wayland one. Empty, with every reason, when none can.
std::string ChoosePlatform(std::string* reason) {
    const char* variable = std::getenv("QT_QPA_PLATFORM");
    std::vector<std::string> entries;
    if (variable && *variable) {
        std::string list = variable;
        for (size_t start = 0; start <= list.size();) {
            const size_t end = std::min(list.find(';', start), list.size());
            if (end > start) entries.push_back(list.substr(start, end - start));
            start = end + 1;
        }
    } else {
        entries = {"xcb", "wayland"};
    }
    std::string reasons;
    for (const std::string& entry : entries) {
        std::string why;
        if (PlatformCanStart(entry, &why)) return entry;
        reasons += (reasons.empty() ? "" : "; ") + why;
    }
    // Without the variable, the X display's reason says it all.
    if (!variable || !*variable) reasons = reasons.substr(0, reasons.find("; "));
    *reason = reasons.empty() ? "QT_QPA_PLATFORM names no platform" : reasons;
    return {};
}

// What the front end makes: the application object when the host has none,
// and the front end over it. Both stay to the end of the process: when static
// objects are destroyed, Qt's own are already gone.
struct CFrontEnd {
    int argc = 1;
    char name[8] = "kelmora";
    char option[10] = "-platform";
    std::string platform;
    char* argv[4] = {name, nullptr, nullptr, nullptr};
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
        front_end.platform = ChoosePlatform(reason);
        if (front_end.platform.empty()) return nullptr;
        // Qt starts on the platform that was probed, and on no other.
        front_end.argv[1] = front_end.option;
        front_end.argv[2] = front_end.platform.data();
        front_end.argc = 3;
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

extern "C" __attribute__((visibility("default"))) kelmora::CUserInterface* kelmora_front_end_create(
    const kelmora_front_end_context* context, char* reason, size_t reason_size) {
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

#include "module/front_end.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/process.h"
#include "ui/front_end_library.h"

namespace kelmora {

namespace {

constexpr size_t kReasonSize = 512;

// stdio, not iostreams: this may run while the library is being loaded.
void SayConsoleServes(const std::string& why) {
    std::fprintf(stderr, "kelmora: %s; the console serves instead\n", why.c_str());
}

// Made on first use: the choice is read while the library's globals are built.
std::string& UnknownName() {
    static std::string name;
    return name;
}

// An unknown name is told when there is something to show, like a failed load.
CUserInterface* SayUnknownFrontEnd() {
    SayConsoleServes(std::string(kFrontEndVariable) + "=" + UnknownName() +
                     " names no front end (console or qt)");
    return nullptr;
}

CUserInterface* LoadQtFromModuleFolder() {
    std::string reason;
    CUserInterface* ui = LoadQtFrontEnd(ModuleFolder() + "/" + kFrontEndFolder, &reason);
    if (!ui) SayConsoleServes("no windows: " + reason);
    return ui;
}

}  // namespace

std::string ModuleFolder() {
    std::string folder = FolderOfCode(reinterpret_cast<const void*>(&LoadQtFrontEnd));
    return folder.empty() ? ExecutableFolder() : folder;
}

CUserInterface* LoadQtFrontEnd(const std::string& folder, std::string* reason) {
    const std::string path = folder + "/" + kQtFrontEndLibrary;
    // Qt does not survive being unloaded; the front end stays until the end.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library) {
        const char* error = dlerror();
        *reason = error ? error : "cannot load " + path;
        return nullptr;
    }
    auto create =
        reinterpret_cast<kelmora_front_end_create_fn>(dlsym(library, kFrontEndEntryPoint));
    if (!create) {
        *reason = path + " has no entry point " + kFrontEndEntryPoint;
        dlclose(library);
        return nullptr;
    }
    const std::string title = ApplicationName();
    const kelmora_front_end_context context{kFrontEndAbiVersion, title.c_str(), &CurrentTime};
    char text[kReasonSize] = "";
    CUserInterface* ui = create(&context, text, sizeof text);
    if (!ui) *reason = text;
    return ui;
}

void ChooseFrontEndFromEnvironment() {
    const char* name = std::getenv(kFrontEndVariable);
    if (!name || !*name || std::strcmp(name, "console") == 0) return;
    if (std::strcmp(name, "qt") == 0) {
        SetUserInterfaceLoader(&LoadQtFromModuleFolder);
        return;
    }
    UnknownName() = name;
    SetUserInterfaceLoader(&SayUnknownFrontEnd);
}

}  // namespace kelmora

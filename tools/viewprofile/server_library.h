#pragma once

#include <string>

#include "caller.h"
#include "kelmora/automation.h"

namespace kelmora {

// The in-process server that implements a program identifier, loaded the way
// any host loads it: the registry store names the class and the library, the
// library is opened with dlopen and asked for the class factory. Registers
// the library that sits beside this program when the program identifier is
// not registered yet, names a library that is gone, or names another file
// than the one beside this program (another checkout's build, say).
class CServerLibrary {
public:
    CServerLibrary() = default;
    ~CServerLibrary();
    CServerLibrary(const CServerLibrary&) = delete;
    CServerLibrary& operator=(const CServerLibrary&) = delete;

    // False with error() set when the library cannot be found or loaded.
    bool Load(const std::string& prog_id);
    // A new object's dispatch interface; null with error() set on failure.
    IDispatch* CreateObject();

    // Strings cross the interface in the library's own allocation.
    CStringFunctions string_functions() const {
        return {alloc_string_, string_length_, free_string_};
    }
    void PrintVersion() const { print_verid_(); }
    // Closes the library when it says it may be unloaded.
    void UnloadIfUnused();

    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }
    // Load() failed because the registry cannot be read (told already, error() empty).
    bool registry_unusable() const { return registry_unusable_; }
    // Set when Load() preferred the library beside this program to the one
    // registered; the next Load() finds its own and says nothing.
    const std::string& notice() const { return notice_; }

private:
    bool Open(const std::string& path);
    bool RegisterOwnLibrary(const std::string& own);

    void* handle_ = nullptr;
    std::string path_;
    std::string error_;
    bool registry_unusable_ = false;
    std::string notice_;
    CLSID clsid_{};
    HRESULT (*get_class_object_)(const CLSID*, const IID*, void**) = nullptr;
    HRESULT (*can_unload_now_)() = nullptr;
    BSTR (*alloc_string_)(const char*, uint32_t) = nullptr;
    uint32_t (*string_length_)(BSTR) = nullptr;
    void (*free_string_)(BSTR) = nullptr;
    void (*print_verid_)() = nullptr;
};

// The library this program registers on first use: the one in the library
// folder of the install layout beside this program's folder (or of the build
// folder), else whatever the loader finds by name.
std::string DefaultServerLibraryPath();

// Message text of an HRESULT for the user.
std::string DescribeHresult(HRESULT hr);

}  // namespace kelmora

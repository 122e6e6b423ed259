#pragma once

#include <string>

#include "kelmora/automation.h"

namespace kelmora {

// The class factory of one creatable class. Each factory object adds itself
// to the module's list when it is constructed; RegisterAll makes the listed
// factories available to DllGetClassObject, and UpdateRegistryAll writes
// their entries into the registry store. Factories are static objects: their
// reference count never deletes them.
class CClassFactory final : public IClassFactory {
public:
    // Makes a new object and returns it holding one reference for the caller.
    using CreateFunction = IUnknown* (*)();

    CClassFactory(const CLSID& clsid, const char* prog_id, bool multi_instance,
                  CreateFunction create);
    ~CClassFactory();
    CClassFactory(const CClassFactory&) = delete;
    CClassFactory& operator=(const CClassFactory&) = delete;

    HRESULT QueryInterface(const IID& iid, void** object) override;
    uint32_t AddRef() override;
    uint32_t Release() override;
    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override;
    HRESULT LockServer(int lock) override;

    const CLSID& clsid() const { return clsid_; }
    const std::string& prog_id() const { return prog_id_; }
    bool multi_instance() const { return multi_instance_; }
    bool registered() const { return registered_; }

    static void RegisterAll();
    static void RevokeAll();
    // The registered factory of the class, asked for the interface iid.
    static HRESULT GetClassObject(const CLSID& clsid, const IID& iid, void** object);
    // Writes ProgID, CLSID and library path of every listed factory; false
    // when any entry could not be written.
    static bool UpdateRegistryAll(const std::string& library_path);

private:
    CLSID clsid_;
    std::string prog_id_;
    bool multi_instance_;
    bool registered_ = false;
    CreateFunction create_;
};

}  // namespace kelmora

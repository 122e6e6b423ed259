#include "module/class_factory.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "module/module_lock.h"
#include "module/server_registry.h"

namespace kelmora {

namespace {

struct CFactoryList {
    std::mutex mutex;
    std::vector<CClassFactory*> factories;
};

// Constructed on first use, so factories defined in any translation unit can
// add themselves during static initialisation.
CFactoryList& Factories() {
    static CFactoryList* list = new CFactoryList();
    return *list;
}

}  // namespace

CClassFactory::CClassFactory(const CLSID& clsid, const char* prog_id, bool multi_instance,
                             CreateFunction create)
    : clsid_(clsid), prog_id_(prog_id), multi_instance_(multi_instance), create_(create) {
    auto& list = Factories();
    std::lock_guard<std::mutex> guard(list.mutex);
    list.factories.push_back(this);
}

CClassFactory::~CClassFactory() {
    auto& list = Factories();
    std::lock_guard<std::mutex> guard(list.mutex);
    std::erase(list.factories, this);
}

HRESULT CClassFactory::QueryInterface(const IID& iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

// A static object: references are not counted toward its life.
uint32_t CClassFactory::AddRef() {
    return 2;
}
uint32_t CClassFactory::Release() {
    return 1;
}

HRESULT CClassFactory::CreateInstance(IUnknown* outer, const IID& iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    IUnknown* created = create_();
    if (!created) return E_OUTOFMEMORY;
    HRESULT hr = created->QueryInterface(iid, object);
    created->Release();  // the caller's reference, if any, keeps it alive
    return hr;
}

HRESULT CClassFactory::LockServer(int lock) {
    if (lock) {
        LockServerModule();
        return S_OK;
    }
    return UnlockServerModule() ? S_OK : E_FAIL;
}

void CClassFactory::RegisterAll() {
    auto& list = Factories();
    std::lock_guard<std::mutex> guard(list.mutex);
    for (CClassFactory* factory : list.factories) factory->registered_ = true;
}

void CClassFactory::RevokeAll() {
    auto& list = Factories();
    std::lock_guard<std::mutex> guard(list.mutex);
    for (CClassFactory* factory : list.factories) factory->registered_ = false;
}

HRESULT CClassFactory::GetClassObject(const CLSID& clsid, const IID& iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    CClassFactory* found = nullptr;
    {
        auto& list = Factories();
        std::lock_guard<std::mutex> guard(list.mutex);
        auto it = std::find_if(list.factories.begin(), list.factories.end(), [&](CClassFactory* f) {
            return f->registered_ && f->clsid_ == clsid;
        });
        if (it != list.factories.end()) found = *it;
    }
    if (!found) return CLASS_E_CLASSNOTAVAILABLE;
    return found->QueryInterface(iid, object);
}

bool CClassFactory::UpdateRegistryAll(const std::string& library_path) {
    std::vector<CClassFactory*> factories;
    {
        auto& list = Factories();
        std::lock_guard<std::mutex> guard(list.mutex);
        factories = list.factories;
    }
    bool all_written = true;
    for (CClassFactory* factory : factories) {
        if (WriteServerRegistration(factory->prog_id_, factory->clsid_, library_path) != TBS_ST_OK)
            all_written = false;
    }
    return all_written;
}

}  // namespace kelmora

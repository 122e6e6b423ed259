#include "automation/view_profile.h"
#include "look.h"
#include "module/app.h"
#include "module/class_factory.h"

namespace kelmora {

namespace {
CKelmoraApp theApp;
}

CInProcessModule::CInProcessModule() {
    // As the library does when it is loaded.
    ViewProfileClassFactory();
    theApp.InitInstance();
}

CInProcessModule::~CInProcessModule() {
    theApp.ExitInstance();
}

IDispatch* CInProcessModule::CreateObject() {
    IClassFactory* factory = nullptr;
    if (FAILED(CClassFactory::GetClassObject(CLSID_ViewProfile, IID_IClassFactory,
                                             reinterpret_cast<void**>(&factory))))
        return nullptr;
    IDispatch* object = nullptr;
    HRESULT hr = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object));
    factory->Release();
    return SUCCEEDED(hr) ? object : nullptr;
}

CStringFunctions CInProcessModule::strings() {
    return {kelmora_bstr_alloc_len, kelmora_bstr_len, kelmora_bstr_free};
}

}  // namespace kelmora

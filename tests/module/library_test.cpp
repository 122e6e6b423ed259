// libkelmora.so as hosts see it: loaded with dlopen, reached only through
// its exports. Its registration and version line are checked through the
// viewprofile program, which loads it the same way.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "kelmora/automation.h"
#include "support/test_env.h"

namespace kelmora {
namespace {

std::string LibraryPath() {
    return std::string(KELMORA_LIB_DIR) + "/libkelmora.so";
}

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        get_class_object_ = Symbol<decltype(get_class_object_)>("DllGetClassObject");
        can_unload_now_ = Symbol<decltype(can_unload_now_)>("DllCanUnloadNow");
    }
    void TearDown() override {
        if (handle_) dlclose(handle_);
    }

    template <typename F>
    F Symbol(const char* name) {
        F f = reinterpret_cast<F>(dlsym(handle_, name));
        EXPECT_NE(f, nullptr) << name;
        return f;
    }

    IDispatch* CreateObject() {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(get_class_object_(&CLSID_ViewProfile, &IID_IClassFactory,
                                    reinterpret_cast<void**>(&factory)),
                  S_OK);
        if (!factory) return nullptr;
        IDispatch* object = nullptr;
        EXPECT_EQ(
            factory->CreateInstance(nullptr, IID_IViewProfile, reinterpret_cast<void**>(&object)),
            S_OK);
        factory->Release();
        return object;
    }

    void* handle_ = nullptr;
    HRESULT (*get_class_object_)(const CLSID*, const IID*, void**) = nullptr;
    HRESULT (*can_unload_now_)() = nullptr;
};

TEST(LibraryExportsTest, OnlyTheAutomationAbiIsExported) {
    test::CCommandOutput nm = test::RunCommand({"nm", "-D", "--defined-only", LibraryPath()});
    ASSERT_EQ(nm.exit_code, 0) << nm.err;
    std::set<std::string> names;
    std::istringstream lines(nm.out);
    std::string address, type, name;
    while (lines >> address >> type >> name) names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject",
                                            "DllRegisterServer", "kelmora_bstr_alloc",
                                            "kelmora_bstr_alloc_len", "kelmora_bstr_free",
                                            "kelmora_bstr_len", "kelmora_print_verid"}));
}

TEST_F(LibraryTest, CanUnloadOnlyWhenNoObjectOrLockIsOutstanding) {
    EXPECT_EQ(can_unload_now_(), S_OK);
    IDispatch* first = CreateObject();
    IDispatch* second = CreateObject();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(can_unload_now_(), S_FALSE);
    first->Release();
    EXPECT_EQ(can_unload_now_(), S_FALSE);
    second->Release();
    EXPECT_EQ(can_unload_now_(), S_OK);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(get_class_object_(&CLSID_ViewProfile, &IID_IClassFactory,
                                reinterpret_cast<void**>(&factory)),
              S_OK);
    factory->LockServer(1);
    EXPECT_EQ(can_unload_now_(), S_FALSE);
    factory->LockServer(0);
    factory->Release();
    EXPECT_EQ(can_unload_now_(), S_OK);
}

TEST_F(LibraryTest, ClassObjectOnlyForTheViewProfileClass) {
    void* object = nullptr;
    EXPECT_EQ(get_class_object_(&IID_IViewProfile, &IID_IClassFactory, &object),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(get_class_object_(&CLSID_ViewProfile, &IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(get_class_object_(nullptr, &IID_IClassFactory, &object), E_POINTER);
}

TEST_F(LibraryTest, StringsKeepTheirLengthAndEmbeddedNuls) {
    auto alloc_len = Symbol<BSTR (*)(const char*, uint32_t)>("kelmora_bstr_alloc_len");
    auto alloc = Symbol<BSTR (*)(const char*)>("kelmora_bstr_alloc");
    auto len = Symbol<uint32_t (*)(BSTR)>("kelmora_bstr_len");
    auto free_string = Symbol<void (*)(BSTR)>("kelmora_bstr_free");
    BSTR text = alloc_len("ab\0cd", 5);
    EXPECT_EQ(len(text), 5u);
    EXPECT_EQ(std::string(text, 5), std::string("ab\0cd", 5));
    EXPECT_EQ(text[5], '\0');
    free_string(text);
    BSTR empty = alloc(nullptr);
    EXPECT_EQ(len(empty), 0u);
    EXPECT_STREQ(empty, "");
    free_string(empty);
    EXPECT_EQ(len(nullptr), 0u);
    free_string(nullptr);
}

}  // namespace
}  // namespace kelmora

// libkelmora.so as hosts see it: loaded with dlopen, reached only through its
// exports; the mount client's behave as the mount layer's tests show.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "kelmora/automation.h"
#include "kelmora/mount.h"
#include "module/server_registry.h"
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

    IClassFactory* Factory() {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(get_class_object_(&CLSID_ViewProfile, &IID_IClassFactory,
                                    reinterpret_cast<void**>(&factory)),
                  S_OK);
        return factory;
    }
    IDispatch* CreateObject() {
        IClassFactory* factory = Factory();
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

// Packagers and hosts rely on this list: anything else leaking out is a symbol
// they may bind to and that a later build drops.
TEST(LibraryExportsTest, OnlyTheAutomationAbiAndTheMountClientAreExported) {
    test::CCommandOutput nm = test::RunCommand({"nm", "-D", "--defined-only", LibraryPath()});
    ASSERT_EQ(nm.exit_code, 0) << nm.err;
    std::set<std::string> names;
    std::istringstream lines(nm.out);
    std::string address, type, name;
    while (lines >> address >> type >> name) names.insert(name);
    EXPECT_EQ(
        names,
        (std::set<std::string>{
            "DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "kelmora_bstr_alloc",
            "kelmora_bstr_alloc_len", "kelmora_bstr_free", "kelmora_bstr_len",
            "kelmora_print_verid", "mount_trfs", "hasmntopt", "_mount_trfs_mntrpc_msg_table_adr",
            "mntrpc_get_tag_info", "mntrpc_check_tag_collision", "mntrpc_is_trfs_avail",
            "mntrpc_is_trfs_avail_sil", "mntrpc_umount_alltags", "_mntrpc_mntrpc_msg_table_adr"}));
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

    IClassFactory* factory = Factory();
    ASSERT_NE(factory, nullptr);
    factory->LockServer(1);
    EXPECT_EQ(can_unload_now_(), S_FALSE);
    EXPECT_EQ(factory->LockServer(0), S_OK);
    // Refused creations leave no object behind; no lock of the host's is left to release.
    void* object = &object;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory->CreateInstance(factory, IID_IDispatch, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->LockServer(0), E_FAIL);
    factory->Release();
    EXPECT_EQ(can_unload_now_(), S_OK);
}

// A host's null pointers and wrong identifiers are answered, never followed.
TEST_F(LibraryTest, NullArgumentsAreRefusedAtEveryEntry) {
    void* object = &object;
    EXPECT_EQ(get_class_object_(nullptr, &IID_IClassFactory, &object), E_POINTER);
    EXPECT_EQ(get_class_object_(&CLSID_ViewProfile, nullptr, &object), E_POINTER);
    EXPECT_EQ(get_class_object_(&CLSID_ViewProfile, &IID_IClassFactory, nullptr), E_POINTER);
    IClassFactory* factory = Factory();
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IViewProfile, nullptr), E_POINTER);
    EXPECT_EQ(factory->QueryInterface(IID_IClassFactory, nullptr), E_POINTER);
    factory->Release();

    IDispatch* profile = CreateObject();
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(profile->QueryInterface(IID_IDispatch, nullptr), E_POINTER);
    const char* names[] = {"GetConfigSpec", nullptr};
    DISPID ids[2] = {0, 0};
    EXPECT_EQ(profile->GetIDsOfNames(nullptr, 1, ids), E_POINTER);
    EXPECT_EQ(profile->GetIDsOfNames(names, 2, nullptr), E_POINTER);
    const DISPPARAMS no_vector{nullptr, 1};
    EXPECT_EQ(profile->Invoke(17, &no_vector, nullptr), E_INVALIDARG);  // SetViewTag
    EXPECT_EQ(profile->Invoke(6, nullptr, nullptr), S_OK);  // GetNextVOB, no result wanted
    profile->Release();
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
    BSTR zeros = alloc_len(nullptr, 3);  // room for a text to come, zeroed
    EXPECT_EQ(std::string(zeros, 4), std::string(4, '\0'));
    EXPECT_EQ(len(zeros), 3u);
    free_string(zeros);
    EXPECT_EQ(len(nullptr), 0u);
    free_string(nullptr);
}

// A host that loaded the library by a relative name registers where it is,
// so that hosts that run elsewhere find it.
TEST(LibraryRegistrationTest, RegistersTheCanonicalPathHoweverTheLibraryWasLoaded) {
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "a sanitized library cannot be loaded into a second link-map namespace";
#endif
#endif
    test::CScopedHome home;
    const pid_t child = fork();
    if (child == 0) {
        // A copy of its own: this process has the library already, by its full name.
        void* relative = chdir(KELMORA_LIB_DIR) == 0
                             ? dlmopen(LM_ID_NEWLM, "./../lib/libkelmora.so", RTLD_NOW)
                             : nullptr;
        auto register_server =
            relative ? reinterpret_cast<HRESULT (*)()>(dlsym(relative, "DllRegisterServer"))
                     : nullptr;
        _exit(register_server && register_server() == S_OK ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    ASSERT_EQ(status, 0);
    CLSID clsid{};
    std::string path;
    ASSERT_TRUE(FindServerByProgId(KELMORA_VIEWPROFILE_PROGID, &clsid, &path));
    EXPECT_EQ(path, std::filesystem::canonical(KELMORA_LIB_DIR).string() + "/libkelmora.so");
}

// A host linked with the library binds its hasmntopt calls to the library's:
// it answers as the C library's does, pointer for pointer.
TEST_F(LibraryTest, HasmntoptAnswersAsTheCLibrarys) {
    auto find_option = Symbol<char* (*)(const struct mntent*, const char*)>("hasmntopt");
    ASSERT_TRUE(find_option);
    std::string long_options = "lowerdir=" + std::string(1100, 'x') + ",ro";
    for (std::string options : {std::string("rw,roof,ro=1"), std::string("noac,no,ro"),
                                std::string("rwro,ro,rw"), long_options}) {
        struct mntent entry = {nullptr, nullptr, nullptr, options.data(), 0, 0};
        for (const char* name : {"ro", "no", "rw", "lowerdir", "x"})
            EXPECT_EQ(find_option(&entry, name), ::hasmntopt(&entry, name)) << options << name;
    }
}

}  // namespace
}  // namespace kelmora

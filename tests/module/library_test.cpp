// libkelmora.so as hosts see it: loaded with dlopen, reached only through
// its exports. Its registration and version line are checked through the
// viewprofile program, which loads it the same way.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "client/client_test_util.h"
#include "client/tag_admin.h"
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

// A host that loaded the library by a relative name registers where it is,
// so that hosts that run elsewhere find it.
TEST(LibraryRegistrationTest, RegistersTheCanonicalPathHoweverTheLibraryWasLoaded) {
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

TEST_F(LibraryTest, AHostFindsTagsAndOptionsThroughTheMountClient) {
    const std::string tag = "\\" + test::UniqueName("lib");
    ASSERT_EQ(client::AddRegistryEntry(RGY_KIND_VOB_TAG, "",
                                       {{RGY_KEY_TAG, tag},
                                        {RGY_KEY_GLOBAL_PATH, "/srv/vobs/lib"},
                                        {RGY_KEY_ACCESS, "public"},
                                        {RGY_KEY_UUID, "0123abcd-0000-4000-8000-00000000beef"}},
                                       nullptr),
              TBS_ST_OK);
    auto get_tag_info =
        Symbol<uint32_t (*)(const char*, const char*, const char*, int*, char*, size_t, uint8_t*)>(
            "mntrpc_get_tag_info");
    auto find_option = Symbol<char* (*)(const struct mntent*, const char*)>("hasmntopt");
    auto mntrpc_table = Symbol<const imsg_msg_table_t* (*)()>("_mntrpc_mntrpc_msg_table_adr");
    ASSERT_TRUE(get_tag_info && find_option && mntrpc_table);

    int is_public = 0;
    char path[64] = {};
    uint8_t uuid[16] = {};
    EXPECT_EQ(get_tag_info(tag.c_str(), nullptr, nullptr, &is_public, path, sizeof path, uuid), 0u);
    EXPECT_EQ(is_public, 1);
    EXPECT_STREQ(path, "/srv/vobs/lib");
    EXPECT_EQ(uuid[0], 0x01);
    EXPECT_EQ(uuid[15], 0xef);
    EXPECT_EQ(get_tag_info((tag + "x").c_str(), "", nullptr, &is_public, path, sizeof path, uuid),
              1002u);

    // A host linked with the library may bind its hasmntopt calls to the
    // library's: it answers as the C library's does, pointer for pointer.
    std::string long_options = "lowerdir=" + std::string(1100, 'x') + ",ro";
    for (std::string options : {std::string("rw,roof,ro=1"), std::string("noac,no,ro"),
                                std::string("rwro,ro,rw"), long_options}) {
        struct mntent entry = {nullptr, nullptr, nullptr, options.data(), 0, 0};
        for (const char* name : {"ro", "no", "rw", "lowerdir", "x"})
            EXPECT_EQ(find_option(&entry, name), ::hasmntopt(&entry, name)) << options << name;
    }

    const imsg_msg_table_t* table = mntrpc_table();
    EXPECT_STREQ(table->library, "mntrpc_lib");
    EXPECT_STREQ(table->facility, "mntrpc");
    EXPECT_EQ(table->facility_number, 99);
    ASSERT_EQ(table->count, 64);
    EXPECT_STREQ(table->texts[30], "%s is already mounted.\n");
    EXPECT_EQ(table->numbers[63], 64);
}

}  // namespace
}  // namespace kelmora

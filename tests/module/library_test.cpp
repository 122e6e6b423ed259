// libkelmora.so as hosts see it: loaded with dlopen, reached only through
// its exports.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "kelmora/automation.h"
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
        register_server_ = Symbol<decltype(register_server_)>("DllRegisterServer");
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
    HRESULT (*register_server_)() = nullptr;
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

TEST_F(LibraryTest, RegisterServerRecordsThisLibraryUnderTheProgramIdentifier) {
    ASSERT_EQ(register_server_(), S_OK);
    CLSID clsid{};
    std::string path;
    ASSERT_TRUE(FindServerByProgId(KELMORA_VIEWPROFILE_PROGID, &clsid, &path));
    EXPECT_EQ(clsid, CLSID_ViewProfile);
    char registered[PATH_MAX], built[PATH_MAX];
    ASSERT_NE(realpath(path.c_str(), registered), nullptr) << path;
    ASSERT_NE(realpath(LibraryPath().c_str(), built), nullptr);
    EXPECT_STREQ(registered, built);
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

// Captures what the process writes to its standard output for one scope.
class CCapturedStdout {
public:
    CCapturedStdout() : file_(std::tmpfile()) {
        std::fflush(stdout);
        saved_ = dup(1);
        dup2(fileno(file_), 1);
    }
    ~CCapturedStdout() {
        Restore();
        std::fclose(file_);
    }
    std::string Text() {
        Restore();
        std::string text;
        std::rewind(file_);
        char buf[256];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) text.append(buf, n);
        return text;
    }

private:
    void Restore() {
        if (saved_ < 0) return;
        std::fflush(stdout);
        dup2(saved_, 1);
        close(saved_);
        saved_ = -1;
    }
    FILE* file_;
    int saved_ = -1;
};

TEST_F(LibraryTest, VersionLineHasTheNameColumnVersionAndBuildDate) {
    auto print_verid = Symbol<void (*)()>("kelmora_print_verid");
    CCapturedStdout out;
    print_verid();
    std::string line = out.Text();
    EXPECT_EQ(line.substr(0, 34), "kelmora" + std::string(26, ' ') + " ");
    static const std::regex kRest(
        R"(\d+\.\d+\.\d+ \((Mon|Tue|Wed|Thu|Fri|Sat|Sun) [A-Z][a-z]{2} [ 123]\d \d\d:\d\d:\d\d \d{4}\)\n)");
    EXPECT_TRUE(std::regex_match(line.substr(34), kRest)) << line;
}

}  // namespace
}  // namespace kelmora

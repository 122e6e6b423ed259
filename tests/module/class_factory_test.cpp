#include "module/class_factory.h"

#include <gtest/gtest.h>

#include "automation/view_profile.h"
#include "module/server_registry.h"
#include "support/test_env.h"

namespace kelmora {
namespace {

// {0b5cfc4e-2f0e-4a3c-9d1b-6a1c0de0f001}: a class of the tests only.
constexpr CLSID kTestClsid = {
    0x0b5cfc4e, 0x2f0e, 0x4a3c, {0x9d, 0x1b, 0x6a, 0x1c, 0x0d, 0xe0, 0xf0, 0x01}};

TEST(ClassFactoryTest, FactoryServesItsClassOnlyWhileRegistered) {
    void* object = nullptr;
    {
        CClassFactory factory(kTestClsid, "KELMORA.TESTCLASS", false,
                              []() -> IUnknown* { return nullptr; });  // makes no object
        EXPECT_EQ(CClassFactory::GetClassObject(kTestClsid, IID_IClassFactory, &object),
                  CLASS_E_CLASSNOTAVAILABLE);
        CClassFactory::RegisterAll();
        test::CScopedHome home;  // where the class is written for hosts to find
        EXPECT_TRUE(CClassFactory::UpdateRegistryAll("/opt/lib/libtest.so"));
        CLSID written{};
        std::string path;
        ASSERT_TRUE(FindServerByProgId("KELMORA.TESTCLASS", &written, &path));
        EXPECT_EQ(path, "/opt/lib/libtest.so");
        ASSERT_EQ(CClassFactory::GetClassObject(kTestClsid, IID_IClassFactory, &object), S_OK);
        EXPECT_EQ(object, static_cast<IClassFactory*>(&factory));
        EXPECT_EQ(CClassFactory::GetClassObject(kTestClsid, IID_IDispatch, &object), E_NOINTERFACE);
        EXPECT_EQ(object, nullptr);
        // A class that cannot make its object says so.
        IClassFactory* f = &factory;
        EXPECT_EQ(f->CreateInstance(nullptr, IID_IUnknown, &object), E_OUTOFMEMORY);
    }
    EXPECT_EQ(CClassFactory::GetClassObject(kTestClsid, IID_IClassFactory, &object),
              CLASS_E_CLASSNOTAVAILABLE);
}

TEST(GuidTextTest, TextRoundTripsAndMalformedTextIsRefused) {
    EXPECT_EQ(GuidToString(CLSID_ViewProfile), "{592c6aef-44a3-498a-b5b9-b0d893cf81a5}");
    GUID parsed{};
    ASSERT_TRUE(ParseGuid("{592C6AEF-44A3-498A-B5B9-B0D893CF81A5}", &parsed));
    EXPECT_EQ(parsed, CLSID_ViewProfile);
    ASSERT_TRUE(ParseGuid("779e602a-8158-4149-86ae-de83dcca987e", &parsed));
    EXPECT_EQ(parsed, IID_IViewProfile);
    for (const char* bad :
         {"", "{592c6aef-44a3-498a-b5b9-b0d893cf81a5", "592c6aef44a3498ab5b9b0d893cf81a5",
          "{592c6aef-44a3-498a-b5b9-b0d893cf81ag}", "{592c6aef-44a3-498ab-5b9-b0d893cf81a5}"}) {
        EXPECT_FALSE(ParseGuid(bad, &parsed)) << bad;
    }
}

}  // namespace
}  // namespace kelmora

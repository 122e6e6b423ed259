#include "automation/dispatch.h"

#include <gtest/gtest.h>

#include <string>

#include "automation/view_profile.h"
#include "module/module_lock.h"
#include "module/variant.h"
#include "support/scripted_ui.h"

namespace kelmora {
namespace {

struct CNamedId {
    const char* name;
    DISPID id;
};

// The interface as hosts were built against it.
constexpr CNamedId kInterface[] = {
    {"GetProfileName", 1},      {"GetConfigSpec", 2},     {"SetErrorString", 3},
    {"Dissociate", 4},          {"GetFirstVOB", 5},       {"GetNextVOB", 6},
    {"Associate", 7},           {"SetUpBranch", 8},       {"FinishBranch", 9},
    {"Synchronize", 10},        {"GetDescription", 11},   {"GetDiagramPName", 12},
    {"IsAssociated", 13},       {"IsOnPrivateBranch", 14}, {"GetProfileTreeRoot", 15},
    {"MountProfileVOBs", 16},   {"SetViewTag", 17},       {"SetWorkspacePath", 18},
    {"SuppressErrorDisplay", 19}};

class DispatchIdTest : public ::testing::TestWithParam<CNamedId> {};

TEST_P(DispatchIdTest, NameResolvesToItsFixedIdInAnyLetterCase) {
    CViewProfile profile;
    std::string name = GetParam().name;
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const char* names[] = {name.c_str(), lower.c_str()};
    DISPID ids[2] = {0, 0};
    ASSERT_EQ(profile.GetIDsOfNames(names, 2, ids), S_OK);
    EXPECT_EQ(ids[0], GetParam().id);
    EXPECT_EQ(ids[1], GetParam().id);
}

INSTANTIATE_TEST_SUITE_P(Interface, DispatchIdTest, ::testing::ValuesIn(kInterface),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DispatchTest, UnknownNamesGetMinusOneAndTheCallFails) {
    CViewProfile profile;
    const char* names[] = {"GetConfigSpec", "GetConfigSpecs", ""};
    DISPID ids[3] = {0, 0, 0};
    EXPECT_EQ(profile.GetIDsOfNames(names, 3, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 2);
    EXPECT_EQ(ids[1], -1);
    EXPECT_EQ(ids[2], -1);
}

TEST(DispatchTest, CallsAreCheckedForMemberArgumentCountAndType) {
    CViewProfile profile;
    CVariant result, text = CVariant::FromString("v1"), word = CVariant::FromString("perhaps");
    DISPPARAMS none{nullptr, 0}, one{text.get(), 1}, not_a_bool{word.get(), 1};
    EXPECT_EQ(profile.Invoke(0, &none, result.get()), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(profile.Invoke(20, &none, result.get()), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(profile.Invoke(17, &none, result.get()), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(profile.Invoke(6, &one, result.get()), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(profile.Invoke(19, &not_a_bool, result.get()), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(profile.suppress_error_display(), FALSE);
}

struct CBoolArgument {
    const char* label;
    CVariant (*make)();
    BOOL expected;
};

class BoolArgumentTest : public ::testing::TestWithParam<CBoolArgument> {};

TEST_P(BoolArgumentTest, BooleanParameterAcceptsBooleansNumbersAndWords) {
    CVariant arg = GetParam().make();
    CViewProfile profile;
    profile.SuppressErrorDisplay(GetParam().expected ? FALSE : TRUE);
    DISPPARAMS params{arg.get(), 1};
    EXPECT_EQ(profile.Invoke(19, &params, nullptr), S_OK);
    EXPECT_EQ(profile.suppress_error_display(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, BoolArgumentTest,
    ::testing::Values(CBoolArgument{"VariantTrue", [] { return CVariant::FromBool(true); }, TRUE},
                      CBoolArgument{"VariantFalse", [] { return CVariant::FromBool(false); },
                                    FALSE},
                      CBoolArgument{"NonzeroNumber", [] { return CVariant::FromInt(-1); }, TRUE},
                      CBoolArgument{"Zero", [] { return CVariant::FromInt(0); }, FALSE},
                      CBoolArgument{"WordTrue", [] { return CVariant::FromString("TRUE"); }, TRUE},
                      CBoolArgument{"WordNo", [] { return CVariant::FromString(" no "); }, FALSE},
                      CBoolArgument{"DigitOne", [] { return CVariant::FromString("1"); }, TRUE},
                      CBoolArgument{"DigitZero", [] { return CVariant::FromString("0"); }, FALSE}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(DispatchTest, VobIterationWithoutAProfileIsEmpty) {
    test::CScriptedUserInterface ui;
    CViewProfile profile;
    CVariant result;
    DISPPARAMS none{nullptr, 0};
    for (DISPID id : {6, 5, 6}) {
        // GetFirstVOB says that no view is named: a failure, told by S_FALSE.
        ASSERT_EQ(profile.Invoke(id, &none, result.get()), id == 5 ? S_FALSE : S_OK);
        ASSERT_EQ(result.value().vt, VT_BSTR);
        EXPECT_EQ(BstrToString(result.value().bstrVal), "");
        result.Clear();
    }
    EXPECT_EQ(profile.vob_list_loaded(), FALSE);
}

TEST(DispatchTest, InterfacesAndTheLastReleaseEndTheObject) {
    long before = ModuleLockCount();
    auto* profile = new CViewProfile();
    EXPECT_EQ(ModuleLockCount(), before + 1);
    void* out = nullptr;
    for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &IID_IViewProfile}) {
        ASSERT_EQ(profile->QueryInterface(*iid, &out), S_OK);
        EXPECT_EQ(out, static_cast<IDispatch*>(profile));
        profile->Release();
    }
    EXPECT_EQ(profile->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(profile->AddRef(), 2u);
    EXPECT_EQ(profile->Release(), 1u);
    EXPECT_EQ(profile->Release(), 0u);
    EXPECT_EQ(ModuleLockCount(), before);
}

}  // namespace
}  // namespace kelmora

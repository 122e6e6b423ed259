#include "automation/dispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/view_profile.h"
#include "module/module_lock.h"
#include "module/variant.h"

namespace kelmora {
namespace {

struct CNamedId {
    const char* name;
    DISPID id;
};

// The interface as hosts were built against it.
constexpr CNamedId kInterface[] = {
    {"GetProfileName", 1},
    {"GetConfigSpec", 2},
    {"SetErrorString", 3},
    {"Dissociate", 4},
    {"GetFirstVOB", 5},
    {"GetNextVOB", 6},
    {"Associate", 7},
    {"SetUpBranch", 8},
    {"FinishBranch", 9},
    {"Synchronize", 10},
    {"GetDescription", 11},
    {"GetDiagramPName", 12},
    {"IsAssociated", 13},
    {"IsOnPrivateBranch", 14},
    {"GetProfileTreeRoot", 15},
    {"MountProfileVOBs", 16},
    {"SetViewTag", 17},
    {"SetWorkspacePath", 18},
    {"SuppressErrorDisplay", 19},
};

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

HRESULT Call(CViewProfile& profile, DISPID id, std::vector<CVariant>* args, VARIANT* result) {
    std::vector<VARIANT> values;
    for (auto& a : *args) values.push_back(a.value());
    DISPPARAMS params{values.data(), static_cast<uint32_t>(values.size())};
    return profile.Invoke(id, &params, result);
}

TEST(DispatchTest, CallsAreCheckedForMemberArgumentCountAndType) {
    CViewProfile profile;
    CVariant result;
    std::vector<CVariant> none;
    std::vector<CVariant> one;
    one.push_back(CVariant::FromString("v1"));
    EXPECT_EQ(Call(profile, 0, &none, result.get()), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(profile, 20, &none, result.get()), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(profile, 17, &none, result.get()), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(profile, 6, &one, result.get()), DISP_E_BADPARAMCOUNT);

    std::vector<CVariant> not_a_bool;
    not_a_bool.push_back(CVariant::FromString("perhaps"));
    EXPECT_EQ(Call(profile, 19, &not_a_bool, result.get()), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(profile.suppress_error_display(), FALSE);
}

VARIANT Bstr(const char* text) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = kelmora_bstr_alloc(text);
    return v;
}

VARIANT Bool(bool value) {
    VARIANT v;
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

struct CBoolArgument {
    const char* label;
    VARTYPE vt;
    int32_t number;    // VT_I4 and VT_BOOL
    const char* text;  // VT_BSTR
    BOOL expected;
};

class BoolArgumentTest : public ::testing::TestWithParam<CBoolArgument> {};

TEST_P(BoolArgumentTest, BooleanParameterAcceptsBooleansNumbersAndWords) {
    const CBoolArgument& c = GetParam();
    CVariant arg = c.vt == VT_BSTR   ? CVariant::FromString(c.text)
                   : c.vt == VT_BOOL ? CVariant::FromBool(c.number != 0)
                                     : CVariant::FromInt(c.number);
    CViewProfile profile;
    profile.SuppressErrorDisplay(c.expected ? FALSE : TRUE);
    DISPPARAMS params{&arg.value(), 1};
    EXPECT_EQ(profile.Invoke(19, &params, nullptr), S_OK);
    EXPECT_EQ(profile.suppress_error_display(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Values, BoolArgumentTest,
                         ::testing::Values(CBoolArgument{"VariantTrue", VT_BOOL, 1, nullptr, TRUE},
                                           CBoolArgument{"VariantFalse", VT_BOOL, 0, nullptr,
                                                         FALSE},
                                           CBoolArgument{"NonzeroNumber", VT_I4, -1, nullptr, TRUE},
                                           CBoolArgument{"Zero", VT_I4, 0, nullptr, FALSE},
                                           CBoolArgument{"WordTrue", VT_BSTR, 0, "TRUE", TRUE},
                                           CBoolArgument{"WordNo", VT_BSTR, 0, " no ", FALSE},
                                           CBoolArgument{"DigitOne", VT_BSTR, 0, "1", TRUE},
                                           CBoolArgument{"DigitZero", VT_BSTR, 0, "0", FALSE}),
                         [](const auto& info) { return std::string(info.param.label); });

// Methods whose operations this build does not carry answer E_NOTIMPL and
// change nothing.
class NotImplementedTest : public ::testing::TestWithParam<DISPID> {};

TEST_P(NotImplementedTest, AnswersNotImplementedWithoutSideEffects) {
    CViewProfile profile;
    profile.SetErrorString("prefix");
    const CDispatchMember* member = FindDispatchMember(GetParam());
    ASSERT_NE(member, nullptr);
    VARIANT arg = member->parameter == EDispatchType::Bool ? Bool(true) : Bstr("x");
    DISPPARAMS params{&arg, member->parameter == EDispatchType::None ? 0u : 1u};
    CVariant result;
    EXPECT_EQ(profile.Invoke(GetParam(), &params, result.get()), E_NOTIMPL);
    EXPECT_EQ(result.value().vt, VT_EMPTY);
    EXPECT_EQ(profile.error_prefix(), "prefix");
    if (arg.vt == VT_BSTR) kelmora_bstr_free(arg.bstrVal);
}

INSTANTIATE_TEST_SUITE_P(LaterOperations, NotImplementedTest,
                         ::testing::Values(1, 4, 7, 8, 9, 10, 11, 12, 13, 14, 16),
                         [](const auto& info) {
                             return std::string(FindDispatchMember(info.param)->name);
                         });

TEST(DispatchTest, VobIterationBeforeAnyListIsEmptyAndFirstNeedsTheLoader) {
    CViewProfile profile;
    CVariant result;
    DISPPARAMS none{nullptr, 0};
    ASSERT_EQ(profile.Invoke(6, &none, result.get()), S_OK);
    ASSERT_EQ(result.value().vt, VT_BSTR);
    EXPECT_EQ(BstrToString(result.value().bstrVal), "");
    result.Clear();
    EXPECT_EQ(profile.Invoke(5, &none, result.get()), E_NOTIMPL);
}

TEST(DispatchTest, ErrorStringSetByDispatchPrefixesReports) {
    CViewProfile profile;
    VARIANT prefix = Bstr("Cannot associate.\n\n");
    DISPPARAMS params{&prefix, 1};
    EXPECT_EQ(profile.Invoke(3, &params, nullptr), S_OK);
    EXPECT_EQ(profile.error_prefix(), "Cannot associate.\n\n");
    kelmora_bstr_free(prefix.bstrVal);
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

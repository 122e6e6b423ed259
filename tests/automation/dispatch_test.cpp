#include "automation/dispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/call_log.h"
#include "automation/log_reader.h"
#include "automation/view_profile.h"
#include "client/messages.h"
#include "module/variant.h"
#include "support/scripted_ui.h"

namespace kelmora {
namespace {

// The interface as hosts were built against it: each name's id is its place, from 1.
constexpr const char* kInterface[] = {
    "GetProfileName", "GetConfigSpec",     "SetErrorString",      "Dissociate",
    "GetFirstVOB",    "GetNextVOB",        "Associate",           "SetUpBranch",
    "FinishBranch",   "Synchronize",       "GetDescription",      "GetDiagramPName",
    "IsAssociated",   "IsOnPrivateBranch", "GetProfileTreeRoot",  "MountProfileVOBs",
    "SetViewTag",     "SetWorkspacePath",  "SuppressErrorDisplay"};

// Unknown names get -1 and the call fails.
TEST(DispatchTest, NamesResolveToTheirFixedIdsInAnyLetterCase) {
    CViewProfile profile;
    for (DISPID id = 1; id <= DISPID(std::size(kInterface)); ++id) {
        std::string lower = kInterface[id - 1];
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const char* names[] = {kInterface[id - 1], lower.c_str()};
        DISPID ids[2] = {0, 0};
        ASSERT_EQ(profile.GetIDsOfNames(names, 2, ids), S_OK) << names[0];
        EXPECT_EQ(std::pair(ids[0], ids[1]), std::pair(id, id)) << names[0];
    }
    const char* names[] = {"GetConfigSpec", "GetConfigSpecs", ""};
    DISPID ids[3] = {0, 0, 0};
    EXPECT_EQ(profile.GetIDsOfNames(names, 3, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(std::vector<DISPID>(ids, ids + 3), (std::vector<DISPID>{2, -1, -1}));
}

TEST(DispatchTest, CallsAreCheckedForMemberArgumentCountAndType) {
    CViewProfile profile;
    CVariant result, text = CVariant::FromString("v1"), word = CVariant::FromString("perhaps"),
                     real;
    DISPPARAMS none{nullptr, 0}, one{text.get(), 1}, not_a_bool{word.get(), 1},
        not_a_text{real.get(), 1};
    real.get()->vt = 5;  // a double, which no method takes
    EXPECT_EQ(profile.Invoke(0, &none, result.get()), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(profile.Invoke(20, &none, result.get()), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(profile.Invoke(17, &none, result.get()), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(profile.Invoke(6, &one, result.get()), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(profile.Invoke(19, &not_a_bool, result.get()), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(profile.Invoke(17, &not_a_text, result.get()), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(profile.suppress_error_display(), FALSE);
}

TEST(DispatchTest, BooleanParameterAcceptsBooleansNumbersAndWords) {
    std::pair<CVariant, BOOL> arguments[] = {{CVariant::FromBool(true), TRUE},
                                             {CVariant::FromInt(-1), TRUE},
                                             {CVariant::FromString("TRUE"), TRUE},
                                             {CVariant::FromString(" no "), FALSE},
                                             {CVariant::FromString("1"), TRUE}};
    for (size_t i = 0; i < std::size(arguments); ++i) {
        CViewProfile profile;
        profile.SuppressErrorDisplay(arguments[i].second ? FALSE : TRUE);
        DISPPARAMS params{arguments[i].first.get(), 1};
        EXPECT_EQ(profile.Invoke(19, &params, nullptr), S_OK) << i;
        EXPECT_EQ(profile.suppress_error_display(), arguments[i].second) << i;
    }
}

// The failures of GetFirstVOB and GetDiagramPName are told by S_FALSE.
TEST(DispatchTest, StringGettersWithoutAViewAnswerAnEmptyString) {
    test::CScriptedUserInterface ui;
    CViewProfile profile;
    CVariant result;
    DISPPARAMS none{nullptr, 0};
    for (DISPID id : {6, 5, 6, 1, 12}) {
        ASSERT_EQ(profile.Invoke(id, &none, result.get()), id == 5 || id == 12 ? S_FALSE : S_OK)
            << id;
        ASSERT_EQ(result.value().vt, VT_BSTR);
        EXPECT_EQ(BstrToString(result.value().bstrVal), "");
        result.Clear();
    }
    EXPECT_EQ(profile.vob_list_loaded(), FALSE);
    EXPECT_EQ(profile.Invoke(14, &none, result.get()), S_OK);  // IsOnPrivateBranch
    EXPECT_EQ(result.value().vt, VT_BOOL);
}

TEST(DispatchTest, InterfacesAndTheLastReleaseEndTheObject) {
    auto* profile = new CViewProfile();
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
}

// Control characters escaped.
TEST(DispatchTest, ACallIsLoggedWithTheBoxesItShowed) {
    char path[1024] = {};
    ASSERT_EQ(tbs_product_log_dir(path, sizeof path, kCallLogName), TBS_ST_OK);
    test::COperationLogTail log(path);
    test::CScriptedUserInterface ui;
    CViewProfile profile;
    profile.SetErrorString("\x01");  // before the message of a tree root not set
    CVariant result;
    DISPPARAMS none{nullptr, 0};
    ASSERT_EQ(profile.Invoke(15, &none, result.get()), S_FALSE);
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_NE(log.Text().find(",\"messages\":[\"\\u0001Unable find"), std::string::npos)
        << log.Text();
}

TEST(DispatchTest, ACallIsLoggedAtItsStartInUtcToTheMillisecond) {
    CCallLogEntry entry;
    entry.started = std::chrono::sys_days{std::chrono::December / 7 / 2026} +
                    std::chrono::milliseconds(75907005);
    EXPECT_TRUE(FormatCallLogEntry(entry).starts_with("{\"time\":\"2026-12-07T21:05:07.005Z\","));
}

}  // namespace
}  // namespace kelmora

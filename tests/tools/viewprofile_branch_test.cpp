// SetUpBranch and FinishBranch through the host: branch types made and config specs written.
#include <gtest/gtest.h>

#include <ctime>
#include <functional>

#include "client/checkout_admin.h"
#include "client/type_admin.h"
#include "client/vob_admin.h"
#include "cspec/profile_site.h"
#include "tools/tool_fixture.h"

namespace kelmora::test {
namespace {

using client::ETypeKind;

const std::string kPrivateRules = "element \\vobB\\... REL1\r\n";
const std::string kProfileRules = "element * \\main\\LATEST -mkbranch dev\r\n";
// What the profile composes: the view associated and on no private branch.
const std::string kProfileForm = InfoBlock(kProj, kGuid + " 2.5") + "\r\n\r\n" + kSectionHeader +
                                 kPrivateRules + kProfileRules + kEnd;

std::string BranchRules(const std::string& time = "") {
    return "element * ...\\priv\\LATEST\r\nmkbranch priv\r\n" +
           (time.empty() ? "" : "time " + time + "\r\n");
}
// The private branch from a checkpoint or a label.
std::string SelectorForm(const std::string& selector) {
    return PrivateBlock(kProj, kGuid + " 2.5", BranchRules()) + kSectionHeader + "element * " +
           selector + "\r\nelement * \\main\\0\r\n" + kEnd;
}
// From a time: the profile's rules stay, without their -mkbranch options.
std::string TimeForm(const std::string& time) {
    return PrivateBlock(kProj, kGuid + " 2.5", BranchRules(time)) + kSectionHeader + kPrivateRules +
           "element * \\main\\LATEST \r\nelement * \\main\\0\r\n" + kEnd;
}

std::string LocalTime(std::time_t t, const char* format) {
    std::tm local{};
    localtime_r(&t, &local);
    char text[64];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

class BranchSiteTest : public CProfileSiteTest {
protected:
    void SetUp() override {
        CProfileSiteTest::SetUp();
        std::string list;
        for (std::string& vob : vobs_) {
            vob = "\\" + UniqueName("vob");
            ASSERT_EQ(client::CreateVob(vob, temp_ / vob.substr(1), {}), TBS_ST_OK);
            ASSERT_EQ(client::CreateType(ETypeKind::kLabel, "REL1", vob, "", false), TBS_ST_OK);
            list += vob + " ";
        }
        MakeProfile("Proj", RulesFile(kPrivateRules, kProfileRules));
        WriteProfileFile("Proj", "VOB List", list);
    }
    // The VOB's branch types, "name:locked:comment" each, admin ones marked.
    static std::string BranchTypes(const std::string& vob) {
        std::vector<client::CTypeRecord> types;
        EXPECT_EQ(client::ListTypes(vob, &types), TBS_ST_OK);
        std::string listed;
        for (const auto& type : types) {
            if (type.kind != ETypeKind::kBranch) continue;
            listed += type.name + (type.locked ? ":locked:" : "::") + type.comment +
                      (type.admin ? ":admin" : "") + ";";
        }
        return listed;
    }
    static size_t Count(const std::string& text, const std::string& part) {
        size_t n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    }

    std::string vobs_[3];
};

struct CComposeCase {
    const char* label;
    std::string script;
    std::string checkpoints;  // the file; empty: none
    bool admin;               // the profile names an admin VOB
    std::function<std::string(std::time_t)> expected;
    std::string shown;  // on standard error
};

class SetUpBranchTest : public BranchSiteTest,
                        public ::testing::WithParamInterface<CComposeCase> {};

TEST_P(SetUpBranchTest, MakesTheBranchTypeAndWritesTheBranchsConfigSpec) {
    const CComposeCase& c = GetParam();
    if (!c.checkpoints.empty()) WriteProfileFile("Proj", "Checkpoints", c.checkpoints);
    const std::string admin = "\\" + UniqueName("admin");
    if (c.admin) {
        ASSERT_EQ(client::CreateVob(admin, temp_ / "admin", {}), TBS_ST_OK);
        WriteProfileFile("Proj", "Admin VOB", admin + "\r\n");
    }
    const std::string tag = MakeView(kProfileForm);
    const std::time_t before = std::time(nullptr);
    CCommandOutput run = OnView(tag, {"SetUpBranch", "0"}, c.script);
    const std::time_t after = std::time(nullptr);
    EXPECT_EQ(run.out, "TRUE\n") << run.err;
    EXPECT_TRUE(Holds(run.err, c.shown));
    const std::string stored = StoredSpec(tag);
    bool composed = false;
    for (std::time_t t = before; t <= after && !composed; ++t) composed = stored == c.expected(t);
    EXPECT_TRUE(composed) << stored;
    for (const std::string& vob : vobs_) EXPECT_EQ(BranchTypes(vob), c.admin ? "" : "priv::;");
    if (c.admin) {
        EXPECT_EQ(BranchTypes(admin), "priv:::admin;");
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Kinds, SetUpBranchTest, ::testing::Values(
    CComposeCase{"Checkpoint", "name priv\nno\nnext\ncheckpoint CP2\nfinish\n", "CP1\r\nCP2, CP3\r\n", false,
        [](std::time_t) { return SelectorForm("CP2"); }, "(list: CP3 CP2 CP1)"},
    CComposeCase{"CurrentTimeInAdminVob", "name priv\nfinish\n", "", true,
        [](std::time_t t) { return TimeForm(LocalTime(t, "%d-%b-%Y.%H:%M:%S")); }, "(*) Yes"}),
    [](const auto& info) { return std::string(info.param.label); });
// clang-format on

TEST_F(BranchSiteTest, AViewOnAPrivateBranchIsNotSetUpAgain) {
    const std::string tag = MakeView(SelectorForm("REL1"));
    CCommandOutput run = OnView(tag, {"SetUpBranch", "0"});
    EXPECT_EQ(run.out, "FALSE\n");
    EXPECT_TRUE(Holds(run.err, "view is already\n| configured for working on a private branch."));
    EXPECT_EQ(StoredSpec(tag), SelectorForm("REL1"));
}

struct CTypeCase {
    const char* label;
    bool locked;      // the second and third VOBs have a locked type "priv"
    bool existing;    // they have an unlocked one
    bool fail_third;  // creating in the third VOB fails
    std::string script;
    std::vector<std::string> types;  // per VOB afterwards
    std::string shown;               // once on standard error
    // The profile's admin VOB has a locked type "priv": what it has afterwards.
    const char* admin_types = nullptr;
};

class BranchTypeTest : public BranchSiteTest, public ::testing::WithParamInterface<CTypeCase> {};

TEST_P(BranchTypeTest, AsksOnceAndLeavesOnlyWhatWasAgreed) {
    const CTypeCase& c = GetParam();
    for (int i = 1; i < 3 && (c.existing || c.locked); ++i) {
        ASSERT_EQ(client::CreateType(ETypeKind::kBranch, "priv", vobs_[i], "old", false),
                  TBS_ST_OK);
        if (c.locked) client::SetTypeLock(ETypeKind::kBranch, "priv", vobs_[i], true);
    }
    if (c.fail_third) client::SetVobFault(vobs_[2], TBS_ST_ERR, client::kVobFaultCreate);
    const std::string admin = "\\" + UniqueName("admin");
    if (c.admin_types) {
        ASSERT_EQ(client::CreateVob(admin, temp_ / "admin", {}), TBS_ST_OK);
        client::CreateType(ETypeKind::kBranch, "priv", admin, "old", true);
        client::SetTypeLock(ETypeKind::kBranch, "priv", admin, true);
        WriteProfileFile("Proj", "Admin VOB", admin);
    }
    const std::string tag = MakeView(kProfileForm);
    CCommandOutput run = OnView(tag, {"SetUpBranch", "0"}, c.script);
    EXPECT_EQ(run.out, "TRUE\n") << run.err;
    // TRUE for a cancelled wizard too, which is said.
    EXPECT_EQ(run.err.ends_with("viewprofile: cancelled\n"), c.script.ends_with("cancel\n"));
    std::string shown = c.shown;
    for (size_t at; (at = shown.find("VOB#")) != std::string::npos;)
        shown.replace(at, 5, vobs_[shown[at + 4] - '1']);
    EXPECT_EQ(Count(run.err, shown), 1u) << run.err;
    EXPECT_EQ(Count(run.err, "already exists"), c.existing || c.locked || c.admin_types ? 1u : 0u)
        << run.err;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(BranchTypes(vobs_[i]), c.types[i]) << i;
    if (c.admin_types) {
        EXPECT_EQ(BranchTypes(admin), c.admin_types);
    }
    EXPECT_EQ(StoredSpec(tag) == kProfileForm,
              c.fail_third || c.script.find("cancel") != std::string::npos);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, BranchTypeTest, ::testing::Values(
    CTypeCase{"ExistingRefused", false, true, false, "name priv\nfinish\ncancel\ncancel\n",
              {"", "priv::old;", "priv::old;"}, "| 'VOB#2'.  If this branch type"},
    CTypeCase{"LockedInSecondAndThird", true, false, false, "name priv\ncomment new\nfinish\nok\n",
              {"priv::new;", "priv::old;", "priv::old;"},
              "already exists and is currently locked"},
    // The admin VOB's type is unlocked too, though the VOB list does not name it.
    CTypeCase{"LockedInTheAdminVob", false, false, false, "name priv\nfinish\nok\n", {"", "", ""},
              "already exists and is currently locked", "priv::old:admin;"},
    CTypeCase{"CreationFailsInTheThird", false, false, true,
              "name priv\ncomment new\nfinish\n\ncancel\n", {"", "", ""},
              "| Error creating private branch type in VOB 'VOB#3'.\n|\n|\n+-- [OK] \n| Name: priv"}),
    [](const auto& info) { return std::string(info.param.label); });
// clang-format on

struct CFinishCase {
    const char* label;
    bool on_branch;
    bool vob_list;
    std::string input;
    std::string out;
    std::string stored;  // afterwards
    std::string shown;   // on standard error
    bool merges;
};

class FinishBranchTest : public BranchSiteTest,
                         public ::testing::WithParamInterface<CFinishCase> {};

TEST_P(FinishBranchTest, SetsTheViewBackOrLeavesItAsItWas) {
    const CFinishCase& c = GetParam();
    CRecordingTool merge_tool("stavemrgman");
    if (!c.vob_list) WriteProfileFile("Proj", "VOB List", "");
    const std::string tag = MakeView(c.on_branch ? SelectorForm("REL1") : kProfileForm);
    CCommandOutput run = OnView(tag, {"FinishBranch"}, c.input);
    EXPECT_EQ(run.out, c.out) << run.err;
    EXPECT_TRUE(Holds(run.err, c.shown));
    EXPECT_EQ(StoredSpec(tag), c.stored);
    // The merge tool is not waited for: give it a moment to record itself.
    std::vector<std::vector<std::string>> runs;
    for (int i = 0; i < 500 && c.merges && (runs = merge_tool.Runs()).empty(); ++i) usleep(10000);
    if (c.merges) {
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(runs[0], (std::vector<std::string>{"stavemrgman", "/t", tag, "/b", "priv", "/n",
                                                     vobs_[0], vobs_[1], vobs_[2]}));
    } else {
        EXPECT_TRUE(merge_tool.Runs().empty());
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Choices, FinishBranchTest, ::testing::Values(
    CFinishCase{"Suspend", true, true, "suspend\n", "TRUE\n", kProfileForm, "| 'priv' private branch.", false},
    CFinishCase{"Publish", true, true, "publish\n", "TRUE\n", kProfileForm, "", true},
    CFinishCase{"PublishWithoutVobList", true, false, "publish\n", "FALSE\n", SelectorForm("REL1"),
        "| Cannot determine which VOBs to search for merge candidates.", false},
    CFinishCase{"NotOnAPrivateBranch", false, true, "", "FALSE\n", kProfileForm,
        "is not currently\n| configured for working on a private branch.", false}),
    [](const auto& info) { return std::string(info.param.label); });
// clang-format on

}  // namespace
}  // namespace kelmora::test

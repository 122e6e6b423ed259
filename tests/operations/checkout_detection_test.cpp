#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "automation/view_profile.h"
#include "client/admin.h"
#include "client/checkout_admin.h"
#include "client/client_test_util.h"
#include "client/vob_admin.h"
#include "support/scripted_ui.h"
#include "support/test_env.h"
#include "ui/cos_dlg.h"

namespace kelmora::test {
namespace {

#define VERIFY_NO_CHECKOUTS \
    "You should verify that no checkouts are outstanding for this view\nbefore proceeding."
constexpr char kUnknownForAll[] =
    "Unable to determine if checkouts exist for all VOBs.\n" VERIFY_NO_CHECKOUTS;
// {vob} stands for the VOB's mount directory.
constexpr char kUnknownForVob[] =
    "Unable to determine if checkouts exist for  VOB {vob}.\n" VERIFY_NO_CHECKOUTS;

struct CVobSetup {
    bool replicated = false;
    // One checkout to the view per entry, mastered by the replica named
    // (empty: this site's).
    std::vector<std::string> masters = {};
    tbs_status_t fault = TBS_ST_OK;
    const char* fault_call = "open";
};

struct CDetectionCase {
    const char* name;
    std::vector<CVobSetup> vobs;
    BOOL found;
    const char* counted;  // what status counts: "VOB:checkouts " for each VOB with some
    // The boxes shown: a text, and the VOB whose mount directory fills {vob}.
    std::vector<std::pair<const char*, int>> shown = {};
    bool workspace = false;
};

// Makes the view's VOBs, checkouts and faults; returns the VOB tags.
std::vector<std::string> MakeSite(const CDetectionCase& c, const std::string& view,
                                  const CTempDir& dir) {
    std::vector<std::string> tags;
    for (const CVobSetup& vob : c.vobs) {
        const std::string tag = "/" + UniqueName("vob");
        client::CVobOptions options;
        options.replicated = vob.replicated;
        EXPECT_EQ(client::CreateVob(tag, dir / tag, options), TBS_ST_OK);
        EXPECT_EQ(client::AddVobToView(view, tag), TBS_ST_OK);
        for (size_t i = 0; i < vob.masters.size(); ++i)
            EXPECT_EQ(client::CheckOut(view, tag, "e" + std::to_string(i), vob.masters[i]),
                      TBS_ST_OK);
        if (vob.fault) {
            EXPECT_EQ(client::SetVobFault(tag, vob.fault, vob.fault_call), TBS_ST_OK);
        }
        tags.push_back(tag);
    }
    return tags;
}

std::string Filled(std::string text, const std::string& vob) {
    size_t at = text.find("{vob}");
    if (at != std::string::npos) text.replace(at, 5, vob);
    return text;
}

class CheckoutDetectionTest : public ::testing::TestWithParam<CDetectionCase> {};

TEST_P(CheckoutDetectionTest, FindsTheCheckoutsThatCountAndWarnsOfVobsItCannotSearch) {
    const CDetectionCase& c = GetParam();
    CTempDir dir;
    const std::string view = UniqueName("view");
    ASSERT_EQ(c.workspace ? client::CreateWorkspace(view, dir / "my ws") : client::CreateView(view),
              TBS_ST_OK);
    const std::vector<std::string> tags = MakeSite(c, view, dir);

    CScriptedUserInterface ui;
    CViewProfile profile;
    ASSERT_TRUE(c.workspace ? profile.SetWorkspacePath(dir / "my ws") : profile.SetViewTag(view));
    EXPECT_EQ(profile.DetectCheckouts(), c.found);
    ASSERT_EQ(ui.shown().size(), c.shown.size());
    for (size_t i = 0; i < c.shown.size(); ++i) {
        EXPECT_EQ(ui.shown()[i].text, Filled(c.shown[i].first, tags[c.shown[i].second]));
        EXPECT_EQ(ui.shown()[i].style, MB_OK);
    }
    std::vector<CVobCheckoutCount> counts;
    profile.CountCheckouts(&counts);
    std::string counted;
    for (const CVobCheckoutCount& vob : counts)
        counted += std::to_string(std::find(tags.begin(), tags.end(), vob.vob) - tags.begin()) +
                   ":" + std::to_string(vob.count) + " ";
    EXPECT_EQ(counted, c.counted);
    client::CloseClientDatabase();  // as at unload: no VOB handle keeps the database open
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        EXPECT_NE(std::filesystem::read_symlink(fd.path(), ec), client::ClientDatabasePath());
    }
}

// Masters of other sites; then one of this site after a batch of them.
const std::vector<std::string> kForeign(2, "far"), kForeignThenLocal = [] {
    std::vector<std::string> masters(60, "far");
    masters.push_back("");
    return masters;
}();

// clang-format off
INSTANTIATE_TEST_SUITE_P(Views, CheckoutDetectionTest, ::testing::Values(
    CDetectionCase{"NoVobs", {}, FALSE, "", {}},
    CDetectionCase{"VobsWithoutCheckouts", {{}, {true}}, FALSE, "", {}},
    CDetectionCase{"UnreplicatedVobCountsEveryCheckout", {{}, {false, {""}}}, TRUE, "1:1 ", {}},
    CDetectionCase{"WorkspaceView", {{false, {""}}}, TRUE, "0:1 ", {}, true},
    CDetectionCase{"ReplicatedVobIgnoresOtherSitesMasters", {{true, kForeign}}, FALSE, "", {}},
    CDetectionCase{"ReplicatedVobCountsALocalOneInALaterBatch", {{true, kForeignThenLocal}}, TRUE, "0:1 ", {}},
    CDetectionCase{"NotFoundVobIsSkippedSilently", {{false, {""}, TBS_ST_NOT_FOUND}, {}}, FALSE, "", {}},
    CDetectionCase{"FailedOpenWarnsAndTheOthersAreSearched", {{false, {""}, TBS_ST_ERR}, {}, {false, {""}}},
        TRUE, "2:1 ", {{kUnknownForAll, 0}}},
    CDetectionCase{"EachUnsearchableVobWarns", {{false, {""}, TBS_ST_ERR, "replica"},
        {false, {""}, TBS_ST_ERR, "checkouts"}, {true, {""}, TBS_ST_ERR, "master"}},
        FALSE, "", {{kUnknownForVob, 0}, {kUnknownForVob, 1}, {kUnknownForVob, 2}}},
    CDetectionCase{"StopsAtTheFirstThatCounts", {{false, {""}}, {false, {""}, TBS_ST_ERR}}, TRUE, "0:1 ", {}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(CheckoutDetectionViewTest, AViewThatCannotBeNamedIsReportedWithTheLibrarysText) {
    CScriptedUserInterface ui;
    CViewProfile profile;
    profile.SetViewTag(UniqueName("missing"));
    profile.SetErrorString("Cannot associate: ");  // the detection's messages go without it
    EXPECT_EQ(profile.DetectCheckouts(), FALSE);
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text, "Could not retrieve names of mounted VOBs:\nnot found");
    EXPECT_EQ(ui.shown()[0].style, MB_ICONSTOP);
}

// The checkouts dialog as a user who may end the checkout while it is open.
struct CGateUserInterface final : CUserInterface {
    int MessageBox(const std::string& text, unsigned) override {
        shown.push_back(text);
        return IDOK;
    }
    int RunCOsDlg(CCOsDlg& dialog) override {
        dialog.OnInitDialog();
        shown.push_back(dialog.title() + ": " + dialog.target() + ": " + dialog.message());
        EXPECT_EQ(end_checkout ? client::EndCheckOut(view, vob, "e0") : TBS_ST_OK, TBS_ST_OK);
        dialog.OnOK();
        return dialog.result();
    }
    std::string view = UniqueName("view"), vob;
    bool end_checkout = false;
    std::vector<std::string> shown;
};

// A view without checkouts passes without the dialog in every operation's test.
TEST(CheckoutGateTest, LooksAgainAfterTheDialogHoweverItClosed) {
    for (bool end_checkout : {true, false}) {
        CTempDir dir;
        CGateUserInterface ui;
        ui.end_checkout = end_checkout;
        ASSERT_EQ(client::CreateView(ui.view), TBS_ST_OK);
        ui.vob = MakeSite({"", {{false, {""}}}, TRUE, ""}, ui.view, dir)[0];
        CScopedUserInterface scope(&ui);
        CViewProfile profile;
        profile.SetViewTag(ui.view);
        EXPECT_EQ(profile.PassCheckoutGate(kCheckoutsAssociate), end_checkout);
        const std::string said = "Associate with View Profile: " + ui.view +
                                 ": There are elements currently checked out to the '" + ui.view +
                                 "' view.";
        EXPECT_EQ(ui.shown, std::vector<std::string>{said});
    }
}

}  // namespace
}  // namespace kelmora::test

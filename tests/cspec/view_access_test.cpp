#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "automation/view_profile.h"
#include "client/admin.h"
#include "client/client_messages.h"
#include "client/client_test_util.h"
#include "client/messages.h"
#include "client/views.h"
#include "cspec/profile_site.h"
#include "module/variant.h"
#include "platform/fs.h"
#include "platform/tool_log.h"
#include "resources/string_table.h"

namespace kelmora {
namespace {

constexpr char kSpec[] = "element * CHECKEDOUT\r\nelement * /main/LATEST\r\n";
constexpr char kOtherSpec[] = "element * CHECKEDOUT\r\nelement * /main/3\r\n";

using test::CScopedEnv;

// Each test gets its own temporary folder, so that nothing may be left in it.
class ViewAccessTest : public test::CProfileSiteTest {
protected:
    ViewAccessTest() : tmp_("TMPDIR", tmpdir_.path()) {}

    bool NoTempFiles() const { return std::filesystem::is_empty(tmpdir_.path()); }

    test::CTempDir tmpdir_;
    CScopedEnv tmp_;
};

// The first block alone is only the start, and no loaded text.
TEST_F(ViewAccessTest, LoadedTextHasCrLfLineEndsAndTheFetchedFileGoesWithTheObject) {
    std::string padded;
    while (padded.size() < 6000) padded += "# padding line\r\n";
    for (auto [stored, first_block, loaded] :
         {std::tuple<std::string, BOOL, std::string>{"# a\rb\nelement * CHECKEDOUT\n", FALSE,
                                                     "# ab\r\nelement * CHECKEDOUT\r\n"},
          {"element * CHECKEDOUT", FALSE, "element * CHECKEDOUT"},
          // The block ends inside a CR LF: its CR alone is dropped.
          {padded, TRUE, padded.substr(0, 4094)},
          {"#", TRUE, "#"}}) {
        {
            CViewProfile profile;
            profile.SetViewTag(MakeView(stored));
            EXPECT_EQ(profile.LoadConfigSpec(first_block), TRUE);
            EXPECT_EQ(first_block ? profile.config_spec() : profile.GetConfigSpec(), loaded);
            EXPECT_EQ(profile.config_spec_loaded(), !first_block);
            EXPECT_EQ(profile.config_spec_file().rfind(tmpdir_.path(), 0), 0u);
        }
        EXPECT_TRUE(NoTempFiles());
    }
}

TEST_F(ViewAccessTest, ConfigSpecIsFetchedOnceUntilTheObjectWritesIt) {
    std::string tag = MakeView(kSpec);
    CViewProfile profile;
    profile.SetViewTag(tag);
    ASSERT_EQ(profile.LoadConfigSpec(FALSE), TRUE);
    // Someone else changes the view: this object keeps what it read.
    ASSERT_EQ(client::SetConfigSpecText(tag, kOtherSpec), TBS_ST_OK);
    ASSERT_EQ(profile.LoadConfigSpec(FALSE), TRUE);
    EXPECT_EQ(profile.config_spec(), kSpec);
    // After its own write, the next load reads the view again.
    ASSERT_EQ(profile.WriteConfigSpecAndUpdateView(FALSE, kUpdateNoticeAnnounce), TRUE);
    EXPECT_EQ(profile.config_spec(), kSpec);  // a write keeps the text written
    ASSERT_EQ(client::SetConfigSpecText(tag, kOtherSpec), TBS_ST_OK);
    ASSERT_EQ(profile.LoadConfigSpec(FALSE), TRUE);
    EXPECT_EQ(profile.config_spec(), kOtherSpec);
}

// No view named is no error; a typo is told from an unreadable view in the library's words.
TEST_F(ViewAccessTest, UnknownViewIsReportedAndNoViewNamedLoadsNothingQuietly) {
    CViewProfile profile;
    EXPECT_EQ(profile.LoadConfigSpec(FALSE), FALSE);
    EXPECT_TRUE(ui_->shown().empty());
    profile.SetViewTag("missing");
    profile.SetErrorString("Cannot read.\n\n");
    EXPECT_EQ(profile.GetConfigSpec(), "");
    ASSERT_EQ(ui_->shown().size(), 1u);
    EXPECT_EQ(ui_->shown()[0].text,
              "Cannot read.\n\nError getting view handle.\n\nNo view \"missing\" exists (stavetool "
              "lsview lists the views).\n");
}

struct CWriteCase {
    const char* label;
    int view;  // 0: dynamic, 1: a workspace named by tag, 2: by path
    BOOL update;
    EViewUpdateNotice notice;
    bool tools;
    std::string text;
    BOOL written;
    std::vector<std::pair<std::string, unsigned>> said;
};

class WriteTest : public ViewAccessTest, public ::testing::WithParamInterface<CWriteCase> {};

TEST_P(WriteTest, WritesOrSaysWhyAndLeavesNothingBehind) {
    const CWriteCase& c = GetParam();
    CScopedEnv tool_log("KELMORA_TOOL_LOG", temp_ / "tool.log");
    CViewProfile profile;
    const std::string root = temp_ / "my work space";
    const std::string tag = c.view ? test::UniqueName("ws") : MakeView(kSpec);
    if (c.view) {
        ASSERT_EQ(client::CreateWorkspace(tag, root), TBS_ST_OK);
    }
    ASSERT_EQ(client::SetConfigSpecText(tag, kSpec), TBS_ST_OK);
    ASSERT_EQ(c.view == 2 ? profile.SetWorkspacePath(root) : profile.SetViewTag(tag), TRUE);
    const auto library_says = [] {
        CClientMessageCapture capture;
        imsg_print(IMSG_KIND_ERROR, "stale\n", -1);
    };
    library_says();  // what nobody reported goes with a fetch that went well
    ASSERT_EQ(profile.LoadConfigSpec(FALSE), TRUE);
    if (c.written) library_says();  // and with a write that went well
    std::optional<CScopedEnv> no_tools;
    if (!c.tools) no_tools.emplace("PATH", temp_ / "empty");
    profile.SetErrorString("P: ");
    profile.set_config_spec(c.text);
    EXPECT_EQ(profile.WriteConfigSpecAndUpdateView(c.update, c.notice), c.written);
    ASSERT_EQ(ui_->shown().size(), c.said.size()) << ::testing::PrintToString(Messages());
    for (size_t i = 0; i < c.said.size(); ++i) {
        EXPECT_TRUE(ui_->shown()[i].text.starts_with(c.said[i].first)) << ui_->shown()[i].text;
        EXPECT_EQ(ui_->shown()[i].style, c.said[i].second);
    }
    EXPECT_EQ(profile.config_spec_file(), "");  // the fetched file is discarded anyway
    EXPECT_EQ(StoredSpec(tag), c.written ? c.text : kSpec);
    EXPECT_EQ(ui_->wait_cursor_depth(), 0);
    EXPECT_TRUE(NoTempFiles());
    EXPECT_EQ(PendingClientErrors(), "");
    if (c.view == 2 && c.update && c.tools) {  // one run, the path as one argument
        std::string log = test::ReadTextFile(temp_ / "tool.log");
        ASSERT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
        std::vector<std::string> args = ParseToolLogLine(log.substr(0, log.size() - 1));
        ASSERT_EQ(args.size(), 6u) << log;
        EXPECT_EQ(args, (std::vector<std::string>{"staveviewupdate", "-ws", root, "-cspec", args[4],
                                                  "-quick"}));
        EXPECT_EQ(args[4].rfind(tmpdir_.path(), 0), 0u);
    } else if (c.view == 2 && c.written) {  // without the tool: the load preference
        ws_handle_t handle = nullptr;
        ASSERT_EQ(ws_get_handle(root.c_str(), 0, &handle), TBS_ST_OK);
        uint32_t flags = 0;
        EXPECT_EQ(ws_get_load_preferences(handle, &flags), TBS_ST_OK);
        ws_free_handle(&handle);
        EXPECT_EQ(flags & 0x10000u, 0x10000u);
    }
}

const std::string kCafe = "# caf\xC3\xA9\r\nelement * CHECKEDOUT\r\nelement * /main/2\r\n";
const std::string kNoRule = "element * CHECKEDOUT\r\nthis is no rule\r\n";
constexpr auto kSilent = kUpdateNoticeSilent, kAnnounce = kUpdateNoticeAnnounce;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, WriteTest, ::testing::Values(
    CWriteCase{"DynamicByteForByte", 0, TRUE, kAnnounce, true, kCafe, TRUE, {}},
    CWriteCase{"WorkspaceWithoutUpdate", 2, FALSE, kAnnounce, true, kOtherSpec, TRUE, {}},
    CWriteCase{"WorkspaceUpdateAnnounced", 2, TRUE, kAnnounce, true, kOtherSpec, TRUE,
        {{"The config spec for this view has been updated.\n\nThe contents", MB_ICONINFORMATION}}},
    CWriteCase{"TextRefused", 0, FALSE, kSilent, true, kNoRule, FALSE, {{"P: Error setting the config spec.\n\nSyntax error on line 2", MB_ICONSTOP}}},
    CWriteCase{"WorkspaceNamedByTag", 1, FALSE, kSilent, true, kNoRule, FALSE, {{"Cannot convert the path ''\ninto a workspace handle.", MB_OK},
        {"P: Error setting the config spec.\n\n", MB_ICONSTOP}}},
    CWriteCase{"UpdateToolCannotStart", 2, TRUE, kSilent, false, kNoRule, FALSE, {{"Exec of staveviewupdate failed with error 2\n", MB_ICONSTOP}}},
    CWriteCase{"UpdateToolRefusesTheText", 2, TRUE, kSilent, true, kNoRule, FALSE, {{"P: Error setting the config spec.\n\nstaveviewupdate "
        "ended with exit status 1: the view was not updated.\n", MB_ICONSTOP}}}),
    [](const auto& info) { return std::string(info.param.label); });
// clang-format on

// So that no caller takes the view's config spec for an empty one.
TEST_F(ViewAccessTest, NoTemporaryFileIsReportedWithTheFolderAndTheError) {
    std::string tag = MakeView(test::InfoBlock(test::kProj, test::kGuid + " 2.5"));
    CScopedEnv gone("TMPDIR", tmpdir_ / "gone");
    CViewProfile profile;
    profile.SetViewTag(tag);
    CVariant result;
    DISPPARAMS none{nullptr, 0};
    EXPECT_EQ(profile.Invoke(2, &none, result.get()), S_FALSE);  // GetConfigSpec
    profile.set_config_spec(kSpec);                              // nor is anything written
    EXPECT_EQ(profile.WriteConfigSpecAndUpdateView(FALSE, kUpdateNoticeSilent), FALSE);
    EXPECT_EQ(profile.IsAssociated(), FALSE);
    const std::string said = "Error 2 while trying to create temp file '" + tmpdir_ / "gone" + "'";
    EXPECT_EQ(Messages(),
              (std::vector<std::string>{said, said, LoadString(IDS_IS_ASSOCIATED_PREFIX) + said}));
}

}  // namespace
}  // namespace kelmora

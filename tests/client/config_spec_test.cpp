#include <gtest/gtest.h>

#include <string>

#include "client/admin.h"
#include "client/cfs.h"
#include "client/client_test_util.h"
#include "client/views.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

constexpr char kGoodText[] = "element * CHECKEDOUT\r\nelement * /main/LATEST\r\n";
// "end mkbranch" on line 3 closes nothing.
constexpr char kBadText[] = "element * CHECKEDOUT\nelement * /main/LATEST\nend mkbranch\n";
constexpr char kDiagnosticStart[] = "Syntax error on line 3, near column 1,";

class CViewHandle {
public:
    ~CViewHandle() { view_free_handle(handle_); }
    view_handle_t* out() { return &handle_; }
    view_handle_t get() const { return handle_; }

private:
    view_handle_t handle_ = nullptr;
};

// A view's config spec as the view library writes it into a file.
std::string FetchConfigSpec(const std::string& tag, const CTempDir& dir) {
    CViewHandle handle;
    EXPECT_EQ(cmd_utl_view_tag_to_handle(tag.c_str(), 0, 0, 0, 0, handle.out()), TBS_ST_OK);
    const std::string path = dir / "fetched";
    EXPECT_EQ(view_get_config_spec(handle.get(), path.c_str(), 0), TBS_ST_OK);
    return ReadTextFile(path);
}

tbs_status_t SetWithCmdSetcs(const std::string& tag, const std::string& path) {
    cmd_setcs_args_t args{};
    args.view_tag = tag.c_str();
    args.cspec_path = path.c_str();
    return cmd_setcs(&args);
}

class ConfigSpecRoundTripTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ConfigSpecRoundTripTest, DynamicViewGivesBackEveryByte) {
    CTempDir dir;
    const std::string tag = UniqueName("dyn");
    ASSERT_EQ(client::CreateView(tag), TBS_ST_OK);
    WriteTextFile(dir / "cs", GetParam());
    ASSERT_EQ(SetWithCmdSetcs(tag, dir / "cs"), TBS_ST_OK);
    EXPECT_EQ(FetchConfigSpec(tag, dir), GetParam());
    std::string stored;
    ASSERT_EQ(client::GetConfigSpecText(tag, &stored), TBS_ST_OK);
    EXPECT_EQ(stored, GetParam());
}

TEST_P(ConfigSpecRoundTripTest, WorkspaceGivesBackEveryByte) {
    CTempDir dir;
    const std::string tag = UniqueName("ws");
    ASSERT_EQ(client::CreateWorkspace(tag, dir / "root"), TBS_ST_OK);
    ws_handle_t ws = nullptr;
    ASSERT_EQ(ws_get_handle((dir / "root").c_str(), 0, &ws), TBS_ST_OK);
    WriteTextFile(dir / "cs", GetParam());
    tbs_status_t status = ws_set_spec(ws, (dir / "cs").c_str());
    ws_free_handle(&ws);
    ASSERT_EQ(status, TBS_ST_OK);
    EXPECT_EQ(FetchConfigSpec(tag, dir), GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ConfigSpecRoundTripTest,
    ::testing::Values(std::string(kGoodText), std::string("element * CHECKEDOUT\n"),
                      std::string("element * CHECKEDOUT"),  // no final line end
                      std::string("# caf\xC3\xA9 \xFF\xFE\x80\r\nelement * CHECKEDOUT\r\n"),
                      std::string("# mixed\r\nelement * CHECKEDOUT\n\r\n"), std::string()));

TEST(ConfigSpecTest, FetchReplacesWhatTheFileHeld) {
    CTempDir dir;
    const std::string tag = UniqueName("trunc");
    ASSERT_EQ(client::CreateView(tag), TBS_ST_OK);
    ASSERT_EQ(client::SetConfigSpecText(tag, kGoodText), TBS_ST_OK);
    WriteTextFile(dir / "fetched", std::string(10000, 'x'));
    EXPECT_EQ(FetchConfigSpec(tag, dir), kGoodText);
}

TEST(ConfigSpecTest, NewViewHasAnEmptyConfigSpec) {
    CTempDir dir;
    const std::string tag = UniqueName("empty");
    ASSERT_EQ(client::CreateView(tag), TBS_ST_OK);
    EXPECT_EQ(FetchConfigSpec(tag, dir), "");
}

// The three ways in for a config spec refuse text that does not parse.
enum class Entry { CmdSetcs, WsSetSpec, SetConfigSpecText };

class ConfigSpecRefusalTest : public ::testing::TestWithParam<Entry> {};

TEST_P(ConfigSpecRefusalTest, UnparsableTextLeavesTheStoredTextAndPrintsTheDiagnostic) {
    CTempDir dir;
    const std::string tag = UniqueName("refuse");
    ASSERT_EQ(client::CreateWorkspace(tag, dir / "root"), TBS_ST_OK);
    ASSERT_EQ(client::SetConfigSpecText(tag, kGoodText), TBS_ST_OK);
    WriteTextFile(dir / "bad", kBadText);

    CCapturedOutput output;
    tbs_status_t status = TBS_ST_OK;
    switch (GetParam()) {
        case Entry::CmdSetcs:
            status = SetWithCmdSetcs(tag, dir / "bad");
            break;
        case Entry::WsSetSpec: {
            ws_handle_t ws = nullptr;
            ASSERT_EQ(ws_get_handle((dir / "root").c_str(), 0, &ws), TBS_ST_OK);
            status = ws_set_spec(ws, (dir / "bad").c_str());
            ws_free_handle(&ws);
            break;
        }
        case Entry::SetConfigSpecText:
            status = client::SetConfigSpecText(tag, kBadText);
            break;
    }
    EXPECT_EQ(status, TBS_ST_CFS_SYNTAX);
    EXPECT_EQ(output.error().rfind(kDiagnosticStart, 0), 0u) << output.error();
    EXPECT_EQ(output.error().back(), '\n');
    EXPECT_EQ(output.info(), "");
    EXPECT_EQ(FetchConfigSpec(tag, dir), kGoodText);
}

INSTANTIATE_TEST_SUITE_P(Entries, ConfigSpecRefusalTest,
                         ::testing::Values(Entry::CmdSetcs, Entry::WsSetSpec,
                                           Entry::SetConfigSpecText));

TEST(ConfigSpecTest, SettingFailsForAMissingViewOrFile) {
    CTempDir dir;
    WriteTextFile(dir / "cs", kGoodText);
    EXPECT_EQ(SetWithCmdSetcs(UniqueName("none"), dir / "cs"), TBS_ST_NOT_FOUND);

    const std::string tag = UniqueName("nofile");
    ASSERT_EQ(client::CreateView(tag), TBS_ST_OK);
    CCapturedOutput output;
    EXPECT_EQ(SetWithCmdSetcs(tag, dir / "missing"), TBS_ST_IO);
    EXPECT_NE(output.error().find(dir / "missing"), std::string::npos) << output.error();
}

TEST(CfsParseTest, AcceptedFileGivesItsRules) {
    CTempDir dir;
    WriteTextFile(dir / "cs", kGoodText);
    cfs_parse_result_t* result = nullptr;
    EXPECT_EQ(cfs_parse((dir / "cs").c_str(), &TBS_UUID_NULL, &result), TBS_ST_OK);
    ASSERT_NE(result, nullptr);
    EXPECT_TRUE(cfs_result_ok(result));
    EXPECT_EQ(cfs_result_rule_count(result), 2u);
    EXPECT_STREQ(cfs_result_diagnostic(result), "");
    EXPECT_EQ(cfs_result_error_line(result), 0);
    cfs_free(result);
}

TEST(CfsParseTest, RefusedFileGivesThePlaceAndPrintsTheDiagnostic) {
    CTempDir dir;
    WriteTextFile(dir / "cs", kBadText);
    CCapturedOutput output;
    cfs_parse_result_t* result = nullptr;
    EXPECT_EQ(cfs_parse((dir / "cs").c_str(), nullptr, &result), TBS_ST_CFS_SYNTAX);
    ASSERT_NE(result, nullptr);
    EXPECT_FALSE(cfs_result_ok(result));
    EXPECT_EQ(cfs_result_error_line(result), 3);
    EXPECT_EQ(cfs_result_error_column(result), 1);
    const std::string diagnostic = cfs_result_diagnostic(result);
    EXPECT_EQ(diagnostic.rfind(kDiagnosticStart, 0), 0u) << diagnostic;
    EXPECT_EQ(output.error(), diagnostic + "\n");
    cfs_free(result);
}

TEST(CfsParseTest, UnreadableFileIsAnInputError) {
    CTempDir dir;
    CCapturedOutput output;
    cfs_parse_result_t* result = nullptr;
    EXPECT_EQ(cfs_parse((dir / "missing").c_str(), nullptr, &result), TBS_ST_IO);
    ASSERT_NE(result, nullptr);
    EXPECT_FALSE(cfs_result_ok(result));
    EXPECT_NE(output.error().find("missing"), std::string::npos);
    cfs_free(result);
}

}  // namespace
}  // namespace kelmora::test

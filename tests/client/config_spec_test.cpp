#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
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

// Writes a view's config spec into path, as the view library does.
tbs_status_t FetchInto(const std::string& tag, const std::string& path) {
    CViewHandle handle;
    const tbs_status_t status = cmd_utl_view_tag_to_handle(tag.c_str(), 0, 0, 0, 0, handle.out());
    return status ? status : view_get_config_spec(handle.get(), path.c_str(), 0);
}

TEST(ConfigSpecFetchTest, GoesToAPipeAndToTheNullDevice) {
    const std::string tag = UniqueName("dyn");
    ASSERT_EQ(client::CreateView(tag), TBS_ST_OK);
    ASSERT_EQ(client::SetConfigSpecText(tag, kGoodText), TBS_ST_OK);
    EXPECT_EQ(FetchInto(tag, "/dev/null"), TBS_ST_OK);
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    EXPECT_EQ(FetchInto(tag, "/proc/self/fd/" + std::to_string(ends[1])), TBS_ST_OK);
    close(ends[1]);
    std::string back(sizeof kGoodText, '\0');
    back.resize(static_cast<size_t>(std::max<ssize_t>(0, read(ends[0], back.data(), back.size()))));
    close(ends[0]);
    EXPECT_EQ(back, kGoodText);
}

tbs_status_t SetWithCmdSetcs(const std::string& tag, const std::string& path) {
    cmd_setcs_args_t args{};
    args.view_tag = tag.c_str();
    args.cspec_path = path.c_str();
    return cmd_setcs(&args);
}

tbs_status_t SetWithWsSetSpec(const std::string& root, const std::string& path) {
    CWsHandle ws;
    const tbs_status_t status = ws_get_handle(root.c_str(), 0, ws.out());
    return status == TBS_ST_OK ? ws_set_spec(ws.get(), path.c_str()) : status;
}

// By each of the three ways in; the fetch goes over a file that held something else.
TEST(ConfigSpecRefusalTest, UnparsableTextLeavesTheStoredTextAndPrintsTheDiagnostic) {
    CTempDir dir;
    WriteTextFile(dir / "bad", kBadText);
    const std::function<tbs_status_t(const std::string&)> kEntries[] = {
        [&](const std::string& tag) { return SetWithCmdSetcs(tag, dir / "bad"); },
        [&](const std::string& tag) { return SetWithWsSetSpec(dir / tag, dir / "bad"); },
        [&](const std::string& tag) { return client::SetConfigSpecText(tag, kBadText); }};
    for (size_t entry = 0; entry < std::size(kEntries); ++entry) {
        SCOPED_TRACE(entry);
        const std::string tag = UniqueName("refuse");
        ASSERT_EQ(client::CreateWorkspace(tag, dir / tag), TBS_ST_OK);
        ASSERT_EQ(client::SetConfigSpecText(tag, kGoodText), TBS_ST_OK);
        CCapturedOutput output;
        EXPECT_EQ(kEntries[entry](tag), TBS_ST_CFS_SYNTAX);
        EXPECT_EQ(output.error().rfind(kDiagnosticStart, 0), 0u) << output.error();
        EXPECT_EQ(output.error().back(), '\n');
        EXPECT_EQ(output.info(), "");
        WriteTextFile(dir / "fetched", std::string(10000, 'x'));
        ASSERT_EQ(FetchInto(tag, dir / "fetched"), TBS_ST_OK);
        EXPECT_EQ(ReadTextFile(dir / "fetched"), kGoodText);
    }
}

TEST(ConfigSpecTest, SettingFailsForAMissingViewOrFileOrAnEndlessOne) {
    CTempDir dir;
    WriteTextFile(dir / "cs", kGoodText);
    EXPECT_EQ(SetWithCmdSetcs(UniqueName("none"), dir / "cs"), TBS_ST_NOT_FOUND);

    const std::string tag = UniqueName("nofile");
    ASSERT_EQ(client::CreateView(tag), TBS_ST_OK);
    CCapturedOutput output;
    EXPECT_EQ(SetWithCmdSetcs(tag, dir / "missing"), TBS_ST_IO);
    EXPECT_NE(output.error().find(dir / "missing"), std::string::npos) << output.error();
    EXPECT_EQ(SetWithCmdSetcs(tag, "/dev/zero"), TBS_ST_INVALID);
    EXPECT_NE(output.error().find("\"/dev/zero\" is larger than 64 MiB"), std::string::npos);
}

// Whatever the outcome there is a result; what was refused is printed.
TEST(CfsParseTest, GivesTheVerdictOrThePlaceAndPrintsTheDiagnostic) {
    CTempDir dir;
    WriteTextFile(dir / "good", kGoodText);
    WriteTextFile(dir / "bad", kBadText);
    const struct {
        const char* file;
        tbs_status_t status;
        int line, column;
    } kCases[] = {
        {"good", TBS_ST_OK, 0, 0}, {"bad", TBS_ST_CFS_SYNTAX, 3, 1}, {"none", TBS_ST_IO, 0, 0}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.file);
        CCapturedOutput output;
        cfs_parse_result_t* parsed = nullptr;
        EXPECT_EQ(cfs_parse((dir / c.file).c_str(), &TBS_UUID_NULL, &parsed), c.status);
        ASSERT_NE(parsed, nullptr);
        const std::unique_ptr<cfs_parse_result_t, decltype(&cfs_free)> result(parsed, &cfs_free);
        EXPECT_EQ(cfs_result_ok(parsed) != 0, c.status == TBS_ST_OK);
        EXPECT_EQ(std::pair(cfs_result_error_line(parsed), cfs_result_error_column(parsed)),
                  std::pair(c.line, c.column));
        const std::string diagnostic = cfs_result_diagnostic(parsed);
        EXPECT_EQ(diagnostic.starts_with(kDiagnosticStart), c.line == 3) << diagnostic;
        if (c.status == TBS_ST_IO) {  // the unreadable file is named
            EXPECT_NE(output.error().find(dir / c.file), std::string::npos) << output.error();
        } else {
            EXPECT_EQ(output.error(), diagnostic.empty() ? "" : diagnostic + "\n");
        }
    }
}

}  // namespace
}  // namespace kelmora::test

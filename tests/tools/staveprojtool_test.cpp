#include <gtest/gtest.h>

#include <filesystem>

#include "client/registry.h"
#include "platform/tool_log.h"
#include "support/test_env.h"
#include "ui/assoc_dlg.h"

namespace kelmora {
namespace {

using Args = std::vector<std::string>;

std::string SelectionKey() {
    return std::string(ntregy_get_common_key()) + CAssocDlg::kSelectionKeySuffix;
}

// What the browser leaves for the associate dialog: "Folder" and "Item".
std::string Selection() {
    const std::string key = SelectionKey();
    std::string folder, item;
    client::ReadRegistryValue(NTREGY_HKEY_CURRENT_USER, key, "Folder", &folder);
    client::ReadRegistryValue(NTREGY_HKEY_CURRENT_USER, key, "Item", &item);
    return folder + "|" + item;
}

struct CBrowserCase {
    const char* name;
    Args args;
    const char* input;
    int exit_code;
    const char* selection;  // after the run; "|" when nothing was kept
};

class StaveprojtoolTest : public ::testing::TestWithParam<CBrowserCase> {
protected:
    void SetUp() override {
        for (const char* profile : {"Top/Team/Alpha", "Top/Beta"}) {
            std::filesystem::create_directories(root_ / profile);
            test::WriteTextFile(root_ / (std::string(profile) + "/GUID"), "g 1.0");
        }
        const std::string key = SelectionKey();
        ntregy_delete_value(NTREGY_HKEY_CURRENT_USER, key.c_str(), "Folder");
        ntregy_delete_value(NTREGY_HKEY_CURRENT_USER, key.c_str(), "Item");
    }
    test::CTempDir root_, scratch_;
};

TEST_P(StaveprojtoolTest, KeepsThePickedProfileForTheUser) {
    const CBrowserCase& c = GetParam();
    test::CScopedEnv log("KELMORA_TOOL_LOG", scratch_ / "tool.log");
    Args argv = {test::BuiltProgram("staveprojtool"), "--root", root_.path()};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    test::CCommandOutput run = test::RunCommand(argv, c.input);
    EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
    EXPECT_EQ(Selection(), c.selection);
    EXPECT_EQ(ParseToolLogLine(test::ReadTextFile(scratch_ / "tool.log")), argv);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, StaveprojtoolTest,
    ::testing::Values(
        CBrowserCase{"SelectPicksWithoutAsking",
                     {"--select", "\\Top\\Team\\Alpha"},
                     "",
                     0,
                     "\\Top\\Team|Alpha"},
        CBrowserCase{"BrowseReadsTheChoice", {"/b"}, "\\Top\\Beta\n", 0, "\\Top|Beta"},
        CBrowserCase{"BrowseAsksAgainUntilTheInputEnds", {"/b"}, "9\n\\Top\\Team\n", 1, "|"},
        CBrowserCase{"EmptyLineCancels", {"/b"}, "\n\\Top\\Beta\n", 1, "|"},
        CBrowserCase{"SelectOfAFolder", {"--select", "\\Top\\Team"}, "", 1, "|"},
        CBrowserCase{"NoBrowserMode", {}, "", 2, "|"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StaveprojtoolHelp, PrintsUsage) {
    test::CCommandOutput run = test::RunCommand({test::BuiltProgram("staveprojtool"), "--help"});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_TRUE(run.out.starts_with("usage: staveprojtool /b [--root DIR] [--select PROFILE]\n"));
}

}  // namespace
}  // namespace kelmora

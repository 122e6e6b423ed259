// The sibling programs' stand-ins run as real programs; how every program answers misuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "client/client_test_util.h"
#include "client/registry.h"
#include "platform/tool_log.h"
#include "tools/tool_fixture.h"
#include "ui/assoc_dlg.h"

namespace kelmora::test {
namespace {

using Args = std::vector<std::string>;

// What the browser leaves for the associate dialog: "Folder" and "Item".
std::string Selection() {
    const std::string key = std::string(ntregy_get_common_key()) + CAssocDlg::kSelectionKeySuffix;
    std::string folder, item;
    client::ReadRegistryValue(NTREGY_HKEY_CURRENT_USER, key, "Folder", &folder);
    client::ReadRegistryValue(NTREGY_HKEY_CURRENT_USER, key, "Item", &item);
    return folder + "|" + item;
}

struct CSiblingCase {
    const char* label;
    std::string program;
    Args args;
    std::string input;
    std::string said;                 // Printed(); with a leading '~', a part of it
    const char* selection = nullptr;  // the browser's pick after
};

// A workspace (%ws) at a path with blanks (%root), a view (%view), checkouts
// in both in %vob; a profile tree (%tree) with \Top\Team\Alpha.
class SiblingProgramTest : public ::testing::TestWithParam<CSiblingCase> {
protected:
    void SetUp() override {
        for (const Args& args : std::vector<Args>{{"mkws", ws_, root_},
                                                  {"mkview", view_},
                                                  {"mkvob", vob_, dir_ / "stg"},
                                                  {"co", ws_, vob_, "lib/a.c"},
                                                  {"co", ws_, vob_, "doc/b.txt"},
                                                  {"co", view_, vob_, "c.c"}})
            ASSERT_EQ(RunProgram("stavetool", args).exit_code, 0) << args[0];
        std::filesystem::create_directories(dir_ / "tree/Top/Team/Alpha");
        WriteTextFile(dir_ / "tree/Top/Team/Alpha/GUID", "g 1.0");
    }
    std::string Named(const std::string& text) const {
        return test::Named(text, {{"%root", root_},
                                  {"%ws", ws_},
                                  {"%view", view_},
                                  {"%vob", vob_},
                                  {"%tree", dir_ / "tree"}});
    }
    CTempDir dir_;
    const std::string root_ = dir_ / "my work space", ws_ = UniqueName("ws"),
                      view_ = UniqueName("view"), vob_ = "/vobs/" + UniqueName("src");
};

TEST_P(SiblingProgramTest, DoesTheLeastItsCallerNeedsAndRecordsHowItWasStarted) {
    const CSiblingCase& c = GetParam();
    CScopedEnv log("KELMORA_TOOL_LOG", dir_ / "tool.log");
    Args argv{BuiltProgram(c.program)};
    for (const std::string& arg : c.args) argv.push_back(Named(arg));
    const std::string said = Printed(RunCommand(argv, c.input)), expected = Named(c.said);
    if (expected.starts_with("~")) {
        EXPECT_TRUE(Holds(said, expected.substr(1)));
    } else {
        EXPECT_EQ(said, expected);
    }
    const std::string recorded = ReadTextFile(dir_ / "tool.log");
    EXPECT_EQ(std::count(recorded.begin(), recorded.end(), '\n'), 1) << recorded;
    EXPECT_EQ(ParseToolLogLine(recorded.substr(0, recorded.find('\n'))), argv);
    if (c.selection) {
        EXPECT_EQ(Selection(), c.selection);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Runs, SiblingProgramTest, ::testing::Values(
    CSiblingCase{"FindcoInAWorkspace", "stavefindco", {"-recurse", "%root"}, "",
        "%vob\tlib/a.c\toriginal\n%vob\tdoc/b.txt\toriginal\n2 checkouts in view \"%ws\".\n"},
    CSiblingCase{"FindcoByNetworkPath", "stavefindco", {"-avobs", "\\\\view\\%view"}, "",
        "%vob\tc.c\toriginal\n1 checkout in view \"%view\".\n"},
    CSiblingCase{"BrowserSelectPicksWithoutAsking", "staveprojtool",
        {"--root", "%tree", "--select", "\\Top\\Team\\Alpha"}, "", "~", "\\Top\\Team|Alpha"},
    CSiblingCase{"MergeInAView", "stavemrgman", {"/t", "jdoe", "/b", "priv", "/n", "\\a", "\\b"},
        "", "stavemrgman: would merge the private branch \"priv\" in the view \"jdoe\" from:\n"
        "  \\a\n  \\b\n"}),
    [](const auto& info) { return std::string(info.param.label); });
// clang-format on

// Misuse exits with 2 naming the program or its usage first; --help fails on a full disk.
struct CUsageCase {
    std::string program;
    Args args;
    int exit_code;
    std::string shown;  // a part of what it says
};

std::vector<CUsageCase> UsageCases() {
    std::vector<CUsageCase> cases;
    auto add = [&](const std::string& program, int exit_code, const std::string& shown,
                   const std::vector<Args>& runs) {
        for (const Args& args : runs) cases.push_back({program, args, exit_code, shown});
    };
    // clang-format off
    add("stavetool", 2, "stavetool: ", {{}, {"frobnicate"}, {"mkview", "a", "b"}, {"mkview", "--force", "a"},
        {"setting", "set", "--param", "10", "-1"}, {"vobfault", "/v", "12x"}, {"lock", "priv"}});
    add("stavetool", 2, "unknown command 'mkviw' (did you mean 'mkview'?)", {{"mkviw"}});
    add("viewprofile", 2, "no method given", {{"--view", "v"}});
    add("viewprofile", 2, "unknown option '--colour'", {{"--colour", "GetConfigSpec"}});
    add("viewprofile", 2, "option '--view' needs a value", {{"--view"}});
    add("viewprofile", 2, "options go before the method: '--view'", {{"status", "--view", "v"}});
    add("viewprofile", 2, "(did you mean 'GetConfigSpec'?)", {{"--view", "v", "GetConfigSpc"}});
    add("viewprofile", 2, "give --view TAG or --workspace PATH", {{"GetConfigSpec"}, {"status"}});
    add("vptree", 2, "Try 'vptree --help'", {{}, {"frobnicate"}, {"--bogus", "ls"}});
    add("vptree", 2, "unknown command 'mkfoldr' (did you mean 'mkfolder'?)", {{"mkfoldr"}});
    add("vptree", 2, "(see vptree --help)", {{"--root", "%tree", "mv", "\\Top"},
        {"--root", "%tree", "set", "\\Top", "Colour", "--text", "x"}});
    for (const char* program : {"viewprofile", "vptree", "stavetool", "stavefindco", "staveprojtool",
                                "stavemrgman", "staveviewupdate"}) {
        add(program, 0, std::string(program) + " 0.", {{"--version"}});
        add(program, 0, "sage: ", {{"-h"}});
    }
    add("stavefindco", 2, "usage: stavefindco", {{}, {"-recurse", "my", "ws"}, {"-avobs", "\\\\view\\"}});
    add("stavefindco", 1, "", {{"-recurse", "/nowhere/near"}, {"-avobs", "\\\\view\\no_such_view"}});
    add("stavefindco", 0, "-avobs", {{"--help"}});
    add("staveprojtool", 2, "staveprojtool: ", {{}});
    add("staveprojtool", 0, "usage: staveprojtool /b [--root DIR] [--select PROFILE] [--keep-in FILE] [--no-input]\n", {{"--help"}});
    add("stavemrgman", 2, "stavemrgman: ", {{"/t", "v", "/b", "p", "/n"}, {"-x"}});
    add("staveviewupdate", 2, "(did you mean '-quick'?)", {{"-ws", "/w", "-cspec", "f", "-quik"}});
    // clang-format on
    return cases;
}

class ProgramUsageTest : public ::testing::TestWithParam<CUsageCase> {};

TEST_P(ProgramUsageTest, SaysWhatIsWrongOrHowToUseIt) {
    const CUsageCase& c = GetParam();
    CTempDir tree;  // %tree: an empty profile tree
    Args args = c.args;
    for (std::string& arg : args)
        if (arg == "%tree") arg = tree.path();
    CCommandOutput run = RunProgram(c.program, args);
    EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
    const std::string& said = c.exit_code == 0 ? run.out : run.err;
    EXPECT_EQ(c.exit_code == 0 ? run.err : run.out, "");
    EXPECT_NE(said, "");
    EXPECT_TRUE(Holds(said, c.shown));
    if (c.exit_code == 2) {
        EXPECT_TRUE(said.starts_with(c.program + ": ") || said.starts_with("usage: ")) << said;
    }
    if (c.exit_code == 0) {  // what it could not write is a failure, said on standard error
        // bash only opens the full disk as standard output: the words go as they are.
        run = RunCommand(
            {"bash", "-c", "exec \"$0\" \"$1\" >/dev/full", BuiltProgram(c.program), c.args[0]});
        EXPECT_EQ(run.exit_code, 1) << c.program;
        EXPECT_TRUE(Holds(run.err, c.program + ": cannot write standard output: "));
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramUsageTest, ::testing::ValuesIn(UsageCases()),
                         [](const auto& info) {
                             std::string text = info.param.program;
                             for (const std::string& arg : info.param.args) text += " " + arg;
                             return CaseName(info.index, text);
                         });

}  // namespace
}  // namespace kelmora::test

// The stand-ins for the sibling programs (the checkout finder, the profile
// browser, the merge tool and the workspace update tool) run as real
// programs, each recording how it was started; and how every program answers
// misuse and --help.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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

// A workspace at a path with blanks, a dynamic view, and checkouts in both.
class StavefindcoTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = dir_ / "my work space";
        for (const std::vector<std::string>& args :
             std::vector<std::vector<std::string>>{{"mkws", ws_, root_},
                                                   {"mkview", view_},
                                                   {"mkvob", vob_, dir_ / "stg"},
                                                   {"co", ws_, vob_, "lib/a.c"},
                                                   {"co", ws_, vob_, "doc/b.txt"},
                                                   {"co", view_, vob_, "c.c"}}) {
            CCommandOutput run = RunProgram("stavetool", args);
            ASSERT_EQ(run.exit_code, 0) << args[0] << ": " << run.err;
        }
    }

    CTempDir dir_;
    std::string root_;
    const std::string ws_ = UniqueName("ws"), view_ = UniqueName("view"),
                      vob_ = "/vobs/" + UniqueName("src");
};

TEST_F(StavefindcoTest, ListsAWorkspaceBelowAPathAndAViewByItsNetworkPath) {
    const std::string vob_dir = root_ + vob_;
    struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"-recurse", root_},
         vob_ + "\tlib/a.c\toriginal\n" + vob_ + "\tdoc/b.txt\toriginal\n2 checkouts in view \"" +
             ws_ + "\".\n"},
        {{"-recurse", vob_dir + "/lib"},
         vob_ + "\tlib/a.c\toriginal\n1 checkout in view \"" + ws_ + "\".\n"},
        {{"-recurse", vob_dir + "/none"}, "0 checkouts in view \"" + ws_ + "\".\n"},
        {{"-avobs", "\\\\view\\" + view_},
         vob_ + "\tc.c\toriginal\n1 checkout in view \"" + view_ + "\".\n"},
    };
    const std::string log = dir_ / "tool.log";
    {
        CScopedEnv tool_log("KELMORA_TOOL_LOG", log);
        for (const auto& c : cases) EXPECT_EQ(Printed(RunProgram("stavefindco", c.args)), c.out);
    }
    // The workspace path arrived as one argument, blanks and all.
    const std::string recorded = ReadTextFile(log);
    EXPECT_EQ(ParseToolLogLine(recorded.substr(0, recorded.find('\n'))),
              (std::vector<std::string>{BuiltProgram("stavefindco"), "-recurse", root_}));
}

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
            WriteTextFile(root_ / (std::string(profile) + "/GUID"), "g 1.0");
        }
        const std::string key = SelectionKey();
        ntregy_delete_value(NTREGY_HKEY_CURRENT_USER, key.c_str(), "Folder");
        ntregy_delete_value(NTREGY_HKEY_CURRENT_USER, key.c_str(), "Item");
    }
    CTempDir root_, scratch_;
};

TEST_P(StaveprojtoolTest, KeepsThePickedProfileForTheUser) {
    const CBrowserCase& c = GetParam();
    CScopedEnv log("KELMORA_TOOL_LOG", scratch_ / "tool.log");
    Args argv = {BuiltProgram("staveprojtool"), "--root", root_.path()};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    CCommandOutput run = RunCommand(argv, c.input);
    EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
    EXPECT_EQ(Selection(), c.selection);
    EXPECT_EQ(ParseToolLogLine(ReadTextFile(scratch_ / "tool.log")), argv);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, StaveprojtoolTest,
    ::testing::Values(
        CBrowserCase{
            "SelectPicksWithoutAsking", {"--select", "\\Top\\Team\\Alpha"}, "", 0, "\\Top\\Team|Alpha"},
        CBrowserCase{"BrowseReadsTheChoice", {"/b"}, "\\Top\\Beta\n", 0, "\\Top|Beta"},
        CBrowserCase{"BrowseAsksAgainUntilTheInputEnds", {"/b"}, "9\n\\Top\\Team\n", 1, "|"},
        CBrowserCase{"EmptyLineCancels", {"/b"}, "\n\\Top\\Beta\n", 1, "|"},
        CBrowserCase{"SelectOfAFolder", {"--select", "\\Top\\Team"}, "", 1, "|"},
        CBrowserCase{"NoBrowserMode", {}, "", 2, "|"}),
    [](const auto& info) { return std::string(info.param.name); });

// The merge tool says what it would merge and records how it was started.
TEST(StavemrgmanTest, TellsTheMergeAndRecordsItsArguments) {
    CTempDir dir;
    CScopedEnv log("KELMORA_TOOL_LOG", dir / "log");
    const std::string tool = BuiltProgram("stavemrgman");
    EXPECT_EQ(Printed(RunCommand({tool, "/t", "jdoe", "/b", "priv", "/n", "\\a", "\\b"})),
              "stavemrgman: would merge the private branch \"priv\" in the view \"jdoe\" "
              "from:\n  \\a\n  \\b\n");
    CCommandOutput workspace = RunCommand({tool, "/t", "/w s", "/b", "priv"});
    EXPECT_EQ(workspace.out,
              "stavemrgman: would merge the private branch \"priv\" in the workspace /w s\n");
    EXPECT_EQ(ReadTextFile(dir / "log"),
              tool + "\t/t\tjdoe\t/b\tpriv\t/n\t\\\\a\t\\\\b\n" + tool + "\t/t\t/w s\t/b\tpriv\n");
}

// Its successful run is checked where the module runs it.
TEST(StaveViewUpdateTest, ARefusalIsRecordedWithItsArguments) {
    CTempDir dir;
    const std::string root = dir / "a work space";
    CScopedEnv log("KELMORA_TOOL_LOG", dir / "tool.log");
    CCommandOutput bad = RunProgram("staveviewupdate", {"-ws", root, "-cspec", dir / "cs", "-quick"});
    EXPECT_EQ(bad.exit_code, 1);
    EXPECT_NE(bad.err.find("is not a workspace"), std::string::npos) << bad.err;
    const std::string recorded = ReadTextFile(dir / "tool.log");
    EXPECT_EQ(std::count(recorded.begin(), recorded.end(), '\n'), 1);  // one line per run
    EXPECT_EQ(ParseToolLogLine(recorded.substr(0, recorded.find('\n'))),
              (Args{BuiltProgram("staveviewupdate"), "-ws", root, "-cspec", dir / "cs", "-quick"}));
}

// Misuse exits with 2 and says why, naming the program or its usage first;
// --help says how to use the program; a target that is not there fails.
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
    add("stavetool", 2, "stavetool: ",
        {{}, {"frobnicate"}, {"mkview"}, {"mkview", "a", "b"}, {"mkview", "--force", "a"},
         {"mkws", "a"}, {"setcs", "a"}, {"catcs"}, {"lsview", "x"},
         {"setting"}, {"setting", "frob", "x"}, {"setting", "get"}, {"setting", "get", "--machine", "x"},
         {"setting", "set", "a", "b", "c", "d"}, {"setting", "set", "--param", "10", "-1"},
         {"mkvob", "/v"}, {"mkvob", "/v", "s", "--replica"}, {"mkvob", "/v", "s", "--frob"},
         {"co", "v", "/v"}, {"ci", "v", "/v", "e", "--master", "r"}, {"lsco"}, {"seevob", "v"},
         {"vobfault", "/v"}, {"vobfault", "/v", "0"}, {"vobfault", "/v", "12x"},
         {"vobfault", "/v", "1002", "--at", "frob"}, {"vobfault", "/v", "1002", "--clear"},
         {"mktag", "\\t"}, {"mktag", "\\t", "s", "--opts"}, {"rmtag"}, {"lsvob", "x"}, {"mount"},
         {"mount", "-a", "\\t"}, {"umount", "a", "b"}, {"mountfault", "\\t", "0"},
         {"mountfault", "\\t", "1", "--clear"}, {"lock", "priv"}});
    add("viewprofile", 2, "no method given", {{"--view", "v"}});
    add("viewprofile", 2, "unknown or incomplete option", {{"--colour", "GetConfigSpec"}, {"--view"}});
    add("viewprofile", 2, "either", {{"--view", "v", "--workspace", "/w", "GetConfigSpec"}});
    add("viewprofile", 2, "at most one argument", {{"SetViewTag", "a", "b"}});
    add("viewprofile", 2, "options go before the method: '--view'", {{"status", "--view", "v"}});
    add("viewprofile", 2, "GetEverything: unknown method", {{"--view", "v", "GetEverything"}});
    add("viewprofile", 2, "wrong number of arguments", {{"--view", "v", "SetViewTag"}});
    add("viewprofile", 2, "wrong type", {{"--view", "v", "SuppressErrorDisplay", "maybe"}});
    add("vptree", 2, "usage: vptree", {{}, {"frobnicate"}, {"--bogus", "ls"}});
    add("vptree", 2, "(see vptree --help)",
        {{"--root", "%tree", "mv", "\\Top"}, {"--root", "%tree", "set", "\\Top", "Colour", "--text", "x"}});
    add("vptree", 0, "usage: vptree", {{"--help"}});
    add("stavefindco", 2, "usage: stavefindco",
        {{}, {"-recurse"}, {"-recurse", "my", "ws"}, {"-avobs", "v"}, {"-avobs", "\\\\view\\"},
         {"-all", "v"}});
    add("stavefindco", 1, "", {{"-recurse", "/nowhere/near"}, {"-avobs", "\\\\view\\no_such_view"}});
    add("stavefindco", 0, "-avobs", {{"--help"}});
    add("staveprojtool", 2, "staveprojtool: ", {{}});
    add("staveprojtool", 0, "usage: staveprojtool /b [--root DIR] [--select PROFILE] [--keep-in FILE]\n", {{"--help"}});
    add("stavemrgman", 2, "stavemrgman: ", {{"/t", "v"}, {"/t", "v", "/b", "p", "/n"}, {"-x"}});
    add("stavemrgman", 0, "usage: stavemrgman", {{"--help"}});
    add("staveviewupdate", 2, "usage: staveviewupdate", {{"-ws", "/w"}});
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
    EXPECT_NE(said.find(c.shown), std::string::npos) << said;
    if (c.exit_code == 2) {
        EXPECT_TRUE(said.starts_with(c.program + ": ") || said.starts_with("usage: ")) << said;
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

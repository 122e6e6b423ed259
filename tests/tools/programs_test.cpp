// How every program answers misuse and --help.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/tool_fixture.h"

namespace kelmora::test {
namespace {

using Args = std::vector<std::string>;

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

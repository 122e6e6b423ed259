// The viewprofile host as a real program on this test process's client state.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "client/client_test_util.h"
#include "kelmora/automation.h"
#include "module/server_registry.h"
#include "tools/tool_fixture.h"

namespace kelmora::test {
namespace {

struct CFrontEndCase {
    const char* name;
    const char* variable;  // KELMORA_UI
    const char* notice;
};

class ViewProfileFrontEndTest : public ::testing::TestWithParam<CFrontEndCase> {};

TEST_P(ViewProfileFrontEndTest, WithoutWindowsSaysSoOnceAndTheConsoleServes) {
    const CFrontEndCase& c = GetParam();
    CScopedEnv variable("KELMORA_UI", c.variable);
    CScopedEnv display("DISPLAY", nullptr);
    CScopedEnv platform("QT_QPA_PLATFORM", nullptr);
    CCommandOutput run =
        RunProgram("viewprofile", {"--view", UniqueName("missing"), "GetConfigSpec"});
    EXPECT_EQ(run.exit_code, 1);
    const size_t at = run.err.find(c.notice);
    ASSERT_NE(at, std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("kelmora: ", at + 1), std::string::npos) << run.err;
    EXPECT_TRUE(Holds(run.err, "; the console serves instead\n"));
    EXPECT_TRUE(Holds(run.err, "[stop]\n| Error getting view handle.\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Choices, ViewProfileFrontEndTest,
    ::testing::Values(CFrontEndCase{"QtByVariable", "qt", "kelmora: no windows: "},
                      CFrontEndCase{"UnknownName", "curses",
                                    "kelmora: KELMORA_UI=curses names no front end (console or "
                                    "qt); the console serves instead\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ViewProfileToolTest, ACorruptClientDatabaseIsSaidOnceAndFailsTheCall) {
    CScopedHome home;
    std::filesystem::create_directories(home.path());
    WriteTextFile(home.path() + "/client.db", std::string(100000, 'x'));
    CCommandOutput run = OnView("v1", {"GetConfigSpec"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, "Client database " + home.path() +
                           "/client.db: cannot prepare a statement (file is not a database)\n");
}

// Every call is one JSON line of the call log, printed back readably.
TEST(ViewProfileToolTest, CallsAreLoggedWithWhatTheySaid) {
    CScopedHome home;
    OnView("nosuch", {"--suppress-errors", "IsAssociated"});
    const std::string log = ReadTextFile(home.path() + "/log/viewprofile.jsonl");
    EXPECT_TRUE(Holds(log, "\"program\":\"viewprofile\""));
    EXPECT_TRUE(Holds(log,
                      "\"method\":\"IsAssociated\",\"arguments\":[],\"result\":\"FALSE\","
                      "\"outcome\":\"failed\""));
    const std::string printed =
        Printed(RunProgram("viewprofile", {"log", "--view", "nosuch", "--since", "2000"}));
    EXPECT_NE(printed.find(" nosuch: IsAssociated -> FALSE (failed, "), std::string::npos)
        << printed;
    EXPECT_TRUE(Holds(printed, "\n    | No view \"nosuch\" exists"));
    EXPECT_EQ(Printed(RunProgram("viewprofile", {"log", "--since", "2999"})), "");
}

TEST(ViewProfileRegistrationTest, TheLibraryBesideTheHostIsRegistered) {
    CTempDir dir;
    const std::string registered = dir / "libkelmora.so";
    std::filesystem::copy_file(KELMORA_LIB_DIR "/libkelmora.so", registered);
    ASSERT_EQ(WriteServerRegistration(KELMORA_VIEWPROFILE_PROGID, CLSID_ViewProfile, registered),
              TBS_ST_OK);
    CCommandOutput first = RunProgram("viewprofile", {"SetViewTag", "v"});
    EXPECT_EQ(first.exit_code, 0) << first.err;
    EXPECT_TRUE(Holds(first.err, "was registered to " + registered + "; using "));
    CLSID clsid{};
    std::string path;
    ASSERT_TRUE(FindServerByProgId(KELMORA_VIEWPROFILE_PROGID, &clsid, &path));
    EXPECT_TRUE(std::filesystem::equivalent(path, KELMORA_LIB_DIR "/libkelmora.so")) << path;
    EXPECT_EQ(RunProgram("viewprofile", {"SetViewTag", "v"}).err, "");
}

}  // namespace
}  // namespace kelmora::test

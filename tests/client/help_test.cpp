#include "client/help.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/test_env.h"

namespace kelmora {
namespace {

constexpr char kTopic[] = "private_branch_wizard/finishingaprivbr.htm";

TEST(HelpTest, TopicsStayInsideTheHelpFolder) {
    test::CTempDir dir;
    std::filesystem::create_directories(dir / "help/a");
    test::WriteTextFile(dir / "help/a/b.htm", "page");
    test::WriteTextFile(dir / "secret.htm", "not help");
    test::CScopedEnv help("KELMORA_HELP_DIR", dir / "help");
    EXPECT_EQ(client::HelpPagePath("a/b.htm"), dir / "help/a/b.htm");
    for (const char* topic : {"../secret.htm", "a/../../secret.htm", "/etc/hostname", "", "a"})
        EXPECT_EQ(client::HelpPagePath(topic), "") << topic;
}

// Pages are found beside the program unless KELMORA_HELP_DIR names their folder.
TEST(HelpTest, WithoutADesktopThePathOfThePageBesideTheProgramIsPrinted) {
    test::CScopedEnv no_override("KELMORA_HELP_DIR", nullptr);
    test::CScopedEnv no_x("DISPLAY", nullptr);
    test::CScopedEnv no_wayland("WAYLAND_DISPLAY", nullptr);
    const std::string page = client::HelpPagePath(kTopic);
    EXPECT_EQ(std::filesystem::canonical(page),
              std::filesystem::canonical(std::string(KELMORA_BIN_DIR) + "/../share/kelmora/help/" +
                                         kTopic));
    testing::internal::CaptureStderr();
    EXPECT_EQ(gu_help(nullptr, kTopic, 1, 0), TBS_ST_OK);
    EXPECT_EQ(gu_help(nullptr, "private_branch_wizard/none.htm", 1, 0), TBS_ST_NOT_FOUND);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Help: " + page + "\nNo help page for the topic 'private_branch_wizard/none.htm'.\n");
}

TEST(HelpTest, OnADesktopTheOpenerGetsThePage) {
    test::CRecordingTool opener("xdg-open");
    test::CScopedEnv display("DISPLAY", ":0");
    EXPECT_EQ(gu_help(nullptr, kTopic, 1, 0), TBS_ST_OK);
    // The opener runs on its own; wait until it has recorded its run.
    for (int i = 0; i < 500 && opener.Runs().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(opener.Runs(),
              (std::vector<std::vector<std::string>>{{"xdg-open", client::HelpPagePath(kTopic)}}));
}

}  // namespace
}  // namespace kelmora

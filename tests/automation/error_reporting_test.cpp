#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <vector>

#include "client/client_messages.h"
#include "automation/log_reader.h"
#include "automation/view_profile.h"
#include "client/messages.h"
#include "support/scripted_ui.h"
#include "support/test_env.h"

namespace kelmora {
namespace {

using test::COperationLogTail;
using test::CScriptedUserInterface;

TEST(ReportErrorTest, SuppressedReportsAreOneLogEntryEachAndShowNothing) {
    CScriptedUserInterface ui;
    COperationLogTail log;
    CViewProfile profile;
    profile.SuppressErrorDisplay(TRUE);
    profile.ReportError("Error getting view handle.\n\n", MB_ICONSTOP);
    profile.ReportError("Error setting the config spec.", MB_OK);
    // Inner line ends stay inside their entry.
    profile.ReportError("first\nsecond\n", MB_OK);
    EXPECT_TRUE(ui.shown().empty());
    EXPECT_EQ(log.Text(),
              "Error getting view handle.\nError setting the config spec.\nfirst\nsecond\n");
}

TEST(AskQuestionTest, ShownQuestionGetsTheUsersAnswerASuppressedOneIsLoggedAndAnsweredNo) {
    CScriptedUserInterface ui("yes\nyes\n");
    COperationLogTail log;
    CViewProfile profile;
    EXPECT_EQ(profile.AskQuestion("Recover the config spec?"), IDYES);
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].style, MB_YESNO | MB_ICONSTOP);
    profile.SuppressErrorDisplay(TRUE);
    EXPECT_EQ(profile.AskQuestion("Recover the config spec?"), IDNO);
    EXPECT_EQ(profile.AskQuestion("Continue?", 0x01 | MB_ICONEXCLAMATION), IDCANCEL);
    EXPECT_EQ(ui.shown().size(), 1u);  // nobody was asked
    EXPECT_EQ(log.Text(), "Recover the config spec?\nContinue?\n");
}

// The client library's own messages printed during a view access.
class ReportErrorStopTest : public ::testing::Test {
protected:
    void TearDown() override { ClearPendingClientMessages(); }
    void ClientPrints(int kind, const char* text) {
        CClientMessageCapture capture;
        imsg_print(kind, "%s", -1, text);
    }
};

TEST_F(ReportErrorStopTest, PendingClientTextIsShownFirstOrAppendedThenDropped) {
    CScriptedUserInterface ui;
    CViewProfile profile;
    ClientPrints(IMSG_KIND_INFO, "Config spec read.\n");
    ClientPrints(IMSG_KIND_ERROR, "Syntax error on line 2, near column 1.\n");
    profile.ReportErrorStop("Error setting the config spec.\n\n");
    ASSERT_EQ(ui.shown().size(), 2u);
    EXPECT_EQ(ui.shown()[0].text, "Config spec read.\n");
    EXPECT_EQ(ui.shown()[0].style, MB_ICONINFORMATION);
    EXPECT_EQ(ui.shown()[1].text,
              "Error setting the config spec.\n\nSyntax error on line 2, near column 1.\n");
    EXPECT_EQ(ui.shown()[1].style, MB_ICONSTOP);
    EXPECT_EQ(PendingClientInfo(), "");
    EXPECT_EQ(PendingClientErrors(), "");

    profile.ReportErrorStop("Error getting config spec.\n\n");
    ASSERT_EQ(ui.shown().size(), 3u);
    EXPECT_EQ(ui.shown()[2].text, "Error getting config spec.\n\n");
}

TEST_F(ReportErrorStopTest, SuppressedStopReportGoesToTheLog) {
    CScriptedUserInterface ui;
    COperationLogTail log;
    CViewProfile profile;
    profile.SuppressErrorDisplay(TRUE);
    ClientPrints(IMSG_KIND_ERROR, "view not found\n");
    profile.ReportErrorStop("Error getting view handle.\n\n");
    EXPECT_TRUE(ui.shown().empty());
    EXPECT_EQ(log.Text(), "Error getting view handle.\n\nview not found\n");
}

TEST_F(ReportErrorStopTest, OutsideACaptureTheClientPrintsAsUsual) {
    imsg_print(IMSG_KIND_ERROR, "%s", -1, "(printed to standard error on purpose)\n");
    EXPECT_EQ(PendingClientErrors(), "");
}

TEST(OperationLogTest, TwoProcessesReportingAtOnceNeverSplitAnEntry) {
    test::CTempDir dir;
    COperationLogTail log;
    constexpr int kReports = 400;
    constexpr size_t kPayload = 6000;  // more than one page, more than a pipe's atomic write
    std::string go = dir / "go";
    {
        test::CChildProcess a({test::BuiltProgram("report_writer"), "alpha",
                               std::to_string(kReports), std::to_string(kPayload), go});
        test::CChildProcess b({test::BuiltProgram("report_writer"), "beta",
                               std::to_string(kReports), std::to_string(kPayload), go});
        ASSERT_TRUE(a.started() && b.started());
        test::WriteTextFile(go, "");
        EXPECT_EQ(a.Finish(), 0);
        EXPECT_EQ(b.Finish(), 0);
    }
    std::istringstream lines(log.Text());
    std::string line;
    std::map<std::string, int> next;
    int count = 0;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string id, payload;
        int seq = -1;
        fields >> id >> seq >> payload;
        ASSERT_TRUE(id == "alpha" || id == "beta") << line.substr(0, 40);
        EXPECT_EQ(payload, std::string(kPayload, id[0]));
        EXPECT_EQ(seq, next[id]++);  // each process's entries in its own order
        ++count;
    }
    EXPECT_EQ(count, 2 * kReports);
}

}  // namespace
}  // namespace kelmora

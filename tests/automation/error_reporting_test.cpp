#include <gtest/gtest.h>

#include "automation/log_reader.h"
#include "automation/view_profile.h"
#include "client/client_messages.h"
#include "client/messages.h"
#include "support/scripted_ui.h"
#include "support/test_env.h"

namespace kelmora {
namespace {

using test::COperationLogTail;
using test::CScriptedUserInterface;

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

// A stop report takes the client library's pending text along.
TEST_F(ReportErrorStopTest, SuppressedReportsAreOneLogEntryEachAndShowNothing) {
    CScriptedUserInterface ui;
    COperationLogTail log;
    CViewProfile profile;
    profile.SuppressErrorDisplay(TRUE);
    profile.ReportError("Error getting view handle.\n\n", MB_ICONSTOP);
    profile.ReportError("Error setting the config spec.", MB_OK);
    // Inner line ends stay inside their entry.
    profile.ReportError("first\nsecond\n", MB_OK);
    ClientPrints(IMSG_KIND_ERROR, "view not found\n");
    profile.ReportErrorStop("Error getting view handle.\n\n");
    EXPECT_TRUE(ui.shown().empty());
    EXPECT_EQ(log.Text(),
              "Error getting view handle.\nError setting the config spec.\nfirst\nsecond\n"
              "Error getting view handle.\n\nview not found\n");
}

}  // namespace
}  // namespace kelmora

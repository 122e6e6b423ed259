#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>

#include "automation/view_profile.h"
#include "client/type_admin.h"
#include "client/vob_admin.h"
#include "cspec/profile_site.h"

namespace kelmora::test {
namespace {

const std::string kAssociated =
    InfoBlock(kProj, kGuid + " 2.5") + "\r\n\r\n" + kSectionHeader + "\r\n" + kEnd;

class BranchTypesTest : public CProfileSiteTest {
protected:
    // A profile listing two VOBs, the label only in the first; a view on it.
    void SetUp() override {
        CProfileSiteTest::SetUp();
        for (std::string& vob : vobs_) {
            vob = "\\" + UniqueName("vob");
            ASSERT_EQ(client::CreateVob(vob, temp_ / vob.substr(1), {}), TBS_ST_OK);
        }
        ASSERT_EQ(client::CreateType(client::ETypeKind::kLabel, "REL1", vobs_[0], "", false),
                  TBS_ST_OK);
        MakeProfile("Proj", RulesFile("", ""));
        profile_.SetViewTag(MakeView(kAssociated));
    }
    void ListVobs(bool both) {
        WriteProfileFile("Proj", "VOB List", both ? vobs_[0] + "\r\n" + vobs_[1] : "");
    }

    std::string vobs_[2];
    CViewProfile profile_;
};

struct CLabelCase {
    const char* label;
    bool vob_list;
    const char* name;
    BOOL usable;
    std::string message;  // "%s" for the second VOB
};

class LabelCheckTest : public BranchTypesTest, public ::testing::WithParamInterface<CLabelCase> {};

TEST_P(LabelCheckTest, TellsWhyALabelCannotServe) {
    const CLabelCase& c = GetParam();
    ListVobs(c.vob_list);
    profile_.SuppressErrorDisplay(TRUE);  // shown all the same
    EXPECT_EQ(profile_.CheckLabel(c.name), c.usable);
    std::string message = c.message;
    if (size_t at = message.find("%s"); at != std::string::npos) message.replace(at, 2, vobs_[1]);
    EXPECT_EQ(Messages(), std::vector<std::string>{message});
}

INSTANTIATE_TEST_SUITE_P(
    Labels, LabelCheckTest,
    ::testing::Values(
        CLabelCase{"Latest", true, "LATEST", FALSE,
                   "The predefined label 'LATEST' may not be used as a branch point."},
        CLabelCase{"MissingFromTheSecondVob", true, "REL1", FALSE,
                   "The label type 'REL1' does not exist in the VOB '%s'.\n\n"
                   "It cannot be used as a branch point designator."},
        CLabelCase{"NoVobList", false, "latest", TRUE,
                   "Since the View Profile to which you are associated does not contain\n"
                   "a VOB list, the existence of the label 'latest' can not be verified."}),
    [](const auto& info) { return std::string(info.param.label); });

// Asked to, a set-up updates the workspace's contents.
TEST_F(BranchTypesTest, WithoutVobsTheUserDecidesWhetherToGoOn) {
    CRecordingTool update_tool("staveviewupdate");
    const std::string tag = UniqueName("ws");
    ASSERT_EQ(client::CreateWorkspace(tag, temp_ / tag), TBS_ST_OK);
    ASSERT_EQ(client::SetConfigSpecText(tag, kAssociated), TBS_ST_OK);
    profile_.SetWorkspacePath(temp_ / tag);
    for (std::string answer : {"no", "yes"}) {
        Answer("name priv\nfinish\n" + answer + "\n");
        ASSERT_EQ(profile_.SetUpBranch(TRUE), TRUE);
        ASSERT_EQ(Messages().size(), 1u);
        EXPECT_TRUE(
            Messages()[0].starts_with("Since the Stavemark View Profile does not contain a"));
        EXPECT_EQ(update_tool.Runs().size(), answer == "yes" ? 1u : 0u);
    }
    // A VOB list that cannot be read stops the set-up before the wizard.
    std::filesystem::create_directory(root_ + "/Stavemark View Profiles/Proj/VOB List");
    CViewProfile again;
    again.SetWorkspacePath(temp_ / tag);
    EXPECT_EQ(again.SetUpBranch(TRUE), FALSE);
}

TEST_F(BranchTypesTest, PublishLeavesNoChildProcessBehind) {
    ListVobs(true);
    CRecordingTool merge_tool("stavemrgman");
    profile_.SetViewTag(MakeView(
        PrivateBlock(kProj, kGuid + " 2.5", "element * ...\\priv\\LATEST\r\nmkbranch priv\r\n") +
        kSectionHeader + "element * REL1\r\n" + kEnd));
    Answer("publish\n");
    ASSERT_EQ(profile_.FinishBranch(), TRUE);
    ReapDetachedChildrenOnceEnded();  // the tool, started without a fork
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(profile_.private_branch(), "");
}

}  // namespace
}  // namespace kelmora::test

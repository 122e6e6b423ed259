// Dissociating views: the comments go, the rules stay. And what a failed
// association leaves.
#include <gtest/gtest.h>

#include "automation/view_profile.h"
#include "cspec/profile_site.h"
#include "operations/dissociation.h"

namespace kelmora::test {
namespace {

struct CStripCase {
    const char* label;
    std::string text, stripped;
};

class StripCommentsTest : public ::testing::TestWithParam<CStripCase> {};

TEST_P(StripCommentsTest, KeepsEveryRuleUpToItsComment) {
    EXPECT_EQ(StripConfigSpecComments(GetParam().text), GetParam().stripped);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StripCommentsTest,
    ::testing::Values(
        CStripCase{"BlanksBeforeTheCommentStay", "element * /main/LATEST  # latest\r\n",
                   "element * /main/LATEST  \r\n"},
        CStripCase{"CommentEmptyAndBlankLinesGo", "# c\r\n\r\n   \r\n\t# d\r\nelement * X\r\n",
                   "element * X\r\n"},
        CStripCase{"LeadingBlanksGo", "   element * X\r\n\tload \\a # c",
                   "element * X\r\nload \\a \r\n"},
        CStripCase{"LineWithoutCommentKeepsItsOwnEnd", "element * X # c\nelement * Y\nload \\b",
                   "element * X \r\nelement * Y\nload \\b"},
        // Where the language reads no comment, nothing is cut.
        CStripCase{"HashInsideAWordOrQuotes",
                   "element * REL#1\r\nelement \"\\vob\\My #1\\...\" \\main\\LATEST #c\r\n",
                   "element * REL#1\r\nelement \"\\vob\\My #1\\...\" \\main\\LATEST \r\n"}),
    [](const auto& info) { return std::string(info.param.label); });

const std::string kAssociated = InfoBlock(kProj, kGuid + " 2.5") + kSectionHeader + kEnd;

TEST_F(CProfileSiteTest, YesStripsAConfigSpecLongerThanTheFirstBlock) {
    std::string rules, stripped = "element * CHECKEDOUT\r\n";
    for (int n = 0; rules.size() < 6000; ++n) {
        std::string rule =
            "element \\vob\\d" + std::to_string(n) + "\\... REL_" + std::to_string(n);
        rules += "# about the next rule\r\n  " + rule + "  # note\r\n";
        stripped += rule + "  \r\n";
    }
    std::string tag = MakeView(InfoBlock(kProj, kGuid + " 2.5") + rules + kSectionHeader + kEnd);
    CViewProfile profile;
    profile.SetViewTag(tag);
    Answer("yes\n");
    EXPECT_EQ(profile.Dissociate(), TRUE);
    EXPECT_EQ(StoredSpec(tag), stripped);
    EXPECT_EQ(profile.IsAssociated(), FALSE);
}

struct CRefusalCase {
    const char* label;
    bool names_view;
    std::string spec;
    std::string message;  // after the prefix, "%s" for the tag
};

class DissociateRefusalTest : public CProfileSiteTest,
                              public ::testing::WithParamInterface<CRefusalCase> {};

TEST_P(DissociateRefusalTest, AnswersFalseAndLeavesTheView) {
    const CRefusalCase& c = GetParam();
    std::string tag = MakeView(c.spec), message = c.message;
    CViewProfile profile;
    if (c.names_view) profile.SetViewTag(tag);
    profile.SuppressErrorDisplay(TRUE);  // these messages are shown all the same
    EXPECT_EQ(profile.Dissociate(), FALSE);
    if (size_t at = message.find("%s"); at != std::string::npos) message.replace(at, 2, tag);
    EXPECT_EQ(Messages(),
              std::vector<std::string>{
                  "Cannot dissociate this view from its Stavemark View Profile.\n\n" + message});
    EXPECT_EQ(StoredSpec(tag), c.spec);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DissociateRefusalTest,
    ::testing::Values(
        CRefusalCase{"NoView", false, kAssociated,
                     "No view/workspace was specified for the current operation."},
        CRefusalCase{"NotAssociated", true, "element * /main/LATEST # mine\r\n",
                     "The '%s' view is not currently associated with a Stavemark\nView Profile."}),
    [](const auto& info) { return std::string(info.param.label); });

// A corrupt profile on a view; a workspace whose update tool cannot start,
// after the composed text was set: it gets its own back.
TEST_F(CProfileSiteTest, AFailedAssociationLeavesTheViewAndTheObjectWithTheViewsText) {
    const std::string spec = "element * \\main\\LATEST\r\n";
    for (bool workspace : {false, true}) {
        MakeProfile("Proj", workspace ? RulesFile("", spec) : spec);
        std::string tag = workspace ? UniqueName("ws") : MakeView(spec);
        CViewProfile profile;
        if (workspace) {
            ASSERT_EQ(client::CreateWorkspace(tag, temp_ / tag), TBS_ST_OK);
            ASSERT_EQ(client::SetConfigSpecText(tag, spec), TBS_ST_OK);
            profile.SetWorkspacePath(temp_ / tag);
        } else {
            profile.SetViewTag(tag);
        }
        CScopedEnv no_tools("PATH", temp_ / "empty");
        Answer(kProj + "\ndone\n");
        EXPECT_EQ(profile.Associate(), FALSE);
        EXPECT_EQ(Messages(), std::vector<std::string>{
                                  workspace ? "Exec of staveviewupdate failed with error 2\n"
                                            : "Cannot modify this view's Stavemark View Profile "
                                              "association.\n\nCorrupt Profile config spec, "
                                              "couldn't find private rules"});
        EXPECT_EQ(StoredSpec(tag), spec);
        EXPECT_EQ(profile.GetConfigSpec(), spec);
        EXPECT_EQ(profile.IsAssociated(), FALSE);
    }
}

}  // namespace
}  // namespace kelmora::test

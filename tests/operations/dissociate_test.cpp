// Dissociating views: the comments go, the rules stay; what a failed
// association leaves; the profile queries.
#include <gtest/gtest.h>

#include "automation/log_reader.h"
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

class ProfileQueriesTest : public CProfileSiteTest {
protected:
    void SetUp() override {
        CProfileSiteTest::SetUp();
        MakeProfile("Proj", RulesFile("", ""));
        profile_.SetViewTag(MakeView(kAssociated));
    }
    // Every tag GetFirstVOB and GetNextVOB give, up to the first empty one.
    std::vector<std::string> Enumerate() {
        std::vector<std::string> tags;
        for (std::string tag = profile_.GetFirstVOB(); !tag.empty(); tag = profile_.GetNextVOB())
            tags.push_back(tag);
        return tags;
    }
    CViewProfile profile_;
};

struct CVobListCase {
    const char* label;
    const char* file;  // null: no "VOB List" file
    std::vector<std::string> tags;
};

class VobListTest : public ProfileQueriesTest,
                    public ::testing::WithParamInterface<CVobListCase> {};

TEST_P(VobListTest, EnumeratesTheFilesTagsInOrderAndThenNothing) {
    if (GetParam().file) WriteProfileFile("Proj", "VOB List", GetParam().file);
    EXPECT_EQ(profile_.GetNextVOB(), "");  // nothing before GetFirstVOB
    EXPECT_EQ(Enumerate(), GetParam().tags);
    EXPECT_EQ(profile_.GetNextVOB(), "");     // past the end, again and again
    EXPECT_EQ(Enumerate(), GetParam().tags);  // GetFirstVOB starts over
    EXPECT_EQ(Messages(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Files, VobListTest,
                         ::testing::Values(CVobListCase{"MixedSeparators",
                                                        "\\vobA, \\vobB\r\n\r\n\\VobC\t",
                                                        {"\\vobA", "\\vobB", "\\VobC"}},
                                           CVobListCase{
                                               "LeadingBlankLine", "\r\n\\vobA", {"\\vobA"}},
                                           CVobListCase{"OnlySeparators", " \r\n\t ,\r\n", {}},
                                           CVobListCase{"NoFile", nullptr, {}}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(ProfileQueriesTest, ListIsReadOnceUntilADissociation) {
    WriteProfileFile("Proj", "VOB List", "\\vobA");
    EXPECT_EQ(Enumerate(), std::vector<std::string>{"\\vobA"});
    WriteProfileFile("Proj", "VOB List", "\\vobA \\vobB");
    EXPECT_EQ(Enumerate(), std::vector<std::string>{"\\vobA"});
    ASSERT_EQ(profile_.DissociationStep(), TRUE);
    EXPECT_EQ(Enumerate(), (std::vector<std::string>{"\\vobA", "\\vobB"}));
}

TEST_F(ProfileQueriesTest, MissingDescriptionIsEmptyWithoutAMessage) {
    EXPECT_EQ(profile_.GetDescription(), "");
    EXPECT_EQ(Messages(), std::vector<std::string>{});
}

TEST_F(CProfileSiteTest, NoViewIsLoggedByOneQueryAndShownByTheOther) {
    COperationLogTail log;
    CViewProfile profile;
    profile.SuppressErrorDisplay(TRUE);
    EXPECT_EQ(profile.IsAssociated(), FALSE);
    EXPECT_EQ(log.Text(),
              "Can not determine if the view is associated.\n\n"
              "No view/workspace was specified for the current operation.\n");
    EXPECT_EQ(Messages(), std::vector<std::string>{});
    EXPECT_EQ(profile.IsOnPrivateBranch(), FALSE);
    EXPECT_EQ(Messages(), std::vector<std::string>{
                              "Can not determine if the view is on private branch.\n\n"
                              "No view/workspace was specified for the current operation."});
}

}  // namespace
}  // namespace kelmora::test

// The profile queries on a real tree and real views.
#include <gtest/gtest.h>

#include "automation/log_reader.h"
#include "automation/view_profile.h"
#include "cspec/profile_site.h"

namespace kelmora::test {
namespace {

const std::string kAssociated = InfoBlock(kProj, kGuid + " 2.5") + "\r\n\r\n" + kSectionHeader +
                                "element * /main/LATEST\r\n" + kEnd;
const std::string kOnBranch =
    PrivateBlock(kProj, kGuid + " 2.5", "element * ...\\jdoe\\LATEST\r\nmkbranch jdoe\r\n") +
    kSectionHeader + "element * REL_1\r\nelement * \\main\\0\r\n" + kEnd;

class ProfileQueriesTest : public CProfileSiteTest {
protected:
    void SetUp() override {
        CProfileSiteTest::SetUp();
        MakeProfile("Proj", RulesFile("", ""));
    }
    // Every tag GetFirstVOB and GetNextVOB give, up to the first empty one.
    static std::vector<std::string> Enumerate(CViewProfile& profile) {
        std::vector<std::string> tags;
        for (std::string tag = profile.GetFirstVOB(); !tag.empty(); tag = profile.GetNextVOB())
            tags.push_back(tag);
        return tags;
    }
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
    CViewProfile profile;
    profile.SetViewTag(MakeView(kAssociated));
    EXPECT_EQ(Enumerate(profile), GetParam().tags);
    EXPECT_EQ(profile.vob_list_loaded(), TRUE);
    EXPECT_EQ(profile.GetNextVOB(), "");  // past the end, again and again
    EXPECT_EQ(profile.GetNextVOB(), "");
    EXPECT_EQ(Enumerate(profile), GetParam().tags);  // GetFirstVOB starts over
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

TEST_F(ProfileQueriesTest, DissociationMakesTheNextEnumerationReadTheListAgain) {
    WriteProfileFile("Proj", "VOB List", "\\vobA");
    CViewProfile profile;
    profile.SetViewTag(MakeView(kAssociated));
    EXPECT_EQ(Enumerate(profile), std::vector<std::string>{"\\vobA"});
    WriteProfileFile("Proj", "VOB List", "\\vobA \\vobB");
    EXPECT_EQ(Enumerate(profile), std::vector<std::string>{"\\vobA"});  // kept
    ASSERT_EQ(profile.DissociationStep(), TRUE);
    EXPECT_EQ(Enumerate(profile), (std::vector<std::string>{"\\vobA", "\\vobB"}));
}

TEST_F(ProfileQueriesTest, DescriptionAndDiagramOfTheAssociatedProfile) {
    CViewProfile profile;
    profile.SetViewTag(MakeView(kAssociated));
    EXPECT_EQ(profile.GetDescription(), "");  // no file, no message
    EXPECT_EQ(Messages(), std::vector<std::string>{});
    WriteProfileFile("Proj", "Description", "The compiler.\r\nSecond line\r\n");
    EXPECT_EQ(profile.GetDescription(), "The compiler.\r\nSecond line\r\n");
    // Whether or not there is a diagram.
    EXPECT_EQ(profile.GetDiagramPName(), root_ + "/Stavemark View Profiles/Proj/Diagram");
    EXPECT_EQ(profile.error_prefix(),
              "Can not determine the pathname to the View Profile diagram.\n\n");
}

TEST_F(ProfileQueriesTest, QueriesOfAnUnassociatedViewAnswerNothing) {
    CViewProfile profile;
    profile.SetViewTag(MakeView("element * CHECKEDOUT\r\n" + kAssociated));
    EXPECT_EQ(profile.IsAssociated(), FALSE);
    EXPECT_EQ(profile.IsOnPrivateBranch(), FALSE);
    EXPECT_EQ(profile.GetDescription(), "");
    EXPECT_EQ(profile.GetDiagramPName(), "");
    EXPECT_EQ(Messages(), std::vector<std::string>{});
}

struct CAssociationCase {
    const char* label;
    std::string spec;
    BOOL associated, on_branch;
};

class AssociationTestTest : public ProfileQueriesTest,
                            public ::testing::WithParamInterface<CAssociationCase> {};

TEST_P(AssociationTestTest, OnlyABlockAtTheVeryStartCounts) {
    CViewProfile profile;
    profile.SetViewTag(MakeView(GetParam().spec));
    EXPECT_EQ(profile.IsAssociated(), GetParam().associated);
    EXPECT_EQ(profile.error_prefix(), "Can not determine if the view is associated.\n\n");
    EXPECT_EQ(profile.IsOnPrivateBranch(), GetParam().on_branch);
    EXPECT_EQ(profile.error_prefix(), "Can not determine if the view is on private branch.\n\n");
}

INSTANTIATE_TEST_SUITE_P(
    Specs, AssociationTestTest,
    ::testing::Values(CAssociationCase{"ProfileForm", kAssociated, TRUE, FALSE},
                      CAssociationCase{"PrivateBranch", kOnBranch, TRUE, TRUE},
                      CAssociationCase{"BlankLineFirst", "\r\n" + kAssociated, FALSE, FALSE},
                      CAssociationCase{"CommentFirst", "# mine\r\n" + kAssociated, FALSE, FALSE}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ProfileQueriesTest, NoViewIsLoggedByOneQueryAndShownByTheOther) {
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

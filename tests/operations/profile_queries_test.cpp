// The profile queries on a real tree and real views.
#include <gtest/gtest.h>

#include "automation/log_reader.h"
#include "automation/view_profile.h"
#include "cspec/profile_site.h"

namespace kelmora::test {
namespace {

const std::string kAssociated = InfoBlock(kProj, kGuid + " 2.5") + kSectionHeader + kEnd;

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

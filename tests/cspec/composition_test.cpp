// Composed config specs compared with texts written out by hand.
#include <gtest/gtest.h>

#include "automation/view_profile.h"
#include "cspec/profile_site.h"

namespace kelmora::test {
namespace {

const std::string kId = kGuid + " 2.5";      // what the profile's GUID file says
const std::string kViewId = kGuid + " 1.4";  // what the view was composed from
const std::string kPrivateRules = "element * ...\\jdoe\\LATEST\r\nmkbranch jdoe\r\n";
const std::string kEmptyView = InfoBlock(kProj, kViewId) + "\r\n\r\n" + kSectionHeader + kEnd;

std::string DropLast(const std::string& text, size_t count) {
    return text.substr(0, text.size() - count);
}

class CompositionTest : public CProfileSiteTest {
protected:
    // An object whose association was read from a view with this config spec.
    void Associate(const std::string& spec) {
        profile_.SetViewTag(MakeView(spec));
        ASSERT_EQ(profile_.ReadAssociation(), TRUE) << ::testing::PrintToString(Messages());
    }
    CViewProfile profile_;
};

struct CProfileFormCase {
    const char* label;
    std::string rules;  // the profile's Rules file
    std::string view;   // the view's config spec before
    std::string composed;
};

class ProfileFormTest : public CompositionTest,
                        public ::testing::WithParamInterface<CProfileFormCase> {};

TEST_P(ProfileFormTest, ComposedTextIsTheBlockUserRulesAndGeneratedSection) {
    MakeProfile("Proj", GetParam().rules);
    Associate(GetParam().view);
    ASSERT_EQ(profile_.ComposeProfileConfigSpec(), TRUE) << ::testing::PrintToString(Messages());
    EXPECT_EQ(profile_.config_spec(), GetParam().composed);
    EXPECT_EQ(Messages(), std::vector<std::string>{});
}

const std::string kUserRule = "element \\vob\\u\\... REL_U\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileFormTest,
    ::testing::Values(
        CProfileFormCase{"EmptyPrivateRules", RulesFile("", "element * /main/LATEST\r\n"),
                         kEmptyView,
                         InfoBlock(kProj, kId) + "\r\n\r\n" + kSectionHeader + "\r\n" +
                             "element * /main/LATEST\r\n" + kEnd},
        CProfileFormCase{"PrivateRulesTrimmedAndTextAfterTheEndIgnored",
                         RulesFile("\r\n  element \\vob\\a\\... REL_1 \r\n\r\n",
                                   "element * .../int/LATEST\r\n") +
                             "element * junk\r\n",
                         kEmptyView,
                         InfoBlock(kProj, kId) + "\r\n\r\n" + kSectionHeader +
                             "element \\vob\\a\\... REL_1\r\n" + "element * .../int/LATEST\r\n" +
                             kEnd},
        // The block loses its line end; the user rules bring their own.
        CProfileFormCase{
            "UserRulesWithLeadingLineEnd", RulesFile("", "element * /main/LATEST\r\n"),
            InfoBlock(kProj, kViewId) + kUserRule + kSectionHeader + "element * /main/0\r\n" + kEnd,
            InfoBlock(kProj, kId) + kUserRule + kSectionHeader + "\r\n" +
                "element * /main/LATEST\r\n" + kEnd},
        CProfileFormCase{"TextAfterTheSectionMovesAboveIt",
                         RulesFile("", "element * /main/LATEST\r\n"),
                         kEmptyView + "load \\vobA\r\n",
                         InfoBlock(kProj, kId) + "load \\vobA\r\n\r\n" + kSectionHeader + "\r\n" +
                             "element * /main/LATEST\r\n" + kEnd}),
    [](const auto& info) { return std::string(info.param.label); });

struct CFaultyProfileCase {
    const char* label;
    std::string rules;
    std::string guid_text;
    std::string message;    // after the prefix
    bool composes_nothing;  // the config spec field keeps the view's text
};

class FaultyProfileTest : public CompositionTest,
                          public ::testing::WithParamInterface<CFaultyProfileCase> {};

TEST_P(FaultyProfileTest, IsReportedAndFails) {
    MakeProfile("Proj", GetParam().rules, GetParam().guid_text);
    Associate(kEmptyView);
    profile_.SetErrorString("Compose: ");
    EXPECT_EQ(profile_.ComposeProfileConfigSpec(), FALSE);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Compose: " + GetParam().message});
    if (GetParam().composes_nothing) {
        EXPECT_EQ(profile_.config_spec(), kEmptyView);
    }
}

const std::string kCorrupt =
    "Unable to determine the Profile revision level.  The contents\n"
    "of the Profile file has been corrupted:\n\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, FaultyProfileTest,
    ::testing::Values(
        CFaultyProfileCase{"NoProfileHeader", "element * /main/LATEST\r\n", kId,
                           "Corrupt Profile config spec, couldn't find private rules", false},
        CFaultyProfileCase{
            "NoEndMarker", DropLast(RulesFile("", "element * /main/LATEST\r\n"), kEnd.size()), kId,
            "Corrupt Profile config spec, couldn't find Profile private rules.", false},
        CFaultyProfileCase{"GuidWithoutRevision", RulesFile("", ""), kGuid,
                           kCorrupt + "\"" + kGuid + "\"", true},
        // 256 characters do not fit the GUID buffer: the rest is no revision.
        CFaultyProfileCase{"OverlongGuid", RulesFile("", ""), std::string(256, 'a') + " 1.2",
                           kCorrupt + "\"" + std::string(256, 'a') + " 1.2\"", true}),
    [](const auto& info) { return std::string(info.param.label); });

struct CPrivateFormCase {
    const char* label;
    std::string view;
    bool by_time;
    std::string composed;
};

class PrivateFormTest : public CompositionTest,
                        public ::testing::WithParamInterface<CPrivateFormCase> {};

TEST_P(PrivateFormTest, ComposedTextSelectsThePrivateBranch) {
    MakeProfile("Proj", RulesFile("", ""));
    Associate(GetParam().view);
    if (GetParam().by_time)
        profile_.ComposePrivateBranchConfigSpecAtTime("7-Dec-2026.21:05:07", "jdoe");
    else
        profile_.ComposePrivateBranchConfigSpec("REL_1", "jdoe");
    EXPECT_EQ(profile_.config_spec(), GetParam().composed);
}

const std::string kTimed = kPrivateRules + "time 7-Dec-2026.21:05:07\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, PrivateFormTest,
    ::testing::Values(
        // Only load rules in the first column come along.
        CPrivateFormCase{"SelectorKeepsTheLoadRules",
                         InfoBlock(kProj, kViewId) + "\r\n\r\n" + kSectionHeader +
                             "load \\vobA\r\n  load \\vobB\r\nelement * /main/LATEST\r\n"
                             "load \\vobC\r\n" +
                             kEnd,
                         false,
                         PrivateBlock(kProj, kViewId, kPrivateRules) + kSectionHeader +
                             "load \\vobA\r\nload \\vobC\r\nelement * REL_1\r\n"
                             "element * \\main\\0\r\n" +
                             kEnd},
        CPrivateFormCase{"SelectorWithUserRules",
                         InfoBlock(kProj, kViewId) + kUserRule + kSectionHeader +
                             "element * /main/LATEST\r\n" + kEnd,
                         false,
                         DropLast(PrivateBlock(kProj, kViewId, kPrivateRules), 6) + "\r\n" +
                             kUserRule + kSectionHeader +
                             "element * REL_1\r\nelement * \\main\\0\r\n" + kEnd},
        // Each option goes with its branch and what follows on its line.
        CPrivateFormCase{"TimeDropsMkbranchOptionsAndAddsTheFallback",
                         DropLast(kEmptyView, kEnd.size()) +
                             "element * .../int/LATEST -mkbranch int -override\r\n"
                             "element * /main/LATEST\r\n" +
                             kEnd,
                         true,
                         PrivateBlock(kProj, kViewId, kTimed) + kSectionHeader +
                             "element * .../int/LATEST \r\nelement * /main/LATEST\r\n"
                             "element * \\main\\0\r\n" +
                             kEnd},
        CPrivateFormCase{"TimeKeepsAFallbackThatStoodBeforeAnOption",
                         DropLast(kEmptyView, kEnd.size()) +
                             "element * .../int/LATEST\r\nelement * \\main\\0 -mkbranch int\r\n" +
                             kEnd,
                         true,
                         PrivateBlock(kProj, kViewId, kTimed) + kSectionHeader +
                             "element * .../int/LATEST\r\nelement * \\main\\0 \r\n" + kEnd}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(CompositionTest, LoadRulesAreCollectedWithTheirIndentation) {
    profile_.set_config_spec(
        "element * CHECKEDOUT\r\n  load \\vobA\r\n\tload \\vobB\r\n# reload it\r\n"
        "element * /main/LATEST\r\nload \\vobC");
    profile_.CollectLoadRules();
    EXPECT_EQ(profile_.user_rules(), "\r\n\r\n  load \\vobA\r\n\tload \\vobB\r\nload \\vobC\r\n");
    profile_.set_config_spec("element * CHECKEDOUT\r\n");
    profile_.CollectLoadRules();
    EXPECT_EQ(profile_.user_rules(), "");
}

}  // namespace
}  // namespace kelmora::test

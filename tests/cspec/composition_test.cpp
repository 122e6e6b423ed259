#include <gtest/gtest.h>

#include "automation/view_profile.h"
#include "cspec/profile_site.h"

namespace kelmora::test {
namespace {

const std::string kId = kGuid + " 2.5";      // what the profile's GUID file says
const std::string kViewId = kGuid + " 1.4";  // what the view was composed from
const std::string kBranch = "element * ...\\jdoe\\LATEST\r\nmkbranch jdoe\r\n";
const std::string kTimed = kBranch + "time 7-Dec-2026.21:05:07\r\n";
const std::string kUserRule = "element \\vob\\u\\... REL_U\r\n";
const std::string kEmptyView = InfoBlock(kProj, kViewId) + "\r\n\r\n" + kSectionHeader;

enum class EForm { Profile, Selector, Time };

struct CComposeCase {
    const char* label;
    EForm form;
    std::string rules;         // the profile's Rules file
    std::string view;          // the view's config spec before
    std::string composed;      // empty: not compared
    std::string refusal = {};  // the message of a faulty profile
    std::string guid_text = kId;
};

class ComposeTest : public CProfileSiteTest, public ::testing::WithParamInterface<CComposeCase> {};

TEST_P(ComposeTest, ComposedTextIsTheOneWrittenOut) {
    const CComposeCase& c = GetParam();
    MakeProfile("Proj", c.rules, c.guid_text);
    CViewProfile profile;
    profile.SetViewTag(MakeView(c.view));
    ASSERT_EQ(profile.ReadAssociation(), TRUE) << ::testing::PrintToString(Messages());
    profile.SetErrorString("Compose: ");
    if (c.form == EForm::Profile) {
        EXPECT_EQ(profile.ComposeProfileConfigSpec(), c.refusal.empty() ? TRUE : FALSE);
    } else if (c.form == EForm::Selector) {
        profile.ComposePrivateBranchConfigSpec("REL_1", "jdoe");
    } else {
        profile.ComposePrivateBranchConfigSpecAtTime("7-Dec-2026.21:05:07", "jdoe");
    }
    if (!c.composed.empty()) {
        EXPECT_EQ(profile.config_spec(), c.composed);
    }
    EXPECT_EQ(Messages(), c.refusal.empty() ? std::vector<std::string>{}
                                            : std::vector<std::string>{"Compose: " + c.refusal});
}

const std::string kCorrupt =
    "Unable to determine the Profile revision level.  The contents\n"
    "of the Profile file has been corrupted:\n\n";
const std::string kNoProfileRules =
    "Corrupt Profile config spec, couldn't find Profile private rules.";
const std::string kView = kEmptyView + kEnd;

const std::string kLatestRule = "element * /main/LATEST\r\n";
const std::string kLatest = RulesFile("", kLatestRule);

// clang-format off
INSTANTIATE_TEST_SUITE_P(Forms, ComposeTest, ::testing::Values(
    // Private rules are trimmed; what follows the end marker is ignored.
    CComposeCase{"UserRulesWithLeadingLineEnd", EForm::Profile,
        RulesFile("\r\n  element \\vob\\a\\... REL_1 \r\n\r\n", "load \\vobA\r\n") + "element * junk\r\n",
        InfoBlock(kProj, kViewId) + kUserRule + kSectionHeader + kEnd,
        InfoBlock(kProj, kId) + kUserRule + kSectionHeader + "element \\vob\\a\\... REL_1\r\nload \\vobA\r\n" + kEnd},
    CComposeCase{"TextAfterTheSectionMovesAboveIt", EForm::Profile, kLatest, kEmptyView + kEnd + "load \\vobA\r\n",
        InfoBlock(kProj, kId) + "load \\vobA\r\n\r\n" + kSectionHeader + "\r\n" + kLatestRule + kEnd},
    // Only load rules in the first column come along.
    CComposeCase{"SelectorKeepsTheLoadRules", EForm::Selector, kLatest, InfoBlock(kProj, kViewId) + kUserRule +
        kSectionHeader + "load \\vobA\r\n  load \\vobB\r\n" + kLatestRule + "load \\vobC\r\n" + kEnd,
        BlockHead(kProj, kViewId) + kBranch + kClosing + kUserRule + kSectionHeader +
        "load \\vobA\r\nload \\vobC\r\nelement * REL_1\r\nelement * \\main\\0\r\n" + kEnd},
    // Each option goes with its branch and the rest of its line.
    CComposeCase{"TimeDropsMkbranchOptionsAndAddsTheFallback", EForm::Time, kLatest,
        kEmptyView + "element * .../int/LATEST -mkbranch int -override\r\n" + kLatestRule + kEnd,
        PrivateBlock(kProj, kViewId, kTimed) + kSectionHeader + "element * .../int/LATEST \r\n" + kLatestRule +
        "element * \\main\\0\r\n" + kEnd},
    CComposeCase{"TimeKeepsAFallbackThatStoodBeforeAnOption", EForm::Time, kLatest,
        kEmptyView + "element * .../int/LATEST\r\nelement * \\main\\0 -mkbranch int\r\n" + kEnd,
        PrivateBlock(kProj, kViewId, kTimed) + kSectionHeader + "element * .../int/LATEST\r\nelement * \\main\\0 \r\n" + kEnd},
    // What follows the section is a user rule already: written once.
    CComposeCase{"TimeWritesTheRulesAfterTheSectionOnce", EForm::Time, kLatest,
        kEmptyView + "element * \\main\\0 -mkbranch int\r\n" + kEnd + "load \\after\r\n",
        BlockHead(kProj, kViewId) + kTimed + kClosing + "load \\after\r\n\r\n" + kSectionHeader +
        "element * \\main\\0 \r\n" + kEnd},
    CComposeCase{"TimeDropsAnOptionThatEndsTheText", EForm::Time, kLatest, kEmptyView + "element * \\main\\0 -mkbranch int",
        PrivateBlock(kProj, kViewId, kTimed) + kSectionHeader + "element * \\main\\0 "},
    CComposeCase{"NoProfileHeader", EForm::Profile, "element * /main/LATEST\r\n", kView, "",
        "Corrupt Profile config spec, couldn't find private rules"},
    // The profile rules end at the end marker after the header.
    CComposeCase{"NoEndMarker", EForm::Profile, kLatest.substr(0, kLatest.size() - kEnd.size()), kView, "",
        kNoProfileRules},
    CComposeCase{"EndMarkerOnlyBeforeTheHeader", EForm::Profile,
        RulesFile(kEnd, "").substr(0, RulesFile(kEnd, "").size() - kEnd.size()), kView, "", kNoProfileRules},
    CComposeCase{"EmptyGuidFile", EForm::Profile, kLatest, kView, kView, kCorrupt + "\"\"", ""},
    // 256 characters do not fit the GUID buffer: the rest is no revision.
    CComposeCase{"OverlongGuid", EForm::Profile, kLatest, kView, kView,
        kCorrupt + "\"" + std::string(256, 'a') + " 1.2\"", std::string(256, 'a') + " 1.2"},
    CComposeCase{"RevisionBeyondAnInt", EForm::Profile, kLatest, kView, kView,
        kCorrupt + "\"" + kGuid + " 2.4294967301\"", kGuid + " 2.4294967301"}),
    [](const auto& info) { return std::string(info.param.label); });
// clang-format on

TEST_F(CProfileSiteTest, LoadRulesAreCollectedWithTheirIndentation) {
    CViewProfile profile;
    profile.set_config_spec(
        "element * CHECKEDOUT\r\n  load \\vobA\r\n\tload \\vobB\r\n# reload it\r\n"
        "element * /main/LATEST\r\nload \\vobC");
    profile.CollectLoadRules();
    EXPECT_EQ(profile.user_rules(), "\r\n\r\n  load \\vobA\r\n\tload \\vobB\r\nload \\vobC\r\n");
}

}  // namespace
}  // namespace kelmora::test

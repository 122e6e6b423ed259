// Rebuilding config specs that were edited outside the module.
#include <gtest/gtest.h>

#include "automation/log_reader.h"
#include "automation/view_profile.h"
#include "cspec/profile_site.h"

namespace kelmora::test {
namespace {

const std::string kId = kGuid + " 2.5";
const std::string kProfileRules =
    "element * .../int/LATEST -mkbranch int\r\nload \\vobA\r\nelement * /main/LATEST\r\n";
const std::string kBranch = "element * ...\\jdoe\\LATEST\r\nmkbranch jdoe\r\n";
const std::string kTime = "time 7-Dec-2026.21:05:07\r\n";
const std::string kComposed = kSectionHeader + "\r\n" + kProfileRules + kEnd;

// A block whose closing comment lost its trailing blanks in an editor.
std::string Damaged(const std::string& name, const std::string& private_rules,
                    const std::string& guid = kGuid) {
    return BlockHead(name, guid + " 1.1") + private_rules +
           "#\r\n#       Any modifications to this config spec should\r\n"
           "#       be made following this comment.\r\n# SM_PROJECT]\r\n";
}

// How each question begins.
const std::string kRecover = "Prefix: The config spec for the '";
const std::string kSalvage = "Unable to salvage config spec.\n\nWould you like to dissociate";
const std::string kDeleted = "The Stavemark View Profile to which this view is associated has been";

struct CRecoveryCase {
    const char* label;
    std::string view, answers;
    std::vector<std::string> questions;
    std::string rebuilt;  // the view's config spec after; empty: unchanged
    BOOL result = TRUE;
};

class RecoveryTest : public CProfileSiteTest,
                     public ::testing::WithParamInterface<CRecoveryCase> {};

TEST_P(RecoveryTest, DamagedConfigSpecIsRebuiltOrOfferedForDissociation) {
    const CRecoveryCase& c = GetParam();
    MakeProfile("Proj", RulesFile("", kProfileRules), kId);
    std::string tag = MakeView(c.view);
    CViewProfile profile;
    profile.SetViewTag(tag);
    profile.SetErrorString("Prefix: ");
    Answer(c.answers);
    EXPECT_EQ(profile.ReadAssociation(), c.rebuilt.empty() ? FALSE : c.result);
    ASSERT_EQ(ui_->shown().size(), c.questions.size()) << ::testing::PrintToString(Messages());
    for (size_t i = 0; i < c.questions.size(); ++i) {
        EXPECT_TRUE(ui_->shown()[i].text.starts_with(c.questions[i])) << ui_->shown()[i].text;
        EXPECT_EQ(ui_->shown()[i].style, 0x14u);
    }
    EXPECT_EQ(StoredSpec(tag), c.rebuilt.empty() ? c.view : c.rebuilt);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecoveryTest,
    ::testing::Values(
        CRecoveryCase{"SelectorForm",
                      Damaged(kProj, kBranch) + "element * REL_1\r\nelement * /main/LATEST\r\n",
                      "yes\n",
                      {kRecover},
                      PrivateBlock(kProj, kId, kBranch) + kSectionHeader +
                          "load \\vobA\r\nelement * REL_1\r\nelement * \\main\\0\r\n" + kEnd},
        CRecoveryCase{"TimeForm",
                      Damaged(kProj, kBranch + kTime) + "element * /main/LATEST\r\n",
                      "yes\n",
                      {kRecover},
                      PrivateBlock(kProj, kId, kBranch + kTime) + kSectionHeader +
                          "\r\nelement * .../int/LATEST \r\nload \\vobA\r\n"
                          "element * /main/LATEST\r\nelement * \\main\\0\r\n" +
                          kEnd},
        // The option is no private branch; the user's rule keeps its own line.
        CRecoveryCase{
            "MkbranchOptionsDoNotCount",
            Damaged(kProj, "") + "element * .../int/LATEST -mkbranch int\r\n" + kSectionHeader +
                "element * /main/LATEST\r\n" + kEnd,
            "yes\n",
            {kRecover},
            InfoBlock(kProj, kId) + "element * .../int/LATEST -mkbranch int\r\n" + kComposed},
        // The user's rules after the generated section are kept too.
        CRecoveryCase{
            "RulesAfterTheSectionStay",
            Damaged(kProj, "") + "element * MINE\r\n" + kSectionHeader + kEnd + "load \\after\r\n",
            "yes\n",
            {kRecover},
            InfoBlock(kProj, kId) + "element * MINE\r\n\r\nload \\after\r\n\r\n" + kComposed},
        CRecoveryCase{"ProfileFoundByGuid",
                      Damaged(kTop + "\\Gone", ""),
                      "yes\n",
                      {kRecover},
                      InfoBlock(kProj, kId) + "\r\n\r\n" + kComposed},
        CRecoveryCase{"TwoPlainMkbranchRules",
                      Damaged(kProj, kBranch) + "mkbranch fix\r\nelement * REL_1\r\n",
                      "yes\nno\n",
                      {kRecover, kSalvage},
                      ""},
        CRecoveryCase{"DeletedProfileKept",
                      Damaged(kTop + "\\Gone", "", "no-such-guid"),
                      "yes\nno\n",
                      {kRecover, kDeleted},
                      ""},
        // Yes to the dissociation shows the dissociate dialog, as the method does.
        CRecoveryCase{"DeletedProfileDissociated",
                      Damaged(kTop + "\\Gone", "", "no-such-guid") + "element * X  # mine\r\n",
                      "yes\nyes\nyes\n",
                      {kRecover, kDeleted},
                      "element * CHECKEDOUT\r\nelement * X  \r\n",
                      FALSE}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(CProfileSiteTest, WithDisplaySuppressedNothingIsRebuilt) {
    MakeProfile("Proj", RulesFile("", kProfileRules), kId);
    std::string tag = MakeView(Damaged(kProj, ""));
    COperationLogTail log;
    CViewProfile profile;
    profile.SetViewTag(tag);
    profile.SuppressErrorDisplay(TRUE);
    Answer("yes\n");  // nobody is asked
    EXPECT_EQ(profile.ReadAssociation(), FALSE);
    EXPECT_TRUE(log.Text().starts_with("The config spec for the '" + tag + "' view has been"))
        << log.Text();
    EXPECT_EQ(ui_->shown().size(), 0u);
    EXPECT_EQ(StoredSpec(tag), Damaged(kProj, ""));
}

}  // namespace
}  // namespace kelmora::test

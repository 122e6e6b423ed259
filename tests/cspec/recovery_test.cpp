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
const std::string kPrivateRules = "element * ...\\jdoe\\LATEST\r\nmkbranch jdoe\r\n";
const std::string kTime = "time 7-Dec-2026.21:05:07\r\n";
const std::string kComposed = kSectionHeader + "\r\n" + kProfileRules + kEnd;

// A block whose closing comment lost its trailing blanks in an editor.
// clang-format off
std::string DamagedBlock(const std::string& name, const std::string& private_rules,
                         const std::string& guid = kGuid) {
    return "# [SM_PROJECT - Stavemark View Profile Information\r\n"
           "#        Name - " + name + "\r\n"
           "#        ID - " + guid + " 1.1\r\n"
           "#\r\n"
           "element * CHECKEDOUT\r\n" + private_rules +
           "#\r\n"
           "#       Any modifications to this config spec should\r\n"
           "#       be made following this comment.\r\n"
           "# SM_PROJECT]\r\n";
}
// clang-format on

enum class EQuestion { Recover, Salvage, Deleted };

std::string QuestionText(EQuestion question, const std::string& tag) {
    switch (question) {
        case EQuestion::Recover:
            return "Prefix: The config spec for the '" + tag +
                   "' view has been modified outside\n"
                   "of the Stavemark View Profile tools, and can no longer be interpreted by the "
                   "tools.\n\nWould you like to attempt an automatic recovery of the config spec?";
        case EQuestion::Salvage:
            return "Unable to salvage config spec.\n\n"
                   "Would you like to dissociate this view from its Stavemark View Profile?";
        case EQuestion::Deleted:
            return "The Stavemark View Profile to which this view is associated has been "
                   "deleted.\n\n"
                   "Would you like to dissociate the view from its Stavemark View Profile?";
    }
    return {};
}

struct CRecoveryCase {
    const char* label;
    std::string view;
    std::string answers;
    std::vector<EQuestion> questions;
    std::string rebuilt;  // the view's config spec after; empty: unchanged
};

class RecoveryTest : public CProfileSiteTest, public ::testing::WithParamInterface<CRecoveryCase> {
protected:
    void SetUp() override {
        CProfileSiteTest::SetUp();
        MakeProfile("Proj", RulesFile("", kProfileRules), kId);
    }
};

TEST_P(RecoveryTest, DamagedConfigSpecIsRebuiltOrOfferedForDissociation) {
    const CRecoveryCase& c = GetParam();
    std::string tag = MakeView(c.view);
    CViewProfile profile;
    profile.SetViewTag(tag);
    profile.SetErrorString("Prefix: ");
    Answer(c.answers);
    EXPECT_EQ(profile.ReadAssociation(), c.rebuilt.empty() ? FALSE : TRUE);
    std::vector<std::string> asked;
    for (EQuestion q : c.questions) asked.push_back(QuestionText(q, tag));
    EXPECT_EQ(Messages(), asked);
    for (const CShownBox& box : ui_->shown()) EXPECT_EQ(box.style, 0x14u);
    EXPECT_EQ(StoredSpec(tag), c.rebuilt.empty() ? c.view : c.rebuilt);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecoveryTest,
    ::testing::Values(
        CRecoveryCase{
            "SelectorForm",
            DamagedBlock(kProj, kPrivateRules) + "element * REL_1\r\nelement * /main/LATEST\r\n",
            "yes\n",
            {EQuestion::Recover},
            PrivateBlock(kProj, kId, kPrivateRules) + kSectionHeader +
                "load \\vobA\r\nelement * REL_1\r\nelement * \\main\\0\r\n" + kEnd},
        CRecoveryCase{"TimeForm",
                      DamagedBlock(kProj, kPrivateRules + kTime) + "element * /main/LATEST\r\n",
                      "yes\n",
                      {EQuestion::Recover},
                      PrivateBlock(kProj, kId, kPrivateRules + kTime) + kSectionHeader +
                          "\r\nelement * .../int/LATEST \r\nload \\vobA\r\n"
                          "element * /main/LATEST\r\nelement * \\main\\0\r\n" +
                          kEnd},
        // The option is no private branch; the user's rule keeps its own line.
        CRecoveryCase{
            "MkbranchOptionsDoNotCount",
            DamagedBlock(kProj, "") + "element * .../int/LATEST -mkbranch int\r\n" +
                kSectionHeader + "element * /main/LATEST\r\n" + kEnd,
            "yes\n",
            {EQuestion::Recover},
            InfoBlock(kProj, kId) + "element * .../int/LATEST -mkbranch int\r\n" + kComposed},
        CRecoveryCase{"ProfileFoundByGuid",
                      DamagedBlock(kTop + "\\Gone", "") + "element * /main/LATEST\r\n",
                      "yes\n",
                      {EQuestion::Recover},
                      InfoBlock(kProj, kId) + "\r\n\r\n" + kComposed},
        CRecoveryCase{"TwoPlainMkbranchRules",
                      DamagedBlock(kProj, kPrivateRules) + "mkbranch fix\r\nelement * REL_1\r\n",
                      "yes\nno\n",
                      {EQuestion::Recover, EQuestion::Salvage},
                      ""},
        CRecoveryCase{"DeclinedAtFirst", DamagedBlock(kProj, ""), "no\n", {EQuestion::Recover}, ""},
        CRecoveryCase{"DeletedProfileKept",
                      DamagedBlock(kTop + "\\Gone", "", "no-such-guid"),
                      "yes\nno\n",
                      {EQuestion::Recover, EQuestion::Deleted},
                      ""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(CProfileSiteTest, DeletedProfileIsDissociatedAsTheMethodDoes) {
    std::string damaged =
        DamagedBlock(kTop + "\\Gone", "", "no-such-guid") + "element * /main/LATEST  # mine\r\n";
    std::string tag = MakeView(damaged);
    CViewProfile profile;
    profile.SetViewTag(tag);
    Answer("yes\nyes\nyes\n");  // recover, dissociate, the dialog's Yes
    EXPECT_EQ(profile.ReadAssociation(), FALSE);
    EXPECT_EQ(StoredSpec(tag), "element * CHECKEDOUT\r\nelement * /main/LATEST  \r\n");
    EXPECT_NE(ui_->output().find("Dissociate from Stavemark View Profile"), std::string::npos);
}

TEST_F(CProfileSiteTest, WithDisplaySuppressedNothingIsRebuilt) {
    MakeProfile("Proj", RulesFile("", kProfileRules), kId);
    std::string damaged = DamagedBlock(kProj, "") + "element * /main/LATEST\r\n";
    std::string tag = MakeView(damaged);
    COperationLogTail log;
    CViewProfile profile;
    profile.SetViewTag(tag);
    profile.SetErrorString("Prefix: ");
    profile.SuppressErrorDisplay(TRUE);
    Answer("yes\n");  // nobody is asked
    EXPECT_EQ(profile.ReadAssociation(), FALSE);
    EXPECT_EQ(log.Text(), QuestionText(EQuestion::Recover, tag) + "\n");
    EXPECT_EQ(Messages(), std::vector<std::string>{});
    EXPECT_EQ(StoredSpec(tag), damaged);
}

}  // namespace
}  // namespace kelmora::test

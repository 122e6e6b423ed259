#include <gtest/gtest.h>

#include "automation/log_reader.h"
#include "automation/view_profile.h"
#include "cspec/profile_site.h"
#include "resources/string_table.h"

namespace kelmora::test {
namespace {

const std::string kRuntime = kTop + "\\Runtime Tools";
const std::string kBranch = "element * ...\\jdoe\\LATEST\r\nmkbranch jdoe\r\n";
const std::string kSection = kSectionHeader + "element * REL_1\r\nelement * \\main\\0\r\n" + kEnd;

class AssociationTest : public CProfileSiteTest {
protected:
    void SetUp() override {
        CProfileSiteTest::SetUp();
        MakeProfile("Proj", RulesFile("", ""));
        MakeProfile("Runtime Tools", RulesFile("", ""), "b7c2e9d0-1a4f-4b3e-8c5d-6e7f8091a2b3 1.0");
    }
};

struct CReadCase {
    const char* label;
    std::string view;
    std::string name, branch_point;
};

class ReadAssociationTest : public AssociationTest,
                            public ::testing::WithParamInterface<CReadCase> {};

TEST_P(ReadAssociationTest, FieldsComeFromTheBlockAndTheSections) {
    const CReadCase& c = GetParam();
    CViewProfile profile;
    profile.SetViewTag(MakeView(c.view));
    ASSERT_EQ(profile.ReadAssociation(), TRUE) << ::testing::PrintToString(Messages());
    EXPECT_EQ(profile.profile_name(), c.name);
    EXPECT_EQ(profile.profile_guid(), kGuid);
    EXPECT_EQ(std::pair(profile.revision_major(), profile.revision_minor()), std::pair(3, 4));
    EXPECT_EQ(profile.private_branch(), "jdoe");
    EXPECT_EQ(profile.branch_point(), c.branch_point);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadAssociationTest,
    ::testing::Values(
        CReadCase{"BranchPointFromTheTimeRule",
                  PrivateBlock(kProj, kGuid + " 3.4", kBranch + "time 7-Dec-2026.21:05:07\r\n") +
                      kSection,
                  kProj, "7-Dec-2026.21:05:07"},
        CReadCase{"LoadRuleFirstGivesNoBranchPoint",
                  PrivateBlock(kProj, kGuid + " 3.4", kBranch) + kSectionHeader +
                      "load \\vobA\r\nelement * REL_1\r\n" + kEnd,
                  kProj, ""},
        // Only rule lines count: the "time" in the profile's name is no branch point;
        // the generated section's first rule is.
        CReadCase{"ProfileNameHoldingTime",
                  PrivateBlock(kRuntime, kGuid + " 3.4", kBranch) + kSection, kRuntime, "REL_1"}),
    [](const auto& info) { return std::string(info.param.label); });

const std::string kNote = "# notes for \\Stavemark View Profiles\\Proj\r\n";

// Also when the recorded name stands earlier in the text, as "Stavemark" in line 1.
TEST_F(AssociationTest, MovedProfileIsFollowedAndOnlyTheNameLineChanges) {
    CCommandOutput mv = RunCommand({BuiltProgram("vptree"), "--root", root_, "mv", kProj, "Moved"});
    ASSERT_EQ(mv.exit_code, 0) << mv.err;
    for (const std::string& old_name : {kProj, std::string("Stavemark")}) {
        std::string tag = MakeView(InfoBlock(old_name, kGuid + " 2.5") + kNote + kSection);
        CViewProfile profile;
        profile.SetViewTag(tag);
        Answer("");
        EXPECT_EQ(profile.ReadAssociation(), TRUE);
        ASSERT_EQ(Messages().size(), 1u);
        EXPECT_NE(Messages()[0].find("has moved from:\n\n        " + old_name +
                                     "\nto:\n        \\Stavemark View Profiles\\Moved\n"),
                  std::string::npos)
            << Messages()[0];
        EXPECT_EQ(StoredSpec(tag), InfoBlock(kTop + "\\Moved", kGuid + " 2.5") + kNote + kSection);
        // The next reader reads the corrected text again.
        EXPECT_EQ(profile.association_read(), FALSE);
        EXPECT_EQ(profile.GetProfileName(), kTop + "\\Moved");
        EXPECT_EQ(profile.association_read(), TRUE);
    }
}

// Markers, templates and the scan pattern are file format, never translated.
TEST_F(AssociationTest, LanguagePackLeavesTheFileFormatSoSynchronizeKeepsTheUserRules) {
    std::string pack;
    for (unsigned id : {22, 23, 25, 26, 27, 31, 32, 33, 34, 36, 38, 39, 40, 57399}) {
        std::string text = "#DE " + std::string(BuiltinString(id)), escaped;
        for (char c : text)
            escaped += c == '\r'   ? "\\r"
                       : c == '\n' ? "\\n"
                       : c == '\\' ? "\\\\"
                                   : std::string(1, c);
        pack += CatalogueEntry(id, escaped);
    }
    WriteTextFile(temp_ / "de.cat", pack);
    ASSERT_TRUE(LoadStringCatalogue(temp_ / "de.cat"));
    const std::string mine = "element \\vob\\u\\... REL_U\r\n";
    std::string tag = MakeView(InfoBlock(kProj, kGuid + " 2.4") + mine + kSection);
    CViewProfile profile;
    profile.SetViewTag(tag);
    BOOL synchronized = profile.Synchronize(FALSE);
    UnloadStringCatalogue();
    EXPECT_EQ(synchronized, TRUE) << ::testing::PrintToString(Messages());
    EXPECT_EQ(StoredSpec(tag),
              InfoBlock(kProj, kGuid + " 2.5") + mine + kSectionHeader + "\r\n" + kEnd);
}

const std::string kId = kGuid + " 2.5";
const std::string kProfileRules =
    "element * .../int/LATEST -mkbranch int\r\nload \\vobA\r\nelement * /main/LATEST\r\n";
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
    bool suppressed = false;  // nobody is asked: the first question is logged
    unsigned style = 0x14;    // of every box
};

class RecoveryTest : public CProfileSiteTest,
                     public ::testing::WithParamInterface<CRecoveryCase> {};

TEST_P(RecoveryTest, DamagedConfigSpecIsRebuiltOrOfferedForDissociationAndALostProfileIsSaid) {
    const CRecoveryCase& c = GetParam();
    MakeProfile("Proj", RulesFile("", kProfileRules), kId);
    std::string tag = MakeView(c.view);
    CViewProfile profile;
    profile.SetViewTag(tag);
    profile.SetErrorString("Prefix: ");
    profile.SuppressErrorDisplay(c.suppressed ? TRUE : FALSE);
    Answer(c.answers);
    COperationLogTail log;
    EXPECT_EQ(profile.ReadAssociation(), c.rebuilt.empty() ? FALSE : c.result);
    EXPECT_EQ(
        log.Text().find("The config spec for the '" + tag + "' view has been") != std::string::npos,
        c.suppressed)
        << log.Text();
    ASSERT_EQ(ui_->shown().size(), c.questions.size()) << ::testing::PrintToString(Messages());
    for (size_t i = 0; i < c.questions.size(); ++i) {
        EXPECT_TRUE(ui_->shown()[i].text.starts_with(c.questions[i])) << ui_->shown()[i].text;
        EXPECT_EQ(ui_->shown()[i].style, c.style);
    }
    EXPECT_EQ(StoredSpec(tag), c.rebuilt.empty() ? c.view : c.rebuilt);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, RecoveryTest, ::testing::Values(
    CRecoveryCase{"SelectorForm", Damaged(kProj, kBranch) + "element * REL_1\r\nelement * /main/LATEST\r\n",
        "yes\n", {kRecover}, PrivateBlock(kProj, kId, kBranch) + kSectionHeader +
        "load \\vobA\r\nelement * REL_1\r\nelement * \\main\\0\r\n" + kEnd},
    CRecoveryCase{"TimeForm", Damaged(kProj, kBranch + kTime) + "element * /main/LATEST\r\n", "yes\n",
        {kRecover}, PrivateBlock(kProj, kId, kBranch + kTime) + kSectionHeader + "\r\nelement * "
        ".../int/LATEST \r\nload \\vobA\r\nelement * /main/LATEST\r\nelement * \\main\\0\r\n" + kEnd},
    // The option is no private branch; the user's rule keeps its own line.
    CRecoveryCase{"MkbranchOptionsDoNotCount", Damaged(kProj, "") + "element * .../int/LATEST -mkbranch int\r\n" +
        kSectionHeader + "element * /main/LATEST\r\n" + kEnd, "yes\n", {kRecover},
        InfoBlock(kProj, kId) + "element * .../int/LATEST -mkbranch int\r\n" + kComposed},
    // The user's rules after the generated section are kept too.
    CRecoveryCase{"RulesAfterTheSectionStay", Damaged(kProj, "") + "element * MINE\r\n" + kSectionHeader + kEnd +
        "load \\after\r\n", "yes\n", {kRecover},
        InfoBlock(kProj, kId) + "element * MINE\r\n\r\nload \\after\r\n\r\n" + kComposed},
    CRecoveryCase{"OnlyRulesAfterTheSection", Damaged(kProj, "") + kSectionHeader + kEnd + "load \\after\r\n", "yes\n",
        {kRecover}, InfoBlock(kProj, kId) + "load \\after\r\n\r\n" + kComposed},
    CRecoveryCase{"ProfileFoundByGuid", Damaged(kTop + "\\Gone", ""), "yes\n", {kRecover},
        InfoBlock(kProj, kId) + "\r\n\r\n" + kComposed},
    CRecoveryCase{"TwoPlainMkbranchRules", Damaged(kProj, kBranch) + "mkbranch fix\r\nelement * REL_1\r\n",
        "yes\nno\n", {kRecover, kSalvage}, ""},
    CRecoveryCase{"DeletedProfileKept", Damaged(kTop + "\\Gone", "", "no-such-guid"), "yes\nno\n",
        {kRecover, kDeleted}, ""},
    // Yes to the dissociation shows the dissociate dialog, as the method does.
    CRecoveryCase{"DeletedProfileDissociated", Damaged(kTop + "\\Gone", "", "no-such-guid") +
        "element * X  # mine\r\n", "yes\nyes\nyes\n", {kRecover, kDeleted},
        "element * CHECKEDOUT\r\nelement * X  \r\n", FALSE},
    CRecoveryCase{"WithDisplaySuppressedNothingIsRebuilt", Damaged(kProj, ""), "yes\n", {}, "", TRUE, true},
    // An intact block whose profile is gone by name and GUID is only said.
    CRecoveryCase{"DeletedProfileIsSaid", InfoBlock(kTop + "\\Gone", "no-such-guid 2.5") + kSection, "",
        {"Prefix: The Stavemark View Profile associated with this view:\n\\Stavemark View Profiles\\Gone\n"
        "was not found."}, "", TRUE, false, 0x10}),
    [](const auto& info) { return std::string(info.param.label); });
// clang-format on

}  // namespace
}  // namespace kelmora::test

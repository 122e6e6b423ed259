// Reading the association back from a view's config spec, and following a
// profile that moved or vanished.
#include <gtest/gtest.h>

#include <filesystem>

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
    std::string name;
    int minor;
    std::string branch, branch_point, user_rules;
};

class ReadAssociationTest : public AssociationTest,
                            public ::testing::WithParamInterface<CReadCase> {};

TEST_P(ReadAssociationTest, FieldsComeFromTheBlockAndTheSections) {
    const CReadCase& c = GetParam();
    CViewProfile profile;
    profile.SetViewTag(MakeView(c.view));
    ASSERT_EQ(profile.ReadAssociation(), TRUE) << ::testing::PrintToString(Messages());
    EXPECT_EQ(profile.association_read(), TRUE);
    EXPECT_EQ(profile.profile_name(), c.name);
    EXPECT_EQ(profile.profile_guid(), kGuid);
    EXPECT_EQ(std::pair(profile.revision_major(), profile.revision_minor()), std::pair(3, c.minor));
    EXPECT_EQ(profile.private_branch(), c.branch);
    EXPECT_EQ(profile.branch_point(), c.branch_point);
    EXPECT_EQ(profile.user_rules(), c.user_rules);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadAssociationTest,
    ::testing::Values(
        CReadCase{"BranchPointFromTheTimeRule",
                  PrivateBlock(kProj, kGuid + " 3.4", kBranch + "time 7-Dec-2026.21:05:07\r\n") +
                      kSection,
                  kProj, 4, "jdoe", "7-Dec-2026.21:05:07", ""},
        CReadCase{"BranchPointFromTheGeneratedSection",
                  PrivateBlock(kProj, kGuid + " 3.4", kBranch) + kSection, kProj, 4, "jdoe",
                  "REL_1", ""},
        CReadCase{"LoadRuleFirstGivesNoBranchPoint",
                  PrivateBlock(kProj, kGuid + " 3.4", kBranch) + kSectionHeader +
                      "load \\vobA\r\nelement * REL_1\r\n" + kEnd,
                  kProj, 4, "jdoe", "", ""},
        // Only rule lines count: the "time" in the profile's name is no branch point.
        CReadCase{"ProfileNameHoldingTime",
                  PrivateBlock(kRuntime, kGuid + " 3.4", kBranch) + kSection, kRuntime, 4, "jdoe",
                  "REL_1", ""},
        CReadCase{"UserRulesAndTextAfterTheSection",
                  InfoBlock(kProj, kGuid + " 3.2") + "element \\vob\\u\\... REL_U\r\n" + kSection +
                      "load \\vobA\r\n",
                  kProj, 2, "", "", "\r\nelement \\vob\\u\\... REL_U\r\n\r\nload \\vobA\r\n\r\n"}),
    [](const auto& info) { return std::string(info.param.label); });

const std::string kNote = "# notes for \\Stavemark View Profiles\\Proj\r\n";
const std::string kAssociated = InfoBlock(kProj, kGuid + " 2.5") + kNote + kSection;

// Also when the recorded name stands earlier in the text, as "Stavemark" in line 1.
TEST_F(AssociationTest, MovedProfileIsFollowedAndOnlyTheNameLineChanges) {
    CCommandOutput mv = RunCommand({BuiltProgram("vptree"), "--root", root_, "mv", kProj, "Moved"});
    ASSERT_EQ(mv.exit_code, 0) << mv.err;
    for (const std::string& old_name : {kProj, std::string("Stavemark")}) {
        std::string tag = MakeView(InfoBlock(old_name, kGuid + " 2.5") + kNote + kSection);
        CViewProfile profile;
        profile.SetViewTag(tag);
        profile.SetErrorString("Prefix: ");
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

// Markers, templates and the scan pattern are file format: a language pack
// that translates every one of them changes nothing that a view holds.
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

TEST_F(AssociationTest, DeletedProfileIsReportedBehindThePrefix) {
    std::string tag = MakeView(kAssociated);
    std::filesystem::remove_all(root_ + "/Stavemark View Profiles/Proj");
    CViewProfile profile;
    profile.SetViewTag(tag);
    profile.SetErrorString("Prefix: ");
    EXPECT_EQ(profile.ReadAssociation(), FALSE);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_TRUE(
        Messages()[0].starts_with("Prefix: The Stavemark View Profile associated with "
                                  "this view:\n\\Stavemark View Profiles\\Proj\nwas not found."))
        << Messages()[0];
    EXPECT_EQ(ui_->shown().at(0).style, 0x10u);
    EXPECT_EQ(StoredSpec(tag), kAssociated);
}

}  // namespace
}  // namespace kelmora::test

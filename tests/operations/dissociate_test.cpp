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

// The FALSE answers: what is said, shown or logged, and that the view keeps its text.
struct CRefusalCase {
    const char* label;
    BOOL (*run)(CViewProfile&);
    int view;  // 0: none named, 1: a tag that names no view, 2: a view of spec
    std::string spec;
    std::vector<std::string> said;  // "%s" for the tag; "log: " for the log's text
    bool suppressed = false;
    std::string guid_text = kGuid + " 2.5";  // the profile's GUID file
};

class RefusalTest : public CProfileSiteTest, public ::testing::WithParamInterface<CRefusalCase> {};

TEST_P(RefusalTest, AnswersFalseAndLeavesTheView) {
    const CRefusalCase& c = GetParam();
    MakeProfile("Proj", RulesFile("", ""), c.guid_text);
    const std::string tag = c.view == 2 ? MakeView(c.spec) : UniqueName("missing");
    COperationLogTail log;
    CViewProfile profile;
    if (c.view) profile.SetViewTag(tag);
    profile.SuppressErrorDisplay(c.suppressed ? TRUE : FALSE);
    EXPECT_EQ(c.run(profile), FALSE);
    std::vector<std::string> said = Messages();
    if (!log.Text().empty()) said.push_back("log: " + log.Text());
    for (std::string& text : said)
        for (size_t at; (at = text.find(tag)) != std::string::npos;)
            text.replace(at, tag.size(), "%s");
    EXPECT_EQ(said, c.said);
    if (c.view == 2) {
        EXPECT_EQ(StoredSpec(tag), c.spec);
    }
}

const std::string kNoView = "No view/workspace was specified for the current operation.";
const std::string kNoDissociate =
    "Cannot dissociate this view from its Stavemark View Profile.\n\n";
const std::string kNoSync = "Cannot synchronize the '%s' view with its Stavemark View Profile.\n\n";
const std::string kUnassociated = "element * /main/LATEST # mine\r\n";
constexpr auto Dissociate = [](CViewProfile& p) { return p.Dissociate(); };
constexpr auto Associate = [](CViewProfile& p) { return p.Associate(); };
constexpr auto Synchronize = [](CViewProfile& p) { return p.Synchronize(FALSE); };
constexpr auto SynchronizeAtStartUp = [](CViewProfile& p) { return p.Synchronize(TRUE); };
constexpr auto IsAssociated = [](CViewProfile& p) { return p.IsAssociated(); };
constexpr auto IsOnPrivateBranch = [](CViewProfile& p) { return p.IsOnPrivateBranch(); };

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, RefusalTest, ::testing::Values(
    // Dissociate's refusals are shown even with display suppressed.
    CRefusalCase{"DissociateNoView", Dissociate, 0, "", {kNoDissociate + kNoView}, true},
    CRefusalCase{"AssociateNoView", Associate, 0, "",
        {"Cannot modify this view's Stavemark View Profile association.\n\n" + kNoView}, true},
    CRefusalCase{"AssociateKeptWhenTheUserSaysNo", Associate, 2, kAssociated,
        {"The '%s' view is already associated with the Stavemark\nView Profile: " + kProj + "\n\nDo you want to change this association?"}},
    CRefusalCase{"DissociateNotAssociated", Dissociate, 2, kUnassociated, {kNoDissociate +
        "The '%s' view is not currently associated with a Stavemark\nView Profile."}, true},
    CRefusalCase{"IsAssociatedNoViewIsLogged", IsAssociated, 0, "", {"log: Can not determine if the view is "
        "associated.\n\n" + kNoView + "\n"}, true},
    CRefusalCase{"IsOnPrivateBranchNoSuchView", IsOnPrivateBranch, 1, "", {"Can not determine if the view is "
        "on private branch.\n\nError getting view handle.\n\nNo view \"%s\" exists (stavetool lsview lists the views).\n"}},
    CRefusalCase{"IsOnPrivateBranchNoViewIsShown", IsOnPrivateBranch, 0, "", {"Can not determine if the "
        "view is on private branch.\n\n" + kNoView}, true},
    CRefusalCase{"SynchronizeNoView", Synchronize, 0, "", {"Cannot synchronize the '' view with its "
        "Stavemark View Profile.\n\n" + kNoView}},
    CRefusalCase{"SynchronizeNoSuchView", Synchronize, 1, "", {kNoSync + "Error getting view handle.\n\nNo "
        "view \"%s\" exists (stavetool lsview lists the views).\n"}},
    CRefusalCase{"SynchronizeNotAssociated", Synchronize, 2, kUnassociated, {"The 'synchronize' operation "
        "is only available in views that\nare associated with a Stavemark View Profile.\n\nThe '%s' view "
        "is not associated with a\nStavemark View Profile."}},
    CRefusalCase{"SynchronizeNotAssociatedAtStartUpSaysNothing", SynchronizeAtStartUp, 2, kUnassociated, {}},
    CRefusalCase{"SynchronizeCorruptGuidFile", Synchronize, 2, kAssociated, {"Unable to determine "
        "the Profile revision level.  The contents\nof the Profile file has been corrupted:\n\n\"2.6\""},
        false, "2.6"}),
    [](const auto& info) { return std::string(info.param.label); });
// clang-format on

// A workspace whose update tool cannot start after the composed text was set gets its own back.
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
    EXPECT_EQ(profile_.GetNextVOB(), "");      // past the end, again and again
    EXPECT_EQ(Enumerate(), GetParam().tags);   // GetFirstVOB starts over
    EXPECT_EQ(profile_.GetDescription(), "");  // a missing description is no error either
    EXPECT_EQ(Messages(), std::vector<std::string>{});
}

TEST_F(ProfileQueriesTest, TheFirstQueryFindsTheTreeAndGivesTheDescription) {
    WriteProfileFile("Proj", "Description", "The compiler.");
    EXPECT_EQ(profile_.GetDescription(), "The compiler.");
}

INSTANTIATE_TEST_SUITE_P(Files, VobListTest,
                         ::testing::Values(CVobListCase{"MixedSeparators",
                                                        "\\vobA, \\vobB\r\n\r\n\\VobC\t",
                                                        {"\\vobA", "\\vobB", "\\VobC"}},
                                           CVobListCase{"NoFile", nullptr, {}}),
                         [](const auto& info) { return std::string(info.param.label); });

// A list that cannot be read enumerates as empty.
TEST_F(ProfileQueriesTest, ListIsReadOnceUntilADissociation) {
    WriteProfileFile("Proj", "VOB List", "\\vobA");
    EXPECT_EQ(Enumerate(), std::vector<std::string>{"\\vobA"});
    std::filesystem::remove(root_ + "/Stavemark View Profiles/Proj/VOB List");
    std::filesystem::create_directory(root_ + "/Stavemark View Profiles/Proj/VOB List");
    EXPECT_EQ(Enumerate(), std::vector<std::string>{"\\vobA"});
    ASSERT_EQ(profile_.DissociationStep(), TRUE);
    EXPECT_EQ(Enumerate(), std::vector<std::string>{});
}

}  // namespace
}  // namespace kelmora::test

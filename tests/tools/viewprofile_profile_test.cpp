// The profile queries and Dissociate through the shipped host, on this test
// process's client database and a real profile tree.
#include <gtest/gtest.h>

#include "cspec/profile_site.h"

namespace kelmora::test {
namespace {

const std::string kAssociated = InfoBlock(kProj, kGuid + " 2.5") +
                                "element \\vob\\u\\... REL_U # mine\r\n" + kSectionHeader + kEnd;

struct CHostCase {
    const char* label;
    std::string spec;
    std::vector<std::string> call;
    std::string input, out;
    std::string stored = {};  // the view's config spec after; empty: unchanged
};

class ViewProfileSiteTest : public CProfileSiteTest,
                            public ::testing::WithParamInterface<CHostCase> {};

TEST_P(ViewProfileSiteTest, PrintsTheAnswerAndExitsByIt) {
    const CHostCase& c = GetParam();
    MakeProfile("Proj", RulesFile("", ""));
    WriteProfileFile("Proj", "Description", "The compiler.");
    WriteProfileFile("Proj", "VOB List", "\\vobA, \\vobB\r\n");
    std::string tag = MakeView(c.spec);
    std::vector<std::string> argv{BuiltProgram("viewprofile"), "--view", tag};
    argv.insert(argv.end(), c.call.begin(), c.call.end());
    CCommandOutput run = RunCommand(argv, c.input);
    EXPECT_EQ(run.out, c.out) << run.err;
    EXPECT_EQ(run.exit_code, c.out == "FALSE\n" ? 1 : 0);
    EXPECT_EQ(StoredSpec(tag), c.stored.empty() ? c.spec : c.stored);
}

const std::string kDissociated = "element * CHECKEDOUT\r\nelement \\vob\\u\\... REL_U \r\n";

INSTANTIATE_TEST_SUITE_P(
    Calls, ViewProfileSiteTest,
    ::testing::Values(
        CHostCase{"GetProfileName", kAssociated, {"GetProfileName"}, "", kProj + "\n"},
        CHostCase{"IsAssociated", kAssociated, {"IsAssociated"}, "", "TRUE\n"},
        CHostCase{
            "IsAssociatedAfterABlankLine", "\r\n" + kAssociated, {"IsAssociated"}, "", "FALSE\n"},
        CHostCase{"IsOnPrivateBranch", kAssociated, {"IsOnPrivateBranch"}, "", "FALSE\n"},
        CHostCase{"GetDescription", kAssociated, {"GetDescription"}, "", "The compiler.\n"},
        CHostCase{"GetFirstVOB", kAssociated, {"GetFirstVOB"}, "", "\\vobA\n"},
        CHostCase{"DissociateYes", kAssociated, {"Dissociate"}, "yes\n", "TRUE\n", kDissociated},
        CHostCase{"DissociateNo", kAssociated, {"Dissociate"}, "no\n", "FALSE\n"},
        CHostCase{"DissociateAtEndOfInput", kAssociated, {"Dissociate"}, "", "FALSE\n"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace kelmora::test

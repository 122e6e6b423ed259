// The profile queries and Dissociate through the shipped host, on this test
// process's client database and a real profile tree.
#include <gtest/gtest.h>

#include "cspec/profile_site.h"

namespace kelmora::test {
namespace {

const std::string kAssociated = InfoBlock(kProj, kGuid + " 2.5") +
                                "element \\vob\\u\\... REL_U # mine\r\n" + kSectionHeader +
                                "element * /main/LATEST\r\n" + kEnd;

class ViewProfileSiteTest : public CProfileSiteTest {
protected:
    void SetUp() override {
        CProfileSiteTest::SetUp();
        MakeProfile("Proj", RulesFile("", ""));
        WriteProfileFile("Proj", "Description", "The compiler.");
        WriteProfileFile("Proj", "VOB List", "\\vobA, \\vobB\r\n");
    }
    static CCommandOutput Run(const std::vector<std::string>& args, const std::string& input = "") {
        std::vector<std::string> argv{BuiltProgram("viewprofile")};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunCommand(argv, input);
    }
};

struct CQueryCase {
    const char* method;
    bool associated;
    std::string out;
    int exit_code;
};

class ViewProfileQueryTest : public ViewProfileSiteTest,
                             public ::testing::WithParamInterface<CQueryCase> {};

TEST_P(ViewProfileQueryTest, PrintsTheAnswer) {
    const CQueryCase& c = GetParam();
    std::string tag = MakeView(c.associated ? kAssociated : "element * /main/LATEST\r\n");
    CCommandOutput run = Run({"--view", tag, c.method});
    EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, "");
}

INSTANTIATE_TEST_SUITE_P(Methods, ViewProfileQueryTest,
                         ::testing::Values(CQueryCase{"GetProfileName", true, kProj + "\n", 0},
                                           CQueryCase{"IsAssociated", true, "TRUE\n", 0},
                                           CQueryCase{"IsAssociated", false, "FALSE\n", 1},
                                           CQueryCase{"IsOnPrivateBranch", true, "FALSE\n", 1},
                                           CQueryCase{"GetDescription", true, "The compiler.\n", 0},
                                           CQueryCase{"GetFirstVOB", true, "\\vobA\n", 0},
                                           CQueryCase{"GetNextVOB", true, "", 0}),
                         [](const auto& info) {
                             return std::string(info.param.method) +
                                    (info.param.associated ? "" : "Unassociated");
                         });

TEST_F(ViewProfileSiteTest, DiagramPathIsUnderTheProfileFolder) {
    CCommandOutput run = Run({"--view", MakeView(kAssociated), "GetDiagramPName"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, root_ + "/Stavemark View Profiles/Proj/Diagram\n");
}

struct CDissociateCase {
    const char* label;
    const char* input;
    bool dissociated;
};

class ViewProfileDissociateTest : public ViewProfileSiteTest,
                                  public ::testing::WithParamInterface<CDissociateCase> {};

TEST_P(ViewProfileDissociateTest, TheDialogsAnswerComesFromStandardInput) {
    std::string tag = MakeView(kAssociated);
    CCommandOutput run = Run({"--view", tag, "Dissociate"}, GetParam().input);
    EXPECT_EQ(run.out, GetParam().dissociated ? "TRUE\n" : "FALSE\n");
    EXPECT_EQ(run.exit_code, GetParam().dissociated ? 0 : 1);
    EXPECT_NE(run.err.find("+-- Dissociate from Stavemark View Profile [dialog]\n"
                           "| Removing the association between a view\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(StoredSpec(tag), GetParam().dissociated
                                   ? "element * CHECKEDOUT\r\nelement \\vob\\u\\... REL_U \r\n"
                                     "element * /main/LATEST\r\n"
                                   : kAssociated);
    CCommandOutput after = Run({"--view", tag, "IsAssociated"});
    EXPECT_EQ(after.out, GetParam().dissociated ? "FALSE\n" : "TRUE\n");
}

INSTANTIATE_TEST_SUITE_P(Answers, ViewProfileDissociateTest,
                         ::testing::Values(CDissociateCase{"Yes", "yes\n", true},
                                           CDissociateCase{"No", "no\n", false},
                                           CDissociateCase{"EndOfInput", "", false}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace kelmora::test

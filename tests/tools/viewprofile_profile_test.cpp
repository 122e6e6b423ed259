// Associate and Synchronize through the shipped host on a real profile tree.
#include <gtest/gtest.h>

#include <algorithm>

#include "automation/log_reader.h"
#include "cspec/profile_site.h"
#include "platform/format.h"
#include "platform/fs.h"
#include "tools/tool_fixture.h"

namespace kelmora::test {
namespace {

const std::string kLatest = "element * /main/LATEST\r\n";
// What associating a view without rules of its own with Proj at 2.5 writes.
const std::string kComposed =
    InfoBlock(kProj, kGuid + " 2.5") + "\r\n\r\n" + kSectionHeader + "\r\n" + kLatest + kEnd;
const std::string kTyped = kProj + "\n";
std::string OnBranch(const std::string& revision) {
    return PrivateBlock(kProj, kGuid + " " + revision,
                        "element * ...\\jdoe\\LATEST\r\nmkbranch jdoe\r\n") +
           kSectionHeader + "element * REL_1\r\n" + kEnd;
}
const std::string kOnBranch = OnBranch("2.5"), kBranchBehind = OnBranch("2.4");
// A comment may hold any byte: what follows a NUL is the view's all the same.
const std::string kNulRules = std::string("# a\0b\r\nelement \\vob\\v\\... REL_V\r\n", 33);
const std::string kAfter = "element \\vob\\w\\... REL_W\r\n";

struct CHostCase {
    const char* label;
    std::string spec;
    std::vector<std::string> call;
    std::string input, out;
    std::string stored = {};  // the view's config spec after; empty: unchanged
    std::string asked = {};   // part of what the console showed
};

class ViewProfileSiteTest : public CProfileSiteTest,
                            public ::testing::WithParamInterface<CHostCase> {};

TEST_P(ViewProfileSiteTest, PrintsTheAnswerAndExitsByIt) {
    const CHostCase& c = GetParam();
    MakeProfile("Proj", RulesFile("", kLatest));
    std::string tag = MakeView(c.spec);
    // A call that names its own view or workspace goes without this one.
    CCommandOutput run = OnView(c.call[0].starts_with("--") ? "" : tag, c.call, c.input);
    EXPECT_EQ(run.out, c.out) << run.err;
    EXPECT_EQ(run.exit_code, c.out == "FALSE\n" || c.out.empty() ? 1 : 0);
    EXPECT_EQ(StoredSpec(tag), c.stored.empty() ? c.spec : c.stored);
    EXPECT_TRUE(Holds(run.err, c.asked));
}

const std::string kNulSpec =
    InfoBlock(kProj, kGuid + " 2.4") + kNulRules + kSectionHeader + kEnd + kAfter;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Calls, ViewProfileSiteTest, ::testing::Values(
    // A failed call prints no result; a path outside any workspace is shown even suppressed.
    CHostCase{"PathOutsideAnyWorkspaceIsShownEvenSuppressed", kLatest,
        {"--workspace", "/not/a/workspace", "--suppress-errors", "GetConfigSpec"}, "", "", "",
        "[stop]\n| Error determining the view tag for the workspace path\n| '/not/a/workspace'\n"},
    CHostCase{"AssociateComposes", kLatest, {"Associate"}, kTyped, "TRUE\n", kComposed},
    CHostCase{"AssociateUnknown", kLatest, {"Associate"}, "\\Nope\n", "FALSE\n", "", "| \\Nope.\n"},
    CHostCase{"AssociateBranch", kOnBranch, {"Associate"}, "yes\nno\n", "FALSE\n", "", "a private\n"},
    CHostCase{"SyncReadsPastANul", kNulSpec, {"Synchronize", "0"}, "", "TRUE\n", InfoBlock(kProj, kGuid + " 2.5") +
        kNulRules + "\r\n" + kAfter + "\r\n" + kSectionHeader + "\r\n" + kLatest + kEnd},
    CHostCase{"SyncBranch", kBranchBehind, {"Synchronize", "0"}, "", "FALSE\n", "", "finish\n|"}),
    [](const auto& info) { return std::string(info.param.label); });
// clang-format on

class ViewProfileSyncTest : public CProfileSiteTest {};

TEST_F(ViewProfileSyncTest, AViewFollowsTheRevisionOfASavedProfile) {
    MakeProfile("Proj", RulesFile("", kLatest));
    const std::string tag = MakeView(kComposed), more = "element * \\main\\0\r\n";
    WriteTextFile(temp_ / "rules", RulesFile("", kLatest + more));
    ASSERT_EQ(RunProgram("vptree", {"set", kProj, "Rules", "--file", temp_ / "rules"}).exit_code,
              0);
    ASSERT_EQ(RunProgram("vptree", {"save", kProj}).exit_code, 0);
    const std::string told = "| The '" + tag + "' view is %s up-to-date with respect to\n";

    // At start-up with nobody to ask, the update is offered in the log only.
    COperationLogTail log;
    CCommandOutput deferred = OnView(tag, {"--suppress-errors", "Synchronize", "1"});
    EXPECT_EQ(deferred.out, "FALSE\n");
    EXPECT_TRUE(
        Holds(log.Text(), "View Profile\n'" + kProj + "' has been modified.\n\nThe '" + tag +
                              "' view is associated with this profile,\nand should be updated"));
    EXPECT_EQ(StoredSpec(tag), kComposed);

    const std::string updated = InfoBlock(kProj, kGuid + " 2.6") + "\r\n\r\n" + kSectionHeader +
                                "\r\n" + kLatest + more + kEnd;
    for (const char* now : {"now", "already"}) {
        CCommandOutput run = OnView(tag, {"Synchronize", "0"});
        EXPECT_EQ(run.out, "TRUE\n") << run.err;
        EXPECT_TRUE(Holds(run.err, FormatPrintf(told.c_str(), now)));
        EXPECT_EQ(StoredSpec(tag), updated);
    }
}

TEST_F(ViewProfileSyncTest, AWorkspaceIsWrittenThenEditedThenUpdatedByTheTool) {
    MakeProfile("Proj", RulesFile("", kLatest));
    const std::string path = temp_ / "my ws", tag = UniqueName("ws"), log = temp_ / "tools.log";
    ASSERT_EQ(client::CreateWorkspace(tag, path), TBS_ST_OK);
    ASSERT_EQ(client::SetConfigSpecText(tag, kLatest + "load \\vobA\r\n"), TBS_ST_OK);
    CScopedEnv tool_log("KELMORA_TOOL_LOG", log);
    CChildProcess host({BuiltProgram("viewprofile"), "--workspace", path, "Associate"}, true);
    ASSERT_TRUE(host.Write(kProj + "\n"));
    bool editing = false;
    for (int lines = 0; !editing && lines < 100; ++lines)
        editing = host.ReadLine().find("Stavemark Config Spec Editor: " + tag) != std::string::npos;
    ASSERT_TRUE(editing);
    // The view's load rules came along; the tool has not run yet.
    EXPECT_EQ(StoredSpec(tag), InfoBlock(kProj, kGuid + " 2.5") + "\r\nload \\vobA\r\n\r\n" +
                                   kSectionHeader + "\r\n" + kLatest + kEnd);
    EXPECT_FALSE(PathExists(log));

    ASSERT_TRUE(host.Write("edit\nelement * CHECKEDOUT\nload \\vobB\n.\ndone\n"));
    EXPECT_EQ(host.Finish(), 0);
    EXPECT_EQ(StoredSpec(tag), "element * CHECKEDOUT\r\nload \\vobB\r\n");
    // The tool ran once; how it was started is shown where the view is written.
    const std::string runs = ReadTextFile(log);
    EXPECT_EQ(std::count(runs.begin(), runs.end(), '\n'), 1) << runs;
}

}  // namespace
}  // namespace kelmora::test

// MountProfileVOBs through the shipped host, VOBs made and faulted with stavetool.
#include <gtest/gtest.h>

#include "client/trfs_driver.h"
#include "cspec/profile_site.h"
#include "tools/tool_fixture.h"

namespace kelmora::test {
namespace {

using Args = std::vector<std::string>;

// The mount client's line for each of the VOBs named by their last letter.
std::string Mounting(const std::string& vobs) {
    std::string lines;
    for (char vob : vobs) lines += std::string("Mounting TRFS filesystem \\vob") + vob + ".\n";
    return lines;
}
std::string Notice(const std::string& vobs) {
    std::string box =
        "+-- kelmora [information]\n| The following Stavemark View Profile VOB(s) "
        "have been mounted:\n|\n";
    for (char vob : vobs) box += std::string("| \tvob") + vob + "\n";
    return box + "|\n+-- [OK] \n";
}
const std::string kFailed = "Error 0x3e9 trying to mount VOB '\\vobB'.";
const std::string kFailedBox = "+-- kelmora [exclamation]\n| ", kOk = "\n+-- [OK] \n";
const std::string kFailure = "Unable to mount: operation failed\n",
                  kTwoFailures = kFailure + kFailure;

struct CMountCase {
    const char* label;
    std::vector<Args> setup;  // stavetool runs before the call
    Args call;                // viewprofile's options, the method and its argument
    std::string mounted;      // after the call, by last letter
    std::string out, err, log = {}, pauses = {};
};

class MountProfileVobsTest : public CProfileSiteTest,
                             public ::testing::WithParamInterface<CMountCase> {
protected:
    // The profile lists \vobA, \vobB and \vobC; the view "v" is associated.
    void SetUp() override {
        CProfileSiteTest::SetUp();
        MakeProfile("Proj", RulesFile("", ""));
        WriteProfileFile("Proj", "VOB List", "\\vobA, \\vobB\r\n\\vobC\r\n");
        WriteTextFile(temp_ / "view.cs", InfoBlock(kProj, kGuid + " 2.5"));
        for (const Args& args : std::vector<Args>{{"mkvob", "\\vobA", temp_ / "a"},
                                                  {"mkvob", "\\vobB", temp_ / "b"},
                                                  {"mkvob", "\\vobC", temp_ / "c"},
                                                  {"mkview", "v"},
                                                  {"setcs", "v", temp_ / "view.cs"}})
            ASSERT_EQ(RunProgram("stavetool", args).exit_code, 0) << args[0];
    }
    std::string Mounted() const {
        std::vector<client::CTrfsMount> mounts;
        EXPECT_EQ(client::ListTrfsMounts(&mounts), TBS_ST_OK);
        std::string tags;
        for (const auto& mount : mounts) tags += mount.tag.back();
        return tags;
    }
    CScopedHome home_;
};

TEST_P(MountProfileVobsTest, MountsWhatIsNotMountedAndTellsWhat) {
    const CMountCase& c = GetParam();
    for (const Args& args : c.setup)
        ASSERT_EQ(RunProgram("stavetool", args).exit_code, 0) << args[0];
    CScopedEnv preload("LD_PRELOAD", BuiltProgram("libsleep_recorder.so"));
    CScopedEnv sleeps("KELMORA_SLEEP_LOG", temp_ / "sleeps");
    CCommandOutput run = OnView("v", c.call);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.exit_code, c.out.ends_with("FALSE\n") ? 1 : 0);
    const std::string log = home_.path() + "/log/viewprofile_log";
    EXPECT_EQ(std::filesystem::exists(log) ? ReadTextFile(log) : "", c.log);
    const std::string pauses = temp_ / "sleeps";
    EXPECT_EQ(std::filesystem::exists(pauses) ? ReadTextFile(pauses) : "", c.pauses);
    EXPECT_EQ(Mounted(), c.mounted);
}

const Args kCall = {"MountProfileVOBs", ""};
const Args kFailTwice = {"mountfault", "\\vobB", "2"};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Runs, MountProfileVobsTest, ::testing::Values(
    CMountCase{"ArgumentNamesTheProfileOfAnUnassociatedView",
        {{"mount", "\\vobA"}, {"setcs", "v", "/dev/null"}}, {"MountProfileVOBs", kProj}, "ABC",
        Mounting("BC") + "TRUE\n", Notice("BC")},
    CMountCase{"ArgumentThatNamesNoProfileIsSaid", {}, {"MountProfileVOBs", kProj + "X"}, "",
        "FALSE\n", kFailedBox + "Could not find a valid Stavemark View Profile at\n| " + kProj +
        "X.\n|\n| Try using the 'browse' button to locate the desired\n| Stavemark View Profile." +
        kOk},
    CMountCase{"SecondTryAfterThePauseIsListedLast", {{"mountfault", "\\vobB", "1"}}, kCall, "ABC",
        Mounting("ABCB") + "TRUE\n", kFailure + Notice("ACB"), "",
        "2000\n"},
    CMountCase{"SecondFailureIsReportedInHexBehindThePrefix", {{"mount", "\\vobA"}, kFailTwice},
        {"--error-prefix", "Mount: ", "MountProfileVOBs", ""}, "AC", Mounting("BCB") + "TRUE\n",
        kTwoFailures + kFailedBox + "Mount: " + kFailed + kOk + Notice("C"), "", "2000\n"},
    CMountCase{"ParameterTenSilencesTheNoticeOnly",
        {kFailTwice, {"setting", "set", "--param", "10", "1"}}, kCall, "AC",
        Mounting("ABCB") + "TRUE\n", kTwoFailures + kFailedBox + kFailed + kOk, "", "2000\n"},
    CMountCase{"SuppressedReportsGoToTheLog", {kFailTwice},
        {"--suppress-errors", "MountProfileVOBs", ""}, "AC", Mounting("ABCB") + "TRUE\n",
        kTwoFailures, kFailed + "\nThe following Stavemark View Profile VOB(s) have been "
        "mounted:\n\n\tvobA\n\tvobC\n", "2000\n"}),
    [](const auto& info) { return std::string(info.param.label); });
// clang-format on

}  // namespace
}  // namespace kelmora::test

// MountProfileVOBs through the shipped host: a real profile tree, VOBs made,
// mounted and faulted with stavetool, and a view associated by hand.
#include <gtest/gtest.h>

#include <chrono>

#include "client/trfs_driver.h"
#include "cspec/profile_site.h"

namespace kelmora::test {
namespace {

const std::vector<std::string> kVobs = {"\\vobA", "\\vobB", "\\vobC"};
const std::string kUnassociated = "element * CHECKEDOUT\r\n";

std::string Mounting(const std::string& tag) {
    return "Mounting TRFS filesystem " + tag + ".\n";
}
const std::string kUnableToMount = "Unable to mount: operation failed\n";
const std::string kNoticeHead =
    "+-- kelmora [information]\n"
    "| The following Stavemark View Profile VOB(s) have been mounted:\n"
    "|\n";
const std::string kBoxEnd = "|\n+-- [OK] \n";
const std::string kVobBFailed = "Error 0x3e9 trying to mount VOB '\\vobB'.";

struct CMountCase {
    const char* label;
    std::vector<std::string> mounted_before, faults;  // a fault: TAG COUNT
    std::vector<std::string> options;                 // of viewprofile
    std::string out, err;
    std::string log = {}, pauses = {}, spec = {}, argument = {};
    bool notice_off = false;
};

class MountProfileVobsTest : public CProfileSiteTest,
                             public ::testing::WithParamInterface<CMountCase> {
protected:
    static CCommandOutput Stavetool(std::vector<std::string> args) {
        args.insert(args.begin(), BuiltProgram("stavetool"));
        return RunCommand(args);
    }
    // The view and its profile's VOBs, made as a user makes them.
    std::string MakeSite(const std::string& spec) {
        MakeProfile("Proj", RulesFile("", ""));
        WriteProfileFile("Proj", "VOB List", "\\vobA, \\vobB\r\n\\vobC\r\n");
        for (const std::string& tag : kVobs)
            EXPECT_EQ(Stavetool({"mkvob", tag, temp_ / tag.substr(1)}).exit_code, 0);
        const std::string view = UniqueName("v");
        WriteTextFile(temp_ / "view.cs", spec);
        EXPECT_EQ(Stavetool({"mkview", view}).exit_code, 0);
        EXPECT_EQ(Stavetool({"setcs", view, temp_ / "view.cs"}).exit_code, 0);
        return view;
    }
    CCommandOutput MountProfileVobs(const std::string& view, const CMountCase& c) {
        std::vector<std::string> argv{BuiltProgram("viewprofile"), "--view", view};
        argv.insert(argv.end(), c.options.begin(), c.options.end());
        argv.insert(argv.end(), {"MountProfileVOBs", c.argument});
        return RunCommand(argv);
    }
    CScopedHome home_;
};

TEST_P(MountProfileVobsTest, MountsTheUnmountedAndTellsWhatItMounted) {
    const CMountCase& c = GetParam();
    const std::string view = MakeSite(c.spec.empty() ? InfoBlock(kProj, kGuid + " 2.5") : c.spec);
    for (const std::string& tag : c.mounted_before)
        ASSERT_EQ(Stavetool({"mount", tag}).exit_code, 0);
    for (size_t i = 0; i < c.faults.size(); i += 2)
        ASSERT_EQ(Stavetool({"mountfault", c.faults[i], c.faults[i + 1]}).exit_code, 0);
    if (c.notice_off) {
        ASSERT_EQ(Stavetool({"setting", "set", "--param", "10", "1"}).exit_code, 0);
    }

    CScopedEnv preload("LD_PRELOAD", BuiltProgram("libsleep_recorder.so"));
    CScopedEnv sleep_log("KELMORA_SLEEP_LOG", temp_ / "sleeps");
    CCommandOutput run = MountProfileVobs(view, c);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.exit_code, c.out.ends_with("FALSE\n") ? 1 : 0);
    const std::string log = home_.path() + "/log/viewprofile_log";
    EXPECT_EQ(std::filesystem::exists(log) ? ReadTextFile(log) : "", c.log);
    EXPECT_EQ(std::filesystem::exists(temp_ / "sleeps") ? ReadTextFile(temp_ / "sleeps") : "",
              c.pauses);
    // Only a VOB faulted for both tries stays unmounted.
    for (const std::string& tag : kVobs) {
        client::CTrfsMount mount;
        const bool failed_twice = !c.faults.empty() && c.faults[0] == tag && c.faults[1] == "2";
        EXPECT_EQ(client::FindTrfsMount(tag, &mount), failed_twice ? TBS_ST_NOT_FOUND : TBS_ST_OK)
            << tag;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, MountProfileVobsTest,
    ::testing::Values(
        CMountCase{"AllMountedAlreadyShowsNothing", kVobs, {}, {}, "FALSE\n", ""},
        CMountCase{"OnlyTheUnmountedAreMountedAndListed",
                   {"\\vobA"},
                   {},
                   {},
                   Mounting("\\vobB") + Mounting("\\vobC") + "TRUE\n",
                   kNoticeHead + "| \tvobB\n| \tvobC\n" + kBoxEnd},
        CMountCase{"ArgumentNamesTheProfileOfAnUnassociatedView",
                   {"\\vobA", "\\vobB"},
                   {},
                   {},
                   Mounting("\\vobC") + "TRUE\n",
                   kNoticeHead + "| \tvobC\n" + kBoxEnd,
                   "",
                   "",
                   kUnassociated,
                   kProj},
        CMountCase{"SecondTryAfterAPauseMountsAndIsListedLast",
                   {},
                   {"\\vobB", "1"},
                   {},
                   Mounting("\\vobA") + Mounting("\\vobB") + Mounting("\\vobC") +
                       Mounting("\\vobB") + "TRUE\n",
                   kUnableToMount + kNoticeHead + "| \tvobA\n| \tvobC\n| \tvobB\n" + kBoxEnd,
                   "",
                   "2000\n"},
        CMountCase{"SecondFailureIsReportedInHexBehindThePrefix",
                   {"\\vobA"},
                   {"\\vobB", "2"},
                   {"--error-prefix", "Mount: "},
                   Mounting("\\vobB") + Mounting("\\vobC") + Mounting("\\vobB") + "TRUE\n",
                   kUnableToMount + kUnableToMount + "+-- kelmora [exclamation]\n| Mount: " +
                       kVobBFailed + "\n+-- [OK] \n" + kNoticeHead + "| \tvobC\n" + kBoxEnd,
                   "",
                   "2000\n"},
        CMountCase{"ParameterTenSilencesTheNoticeNotTheFailure",
                   {},
                   {"\\vobB", "2"},
                   {},
                   Mounting("\\vobA") + Mounting("\\vobB") + Mounting("\\vobC") +
                       Mounting("\\vobB") + "TRUE\n",
                   kUnableToMount + kUnableToMount + "+-- kelmora [exclamation]\n| " + kVobBFailed +
                       "\n+-- [OK] \n",
                   "",
                   "2000\n",
                   "",
                   "",
                   true},
        CMountCase{"SuppressedReportsGoToTheLog",
                   {"\\vobC"},
                   {"\\vobB", "2"},
                   {"--suppress-errors"},
                   Mounting("\\vobA") + Mounting("\\vobB") + Mounting("\\vobB") + "TRUE\n",
                   kUnableToMount + kUnableToMount,
                   kVobBFailed +
                       "\nThe following Stavemark View Profile VOB(s) have been mounted:\n\n"
                       "\tvobA\n",
                   "2000\n"}),
    [](const auto& info) { return std::string(info.param.label); });

// The one run on the real clock: the second try comes two seconds later.
class MountProfileVobsSlow : public MountProfileVobsTest {};

TEST_F(MountProfileVobsSlow, SecondTryWaitsTwoRealSeconds) {
    const std::string view = MakeSite(InfoBlock(kProj, kGuid + " 2.5"));
    ASSERT_EQ(Stavetool({"mountfault", "\\vobA", "1"}).exit_code, 0);
    const auto start = std::chrono::steady_clock::now();
    CCommandOutput run =
        MountProfileVobs(view, CMountCase{"", {}, {}, {"--suppress-errors"}, "", ""});
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(run.out.ends_with("TRUE\n")) << run.out << run.err;
    EXPECT_GE(waited, std::chrono::milliseconds(2000));
    client::CTrfsMount mount;
    EXPECT_EQ(client::FindTrfsMount("\\vobA", &mount), TBS_ST_OK);
}

}  // namespace
}  // namespace kelmora::test

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_env.h"

namespace kelmora::test {
namespace {

CCommandOutput Stavetool(std::vector<std::string> args) {
    args.insert(args.begin(), BuiltProgram("stavetool"));
    return RunCommand(args);
}

// Each test its own tag, so that they can share one client database.
std::string Tag(const char* base) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string tag = std::string(base) + "_" + info->name();
    for (char& c : tag) {
        if (c == '/') c = '_';
    }
    return tag;
}

constexpr char kConfigSpec[] =
    "# caf\xC3\xA9\r\n"
    "element * CHECKEDOUT\r\n"
    "element * /main/LATEST\r\n";

TEST(StavetoolTest, ConfigSpecRoundTripsByteForByte) {
    CTempDir dir;
    const std::string tag = Tag("v1");
    WriteTextFile(dir / "cs", kConfigSpec);
    CCommandOutput made = Stavetool({"mkview", tag});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    CCommandOutput set = Stavetool({"setcs", tag, dir / "cs"});
    ASSERT_EQ(set.exit_code, 0) << set.err;
    CCommandOutput cat = Stavetool({"catcs", tag});
    ASSERT_EQ(cat.exit_code, 0) << cat.err;
    EXPECT_EQ(cat.out, kConfigSpec);
}

TEST(StavetoolTest, UnparsableConfigSpecIsRefusedAndTheOldOneKept) {
    CTempDir dir;
    const std::string tag = Tag("v1");
    WriteTextFile(dir / "good", kConfigSpec);
    WriteTextFile(dir / "bad", "element * CHECKEDOUT\nelement * /main/LATEST\nend mkbranch\n");
    ASSERT_EQ(Stavetool({"mkview", tag}).exit_code, 0);
    ASSERT_EQ(Stavetool({"setcs", tag, dir / "good"}).exit_code, 0);

    CCommandOutput refused = Stavetool({"setcs", tag, dir / "bad"});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find("Syntax error on line 3, near column 1,"), std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("stavetool: "), std::string::npos) << refused.err;

    CCommandOutput cat = Stavetool({"catcs", tag});
    ASSERT_EQ(cat.exit_code, 0) << cat.err;
    EXPECT_EQ(cat.out, kConfigSpec);
}

TEST(StavetoolTest, HelpDescribesTheCommands) {
    CCommandOutput help = Stavetool({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    for (const char* command : {"setting", "mkview", "mkws", "rmview", "lsview", "setcs", "catcs"})
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
    EXPECT_EQ(help.err, "");
}

class StavetoolUsageTest : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(StavetoolUsageTest, MisuseExitsWithTwoAndSaysSo) {
    CCommandOutput run = Stavetool(GetParam());
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.err.rfind("stavetool: ", 0), 0u) << run.err;
    EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Misuse, StavetoolUsageTest,
    ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"frobnicate"},
                      std::vector<std::string>{"mkview"},
                      std::vector<std::string>{"mkview", "a", "b"},
                      std::vector<std::string>{"mkview", "--force", "a"},
                      std::vector<std::string>{"mkws", "a"}, std::vector<std::string>{"setcs", "a"},
                      std::vector<std::string>{"catcs"}, std::vector<std::string>{"lsview", "x"},
                      std::vector<std::string>{"setting"},
                      std::vector<std::string>{"setting", "frob", "x"},
                      std::vector<std::string>{"setting", "get"},
                      std::vector<std::string>{"setting", "get", "--machine", "x"},
                      std::vector<std::string>{"setting", "set", "a", "b", "c", "d"}));

TEST(StavetoolTest, OperationsOnAMissingViewFailWithOne) {
    CTempDir dir;
    WriteTextFile(dir / "cs", kConfigSpec);
    const std::string tag = Tag("none");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"catcs", tag}, {"setcs", tag, dir / "cs"}, {"rmview", tag}}) {
        CCommandOutput run = Stavetool(args);
        EXPECT_EQ(run.exit_code, 1) << args[0];
        EXPECT_NE(run.err.find("stavetool: no view \"" + tag + "\""), std::string::npos) << run.err;
    }
}

TEST(StavetoolTest, SetcsOfAMissingFileFails) {
    CTempDir dir;
    const std::string tag = Tag("v");
    ASSERT_EQ(Stavetool({"mkview", tag}).exit_code, 0);
    CCommandOutput run = Stavetool({"setcs", tag, dir / "missing"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.err.find("cannot read"), std::string::npos) << run.err;
}

TEST(StavetoolTest, ViewsAndWorkspacesAreListedAndRemoved) {
    CTempDir dir;
    const std::string view = Tag("dyn"), ws = Tag("ws");
    ASSERT_EQ(Stavetool({"mkview", view}).exit_code, 0);
    CCommandOutput made = Stavetool({"mkws", ws, dir / "root"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    EXPECT_EQ(Stavetool({"mkview", view}).exit_code, 1);

    CCommandOutput list = Stavetool({"lsview"});
    ASSERT_EQ(list.exit_code, 0) << list.err;
    auto line_of = [&](const std::string& tag) {
        size_t start = list.out.find(tag + " ");
        if (start == std::string::npos) return std::string();
        return list.out.substr(start, list.out.find('\n', start) - start);
    };
    EXPECT_NE(line_of(view).find(" dynamic "), std::string::npos) << list.out;
    EXPECT_NE(line_of(ws).find(" workspace "), std::string::npos) << list.out;
    EXPECT_NE(line_of(ws).find(dir / "root"), std::string::npos) << list.out;

    ASSERT_EQ(Stavetool({"rmview", view}).exit_code, 0);
    ASSERT_EQ(Stavetool({"rmview", ws}).exit_code, 0);
    list = Stavetool({"lsview"});
    EXPECT_EQ(line_of(view), "");
    EXPECT_EQ(line_of(ws), "");
}

TEST(StavetoolTest, SettingsAreKeptPerHive) {
    ASSERT_EQ(Stavetool({"setting", "set", "ProjectRoot", "/srv/profiles"}).exit_code, 0);
    CCommandOutput get = Stavetool({"setting", "get", "ProjectRoot"});
    EXPECT_EQ(get.exit_code, 0) << get.err;
    EXPECT_EQ(get.out, "/srv/profiles\n");

    const std::string key = "Software\\" + Tag("Browser") + "\\Current Selection";
    ASSERT_EQ(Stavetool({"setting", "set", "--user", key, "Folder", "-dash value"}).exit_code, 0);
    get = Stavetool({"setting", "get", "--user", key, "Folder"});
    EXPECT_EQ(get.exit_code, 0) << get.err;
    EXPECT_EQ(get.out, "-dash value\n");
    EXPECT_EQ(Stavetool({"setting", "get", key, "Folder"}).exit_code, 1);

    ASSERT_EQ(Stavetool({"setting", "unset", "--user", key, "Folder"}).exit_code, 0);
    get = Stavetool({"setting", "get", "--user", key, "Folder"});
    EXPECT_EQ(get.exit_code, 1);
    EXPECT_NE(get.err.find("stavetool: no setting"), std::string::npos) << get.err;
}

}  // namespace
}  // namespace kelmora::test

#include "platform/process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "support/test_env.h"

namespace kelmora {
namespace {

TEST(RunProcessAndWait, PassesArgumentsWithBlanksIntactAndReportsTheExit) {
    test::CTempDir dir;
    std::string out = dir / "args";
    auto result = RunProcessAndWait({"/bin/sh", "-c", "printf '%s|' \"$@\" > \"$0\"; exit 7", out,
                                     "-ws", "/a path/with blanks", "x"});
    ASSERT_TRUE(result.started);
    EXPECT_EQ(result.exit_code, 7);
    EXPECT_FALSE(result.Succeeded());
    EXPECT_EQ(test::ReadTextFile(out), "-ws|/a path/with blanks|x|");

    auto missing = RunProcessAndWait({"kelmora-no-such-program"});
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.error, ENOENT);

    // With SIGCHLD ignored the kernel takes the exit status: it ran all the same.
    struct sigaction ignore {
    }, saved{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGCHLD, &ignore, &saved);
    auto unknown = RunProcessAndWait({"/bin/sh", "-c", "exit 3"});
    sigaction(SIGCHLD, &saved, nullptr);
    EXPECT_TRUE(unknown.started);
    EXPECT_EQ(unknown.error, ECHILD);
    EXPECT_EQ(unknown.exit_code, -1);
}

TEST(StartDetached, LeavesNoZombieAndReportsMissingProgram) {
    test::CTempDir dir;
    std::string marker = dir / "ran";
    int error = -1;
    ASSERT_TRUE(StartDetached({"/bin/sh", "-c", "touch \"$0\"", marker}, &error));
    EXPECT_EQ(error, 0);
    // Once it has ended it is reaped: nothing is left to wait for.
    test::ReapDetachedChildrenOnceEnded();
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_TRUE(PathExists(marker));

    EXPECT_FALSE(StartDetached({"kelmora-no-such-program"}, &error));
    EXPECT_EQ(error, ENOENT);
}

TEST(SplitCommandLine, KeepsQuotedPathsWhole) {
    const std::pair<const char*, std::vector<std::string>> kCases[] = {
        {"staveviewupdate -ws \"/w s/x\" -cspec /tmp/c -quick",
         {"staveviewupdate", "-ws", "/w s/x", "-cspec", "/tmp/c", "-quick"}},
        {"-avobs \\\\host\\view", {"-avobs", "\\\\host\\view"}},
        {"a \"\" b", {"a", "", "b"}},
        {"say \\\"hi\\\"", {"say", "\"hi\""}},
        {"   ", {}}};
    for (const auto& [line, expected] : kCases) EXPECT_EQ(SplitCommandLine(line), expected) << line;
}

// An empty PATH entry is the current folder; a name with a slash is not looked up.
TEST(FindProgramOnPath, TakesTheFirstExecutableFileAlongPath) {
    test::CTempDir dir;
    for (const char* folder : {"a", "b", "c", "c/tool"}) ASSERT_TRUE(MakeDirectory(dir / folder));
    test::WriteTextFile(dir / "a/tool", "not executable");
    test::WriteTextFile(dir / "b/tool", "#!/bin/sh\n");
    chmod((dir / "b/tool").c_str(), 0755);
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir / "b");
    const struct {
        std::string path, name, found;
    } kCases[] = {{dir / "a:" + dir / "c:" + dir / "b", "tool", dir / "b/tool"},
                  {dir / "a:", "tool", "./tool"},
                  {dir / "a::" + dir / "c", "tool", "./tool"},
                  {dir / "a", "tool", ""},
                  {dir / "a", dir / "b/tool", dir / "b/tool"},
                  {dir / "b", dir / "a/tool", ""}};
    for (const auto& c : kCases) {
        test::CScopedEnv path("PATH", c.path);
        EXPECT_EQ(FindProgramOnPath(c.name), c.found) << c.path << " " << c.name;
    }
    std::filesystem::current_path(cwd);
}

}  // namespace
}  // namespace kelmora

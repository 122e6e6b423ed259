#include "client/messages.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "client/client_test_util.h"
#include "platform/env.h"
#include "platform/fs.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

// Ends the process's log whatever the test's path out.
class CLogScope {
public:
    explicit CLogScope(const std::string& path) : status_(imsg_start_log_file(path.c_str(), 0)) {}
    ~CLogScope() { imsg_end_log_file(); }
    tbs_status_t status() const { return status_; }

private:
    tbs_status_t status_;
};

// A log that cannot be opened is reported.
TEST(MessagesTest, LogsTakePrecedenceAreAppendedToAndEndWhenAnotherStarts) {
    CTempDir dir;
    WriteTextFile(dir / "one", "earlier entry\n");
    CCapturedOutput output;
    {
        CLogScope one(dir / "one");
        ASSERT_EQ(one.status(), TBS_ST_OK);
        imsg_print(IMSG_KIND_ERROR, "%s\n", -1, "error");
        imsg_print(IMSG_KIND_INFO, "info\n", -1);
        CLogScope two(dir / "two");
        ASSERT_EQ(two.status(), TBS_ST_OK);
        imsg_print(IMSG_KIND_ERROR, "b\n", -1);
    }
    imsg_print(IMSG_KIND_ERROR, "%s\n", -1, "after the logs");
    EXPECT_EQ(ReadTextFile(dir / "one"), "earlier entry\nerror\ninfo\n");
    EXPECT_EQ(ReadTextFile(dir / "two"), "b\n");
    EXPECT_EQ(output.info(), "");
    CLogScope missing(dir / "no/such/folder/log");
    EXPECT_EQ(missing.status(), TBS_ST_IO);
    imsg_print(IMSG_KIND_ERROR, "still printed\n", -1);
    EXPECT_TRUE(output.error().starts_with("after the logs\n")) << output.error();
    EXPECT_NE(output.error().find("no/such/folder/log"), std::string::npos) << output.error();
    EXPECT_TRUE(output.error().ends_with("still printed\n")) << output.error();
}

// Every entry must arrive whole, on its own line, and in each writer's order.
TEST(MessagesTest, TwoProcessesAppendingNeverInterleave) {
    CTempDir dir;
    const std::string log = dir / "shared.log";
    constexpr int kEntries = 300;
    constexpr size_t kPayload = 9000;  // more than a pipe's atomic write
    const std::vector<std::string> writers = {"alpha", "beta"};

    std::vector<CCommandOutput> results(writers.size());
    std::vector<std::thread> threads;
    for (size_t i = 0; i < writers.size(); ++i) {
        threads.emplace_back([&, i] {
            results[i] = RunCommand({BuiltProgram("client_log_writer"), log, writers[i],
                                     std::to_string(kEntries), std::to_string(kPayload)});
        });
    }
    for (auto& thread : threads) thread.join();
    for (const auto& result : results) ASSERT_EQ(result.exit_code, 0) << result.err;

    std::map<std::string, int> next_sequence;
    std::istringstream lines(ReadTextFile(log));
    std::string line;
    int total = 0;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string id, payload;
        int sequence = -1;
        fields >> id >> sequence >> payload;
        ASSERT_TRUE(id == "alpha" || id == "beta") << "entry " << total << " is torn";
        EXPECT_EQ(sequence, next_sequence[id]) << id;
        next_sequence[id] = sequence + 1;
        EXPECT_EQ(payload, std::string(kPayload, id[0])) << "entry " << total << " is torn";
        ++total;
    }
    EXPECT_EQ(total, kEntries * static_cast<int>(writers.size()));
    EXPECT_EQ(next_sequence["alpha"], kEntries);
    EXPECT_EQ(next_sequence["beta"], kEntries);
}

// In a process of its own, as the verbosity is read once; no facility listed traces them all.
TEST(MessagesTest, TracesUpToTheVerbosityOfTheEnvironment) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    CScopedEnv verbosity("KELMORA_VERBOSITY", "99"), trace("KELMORA_TRACE", nullptr);
    EXPECT_EXIT(
        std::_Exit(imsg_should_trace("mntrpc", 99) && !imsg_should_trace("mntrpc", 100) ? 0 : 1),
        ::testing::ExitedWithCode(0), "");
}

TEST(ProductLogDirTest, LogPathIsUnderTheHomeAndBadNamesOrSmallBuffersAreRefused) {
    char buf[1024];
    ASSERT_EQ(tbs_product_log_dir(buf, sizeof buf, "viewprofile_log"), TBS_ST_OK);
    EXPECT_EQ(std::string(buf), KelmoraHome() + "/log/viewprofile_log");
    EXPECT_TRUE(IsDirectory(KelmoraHome() + "/log"));
    EXPECT_EQ(tbs_product_log_dir(buf, sizeof buf, "../escape"), TBS_ST_INVALID);
    EXPECT_EQ(tbs_product_log_dir(buf, sizeof buf, ""), TBS_ST_INVALID);
}

}  // namespace
}  // namespace kelmora::test

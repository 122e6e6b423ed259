#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "client/client_test_util.h"
#include "platform/tool_log.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

CCommandOutput RunProgram(const std::string& program, std::vector<std::string> args) {
    args.insert(args.begin(), BuiltProgram(program));
    return RunCommand(args);
}

// A workspace at a path with blanks, a dynamic view, and checkouts in both.
class StavefindcoTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = dir_ / "my work space";
        for (const std::vector<std::string>& args :
             std::vector<std::vector<std::string>>{{"mkws", ws_, root_},
                                                   {"mkview", view_},
                                                   {"mkvob", vob_, dir_ / "stg"},
                                                   {"co", ws_, vob_, "lib/a.c"},
                                                   {"co", ws_, vob_, "doc/b.txt"},
                                                   {"co", view_, vob_, "c.c"}}) {
            CCommandOutput run = RunProgram("stavetool", args);
            ASSERT_EQ(run.exit_code, 0) << args[0] << ": " << run.err;
        }
    }

    CTempDir dir_;
    std::string root_;
    const std::string ws_ = UniqueName("ws"), view_ = UniqueName("view"),
                      vob_ = "/vobs/" + UniqueName("src");
};

TEST_F(StavefindcoTest, ListsAWorkspaceBelowAPathAndAViewByItsNetworkPath) {
    const std::string vob_dir = root_ + vob_;
    struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"-recurse", root_},
         vob_ + "\tlib/a.c\toriginal\n" + vob_ + "\tdoc/b.txt\toriginal\n2 checkouts in view \"" +
             ws_ + "\".\n"},
        {{"-recurse", vob_dir + "/lib"},
         vob_ + "\tlib/a.c\toriginal\n1 checkout in view \"" + ws_ + "\".\n"},
        {{"-recurse", vob_dir + "/none"}, "0 checkouts in view \"" + ws_ + "\".\n"},
        {{"-avobs", "\\\\view\\" + view_},
         vob_ + "\tc.c\toriginal\n1 checkout in view \"" + view_ + "\".\n"},
    };
    const std::string log = dir_ / "tool.log";
    setenv("KELMORA_TOOL_LOG", log.c_str(), 1);
    for (const auto& c : cases) {
        CCommandOutput run = RunProgram("stavefindco", c.args);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(run.out, c.out) << c.args[1];
    }
    unsetenv("KELMORA_TOOL_LOG");
    // The workspace path arrived as one argument, blanks and all.
    std::string recorded = ReadTextFile(log);
    EXPECT_EQ(ParseToolLogLine(recorded.substr(0, recorded.find('\n'))),
              (std::vector<std::string>{BuiltProgram("stavefindco"), "-recurse", root_}));
}

TEST_F(StavefindcoTest, UnknownTargetsFailAndMisuseIsAUsageError) {
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{"-recurse", dir_ / "elsewhere"}, 1},
        {{"-avobs", "\\\\view\\" + UniqueName("none")}, 1},
        {{}, 2},
        {{"-recurse"}, 2},
        {{"-recurse", "my", "ws"}, 2},
        {{"-avobs", view_}, 2},
        {{"-avobs", "\\\\view\\"}, 2},
        {{"-all", view_}, 2},
    };
    for (const auto& [args, code] : cases) {
        CCommandOutput run = RunProgram("stavefindco", args);
        EXPECT_EQ(run.exit_code, code) << (args.empty() ? "" : args.back());
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err, "");
    }
    CCommandOutput help = RunProgram("stavefindco", {"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.out.find("-avobs"), std::string::npos);
}

}  // namespace
}  // namespace kelmora::test

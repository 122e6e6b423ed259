// scripts/check-layers on a small tree per case; scripts/test runs it on src/.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_env.h"

namespace kelmora::test {
namespace {

struct CLayerCase {
    const char* label;
    const char* path;  // below src/; store/lock.h is always there
    const char* text;
    const char* says;  // on standard error; empty when clean
};

class CheckLayersTest : public ::testing::TestWithParam<CLayerCase> {};

TEST_P(CheckLayersTest, NamesEveryIncludeThatReachesUp) {
    CTempDir dir;
    for (const auto& [path, text] : {std::pair{"store/lock.h", "#pragma once\n"},
                                     std::pair{GetParam().path, GetParam().text}}) {
        const std::filesystem::path file = dir / ("src/" + std::string(path));
        std::filesystem::create_directories(file.parent_path());
        WriteTextFile(file, text);
    }
    CCommandOutput run = RunCommand({KELMORA_SOURCE_DIR "/scripts/check-layers", dir / "src"});
    EXPECT_EQ(run.exit_code, *GetParam().says ? 1 : 0) << run.err;
    // A clean tree says nothing on standard error; a broken one begins with its first fault.
    const std::string says = GetParam().says;
    EXPECT_EQ(says.empty() ? run.err : run.err.substr(0, says.size()), says) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Trees, CheckLayersTest,
    ::testing::Values(
        CLayerCase{"LowerLayerAndBeside", "store/save.cpp",
                   "#include \"lock.h\"\n  #  include \"ui/prompt.h\"\n#include <vector>\n", ""},
        CLayerCase{"StoreIncludesOperations", "store/save.cpp",
                   "#include <vector>\n\n#include \"operations/sync.h\"\n",
                   "src/store/save.cpp:3: store includes \"operations/sync.h\" of operations"},
        CLayerCase{"FolderOutsideTheOrder", "extras/tool.cpp", "#include \"store/lock.h\"\n",
                   "src/extras/tool.cpp: the folder is not in the layer order"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace kelmora::test

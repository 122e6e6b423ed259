// scripts/check-layers on small source trees made for each case (scripts/test
// runs it on this checkout's own src/).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/test_env.h"

namespace kelmora::test {
namespace {

const std::string kScript = KELMORA_SOURCE_DIR "/scripts/check-layers";

struct CLayerCase {
    const char* label;
    std::vector<std::pair<const char*, const char*>> files;  // path below src/, text
    int exit_code;
    const char* says;  // on standard error; empty when clean
};

class CheckLayersTest : public ::testing::TestWithParam<CLayerCase> {};

TEST_P(CheckLayersTest, NamesEveryIncludeThatReachesUp) {
    CTempDir dir;
    for (const auto& [path, text] : GetParam().files) {
        const std::string file = dir / ("src/" + std::string(path));
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        WriteTextFile(file, text);
    }
    CCommandOutput run = RunCommand({kScript, dir / "src"});
    EXPECT_EQ(run.exit_code, GetParam().exit_code) << run.err;
    if (*GetParam().says) {
        EXPECT_NE(run.err.find(GetParam().says), std::string::npos) << run.err;
    } else {
        EXPECT_EQ(run.err, "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Trees, CheckLayersTest,
    ::testing::Values(
        CLayerCase{"Clean",
                   {{"platform/file.h", "#pragma once\n"},
                    {"store/lock.h", "#include \"platform/file.h\"\n"},
                    {"store/lock.cpp", "#include \"lock.h\"\n#include \"ui/prompt.h\"\n"},
                    {"ui/prompt.h", "#include <string>\n"},
                    {"ui/qt/dialog.cpp", "#include \"module/library/exports.h\"\n"},
                    {"operations/sync.cpp", "  #  include \"mount/mount.h\"\n"}},
                   0,
                   ""},
        CLayerCase{"StoreIncludesOperations",
                   {{"store/save.cpp", "#include <vector>\n\n#include \"operations/sync.h\"\n"}},
                   1,
                   "src/store/save.cpp:3: store includes \"operations/sync.h\" of operations, a "
                   "layer above it"},
        CLayerCase{"SeamIncludesConsole",
                   {{"ui/seam.cpp", "#include \"ui/console/console_ui.h\"\n"}},
                   1,
                   "src/ui/seam.cpp:1: ui includes \"ui/console/console_ui.h\" of ui/console"},
        CLayerCase{"FolderOutsideTheOrder",
                   {{"extras/tool.cpp", "#include \"platform/file.h\"\n"}},
                   1,
                   "src/extras/tool.cpp: the folder is not in the layer order"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace kelmora::test

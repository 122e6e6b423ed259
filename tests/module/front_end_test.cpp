// Loading the Qt front end, and saying why when it cannot serve.
#include <gtest/gtest.h>

#include "module/front_end.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

struct CLoadCase {
    const char* name;
    const char* folder;    // null: the build's library folder
    const char* platform;  // QT_QPA_PLATFORM; null unsets it
    bool loads;
    const char* reason;    // a part of the reason
};

class FrontEndLoadTest : public ::testing::TestWithParam<CLoadCase> {};

TEST_P(FrontEndLoadTest, LoadsOrSaysWhyNot) {
    const CLoadCase& c = GetParam();
#ifndef KELMORA_HAVE_QTUI
    if (!c.folder) GTEST_SKIP() << "this build has no Qt front end";
#endif
    CScopedEnv platform("QT_QPA_PLATFORM", c.platform);
    CScopedEnv display("DISPLAY", nullptr);
    std::string reason;
    CUserInterface* ui = LoadQtFrontEnd(c.folder ? c.folder : KELMORA_LIB_DIR, &reason);
    EXPECT_EQ(ui != nullptr, c.loads) << reason;
    EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrontEndLoadTest,
    ::testing::Values(
        CLoadCase{"LibraryMissing", "/nonexistent", "offscreen", false, "libkelmora_qtui.so"},
        CLoadCase{"NoDisplay", nullptr, nullptr, false, "no display (DISPLAY is not set)"},
        CLoadCase{"OffscreenPlatform", nullptr, "offscreen", true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelmora::test

#include "module/app.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "module/front_end.h"
#include "resources/string_table.h"
#include "support/test_env.h"
#include "ui/front_end_library.h"
#include "ui/user_interface.h"

namespace kelmora {
namespace {

struct CHelpKeyCase {
    const char* label;
    CMessage message;
    CModifierKeys keys;
    unsigned version;
    bool consumed;
};

constexpr unsigned kModern = 0x601;
constexpr CMessage kF1{WM_KEYDOWN, VK_F1, 1};

class HelpKeyFilterTest : public ::testing::TestWithParam<CHelpKeyCase> {};

TEST_P(HelpKeyFilterTest, OnlyAFirstPlainF1PressIsConsumed) {
    const CHelpKeyCase& c = GetParam();
    EXPECT_EQ(IsConsumedHelpKey(c.message, c.keys, c.version), c.consumed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HelpKeyFilterTest,
    ::testing::Values(CHelpKeyCase{"PlainF1", kF1, {}, kModern, true},
                      CHelpKeyCase{"OtherKey", {WM_KEYDOWN, VK_F1 + 1, 1}, {}, kModern, false},
                      CHelpKeyCase{"KeyUp", {WM_KEYDOWN + 1, VK_F1, 1}, {}, kModern, false},
                      CHelpKeyCase{"OldestFilteredPlatform", kF1, {}, 0x333, true},
                      CHelpKeyCase{"OlderPlatform", kF1, {}, 0x332, false},
                      CHelpKeyCase{
                          "AutoRepeated", {WM_KEYDOWN, VK_F1, 0x40000001}, {}, kModern, false},
                      CHelpKeyCase{"WithShift", kF1, {true, false, false}, kModern, false},
                      CHelpKeyCase{"WithCtrl", kF1, {false, true, false}, kModern, false},
                      CHelpKeyCase{"WithAlt", kF1, {false, false, true}, kModern, false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(PlatformVersionTest, NumberTakesMajorFromTheLowByteAndMinorFromTheNext) {
    EXPECT_EQ(PlatformVersionNumber(0x3303), 0x333u);
    EXPECT_EQ(PlatformVersionNumber(0x0106), 0x601u);
    // Every kernel this runs on is past the filter's threshold.
    EXPECT_GE(PlatformVersionNumber(PlatformVersionWord()), kHelpKeyFilterVersion);
}

// The catalogue serves the application's strings until the exit.
struct CCatalogueCase {
    const char* label;
    const char* variable;     // the file KELMORA_CATALOGUE names; null: unset
    const char* home_text;    // of the home folder's catalogue; null: none
    const char* name;         // the application's afterwards; null: unchanged
    const char* view_handle;  // the text of IDS_ERR_VIEW_HANDLE; null: the built-in one
};

class KelmoraAppTest : public ::testing::TestWithParam<CCatalogueCase> {
protected:
    void TearDown() override {
        unsetenv("KELMORA_CATALOGUE");
        std::remove(home_catalogue_.c_str());
        UnloadStringCatalogue();
        SetApplicationName(saved_name_);
    }
    test::CTempDir dir_;
    const std::string saved_name_ = ApplicationName(),
                      home_catalogue_ = std::string(std::getenv("KELMORA_HOME")) + "/strings.cat";
};

TEST_P(KelmoraAppTest, CatalogueServesUntilTheExit) {
    const CCatalogueCase& c = GetParam();
    test::WriteTextFile(dir_ / "strings.cat", "57344\tProfils de vue\n19\tErreur de vue.\\n\\n\n");
    if (c.variable) setenv("KELMORA_CATALOGUE", (dir_ / c.variable).c_str(), 1);
    if (c.home_text) test::WriteTextFile(home_catalogue_, c.home_text);
    const std::string built_in(BuiltinString(IDS_ERR_VIEW_HANDLE));
    CKelmoraApp app;
    ASSERT_EQ(app.InitInstance(), TRUE);
    EXPECT_EQ(app.resource_module() != nullptr, c.name != nullptr);
    EXPECT_EQ(ApplicationName(), c.name ? c.name : saved_name_);
    EXPECT_EQ(LoadString(IDS_ERR_VIEW_HANDLE), c.view_handle ? c.view_handle : built_in);
    app.ExitInstance();
    EXPECT_EQ(app.resource_module(), nullptr);
    EXPECT_EQ(LoadString(IDS_ERR_VIEW_HANDLE), built_in);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogues, KelmoraAppTest,
    ::testing::Values(CCatalogueCase{"NamedByTheVariable", "strings.cat", nullptr, "Profils de vue",
                                     "Erreur de vue.\n\n"},
                      CCatalogueCase{"VariableNamesNoFile", "missing.cat", nullptr, nullptr,
                                     nullptr},
                      CCatalogueCase{"InTheHomeFolder", nullptr, "57344\tHome Profiles\n",
                                     "Home Profiles", nullptr}),
    [](const auto& info) { return std::string(info.param.label); });

// Loading the Qt front end, and saying why when it cannot serve.
struct CLoadCase {
    const char* name;
    const char* folder;    // null: the build's library folder
    const char* platform;  // QT_QPA_PLATFORM; null unsets it
    bool loads;
    const char* reason;  // matches the reason (a regular expression)
};

class FrontEndLoadTest : public ::testing::TestWithParam<CLoadCase> {};

// In a process of its own: a platform that cannot start must not abort it.
TEST_P(FrontEndLoadTest, LoadsOrSaysWhyNot) {
    const CLoadCase& c = GetParam();
#ifndef KELMORA_HAVE_QTUI
    if (!c.folder) GTEST_SKIP() << "this build has no Qt front end";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    test::CScopedEnv platform("QT_QPA_PLATFORM", c.platform);
    test::CScopedEnv display("DISPLAY", nullptr);
    test::CScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    const std::string front_ends = std::string(KELMORA_LIB_DIR "/") + kFrontEndFolder;
    EXPECT_EXIT(
        {
            std::string reason;
            CUserInterface* ui = LoadQtFrontEnd(c.folder ? c.folder : front_ends, &reason);
            std::fprintf(stderr, "reason: %s\n", reason.c_str());
            std::_Exit(ui ? 0 : 3);
        },
        ::testing::ExitedWithCode(c.loads ? 0 : 3), c.reason);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrontEndLoadTest,
    ::testing::Values(CLoadCase{"LibraryMissing", "/nonexistent", "offscreen", false,
                                "libkelmora_qtui.so"},
                      CLoadCase{"XcbWithoutDisplay", nullptr, "xcb", false, "DISPLAY is not set"},
                      CLoadCase{"OffscreenPlatform", nullptr, "offscreen", true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelmora

#include "module/app.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "resources/string_table.h"
#include "support/test_env.h"
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

constexpr intptr_t kRepeatBit = 0x40000000;
constexpr unsigned kModernPlatform = 0x601;

class HelpKeyFilterTest : public ::testing::TestWithParam<CHelpKeyCase> {};

TEST_P(HelpKeyFilterTest, OnlyAFirstPlainF1PressIsConsumed) {
    const CHelpKeyCase& c = GetParam();
    EXPECT_EQ(IsConsumedHelpKey(c.message, c.keys, c.version), c.consumed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HelpKeyFilterTest,
    ::testing::Values(
        CHelpKeyCase{"PlainF1", {WM_KEYDOWN, VK_F1, 1}, {}, kModernPlatform, true},
        CHelpKeyCase{"AutoRepeat", {WM_KEYDOWN, VK_F1, kRepeatBit | 1}, {}, kModernPlatform, false},
        CHelpKeyCase{"Shift", {WM_KEYDOWN, VK_F1, 1}, {true, false, false}, kModernPlatform, false},
        CHelpKeyCase{"Ctrl", {WM_KEYDOWN, VK_F1, 1}, {false, true, false}, kModernPlatform, false},
        CHelpKeyCase{"Alt", {WM_KEYDOWN, VK_F1, 1}, {false, false, true}, kModernPlatform, false},
        CHelpKeyCase{"OtherKey", {WM_KEYDOWN, VK_F1 + 1, 1}, {}, kModernPlatform, false},
        CHelpKeyCase{"KeyUp", {WM_KEYDOWN + 1, VK_F1, 1}, {}, kModernPlatform, false},
        CHelpKeyCase{"OldestFilteredPlatform", {WM_KEYDOWN, VK_F1, 1}, {}, 0x333, true},
        CHelpKeyCase{"OlderPlatform", {WM_KEYDOWN, VK_F1, 1}, {}, 0x332, false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(PlatformVersionTest, NumberTakesMajorFromTheLowByteAndMinorFromTheNext) {
    EXPECT_EQ(PlatformVersionNumber(0x3303), 0x333u);
    EXPECT_EQ(PlatformVersionNumber(0x0106), 0x601u);
    // Every kernel this runs on is past the filter's threshold.
    EXPECT_GE(PlatformVersionNumber(PlatformVersionWord()), kHelpKeyFilterVersion);
}

// Points the resource loader at a catalogue file for one test and puts the
// application name back afterwards.
class KelmoraAppTest : public ::testing::Test {
protected:
    void SetUp() override { saved_name_ = ApplicationName(); }
    void TearDown() override {
        unsetenv("KELMORA_CATALOGUE");
        UnloadStringCatalogue();
        SetApplicationName(saved_name_);
    }
    void UseCatalogue(const std::string& text) {
        test::WriteTextFile(dir_ / "strings.cat", text);
        setenv("KELMORA_CATALOGUE", (dir_ / "strings.cat").c_str(), 1);
    }

    test::CTempDir dir_;
    std::string saved_name_;
};

TEST_F(KelmoraAppTest, CatalogueNamesTheApplicationAndServesStringsUntilExit) {
    UseCatalogue("57344\tProfils de vue\n19\tErreur de vue.\\n\\n\n");
    CKelmoraApp app;
    ASSERT_EQ(app.InitInstance(), TRUE);
    EXPECT_NE(app.resource_module(), nullptr);
    EXPECT_EQ(ApplicationName(), "Profils de vue");
    EXPECT_EQ(LoadString(IDS_ERR_VIEW_HANDLE), "Erreur de vue.\n\n");

    app.ExitInstance();
    EXPECT_EQ(app.resource_module(), nullptr);
    EXPECT_EQ(LoadString(IDS_ERR_VIEW_HANDLE), BuiltinString(IDS_ERR_VIEW_HANDLE));
}

// (A malformed catalogue fails to load just the same: see the string table's tests.)
TEST_F(KelmoraAppTest, WithoutCatalogueBuiltInTextsAndDefaultTitleStay) {
    setenv("KELMORA_CATALOGUE", (dir_ / "missing.cat").c_str(), 1);
    CKelmoraApp app;
    ASSERT_EQ(app.InitInstance(), TRUE);
    EXPECT_EQ(app.resource_module(), nullptr);
    EXPECT_EQ(ApplicationName(), saved_name_);
    EXPECT_EQ(LoadString(IDS_APP_NAME), BuiltinString(IDS_APP_NAME));
}

TEST_F(KelmoraAppTest, CatalogueInTheHomeFolderIsFoundWithoutTheVariable) {
    std::string path = std::string(std::getenv("KELMORA_HOME")) + "/strings.cat";
    test::WriteTextFile(path, "57344\tHome Profiles\n");
    CKelmoraApp app;
    app.InitInstance();
    EXPECT_EQ(ApplicationName(), "Home Profiles");
    app.ExitInstance();
    std::remove(path.c_str());
}

}  // namespace
}  // namespace kelmora

#include "resources/string_table.h"

#include <gtest/gtest.h>

#include <string>

#include "resources/message_text.h"
#include "support/test_env.h"

namespace kelmora {
namespace {

class StringCatalogueTest : public ::testing::Test {
protected:
    void TearDown() override { UnloadStringCatalogue(); }
    // Writes content into a new file of the test's folder and loads it.
    bool Load(const std::string& content) {
        const std::string path = dir_ / ("catalogue" + std::to_string(++files_));
        test::WriteTextFile(path, content);
        return LoadStringCatalogue(path);
    }
    test::CTempDir dir_;
    int files_ = 0;
};

TEST_F(StringCatalogueTest, LoadedTextsOverrideALaterLoadReplacesAndUnloadRestores) {
    ASSERT_FALSE(IsStringCatalogueLoaded());
    // CRLF and empty lines, an empty text, a number without a built-in text.
    ASSERT_TRUE(Load(
        "\r\n20\tcs\r\n\r\n61527\t\r\n17\tseventeen\r\n" +
        test::CatalogueEntry(IDS_APP_NAME, "Tab\\there, \\\"quoted\\\", back\\\\slash\\r\\n")));
    EXPECT_TRUE(IsStringCatalogueLoaded());
    EXPECT_EQ(LoadString(IDS_ERR_GET_CONFIG_SPEC), "cs");
    EXPECT_EQ(LoadString(IDS_IS_ASSOCIATED_PREFIX), "");
    EXPECT_EQ(LoadString(17), "seventeen");
    EXPECT_TRUE(BuiltinString(17).empty());
    EXPECT_EQ(LoadString(IDS_APP_NAME), "Tab\there, \"quoted\", back\\slash\r\n");
    // Numbers that the catalogue lacks keep their built-in text.
    EXPECT_EQ(LoadString(IDS_ERR_VIEW_HANDLE), "Error getting view handle.\n\n");
    EXPECT_FALSE(LoadStringCatalogue(dir_ / "missing"));
    EXPECT_FALSE(LoadStringCatalogue(dir_.path()));
    EXPECT_EQ(LoadString(17), "seventeen");

    ASSERT_TRUE(Load(test::CatalogueEntry(IDS_ERR_VIEW_HANDLE, "second")));
    EXPECT_EQ(LoadString(IDS_ERR_VIEW_HANDLE), "second");
    EXPECT_EQ(LoadString(IDS_APP_NAME), "Stavemark View Profiles");

    UnloadStringCatalogue();
    EXPECT_FALSE(IsStringCatalogueLoaded());
    EXPECT_EQ(LoadString(IDS_ERR_VIEW_HANDLE), BuiltinString(IDS_ERR_VIEW_HANDLE));
}

class MalformedCatalogueTest : public StringCatalogueTest,
                               public ::testing::WithParamInterface<std::string> {};

TEST_P(MalformedCatalogueTest, IsRefusedAndKeepsTheCatalogueInForce) {
    ASSERT_TRUE(Load(test::CatalogueEntry(IDS_ERR_VIEW_HANDLE, "from the good catalogue")));
    EXPECT_FALSE(Load(test::CatalogueEntry(IDS_ERR_GET_CONFIG_SPEC, "ok") + GetParam()));
    EXPECT_TRUE(IsStringCatalogueLoaded());
    EXPECT_EQ(LoadString(IDS_ERR_VIEW_HANDLE), "from the good catalogue");
    // Good lines before the bad one are not taken either.
    EXPECT_EQ(LoadString(IDS_ERR_GET_CONFIG_SPEC), BuiltinString(IDS_ERR_GET_CONFIG_SPEC));
}

// No tab, no number, trailing junk, past 16 bits, past any integer, bad escapes, a number twice.
INSTANTIATE_TEST_SUITE_P(Lines, MalformedCatalogueTest,
                         ::testing::Values("19 text\n", "\ttext\n", "1a\ttext\n", "65536\ttext\n",
                                           "99999999999999999999\ttext\n", "19\tbad \\x escape\n",
                                           "19\tends in \\\n", "19\tone\n19\ttwo\n"),
                         [](const auto& info) { return test::CaseName(info.index, info.param); });

// Read as printed, "%d %s" would take the text pointer for a number.
TEST_F(StringCatalogueTest, PackTextIsUsedOnlyWithTheSameConversions) {
    const std::string builtin = "Exec of staveviewupdate failed with error 2\n";
    const std::pair<const char*, std::string> kCases[] = {
        {"Start von %s scheiterte: %d\\n", "Start von staveviewupdate scheiterte: 2\n"},
        {"100%% Fehler: %s, %d", "100% Fehler: staveviewupdate, 2"},
        {"Fehler %d bei %s", builtin},
        {"Start von %*s scheiterte: %d", builtin},
        {"Start von %s scheiterte: %d %", builtin}};
    for (const auto& [text, expected] : kCases) {
        ASSERT_TRUE(Load(test::CatalogueEntry(IDS_EXEC_FAILED, text)));
        EXPECT_EQ(FormatStringId(IDS_EXEC_FAILED, "staveviewupdate", 2), expected) << text;
    }
}

// Flags dropped, '*' kept, '!' for a field too wide, '?' for a '%' at the end.
TEST(PrintfConversionsTest, OneTokenPerConversion) {
    const std::pair<const char*, const char*> kCases[] = {
        {"Exec of %s failed with error %d\n", "s d"},
        {"100%% sure %s", "s"},
        {"%-*s|%5.*d|%*.*f", "*s *d **f"},
        {"%ld %zu %hhd %+ #0x", "ld zu hhd x"},
        {"trailing %", "?"},
        {"%l", "l?"},
        {"%-", "?"},
        {"%999999999s %.4097s %4096s", "!s !s s"},
        {"%%%%", ""}};
    for (const auto& [format, conversions] : kCases)
        EXPECT_EQ(PrintfConversions(format), conversions) << format;
}

}  // namespace
}  // namespace kelmora

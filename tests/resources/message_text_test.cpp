#include "resources/message_text.h"

#include <gtest/gtest.h>

#include "resources/string_table.h"
#include "support/test_env.h"

namespace kelmora {
namespace {

class FormatStringIdTest : public ::testing::Test {
protected:
    void TearDown() override { UnloadStringCatalogue(); }
    void Catalogue(const std::string& text) {
        test::WriteTextFile(dir_ / "c.cat", text);
        ASSERT_TRUE(LoadStringCatalogue(dir_ / "c.cat"));
    }
    test::CTempDir dir_;
};

TEST_F(FormatStringIdTest, CatalogueTextIsUsedOnlyWithTheSameConversions) {
    Catalogue(test::CatalogueEntry(IDS_EXEC_FAILED, "Start von %s scheiterte: %d\\n"));
    EXPECT_EQ(FormatStringId(IDS_EXEC_FAILED, "staveviewupdate", 2),
              "Start von staveviewupdate scheiterte: 2\n");
    // Read as printed, "%d %s" would take the text pointer for a number.
    Catalogue(test::CatalogueEntry(IDS_EXEC_FAILED, "Fehler %d bei %s"));
    EXPECT_EQ(FormatStringId(IDS_EXEC_FAILED, "staveviewupdate", 2),
              "Exec of staveviewupdate failed with error 2\n");
    // A field of a billion characters would make the message a gigabyte.
    Catalogue(test::CatalogueEntry(IDS_EXEC_FAILED, "Start von %999999999s scheiterte: %d\n"));
    EXPECT_EQ(FormatStringId(IDS_EXEC_FAILED, "staveviewupdate", 2),
              "Exec of staveviewupdate failed with error 2\n");
}

}  // namespace
}  // namespace kelmora

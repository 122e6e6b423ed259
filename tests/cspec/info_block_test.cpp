#include "cspec/info_block.h"

#include <gtest/gtest.h>

#include "cspec/profile_site.h"

namespace kelmora::test {
namespace {

constexpr char kLine1[] = "# [SM_PROJECT - Stavemark View Profile Information";

std::string Block(const std::string& name_line, const std::string& id_line,
                  const std::string& eol = "\r\n") {
    return kLine1 + eol + name_line + eol + id_line + eol + "#" + eol + "element * CHECKEDOUT" +
           eol;
}

// The fields are checked as far as the scan converted them.
struct CScanCase {
    const char* label;
    std::string text;
    int count;  // values converted
    std::string name = kProj;
    std::string guid = kGuid;
    int major = 1;
    int minor = 7;
};

class InfoBlockScanTest : public ::testing::TestWithParam<CScanCase> {};

TEST_P(InfoBlockScanTest, ScanReadsWhatTheFormattedScanWould) {
    const CScanCase& c = GetParam();
    CInfoBlockFields fields;
    EXPECT_EQ(ScanInfoBlock(c.text, &fields), c.count);
    if (c.count >= 1) {
        EXPECT_EQ(fields.name, c.name);
    }
    if (c.count >= 2) {
        EXPECT_EQ(fields.guid, c.guid);
    }
    if (c.count == 4) {
        EXPECT_EQ(std::pair(fields.major, fields.minor), std::pair(c.major, c.minor));
    }
}

const std::string kNameLine = "#        Name - " + kProj;
const std::string kIdLine = "#        ID - " + kGuid + " 1.7";

INSTANTIATE_TEST_SUITE_P(
    Texts, InfoBlockScanTest,
    ::testing::Values(
        CScanCase{"AsComposed", InfoBlock(kProj, kGuid + " 1.7"), 4},
        CScanCase{"FewerBlanksAndAPaddedName", Block("#   Name -    " + kProj + "  ", kIdLine), 4,
                  kProj + "  "},
        CScanCase{"LineFeedsAndEmptyLines", Block(kNameLine, kIdLine, "\n\n"), 4},
        CScanCase{"ThreeLinesAreEnough",
                  std::string(kLine1) + "\r\n" + kNameLine + "\r\n" + kIdLine, 4},
        CScanCase{"LeadingEmptyLine", "\r\n" + Block(kNameLine, kIdLine), 0},
        CScanCase{"RevisionBeyondAnInt",
                  Block(kNameLine, "#        ID - " + kGuid + " 1.2147483648"), 3},
        CScanCase{"RevisionNotNumbers", Block(kNameLine, "#        ID - " + kGuid + " a.b"), 2},
        CScanCase{"LongestName", Block("#        Name - \\" + std::string(1022, 'n'), kIdLine), 4,
                  "\\" + std::string(1022, 'n')},
        CScanCase{"LongestNameEndsTheText",
                  std::string(kLine1) + "\r\n#        Name - \\" + std::string(1022, 'n'), 1,
                  "\\" + std::string(1022, 'n')},
        CScanCase{"NameTooLong", Block("#        Name - \\" + std::string(1023, 'n'), kIdLine), 0},
        CScanCase{"LongestGuid",
                  Block(kNameLine, "#        ID - " + std::string(1023, 'g') + " 2.3"), 4, kProj,
                  std::string(1023, 'g'), 2, 3},
        // Cut at the limit, the rest of the GUID would have been read as the revision.
        CScanCase{"GuidTooLong",
                  Block(kNameLine, "#        ID - " + std::string(1023, 'g') + "5.6 2.3"), 1},
        // With no name the blank skips to the next line, which the name then takes.
        CScanCase{"EmptyName", Block("#        Name - ", kIdLine), 1, kIdLine}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace kelmora::test

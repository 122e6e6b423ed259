#include "client/cfs_grammar.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kelmora {
namespace {

// No caller reads the rules' fields, so a form is shown by being accepted.
const char* const kAccepted[] = {
    "element * CHECKEDOUT", "element * \\main\\LATEST", "element * ...\\jdoe_dev\\LATEST",
    "element \\vob\\src\\... \\main\\int\\feature\\17", "element /vob/lib/*.c REL_2.1",
    "element -directory \\vob\\... CHECKEDOUT", "element -eltype text_file * BASELINE_3",
    "element \"\\vob\\My Documents\\...\" CHECKEDOUT", "element \\vob\\a#b REL#1",
    // Options after the selector come in any order.
    "element\t-file\t*\t\\main\\LATEST\t-nocheckout -override -time now -mkbranch fix  # all",
    "  mkbranch rel-1.2 -override   # keep",
    // The same day written differently still closes its block.
    "time 2-feb-2026\nend time 2-February-2026",
    // Nested blocks each closed by their own end.
    ("mkbranch outer\n time 1-Mar-2026.08:00\n  mkbranch inner -override\n  end mkbranch\n"
     " end time\nend mkbranch outer"),
    "load \"\\vob\\x # y\"", "include /srv/specs/common.cs",
    // Dates: month names in any case and length, years of four digits or none.
    "time 7-December-2026.21:05:07", "time 15-Sep.9:30", "time 29-Feb-2024", "time 29-Feb-2000",
    "time 29-Feb", "time today", "time yesterday"};

TEST(CfsGrammarTest, EveryRuleFormIsAccepted) {
    for (const char* text : kAccepted)
        EXPECT_EQ(ParseConfigSpecText(text).Diagnostic(), "") << text;
}

// A last line ended by a lone CR; an unbalanced quote in a comment.
TEST(CfsGrammarTest, CommentsBlankLinesAndMixedLineEndsParse) {
    const CCfsParseResult result = ParseConfigSpecText(
        "# [SM_PROJECT - View Profile Config Spec\r\n"
        "element * CHECKEDOUT\r\n"
        "time 7-December-2026.21:05:07\r\n"
        "\r\n   \n\t\n   # indented comment \"unbalanced\n"
        "element * .../int/LATEST\n"
        "load \\last\r");
    EXPECT_EQ(result.Diagnostic(), "");
    EXPECT_EQ(result.rules.size(), 4u);
    const CCfsParseResult empty = ParseConfigSpecText("");
    EXPECT_TRUE(empty.ok && empty.rules.empty());
}

TEST(CfsGrammarTest, VeryLongLinesParse) {
    const std::string name(1 << 20, 'x');
    CCfsParseResult result = ParseConfigSpecText("element \\vob\\" + name + " CHECKEDOUT\n");
    EXPECT_TRUE(result.ok) << result.reason;

    result = ParseConfigSpecText("element * " + name + " bogus\n");
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.column, static_cast<int>(11 + name.size() + 1));
    // The reason shortens the quoted token instead of repeating it whole.
    EXPECT_LT(result.reason.size(), 200u);
}

// One date per way of being wrong, under the start of its reason.
TEST(CfsDateTest, MalformedDatesAreRejectedWithTheirReason) {
    const std::pair<const char*, std::vector<const char*>> kCases[] = {
        {"Invalid date",
         {"Dec-2026", "7-Dec-26", "7-Dec-20266", "7-Dec-0000", "7--2026", "7-Dec-2026.1",
          "7-Dec.10:5", "7-Dec.10:05:1", "7-Dec-2026.10:05:07x", "Now", "7.Dec", "1-Jan.10.05"}},
        {"Unknown month", {"7-Decem"}},
        {"Day out of range", {"29-Feb-2026", "29-Feb-1900", "31-Apr", "0-Jan"}},
        {"Time of day out of range", {"1-Jan.24:00", "1-Jan.23:60", "1-Jan.23:59:60"}}};
    for (const auto& [reason, texts] : kCases) {
        for (const char* text : texts) {
            CCfsDate date;
            std::string why;
            EXPECT_FALSE(ParseCfsDate(text, date, why)) << text;
            EXPECT_TRUE(why.starts_with(reason)) << text << ": " << why;
        }
    }
}

TEST(CfsGrammarTest, NamesRejectBlanksSeparatorsAndWildcards) {
    for (const char* bad :
         {"", "a b", "a\tb", "a\\b", "a/b", "a:b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b", "-x",
          "#x", "..."}) {  // found by fuzzing branch names: #x, ...
        EXPECT_FALSE(IsValidCfsName(bad)) << bad;
    }
}

struct CErrorCase {
    std::string text;
    int line;
    int column;
    std::string reason_start;
};

const CErrorCase kErrors[] = {
    {"# c\n\n   elements * CHECKEDOUT", 3, 4, "Unknown rule keyword \"elements\"."},
    // Element: missing tokens are reported just past the last token.
    {"element", 1, 8, "Missing path pattern."},
    {"element *   # no selector", 1, 10, "Missing version selector."},
    {"element -eltype", 1, 16, "Missing element type name"},
    {"element -eltype a:b * X", 1, 17, "Invalid element type name"},
    {"element -fil * CHECKEDOUT", 1, 9, "Unknown element option \"-fil\"."},
    {"element -file -directory * X", 1, 15, "Only one of -file, -directory and -eltype"},
    {"element a|b CHECKEDOUT", 1, 9, "Invalid path pattern"},
    {"element \"\" CHECKEDOUT", 1, 9, "Invalid path pattern"},
    {"element * -nocheckout", 1, 11, "Expected a version selector"},
    {"element * checked out", 1, 19, "Unexpected \"out\" after the version selector."},
    {"element * LATEST", 1, 11, "\"LATEST\" needs a branch"},
    {"element * REL:1", 1, 11, "Invalid label name"},
    // Version paths: not rooted, too short, "..." inside, bad version.
    {"element * main\\LATEST", 1, 11, "Invalid version selector"},
    {"element * \\LATEST", 1, 11, "Invalid version"},
    {"element * ...\\...\\br\\LATEST", 1, 11, "Invalid version"},
    {"element * \\main\\latest", 1, 11, "Invalid version selector"},
    {"element * X -time", 1, 18, "Missing date after"},
    {"element * X -time now -time today", 1, 23, "Option \"-time\" is given twice."},
    {"element * X -mkbranch", 1, 22, "Missing branch name"},
    {"element * X -mkbranch -override", 1, 23, "Missing branch name after \"-mkbranch\"."},
    {"element * X -mkbranch a/b", 1, 23, "Invalid branch name \"a/b\"."},
    {"element * X -mkbranch a -mkbranch b", 1, 25, "Option \"-mkbranch\" is given twice."},
    {"element * X -override", 1, 13, "\"-override\" needs \"-mkbranch\"."},
    {"element * X -override -mkbranch b -override", 1, 35, "Option \"-override\" is given twice."},
    {"element * X -bogus", 1, 13, "Unknown element option \"-bogus\"."},
    {"mkbranch", 1, 9, "Missing branch name after"},
    {"mkbranch a -override b", 1, 22, "Unexpected \"b\""},
    {"time", 1, 5, "Missing date after \"time\"."},
    {"time 7 Dec 2026", 1, 6, "Invalid date \"7\""},
    {"time now later", 1, 10, "Unexpected \"later\""},
    {"end", 1, 4, "Missing \"mkbranch\" or \"time\""},
    {"end branch", 1, 5, "Unknown block \"branch\""},
    {"element * CHECKEDOUT\r\nload \\v\r\nend mkbranch\r\n", 3, 1,
     "\"end mkbranch\" has no matching \"mkbranch\"."},
    {"mkbranch a\nend time", 2, 1, "\"end time\" has no matching \"time\"."},
    {"mkbranch a\ntime now\nend mkbranch", 3, 1,
     "\"end mkbranch\" comes before the end of the \"time\" block of line 2."},
    {"mkbranch b1\nend mkbranch b2", 2, 14,
     "\"end mkbranch b2\" does not match \"mkbranch b1\" of line 1."},
    {"time 1-Jan-2026\nend time 2-Jan-2026", 2, 10, "\"end time 2-Jan-2026\" does not match"},
    {"mkbranch a\nend mkbranch a b", 2, 16, "Unexpected"},
    {"mkbranch a\nend mkbranch -a", 2, 14, "Invalid branch name"},
    {"include   # nothing", 1, 8, "Missing path after \"include\"."},
    {"load \\vob\\My Project", 1, 14, "Unexpected \"Project\" after the path; quote"},
    {"include \"\"", 1, 9, "Invalid path"},
    {"load a\"b", 1, 6, "Invalid path"},
    {"load \"\\vob\\My Project", 1, 6, "Unterminated quoted string."},
    {"load \"\\vob\\x\"y", 1, 14, "Expected a blank after the closing quote."},
    {"element * CHECKEDOUT\r\r\n", 1, 21, "Invalid control character."},
    {std::string("load \"\\v\0b\"", 11), 1, 9, "Invalid control character."}};

TEST(CfsGrammarTest, SyntaxErrorsReportPositionAndReason) {
    for (const CErrorCase& expected : kErrors) {
        SCOPED_TRACE(expected.text);
        const CCfsParseResult result = ParseConfigSpecText(expected.text);
        const std::string start = "Syntax error on line " + std::to_string(expected.line) +
                                  ", near column " + std::to_string(expected.column) + ", " +
                                  expected.reason_start;
        EXPECT_TRUE(result.Diagnostic().starts_with(start)) << result.Diagnostic();
        // The check that keeps no rules comes to the same verdict.
        const CCfsParseResult verdict = ParseConfigSpecText(expected.text, /*keep_rules=*/false);
        EXPECT_EQ(verdict.Diagnostic(), result.Diagnostic());
        EXPECT_TRUE(verdict.rules.empty());
    }
}

}  // namespace
}  // namespace kelmora

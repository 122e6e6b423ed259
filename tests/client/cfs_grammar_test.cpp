#include "client/cfs_grammar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelmora {
namespace {

using Kind = CCfsRule::Kind;
using Filter = CCfsRule::Filter;
using Selector = CCfsRule::Selector;

CCfsRule ParseSingleRule(const std::string& text) {
    const CCfsParseResult result = ParseConfigSpecText(text);
    EXPECT_TRUE(result.ok) << text << "\n" << result.Diagnostic();
    EXPECT_EQ(result.rules.size(), 1u) << text;
    return result.rules.empty() ? CCfsRule{} : result.rules.front();
}

CCfsDate Absolute(int day, int month, int year) {
    CCfsDate date;
    date.kind = CCfsDate::Kind::Absolute;
    date.day = day;
    date.month = month;
    date.year = year;
    return date;
}

CCfsDate Absolute(int day, int month, int year, int hour, int minute, int second) {
    CCfsDate date = Absolute(day, month, year);
    date.has_time_of_day = true;
    date.hour = hour;
    date.minute = minute;
    date.second = second;
    return date;
}

CCfsDate Relative(CCfsDate::Kind kind) {
    CCfsDate date;
    date.kind = kind;
    return date;
}

// ---------------------------------------------------------------- element rules

struct CElementCase {
    std::string text;
    Filter filter;
    std::string element_type;
    std::string pattern;
    Selector selector_kind;
    std::string selector_branch;
    std::string selector_version;
    std::string time_text;  // empty: no -time
    std::string branch;     // empty: no -mkbranch
    bool override_branch;
    bool nocheckout;
};

class CfsElementRuleTest : public ::testing::TestWithParam<CElementCase> {};

TEST_P(CfsElementRuleTest, FieldsAreFilled) {
    const CElementCase& expected = GetParam();
    const CCfsRule rule = ParseSingleRule(expected.text);
    EXPECT_EQ(rule.kind, Kind::Element);
    EXPECT_EQ(rule.line, 1);
    EXPECT_EQ(rule.filter, expected.filter);
    EXPECT_EQ(rule.element_type, expected.element_type);
    EXPECT_EQ(rule.pattern, expected.pattern);
    EXPECT_EQ(rule.selector_kind, expected.selector_kind);
    EXPECT_EQ(rule.selector_branch, expected.selector_branch);
    EXPECT_EQ(rule.selector_version, expected.selector_version);
    EXPECT_EQ(rule.has_time, !expected.time_text.empty());
    EXPECT_EQ(rule.time_text, expected.time_text);
    EXPECT_EQ(rule.branch, expected.branch);
    EXPECT_EQ(rule.override_branch, expected.override_branch);
    EXPECT_EQ(rule.nocheckout, expected.nocheckout);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CfsElementRuleTest,
    ::testing::Values(
        CElementCase{"element * CHECKEDOUT", Filter::Any, "", "*", Selector::CheckedOut, "", "", "",
                     "", false, false},
        CElementCase{"element * \\main\\LATEST", Filter::Any, "", "*", Selector::Version, "main",
                     "LATEST", "", "", false, false},
        CElementCase{"element * /main/LATEST", Filter::Any, "", "*", Selector::Version, "main",
                     "LATEST", "", "", false, false},
        CElementCase{"element * \\main\\0", Filter::Any, "", "*", Selector::Version, "main", "0",
                     "", "", false, false},
        CElementCase{"element * ...\\jdoe_dev\\LATEST", Filter::Any, "", "*", Selector::Version,
                     "jdoe_dev", "LATEST", "", "", false, false},
        CElementCase{"element * .../br/LATEST", Filter::Any, "", "*", Selector::Version, "br",
                     "LATEST", "", "", false, false},
        CElementCase{"element \\vob\\src\\... \\main\\int\\feature\\17", Filter::Any, "",
                     "\\vob\\src\\...", Selector::Version, "feature", "17", "", "", false, false},
        CElementCase{"element /vob/lib/*.c REL_2.1", Filter::Any, "", "/vob/lib/*.c",
                     Selector::Label, "", "", "", "", false, false},
        CElementCase{"element -file ... \\main\\LATEST", Filter::File, "", "...", Selector::Version,
                     "main", "LATEST", "", "", false, false},
        CElementCase{"element -directory \\vob\\... CHECKEDOUT", Filter::Directory, "",
                     "\\vob\\...", Selector::CheckedOut, "", "", "", "", false, false},
        CElementCase{"element -eltype text_file * BASELINE_3", Filter::ElementType, "text_file",
                     "*", Selector::Label, "", "", "", "", false, false},
        CElementCase{"element \"\\vob\\My Documents\\...\" CHECKEDOUT", Filter::Any, "",
                     "\\vob\\My Documents\\...", Selector::CheckedOut, "", "", "", "", false,
                     false},
        CElementCase{"element * \\main\\LATEST -time 03-Dec-2026.23:27:24", Filter::Any, "", "*",
                     Selector::Version, "main", "LATEST", "03-Dec-2026.23:27:24", "", false, false},
        CElementCase{"element * \\main\\0 -mkbranch jdoe_dev", Filter::Any, "", "*",
                     Selector::Version, "main", "0", "", "jdoe_dev", false, false},
        CElementCase{"element * \\main\\0 -mkbranch jdoe_dev -override", Filter::Any, "", "*",
                     Selector::Version, "main", "0", "", "jdoe_dev", true, false},
        CElementCase{"element * REL1 -nocheckout", Filter::Any, "", "*", Selector::Label, "", "",
                     "", "", false, true},
        // Options after the selector come in any order.
        CElementCase{"element\t-file\t*\t\\main\\LATEST\t-nocheckout -override -time now "
                     "-mkbranch fix  # all of them",
                     Filter::File, "", "*", Selector::Version, "main", "LATEST", "now", "fix", true,
                     true}));

// ---------------------------------------------------------------- other rule forms

TEST(CfsGrammarTest, MkBranchRuleWithAndWithoutOverride) {
    CCfsRule rule = ParseSingleRule("mkbranch jdoe_dev");
    EXPECT_EQ(rule.kind, Kind::MkBranch);
    EXPECT_EQ(rule.branch, "jdoe_dev");
    EXPECT_FALSE(rule.override_branch);

    rule = ParseSingleRule("  mkbranch rel-1.2 -override   # keep versions apart");
    EXPECT_EQ(rule.kind, Kind::MkBranch);
    EXPECT_EQ(rule.branch, "rel-1.2");
    EXPECT_TRUE(rule.override_branch);
}

TEST(CfsGrammarTest, EndRulesWithAndWithoutArgument) {
    CCfsParseResult result = ParseConfigSpecText(
        "mkbranch a\nend mkbranch\nmkbranch b\nend mkbranch b\n"
        "time 1-Jan-2026\nend time\ntime 2-feb-2026\nend time 2-February-2026\n");
    ASSERT_TRUE(result.ok) << result.Diagnostic();
    ASSERT_EQ(result.rules.size(), 8u);
    EXPECT_EQ(result.rules[1].kind, Kind::EndMkBranch);
    EXPECT_EQ(result.rules[1].branch, "");
    EXPECT_EQ(result.rules[3].branch, "b");
    EXPECT_EQ(result.rules[5].kind, Kind::EndTime);
    EXPECT_FALSE(result.rules[5].has_time);
    EXPECT_TRUE(result.rules[7].has_time);
    // The same day written differently still closes its block.
    EXPECT_EQ(result.rules[7].time, result.rules[6].time);
    EXPECT_EQ(result.rules[7].time_text, "2-February-2026");
}

TEST(CfsGrammarTest, LoadAndIncludeTakeOnePathWithQuotesRemoved) {
    const CCfsParseResult result = ParseConfigSpecText(
        "load \\vob\\src\n"
        "load \"\\vob\\My Project\\docs\"  # quoted because of the blank\n"
        "include /srv/specs/common.cs\n"
        "include \"C:\\Config Specs\\base.cs\"\n");
    ASSERT_TRUE(result.ok) << result.Diagnostic();
    ASSERT_EQ(result.rules.size(), 4u);
    EXPECT_EQ(result.rules[0].kind, Kind::Load);
    EXPECT_EQ(result.rules[0].path, "\\vob\\src");
    EXPECT_EQ(result.rules[1].path, "\\vob\\My Project\\docs");
    EXPECT_EQ(result.rules[2].kind, Kind::Include);
    EXPECT_EQ(result.rules[2].path, "/srv/specs/common.cs");
    EXPECT_EQ(result.rules[3].path, "C:\\Config Specs\\base.cs");
    EXPECT_EQ(result.rules[3].line, 4);
}

TEST(CfsGrammarTest, BlankLinesAndCommentsMakeNoRules) {
    const CCfsParseResult result =
        ParseConfigSpecText("\n   \n\t\n# comment\n   # indented comment \"unbalanced\n");
    EXPECT_TRUE(result.ok) << result.Diagnostic();
    EXPECT_TRUE(result.rules.empty());
    EXPECT_TRUE(ParseConfigSpecText("").ok);
}

TEST(CfsGrammarTest, HashInsideATokenOrQuotesIsNotAComment) {
    const CCfsParseResult result =
        ParseConfigSpecText("element \\vob\\a#b REL#1\nload \"\\vob\\x # y\"\n");
    ASSERT_TRUE(result.ok) << result.Diagnostic();
    EXPECT_EQ(result.rules[0].pattern, "\\vob\\a#b");
    EXPECT_EQ(result.rules[0].selector, "REL#1");
    EXPECT_EQ(result.rules[1].path, "\\vob\\x # y");
}

TEST(CfsGrammarTest, LineNumbersFollowLfAndCrLfLineEnds) {
    const CCfsParseResult result =
        ParseConfigSpecText("# one\r\nelement * CHECKEDOUT\r\n\nload \\vob\r\nload \\last\r");
    ASSERT_TRUE(result.ok) << result.Diagnostic();
    ASSERT_EQ(result.rules.size(), 3u);
    EXPECT_EQ(result.rules[0].line, 2);
    EXPECT_EQ(result.rules[0].selector, "CHECKEDOUT");
    EXPECT_EQ(result.rules[1].line, 4);
    EXPECT_EQ(result.rules[1].path, "\\vob");
    EXPECT_EQ(result.rules[2].line, 5);
    EXPECT_EQ(result.rules[2].path, "\\last");
}

// ---------------------------------------------------------------- blocks

TEST(CfsGrammarTest, NestedBlocksRecordTheirEndLines) {
    const CCfsParseResult result = ParseConfigSpecText(
        "mkbranch outer\n"
        "  time 1-Mar-2026.08:00\n"
        "    element * \\main\\LATEST\n"
        "    mkbranch inner -override\n"
        "    end mkbranch inner\n"
        "  end time\n"
        "end mkbranch outer\n");
    ASSERT_TRUE(result.ok) << result.Diagnostic();
    ASSERT_EQ(result.rules.size(), 7u);
    EXPECT_EQ(result.rules[0].end_line, 7);
    EXPECT_EQ(result.rules[1].end_line, 6);
    EXPECT_EQ(result.rules[3].end_line, 5);
}

TEST(CfsGrammarTest, BlocksLeftOpenRunToTheEndOfTheText) {
    const CCfsParseResult result = ParseConfigSpecText(
        "element * CHECKEDOUT\n"
        "mkbranch jdoe_dev\n"
        "time yesterday\n"
        "element * \\main\\LATEST\n"
        "mkbranch other\n"
        "end mkbranch\n");
    ASSERT_TRUE(result.ok) << result.Diagnostic();
    ASSERT_EQ(result.rules.size(), 6u);
    EXPECT_EQ(result.rules[1].end_line, 0);
    EXPECT_EQ(result.rules[2].end_line, 0);
    EXPECT_EQ(result.rules[4].end_line, 6);
}

TEST(CfsGrammarTest, ManagedConfigSpecWithCrLfLineEndsParses) {
    const std::string text =
        "# [SM_PROJECT - Stavemark View Profile Information\r\n"
        "#        Name - \\Stavemark View Profiles\\Proj\r\n"
        "#        ID - 0f1e2d3c-aaaa-bbbb-cccc-001122334455 1.7\r\n"
        "#\r\n"
        "element * CHECKEDOUT\r\n"
        "element * ...\\jdoe_dev\\LATEST\r\n"
        "mkbranch jdoe_dev\r\n"
        "time 7-December-2026.21:05:07\r\n"
        "#\r\n"
        "#       Any modifications to this config spec should\r\n"
        "#       be made following this comment.      \r\n"
        "# SM_PROJECT]\r\n"
        "\r\n"
        "# [SM_PROJECT - View Profile Config Spec\r\n"
        "element * .../int/LATEST\r\n"
        "element * \\main\\0 -mkbranch int\r\n"
        "load \\vobA\r\n"
        "# SM_PROJECT]\r\n";
    const CCfsParseResult result = ParseConfigSpecText(text);
    ASSERT_TRUE(result.ok) << result.Diagnostic();
    ASSERT_EQ(result.rules.size(), 7u);
    EXPECT_EQ(result.rules[1].selector_branch, "jdoe_dev");
    EXPECT_EQ(result.rules[2].kind, Kind::MkBranch);
    EXPECT_EQ(result.rules[2].line, 7);
    EXPECT_EQ(result.rules[3].kind, Kind::Time);
    EXPECT_EQ(result.rules[3].time, Absolute(7, 12, 2026, 21, 5, 7));
    EXPECT_EQ(result.rules[5].branch, "int");
    EXPECT_EQ(result.rules[6].path, "\\vobA");
}

TEST(CfsGrammarTest, VeryLongLinesParse) {
    const std::string name(1 << 20, 'x');
    CCfsParseResult result = ParseConfigSpecText("element \\vob\\" + name + " CHECKEDOUT\n");
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.rules[0].pattern.size(), name.size() + 5);

    result = ParseConfigSpecText("element * " + name + " bogus\n");
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.column, static_cast<int>(11 + name.size() + 1));
    // The reason shortens the quoted token instead of repeating it whole.
    EXPECT_LT(result.reason.size(), 200u);
}

// ---------------------------------------------------------------- dates

struct CDateCase {
    std::string text;
    CCfsDate expected;
};

class CfsDateTest : public ::testing::TestWithParam<CDateCase> {};

TEST_P(CfsDateTest, ParsesInTimeRule) {
    const CCfsRule rule = ParseSingleRule("time " + GetParam().text);
    EXPECT_EQ(rule.kind, Kind::Time);
    EXPECT_TRUE(rule.has_time);
    EXPECT_EQ(rule.time_text, GetParam().text);
    EXPECT_EQ(rule.time, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CfsDateTest,
    ::testing::Values(CDateCase{"03-Dec-2026.23:27:24", Absolute(3, 12, 2026, 23, 27, 24)},
                      CDateCase{"7-December-2026.21:05:07", Absolute(7, 12, 2026, 21, 5, 7)},
                      CDateCase{"7-DECEMBER-2026", Absolute(7, 12, 2026)},
                      CDateCase{"1-jan", Absolute(1, 1, 0)},
                      CDateCase{"15-Sep.9:30", Absolute(15, 9, 0, 9, 30, 0)},
                      CDateCase{"31-oct-1999.00:00:59", Absolute(31, 10, 1999, 0, 0, 59)},
                      CDateCase{"29-Feb-2024", Absolute(29, 2, 2024)},
                      CDateCase{"29-Feb-2000", Absolute(29, 2, 2000)},
                      CDateCase{"29-Feb", Absolute(29, 2, 0)},
                      CDateCase{"now", Relative(CCfsDate::Kind::Now)},
                      CDateCase{"today", Relative(CCfsDate::Kind::Today)},
                      CDateCase{"yesterday", Relative(CCfsDate::Kind::Yesterday)}));

class CfsBadDateTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CfsBadDateTest, IsRejectedWithAReason) {
    CCfsDate date;
    std::string reason;
    EXPECT_FALSE(ParseCfsDate(GetParam(), date, reason));
    EXPECT_NE(reason.find("date"), std::string::npos) << reason;
}

INSTANTIATE_TEST_SUITE_P(Malformed, CfsBadDateTest,
                         ::testing::Values("", "Dec-2026", "7-Dec-26", "7-Dec-20266", "7-Decem",
                                           "123-Dec", "7-Dec-2026.", "7-Dec-2026.1", "7-Dec.10:5",
                                           "7-Dec.10:05:1", "7-Dec-2026.10:05:07x", "7--2026",
                                           "29-Feb-2026", "29-Feb-1900", "31-Apr", "0-Jan",
                                           "32-Jan", "1-Jan.24:00", "1-Jan.23:60", "1-Jan.23:59:60",
                                           "Now", "TODAY", "tomorrow", "7-Dec-0000"));

// ---------------------------------------------------------------- names

TEST(CfsGrammarTest, NamesRejectBlanksSeparatorsAndWildcards) {
    EXPECT_TRUE(IsValidCfsName("jdoe_dev"));
    EXPECT_TRUE(IsValidCfsName("REL-1.2.3"));
    for (const char* bad : {"", "a b", "a\tb", "a\\b", "a/b", "a:b", "a*b", "a?b", "a\"b", "a<b",
                            "a>b", "a|b", "-x"}) {
        EXPECT_FALSE(IsValidCfsName(bad)) << bad;
    }
}

// ---------------------------------------------------------------- errors

TEST(CfsGrammarTest, DiagnosticIsEmptyWhenTheTextParses) {
    EXPECT_EQ(ParseConfigSpecText("element * CHECKEDOUT\n").Diagnostic(), "");
}

TEST(CfsGrammarTest, DiagnosticNamesLineColumnAndReason) {
    const CCfsParseResult result =
        ParseConfigSpecText("element * CHECKEDOUT\nload \\vob\nend mkbranch\n");
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.Diagnostic(),
              "Syntax error on line 3, near column 1, \"end mkbranch\" has no matching "
              "\"mkbranch\".");
}

TEST(CfsGrammarTest, ParsingStopsAtTheFirstErrorKeepingEarlierRules) {
    const CCfsParseResult result =
        ParseConfigSpecText("element * CHECKEDOUT\nelement *\nbogus\nload \\vob\n");
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.line, 2);
    ASSERT_EQ(result.rules.size(), 1u);
    EXPECT_EQ(result.rules[0].selector, "CHECKEDOUT");
}

struct CErrorCase {
    std::string text;
    int line;
    int column;
    std::string diagnostic_prefix;
};

void PrintTo(const CErrorCase& error, std::ostream* out) {
    *out << ::testing::PrintToString(error.text);
}

class CfsSyntaxErrorTest : public ::testing::TestWithParam<CErrorCase> {};

TEST_P(CfsSyntaxErrorTest, ReportsPositionAndReason) {
    const CErrorCase& expected = GetParam();
    const CCfsParseResult result = ParseConfigSpecText(expected.text);
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.line, expected.line);
    EXPECT_EQ(result.column, expected.column);
    EXPECT_TRUE(result.Diagnostic().starts_with(expected.diagnostic_prefix)) << result.Diagnostic();
}

const std::string kAt = "Syntax error on line ";

INSTANTIATE_TEST_SUITE_P(
    Malformed, CfsSyntaxErrorTest,
    ::testing::Values(
        // Rule keywords
        CErrorCase{"Element * CHECKEDOUT", 1, 1,
                   kAt + "1, near column 1, Unknown rule keyword \"Element\"."},
        CErrorCase{"# c\n\n   elements * CHECKEDOUT", 3, 4,
                   kAt + "3, near column 4, Unknown rule keyword"},
        CErrorCase{"\"element\" * CHECKEDOUT", 1, 1, kAt + "1, near column 1, Unknown rule"},
        // Element: missing tokens are reported just past the last token.
        CErrorCase{"element", 1, 8, kAt + "1, near column 8, Missing path pattern."},
        CErrorCase{"element *   # no selector", 1, 10,
                   kAt + "1, near column 10, Missing version selector."},
        CErrorCase{"element -file", 1, 14, kAt + "1, near column 14, Missing path pattern."},
        CErrorCase{"element -eltype", 1, 16, kAt + "1, near column 16, Missing element type name"},
        CErrorCase{"element -eltype a:b * X", 1, 17,
                   kAt + "1, near column 17, Invalid element type name"},
        CErrorCase{"element -fil * CHECKEDOUT", 1, 9,
                   kAt + "1, near column 9, Unknown element option \"-fil\"."},
        CErrorCase{"element -file -directory * X", 1, 15,
                   kAt + "1, near column 15, Only one of -file, -directory and -eltype"},
        CErrorCase{"element a|b CHECKEDOUT", 1, 9, kAt + "1, near column 9, Invalid path pattern"},
        CErrorCase{"element \"\" CHECKEDOUT", 1, 9, kAt + "1, near column 9, Invalid path pattern"},
        CErrorCase{"element * -nocheckout", 1, 11,
                   kAt + "1, near column 11, Expected a version selector"},
        CErrorCase{"element * checked out", 1, 19,
                   kAt + "1, near column 19, Unexpected \"out\" after the version selector."},
        CErrorCase{"element * LATEST", 1, 11, kAt + "1, near column 11, \"LATEST\" needs a branch"},
        CErrorCase{"element * REL:1", 1, 11, kAt + "1, near column 11, Invalid label name"},
        CErrorCase{"element * \\main\\latest", 1, 11,
                   kAt + "1, near column 11, Invalid version selector"},
        CErrorCase{"element * main\\LATEST", 1, 11,
                   kAt + "1, near column 11, Invalid version selector"},
        CErrorCase{"element * \\LATEST", 1, 11, kAt + "1, near column 11, Invalid version"},
        CErrorCase{"element * \\main\\\\LATEST", 1, 11, kAt + "1, near column 11, Invalid version"},
        CErrorCase{"element * \\main\\LATEST\\", 1, 11, kAt + "1, near column 11, Invalid version"},
        CErrorCase{"element * \\main\\-1", 1, 11, kAt + "1, near column 11, Invalid version"},
        CErrorCase{"element * ...\\...\\br\\LATEST", 1, 11,
                   kAt + "1, near column 11, Invalid version"},
        CErrorCase{"element * .../b*r/LATEST", 1, 11, kAt + "1, near column 11, Invalid version"},
        CErrorCase{"element * \"\\main\\LATEST\"", 1, 11,
                   kAt + "1, near column 11, Invalid version"},
        // Element options
        CErrorCase{"element * X -time", 1, 18, kAt + "1, near column 18, Missing date after"},
        CErrorCase{"element * X -time 31-Nov-2026", 1, 19,
                   kAt + "1, near column 19, Day out of range in date \"31-Nov-2026\"."},
        CErrorCase{"element * X -time now -time today", 1, 23,
                   kAt + "1, near column 23, Option \"-time\" is given twice."},
        CErrorCase{"element * X -mkbranch", 1, 22, kAt + "1, near column 22, Missing branch name"},
        CErrorCase{"element * X -mkbranch -override", 1, 23,
                   kAt + "1, near column 23, Missing branch name after \"-mkbranch\"."},
        CErrorCase{"element * X -mkbranch a/b", 1, 23,
                   kAt + "1, near column 23, Invalid branch name \"a/b\"."},
        CErrorCase{"element * X -mkbranch a -mkbranch b", 1, 25,
                   kAt + "1, near column 25, Option \"-mkbranch\" is given twice."},
        CErrorCase{"element * X -override", 1, 13,
                   kAt + "1, near column 13, \"-override\" needs \"-mkbranch\"."},
        CErrorCase{"element * X -override -mkbranch b -override", 1, 35,
                   kAt + "1, near column 35, Option \"-override\" is given twice."},
        CErrorCase{"element * X -bogus", 1, 13,
                   kAt + "1, near column 13, Unknown element option \"-bogus\"."},
        // mkbranch and time
        CErrorCase{"mkbranch", 1, 9, kAt + "1, near column 9, Missing branch name after"},
        CErrorCase{"mkbranch\t-override", 1, 10, kAt + "1, near column 10, Missing branch name"},
        CErrorCase{"mkbranch a*b", 1, 10, kAt + "1, near column 10, Invalid branch name"},
        CErrorCase{"mkbranch a -override b", 1, 22, kAt + "1, near column 22, Unexpected \"b\""},
        CErrorCase{"mkbranch a -Override", 1, 12, kAt + "1, near column 12, Unexpected"},
        CErrorCase{"time", 1, 5, kAt + "1, near column 5, Missing date after \"time\"."},
        CErrorCase{"time 7-Dez-2026", 1, 6, kAt + "1, near column 6, Unknown month in date"},
        CErrorCase{"time 1-Jan.25:00", 1, 6, kAt + "1, near column 6, Time of day out of range"},
        CErrorCase{"time 7 Dec 2026", 1, 6, kAt + "1, near column 6, Invalid date \"7\""},
        CErrorCase{"time now later", 1, 10, kAt + "1, near column 10, Unexpected \"later\""},
        // end
        CErrorCase{"end", 1, 4, kAt + "1, near column 4, Missing \"mkbranch\" or \"time\""},
        CErrorCase{"end branch", 1, 5, kAt + "1, near column 5, Unknown block \"branch\""},
        CErrorCase{"element * CHECKEDOUT\r\nload \\v\r\nend mkbranch\r\n", 3, 1,
                   kAt + "3, near column 1, \"end mkbranch\" has no matching \"mkbranch\"."},
        CErrorCase{"mkbranch a\nend time", 2, 1,
                   kAt + "2, near column 1, \"end time\" has no matching \"time\"."},
        CErrorCase{"mkbranch a\nend mkbranch\n  end mkbranch", 3, 3,
                   kAt + "3, near column 3, \"end mkbranch\" has no matching"},
        CErrorCase{"mkbranch a\ntime now\nend mkbranch", 3, 1,
                   kAt + "3, near column 1, \"end mkbranch\" comes before the end of the \"time\" "
                         "block of line 2."},
        CErrorCase{"mkbranch b1\nend mkbranch b2", 2, 14,
                   kAt + "2, near column 14, \"end mkbranch b2\" does not match \"mkbranch b1\" "
                         "of line 1."},
        CErrorCase{"time 1-Jan-2026\nend time 2-Jan-2026", 2, 10,
                   kAt + "2, near column 10, \"end time 2-Jan-2026\" does not match"},
        CErrorCase{"mkbranch a\nend mkbranch a b", 2, 16, kAt + "2, near column 16, Unexpected"},
        CErrorCase{"mkbranch a\nend mkbranch -a", 2, 14,
                   kAt + "2, near column 14, Invalid branch name"},
        CErrorCase{"time now\nend time 30-Feb", 2, 10, kAt + "2, near column 10, Day out of range"},
        // load and include
        CErrorCase{"load", 1, 5, kAt + "1, near column 5, Missing path after \"load\"."},
        CErrorCase{"include   # nothing", 1, 8, kAt + "1, near column 8, Missing path after"},
        CErrorCase{"load \\vob\\My Project", 1, 14,
                   kAt + "1, near column 14, Unexpected \"Project\" after the path; quote"},
        CErrorCase{"include \"\"", 1, 9, kAt + "1, near column 9, Invalid path"},
        CErrorCase{"load a\"b", 1, 6, kAt + "1, near column 6, Invalid path"},
        // Tokens
        CErrorCase{"load \"\\vob\\My Project", 1, 6,
                   kAt + "1, near column 6, Unterminated quoted string."},
        CErrorCase{"load \"\\vob\\x\"y", 1, 14,
                   kAt + "1, near column 14, Expected a blank after the closing quote."},
        CErrorCase{"element * CHECKEDOUT\r\r\n", 1, 21,
                   kAt + "1, near column 21, Invalid control character."},
        CErrorCase{std::string("load \\v\0b", 9), 1, 8,
                   kAt + "1, near column 8, Invalid control character."}));

}  // namespace
}  // namespace kelmora

#include "client/cfs_grammar.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kelmora {
namespace {

using Kind = CCfsRule::Kind;

// A parsed date as "day.month.year[ hour:minute:second]", or its kind's name.
std::string DateText(const CCfsDate& d) {
    static const char* const kNames[] = {"", "now", "today", "yesterday"};
    if (d.kind != CCfsDate::Kind::Absolute) return kNames[static_cast<int>(d.kind)];
    std::string text =
        std::to_string(d.day) + "." + std::to_string(d.month) + "." + std::to_string(d.year);
    if (d.has_time_of_day || d.hour || d.minute || d.second) {
        text += " " + std::to_string(d.hour) + ":" + std::to_string(d.minute) + ":" +
                std::to_string(d.second);
    }
    return text;
}

// A rule written back as one line: its kind, then every field that differs
// from a default rule, so that a field filled by mistake shows as well.
// Patterns and paths are in brackets, quotes removed; a date also as parsed.
std::string Describe(const CCfsRule& rule) {
    static const char* const kKinds[] = {"element",  "mkbranch", "end mkbranch", "time",
                                         "end time", "load",     "include"};
    static const char* const kFilters[] = {"", " -file", " -directory", " -eltype"};
    static const char* const kSelectors[] = {"CHECKEDOUT", "version", "label"};
    const bool element = rule.kind == Kind::Element;
    std::string text = kKinds[static_cast<int>(rule.kind)];
    text += kFilters[static_cast<int>(rule.filter)];
    if (!rule.element_type.empty()) text += " " + rule.element_type;
    if (!rule.pattern.empty()) text += " [" + rule.pattern + "]";
    if (element || rule.selector_kind != CCfsRule::Selector::CheckedOut) {
        text += std::string(" ") + kSelectors[static_cast<int>(rule.selector_kind)];
    }
    if (rule.selector_kind == CCfsRule::Selector::Label) text += " " + rule.selector;
    if (!rule.selector_branch.empty() || !rule.selector_version.empty()) {
        text += " " + rule.selector_branch + "/" + rule.selector_version;
    }
    if (rule.has_time || !rule.time_text.empty()) {
        text += (rule.has_time ? (element ? " -time " : " ") : " <no time> ") + rule.time_text;
        text += " {" + DateText(rule.time) + "}";
    }
    if (!rule.branch.empty()) text += (element ? " -mkbranch " : " ") + rule.branch;
    if (rule.override_branch) text += " -override";
    if (rule.nocheckout) text += " -nocheckout";
    if (!rule.path.empty()) text += " [" + rule.path + "]";
    return text;
}

// ---------------------------------------------------------------- rule forms

struct CRuleCase {
    const char* text;
    const char* rule;  // Describe() of the text's last rule
};

const CRuleCase kRules[] = {
    {"element * CHECKEDOUT", "element [*] CHECKEDOUT"},
    {"element * \\main\\LATEST", "element [*] version main/LATEST"},
    {"element * ...\\jdoe_dev\\LATEST", "element [*] version jdoe_dev/LATEST"},
    {"element \\vob\\src\\... \\main\\int\\feature\\17",
     "element [\\vob\\src\\...] version feature/17"},
    {"element /vob/lib/*.c REL_2.1", "element [/vob/lib/*.c] label REL_2.1"},
    {"element -directory \\vob\\... CHECKEDOUT", "element -directory [\\vob\\...] CHECKEDOUT"},
    {"element -eltype text_file * BASELINE_3", "element -eltype text_file [*] label BASELINE_3"},
    {"element \"\\vob\\My Documents\\...\" CHECKEDOUT",
     "element [\\vob\\My Documents\\...] CHECKEDOUT"},
    {"element \\vob\\a#b REL#1", "element [\\vob\\a#b] label REL#1"},
    // Options after the selector come in any order.
    {"element\t-file\t*\t\\main\\LATEST\t-nocheckout -override -time now "
     "-mkbranch fix  # all of them",
     "element -file [*] version main/LATEST -time now {now} -mkbranch fix -override "
     "-nocheckout"},
    {"  mkbranch rel-1.2 -override   # keep", "mkbranch rel-1.2 -override"},
    // The same day written differently still closes its block.
    {"time 2-feb-2026\nend time 2-February-2026", "end time 2-February-2026 {2.2.2026}"},
    // Nested blocks each closed by their own end.
    {"mkbranch outer\n time 1-Mar-2026.08:00\n  mkbranch inner -override\n  end mkbranch\n"
     " end time\nend mkbranch outer",
     "end mkbranch outer"},
    {"load \"\\vob\\x # y\"", "load [\\vob\\x # y]"},
    {"include /srv/specs/common.cs", "include [/srv/specs/common.cs]"},
    // Dates: month names in any case and length, years of four digits or none.
    {"time 7-December-2026.21:05:07", "time 7-December-2026.21:05:07 {7.12.2026 21:5:7}"},
    {"time 15-Sep.9:30", "time 15-Sep.9:30 {15.9.0 9:30:0}"},
    {"time 29-Feb-2024", "time 29-Feb-2024 {29.2.2024}"},
    {"time 29-Feb-2000", "time 29-Feb-2000 {29.2.2000}"},
    {"time 29-Feb", "time 29-Feb {29.2.0}"},
    {"time today", "time today {today}"},
    {"time yesterday", "time yesterday {yesterday}"}};

TEST(CfsGrammarTest, LastRuleHasTheWrittenFields) {
    for (const auto& [text, rule] : kRules) {
        const CCfsParseResult result = ParseConfigSpecText(text);
        ASSERT_EQ(result.Diagnostic(), "") << text;
        ASSERT_FALSE(result.rules.empty()) << text;
        EXPECT_EQ(Describe(result.rules.back()), rule) << text;
    }
}

// CRLF, LF and a last line ended by a lone CR; blank, indented and comment
// lines (an unbalanced quote in one) hold no rule but count as lines.
TEST(CfsGrammarTest, CommentsBlankLinesAndMixedLineEndsParse) {
    const CCfsParseResult result = ParseConfigSpecText(
        "# [SM_PROJECT - View Profile Config Spec\r\n"
        "element * CHECKEDOUT\r\n"
        "time 7-December-2026.21:05:07\r\n"
        "\r\n   \n\t\n   # indented comment \"unbalanced\n"
        "element * .../int/LATEST\n"
        "load \\last\r");
    ASSERT_TRUE(result.ok) << result.Diagnostic();
    std::vector<int> lines;
    for (const CCfsRule& rule : result.rules) lines.push_back(rule.line);
    ASSERT_EQ(lines, (std::vector<int>{2, 3, 8, 9}));
    EXPECT_EQ(Describe(result.rules[2]), "element [*] version int/LATEST");
    EXPECT_EQ(Describe(result.rules[3]), "load [\\last]");
    const CCfsParseResult empty = ParseConfigSpecText("");
    EXPECT_TRUE(empty.ok && empty.rules.empty());
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
    EXPECT_TRUE(IsValidCfsName("jdoe_dev"));
    EXPECT_TRUE(IsValidCfsName("REL-1.2.3"));
    for (const char* bad :
         {"", "a b", "a\tb", "a\\b", "a/b", "a:b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b", "-x",
          "#x", "..."}) {  // found by fuzzing branch names: #x, ...
        EXPECT_FALSE(IsValidCfsName(bad)) << bad;
    }
}

// ---------------------------------------------------------------- errors

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
    std::string reason_start;
};

const CErrorCase kErrors[] = {
    // Rule keywords
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
    // Element options
    {"element * X -time", 1, 18, "Missing date after"},
    {"element * X -time now -time today", 1, 23, "Option \"-time\" is given twice."},
    {"element * X -mkbranch", 1, 22, "Missing branch name"},
    {"element * X -mkbranch -override", 1, 23, "Missing branch name after \"-mkbranch\"."},
    {"element * X -mkbranch a/b", 1, 23, "Invalid branch name \"a/b\"."},
    {"element * X -mkbranch a -mkbranch b", 1, 25, "Option \"-mkbranch\" is given twice."},
    {"element * X -override", 1, 13, "\"-override\" needs \"-mkbranch\"."},
    {"element * X -override -mkbranch b -override", 1, 35, "Option \"-override\" is given twice."},
    {"element * X -bogus", 1, 13, "Unknown element option \"-bogus\"."},
    // mkbranch and time
    {"mkbranch", 1, 9, "Missing branch name after"},
    {"mkbranch a -override b", 1, 22, "Unexpected \"b\""},
    {"time", 1, 5, "Missing date after \"time\"."},
    {"time 7 Dec 2026", 1, 6, "Invalid date \"7\""},
    {"time now later", 1, 10, "Unexpected \"later\""},
    // end
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
    // load and include
    {"include   # nothing", 1, 8, "Missing path after \"include\"."},
    {"load \\vob\\My Project", 1, 14, "Unexpected \"Project\" after the path; quote"},
    {"include \"\"", 1, 9, "Invalid path"},
    {"load a\"b", 1, 6, "Invalid path"},
    // Tokens
    {"load \"\\vob\\My Project", 1, 6, "Unterminated quoted string."},
    {"load \"\\vob\\x\"y", 1, 14, "Expected a blank after the closing quote."},
    {"element * CHECKEDOUT\r\r\n", 1, 21, "Invalid control character."},
    {std::string("load \"\\v\0b\"", 11), 1, 9, "Invalid control character."}};

TEST(CfsGrammarTest, SyntaxErrorsReportPositionAndReason) {
    for (const CErrorCase& expected : kErrors) {
        SCOPED_TRACE(expected.text);
        const CCfsParseResult result = ParseConfigSpecText(expected.text);
        ASSERT_FALSE(result.ok);
        EXPECT_EQ(result.line, expected.line);
        EXPECT_EQ(result.column, expected.column);
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

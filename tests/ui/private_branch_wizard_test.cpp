// The private branch wizard's models on a fixed clock in UTC, and its console
// rendering. What Finish does to a view is shown through the operations.
#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "support/scripted_ui.h"
#include "support/test_env.h"
#include "ui/branch_psheet.h"
#include "ui/console/console_ui.h"

namespace kelmora {
namespace {

std::time_t g_now = 0;

// Seconds since the epoch of a UTC date and time.
std::time_t Utc(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return timegm(&tm);
}

class WizardTest : public ::testing::Test {
protected:
    WizardTest() : tz_("TZ", "UTC0"), clock_([] { return g_now; }) { tzset(); }
    ~WizardTest() override { tzset(); }

    // The sheet as set-up runs it, on the branch point page when asked.
    void Start(bool to_branch_point = false) {
        sheet_.SetWizardMode();
        sheet_.OnInitDialog();
        if (!to_branch_point) return;
        sheet_.name_page().set_name("priv");
        sheet_.name_page().OnNo();
        sheet_.OnNext();
        ASSERT_EQ(sheet_.active_page(), CBranchPSheet::kBranchPointPage);
    }
    CWizBranchPt& page() { return sheet_.branch_point_page(); }

    test::CScopedEnv tz_;
    CScopedClock clock_;
    test::CScriptedUserInterface ui_{std::string(20, '\n')};
    CBranchPSheet sheet_{"", nullptr, CBranchPSheet::kNamePage};
};

struct CNameCase {
    const char* label;
    const char* name;
    const char* refusal;  // the box's text; null: accepted
};

class BranchNameTest : public WizardTest, public ::testing::WithParamInterface<CNameCase> {};

TEST_P(BranchNameTest, IsRefusedByTheFirstCheckThatFails) {
    Start();
    sheet_.name_page().set_name(GetParam().name);
    sheet_.name_page().OnNo();
    sheet_.OnNext();
    const char* refusal = GetParam().refusal;
    ASSERT_EQ(ui_.shown().size(), refusal ? 1u : 0u);
    if (refusal) {
        EXPECT_EQ(ui_.shown()[0].text, refusal);
        EXPECT_EQ(sheet_.active_page(), CBranchPSheet::kNamePage);
        EXPECT_EQ(sheet_.focus(), CWizName::kNameEditId);
    } else {
        EXPECT_EQ(sheet_.active_page(), CBranchPSheet::kBranchPointPage);
    }
}

constexpr char kEmpty[] = "You must first enter a name for the private branch.";
constexpr char kSpaces[] = "Branch names may not contain spaces.";
constexpr char kMain[] = "You can not use the predefined branch type \"main.\"";
constexpr char kNumeric[] = "It is illegal to use a numeric value as a branch type name.";
constexpr char kCharacters[] = "Branch names may not contain these characters: \\/:*?\"<>|";

INSTANTIATE_TEST_SUITE_P(
    Names, BranchNameTest,
    ::testing::Values(
        CNameCase{"Empty", "", kEmpty}, CNameCase{"SpaceBeforeAll", "1 /", kSpaces},
        CNameCase{"Main", "main", kMain}, CNameCase{"MainCapitalised", "Main", nullptr},
        CNameCase{"Mainline", "mainline", nullptr}, CNameCase{"Decimal", "123", kNumeric},
        CNameCase{"Negative", "-5", kNumeric}, CNameCase{"Plus", "+7", kNumeric},
        CNameCase{"Hexadecimal", "0x1F", kNumeric},
        CNameCase{"DigitsThenLetters", "12abc", nullptr}, CNameCase{"XAfterADigit", "1x5", nullptr},
        CNameCase{"HexLetters", "ff", nullptr}, CNameCase{"Exponent", "1e5", nullptr},
        CNameCase{"Slash", "a/b", kCharacters}, CNameCase{"Colon", "a:b", kCharacters},
        CNameCase{"Bar", "a|b", kCharacters}, CNameCase{"Quote", "a\"b", kCharacters}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(WizardTest, CurrentTimeTextHasTheEnglishMonthAndTwoDigitFields) {
    g_now = Utc(2026, 12, 3, 23, 27, 24);
    EXPECT_EQ(CurrentTimeBranchPoint(), "03-Dec-2026.23:27:24");
}

struct CClockCase {
    const char* label;
    std::time_t now;
    const char* hour;
    const char* marker;
    const char* rule;
};

class BranchPointTimeTest : public WizardTest, public ::testing::WithParamInterface<CClockCase> {};

TEST_P(BranchPointTimeTest, ShowsNowOnATwelveHourClockAndComposesTwentyFour) {
    g_now = GetParam().now;
    Start(true);
    EXPECT_EQ(page().kind(), CWizBranchPt::kTimeRule);
    EXPECT_EQ(page().hour(), GetParam().hour);
    EXPECT_EQ(page().marker(), GetParam().marker);
    EXPECT_EQ(page().TimeRuleText(), GetParam().rule);
}

INSTANTIATE_TEST_SUITE_P(Clocks, BranchPointTimeTest,
                         ::testing::Values(CClockCase{"Evening", Utc(2026, 12, 7, 21, 5, 7), " 9",
                                                      "PM", "7-December-2026.21:05:07"},
                                           CClockCase{"Midnight", Utc(2027, 1, 1, 0, 0, 0), "12",
                                                      "AM", "1-January-2027.0:00:00"},
                                           CClockCase{"Noon", Utc(2027, 6, 30, 12, 30, 0), "12",
                                                      "PM", "30-June-2027.12:30:00"}),
                         [](const auto& info) { return std::string(info.param.label); });

struct CSpinCase {
    const char* label;
    int focus;  // the field's edit control; 0: none
    int delta;  // negative: the up arrow
    std::time_t now;
    std::string field;
    std::string after;
};

class TimeSpinTest : public WizardTest, public ::testing::WithParamInterface<CSpinCase> {};

TEST_P(TimeSpinTest, ChangesTheFocusedFieldAndGoesRound) {
    const CSpinCase& c = GetParam();
    g_now = c.now;
    Start(true);
    if (c.focus) page().OnTimeFieldFocus(c.focus);
    page().OnTimeSpin(c.delta);
    const std::string& shown = c.field == "seconds" ? page().seconds() : page().marker();
    EXPECT_EQ(shown, c.after);
    EXPECT_EQ(sheet_.focus(), c.focus ? c.focus : CWizBranchPt::kMarkerEditId);
}

const std::time_t kNoon = Utc(2027, 3, 1, 12, 59, 59);
const std::time_t kOne = Utc(2027, 3, 1, 1, 0, 0);

INSTANTIATE_TEST_SUITE_P(
    Spins, TimeSpinTest,
    ::testing::Values(
        CSpinCase{"SecondsUpAfter59", CWizBranchPt::kSecondsEditId, -1, kNoon, "seconds", "00"},
        CSpinCase{"SecondsDownBefore0", CWizBranchPt::kSecondsEditId, 0, kOne, "seconds", "59"},
        CSpinCase{"NoFieldTogglesAm", 0, 1, kOne, "marker", "PM"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(WizardTest, MonthAndYearChangesLowerTheDay) {
    g_now = Utc(2027, 1, 31, 8, 0, 0);
    Start(true);
    EXPECT_TRUE(page().SelectMonth("april"));
    EXPECT_EQ(page().day(), "30");
    ASSERT_TRUE(page().SelectMonth("February"));
    EXPECT_EQ(page().day(), "28");
    EXPECT_FALSE(page().SetDay(29));
    ASSERT_TRUE(page().SetYear(2100));
    EXPECT_TRUE(page().SetDay(29));
    EXPECT_EQ(page().TimeRuleText(), "29-February-2100.8:00:00");
    EXPECT_FALSE(page().SetYear(2101));
}

// The console: one command per line; a command for what cannot be used is
// refused, a wrong value is answered, and the end of the input cancels. The
// outcome: the refused words, the answers, and the last state of the page.
struct CConsoleCase {
    const char* label;
    std::string script;
    std::string outcome;
};

constexpr char kToBranchPoint[] = "name priv\nno\nnext\n";
const std::string kPleaseAnswer =
    "please answer checkpoint NAME, label NAME, time, month NAME, day N, year N, focus "
    "hour|minutes|seconds|none, up, down, back, finish, cancel or help; ";

class WizardConsoleTest : public WizardTest, public ::testing::WithParamInterface<CConsoleCase> {};

TEST_P(WizardConsoleTest, EachLineIsOneCommandAndTheEndCancels) {
    g_now = Utc(2027, 1, 31, 8, 0, 0);
    std::istringstream in(GetParam().script);
    std::ostringstream out;
    CConsoleUserInterface console(in, out);
    CScopedUserInterface scope(&console);
    sheet_.SetWizardMode();
    EXPECT_EQ(console.RunBranchPSheet(sheet_), IDCANCEL);
    EXPECT_EQ(sheet_.completion(), 1);
    std::string outcome, last_state;
    const std::regex said(
        R"(\+-- (\w+) is not available now|\+-- ((?:day|year|month|focus|no|please) [^\n]*)|\| ((?:Name|Month|Label|Checkpoint): [^\n]*))");
    const std::string text = out.str();
    for (std::sregex_iterator it(text.begin(), text.end(), said), last; it != last; ++it) {
        if ((*it)[1].matched) outcome += (*it)[1].str() + " refused; ";
        if ((*it)[2].matched) outcome += (*it)[2].str() + "; ";
        if ((*it)[3].matched) last_state = (*it)[3].str();
    }
    EXPECT_EQ(outcome + last_state, GetParam().outcome) << text;
    EXPECT_TRUE(text.ends_with("Cancel (end of input)\n")) << text;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Scripts, WizardConsoleTest, ::testing::Values(
    CConsoleCase{"NamePage", "back\nnext\nmonth May\nno\nfinish\nname x\n", "back refused; next refused; month refused; finish refused; Name: x"},
    CConsoleCase{"BranchPointPage", "name priv\nno\nnext\nname y\nnext\ncheckpoint A\nlabel L\nup\nday 3\ntime\nup\nback\nyes\n", "name refused; next refused; checkpoint refused; up refused; day refused; Name: priv"},
    CConsoleCase{"MonthAndDay", std::string(kToBranchPoint) + "month april\n  DAY 3\r\nday 31\nday x\n", "day takes 1 to 30; day takes 1 to 30; Month: April  Day: 3  Year: 2027  Time:  8:00:00 AM   (up and down change the AM/PM)"},
    CConsoleCase{"YearAndMonthRefused", std::string(kToBranchPoint) + "year 1900\nyear 2030\nmonth Foo\nmonth\n", "year takes 1970 to 2100; month takes a month's name, January to December; month takes a month's name, January to December; Month: January  Day: 31  Year: 2030  Time:  8:00:00 AM   (up and down change the AM/PM)"},
    CConsoleCase{"FocusedFieldsSpin", std::string(kToBranchPoint) + "focus seconds\nup\nfocus HOUR\ndown\nfocus minutes\nup\n", "Month: January  Day: 31  Year: 2027  Time:  7:01:01 AM   (up and down change the minutes)"},
    CConsoleCase{"NoFocusSpinsTheMarker", std::string(kToBranchPoint) + "focus hour\nfocus none\nup\nfocus bogus\n", "focus takes hour, minutes, seconds or none; Month: January  Day: 31  Year: 2027  Time:  8:00:00 PM   (up and down change the AM/PM)"},
    CConsoleCase{"LabelThenUnknownWord", std::string(kToBranchPoint) + "label REL1\nfrobnicate\n\n", kPleaseAnswer + kPleaseAnswer + "Label: REL1"},
    CConsoleCase{"NamePageFields", "name  my br \ncomment why\nyes\nwhat\n", "please answer name TEXT, comment TEXT, yes, no, next, finish, cancel or help; Name: my br "}),
    [](const auto& info) { return std::string(info.param.label); });
// clang-format on

}  // namespace
}  // namespace kelmora

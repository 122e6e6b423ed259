#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <string>

#include "platform/clock.h"
#include "support/branch_host.h"
#include "support/scripted_ui.h"
#include "support/test_env.h"
#include "ui/branch_psheet.h"

namespace kelmora {
namespace {

std::time_t g_now = 0;

std::time_t Utc(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{second, minute, hour, day, month - 1, year - 1900, 0, 0, 0, 0, nullptr};
    return timegm(&tm);
}

class WizardTest : public ::testing::Test {
protected:
    WizardTest() : tz_("TZ", "UTC0"), clock_([] { return g_now; }) {
        tzset();
        sheet_.set_host(&host_);
        sheet_.SetWizardMode();
    }
    ~WizardTest() override { tzset(); }

    test::CScopedEnv tz_;
    CScopedClock clock_;
    test::CRecordingBranchHost host_;
    CBranchPSheet sheet_{"", nullptr, CBranchPSheet::kNamePage};
};

struct CNameCase {
    const char* label;
    const char* name;
    const char* refusal;  // the box's text; null: accepted
};

class BranchNameTest : public WizardTest, public ::testing::WithParamInterface<CNameCase> {};

TEST_P(BranchNameTest, IsRefusedByTheFirstCheckThatFails) {
    test::CScriptedUserInterface ui(std::string(20, '\n'));
    EXPECT_FALSE(sheet_.IsVisible(CBranchPSheet::kFinishId));  // until the sheet places it
    sheet_.OnInitDialog();
    sheet_.name_page().set_name(GetParam().name);
    sheet_.name_page().OnYes();
    EXPECT_EQ(sheet_.focus(), CBranchPSheet::kFinishId);  // Yes offers Finish, No Next
    sheet_.name_page().OnNo();
    EXPECT_EQ(sheet_.focus(), CBranchPSheet::kNextId);
    sheet_.OnNext();
    const char* refusal = GetParam().refusal;
    ASSERT_EQ(ui.shown().size(), refusal ? 1u : 0u);
    if (refusal) {
        EXPECT_EQ(ui.shown()[0].text, refusal);
        EXPECT_EQ(sheet_.active_page(), CBranchPSheet::kNamePage);
        EXPECT_EQ(sheet_.focus(), CWizName::kNameEditId);
        sheet_.name_page().OnYes();
        sheet_.OnFinish();  // refused the same way, back to the name
        EXPECT_EQ(sheet_.focus(), CWizName::kNameEditId);
    } else {
        EXPECT_EQ(sheet_.active_page(), CBranchPSheet::kBranchPointPage);
        EXPECT_EQ(sheet_.focus(), 0);  // the page disabled Next
    }
}

TEST_F(WizardTest, ANameLongerThanItsFieldIsCutToIt) {
    sheet_.name_page().set_name(std::string(CWizName::kMaxNameLength + 1, 'a'));
    EXPECT_EQ(sheet_.name_page().name(), std::string(CWizName::kMaxNameLength, 'a'));
}

constexpr char kNumeric[] = "It is illegal to use a numeric value as a branch type name.";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Names, BranchNameTest, ::testing::Values(
    CNameCase{"Empty", "", "You must first enter a name for the private branch."},
    CNameCase{"SpaceBeforeAll", "1 /", "Branch names may not contain spaces."},
    CNameCase{"Main", "main", "You can not use the predefined branch type \"main.\""},
    CNameCase{"MainCapitalised", "Main", nullptr},
    CNameCase{"Decimal", "123", kNumeric}, CNameCase{"Negative", "-5", kNumeric},
    CNameCase{"Hexadecimal", "0x1F", kNumeric}, CNameCase{"HexPrefixAlone", "0x", kNumeric},
    CNameCase{"DigitsThenLetters", "12abc", nullptr}, CNameCase{"XAfterADigit", "1x5", nullptr},
    CNameCase{"HexLetters", "ff", nullptr},
    CNameCase{"Quote", "a\"b", "Branch names may not contain these characters: \\/:*?\"<>|"}),
    [](const auto& info) { return std::string(info.param.label); });
// clang-format on

TEST_F(WizardTest, EachKindShowsOnlyItsControls) {
    CWizBranchPt& page = sheet_.branch_point_page();
    const std::pair<void (CWizBranchPt::*)(), int> kKinds[] = {
        {&CWizBranchPt::OnCheckpointRadio, CWizBranchPt::kCheckpointListId},
        {&CWizBranchPt::OnLabelRadio, CWizBranchPt::kLabelEditId},
        {&CWizBranchPt::OnTimeRadio, CWizBranchPt::kTimeSpinId}};
    for (const auto& [select, shown] : kKinds) {
        (page.*select)();
        for (int control : {CWizBranchPt::kCheckpointListId, CWizBranchPt::kLabelEditId,
                            CWizBranchPt::kTimeSpinId})
            EXPECT_EQ(page.IsVisible(control), control == shown) << control;
    }
}

// Outcome: refused words and answers, the page's last state, what the host got, how it ended.
struct CConsoleCase {
    const char* label;
    std::string script;
    std::string outcome;
    std::time_t now = Utc(2027, 1, 31, 8, 0, 0);
    const char* checkpoints = "";
};

constexpr char kToBranchPoint[] = "name priv\nno\nnext\n";
const std::string kMarker = "   (up and down change the AM/PM)";

class WizardConsoleTest : public WizardTest, public ::testing::WithParamInterface<CConsoleCase> {};

TEST_P(WizardConsoleTest, EachLineIsOneCommandAndTheEndCancels) {
    const CConsoleCase& c = GetParam();
    g_now = c.now;
    host_.checkpoints_ = c.checkpoints;
    test::CScriptedUserInterface ui(c.script);
    const int result = UserInterface().RunBranchPSheet(sheet_);
    EXPECT_EQ(sheet_.completion(), 1);
    std::string outcome, last_state;
    const std::regex said(
        R"(\+-- (\w+) is not available now|\+-- ((?:day|year|month|focus|no|please) [^\n]*)|\| ((?:Name|Month|Label|Checkpoint): [^\n]*))");
    const std::string text = ui.output();
    for (std::sregex_iterator it(text.begin(), text.end(), said), last; it != last; ++it) {
        if ((*it)[1].matched) outcome += (*it)[1].str() + " refused; ";
        if ((*it)[2].matched) outcome += (*it)[2].str() + "; ";
        if ((*it)[3].matched) last_state = (*it)[3].str();
    }
    const bool at_end = text.ends_with("Cancel (end of input)\n");
    outcome += last_state + " | " + host_.calls +
               (result == CBranchPSheet::kFinishId ? " => finish"
                : result != IDCANCEL               ? " => ?"
                : at_end                           ? " => cancel at end"
                                                   : " => cancel");
    EXPECT_EQ(outcome, c.outcome) << text;
}

const std::string k31Jan = "Month: January  Day: 31  Year: 2027  Time:  ";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Scripts, WizardConsoleTest, ::testing::Values(
    CConsoleCase{"NamePage", "back\nnext\nmonth May\nno\nfinish\nname x\n",
        "back refused; next refused; month refused; finish refused; Name: x |  => cancel at end"},
    CConsoleCase{"NamePageFieldsThenCancel", "name  my br \ncomment why\nyes\nwhat\ncancel\n",
        "please answer name TEXT, comment TEXT, yes, no, next, finish, cancel or help; Name: my br  |  => cancel"},
    CConsoleCase{"FinishOnTheNamePage", "name fix\ncomment why\nfinish\n", "Name: fix | create fix (why); compose at 31-Jan-2027.08:00:00 fix; on fix; write => finish"},
    CConsoleCase{"BranchPointPageAndBack", "name priv\nno\nnext\nname y\nnext\ncheckpoint A\nlabel L\nup\nday 3\ntime\nup\nback\nnext\nback\nyes\n",
        "name refused; next refused; checkpoint refused; up refused; day refused; Name: priv |  => cancel at end"},
    CConsoleCase{"CheckpointPicked", std::string(kToBranchPoint) + "checkpoint\ncheckpoint BETA3\ncheckpoint BETA2\nfinish\n",
        "no checkpoint BETA3 in the list; Checkpoint: BETA2   (list: BETA1 BETA2) | create priv; compose BETA2 priv; on priv; write => finish", Utc(2027, 1, 31, 8, 0, 0), "BETA1  BETA2"},
    CConsoleCase{"LabelRefusedThenAnother", std::string(kToBranchPoint) + "label\nfinish\n\nlabel NOLABEL\nfinish\nlabel REL1\nfinish\n",
        "Label: REL1 | check NOLABEL; check REL1; create priv; compose REL1 priv; on priv; write => finish"},
    CConsoleCase{"MonthYearAndDay", std::string(kToBranchPoint) + "month april\n  DAY 3\r\nday 31\nday x\nmonth Foo\nmonth\nyear 1969\nyear 1970\nmonth february\nday 29\nyear 2100\nday 29\nyear 2101\nfinish\n",
        "day takes 1 to 30; day takes 1 to 30; month takes a month's name, January to December; month takes a month's name, January to December; year takes 1970 to 2100; day takes 1 to 28; year takes 1970 to 2100; "
        "Month: February  Day: 29  Year: 2100  Time:  8:00:00 AM" + kMarker + " | create priv; compose at 29-February-2100.8:00:00 priv; on priv; write => finish"},
    CConsoleCase{"DaysOfTheMonthItIs", std::string(kToBranchPoint) + "day 30\nfinish\n",
        "Month: January  Day: 30  Year: 2027  Time:  8:00:00 AM" + kMarker + " | create priv; compose at 30-January-2027.8:00:00 priv; on priv; write => finish"},
    CConsoleCase{"LastDayFollowsTheMonth", std::string(kToBranchPoint) + "month february\nyear 2028\nmonth march\nfinish\n",
        "Month: March  Day: 28  Year: 2028  Time:  8:00:00 AM" + kMarker + " | create priv; compose at 28-March-2028.8:00:00 priv; on priv; write => finish"},
    CConsoleCase{"FieldsGoRoundUp", std::string(kToBranchPoint) + "focus seconds\nup\nfocus minutes\nup\nfocus hour\nup\nfocus none\nfinish\n",
        k31Jan + "1:00:00 PM" + kMarker + " | create priv; compose at 31-January-2027.13:00:00 priv; on priv; write => finish", Utc(2027, 1, 31, 12, 59, 59)},
    CConsoleCase{"FieldsGoRoundDown", std::string(kToBranchPoint) + "focus seconds\ndown\nfocus hour\ndown\nfocus minutes\ndown\nfinish\n",
        "Month: January  Day: 31  Year: 2027  Time: 12:59:59 AM   (up and down change the minutes) | create priv; compose at 31-January-2027.0:59:59 priv; on priv; write => finish", Utc(2027, 1, 31, 1, 0, 0)},
    CConsoleCase{"NoFocusSpinsTheMarker", std::string(kToBranchPoint) + "focus hour\nfocus none\nup\nfocus bogus\nfinish\n",
        "focus takes hour, minutes, seconds or none; " + k31Jan + "8:00:00 PM" + kMarker + " | create priv; compose at 31-January-2027.20:00:00 priv; on priv; write => finish"},
    CConsoleCase{"MidnightAndNoon", std::string(kToBranchPoint) + "down\nfinish\n",
        "Month: July  Day: 1  Year: 2027  Time: 12:30:00 PM" + kMarker + " | create priv; compose at 1-July-2027.12:30:00 priv; on priv; write => finish", Utc(2027, 7, 1, 0, 30, 0)},
    CConsoleCase{"NoonIsTwelve", std::string(kToBranchPoint) + "finish\n",
        "Month: July  Day: 1  Year: 2027  Time: 12:30:00 PM" + kMarker + " | create priv; compose at 1-July-2027.12:30:00 priv; on priv; write => finish", Utc(2027, 7, 1, 12, 30, 0)}),
    [](const auto& info) { return std::string(info.param.label); });
// clang-format on

}  // namespace
}  // namespace kelmora

// The console rendering of the private branch wizard: the active page's
// texts, fields and buttons, and one command per line.
#include <algorithm>
#include <cstdlib>
#include <istream>
#include <ostream>

#include "ui/branch_psheet.h"
#include "ui/console/console_ui.h"

namespace kelmora {

namespace {

constexpr char kNamePagePrompt[] = "name TEXT, comment TEXT, yes, no, next, finish, cancel or help";
constexpr char kBranchPointPrompt[] =
    "checkpoint NAME, label NAME, time, month NAME, day N, year N, focus hour|minutes|seconds|"
    "none, up, down, back, finish, cancel or help";

const std::vector<std::string> kNamePageWords = {"name", "comment", "yes", "no"};
const std::vector<std::string> kBranchPointWords = {"checkpoint", "label", "time", "month", "day",
                                                    "year",       "focus", "up",   "down"};

const std::vector<std::pair<int, const char*>> kSheetButtons = {
    {CBranchPSheet::kBackId, "< &Back"},
    {CBranchPSheet::kNextId, "&Next >"},
    {CBranchPSheet::kFinishId, "Finish"},
    {IDCANCEL, "Cancel"},
    {kHelpButtonId, "Help"},
};

std::string Radio(bool selected, const char* caption, bool enabled = true) {
    return std::string(selected ? "  (*) " : "  ( ) ") + CaptionText(caption) +
           (enabled ? "" : "  (disabled)");
}

// A whole number and nothing else.
bool ParseNumber(const std::string& text, int* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    long number = std::strtol(text.c_str(), &end, 10);
    if (*end || number < -100000 || number > 100000) return false;
    *value = static_cast<int>(number);
    return true;
}

const char* TimeFieldWord(int field) {
    switch (field) {
        case CWizBranchPt::kHourField:
            return "hour";
        case CWizBranchPt::kMinutesField:
            return "minutes";
        case CWizBranchPt::kSecondsField:
            return "seconds";
        default:
            return "AM/PM";
    }
}

}  // namespace

void CConsoleUserInterface::Refuse(const std::string& word) {
    out_ << "+-- " << word << " is not available now\n";
}

void CConsoleUserInterface::PrintWizardPage(CBranchPSheet& sheet, bool with_texts) {
    // The page's fixed texts only when it comes up; its fields every time.
    auto fixed = [with_texts](const char* line) {
        return with_texts ? std::string(line) + "\n" : std::string();
    };
    if (sheet.active_page() == CBranchPSheet::kNamePage) {
        const CWizName& page = sheet.name_page();
        if (with_texts) out_ << "+-- " << CWizName::kCaption << "\n";
        PrintIndented(fixed(CWizName::kNamePrompt) + "Name: " + page.name() + "\n" +
                      fixed(CWizName::kCommentPrompt) + "Comment: " + page.comment() + "\n" +
                      fixed(CWizName::kQuestion) +
                      Radio(page.yes_selected(), CWizName::kYesCaption) + "\n" +
                      Radio(!page.yes_selected(), CWizName::kNoCaption));
        return;
    }
    const CWizBranchPt& page = sheet.branch_point_page();
    if (with_texts) out_ << "+-- " << CWizBranchPt::kCaption << "\n";
    std::string text =
        fixed(CWizBranchPt::kQuestionFirst) + fixed(CWizBranchPt::kQuestionSecond) +
        Radio(page.kind() == CWizBranchPt::kTimeRule, CWizBranchPt::kTimeCaption) + "\n" +
        Radio(page.kind() == CWizBranchPt::kCheckpoint, CWizBranchPt::kCheckpointCaption,
              page.IsEnabled(CWizBranchPt::kCheckpointRadioId)) +
        "\n" + Radio(page.kind() == CWizBranchPt::kLabel, CWizBranchPt::kLabelCaption) + "\n";
    if (page.kind() == CWizBranchPt::kCheckpoint) {
        std::string list;
        for (const std::string& entry : page.checkpoint_list()) list += " " + entry;
        text += std::string(CWizBranchPt::kCheckpointPrompt) +
                "\nCheckpoint: " + page.checkpoint() + "   (list:" + list + ")";
    } else if (page.kind() == CWizBranchPt::kLabel) {
        text += std::string(CWizBranchPt::kLabelPrompt) + "\nLabel: " + page.label();
    } else {
        text += std::string(CWizBranchPt::kTimePrompt) + "\nMonth: " + page.month() +
                "  Day: " + page.day() + "  Year: " + page.year() + "  Time: " + page.hour() + ":" +
                page.minutes() + ":" + page.seconds() + " " + page.marker() +
                "   (up and down change the " + TimeFieldWord(page.time_field()) + ")";
    }
    PrintIndented(text);
}

bool CConsoleUserInterface::RunNamePageCommand(CBranchPSheet& sheet, const std::string& word,
                                               const std::string& rest) {
    CWizName& page = sheet.name_page();
    if (word == "name") {
        page.set_name(rest);
    } else if (word == "comment") {
        page.set_comment(rest);
    } else if (word == "yes") {
        page.OnYes();
    } else if (word == "no") {
        page.OnNo();
    } else if (word == "help") {
        page.OnHelp();
    } else {
        return false;
    }
    return true;
}

bool CConsoleUserInterface::RunBranchPointCommand(CBranchPSheet& sheet, const std::string& word,
                                                  const std::string& rest) {
    CWizBranchPt& page = sheet.branch_point_page();
    // Each command with the control it works.
    const std::pair<const char*, int> kControls[] = {
        {"checkpoint", CWizBranchPt::kCheckpointRadioId},
        {"label", CWizBranchPt::kLabelRadioId},
        {"time", CWizBranchPt::kTimeRadioId},
        {"month", CWizBranchPt::kMonthListId},
        {"day", CWizBranchPt::kDaySpinId},
        {"year", CWizBranchPt::kYearSpinId},
        {"focus", CWizBranchPt::kHourEditId},
        {"up", CWizBranchPt::kTimeSpinId},
        {"down", CWizBranchPt::kTimeSpinId},
        {"help", 0},
    };
    int control = -1;
    for (const auto& [name, id] : kControls)
        if (word == name) control = id;
    if (control < 0) return false;
    if (control && (!page.IsVisible(control) || !page.IsEnabled(control))) {
        Refuse(word);
        return true;
    }
    int number = 0;
    if (word == "checkpoint") {
        page.OnCheckpointRadio();
        if (!rest.empty() && !page.SelectCheckpoint(rest))
            out_ << "+-- no checkpoint " << rest << " in the list\n";
    } else if (word == "label") {
        page.OnLabelRadio();
        if (!rest.empty()) page.set_label(rest);
    } else if (word == "time") {
        page.OnTimeRadio();
    } else if (word == "month") {
        if (!page.SelectMonth(rest))
            out_ << "+-- month takes a month's name, January to December\n";
    } else if (word == "day") {
        if (!ParseNumber(rest, &number) || !page.SetDay(number))
            out_ << "+-- day takes 1 to " << page.days_in_month() << "\n";
    } else if (word == "year") {
        if (!ParseNumber(rest, &number) || !page.SetYear(number))
            out_ << "+-- year takes " << CWizBranchPt::kFirstYear << " to "
                 << CWizBranchPt::kLastYear << "\n";
    } else if (word == "focus") {
        const std::string field = NormalizedAnswer(rest);
        const int id = field == "hour"      ? CWizBranchPt::kHourEditId
                       : field == "minutes" ? CWizBranchPt::kMinutesEditId
                       : field == "seconds" ? CWizBranchPt::kSecondsEditId
                                            : 0;
        if (!id && field != "none") {
            out_ << "+-- focus takes hour, minutes, seconds or none\n";
            return true;
        }
        // The field that had the focus loses it first.
        page.OnTimeFieldFocusLost();
        sheet.SetFocus(id);
        if (id) page.OnTimeFieldFocus(id);
    } else if (word == "up" || word == "down") {
        page.OnTimeSpin(word == "up" ? -1 : 1);
    } else {
        page.OnHelp();
    }
    return true;
}

int CConsoleUserInterface::RunBranchPSheet(CBranchPSheet& sheet) {
    sheet.OnInitDialog();
    int shown_page = -1;
    while (!sheet.ended()) {
        const bool on_name_page = sheet.active_page() == CBranchPSheet::kNamePage;
        PrintWizardPage(sheet, sheet.active_page() != shown_page);
        shown_page = sheet.active_page();
        PrintButtons(sheet, kSheetButtons);
        const char* prompt = on_name_page ? kNamePagePrompt : kBranchPointPrompt;
        out_ << "+-- " << prompt << ": " << std::flush;
        std::string line;
        if (!ReadAnswerLine(&line)) {
            out_ << "Cancel (end of input)\n";
            sheet.OnCancel();
            break;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t start = line.find_first_not_of(" \t");
        const size_t blank = start == std::string::npos ? start : line.find_first_of(" \t", start);
        const std::string word =
            NormalizedAnswer(start == std::string::npos ? "" : line.substr(start, blank - start));
        const size_t rest_at =
            blank == std::string::npos ? blank : line.find_first_not_of(" \t", blank);
        const std::string rest = rest_at == std::string::npos ? "" : line.substr(rest_at);
        // The sheet's buttons, pressed when they can be.
        const std::pair<const char*, int> kButtons[] = {{"back", CBranchPSheet::kBackId},
                                                        {"next", CBranchPSheet::kNextId},
                                                        {"finish", CBranchPSheet::kFinishId},
                                                        {"cancel", IDCANCEL}};
        bool taken = false;
        for (const auto& [name, button] : kButtons) {
            if (word != name) continue;
            taken = true;
            if (!sheet.IsVisible(button) || !sheet.IsEnabled(button)) {
                Refuse(word);
            } else if (button == CBranchPSheet::kBackId) {
                sheet.OnBack();
            } else if (button == CBranchPSheet::kNextId) {
                sheet.OnNext();
            } else if (button == CBranchPSheet::kFinishId) {
                sheet.OnFinish();
            } else {
                sheet.OnCancel();
            }
        }
        if (taken) continue;
        if (on_name_page ? RunNamePageCommand(sheet, word, rest)
                         : RunBranchPointCommand(sheet, word, rest))
            continue;
        // A command of the other page names a control that is not shown.
        const auto& other_words = on_name_page ? kBranchPointWords : kNamePageWords;
        if (std::find(other_words.begin(), other_words.end(), word) != other_words.end()) {
            Refuse(word);
        } else {
            out_ << "+-- please answer " << prompt << "\n";
        }
    }
    out_.flush();
    return sheet.result();
}

}  // namespace kelmora

#include "ui/wiz_branch_pt.h"

#include <strings.h>

#include <cstdio>
#include <ctime>

#include "platform/clock.h"
#include "platform/format.h"
#include "resources/string_table.h"
#include "ui/branch_psheet.h"
#include "ui/user_interface.h"

namespace kelmora {

namespace {

constexpr char kAm[] = "AM";
constexpr char kPm[] = "PM";
// Blank-separated words; runs of blanks give no empty word.
std::vector<std::string> SplitAtBlanks(const std::string& text) {
    std::vector<std::string> words;
    size_t pos = text.find_first_not_of(" \t\r\n");
    while (pos != std::string::npos) {
        size_t end = text.find(' ', pos);
        words.push_back(text.substr(pos, end == std::string::npos ? end : end - pos));
        pos = end == std::string::npos ? end : text.find_first_not_of(" \t\r\n", end);
    }
    return words;
}

// A field's number as the C library scans it; 0 for text that does not scan.
int ScanNumber(const std::string& text, const char* format = "%d") {
    int value = 0;
    return std::sscanf(text.c_str(), format, &value) == 1 ? value : 0;
}

// The 12-hour clock's text: a blank before a single digit.
std::string HourText(int hour) {
    return FormatPrintf("%s%d", hour < 10 ? " " : "", hour);
}

// Counts within first..last, going round at either end.
int Wrapped(int value, bool up, int first, int last) {
    if (up) return value >= last ? first : value + 1;
    return value <= first ? last : value - 1;
}

}  // namespace

int DaysInMonth(int month, int year) {
    switch (month) {
        case 2:
            return year % 4 == 0 ? 29 : 28;
        case 4:
        case 6:
        case 9:
        case 11:
            return 30;
        default:
            return 31;
    }
}

BOOL CWizBranchPt::OnInitDialog() {
    ShowControl(kLabelBrowseId, false);
    ShowControl(kHiddenEditId, false);
    SelectKind(kTimeRule);
    checkpoint_list_ =
        sheet_->host() ? SplitAtBlanks(sheet_->host()->checkpoints()) : std::vector<std::string>();
    if (checkpoint_list_.empty()) {
        EnableControl(kCheckpointRadioId, false);
    } else {
        checkpoint_ = checkpoint_list_.front();
    }
    month_list_ = SplitAtBlanks(LoadString(IDS_MONTH_NAMES));
    ShowCurrentTime();
    return TRUE;
}

void CWizBranchPt::ShowCurrentTime() {
    const std::time_t now = CurrentTime();
    std::tm local{};
    // A time that cannot be converted shows as the first moment of the range.
    if (!localtime_r(&now, &local) || local.tm_mon < 0 || local.tm_mon > 11) {
        local = std::tm{};
        local.tm_mday = 1;
        local.tm_year = kFirstYear - 1900;
    }
    month_index_ = local.tm_mon;
    month_ = month_index_ < static_cast<int>(month_list_.size()) ? month_list_[month_index_] : "";
    const int year = local.tm_year + 1900;
    days_in_month_ = DaysInMonth(local.tm_mon + 1, year);
    day_position_ = local.tm_mday;
    day_ = FormatPrintf("%d", local.tm_mday);
    year_position_ = year;
    year_ = FormatPrintf("%d", year);
    const int hour = local.tm_hour;
    marker_ = hour >= 12 ? kPm : kAm;
    hour_ = HourText(hour == 0 ? 12 : hour > 12 ? hour - 12 : hour);
    minutes_ = FormatPrintf("%02d", local.tm_min);
    seconds_ = FormatPrintf("%02d", local.tm_sec);
}

BOOL CWizBranchPt::OnSetActive() {
    sheet_->EnableButton(CBranchPSheet::kFinishId, true);
    sheet_->EnableButton(CBranchPSheet::kNextId, false);
    sheet_->EnableButton(CBranchPSheet::kBackId, true);
    return TRUE;
}

void CWizBranchPt::SelectKind(int kind) {
    kind_ = kind;
    LayOutControls();
}

void CWizBranchPt::LayOutControls() {
    auto show = [this](int control, bool on) {
        ShowControl(control, on);
        EnableControl(control, on);
    };
    for (int control : {kCheckpointPromptId, kCheckpointListId})
        show(control, kind_ == kCheckpoint);
    for (int control : {kLabelPromptId, kLabelEditId}) show(control, kind_ == kLabel);
    // The date and time controls are numbered from the prompt to the spin button.
    for (int control = kTimePromptId; control <= kTimeSpinId; ++control)
        show(control, kind_ == kTimeRule);
}

bool CWizBranchPt::SelectCheckpoint(const std::string& name) {
    for (const std::string& entry : checkpoint_list_) {
        if (entry == name) {
            checkpoint_ = entry;
            return true;
        }
    }
    return false;
}

bool CWizBranchPt::SelectMonth(const std::string& name) {
    for (size_t i = 0; i < month_list_.size(); ++i) {
        if (strcasecmp(month_list_[i].c_str(), name.c_str()) == 0) {
            month_index_ = static_cast<int>(i);
            month_ = month_list_[i];
            OnMonthChange();
            return true;
        }
    }
    return false;
}

bool CWizBranchPt::SetDay(int day) {
    if (day < 1 || day > days_in_month_) return false;
    day_position_ = day;
    day_ = FormatPrintf("%d", day);
    return true;
}

bool CWizBranchPt::SetYear(int year) {
    if (year < kFirstYear || year > kLastYear) return false;
    year_position_ = year;
    year_ = FormatPrintf("%d", year);
    OnYearChange();
    return true;
}

void CWizBranchPt::LimitDay(int days) {
    days_in_month_ = days;
    if (day_position_ > days) SetDay(days);
}

void CWizBranchPt::OnMonthChange() {
    LimitDay(DaysInMonth(month_index_ + 1, year_position_));
}

void CWizBranchPt::OnYearChange() {
    if (month_index_ + 1 != 2) return;
    LimitDay(DaysInMonth(2, ScanNumber(year_)));
}

void CWizBranchPt::OnTimeFieldFocus(int control) {
    time_field_ = control == kHourEditId      ? kHourField
                  : control == kMinutesEditId ? kMinutesField
                  : control == kSecondsEditId ? kSecondsField
                                              : kNoTimeField;
}

void CWizBranchPt::OnTimeSpin(int delta) {
    const bool up = delta < 0;
    int field = kMarkerEditId;
    switch (time_field_) {
        case kNoTimeField:
            marker_ = marker_ == kPm ? kAm : kPm;
            break;
        case kHourField:
            hour_ = HourText(Wrapped(ScanNumber(hour_), up, 1, 12));
            field = kHourEditId;
            break;
        case kMinutesField:
            minutes_ = FormatPrintf("%02d", Wrapped(ScanNumber(minutes_), up, 0, 59));
            field = kMinutesEditId;
            break;
        case kSecondsField:
            seconds_ = FormatPrintf("%02d", Wrapped(ScanNumber(seconds_, "%02d"), up, 0, 59));
            field = kSecondsEditId;
            break;
        default:
            return;
    }
    sheet_->SetFocus(field);
}

std::string CWizBranchPt::TimeRuleText() const {
    int hour = ScanNumber(hour_);
    if (marker_ == kPm && hour < 12) hour += 12;
    if (marker_ == kAm && hour == 12) hour = 0;
    return day_ + "-" + month_ + "-" + year_ + "." + FormatPrintf("%d", hour) + ":" + minutes_ +
           ":" + seconds_;
}

bool CWizBranchPt::OnWizardFinish() {
    CWaitCursor wait;
    CPrivateBranchHost* host = sheet_->host();
    const std::string& branch = sheet_->name_page().name();
    const std::string& comment = sheet_->name_page().comment();
    std::string identifier;
    if (kind_ == kCheckpoint || kind_ == kLabel) {
        identifier = kind_ == kCheckpoint ? checkpoint_ : label_;
        const int control = kind_ == kCheckpoint ? kCheckpointListId : kLabelEditId;
        if (identifier.empty()) {
            sheet_->SetFocus(control);
            UserInterface().MessageBox(kNoIdentifier, MB_ICONEXCLAMATION);
            return false;
        }
        if (kind_ == kLabel && (!host || !host->CheckLabel(identifier))) {
            sheet_->SetFocus(control);
            return false;
        }
    } else if (kind_ == kTimeRule) {
        time_rule_ = TimeRuleText();
    } else {
        UserInterface().MessageBox(kNoIdentifier, MB_ICONEXCLAMATION);
        return false;
    }
    const int created = host ? host->CreateBranchType(branch, comment) : 1;
    if (created == 2) return false;
    if (created != 1) {
        if (kind_ == kTimeRule) {
            host->ComposePrivateBranchConfigSpecAtTime(time_rule_, branch);
        } else {
            host->ComposePrivateBranchConfigSpec(identifier, branch);
        }
        host->set_private_branch(branch);
        host->WriteConfigSpecAndUpdateView(sheet_->update(), kUpdateNoticeSilent);
    }
    sheet_->set_completion(1);
    return true;
}

void CWizBranchPt::OnCancel() {
    sheet_->set_completion(1);
}

void CWizBranchPt::OnHelp() {
    OpenHelpTopic(kHelpTopic);
}

}  // namespace kelmora

#pragma once

#include <string>
#include <vector>

#include "platform/bool.h"
#include "ui/dialog_model.h"

namespace kelmora {

class CBranchPSheet;

// The private branch wizard's second page (template 184): the branch point
// by profile checkpoint, by label or by date and time. The date and time
// fields are read-only and changed through the month list, the day and year
// spin buttons and the one time spin button, which acts on the time field
// that has the focus (on the AM/PM marker when none has it).
class CWizBranchPt : public CDialogModel {
public:
    static constexpr int kTemplateId = 184;
    static constexpr int kPictureId = 173;
    static constexpr int kCheckpointRadioId = 150;
    static constexpr int kLabelRadioId = 151;
    static constexpr int kTimeRadioId = 152;
    static constexpr int kCheckpointPromptId = 153;
    static constexpr int kCheckpointListId = 154;
    static constexpr int kLabelPromptId = 155;
    static constexpr int kLabelEditId = 156;
    static constexpr int kLabelBrowseId = 157;
    static constexpr int kTimePromptId = 158;
    static constexpr int kMonthListId = 159;
    static constexpr int kDayEditId = 160;
    static constexpr int kDaySpinId = 161;
    static constexpr int kYearEditId = 162;
    static constexpr int kYearSpinId = 163;
    static constexpr int kTimeFrameId = 164;
    static constexpr int kHourEditId = 165;
    static constexpr int kHourColonId = 166;
    static constexpr int kMinutesEditId = 167;
    static constexpr int kMinutesColonId = 168;
    static constexpr int kSecondsEditId = 169;
    static constexpr int kMarkerEditId = 170;
    static constexpr int kTimeSpinId = 171;
    static constexpr int kHiddenEditId = 172;
    static constexpr int kFirstYear = 1970;
    static constexpr int kLastYear = 2100;
    static constexpr size_t kMaxIdentifierLength = 256;
    static constexpr size_t kMaxFieldLength = 16;

    enum EKind : int { kNoKind = 0, kCheckpoint = 1, kLabel = 2, kTimeRule = 3 };
    enum ETimeField : int {
        kNoTimeField = 0,
        kHourField = 1,
        kMinutesField = 2,
        kSecondsField = 3
    };

    static constexpr char kCaption[] = "Set Up A Private Branch - Step 2 of 2";
    static constexpr char kQuestionFirst[] =
        "How would you like to identify the versions which will serve";
    static constexpr char kQuestionSecond[] = "as the base for this private branch?";
    static constexpr char kTimeCaption[] = "by &time rule";
    static constexpr char kCheckpointCaption[] = "by View Profile &checkpoint";
    static constexpr char kLabelCaption[] = "by &label";
    static constexpr char kCheckpointPrompt[] = "Please select a Profile checkpoint from the list:";
    static constexpr char kLabelPrompt[] =
        "What label identifies the base versions for this branch?";
    static constexpr char kTimePrompt[] = "What date/time will determine the branch point?";
    static constexpr char kNoIdentifier[] = "You must first pick a branch point identifier.";
    static constexpr char kHelpTopic[] = "private_branch_wizard/chooseprivbrpoint.htm";

    explicit CWizBranchPt(CBranchPSheet* sheet) : sheet_(sheet) {}

    int kind() const { return kind_; }
    int time_field() const { return time_field_; }
    const std::string& checkpoint() const { return checkpoint_; }
    const std::string& label() const { return label_; }
    void set_label(std::string text) {
        label_ = LimitedText(std::move(text), kMaxIdentifierLength);
    }
    const std::vector<std::string>& checkpoint_list() const { return checkpoint_list_; }
    const std::vector<std::string>& month_list() const { return month_list_; }
    const std::string& month() const { return month_; }
    const std::string& day() const { return day_; }
    const std::string& year() const { return year_; }
    const std::string& hour() const { return hour_; }
    const std::string& minutes() const { return minutes_; }
    const std::string& seconds() const { return seconds_; }
    const std::string& marker() const { return marker_; }
    const std::string& time_rule() const { return time_rule_; }
    int days_in_month() const { return days_in_month_; }

    BOOL OnInitDialog();
    BOOL OnSetActive();
    // A click on a radio selects it.
    void OnCheckpointRadio() { SelectKind(kCheckpoint); }
    void OnLabelRadio() { SelectKind(kLabel); }
    void OnTimeRadio() { SelectKind(kTimeRule); }
    // Picks an entry of the checkpoint list; false when the list has no such entry.
    bool SelectCheckpoint(const std::string& name);
    // Picks a month of the list by its full name (any case); false for another text.
    bool SelectMonth(const std::string& name);
    // The day and year spin buttons set their field; false outside their range.
    bool SetDay(int day);
    bool SetYear(int year);
    // Focus gained by the hour, minutes or seconds field, and lost by any of them.
    void OnTimeFieldFocus(int control);
    void OnTimeFieldFocusLost() { time_field_ = kNoTimeField; }
    // The time spin button: a negative change (the up arrow) counts up.
    void OnTimeSpin(int delta);
    // The time rule of the date and time fields: 7-December-2026.21:05:07.
    std::string TimeRuleText() const;
    // True when the wizard closes.
    bool OnWizardFinish();
    void OnCancel();
    void OnHelp();

private:
    void SelectKind(int kind);
    void ShowCurrentTime();
    void OnMonthChange();
    void OnYearChange();
    // Lowers the day to the month's last and limits the day spin button to it.
    void LimitDay(int days);
    // The date and time fields of the kind, shown and enabled, or hidden and disabled.
    void LayOutControls();

    CBranchPSheet* sheet_;
    std::string time_rule_;
    std::string checkpoint_;
    std::string label_;
    std::string minutes_;
    std::string marker_;
    std::string seconds_;
    std::string year_;
    std::string day_;
    std::string month_;
    std::string hour_;
    int kind_ = kNoKind;
    int time_field_ = kNoTimeField;
    int days_in_month_ = 31;
    // The controls' own state: list entries and spin button positions.
    std::vector<std::string> checkpoint_list_;
    std::vector<std::string> month_list_;
    int month_index_ = 0;
    int day_position_ = 1;
    int year_position_ = kFirstYear;
};

// February has 29 days in every year divisible by 4, 2100 too.
int DaysInMonth(int month, int year);

}  // namespace kelmora

#pragma once

#include <string>

#include "platform/bool.h"
#include "ui/dialog_model.h"

namespace kelmora {

class CBranchPSheet;

// The private branch wizard's first page (template 183): the branch name, a
// comment, and whether the branch starts from what the view selects now
// (Finish here) or from another branch point (Next to the second page).
class CWizName : public CDialogModel {
public:
    static constexpr int kTemplateId = 183;
    static constexpr int kPictureId = 173;
    static constexpr int kNamePromptId = 174;
    static constexpr int kNameEditId = 175;
    static constexpr int kYesRadioId = 178;
    static constexpr int kNoRadioId = 179;
    static constexpr int kCommentPromptId = 1000;
    static constexpr int kCommentEditId = 1001;
    static constexpr int kQuestionId = 1003;
    static constexpr size_t kMaxNameLength = 256;
    static constexpr size_t kMaxCommentLength = 4096;
    static constexpr char kCaption[] = "Set Up A Private Branch";
    static constexpr char kNamePrompt[] = "What would you like to name the private branch?";
    static constexpr char kCommentPrompt[] = "You may also enter a comment:";
    static constexpr char kQuestion[] =
        "Would you like to base this private branch on the set of versions selected by your "
        "view at the current time?";
    static constexpr char kYesCaption[] = "&Yes";
    static constexpr char kNoCaption[] = "N&o, let me pick a different branch point";
    static constexpr char kHelpTopic[] = "private_branch_wizard/default_topic.htm";

    explicit CWizName(CBranchPSheet* sheet) : sheet_(sheet) {}

    const std::string& name() const { return name_; }
    void set_name(std::string text) { name_ = LimitedText(std::move(text), kMaxNameLength); }
    const std::string& comment() const { return comment_; }
    void set_comment(std::string text) {
        comment_ = LimitedText(std::move(text), kMaxCommentLength);
    }
    bool yes_selected() const { return yes_selected_; }

    BOOL OnInitDialog();
    BOOL OnSetActive();
    void OnYes();
    void OnNo();
    // 0: on to the branch point page; -1: the name was refused, stay.
    int OnWizardNext();
    // True when the wizard closes.
    bool OnWizardFinish();
    void OnCancel();
    void OnHelp();

    // The name checks, in order; a refused name is explained in a box.
    bool ValidateBranchName(std::string name);

private:
    CBranchPSheet* sheet_;
    std::string name_;
    std::string comment_;
    bool yes_selected_ = false;
};

// The current local time as a config spec time rule takes it, the month in
// English whatever the locale: 03-Dec-2026.23:27:24. Empty when the time
// cannot be converted.
std::string CurrentTimeBranchPoint();

}  // namespace kelmora

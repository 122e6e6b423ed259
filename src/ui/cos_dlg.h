#pragma once

#include <string>
#include <vector>

#include "platform/bool.h"
#include "ui/dialog_model.h"

namespace kelmora {

// Which operation the checkouts dialog stops: it decides the window title and
// the help topic.
enum ECheckoutsKind : int {
    kCheckoutsFinishBranch = 0,
    kCheckoutsSetUpBranch = 1,
    kCheckoutsAssociate = 2,
    kCheckoutsSynchronize = 4,
};

// "Stavemark View Tool": tells the user that the view has checkouts and runs
// the checkout finder on it. The caller looks for checkouts again afterwards.
class CCOsDlg : public CDialogModel {
public:
    static constexpr int kTemplateId = 132;
    static constexpr int kInstructionId = 182;
    static constexpr int kMessageId = 141;
    static constexpr int kFindPromptId = 136;
    static constexpr int kFindCheckOutsId = 135;
    static constexpr size_t kMaxMessageLength = 1024;
    static constexpr char kTemplateTitle[] = "Stavemark View Tool";
    static constexpr char kInstruction[] =
        "Before proceeding, you must first check in (or undo the check outs for) these elements.";
    static constexpr char kFindPrompt[] =
        "To display the list of checked out elements, press this button.";
    static constexpr char kFindCaption[] = "Find Check Outs";
    static constexpr char kFinderTool[] = "stavefindco";
    // Network name of the view share when the file system's parameter is unset.
    static constexpr char kDefaultViewShare[] = "view";
    static constexpr int kViewShareParam = 28;

    CCOsDlg() = default;
    CCOsDlg(std::string target, BOOL workspace, int kind)
        : target_(std::move(target)), workspace_(workspace), kind_(kind) {}

    // The workspace path of a workspace view, else the view tag.
    const std::string& target() const { return target_; }
    void set_target(std::string target) { target_ = std::move(target); }
    BOOL workspace() const { return workspace_; }
    void set_workspace(BOOL workspace) { workspace_ = workspace; }
    const std::string& message() const { return message_; }
    void set_message(std::string text) {
        message_ = LimitedText(std::move(text), kMaxMessageLength);
    }
    int kind() const { return kind_; }
    void set_kind(int kind) { kind_ = kind; }

    // The window title after initialisation.
    const std::string& title() const { return title_; }
    // The help topic of the kind; empty for a kind the dialog does not know.
    std::string HelpTopic() const;
    // The checkout finder's argument vector: the workspace to search whole,
    // or every VOB of the view through the view's network path.
    std::vector<std::string> FinderArguments() const;

    int DoModal();
    BOOL OnInitDialog();
    // Shows the list of checkouts (the front end's window, else the finder
    // program) and closes with OK once it ends; stays open when the program
    // cannot be started.
    void OnFindCheckOuts();
    void OnOK() { EndDialog(IDOK); }
    void OnCancel() { EndDialog(IDCANCEL); }
    void OnHelp();

private:
    std::string target_;
    BOOL workspace_ = FALSE;
    std::string message_;
    int kind_ = kCheckoutsAssociate;
    std::string title_ = kTemplateTitle;
};

}  // namespace kelmora

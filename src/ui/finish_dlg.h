#pragma once

#include "platform/bool.h"
#include "ui/dialog_model.h"

namespace kelmora {

// "Finish Private Branch": publish the work on the private branch or suspend
// it, as two picture buttons. There is no OK button: Enter chooses by focus.
class CFinishDlg : public CDialogModel {
public:
    static constexpr int kTemplateId = 131;
    static constexpr int kPublishId = 1015;
    static constexpr int kSuspendId = 1016;
    static constexpr int kPublishTextId = 1018;
    static constexpr int kSuspendTextId = 1020;
    static constexpr int kChoicePublish = 1;
    static constexpr int kChoiceSuspend = 0;
    static constexpr char kTitle[] = "Finish Private Branch";
    static constexpr char kHeading[] = "Please choose one of the options below:";
    static constexpr char kPublishCaption[] = "Publish";
    static constexpr char kSuspendCaption[] = "Suspend";
    static constexpr char kPublishText[] =
        "I've finished my work on this Private Branch.  Help me &move my changes onto the "
        "Integration Branch.";
    static constexpr char kSuspendText[] =
        "&Leave my changes on the Private Branch.\nConfigure my view to see the Integration "
        "Branch.";
    static constexpr char kHelpTopic[] = "private_branch_wizard/finishingaprivbr.htm";

    int choice() const { return choice_; }

    int DoModal();
    BOOL OnInitDialog();
    void OnPublish();
    void OnSuspend();
    // Enter: suspends when the Suspend button has the focus, else publishes.
    void OnOK();
    void OnCancel() { EndDialog(IDCANCEL); }
    void OnHelp();

private:
    int choice_ = kChoicePublish;
};

}  // namespace kelmora

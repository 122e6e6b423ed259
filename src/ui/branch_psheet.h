#pragma once

#include <string>

#include "platform/bool.h"
#include "ui/dialog_model.h"
#include "ui/operation_hosts.h"
#include "ui/wiz_branch_pt.h"
#include "ui/wiz_name.h"

namespace kelmora {

// The private branch wizard: the name page and the branch point page in one
// sheet whose buttons read Back, Next, Finish, Cancel. The sheet holds the
// buttons' state and the keyboard focus; the pages decide them. Its modal
// run ends with ID_WIZFINISH or IDCANCEL.
class CBranchPSheet : public CDialogModel {
public:
    static constexpr int kBackId = 0x3023;
    static constexpr int kNextId = 0x3024;
    static constexpr int kFinishId = 0x3025;
    static constexpr int kNamePage = 0;
    static constexpr int kBranchPointPage = 1;

    CBranchPSheet(const std::string& caption, void* parent, int first_page);

    CWizName& name_page() { return name_page_; }
    CWizBranchPt& branch_point_page() { return branch_point_page_; }
    CPrivateBranchHost* host() const { return host_; }
    void set_host(CPrivateBranchHost* host) { host_ = host; }
    int completion() const { return completion_; }
    void set_completion(int completion) { completion_ = completion; }
    BOOL update() const { return update_; }
    void set_update(BOOL update) { update_ = update; }
    void SetWizardMode() { wizard_mode_ = true; }
    bool wizard_mode() const { return wizard_mode_; }
    int active_page() const { return active_page_; }
    // The button that Enter presses on the name page.
    int default_button() const { return default_button_; }

    int DoModal();
    // Shows the first page, then the Finish button beside Next.
    BOOL OnInitDialog();
    // The buttons, forwarded to the active page. Each does nothing while
    // its button is disabled.
    void OnBack();
    void OnNext();
    void OnFinish();
    // Also the close box.
    void OnCancel();

    // The pages set the buttons.
    void EnableButton(int button, bool enabled) { EnableControl(button, enabled); }

private:
    void Activate(int page);

    CWizName name_page_{this};
    CWizBranchPt branch_point_page_{this};
    CPrivateBranchHost* host_ = nullptr;  // not owned
    int completion_ = 0;
    BOOL update_ = FALSE;
    std::string caption_;
    int first_page_;
    int active_page_;
    bool wizard_mode_ = false;
    bool page_initialised_[2] = {false, false};
    int default_button_ = 0;
};

}  // namespace kelmora

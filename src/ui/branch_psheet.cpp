#include "ui/branch_psheet.h"

#include "ui/user_interface.h"

namespace kelmora {

CBranchPSheet::CBranchPSheet(const std::string& caption, void* parent, int first_page)
    : caption_(caption), first_page_(first_page), active_page_(first_page) {
    // A wizard shows Finish only on its last page until the sheet places it.
    ShowControl(kFinishId, false);
}

int CBranchPSheet::DoModal() {
    return UserInterface().RunBranchPSheet(*this);
}

BOOL CBranchPSheet::OnInitDialog() {
    Activate(first_page_);
    // Back and Next move one slot left; Finish takes Next's place and is
    // what Enter presses on the name page.
    ShowControl(kFinishId, true);
    default_button_ = kFinishId;
    // The user starts by typing the name; Enter then finishes.
    if (first_page_ == kNamePage) SetFocus(CWizName::kNameEditId);
    return TRUE;
}

void CBranchPSheet::Activate(int page) {
    active_page_ = page;
    const bool first_time = !page_initialised_[page];
    page_initialised_[page] = true;
    if (page == kNamePage) {
        if (first_time) name_page_.OnInitDialog();
        name_page_.OnSetActive();
    } else {
        if (first_time) branch_point_page_.OnInitDialog();
        branch_point_page_.OnSetActive();
    }
    // A button that the page disabled loses the focus.
    if (!IsEnabled(focus())) SetFocus(0);
}

void CBranchPSheet::OnBack() {
    if (ended() || !IsEnabled(kBackId) || active_page_ == kNamePage) return;
    Activate(kNamePage);
}

void CBranchPSheet::OnNext() {
    if (ended() || !IsEnabled(kNextId) || active_page_ != kNamePage) return;
    if (name_page_.OnWizardNext() != -1) Activate(kBranchPointPage);
}

void CBranchPSheet::OnFinish() {
    if (ended() || !IsEnabled(kFinishId) || !IsVisible(kFinishId)) return;
    bool closes = active_page_ == kNamePage ? name_page_.OnWizardFinish()
                                            : branch_point_page_.OnWizardFinish();
    if (closes) EndDialog(kFinishId);
}

void CBranchPSheet::OnCancel() {
    if (ended()) return;
    if (active_page_ == kNamePage) {
        name_page_.OnCancel();
    } else {
        branch_point_page_.OnCancel();
    }
    EndDialog(IDCANCEL);
}

}  // namespace kelmora

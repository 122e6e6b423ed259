#include "ui/wiz_name.h"

#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/format.h"
#include "resources/string_table.h"
#include "ui/branch_psheet.h"
#include "ui/user_interface.h"

namespace kelmora {

namespace {

constexpr char kPredefinedBranch[] = "main";
constexpr char kForbiddenCharacters[] = "\\/:*?\"<>|";
constexpr const char* kMonthAbbreviations[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr size_t kTimeTextBufferSize = 128;

// A hexadecimal or decimal number with nothing after it.
bool IsNumeric(const std::string& name) {
    unsigned hex = 0;
    int decimal = 0;
    char after = 0;
    if (name.size() > 1 && (name[1] == 'x' || name[1] == 'X') &&
        std::sscanf(name.c_str(), "%x%c", &hex, &after) == 1)
        return true;
    return std::sscanf(name.c_str(), "%d%c", &decimal, &after) == 1;
}

}  // namespace

std::string CurrentTimeBranchPoint() {
    const std::time_t now = CurrentTime();
    std::tm local{};
    if (!localtime_r(&now, &local) || local.tm_mon < 0 || local.tm_mon > 11) return {};
    // The month goes into the format itself, so the locale never names it.
    const std::string format =
        FormatPrintf("%%d-%s-%%Y.%%H:%%M:%%S", kMonthAbbreviations[local.tm_mon]);
    char text[kTimeTextBufferSize];
    if (std::strftime(text, sizeof text, format.c_str(), &local) == 0) return {};
    return text;
}

bool CWizName::ValidateBranchName(std::string name) {
    unsigned refusal = 0;
    if (name.empty()) {
        refusal = IDS_BRANCH_NAME_EMPTY;
    } else if (name.find(' ') != std::string::npos) {
        refusal = IDS_BRANCH_NAME_SPACES;
    } else if (name == kPredefinedBranch) {
        refusal = IDS_BRANCH_NAME_MAIN;
    } else if (IsNumeric(name)) {
        refusal = IDS_BRANCH_NAME_NUMERIC;
    } else if (name.find_first_of(kForbiddenCharacters) != std::string::npos) {
        refusal = IDS_BRANCH_NAME_BAD_CHARS;
        sheet_->SetFocus(kNameEditId);
    }
    if (refusal == 0) return true;
    UserInterface().MessageBox(LoadString(refusal), MB_OK);
    return false;
}

BOOL CWizName::OnInitDialog() {
    yes_selected_ = true;
    OnYes();
    return TRUE;
}

BOOL CWizName::OnSetActive() {
    sheet_->EnableButton(CBranchPSheet::kFinishId, yes_selected_);
    sheet_->EnableButton(CBranchPSheet::kNextId, !yes_selected_);
    sheet_->EnableButton(CBranchPSheet::kBackId, false);
    return TRUE;
}

void CWizName::OnYes() {
    yes_selected_ = true;
    sheet_->EnableButton(CBranchPSheet::kFinishId, true);
    sheet_->SetFocus(CBranchPSheet::kFinishId);
    sheet_->EnableButton(CBranchPSheet::kNextId, false);
}

void CWizName::OnNo() {
    yes_selected_ = false;
    sheet_->EnableButton(CBranchPSheet::kNextId, true);
    sheet_->SetFocus(CBranchPSheet::kNextId);
    sheet_->EnableButton(CBranchPSheet::kFinishId, false);
}

int CWizName::OnWizardNext() {
    if (ValidateBranchName(name_)) return 0;
    sheet_->SetFocus(kNameEditId);
    return -1;
}

bool CWizName::OnWizardFinish() {
    CWaitCursor wait;
    if (!ValidateBranchName(name_)) {
        sheet_->SetFocus(kNameEditId);
        return false;
    }
    CPrivateBranchHost* host = sheet_->host();
    const int created = host ? host->CreateBranchType(name_, comment_) : 1;
    if (created == 2) return false;
    if (created == 0) {
        host->ComposePrivateBranchConfigSpecAtTime(CurrentTimeBranchPoint(), name_);
        host->set_private_branch(name_);
        host->WriteConfigSpecAndUpdateView(sheet_->update(), kUpdateNoticeSilent);
    }
    sheet_->set_completion(1);
    return true;
}

void CWizName::OnCancel() {
    sheet_->set_completion(1);
}

void CWizName::OnHelp() {
    OpenHelpTopic(kHelpTopic);
}

}  // namespace kelmora

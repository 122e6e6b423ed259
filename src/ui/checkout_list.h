#pragma once

#include <string>
#include <vector>

#include "client/checkout_admin.h"
#include "platform/bool.h"
#include "ui/dialog_model.h"

namespace kelmora {

// The checkout finder as a window: the checked-out elements of a workspace
// (at or below its path) or of a view, read from the client, with Refresh.
class CCheckoutList : public CDialogModel {
public:
    static constexpr int kListId = 211;
    static constexpr int kRefreshId = 212;
    static constexpr char kTitle[] = "Checked Out Elements";
    static constexpr char kRefreshCaption[] = "&Refresh";
    static constexpr const char* kColumns[] = {"VOB", "Element", "Master replica"};

    // target: the workspace path (workspace) or the view tag.
    CCheckoutList(std::string target, BOOL workspace)
        : target_(std::move(target)), workspace_(workspace) {}

    BOOL OnInitDialog();
    // Reads the list again.
    void OnRefresh();
    void OnOK() { EndDialog(IDOK); }
    void OnCancel() { EndDialog(IDOK); }

    const std::string& target() const { return target_; }
    const std::vector<client::CCheckoutRecord>& rows() const { return rows_; }
    // How many there are, or why there is no list.
    const std::string& summary() const { return summary_; }

private:
    std::string target_;
    BOOL workspace_;
    std::vector<client::CCheckoutRecord> rows_;
    std::string summary_;
};

}  // namespace kelmora

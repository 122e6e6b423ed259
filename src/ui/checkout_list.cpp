#include "ui/checkout_list.h"

#include "client/admin.h"
#include "client/view_store.h"
#include "client/views.h"

namespace kelmora {

namespace {

constexpr size_t kViewTagBufferSize = 1024;

std::string WithSlashes(std::string text) {
    for (char& c : text)
        if (c == '\\') c = '/';
    return text;
}

// Where a checked-out element lies in a workspace: ROOT/VOB/ELEMENT.
std::string PlaceInWorkspace(const std::string& root, const client::CCheckoutRecord& row) {
    const std::string vob = WithSlashes(row.vob_tag);
    return client::NormalizeAbsolutePath(root + "/" + vob.substr(vob.empty() ? 0 : 1) + "/" +
                                         WithSlashes(row.element));
}

}  // namespace

BOOL CCheckoutList::OnInitDialog() {
    OnRefresh();
    SetFocus(kListId);
    return TRUE;
}

void CCheckoutList::OnRefresh() {
    rows_.clear();
    std::string view_tag = target_, root, below;
    if (workspace_) {
        char tag[kViewTagBufferSize] = {0};
        client::CViewRecord view;
        if (ws_get_view(target_.c_str(), 0, sizeof tag, tag) != TBS_ST_OK ||
            client::FindView(tag, &view) != TBS_ST_OK) {
            summary_ = "\"" + target_ + "\" is not in a workspace.";
            return;
        }
        view_tag = view.tag;
        root = view.workspace_root;
        below = client::NormalizeAbsolutePath(target_);
    }
    const tbs_status_t status =
        client::ForEachCheckout(view_tag, [&](const client::CCheckoutRecord& row) {
            if (below.empty() || client::PathHolds(below, PlaceInWorkspace(root, row)))
                rows_.push_back(row);
            return true;
        });
    if (status != TBS_ST_OK) {
        rows_.clear();
        summary_ =
            "Cannot list the checkouts of view \"" + view_tag + "\": " + tbs_strerror(status) + ".";
        return;
    }
    summary_ = std::to_string(rows_.size()) + (rows_.size() == 1 ? " checkout" : " checkouts") +
               " in view \"" + view_tag + "\".";
}

}  // namespace kelmora

#pragma once

#include <QStandardItemModel>
#include <QTreeView>
#include <QTreeWidget>

#include "ui/checkout_list.h"
#include "ui/profile_picker.h"
#include "ui/qt/model_binding.h"

namespace kelmora::qt {

// The profile browser: a filter above the tree of folders and profiles with
// their descriptions; OK (default, only for a profile) and Cancel. A double
// click on a profile picks it.
class CQtProfilePicker : public CModelDialog {
    Q_OBJECT
public:
    // The model has been initialised.
    explicit CQtProfilePicker(CProfilePicker& model);

    QTreeView* tree() const { return tree_; }

private:
    void ShowFields() override;

    CProfilePicker& picker_;
    QTreeView* tree_;
    QStandardItemModel items_;
    std::vector<QStandardItem*> rows_;  // the name item of each entry
};

// The checkouts of a view or workspace: what was counted, the rows (VOB,
// element, master replica), Refresh and Close (default).
class CQtCheckoutList : public CModelDialog {
    Q_OBJECT
public:
    explicit CQtCheckoutList(CCheckoutList& model);

    QTreeWidget* list() const { return list_; }

private:
    void ShowFields() override;

    CCheckoutList& list_model_;
    QTreeWidget* list_;
    CElidedLabel* summary_;
};

}  // namespace kelmora::qt

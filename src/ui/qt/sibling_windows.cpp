#include "ui/qt/sibling_windows.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <algorithm>

#include "ui/qt/operation_dialogs.h"

namespace kelmora::qt {

CQtProfilePicker::CQtProfilePicker(CProfilePicker& model)
    : CModelDialog(&model, CProfilePicker::kTitle, ""), picker_(model) {
    auto* filter = new QLineEdit(this);
    filter->setClearButtonEnabled(true);
    QLabel* filter_prompt = StaticText(CProfilePicker::kFilterPrompt, this);
    filter_prompt->setBuddy(filter);
    tree_ = new QTreeView(this);
    tree_->setModel(&items_);
    tree_->setUniformRowHeights(true);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setTextElideMode(Qt::ElideMiddle);
    QLabel* tree_prompt = StaticText(CProfilePicker::kTreePrompt, this);
    tree_prompt->setBuddy(tree_);
    items_.setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Description")});

    // Each entry under the last folder of a smaller depth.
    std::vector<QStandardItem*> parents;
    const std::vector<CProfileEntry>& entries = picker_.entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        const CProfileEntry& entry = entries[i];
        const std::string shown_name = entry.name.substr(entry.name.rfind('\\') + 1);
        auto* name = new QStandardItem(ToQt(shown_name));
        auto* description = new QStandardItem(ToQt(entry.description));
        const QString tip =
            ToQt(entry.name) +
            (entry.description.empty() ? QString() : "\n" + ToQt(entry.description));
        name->setToolTip(tip);
        description->setToolTip(tip);
        name->setData(static_cast<qulonglong>(i));
        if (!entry.is_profile) {
            QFont bold = name->font();
            bold.setBold(true);
            name->setFont(bold);
        }
        const size_t depth = static_cast<size_t>(std::max(0, entry.depth));
        parents.resize(std::min(parents.size(), depth));
        QStandardItem* parent = parents.empty() ? items_.invisibleRootItem() : parents.back();
        parent->appendRow({name, description});
        parents.push_back(name);
        rows_.push_back(name);
    }
    tree_->expandAll();
    tree_->header()->setSectionResizeMode(0, QHeaderView::Interactive);
    tree_->header()->resizeSection(0, 260);
    tree_->header()->setStretchLastSection(true);

    auto* ok = DialogButton("OK", this, true);
    auto* cancel = DialogButton("Cancel", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filter_prompt);
    layout->addWidget(filter);
    layout->addWidget(tree_prompt);
    layout->addWidget(tree_, 1);
    layout->addLayout(buttons);
    resize(560, 400);
    setMinimumSize(320, 240);
    setTabOrder(filter, tree_);
    setTabOrder(tree_, ok);
    setTabOrder(ok, cancel);

    binding().Bind(IDOK, ok);
    binding().Bind(IDCANCEL, cancel);
    binding().Bind(CProfilePicker::kFilterId, filter);
    binding().Bind(CProfilePicker::kTreeId, tree_);
    connect(filter, &QLineEdit::textChanged, this, [this](const QString& text) {
        Forward([this, &text] { picker_.SetFilter(FromQt(text)); });
    });
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                const QModelIndex name = current.siblingAtColumn(0);
                const size_t index =
                    name.isValid()
                        ? static_cast<size_t>(items_.itemFromIndex(name)->data().toULongLong())
                        : CProfilePicker::kNone;
                Forward([this, index] { picker_.Select(index); });
            });
    connect(tree_, &QTreeView::doubleClicked, this, [this](const QModelIndex&) {
        if (binding().Widget(IDOK)->isEnabled()) Forward([this] { picker_.OnOK(); });
    });
    connect(ok, &QPushButton::clicked, this, [this] { Forward([this] { picker_.OnOK(); }); });
    connect(cancel, &QPushButton::clicked, this,
            [this] { Forward([this] { picker_.OnCancel(); }); });
    if (picker_.selection() != CProfilePicker::kNone) {
        const QModelIndex current = rows_[picker_.selection()]->index();
        tree_->setCurrentIndex(current);
        tree_->scrollTo(current);
    }
}

void CQtProfilePicker::ShowFields() {
    for (size_t i = 0; i < rows_.size(); ++i) {
        const QModelIndex index = rows_[i]->index();
        tree_->setRowHidden(index.row(), index.parent(), !picker_.IsShown(i));
    }
    if (picker_.selection() == CProfilePicker::kNone && tree_->currentIndex().isValid() &&
        tree_->isRowHidden(tree_->currentIndex().row(), tree_->currentIndex().parent()))
        tree_->setCurrentIndex({});
}

CQtCheckoutList::CQtCheckoutList(CCheckoutList& model)
    : CModelDialog(&model, CCheckoutList::kTitle, ""), list_model_(model) {
    summary_ = new CElidedLabel(this);
    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setTextElideMode(Qt::ElideMiddle);
    QStringList columns;
    for (const char* column : CCheckoutList::kColumns) columns << ToQt(column);
    list_->setHeaderLabels(columns);
    list_->header()->resizeSection(0, 120);
    list_->header()->resizeSection(1, 300);
    auto* refresh = DialogButton(CCheckoutList::kRefreshCaption, this);
    auto* close = DialogButton("&Close", this, true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refresh);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    resize(600, 360);
    setMinimumSize(320, 200);
    setTabOrder(list_, refresh);
    setTabOrder(refresh, close);

    binding().Bind(CCheckoutList::kListId, list_);
    binding().Bind(CCheckoutList::kRefreshId, refresh);
    binding().Bind(IDOK, close);
    connect(refresh, &QPushButton::clicked, this,
            [this] { Forward([this] { list_model_.OnRefresh(); }); });
    connect(close, &QPushButton::clicked, this,
            [this] { Forward([this] { list_model_.OnOK(); }); });
}

void CQtCheckoutList::ShowFields() {
    summary_->SetFullText(ToQt(list_model_.summary()));
    list_->clear();
    for (const client::CCheckoutRecord& row : list_model_.rows()) {
        auto* item = new QTreeWidgetItem(
            list_, {ToQt(row.vob_tag), ToQt(row.element), ToQt(row.master_replica)});
        for (int column = 0; column < 3; ++column) item->setToolTip(column, item->text(column));
    }
    if (list_->topLevelItemCount() > 0 && !list_->currentItem())
        list_->setCurrentItem(list_->topLevelItem(0));
}

}  // namespace kelmora::qt

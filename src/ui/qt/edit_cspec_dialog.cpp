#include "ui/qt/edit_cspec_dialog.h"

#include <QBoxLayout>
#include <QPushButton>

#include "ui/qt/operation_dialogs.h"

namespace kelmora::qt {

CQtEditCSpec::CQtEditCSpec(CEditCSpec& model)
    : CModelDialog(&model, CEditCSpec::kTitle, ""), dialog_(model) {
    dialog_.OnInitDialog();
    CConfigSpecEditControl& control = dialog_.control();
    view_ = new CConfigSpecView(this);
    view_->setMinimumSize(560, 360);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(view_, 1);
    auto* column = new QVBoxLayout;
    layout->addLayout(column);
    binding().Bind(CEditCSpec::kControlId, view_);
    connect(view_, &CConfigSpecView::TextEdited, this,
            [this, &control] { Forward([&] { control.ReplaceText(view_->ConfigSpec()); }); });
    connect(view_, &CConfigSpecView::UndoRequested, this,
            [this, &control] { Forward([&] { control.Undo(); }); });

    if (!dialog_.window_visible()) {
        // The control's own window: nothing of the dialog is shown.
        setWindowTitle(ToQt(std::string(CEditCSpec::kTitle) + ": " + control.context_text()));
        auto* done = DialogButton(kDoneCaption, this);
        column->addWidget(done);
        column->addStretch();
        connect(done, &QPushButton::clicked, this,
                [this, &control] { Forward([&] { control.Done(); }); });
        view_->setFocus();
        return;
    }
    const std::pair<int, const char*> buttons[] = {{CEditCSpec::kEditId, "&Edit"},
                                                   {CEditCSpec::kUndoId, "&Undo"},
                                                   {CEditCSpec::kResetId, "&Reset"},
                                                   {CEditCSpec::kSaveId, "&Save"}};
    for (const auto& [id, caption] : buttons) {
        QPushButton* button = DialogButton(caption, this);
        column->addWidget(button);
        binding().Bind(id, button);
    }
    column->addStretch();
    QPushButton* close = DialogButton("&Close", this, true);
    column->addWidget(close);
    binding().Bind(CEditCSpec::kCloseId, close);
    const std::pair<int, void (CEditCSpec::*)()> handlers[] = {
        {CEditCSpec::kEditId, &CEditCSpec::OnEdit},   {CEditCSpec::kUndoId, &CEditCSpec::OnUndo},
        {CEditCSpec::kResetId, &CEditCSpec::OnReset}, {CEditCSpec::kSaveId, &CEditCSpec::OnSave},
        {CEditCSpec::kCloseId, &CEditCSpec::OnOK}};
    for (const auto& [id, handler] : handlers) {
        connect(static_cast<QPushButton*>(binding().Widget(id)), &QPushButton::clicked, this,
                [this, handler = handler] { Forward([&] { (dialog_.*handler)(); }); });
    }
    // Template order: Edit, Reset, Save, Close, the control, Undo.
    QWidget* order[] = {binding().Widget(CEditCSpec::kEditId), binding().Widget(CEditCSpec::kResetId),
                        binding().Widget(CEditCSpec::kSaveId), close, view_,
                        binding().Widget(CEditCSpec::kUndoId)};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void CQtEditCSpec::ShowFields() {
    const CConfigSpecEditControl& control = dialog_.control();
    if (!view_->Shows(control.text())) view_->SetConfigSpec(control.text());
    view_->setReadOnly(!control.editable());
    if (dialog_.syntax_error_line() != view_->marked_line())
        view_->MarkErrorLine(dialog_.syntax_error_line(), dialog_.syntax_error_column());
}

void CQtEditCSpec::OnCancelRequest() {
    // The close box (and Escape) ask about changes; in hidden mode the
    // control is done with its text.
    if (!dialog_.window_visible()) {
        Forward([this] { dialog_.control().Done(); });
        return;
    }
    Forward([this] { dialog_.OnClose(); });
}

}  // namespace kelmora::qt

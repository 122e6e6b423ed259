#include "ui/qt/edit_cspec_dialog.h"

#include <QBoxLayout>
#include <QPushButton>
#include <QTimer>

#include "ui/qt/operation_dialogs.h"

namespace kelmora::qt {

CQtEditCSpec::CQtEditCSpec(CEditCSpec& model)
    : CModelDialog(&model, CEditCSpec::kTitle, ""), dialog_(model) {
    dialog_.OnInitDialog();
    CConfigSpecEditControl& control = dialog_.control();
    view_ = new CConfigSpecView(this);
    view_->setMinimumSize(360, 200);
    auto* outer = new QVBoxLayout(this);
    auto* layout = new QHBoxLayout;
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
        QLabel* caption = StaticText(dialog_.HiddenCaption(), this);
        caption->setWordWrap(true);
        outer->addWidget(caption);
        outer->addLayout(layout, 1);
        auto* done = DialogButton(kDoneCaption, this);
        auto* cancel = DialogButton("Cancel", this);
        column->addWidget(done);
        column->addWidget(cancel);
        column->addStretch();
        resize(640, 440);
        setTabOrder(view_, done);
        setTabOrder(done, cancel);
        connect(done, &QPushButton::clicked, this,
                [this, &control] { Forward([&] { control.Done(); }); });
        connect(cancel, &QPushButton::clicked, this, [this] { OnCancelRequest(); });
        // A line that does not parse is marked a moment after the typing stops.
        auto* check = new QTimer(this);
        check->setSingleShot(true);
        check->setInterval(kCheckDelayMs);
        connect(view_, &CConfigSpecView::TextEdited, check, qOverload<>(&QTimer::start));
        connect(check, &QTimer::timeout, this,
                [this] { Forward([this] { dialog_.MarkSyntaxError(); }); });
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
    outer->addLayout(layout, 1);
    column->addStretch();
    QPushButton* close = DialogButton("&Close", this, true);
    column->addWidget(close);
    binding().Bind(CEditCSpec::kCloseId, close);
    const std::pair<int, void (CEditCSpec::*)()> handlers[] = {
        {CEditCSpec::kEditId, &CEditCSpec::OnEdit},
        {CEditCSpec::kUndoId, &CEditCSpec::OnUndo},
        {CEditCSpec::kResetId, &CEditCSpec::OnReset},
        {CEditCSpec::kSaveId, &CEditCSpec::OnSave},
        {CEditCSpec::kCloseId, &CEditCSpec::OnOK}};
    for (const auto& [id, handler] : handlers) {
        connect(static_cast<QPushButton*>(binding().Widget(id)), &QPushButton::clicked, this,
                [this, handler = handler] { Forward([&] { (dialog_.*handler)(); }); });
    }
    // Template order: Edit, Reset, Save, Close, the control, Undo.
    QWidget* order[] = {binding().Widget(CEditCSpec::kEditId),
                        binding().Widget(CEditCSpec::kResetId),
                        binding().Widget(CEditCSpec::kSaveId),
                        close,
                        view_,
                        binding().Widget(CEditCSpec::kUndoId)};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void CQtEditCSpec::ShowFields() {
    const CConfigSpecEditControl& control = dialog_.control();
    if (!view_->Shows(control.text())) view_->SetConfigSpec(control.text());
    view_->setReadOnly(!control.editable());
    // Marks found while typing leave the cursor where the user is.
    if (dialog_.syntax_error_line() != view_->marked_line())
        view_->MarkErrorLine(dialog_.syntax_error_line(), dialog_.syntax_error_column(),
                             dialog_.window_visible());
}

void CQtEditCSpec::OnCancelRequest() {
    // The close box (and Escape) ask about changes; in hidden mode they
    // cancel, as the Cancel button does.
    if (!dialog_.window_visible()) {
        Forward([this] { dialog_.OnHiddenCancel(); });
        return;
    }
    Forward([this] { dialog_.OnClose(); });
}

}  // namespace kelmora::qt

#include "ui/qt/operation_dialogs.h"

#include <QBoxLayout>
#include <QGroupBox>

namespace kelmora::qt {

namespace {

// The right-hand column of buttons, Help at the foot.
QVBoxLayout* ButtonColumn(std::initializer_list<QPushButton*> top, QPushButton* bottom) {
    auto* column = new QVBoxLayout;
    for (QPushButton* button : top) column->addWidget(button);
    column->addStretch();
    if (bottom) column->addWidget(bottom);
    return column;
}

void ChainTabOrder(std::initializer_list<QWidget*> widgets) {
    QWidget* previous = nullptr;
    for (QWidget* widget : widgets) {
        if (previous) QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

}  // namespace

QPushButton* DialogButton(const char* caption, QWidget* parent, bool is_default) {
    auto* button = new QPushButton(ToQt(caption), parent);
    button->setDefault(is_default);
    return button;
}

CQtAssocDlg::CQtAssocDlg(CAssocDlg& model)
    : CModelDialog(&model, CAssocDlg::kTitle, CAssocDlg::kHelpTopic), dialog_(model) {
    dialog_.OnInitDialog();
    auto* ok = DialogButton("OK", this, true);
    auto* cancel = DialogButton("Cancel", this);
    auto* help = DialogButton("&Help", this);
    name_ = new QLineEdit(this);
    name_->setMaxLength(static_cast<int>(CAssocDlg::kMaxNameLength));
    name_->setMinimumWidth(220);
    auto* browse = DialogButton(CAssocDlg::kBrowseCaption, this);

    auto* texts = new QVBoxLayout;
    texts->addWidget(StaticText(CAssocDlg::kPromptFirst, this));
    texts->addWidget(StaticText(dialog_.prompt_text(), this));
    auto* name_row = new QHBoxLayout;
    name_row->addWidget(name_, 1);
    name_row->addWidget(browse);
    texts->addLayout(name_row);
    texts->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(PictureFrame("associate", QFrame::Plain, this), 0, Qt::AlignTop);
    layout->addLayout(texts, 1);
    layout->addLayout(ButtonColumn({ok, cancel}, help));
    ChainTabOrder({ok, cancel, help, name_, browse});

    binding().Bind(IDOK, ok);
    binding().Bind(IDCANCEL, cancel);
    binding().Bind(kHelpButtonId, help);
    binding().Bind(CAssocDlg::kNameEditId, name_);
    binding().Bind(CAssocDlg::kBrowseId, browse);
    connect(name_, &QLineEdit::textEdited, this,
            [this](const QString& text) { dialog_.set_name_text(FromQt(text)); });
    connect(ok, &QPushButton::clicked, this, [this] { Forward([this] { dialog_.OnOK(); }); });
    connect(cancel, &QPushButton::clicked, this,
            [this] { Forward([this] { dialog_.OnCancel(); }); });
    connect(browse, &QPushButton::clicked, this,
            [this] { Forward([this] { dialog_.OnBrowse(); }); });
    connect(help, &QPushButton::clicked, this, [] { OpenHelpPage(CAssocDlg::kHelpTopic); });
}

void CQtAssocDlg::ShowFields() {
    if (name_->text() != ToQt(dialog_.name_text())) name_->setText(ToQt(dialog_.name_text()));
}

// The dissociate dialog's F1 is the framework's own help, which opens the
// dialog's page as well.
CQtDissocDlg::CQtDissocDlg(CDissocDlg& model)
    : CModelDialog(nullptr, CDissocDlg::kTitle, CDissocDlg::kHelpTopic), dialog_(model) {
    dialog_.OnInitDialog();
    // No is the default: Enter never removes the association by accident.
    auto* yes = DialogButton("Yes", this);
    auto* no = DialogButton("No", this, true);
    auto* help = DialogButton("&Help", this);
    auto* texts = new QVBoxLayout;
    for (const std::string& line : dialog_.texts()) texts->addWidget(StaticText(line, this));
    QLabel* note = StaticText(CDissocDlg::kCommentsNote, this);
    note->setWordWrap(true);
    texts->addSpacing(6);
    texts->addWidget(note);
    texts->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(PictureFrame("dissociate", QFrame::Sunken, this), 0, Qt::AlignTop);
    layout->addLayout(texts, 1);
    layout->addLayout(ButtonColumn({yes, no}, help));
    ChainTabOrder({yes, no, help});
    no->setFocus();

    connect(yes, &QPushButton::clicked, this, [this] {
        if (dialog_.OnYes()) accept();
    });
    connect(no, &QPushButton::clicked, this, [this] { OnCancelRequest(); });
    connect(help, &QPushButton::clicked, this, [] { OpenHelpPage(CDissocDlg::kHelpTopic); });
}

void CQtDissocDlg::OnCancelRequest() {
    dialog_.OnNo();
    QDialog::reject();
}

CQtCOsDlg::CQtCOsDlg(CCOsDlg& model) : CModelDialog(&model, "", model.HelpTopic()) {
    model.OnInitDialog();
    setWindowTitle(ToQt(model.title()));
    auto* ok = DialogButton("OK", this, true);
    auto* find = DialogButton(CCOsDlg::kFindCaption, this);
    auto* help = DialogButton("&Help", this);

    auto* group = new QGroupBox(this);
    auto* group_layout = new QVBoxLayout(group);
    QLabel* instruction = StaticText(CCOsDlg::kInstruction, this);
    instruction->setWordWrap(true);
    QLabel* message = StaticText(model.message(), this);
    message->setWordWrap(true);
    group_layout->addWidget(instruction);
    group_layout->addWidget(message);
    auto* find_row = new QHBoxLayout;
    QLabel* prompt = StaticText(CCOsDlg::kFindPrompt, this);
    prompt->setWordWrap(true);
    find_row->addWidget(prompt, 1);
    find_row->addWidget(find, 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->addWidget(group);
    texts->addLayout(find_row);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(texts, 1);
    layout->addLayout(ButtonColumn({ok}, help));
    setMinimumWidth(460);
    ChainTabOrder({ok, find, help});

    binding().Bind(IDOK, ok);
    binding().Bind(CCOsDlg::kFindCheckOutsId, find);
    binding().Bind(kHelpButtonId, help);
    connect(ok, &QPushButton::clicked, this, [this, &model] { Forward([&] { model.OnOK(); }); });
    connect(find, &QPushButton::clicked, this,
            [this, &model] { Forward([&] { model.OnFindCheckOuts(); }); });
    connect(help, &QPushButton::clicked, this, [this] { OnContextHelp(); });
}

CQtNamePrompt::CQtNamePrompt(CNamePrompt& model)
    : CModelDialog(nullptr, ApplicationName(), ""), dialog_(model) {
    name_ = new QLineEdit(ToQt(dialog_.name()), this);
    name_->setMaxLength(static_cast<int>(CNamePrompt::kMaxNameLength));
    auto* message = new QPlainTextEdit(ToQt(dialog_.message()), this);
    message->setReadOnly(true);
    message->setMaximumHeight(90);
    auto* ok = DialogButton("OK", this, true);
    auto* cancel = DialogButton("Cancel", this);
    auto* fields = new QVBoxLayout;
    fields->addWidget(message);
    fields->addWidget(name_);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(ButtonColumn({ok, cancel}, nullptr));
    setMinimumWidth(420);
    ChainTabOrder({name_, message, ok, cancel});
    name_->setFocus();
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

int CQtNamePrompt::RunPrompt() {
    if (exec() != Accepted) return IDCANCEL;
    dialog_.set_name(FromQt(name_->text(), dialog_.name()));
    return IDOK;
}

}  // namespace kelmora::qt

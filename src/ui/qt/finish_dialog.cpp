#include "ui/qt/finish_dialog.h"

#include <QBoxLayout>
#include <cctype>
#include <QFrame>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>

#include "ui/qt/operation_dialogs.h"

namespace kelmora::qt {

CPictureButton::CPictureButton(const char* caption, QWidget* parent) : QAbstractButton(parent) {
    const std::string name = std::string(caption);
    std::string upper;
    for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    released_ = Picture((upper + "U").c_str());
    pressed_ = Picture((upper + "D").c_str());
    focused_ = Picture((upper + "F").c_str());
    setText(ToQt(name));
    setAccessibleName(ToQt(name));
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(released_.size());
}

QSize CPictureButton::sizeHint() const {
    return released_.size();
}

void CPictureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPixmap& picture = isDown() ? pressed_ : hasFocus() ? focused_ : released_;
    painter.drawPixmap(0, 0, picture);
}

CQtFinishDlg::CQtFinishDlg(CFinishDlg& model)
    : CModelDialog(&model, CFinishDlg::kTitle, CFinishDlg::kHelpTopic), dialog_(model) {
    dialog_.OnInitDialog();
    auto* publish = new CPictureButton(CFinishDlg::kPublishCaption, this);
    auto* suspend = new CPictureButton(CFinishDlg::kSuspendCaption, this);
    auto* cancel = DialogButton("Cancel", this);
    auto* help = DialogButton("&Help", this);
    // Enter on a picture button is the dialog's, not the button's.
    cancel->setAutoDefault(true);
    help->setAutoDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(StaticText(CFinishDlg::kHeading, this));
    auto* line = new QFrame(this);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    layout->addWidget(line);
    for (const auto& [button, text] : {std::pair{publish, CFinishDlg::kPublishText},
                                       std::pair{suspend, CFinishDlg::kSuspendText}}) {
        auto* row = new QHBoxLayout;
        row->addWidget(button, 0, Qt::AlignTop);
        auto* beside = new QLabel(ToQt(text), this);
        beside->setTextFormat(Qt::PlainText);
        beside->setWordWrap(true);
        beside->setBuddy(button);
        row->addWidget(beside, 1);
        row->setSpacing(12);
        layout->addLayout(row);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    layout->addLayout(buttons);
    setMinimumWidth(380);

    binding().Bind(CFinishDlg::kPublishId, publish);
    binding().Bind(CFinishDlg::kSuspendId, suspend);
    binding().Bind(IDCANCEL, cancel);
    binding().Bind(kHelpButtonId, help);
    connect(publish, &QAbstractButton::clicked, this,
            [this] { Forward([this] { dialog_.OnPublish(); }); });
    connect(suspend, &QAbstractButton::clicked, this,
            [this] { Forward([this] { dialog_.OnSuspend(); }); });
    connect(cancel, &QPushButton::clicked, this,
            [this] { Forward([this] { dialog_.OnCancel(); }); });
    connect(help, &QPushButton::clicked, this, [this] { OnContextHelp(); });
}

void CQtFinishDlg::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // A push button with the focus takes Enter itself, as a click.
    if (enter && !qobject_cast<QPushButton*>(focusWidget())) {
        Forward([this] { dialog_.OnOK(); });
        return;
    }
    CModelDialog::keyPressEvent(event);
}

}  // namespace kelmora::qt

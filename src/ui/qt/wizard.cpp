#include "ui/qt/wizard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBoxLayout>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>

namespace kelmora::qt {

namespace {

// The page's picture on the left, its controls on the right.
// The width of the name page's question inside its group.
constexpr int kQuestionWidth = 330;

QHBoxLayout* PageWithPicture(QWizardPage* page) {
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(PictureFrame("wizard", QFrame::Sunken, page), 0, Qt::AlignTop);
    layout->setSpacing(14);
    return layout;
}

// A read-only time field as wide as its widest text.
QLineEdit* TimeField(QWidget* parent, const char* widest) {
    auto* field = new QLineEdit(parent);
    field->setReadOnly(true);
    field->setFrame(false);
    field->setAlignment(Qt::AlignRight);
    field->setTextMargins(0, 0, 0, 0);
    field->setFixedWidth(field->fontMetrics().horizontalAdvance(QLatin1String(widest)) + 6);
    return field;
}

void SetTextIfChanged(QLineEdit* field, const std::string& text) {
    if (field->text() != ToQt(text)) field->setText(ToQt(text));
}

}  // namespace

CSpinField::CSpinField(QWidget* parent) : QSpinBox(parent) {
    lineEdit()->setReadOnly(true);
    setGroupSeparatorShown(false);
}

CTimeSpinButton::CTimeSpinButton(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (const auto& [arrow, delta] : {std::pair{Qt::UpArrow, -1}, std::pair{Qt::DownArrow, 1}}) {
        auto* button = new QToolButton(this);
        button->setArrowType(arrow);
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRepeat(true);
        button->setFixedSize(16, 11);
        connect(button, &QToolButton::clicked, this,
                [this, delta = delta] { emit Stepped(delta); });
        layout->addWidget(button);
    }
    setFocusPolicy(Qt::TabFocus);
}

void CTimeSpinButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) {
        emit Stepped(-1);
    } else if (event->key() == Qt::Key_Down) {
        emit Stepped(1);
    } else {
        QWidget::keyPressEvent(event);
    }
}

CQtNamePage::CQtNamePage(CQtBranchPSheet& wizard, CBranchPSheet& sheet)
    : QWizardPage(&wizard), sheet_(sheet) {
    CWizName& page = sheet_.name_page();
    name_ = new QLineEdit(this);
    name_->setMaxLength(static_cast<int>(CWizName::kMaxNameLength));
    comment_ = new QPlainTextEdit(this);
    comment_->setTabChangesFocus(true);
    comment_->setFixedHeight(64);
    auto* group = new QGroupBox(this);
    QLabel* question = StaticText(CWizName::kQuestion, group);
    question->setWordWrap(true);
    yes_ = new QRadioButton(ToQt(CWizName::kYesCaption), group);
    no_ = new QRadioButton(ToQt(CWizName::kNoCaption), group);
    auto* group_layout = new QVBoxLayout(group);
    group_layout->addWidget(question);
    group_layout->addWidget(yes_);
    group_layout->addWidget(no_);

    auto* fields = new QVBoxLayout;
    fields->addWidget(StaticText(CWizName::kNamePrompt, this));
    fields->addWidget(name_);
    fields->addWidget(StaticText(CWizName::kCommentPrompt, this));
    fields->addWidget(comment_);
    fields->addWidget(group);
    fields->addStretch();
    PageWithPicture(this)->addLayout(fields, 1);
    // The wrapped question gets its height from the width it is given.
    question->setMinimumWidth(kQuestionWidth);
    question->setMinimumHeight(question->heightForWidth(kQuestionWidth));

    CModelBinding& binding = wizard.binding();
    binding.Bind(CWizName::kNameEditId, name_, &page);
    binding.Bind(CWizName::kCommentEditId, comment_, &page);
    binding.Bind(CWizName::kYesRadioId, yes_, &page);
    binding.Bind(CWizName::kNoRadioId, no_, &page);
    connect(name_, &QLineEdit::textEdited, this,
            [&page](const QString& text) { page.set_name(FromQt(text)); });
    connect(comment_, &QPlainTextEdit::textChanged, this, [this, &page] {
        const std::string typed = FromQt(comment_->toPlainText(), page.comment());
        page.set_comment(typed);
        // The comment box holds no more than the field.
        if (typed != page.comment()) ShowFields();
    });
    connect(yes_, &QRadioButton::clicked, this,
            [&wizard, &page] { wizard.Forward([&] { page.OnYes(); }); });
    connect(no_, &QRadioButton::clicked, this,
            [&wizard, &page] { wizard.Forward([&] { page.OnNo(); }); });
}

void CQtNamePage::ShowFields() {
    const CWizName& page = sheet_.name_page();
    SetTextIfChanged(name_, page.name());
    if (comment_->toPlainText() != ToQt(page.comment())) {
        const QSignalBlocker quiet(comment_);
        comment_->setPlainText(ToQt(page.comment()));
        comment_->moveCursor(QTextCursor::End);
    }
    (page.yes_selected() ? yes_ : no_)->setChecked(true);
}

CQtBranchPointPage::CQtBranchPointPage(CQtBranchPSheet& wizard, CBranchPSheet& sheet)
    : QWizardPage(&wizard), wizard_(wizard), sheet_(sheet), page_(sheet.branch_point_page()) {
    CModelBinding& binding = wizard.binding();
    auto bind = [&](int id, QWidget* widget) { binding.Bind(id, widget, &page_); };
    auto* group = new QGroupBox(this);
    time_ = new QRadioButton(ToQt(CWizBranchPt::kTimeCaption), group);
    checkpoint_ = new QRadioButton(ToQt(CWizBranchPt::kCheckpointCaption), group);
    label_radio_ = new QRadioButton(ToQt(CWizBranchPt::kLabelCaption), group);
    auto* group_layout = new QVBoxLayout(group);
    for (QRadioButton* radio : {time_, checkpoint_, label_radio_}) group_layout->addWidget(radio);
    bind(CWizBranchPt::kTimeRadioId, time_);
    bind(CWizBranchPt::kCheckpointRadioId, checkpoint_);
    bind(CWizBranchPt::kLabelRadioId, label_radio_);

    // The three kinds' controls share one place; the model shows one kind.
    auto* kinds = new QGridLayout;
    auto* checkpoint_panel = new QWidget(this);
    auto* checkpoint_layout = new QVBoxLayout(checkpoint_panel);
    checkpoint_layout->setContentsMargins(0, 0, 0, 0);
    QLabel* checkpoint_prompt = StaticText(CWizBranchPt::kCheckpointPrompt, checkpoint_panel);
    checkpoints_ = new QComboBox(checkpoint_panel);
    checkpoint_layout->addWidget(checkpoint_prompt);
    checkpoint_layout->addWidget(checkpoints_);
    checkpoint_layout->addStretch();
    bind(CWizBranchPt::kCheckpointPromptId, checkpoint_prompt);
    bind(CWizBranchPt::kCheckpointListId, checkpoints_);

    auto* label_panel = new QWidget(this);
    auto* label_layout = new QVBoxLayout(label_panel);
    label_layout->setContentsMargins(0, 0, 0, 0);
    QLabel* label_prompt = StaticText(CWizBranchPt::kLabelPrompt, label_panel);
    label_ = new QLineEdit(label_panel);
    label_->setMaxLength(static_cast<int>(CWizBranchPt::kMaxIdentifierLength));
    label_layout->addWidget(label_prompt);
    label_layout->addWidget(label_);
    label_layout->addStretch();
    bind(CWizBranchPt::kLabelPromptId, label_prompt);
    bind(CWizBranchPt::kLabelEditId, label_);

    QWidget* time_panel = TimePanel();
    kinds->addWidget(checkpoint_panel, 0, 0);
    kinds->addWidget(label_panel, 0, 0);
    kinds->addWidget(time_panel, 0, 0);
    kinds->setRowMinimumHeight(0, time_panel->sizeHint().height());

    auto* fields = new QVBoxLayout;
    auto* question = new QVBoxLayout;
    question->setSpacing(0);
    question->addWidget(StaticText(CWizBranchPt::kQuestionFirst, this));
    question->addWidget(StaticText(CWizBranchPt::kQuestionSecond, this));
    fields->addLayout(question);
    fields->addWidget(group);
    fields->addLayout(kinds);
    fields->addStretch();
    PageWithPicture(this)->addLayout(fields, 1);

    auto forward = [this](auto handler) { return [this, handler] { wizard_.Forward(handler); }; };
    connect(time_, &QRadioButton::clicked, this, forward([this] { page_.OnTimeRadio(); }));
    connect(checkpoint_, &QRadioButton::clicked, this,
            forward([this] { page_.OnCheckpointRadio(); }));
    connect(label_radio_, &QRadioButton::clicked, this, forward([this] { page_.OnLabelRadio(); }));
    // By position: a name shown from other bytes than UTF-8 goes back as it came.
    connect(checkpoints_, &QComboBox::activated, this, [this](int index) {
        wizard_.Forward([this, index] {
            if (index >= 0 && static_cast<size_t>(index) < page_.checkpoint_list().size())
                page_.SelectCheckpoint(page_.checkpoint_list()[static_cast<size_t>(index)]);
        });
    });
    connect(label_, &QLineEdit::textEdited, this,
            [this](const QString& text) { page_.set_label(FromQt(text)); });
    connect(month_, &QComboBox::activated, this, [this](int) {
        wizard_.Forward([this] { page_.SelectMonth(FromQt(month_->currentText())); });
    });
    connect(day_, &QSpinBox::valueChanged, this,
            [this](int day) { wizard_.Forward([this, day] { page_.SetDay(day); }); });
    connect(year_, &QSpinBox::valueChanged, this,
            [this](int year) { wizard_.Forward([this, year] { page_.SetYear(year); }); });
}

QWidget* CQtBranchPointPage::TimePanel() {
    auto bind = [this](int id, QWidget* widget) { wizard_.binding().Bind(id, widget, &page_); };
    auto* panel = new QWidget(this);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    QLabel* prompt = StaticText(CWizBranchPt::kTimePrompt, panel);
    month_ = new QComboBox(panel);
    day_ = new CSpinField(panel);
    day_->setWrapping(true);
    year_ = new CSpinField(panel);
    year_->setRange(CWizBranchPt::kFirstYear, CWizBranchPt::kLastYear);
    auto* date = new QHBoxLayout;
    date->addWidget(month_);
    date->addWidget(day_);
    date->addWidget(year_);
    date->addStretch();

    // The read-only time fields look like one edit box, white inside a frame.
    auto* frame = new QFrame(panel);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setAutoFillBackground(true);
    QPalette white = frame->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Base, Qt::white);
    frame->setPalette(white);
    hour_ = TimeField(frame, "00");
    minutes_ = TimeField(frame, "00");
    seconds_ = TimeField(frame, "00");
    marker_ = TimeField(frame, " PM");
    QLabel* colon_first = StaticText(":", frame);
    QLabel* colon_second = StaticText(":", frame);
    auto* time = new QHBoxLayout(frame);
    time->setContentsMargins(2, 1, 2, 1);
    time->setSpacing(0);
    for (QWidget* widget : std::initializer_list<QWidget*>{hour_, colon_first, minutes_,
                                                           colon_second, seconds_, marker_}) {
        widget->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        time->addWidget(widget);
    }
    frame->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* spin = new CTimeSpinButton(panel);
    auto* time_row = new QHBoxLayout;
    time_row->setSpacing(1);
    time_row->addWidget(frame);
    time_row->addWidget(spin);
    time_row->addStretch();
    layout->addWidget(prompt);
    layout->addLayout(date);
    layout->addLayout(time_row);
    layout->addStretch();

    const std::pair<int, QWidget*> controls[] = {{CWizBranchPt::kTimePromptId, prompt},
                                                 {CWizBranchPt::kMonthListId, month_},
                                                 {CWizBranchPt::kDayEditId, day_},
                                                 {CWizBranchPt::kYearEditId, year_},
                                                 {CWizBranchPt::kTimeFrameId, frame},
                                                 {CWizBranchPt::kHourEditId, hour_},
                                                 {CWizBranchPt::kHourColonId, colon_first},
                                                 {CWizBranchPt::kMinutesEditId, minutes_},
                                                 {CWizBranchPt::kMinutesColonId, colon_second},
                                                 {CWizBranchPt::kSecondsEditId, seconds_},
                                                 {CWizBranchPt::kMarkerEditId, marker_},
                                                 {CWizBranchPt::kTimeSpinId, spin}};
    for (const auto& [id, widget] : controls) bind(id, widget);
    for (QLineEdit* field : {hour_, minutes_, seconds_}) field->installEventFilter(this);
    connect(spin, &CTimeSpinButton::Stepped, this, [this](int delta) {
        wizard_.Forward([this, delta] { page_.OnTimeSpin(delta); });
        // The changed field is focused with its text selected.
        if (auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget())) field->selectAll();
    });
    return panel;
}

bool CQtBranchPointPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        page_.OnTimeFieldFocus(wizard_.binding().IdOf(static_cast<QWidget*>(watched)));
    } else if (event->type() == QEvent::FocusOut) {
        page_.OnTimeFieldFocusLost();
    }
    return QWizardPage::eventFilter(watched, event);
}

void CQtBranchPointPage::ShowFields() {
    time_->setChecked(page_.kind() == CWizBranchPt::kTimeRule);
    checkpoint_->setChecked(page_.kind() == CWizBranchPt::kCheckpoint);
    label_radio_->setChecked(page_.kind() == CWizBranchPt::kLabel);
    const QSignalBlocker quiet_checkpoints(checkpoints_), quiet_month(month_), quiet_day(day_),
        quiet_year(year_);
    if (checkpoints_->count() != static_cast<int>(page_.checkpoint_list().size())) {
        checkpoints_->clear();
        for (const std::string& name : page_.checkpoint_list()) checkpoints_->addItem(ToQt(name));
    }
    checkpoints_->setCurrentText(ToQt(page_.checkpoint()));
    SetTextIfChanged(label_, page_.label());
    if (month_->count() != static_cast<int>(page_.month_list().size())) {
        month_->clear();
        for (const std::string& name : page_.month_list()) month_->addItem(ToQt(name));
    }
    month_->setCurrentText(ToQt(page_.month()));
    day_->setRange(1, page_.days_in_month());
    day_->setValue(std::atoi(page_.day().c_str()));
    year_->setValue(std::atoi(page_.year().c_str()));
    SetTextIfChanged(hour_, page_.hour());
    SetTextIfChanged(minutes_, page_.minutes());
    SetTextIfChanged(seconds_, page_.seconds());
    SetTextIfChanged(marker_, page_.marker());
}

CQtBranchPSheet::CQtBranchPSheet(CBranchPSheet& sheet) : sheet_(sheet), binding_(this, &sheet) {
    setWizardStyle(ClassicStyle);
    setOptions(HaveFinishButtonOnEarlyPages | HaveNextButtonOnLastPage | NoDefaultButton);
    setButtonLayout({Stretch, BackButton, NextButton, FinishButton, CancelButton});
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // Both pages as wide as the template (326 dialog units).
    setMinimumWidth(kMinimumWidth);
    sheet_.OnInitDialog();
    name_page_ = new CQtNamePage(*this, sheet_);
    branch_point_page_ = new CQtBranchPointPage(*this, sheet_);
    setPage(CBranchPSheet::kNamePage, name_page_);
    setPage(CBranchPSheet::kBranchPointPage, branch_point_page_);
    setStartId(sheet_.active_page());

    // The buttons go to the sheet, which moves the pages.
    const std::pair<WizardButton, int> buttons[] = {{BackButton, CBranchPSheet::kBackId},
                                                    {NextButton, CBranchPSheet::kNextId},
                                                    {FinishButton, CBranchPSheet::kFinishId},
                                                    {CancelButton, IDCANCEL}};
    for (const auto& [which, id] : buttons) {
        QAbstractButton* button = this->button(which);
        disconnect(button, &QAbstractButton::clicked, this, nullptr);
        binding_.Bind(id, button);
    }
    connect(button(BackButton), &QAbstractButton::clicked, this,
            [this] { Forward([this] { sheet_.OnBack(); }); });
    connect(button(NextButton), &QAbstractButton::clicked, this,
            [this] { Forward([this] { sheet_.OnNext(); }); });
    connect(button(FinishButton), &QAbstractButton::clicked, this,
            [this] { Forward([this] { sheet_.OnFinish(); }); });
    connect(button(CancelButton), &QAbstractButton::clicked, this, [this] { reject(); });
    // The wizard sets its buttons whenever it changes page; the sheet's state wins.
    connect(this, &QWizard::currentIdChanged, this, [this] { binding_.Sync(); });
}

void CQtBranchPSheet::AfterHandler() {
    name_page_->ShowFields();
    branch_point_page_->ShowFields();
    const bool name_page = sheet_.active_page() == CBranchPSheet::kNamePage;
    setWindowTitle(ToQt(name_page ? CWizName::kCaption : CWizBranchPt::kCaption));
    following_model_ = true;
    if (currentId() != sheet_.active_page()) {
        if (name_page) {
            back();
        } else {
            next();
        }
    }
    following_model_ = false;
    ShowDefaultButton();
    KeepMinimumSize();
    binding_.Sync();
    if (sheet_.ended()) {
        following_model_ = true;
        done(sheet_.result() == IDCANCEL ? Rejected : Accepted);
        following_model_ = false;
    }
}

void CQtBranchPSheet::showEvent(QShowEvent* event) {
    QWizard::showEvent(event);
    // The pages are laid out now, and the wizard has set its buttons; the
    // keyboard starts where the sheet says, and Enter presses its default.
    KeepMinimumSize();
    ShowDefaultButton();
    if (QWidget* focus = binding_.Widget(sheet_.focus()); focus && focus->isEnabled())
        focus->setFocus(Qt::OtherFocusReason);
}

void CQtBranchPSheet::ShowDefaultButton() {
    if (auto* finish = qobject_cast<QPushButton*>(button(FinishButton)))
        finish->setDefault(sheet_.default_button() == CBranchPSheet::kFinishId);
}

void CQtBranchPSheet::KeepMinimumSize() {
    // QWizard lays its pages and buttons out on an inner widget and caps a
    // new window at part of the screen; on a small screen the window keeps
    // the room they need rather than drawing them over each other.
    for (QWidget* inner : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (inner->layout())
            setMinimumSize(inner->layout()->totalMinimumSize().expandedTo({kMinimumWidth, 0}));
    }
}

bool CQtBranchPSheet::validateCurrentPage() {
    return following_model_;
}

void CQtBranchPSheet::reject() {
    if (!sheet_.ended()) sheet_.OnCancel();
    AfterHandler();
}

void CQtBranchPSheet::OnContextHelp() {
    OpenHelpPage(sheet_.active_page() == CBranchPSheet::kNamePage ? CWizName::kHelpTopic
                                                                  : CWizBranchPt::kHelpTopic);
}

int CQtBranchPSheet::Run() {
    AfterHandler();
    exec();
    return sheet_.ended() ? sheet_.result() : IDCANCEL;
}

}  // namespace kelmora::qt

#include "ui/qt/model_binding.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>
#include <deque>
#include <string_view>

#include "client/help.h"

namespace kelmora::qt {

namespace {

QString DecodeLine(std::string_view line) {
    const QByteArray bytes(line.data(), static_cast<qsizetype>(line.size()));
    QString text = QString::fromUtf8(bytes);
    return text.toUtf8() == bytes ? text : QString::fromLatin1(bytes);
}

template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
    for (size_t start = 0;;) {
        const size_t end = text.find('\n', start);
        visit(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return;
        start = end + 1;
    }
}

}  // namespace

QString ToQt(const std::string& text) {
    QString shown;
    bool first = true;
    ForEachLine(text, [&](std::string_view line) {
        if (!first) shown += QLatin1Char('\n');
        shown += DecodeLine(line);
        first = false;
    });
    return shown;
}

std::string FromQt(const QString& text) {
    return text.toStdString();
}

std::string FromQt(const QString& text, const std::string& given) {
    std::map<QString, std::deque<std::string_view>> lines;
    ForEachLine(given, [&](std::string_view line) { lines[DecodeLine(line)].push_back(line); });
    std::string bytes;
    const QStringList shown = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (i > 0) bytes += '\n';
        auto it = lines.find(shown[i]);
        if (it != lines.end() && !it->second.empty()) {
            bytes += it->second.front();
            it->second.pop_front();
        } else {
            bytes += shown[i].toStdString();
        }
    }
    return bytes;
}

CElidedLabel::CElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void CElidedLabel::SetFullText(const QString& text) {
    full_ = text;
    Elide();
}

QSize CElidedLabel::minimumSizeHint() const {
    return {fontMetrics().averageCharWidth() * 8, QLabel::minimumSizeHint().height()};
}

void CElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Elide();
}

void CElidedLabel::Elide() {
    const QString shown = fontMetrics().elidedText(full_, Qt::ElideMiddle, contentsRect().width());
    if (shown != text()) setText(shown);
    setToolTip(shown == full_ ? QString() : full_);
}

QPixmap Picture(const char* name) {
    return QPixmap(QStringLiteral(":/pictures/%1.png").arg(QLatin1String(name)));
}

QLabel* PictureFrame(const char* name, QFrame::Shadow shadow, QWidget* parent) {
    auto* frame = new QLabel(parent);
    const QPixmap picture = Picture(name);
    frame->setPixmap(picture);
    frame->setFrameStyle(QFrame::Box | shadow);
    frame->setLineWidth(1);
    frame->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    frame->setFixedSize(picture.size() + QSize(2, 2));
    return frame;
}

QLabel* StaticText(const std::string& text, QWidget* parent) {
    auto* label = new QLabel(ToQt(text), parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void OpenHelpPage(const std::string& topic) {
    const std::string page = client::HelpPagePath(topic);
    if (page.empty()) {
        QMessageBox::information(
            QApplication::activeWindow(), ToQt(ApplicationName()),
            QStringLiteral("No help page for the topic '%1'.").arg(ToQt(topic)));
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(ToQt(page)));
}

CModelBinding::CModelBinding(QWidget* window, CDialogModel* model)
    : QObject(window), window_(window), model_(model) {
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { OnFocusChanged(now); });
}

void CModelBinding::Bind(int id, QWidget* widget, const CDialogModel* state) {
    controls_[id] = {widget, state ? state : model_};
}

QWidget* CModelBinding::Widget(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second.widget.data();
}

int CModelBinding::IdOf(const QWidget* widget) const {
    for (const auto& [id, bound] : controls_)
        if (bound.widget == widget) return id;
    return 0;
}

void CModelBinding::OnFocusChanged(QWidget* now) {
    if (applying_ || !model_ || !now || now->window() != window_) return;
    if (int id = IdOf(now)) {
        model_->SetFocus(id);
        shown_focus_ = id;
    }
}

void CModelBinding::Sync() {
    // Disabling the focused control moves Qt's focus; that is no user's move.
    const int wanted = model_ ? model_->focus() : 0;
    applying_ = true;
    for (const auto& [id, bound] : controls_) {
        if (!bound.widget || !bound.state) continue;
        bound.widget->setVisible(bound.state->IsVisible(id));
        bound.widget->setEnabled(bound.state->IsEnabled(id));
    }
    applying_ = false;
    if (!model_) return;
    model_->SetFocus(wanted);
    if (wanted == shown_focus_) return;
    shown_focus_ = wanted;
    if (QWidget* target = Widget(wanted); target && target->isEnabled())
        target->setFocus(Qt::OtherFocusReason);
}

CModelDialog::CModelDialog(CDialogModel* model, const std::string& title, std::string help_topic)
    : model_(model), help_topic_(std::move(help_topic)), binding_(this, model) {
    setWindowTitle(ToQt(title));
    // No "?" button: the Help buttons and F1 open the pages.
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void CModelDialog::AfterHandler() {
    ShowFields();
    binding_.Sync();
    if (model_ && model_->ended()) done(model_->result() == IDCANCEL ? Rejected : Accepted);
}

void CModelDialog::OnContextHelp() {
    if (!help_topic_.empty()) OpenHelpPage(help_topic_);
}

int CModelDialog::Run() {
    ShowFields();
    binding_.Sync();
    const int shown = exec();
    if (model_) return model_->ended() ? model_->result() : IDCANCEL;
    return shown == Accepted ? IDOK : IDCANCEL;
}

void CModelDialog::reject() {
    if (model_ && model_->ended()) {
        QDialog::reject();
        return;
    }
    OnCancelRequest();
}

void CModelDialog::OnCancelRequest() {
    if (model_) {
        model_->EndDialog(IDCANCEL);
        AfterHandler();
    } else {
        QDialog::reject();
    }
}

}  // namespace kelmora::qt

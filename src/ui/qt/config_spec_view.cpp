#include "ui/qt/config_spec_view.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextEdit>
#include <algorithm>
#include <tuple>

#include "ui/qt/model_binding.h"

namespace kelmora::qt {

namespace {

const QRegularExpression kKeyword(
    QStringLiteral(R"(^\s*(element|mkbranch|end|time|load|include)\b)"));
const QRegularExpression kOption(
    QStringLiteral(R"((?<=\s)-(file|directory|eltype|time|mkbranch|override|nocheckout)\b)"));
// CHECKEDOUT, or a version path: \main\LATEST, .../br/LATEST, /main/int/4.
const QRegularExpression kSelector(
    QStringLiteral(R"((?<=\s)(CHECKEDOUT|(\.\.\.)?[\\/][^\s#"]*[\\/](LATEST|\d+))(?=\s|#|$))"));
// The selector of an element rule: a label (REL_2.1) as well as the others.
const QRegularExpression kElementSelector(QStringLiteral(
    R"(^\s*element\s+(?:(?:-file|-directory)\s+|-eltype\s+\S+\s+)?(?:"[^"]*"|\S+)\s+([^\s#"]+))"));
// A comment starts with # at the beginning of a word, outside quotes.
int CommentStart(const QString& line) {
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (!quoted && line[i] == '#' && (i == 0 || line[i - 1].isSpace())) return i;
    }
    return -1;
}

bool IsMarker(const QString& line) {
    const QString trimmed = line.trimmed();
    return trimmed.startsWith(QLatin1String("# [SM_PROJECT")) ||
           trimmed.startsWith(QLatin1String("# SM_PROJECT]"));
}

// Spans of each kind in a line, later kinds over earlier ones.
std::vector<std::tuple<int, int, int>> Spans(const QString& line) {
    std::vector<std::tuple<int, int, int>> spans;
    if (IsMarker(line))
        return {{0, static_cast<int>(line.size()), CConfigSpecHighlighter::kMarker}};
    const int comment = CommentStart(line);
    const QString code = comment < 0 ? line : line.left(comment);
    // The pattern, the group that is coloured, and its kind.
    const std::tuple<const QRegularExpression*, int, int> patterns[] = {
        {&kKeyword, 1, CConfigSpecHighlighter::kKeyword},
        {&kOption, 0, CConfigSpecHighlighter::kOption},
        {&kSelector, 0, CConfigSpecHighlighter::kSelector},
        {&kElementSelector, 1, CConfigSpecHighlighter::kSelector}};
    for (const auto& [pattern, group, kind] : patterns) {
        for (auto it = pattern->globalMatch(code); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            spans.emplace_back(match.capturedStart(group), match.capturedLength(group), kind);
        }
    }
    if (comment >= 0)
        spans.emplace_back(comment, line.size() - comment, CConfigSpecHighlighter::kComment);
    return spans;
}

QTextCharFormat Format(const QColor& colour, bool bold, bool italic) {
    QTextCharFormat format;
    format.setForeground(colour);
    if (bold) format.setFontWeight(QFont::Bold);
    format.setFontItalic(italic);
    return format;
}

// The line number strip left of the text.
class CLineNumberArea : public QWidget {
public:
    explicit CLineNumberArea(CConfigSpecView* view) : QWidget(view), view_(view) {}
    QSize sizeHint() const override { return {view_->LineNumberWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent* event) override { view_->PaintLineNumbers(event); }

private:
    CConfigSpecView* view_;
};

}  // namespace

CConfigSpecHighlighter::CConfigSpecHighlighter(QTextDocument* document)
    : QSyntaxHighlighter(document) {
    formats_[kKeyword] = Format(QColor(0x1f, 0x3f, 0x9f), true, false);
    formats_[kOption] = Format(QColor(0x8b, 0x1c, 0x8b), false, false);
    formats_[kSelector] = Format(QColor(0x0b, 0x6e, 0x2e), false, false);
    formats_[kComment] = Format(QColor(0x70, 0x70, 0x70), false, true);
    formats_[kMarker] = Format(QColor(0x8a, 0x4b, 0x00), true, false);
    formats_[kMarker].setBackground(QColor(0xff, 0xf4, 0xd6));
}

int CConfigSpecHighlighter::KindAt(const QString& line, int position) {
    int kind = -1;
    for (const auto& [start, length, span_kind] : Spans(line))
        if (position >= start && position < start + length) kind = span_kind;
    return kind;
}

void CConfigSpecHighlighter::highlightBlock(const QString& text) {
    for (const auto& [start, length, kind] : Spans(text)) setFormat(start, length, formats_[kind]);
}

CConfigSpecView::CConfigSpecView(QWidget* parent) : QPlainTextEdit(parent) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(NoWrap);
    // Tab leaves the editor, so that the keyboard reaches the buttons.
    setTabChangesFocus(true);
    // The control keeps the history: Undo and Reset are its calls.
    setUndoRedoEnabled(false);
    new CConfigSpecHighlighter(document());
    line_numbers_ = new CLineNumberArea(this);
    connect(this, &QPlainTextEdit::blockCountChanged, this,
            [this] { setViewportMargins(LineNumberWidth(), 0, 0, 0); });
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
        if (dy) {
            line_numbers_->scroll(0, dy);
        } else {
            line_numbers_->update(0, rect.y(), line_numbers_->width(), rect.height());
        }
    });
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!setting_text_) emit TextEdited();
    });
    setViewportMargins(LineNumberWidth(), 0, 0, 0);
}

namespace {
QString WithoutCarriageReturns(const std::string& text) {
    return ToQt(text).remove(QLatin1Char('\r'));
}
}  // namespace

bool CConfigSpecView::Shows(const std::string& text) const {
    return toPlainText() == WithoutCarriageReturns(text);
}

void CConfigSpecView::SetConfigSpec(const std::string& text) {
    const QString shown = WithoutCarriageReturns(text);
    given_ = text;
    const int line = textCursor().blockNumber();
    setting_text_ = true;
    setPlainText(shown);
    setting_text_ = false;
    QTextCursor cursor(document()->findBlockByNumber(std::min(line, blockCount() - 1)));
    setTextCursor(cursor);
    MarkErrorLine(0, 0);
}

std::string CConfigSpecView::ConfigSpec() const {
    QString text = toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    // The lines the user left alone keep their bytes.
    return FromQt(text, given_);
}

void CConfigSpecView::MarkErrorLine(int line, int column, bool move_cursor) {
    marked_line_ = line;
    QList<QTextEdit::ExtraSelection> selections;
    const QTextBlock block = document()->findBlockByNumber(line - 1);
    if (line > 0 && block.isValid()) {
        QTextEdit::ExtraSelection mark;
        mark.format.setBackground(QColor(0xff, 0xd0, 0xd0));
        mark.format.setProperty(QTextFormat::FullWidthSelection, true);
        mark.cursor = QTextCursor(block);
        selections.append(mark);
    }
    if (line > 0 && block.isValid() && move_cursor) {
        QTextCursor at(block);
        at.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor,
                        std::clamp(column - 1, 0, block.length() - 1));
        setTextCursor(at);
        ensureCursorVisible();
    }
    setExtraSelections(selections);
}

int CConfigSpecView::LineNumberWidth() const {
    int digits = QString::number(std::max(1, blockCount())).size();
    return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * std::max(digits, 3);
}

void CConfigSpecView::PaintLineNumbers(QPaintEvent* event) {
    QPainter painter(line_numbers_);
    painter.fillRect(event->rect(), QColor(0xf0, 0xf0, 0xf0));
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    while (block.isValid() && top <= event->rect().bottom()) {
        const int height = qRound(blockBoundingRect(block).height());
        if (block.isVisible()) {
            const bool marked = block.blockNumber() + 1 == marked_line_;
            painter.setPen(marked ? QColor(0xb0, 0x00, 0x00) : QColor(0x80, 0x80, 0x80));
            painter.drawText(0, top, line_numbers_->width() - 4, height, Qt::AlignRight,
                             QString::number(block.blockNumber() + 1));
        }
        block = block.next();
        top += height;
    }
}

void CConfigSpecView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Undo)) {
        emit UndoRequested();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void CConfigSpecView::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    const QRect area = contentsRect();
    line_numbers_->setGeometry(area.left(), area.top(), LineNumberWidth(), area.height());
}

}  // namespace kelmora::qt

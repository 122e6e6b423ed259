#pragma once

#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <string>
#include <vector>

namespace kelmora::qt {

// Colours a config spec: rule keywords, options, version selectors,
// comments, and the managed section's markers.
class CConfigSpecHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    enum EKind { kKeyword, kOption, kSelector, kComment, kMarker };

    explicit CConfigSpecHighlighter(QTextDocument* document);
    // The kind of the text at a position of a line, for tests; -1 for plain text.
    static int KindAt(const QString& line, int position);

protected:
    void highlightBlock(const QString& text) override;

private:
    QTextCharFormat formats_[5];
};

// The edit control's window: a plain text editor with line numbers whose
// text is the control's, with CR LF line ends. Edits by the user are
// announced; the undo key goes to the control, which keeps the history.
class CConfigSpecView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CConfigSpecView(QWidget* parent);

    // Shows a text (CR LF line ends); the cursor stays on its line.
    void SetConfigSpec(const std::string& text);
    // The shown text with CR LF line ends; unchanged lines as they were given.
    std::string ConfigSpec() const;
    // True when the text (with whatever line ends) is what is shown.
    bool Shows(const std::string& text) const;
    // Marks a line (from 1) and puts the cursor at the column unless told
    // not to; 0 clears.
    void MarkErrorLine(int line, int column, bool move_cursor = true);
    int marked_line() const { return marked_line_; }

    int LineNumberWidth() const;
    void PaintLineNumbers(QPaintEvent* event);

signals:
    void TextEdited();
    void UndoRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* line_numbers_;
    std::string given_;  // the text last shown, as bytes
    bool setting_text_ = false;
    int marked_line_ = 0;
};

}  // namespace kelmora::qt

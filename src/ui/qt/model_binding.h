#pragma once

#include <QDialog>
#include <QLabel>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <map>
#include <string>

#include "ui/dialog_model.h"

namespace kelmora::qt {

// The module's texts are bytes. A line that is valid UTF-8 shows as such;
// any other line shows byte for byte as Latin-1, so that nothing becomes
// a replacement character.
QString ToQt(const std::string& text);
// A widget's text as UTF-8.
std::string FromQt(const QString& text);
// A widget's text as the bytes it was given: each line still as shown from
// given (the n-th such line takes the n-th given line's bytes) keeps its
// bytes; the lines the user changed are UTF-8.
std::string FromQt(const QString& text, const std::string& given);

// A one-line text that is elided in its middle when it does not fit; the
// whole text is its tooltip.
class CElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit CElidedLabel(QWidget* parent);
    void SetFullText(const QString& text);
    const QString& full_text() const { return full_; }
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Elide();
    QString full_;
};

// One of our pictures (resources/pictures), by its resource name.
QPixmap Picture(const char* name);
// A picture control: the picture at (1, 1) inside a frame of the given shadow.
QLabel* PictureFrame(const char* name, QFrame::Shadow shadow, QWidget* parent);
// A static text; mnemonics ("&") only where a buddy is given.
QLabel* StaticText(const std::string& text, QWidget* parent);

// Opens a help topic's page with the desktop's opener; says so when the
// topic has no page.
void OpenHelpPage(const std::string& topic);

// A window that answers the platform's context-help command (a plain F1).
class CContextHelp {
public:
    virtual void OnContextHelp() = 0;

protected:
    ~CContextHelp() = default;
};

// Ties a model's controls to widgets: after every event that the window
// forwards, Sync() gives the widgets the model's enabled and visible state
// and, when a handler moved it, the focus; focus moves by the user go into
// the model. A control may take its state from another model (a wizard
// page's controls) while the focus stays the window model's.
class CModelBinding : public QObject {
    Q_OBJECT
public:
    CModelBinding(QWidget* window, CDialogModel* model);

    void Bind(int id, QWidget* widget, const CDialogModel* state = nullptr);
    QWidget* Widget(int id) const;
    int IdOf(const QWidget* widget) const;
    void Sync();

private:
    void OnFocusChanged(QWidget* now);

    struct CBound {
        QPointer<QWidget> widget;
        const CDialogModel* state;
    };
    QWidget* window_;
    CDialogModel* model_;
    std::map<int, CBound> controls_;
    int shown_focus_ = 0;
    bool applying_ = false;
};

// A window over a model: events go to the model's handlers, and the window
// then shows what they changed (and closes when the model has ended).
class CModelWindow : public CContextHelp {
public:
    template <typename Handler>
    void Forward(Handler handler) {
        handler();
        AfterHandler();
    }
    virtual void AfterHandler() = 0;

protected:
    ~CModelWindow() = default;
};

// A modal dialog over a model: its close box and Escape go to on_cancel,
// its F1 to the help topic (none: F1 does nothing), and it closes once the
// model has ended.
class CModelDialog : public QDialog, public CModelWindow {
    Q_OBJECT
public:
    CModelDialog(CDialogModel* model, const std::string& title, std::string help_topic);

    CModelBinding& binding() { return binding_; }
    void AfterHandler() override;
    void OnContextHelp() override;
    // Runs the dialog modally; the model's result.
    int Run();
    void reject() override;

protected:
    // Puts the model's fields into the widgets; run before every Sync.
    virtual void ShowFields() {}
    // What Escape and the close box do; by default the model's cancel.
    virtual void OnCancelRequest();

    CDialogModel* model_;
    std::string help_topic_;

private:
    CModelBinding binding_;
};

}  // namespace kelmora::qt

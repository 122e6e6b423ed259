// The message boxes and the operation dialogs on the offscreen platform.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QUrl>

#include "ui/qt/finish_dialog.h"
#include "ui/qt/operation_dialogs.h"
#include "ui_qt/qt_script.h"

namespace kelmora::test {
namespace {

using Button = QMessageBox::StandardButton;

struct CBoxCase {
    const char* name;
    unsigned style;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon;
    Button clicked;
    int answer;
};

class MessageBoxStyleTest : public ::testing::TestWithParam<CBoxCase> {};

TEST_P(MessageBoxStyleTest, ShowsTheButtonsAndIconOfTheStyleUnderTheApplicationTitle) {
    const CBoxCase& c = GetParam();
    CQtFrontEnd front_end;
    SetApplicationName("Stavemark View Profiles");
    QString title;
    QMessageBox::StandardButtons shown;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    CModalScript script;
    script.On<QMessageBox>([&](QMessageBox& box) {
        title = box.windowTitle();
        shown = box.standardButtons();
        icon = box.icon();
        box.button(c.clicked)->click();
    });
    EXPECT_EQ(front_end.ui().MessageBox("Names may not contain \\/:*?\"<>|", c.style), c.answer);
    EXPECT_EQ(script.steps_left(), 0u);
    EXPECT_EQ(title, "Stavemark View Profiles");
    EXPECT_EQ(shown, c.buttons);
    EXPECT_EQ(icon, c.icon);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, MessageBoxStyleTest,
    ::testing::Values(
        CBoxCase{"PlainOk", 0x00, QMessageBox::Ok, QMessageBox::NoIcon, QMessageBox::Ok, IDOK},
        CBoxCase{"Stop", 0x10, QMessageBox::Ok, QMessageBox::Critical, QMessageBox::Ok, IDOK},
        CBoxCase{"StopYesNoAnsweredNo", 0x14, QMessageBox::Yes | QMessageBox::No,
                 QMessageBox::Critical, QMessageBox::No, IDNO},
        CBoxCase{"Exclamation", 0x30, QMessageBox::Ok, QMessageBox::Warning, QMessageBox::Ok,
                 IDOK},
        CBoxCase{"Information", 0x40, QMessageBox::Ok, QMessageBox::Information,
                 QMessageBox::Ok, IDOK},
        CBoxCase{"QuestionYesNoCancel", 0x23,
                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                 QMessageBox::Question, QMessageBox::Cancel, IDCANCEL},
        CBoxCase{"OkCancelAnsweredOk", 0x01, QMessageBox::Ok | QMessageBox::Cancel,
                 QMessageBox::NoIcon, QMessageBox::Ok, IDOK}),
    [](const auto& info) { return std::string(info.param.name); });

// Fails the first association (telling why, as the step does), then succeeds.
class CFailingOnceHost : public CAssociationHost {
public:
    BOOL RunAssociationStep(const std::string& name) override {
        names.push_back(name);
        if (names.size() > 1) return TRUE;
        UserInterface().MessageBox("No such profile.", MB_ICONSTOP);
        return FALSE;
    }
    std::vector<std::string> names;
};

TEST(QtAssocDlgTest, FailedAssociationStaysOpenWithTheFocusOnTheName) {
    CQtFrontEnd front_end;
    CFailingOnceHost host;
    CAssocDlg model(&host);
    bool name_focused = false;
    Qt::CursorShape cursor_while_asked = Qt::BlankCursor;
    CModalScript script;
    script
        .On<qt::CQtAssocDlg>([](qt::CQtAssocDlg& dialog) {
            QLineEdit* name = dialog.findChild<QLineEdit*>();
            QTest::keyClicks(name, "\\Proj");
            ButtonOf(dialog, "OK")->click();
        })
        .On<QMessageBox>([&](QMessageBox& box) {
            cursor_while_asked = QApplication::overrideCursor()->shape();
            box.button(QMessageBox::Ok)->click();
        })
        .On<qt::CQtAssocDlg>([&](qt::CQtAssocDlg& dialog) {
            name_focused = dialog.focusWidget() == dialog.findChild<QLineEdit*>();
            EXPECT_EQ(QApplication::overrideCursor(), nullptr);
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
        });
    EXPECT_EQ(front_end.ui().RunAssocDlg(model), IDOK);
    EXPECT_EQ(script.steps_left(), 0u);
    EXPECT_TRUE(name_focused);
    EXPECT_EQ(cursor_while_asked, Qt::ArrowCursor);
    EXPECT_EQ(host.names, (std::vector<std::string>{"\\Proj", "\\Proj"}));
    EXPECT_TRUE(model.done());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

struct CEnterCase {
    const char* name;
    const char* focused;  // the picture button's caption
    int choice;
};

class QtFinishDlgEnterTest : public ::testing::TestWithParam<CEnterCase> {};

TEST_P(QtFinishDlgEnterTest, EnterChoosesByTheFocus) {
    CQtFrontEnd front_end;
    CFinishDlg model;
    CModalScript script;
    script.On<qt::CQtFinishDlg>([&](qt::CQtFinishDlg& dialog) {
        for (auto* button : dialog.findChildren<qt::CPictureButton*>())
            if (button->text() == GetParam().focused) button->setFocus();
        QTest::keyClick(&dialog, Qt::Key_Return);
    });
    EXPECT_EQ(front_end.ui().RunFinishDlg(model), IDOK);
    EXPECT_EQ(model.choice(), GetParam().choice);
}

INSTANTIATE_TEST_SUITE_P(Focus, QtFinishDlgEnterTest,
                         ::testing::Values(CEnterCase{"OnSuspend", "Suspend", 0},
                                           CEnterCase{"OnPublish", "Publish", 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// Records the pages that the desktop is asked to open.
class CPageRecorder : public QObject {
    Q_OBJECT
public:
    CPageRecorder() { QDesktopServices::setUrlHandler("file", this, "Open"); }
    ~CPageRecorder() override { QDesktopServices::unsetUrlHandler("file"); }
    std::vector<std::string> pages;

public slots:
    void Open(const QUrl& url) { pages.push_back(url.fileName().toStdString()); }
};

struct CHelpKeyCase {
    const char* name;
    Qt::KeyboardModifiers modifiers;
    bool auto_repeat;
    size_t pages;
};

class QtHelpKeyTest : public ::testing::TestWithParam<CHelpKeyCase> {};

// The first plain F1 is the dialog's help; the other presses reach the
// widgets as they are, which do nothing with them. The Help button opens
// the same page.
TEST_P(QtHelpKeyTest, OnlyAFirstPlainF1OpensTheTopic) {
    const CHelpKeyCase& c = GetParam();
    CQtFrontEnd front_end;
    CPageRecorder recorder;
    CFinishDlg model;
    CModalScript script;
    script.On<qt::CQtFinishDlg>([&](qt::CQtFinishDlg& dialog) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F1, c.modifiers, QString(), c.auto_repeat);
        QApplication::sendEvent(dialog.focusWidget(), &press);
        EXPECT_EQ(recorder.pages.size(), c.pages);
        ButtonOf(dialog, "&Help")->click();
        dialog.reject();
    });
    EXPECT_EQ(front_end.ui().RunFinishDlg(model), IDCANCEL);
    ASSERT_EQ(recorder.pages.size(), c.pages + 1);
    EXPECT_EQ(recorder.pages.back(), "finishingaprivbr.htm");
}

INSTANTIATE_TEST_SUITE_P(
    Presses, QtHelpKeyTest,
    ::testing::Values(CHelpKeyCase{"Plain", Qt::NoModifier, false, 1},
                      CHelpKeyCase{"AutoRepeated", Qt::NoModifier, true, 0},
                      CHelpKeyCase{"WithShift", Qt::ShiftModifier, false, 0},
                      CHelpKeyCase{"WithCtrl", Qt::ControlModifier, false, 0},
                      CHelpKeyCase{"WithAlt", Qt::AltModifier, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelmora::test

#include "qt_dialogs_test.moc"

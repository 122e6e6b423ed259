// The message boxes and the operation dialogs on the offscreen platform.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QUrl>
#include <set>

#include "client/admin.h"
#include "client/checkout_admin.h"
#include "client/vob_admin.h"
#include "support/test_env.h"
#include "ui/qt/edit_cspec_dialog.h"
#include "ui/qt/finish_dialog.h"
#include "ui/qt/operation_dialogs.h"
#include "ui/qt/sibling_windows.h"
#include "ui/qt/wizard.h"
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

using QMB = QMessageBox;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Styles, MessageBoxStyleTest, ::testing::Values(
    CBoxCase{"PlainOk", 0x00, QMB::Ok, QMB::NoIcon, QMB::Ok, IDOK},
    CBoxCase{"StopYesNoAnsweredNo", 0x14, QMB::Yes | QMB::No, QMB::Critical, QMB::No, IDNO},
    CBoxCase{"Exclamation", 0x30, QMB::Ok, QMB::Warning, QMB::Ok, IDOK},
    CBoxCase{"Information", 0x40, QMB::Ok, QMB::Information, QMB::Ok, IDOK},
    CBoxCase{"QuestionYesNoCancel", 0x23, QMB::Yes | QMB::No | QMB::Cancel, QMB::Question, QMB::Cancel, IDCANCEL},
    CBoxCase{"OkCancelAnsweredOk", 0x01, QMB::Ok | QMB::Cancel, QMB::NoIcon, QMB::Ok, IDOK}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

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

// A tree of two folders and two profiles; every association succeeds.
class CTreeHost : public CAssociationHost, public CDissociationHost {
public:
    BOOL RunAssociationStep(const std::string& name) override {
        names.push_back(name);
        return TRUE;
    }
    BOOL RunDissociationStep() override { return TRUE; }
    bool ListProfileTree(std::vector<CProfileEntry>* entries) override {
        *entries = {{"\\Stavemark View Profiles", false, "", 0},
                    {"\\Stavemark View Profiles\\Compiler", true, "The compiler team", 1},
                    {"\\Stavemark View Profiles\\Billing", false, "", 1},
                    {"\\Stavemark View Profiles\\Billing\\Reports", true, "Monthly", 2}};
        return true;
    }
    std::vector<std::string> names;
};

// The names of the rows a tree view shows, depth first.
std::string VisibleRows(const QTreeView& tree, const QModelIndex& parent = {}) {
    std::string rows;
    for (int row = 0; row < tree.model()->rowCount(parent); ++row) {
        if (tree.isRowHidden(row, parent)) continue;
        const QModelIndex index = tree.model()->index(row, 0, parent);
        rows += index.data().toString().toStdString() + "|" + VisibleRows(tree, index);
    }
    return rows;
}

// By keyboard: Browse, a filter, the last row, Enter; the pick is in the
// name field, and the picker opens on it next time.
TEST(QtProfilePickerTest, TheKeyboardPickGoesIntoTheNameFieldAndIsSelectedNextTime) {
    CQtFrontEnd front_end;
    CScopedHome home;
    CTreeHost host;
    CAssocDlg model(&host);
    std::string filtered, field, preselected;
    bool name_focused = false;
    CModalScript script;
    script
        .On<qt::CQtAssocDlg>(
            [](qt::CQtAssocDlg& dialog) { ButtonOf(dialog, CAssocDlg::kBrowseCaption)->click(); })
        .On<qt::CQtProfilePicker>([&](qt::CQtProfilePicker& picker) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
            QTest::keyClicks(QApplication::focusWidget(), "REPORT");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
            filtered = VisibleRows(*picker.tree());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        })
        .On<qt::CQtAssocDlg>([&](qt::CQtAssocDlg& dialog) {
            field = dialog.findChild<QLineEdit*>()->text().toStdString();
            name_focused = dialog.focusWidget() == dialog.findChild<QLineEdit*>();
            ButtonOf(dialog, CAssocDlg::kBrowseCaption)->click();
        })
        .On<qt::CQtProfilePicker>([&](qt::CQtProfilePicker& picker) {
            preselected = picker.tree()->currentIndex().data().toString().toStdString();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        })
        .On<qt::CQtAssocDlg>(
            [](qt::CQtAssocDlg& dialog) { QTest::keyClick(dialog.focusWidget(), Qt::Key_Return); });
    EXPECT_EQ(front_end.ui().RunAssocDlg(model), IDOK);
    EXPECT_EQ(script.steps_left(), 0u);
    EXPECT_EQ(filtered, "Stavemark View Profiles|Billing|Reports|");
    EXPECT_EQ(field, "\\Stavemark View Profiles\\Billing\\Reports");
    EXPECT_TRUE(name_focused);
    EXPECT_EQ(preselected, "Reports");
    EXPECT_EQ(host.names, std::vector<std::string>{field});
}

std::string Rows(const QTreeWidget& list) {
    std::string rows;
    for (int row = 0; row < list.topLevelItemCount(); ++row)
        for (int column = 0; column < list.columnCount(); ++column)
            rows += list.topLevelItem(row)->text(column).toStdString() + (column < 2 ? " " : ";");
    return rows;
}

// Find Check Outs lists the view's checkouts from the client in a window;
// Refresh reads them again; closing it closes the checkouts dialog.
TEST(QtCheckoutListTest, ListsTheCheckoutsOfTheViewAndRefreshes) {
    CQtFrontEnd front_end;
    CScopedHome home;
    CTempDir storage;
    ASSERT_EQ(client::CreateView("jdoe_view"), TBS_ST_OK);
    ASSERT_EQ(client::CreateVob("\\app", storage / "app", {}), TBS_ST_OK);
    ASSERT_EQ(client::CheckOut("jdoe_view", "\\app", "src/main.c", ""), TBS_ST_OK);
    CCOsDlg model("jdoe_view", FALSE, kCheckoutsAssociate);
    std::vector<std::string> seen;
    CModalScript script;
    script
        .On<qt::CQtCOsDlg>(
            [](qt::CQtCOsDlg& dialog) { ButtonOf(dialog, CCOsDlg::kFindCaption)->click(); })
        .On<qt::CQtCheckoutList>([&](qt::CQtCheckoutList& window) {
            seen.push_back(Rows(*window.list()));
            EXPECT_EQ(client::CheckOut("jdoe_view", "\\app", "src/util.c", ""), TBS_ST_OK);
            ButtonOf(window, CCheckoutList::kRefreshCaption)->click();
            seen.push_back(Rows(*window.list()));
            seen.push_back(window.findChild<qt::CElidedLabel*>()->full_text().toStdString());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
    EXPECT_EQ(front_end.ui().RunCOsDlg(model), IDOK);
    EXPECT_EQ(script.steps_left(), 0u);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].rfind("\\app src/main.c ", 0), 0u) << seen[0];
    EXPECT_NE(seen[1].find(";\\app src/util.c "), std::string::npos) << seen[1];
    EXPECT_EQ(seen[2], "2 checkouts in view \"jdoe_view\".");
}

// Every window: its title (no catalogue is loaded), where the keyboard
// starts, what Enter presses, and that Tab reaches every control.
struct CKeyboardCase {
    const char* name;
    std::function<int(qt::CQtUserInterface&)> run;
    const char* title;
    const char* focus;  // a button's text, or the class of the control
    const char* default_button;
};

std::string Describe(const QWidget* widget) {
    if (!widget) return "(none)";
    if (auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text().toStdString();
    return widget->metaObject()->className();
}

class QtKeyboardTest : public ::testing::TestWithParam<CKeyboardCase> {};

TEST_P(QtKeyboardTest, OpensWithItsTitleFocusAndDefaultAndTabReachesEveryControl) {
    const CKeyboardCase& c = GetParam();
    CQtFrontEnd front_end;
    CScopedHome home;
    std::string title, focus, default_button;
    std::set<std::string> reachable, reached;
    CModalScript script;
    script.On<QDialog>([&](QDialog& window) {
        title = window.windowTitle().toStdString();
        focus = Describe(QApplication::focusWidget());
        for (auto* button : window.findChildren<QPushButton*>())
            if (button->isDefault() && button->isVisible()) default_button = Describe(button);
        for (auto* widget : window.findChildren<QWidget*>()) {
            auto* radio = qobject_cast<QRadioButton*>(widget);
            // Tab enters a group of radios at its checked one.
            if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisible() &&
                widget->isEnabled() && !(radio && !radio->isChecked()))
                reachable.insert(Describe(widget));
        }
        for (size_t i = 0; i <= reachable.size(); ++i) {
            reached.insert(Describe(QApplication::focusWidget()));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        window.reject();
    });
    c.run(front_end.ui());
    EXPECT_EQ(script.steps_left(), 0u);
    EXPECT_EQ(title, c.title);
    EXPECT_EQ(focus, c.focus);
    EXPECT_EQ(default_button, c.default_button);
    EXPECT_EQ(reached, reachable);
}

CTreeHost g_tree_host;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Windows, QtKeyboardTest, ::testing::Values(
    CKeyboardCase{"Associate", [](auto& ui) { CAssocDlg model(&g_tree_host); return ui.RunAssocDlg(model); },
        "Associate with Stavemark View Profile", "QLineEdit", "OK"},
    CKeyboardCase{"Dissociate", [](auto& ui) { CDissocDlg model(&g_tree_host); return ui.RunDissocDlg(model); },
        "Dissociate from Stavemark View Profile", "No", "No"},
    CKeyboardCase{"Checkouts", [](auto& ui) { CCOsDlg model("v", FALSE, kCheckoutsSynchronize); return ui.RunCOsDlg(model); },
        "Synchronize with View Profile", "OK", "OK"},
    CKeyboardCase{"ProfilePicker", [](auto& ui) { CProfilePicker model(&g_tree_host); return ui.RunProfilePicker(model); },
        CProfilePicker::kTitle, "QTreeView", "OK"},
    CKeyboardCase{"CheckoutList", [](auto& ui) { CCheckoutList model("v", FALSE); return ui.RunCheckoutList(model); },
        CCheckoutList::kTitle, "QTreeWidget", "&Close"},
    CKeyboardCase{"HiddenEditor",
        [](auto& ui) {
            CEditCSpec model;
            model.set_context_text("jdoe_ws");
            model.set_hidden_mode(1);
            return ui.RunEditCSpec(model);
        },
        "Stavemark Config Spec Editor: jdoe_ws", "kelmora::qt::CConfigSpecView", "&Done"},
    CKeyboardCase{"Wizard",
        [](auto& ui) { CBranchPSheet sheet("", nullptr, CBranchPSheet::kNamePage); return ui.RunBranchPSheet(sheet); },
        "Set Up A Private Branch", "QLineEdit", "&Finish"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

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

INSTANTIATE_TEST_SUITE_P(Presses, QtHelpKeyTest,
                         ::testing::Values(CHelpKeyCase{"Plain", Qt::NoModifier, false, 1},
                                           CHelpKeyCase{"AutoRepeated", Qt::NoModifier, true, 0},
                                           CHelpKeyCase{"WithCtrl", Qt::ControlModifier, false, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelmora::test

#include "qt_dialogs_test.moc"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "client/admin.h"
#include "client/checkout_admin.h"
#include "client/vob_admin.h"
#include "support/branch_host.h"
#include "support/test_env.h"
#include "ui/qt/edit_cspec_dialog.h"
#include "ui/qt/operation_dialogs.h"
#include "ui/qt/sibling_windows.h"
#include "ui/qt/wizard.h"
#include "ui_qt/qt_script.h"

namespace kelmora::test {
namespace {

// A tree of two folders and a profile; every step succeeds.
class CTreeHost : public CAssociationHost, public CDissociationHost {
public:
    BOOL RunAssociationStep(const std::string& name) override {
        names.push_back(name);
        return TRUE;
    }
    BOOL RunDissociationStep() override { return TRUE; }
    bool ListProfileTree(std::vector<CProfileEntry>* entries) override {
        *entries = {{"\\Stavemark View Profiles", false, "", 0},
                    {"\\Stavemark View Profiles\\Billing", false, "", 1},
                    {"\\Stavemark View Profiles\\Billing\\Reports", true, "Monthly", 2}};
        return true;
    }
    std::vector<std::string> names;
};

// By keyboard: Browse, the last row, Enter; the pick is in the name field.
TEST(QtProfilePickerTest, TheKeyboardPickGoesIntoTheNameField) {
    CQtFrontEnd front_end;
    CScopedHome home;
    CTreeHost host;
    CAssocDlg model(&host);
    std::string field;
    bool name_focused = false;
    CModalScript script;
    script
        .On<qt::CQtAssocDlg>(
            [](qt::CQtAssocDlg& dialog) { ButtonOf(dialog, CAssocDlg::kBrowseCaption)->click(); })
        .On<qt::CQtProfilePicker>([](qt::CQtProfilePicker&) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        })
        .On<qt::CQtAssocDlg>([&](qt::CQtAssocDlg& dialog) {
            field = dialog.findChild<QLineEdit*>()->text().toStdString();
            name_focused = dialog.focusWidget() == dialog.findChild<QLineEdit*>();
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
        });
    EXPECT_EQ(front_end.ui().RunAssocDlg(model), IDOK);
    EXPECT_EQ(field, "\\Stavemark View Profiles\\Billing\\Reports");
    EXPECT_TRUE(name_focused);
    EXPECT_EQ(host.names, std::vector<std::string>{field});
}

std::string Rows(const QTreeWidget& list) {
    std::string rows;
    for (int row = 0; row < list.topLevelItemCount(); ++row)
        for (int column = 0; column < list.columnCount(); ++column)
            rows += list.topLevelItem(row)->text(column).toStdString() + (column < 2 ? " " : ";");
    return rows;
}

// Closing the window closes the checkouts dialog.
TEST(QtCheckoutListTest, ListsTheCheckoutsOfTheView) {
    CQtFrontEnd front_end;
    CScopedHome home;
    CTempDir storage;
    ASSERT_EQ(client::CreateView("jdoe_view"), TBS_ST_OK);
    ASSERT_EQ(client::CreateVob("\\app", storage / "app", {}), TBS_ST_OK);
    ASSERT_EQ(client::CheckOut("jdoe_view", "\\app", "src/main.c", ""), TBS_ST_OK);
    CCOsDlg model("jdoe_view", FALSE, kCheckoutsAssociate);
    std::string rows, count;
    CModalScript script;
    script
        .On<qt::CQtCOsDlg>(
            [](qt::CQtCOsDlg& dialog) { ButtonOf(dialog, CCOsDlg::kFindCaption)->click(); })
        .On<qt::CQtCheckoutList>([&](qt::CQtCheckoutList& window) {
            rows = Rows(*window.list());
            count = window.findChild<qt::CElidedLabel*>()->full_text().toStdString();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
    EXPECT_EQ(front_end.ui().RunCOsDlg(model), IDOK);
    EXPECT_EQ(rows.rfind("\\app src/main.c ", 0), 0u) << rows;
    EXPECT_EQ(count, "1 checkout in view \"jdoe_view\".");
}

// Dissociation is destructive, so the keyboard starts on No.
TEST(QtDissocDlgTest, StartsOnNoWhichEnterPressesAndSaysTheCommentsGo) {
    CQtFrontEnd front_end;
    CTreeHost host;
    CDissocDlg model(&host);
    std::string focus, default_button;
    bool note = false;
    CModalScript script;
    script.On<qt::CQtDissocDlg>([&](qt::CQtDissocDlg& dialog) {
        focus = QApplication::focusWidget()->property("text").toString().toStdString();
        for (auto* button : dialog.findChildren<QPushButton*>())
            if (button->isDefault()) default_button = button->text().toStdString();
        for (QLabel* label : dialog.findChildren<QLabel*>())
            note = note || label->text() == CDissocDlg::kCommentsNote;
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
    });
    EXPECT_EQ(front_end.ui().RunDissocDlg(model), IDCANCEL);
    EXPECT_EQ(focus, "No");
    EXPECT_EQ(default_button, "No");
    EXPECT_TRUE(note);
}

// Every byte of the lines left alone comes back (a Latin-1 path here).
class QtHiddenEditorTest : public ::testing::TestWithParam<bool> {};  // Done, else Cancel

TEST_P(QtHiddenEditorTest, TellsWhatItIsMarksErrorsAndKeepsEveryByte) {
    const bool done = GetParam();
    const std::string given = "element * CHECKEDOUT\r\nload /vobs/src/M\xfcller\r\n";
    CQtFrontEnd front_end;
    CEditCSpec model;
    model.set_config_spec_text(given);
    model.set_hidden_mode(1);
    model.set_context_text("jdoe_ws");
    QString title;
    bool caption = false, view_focused = false;
    int marked_line = 0;
    CModalScript script;
    script.On<qt::CQtEditCSpec>([&](qt::CQtEditCSpec& dialog) {
        title = dialog.windowTitle();
        view_focused = QApplication::focusWidget() == dialog.view();
        for (QLabel* label : dialog.findChildren<QLabel*>())
            caption = caption || label->text().toStdString() == model.HiddenCaption();
        dialog.view()->moveCursor(QTextCursor::End);
        QTest::keyClicks(dialog.view(), "bogus");
        QTest::qWait(qt::CQtEditCSpec::kCheckDelayMs * 2);
        marked_line = dialog.view()->marked_line();
        ButtonOf(dialog, done ? qt::CQtEditCSpec::kDoneCaption : "Cancel")->click();
    });
    EXPECT_EQ(front_end.ui().RunEditCSpec(model), done ? IDOK : IDCANCEL);
    EXPECT_EQ(title, "Stavemark Config Spec Editor: jdoe_ws");
    EXPECT_TRUE(view_focused);
    EXPECT_TRUE(caption);
    EXPECT_EQ(marked_line, 3);
    EXPECT_EQ(model.config_spec_text(), done ? given + "bogus" : given);
}

INSTANTIATE_TEST_SUITE_P(Buttons, QtHiddenEditorTest, ::testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "Done" : "Cancel");
});

TEST(QtWizardTest, KeyboardAloneFinishesAndTheWindowKeepsItsMinimumSize) {
    CQtFrontEnd front_end;
    CRecordingBranchHost host;
    CBranchPSheet sheet("", nullptr, CBranchPSheet::kNamePage);
    sheet.set_host(&host);
    QSize squeezed, needed;
    CModalScript script;
    script.On<qt::CQtBranchPSheet>([&](qt::CQtBranchPSheet& wizard) {
        wizard.resize(580, 200);
        squeezed = wizard.size();
        needed = wizard.currentPage()->minimumSizeHint();
        QTest::keyClicks(QApplication::focusWidget(), "jdoe_fix");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    EXPECT_EQ(front_end.ui().RunBranchPSheet(sheet), CBranchPSheet::kFinishId);
    EXPECT_GE(squeezed.height(), needed.height());
    EXPECT_TRUE(host.calls.starts_with("create jdoe_fix; ")) << host.calls;
}

}  // namespace
}  // namespace kelmora::test

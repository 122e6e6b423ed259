#pragma once

#include <QMessageBox>
#include <QObject>

#include "ui/user_interface.h"

namespace kelmora::qt {

// The buttons and the icon of a message box style word, and the answer of
// each button.
QMessageBox::StandardButtons MessageBoxButtons(unsigned style);
QMessageBox::Icon MessageBoxIcon(unsigned style);
int MessageBoxAnswer(QMessageBox::StandardButton button);

// Keeps the first plain F1 key press from the widgets, as the application's
// message filter does, and gives it to the active window as its
// context-help command; auto-repeated presses and F1 with Shift, Ctrl or
// Alt go on to the widgets as they are.
class CHelpKeyFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The Qt front end: message boxes, the wait cursor as the override cursor,
// and every dialog of the module as a window. Needs a QApplication.
class CQtUserInterface : public CUserInterface {
public:
    CQtUserInterface();
    ~CQtUserInterface() override;

    int MessageBox(const std::string& text, unsigned style) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    int RunNamePrompt(CNamePrompt& prompt) override;
    int RunAssocDlg(CAssocDlg& dialog) override;
    int RunCOsDlg(CCOsDlg& dialog) override;
    int RunFinishDlg(CFinishDlg& dialog) override;
    int RunEditCSpec(CEditCSpec& dialog) override;
    int RunBranchPSheet(CBranchPSheet& sheet) override;
    int RunDissocDlg(CDissocDlg& dialog) override;
    int RunProfilePicker(CProfilePicker& picker) override;
    int RunCheckoutList(CCheckoutList& list) override;

    int wait_cursor_depth() const { return wait_depth_; }

private:
    CHelpKeyFilter help_keys_;
    int wait_depth_ = 0;
};

}  // namespace kelmora::qt

#include "ui/qt/qt_user_interface.h"

#include <QApplication>
#include <QKeyEvent>

#include "module/app.h"
#include "ui/qt/edit_cspec_dialog.h"
#include "ui/qt/finish_dialog.h"
#include "ui/qt/operation_dialogs.h"
#include "ui/qt/sibling_windows.h"
#include "ui/qt/wizard.h"

namespace kelmora::qt {

namespace {

// While the user is asked, the pointer is the ordinary one; the wait cursor
// comes back afterwards.
class CAskingCursor {
public:
    explicit CAskingCursor(int wait_depth) : lifted_(wait_depth > 0) {
        if (lifted_) QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~CAskingCursor() {
        if (lifted_) QApplication::restoreOverrideCursor();
    }
    CAskingCursor(const CAskingCursor&) = delete;
    CAskingCursor& operator=(const CAskingCursor&) = delete;

private:
    bool lifted_;
};

// The key data of a key-down message: the repeat count, and bit 30 for a key
// that was already down.
intptr_t KeyData(const QKeyEvent& key) {
    return key.isAutoRepeat() ? (intptr_t{0x4000} << 16) | 1 : 1;
}

template <typename Dialog, typename Model>
int RunDialog(int wait_depth, Model& model) {
    CAskingCursor asking(wait_depth);
    Dialog dialog(model);
    return dialog.Run();
}

}  // namespace

QMessageBox::StandardButtons MessageBoxButtons(unsigned style) {
    switch (style & MB_BUTTON_MASK) {
        case MB_OKCANCEL:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MB_YESNOCANCEL:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MB_YESNO:
            return QMessageBox::Yes | QMessageBox::No;
        default:
            return QMessageBox::Ok;
    }
}

QMessageBox::Icon MessageBoxIcon(unsigned style) {
    switch (style & MB_ICON_MASK) {
        case MB_ICONSTOP:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

int MessageBoxAnswer(QMessageBox::StandardButton button) {
    switch (button) {
        case QMessageBox::Yes:
            return IDYES;
        case QMessageBox::No:
            return IDNO;
        case QMessageBox::Cancel:
            return IDCANCEL;
        default:
            return IDOK;
    }
}

bool CHelpKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (key.key() != Qt::Key_F1) return false;
    const Qt::KeyboardModifiers held = key.modifiers();
    const CMessage message{WM_KEYDOWN, VK_F1, KeyData(key)};
    const CModifierKeys keys{held.testFlag(Qt::ShiftModifier), held.testFlag(Qt::ControlModifier),
                             held.testFlag(Qt::AltModifier)};
    CSMWinApp application;
    if (!application.PreTranslateMessage(message, keys)) return false;
    QWidget* window = QApplication::activeModalWidget();
    if (!window) window = QApplication::activeWindow();
    if (auto* help = dynamic_cast<CContextHelp*>(window)) help->OnContextHelp();
    return true;
}

CQtUserInterface::CQtUserInterface() {
    qApp->installEventFilter(&help_keys_);
}

CQtUserInterface::~CQtUserInterface() {
    if (qApp) qApp->removeEventFilter(&help_keys_);
    while (wait_depth_ > 0) EndWaitCursor();
}

int CQtUserInterface::MessageBox(const std::string& text, unsigned style) {
    CAskingCursor asking(wait_depth_);
    QMessageBox box(MessageBoxIcon(style), ToQt(ApplicationName()), ToQt(text),
                    MessageBoxButtons(style), QApplication::activeWindow());
    // The texts hold <, > and & that mean nothing special.
    box.setTextFormat(Qt::PlainText);
    // The first button is the default, as in every box of the module.
    for (QMessageBox::StandardButton first : {QMessageBox::Ok, QMessageBox::Yes})
        if (MessageBoxButtons(style).testFlag(first)) box.setDefaultButton(first);
    box.exec();
    return MessageBoxAnswer(box.standardButton(box.clickedButton()));
}

void CQtUserInterface::BeginWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++wait_depth_;
}

void CQtUserInterface::EndWaitCursor() {
    if (wait_depth_ == 0) return;
    --wait_depth_;
    QApplication::restoreOverrideCursor();
}

int CQtUserInterface::RunNamePrompt(CNamePrompt& prompt) {
    CAskingCursor asking(wait_depth_);
    CQtNamePrompt dialog(prompt);
    return dialog.RunPrompt();
}

int CQtUserInterface::RunAssocDlg(CAssocDlg& dialog) {
    return RunDialog<CQtAssocDlg>(wait_depth_, dialog);
}

int CQtUserInterface::RunCOsDlg(CCOsDlg& dialog) {
    return RunDialog<CQtCOsDlg>(wait_depth_, dialog);
}

int CQtUserInterface::RunFinishDlg(CFinishDlg& dialog) {
    return RunDialog<CQtFinishDlg>(wait_depth_, dialog);
}

int CQtUserInterface::RunEditCSpec(CEditCSpec& dialog) {
    return RunDialog<CQtEditCSpec>(wait_depth_, dialog);
}

int CQtUserInterface::RunBranchPSheet(CBranchPSheet& sheet) {
    return RunDialog<CQtBranchPSheet>(wait_depth_, sheet);
}

int CQtUserInterface::RunDissocDlg(CDissocDlg& dialog) {
    return RunDialog<CQtDissocDlg>(wait_depth_, dialog);
}

int CQtUserInterface::RunProfilePicker(CProfilePicker& picker) {
    {
        // The tree is read before the window comes.
        CWaitCursor wait;
        if (!picker.OnInitDialog()) return IDCANCEL;
    }
    return RunDialog<CQtProfilePicker>(wait_depth_, picker);
}

int CQtUserInterface::RunCheckoutList(CCheckoutList& list) {
    list.OnInitDialog();
    return RunDialog<CQtCheckoutList>(wait_depth_, list);
}

}  // namespace kelmora::qt

#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/assoc_dlg.h"
#include "ui/cos_dlg.h"
#include "ui/dissoc_dlg.h"
#include "ui/name_prompt.h"
#include "ui/qt/model_binding.h"

namespace kelmora::qt {

// A push button of a dialog; OK-like buttons are the default.
QPushButton* DialogButton(const char* caption, QWidget* parent, bool is_default = false);

// "Associate with Stavemark View Profile": picture, the two prompts, the
// name with Browse beside it; OK (default), Cancel and Help on the right.
class CQtAssocDlg : public CModelDialog {
    Q_OBJECT
public:
    explicit CQtAssocDlg(CAssocDlg& model);

private:
    void ShowFields() override;

    CAssocDlg& dialog_;
    QLineEdit* name_;
};

// "Dissociate from Stavemark View Profile": picture, four lines, "Yes"
// (default), "No" and Help.
class CQtDissocDlg : public CModelDialog {
    Q_OBJECT
public:
    explicit CQtDissocDlg(CDissocDlg& model);

private:
    void OnCancelRequest() override;

    CDissocDlg& dialog_;
};

// The checkouts dialog: what must be done first, the message, and the
// button that runs the checkout finder; OK (default) and Help.
class CQtCOsDlg : public CModelDialog {
    Q_OBJECT
public:
    explicit CQtCOsDlg(CCOsDlg& model);
};

// The name prompt: why a name is wanted, the name, OK (default) and Cancel.
class CQtNamePrompt : public CModelDialog {
    Q_OBJECT
public:
    explicit CQtNamePrompt(CNamePrompt& model);

    int RunPrompt();

private:
    CNamePrompt& dialog_;
    QLineEdit* name_;
};

}  // namespace kelmora::qt

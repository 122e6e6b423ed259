#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QWizard>
#include <QWizardPage>

#include "ui/branch_psheet.h"
#include "ui/qt/model_binding.h"

namespace kelmora::qt {

// A spin box whose number only its arrows change, as the read-only day and
// year edits with their spin buttons.
class CSpinField : public QSpinBox {
    Q_OBJECT
public:
    explicit CSpinField(QWidget* parent);
};

// The one spin button of the time: two arrows that never take the focus,
// so that they act on the time field that has it; the arrow keys when the
// button itself has the focus. Up is a negative change.
class CTimeSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit CTimeSpinButton(QWidget* parent);

signals:
    void Stepped(int delta);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class CQtBranchPSheet;

// The name page: picture, name, comment and the radio pair.
class CQtNamePage : public QWizardPage {
    Q_OBJECT
public:
    CQtNamePage(CQtBranchPSheet& wizard, CBranchPSheet& sheet);
    void ShowFields();

private:
    CBranchPSheet& sheet_;
    QLineEdit* name_;
    QPlainTextEdit* comment_;
    QRadioButton* yes_;
    QRadioButton* no_;
};

// The branch point page: picture, the three kinds, and for each its controls
// in one place, of which the model shows one kind's.
class CQtBranchPointPage : public QWizardPage {
    Q_OBJECT
public:
    CQtBranchPointPage(CQtBranchPSheet& wizard, CBranchPSheet& sheet);
    void ShowFields();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* TimePanel();

    CQtBranchPSheet& wizard_;
    CBranchPSheet& sheet_;
    CWizBranchPt& page_;
    QRadioButton* time_;
    QRadioButton* checkpoint_;
    QRadioButton* label_radio_;
    QComboBox* checkpoints_;
    QLineEdit* label_;
    QComboBox* month_;
    CSpinField* day_;
    CSpinField* year_;
    QLineEdit* hour_;
    QLineEdit* minutes_;
    QLineEdit* seconds_;
    QLineEdit* marker_;
};

// The private branch wizard: a QWizard of the two pages whose buttons read
// Back, Next, Finish, Cancel. The sheet model decides every move; the
// wizard's own navigation only follows it.
class CQtBranchPSheet : public QWizard, public CModelWindow {
    Q_OBJECT
public:
    static constexpr int kPictureWidth = 150;
    static constexpr int kPictureHeight = 225;
    static constexpr int kMinimumWidth = 580;

    explicit CQtBranchPSheet(CBranchPSheet& sheet);

    CModelBinding& binding() { return binding_; }
    void AfterHandler() override;
    void OnContextHelp() override;
    int Run();
    void reject() override;

protected:
    bool validateCurrentPage() override;
    void showEvent(QShowEvent* event) override;

private:
    void KeepMinimumSize();
    void ShowDefaultButton();

    CBranchPSheet& sheet_;
    CModelBinding binding_;
    CQtNamePage* name_page_;
    CQtBranchPointPage* branch_point_page_;
    bool following_model_ = false;
};

}  // namespace kelmora::qt

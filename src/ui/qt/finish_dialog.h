#pragma once

#include <QAbstractButton>
#include <QPixmap>

#include "ui/finish_dlg.h"
#include "ui/qt/model_binding.h"

namespace kelmora::qt {

// An owner-drawn button of three pictures, chosen by its caption: CAPTIONU
// released, CAPTIOND pressed, CAPTIONF with the keyboard focus. There is no
// picture for the disabled state.
class CPictureButton : public QAbstractButton {
    Q_OBJECT
public:
    CPictureButton(const char* caption, QWidget* parent);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap released_, pressed_, focused_;
};

// "Finish Private Branch": Publish and Suspend as picture buttons with their
// texts beside them, Cancel and Help. There is no OK button: Enter goes to
// the model, which chooses by the focus.
class CQtFinishDlg : public CModelDialog {
    Q_OBJECT
public:
    explicit CQtFinishDlg(CFinishDlg& model);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    CFinishDlg& dialog_;
};

}  // namespace kelmora::qt

#include "ui_qt/qt_script.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialog>
#include <QPushButton>
#include <cstdlib>

namespace kelmora::test {

QApplication& QtApplication() {
    static int argc = 1;
    static char name[] = "qt_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new QApplication(argc, argv);
    }();
    return *application;
}

QAbstractButton* ButtonOf(QWidget& window, const char* caption) {
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
        if (button->text() == QLatin1String(caption)) return button;
    ADD_FAILURE() << "no button " << caption;
    static QPushButton missing;
    return &missing;
}

CModalScript::CModalScript() : timer_(std::make_unique<QTimer>()) {
    QtApplication();
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { Poll(); });
    timer_->start(5);
    age_.start();
}

void CModalScript::Poll() {
    QWidget* window = QApplication::activeModalWidget();
    constexpr qint64 kPatienceMs = 10000;
    if (window && age_.elapsed() > kPatienceMs) {
        ADD_FAILURE() << "a window no step took: " << window->windowTitle().toStdString();
        if (auto* dialog = qobject_cast<QDialog*>(window)) dialog->done(QDialog::Rejected);
        return;
    }
    // Each window (or its coming back after a box) is one step's.
    if (steps_.empty() || !window || !window->isVisible() || window == last_window_) return;
    if (steps_.front()(window)) {
        steps_.pop_front();
        last_window_ = window;
        // The same window may come back for the next step once another has been up.
        QObject::connect(window, &QObject::destroyed, [this, window] {
            if (last_window_ == window) last_window_ = nullptr;
        });
    } else {
        last_window_ = nullptr;
    }
}

}  // namespace kelmora::test

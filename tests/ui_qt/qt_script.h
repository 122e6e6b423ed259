#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

#include "ui/qt/qt_user_interface.h"

namespace kelmora::test {

// On the offscreen platform unless the environment chose one.
QApplication& QtApplication();

// One step per modal window, each from an event of its own, so that a window a step opens can be
// answered by the next; after a while, windows no step takes are closed so that the test ends.
class CModalScript {
public:
    CModalScript();

    // The next step: waits for an active modal window of type W.
    template <typename W>
    CModalScript& On(std::function<void(W&)> act) {
        steps_.push_back([act](QWidget* window) {
            auto* typed = qobject_cast<W*>(window);
            if (!typed) return false;
            QTimer::singleShot(0, typed, [act, typed] { act(*typed); });
            return true;
        });
        return *this;
    }
    size_t steps_left() const { return steps_.size(); }

private:
    void Poll();

    std::deque<std::function<bool(QWidget*)>> steps_;
    QWidget* last_window_ = nullptr;
    QElapsedTimer age_;
    std::unique_ptr<QTimer> timer_;
};

// The button of a window with this caption ("&Help").
QAbstractButton* ButtonOf(QWidget& window, const char* caption);

// The Qt front end installed for one test.
class CQtFrontEnd {
public:
    CQtFrontEnd() : scope_(&ui_) {}
    qt::CQtUserInterface& ui() { return ui_; }

private:
    QApplication& application_ = QtApplication();
    qt::CQtUserInterface ui_;
    CScopedUserInterface scope_;
};

}  // namespace kelmora::test

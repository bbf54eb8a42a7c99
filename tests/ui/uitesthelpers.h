#pragma once
// Driving modal dialogs from gtest cases: the interaction is queued before the blocking call and
// runs once the dialog is up.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace uitest {

// Runs `interact` on the first modal dialog that appears within five seconds; fails otherwise.
inline void onModal(std::function<void(QWidget*)> interact) {
    auto* poll = new QTimer;
    const QDeadlineTimer deadline(5000);
    QObject::connect(poll, &QTimer::timeout, [poll, deadline, interact] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->deleteLater();
            poll->stop();
            interact(modal);
        } else if (deadline.hasExpired()) {
            poll->deleteLater();
            poll->stop();
            ADD_FAILURE() << "no dialog appeared";
        }
    });
    poll->start(10);
}

// Waits up to `ms` for `condition`, processing events.
inline bool waitFor(const std::function<bool()>& condition, int ms = 5000) {
    const QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QTest::qWait(10);
    }
    return true;
}

// Closes any modal dialog still up after `ms` and fails the test, so a box that should never have
// appeared cannot hang the run. Lives as long as the test's scope.
class NoModalGuard {
public:
    explicit NoModalGuard(int ms = 3000) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                ADD_FAILURE() << "an unexpected dialog appeared";
                if (auto* dialog = qobject_cast<QDialog*>(modal))
                    dialog->done(0);
                else
                    modal->hide();
            }
        });
        timer_.start(ms);
    }

private:
    QTimer timer_;
};

}  // namespace uitest

#pragma once
// SIGTERM as a Qt signal. The handler only writes one byte into a socket pair, which is safe in a
// signal handler; a socket notifier on the other end hears it in the event loop, where the program
// may save and end as usual. One watcher at a time; the one before it (or the default action) is
// back when it goes.

#include <QObject>
#include <csignal>

class QSocketNotifier;

class TerminationWatcher : public QObject {
    Q_OBJECT
public:
    explicit TerminationWatcher(QObject* parent = nullptr);
    ~TerminationWatcher() override;

    // False when the socket pair or the handler could not be set up; the default action then holds.
    bool isActive() const { return notifier_ != nullptr; }

signals:
    void terminationRequested();

private:
    void readSignal();

    int fds_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
    struct sigaction previous_ {};
    int previousWriteFd_ = -1;
};

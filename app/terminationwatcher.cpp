#include "terminationwatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The write end of the active watcher's pair, read by the handler.
volatile sig_atomic_t writeFd = -1;

extern "C" void onTerminate(int) {
    const int savedErrno = errno;
    const char byte = 1;
    if (writeFd >= 0) (void)!::write(writeFd, &byte, 1);
    errno = savedErrno;
}

}  // namespace

TerminationWatcher::TerminationWatcher(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) {
        fds_[0] = fds_[1] = -1;
        return;
    }
    previousWriteFd_ = writeFd;
    writeFd = fds_[0];
    struct sigaction action {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGTERM, &action, &previous_) != 0) {
        writeFd = previousWriteFd_;
        ::close(fds_[0]);
        ::close(fds_[1]);
        fds_[0] = fds_[1] = -1;
        return;
    }
    notifier_ = new QSocketNotifier(fds_[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationWatcher::readSignal);
}

TerminationWatcher::~TerminationWatcher() {
    if (!notifier_) return;
    ::sigaction(SIGTERM, &previous_, nullptr);
    writeFd = previousWriteFd_;
    delete notifier_;
    ::close(fds_[0]);
    ::close(fds_[1]);
}

void TerminationWatcher::readSignal() {
    // Several signals may have come in since the last read; they ask for one thing.
    char bytes[64];
    while (::read(fds_[1], bytes, sizeof bytes) > 0) {
    }
    emit terminationRequested();
}

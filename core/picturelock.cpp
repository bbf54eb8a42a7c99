#include "picturelock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

namespace {

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

std::unique_ptr<PictureLock> PictureLock::acquire(const QString& path, WriteResult& failure, int waitMs,
                                                  const std::function<void()>& beforeWaiting) {
    return lockEntry(AT_FDCWD, QFile::encodeName(path), true, failure, waitMs, beforeWaiting);
}

std::unique_ptr<PictureLock> PictureLock::acquireAt(int dirFd, const QByteArray& name, WriteResult& failure,
                                                    int waitMs, const std::function<void()>& beforeWaiting) {
    return lockEntry(dirFd, name, false, failure, waitMs, beforeWaiting);
}

std::unique_ptr<PictureLock> PictureLock::lockEntry(int dirFd, const QByteArray& name, bool followLinks,
                                                    WriteResult& failure, int waitMs,
                                                    const std::function<void()>& beforeWaiting) {
    failure = {};
    const int statFlags = followLinks ? 0 : AT_SYMLINK_NOFOLLOW;
    struct timespec start {};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    bool waited = false;
    for (;;) {
        // Looked at before it is opened, and opened without waiting: a pipe or a device under the
        // name is not this lock's to open.
        struct stat named {};
        if (::fstatat(dirFd, name.constData(), &named, statFlags) != 0 || !S_ISREG(named.st_mode)) return nullptr;
        const int fd = ::openat(dirFd, name.constData(),
                                O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW));
        if (fd < 0) return nullptr;
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            return nullptr;
        }
        bool locked = false;
        for (;;) {
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                locked = true;
                break;
            }
            if (errno == EINTR) continue;
            if (errno != EWOULDBLOCK) {
                // A file system without flock gives no lock to anyone: going on unlocked is all there is.
                return std::unique_ptr<PictureLock>(new PictureLock(fd, opened.st_dev, opened.st_ino));
            }
            if (!waited) {
                waited = true;
                if (beforeWaiting) beforeWaiting();
            }
            struct timespec now {};
            ::clock_gettime(CLOCK_MONOTONIC, &now);
            const qint64 elapsedMs = qint64(now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
            if (elapsedMs >= waitMs) {
                ::close(fd);
                failure = {WriteError::Busy, waitMs > 0 ? QStringLiteral("still held after %1 seconds")
                                                              .arg(double(waitMs) / 1000.0, 0, 'g', 3)
                                                        : QString()};
                return nullptr;
            }
            const struct timespec pause = {0, 20 * 1000 * 1000};
            ::nanosleep(&pause, nullptr);
            // Replaced meanwhile: the writer before is done, and the new file is the one to lock.
            struct stat current {};
            if (::fstatat(dirFd, name.constData(), &current, statFlags) != 0 || !sameFile(current, opened)) break;
        }
        if (!locked) {  // left the wait for the file that has the name now
            ::close(fd);
            continue;
        }
        // The writer before may have replaced the file by rename meanwhile: the lock of the old inode
        // guards nothing then, and the file that now has the name is locked instead.
        struct stat now {};
        if (::fstatat(dirFd, name.constData(), &now, statFlags) == 0 && sameFile(now, opened))
            return std::unique_ptr<PictureLock>(new PictureLock(fd, opened.st_dev, opened.st_ino));
        ::close(fd);
    }
}

PictureLock::~PictureLock() { ::close(fd_); }

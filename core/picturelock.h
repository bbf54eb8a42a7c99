#pragma once
// The lock that every writer of this program holds on a file it rewrites, from reading the file to
// putting the new content in its place, so that two writers of one picture (two command-line runs,
// the window and a command-line run) take turns and the second one reads what the first one wrote.
//
// It is an exclusive flock on the file itself (its inode), through a descriptor of its own: other
// writers of this program honour it, other programs do not see it, and it goes when the descriptor
// is closed, also when the process dies. A file replaced by rename is a new inode: after locking, the
// name is looked up again, and when it names another file by then, that file is locked instead.

#include "writeerror.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

#include <sys/stat.h>

class PictureLock {
public:
    // How long a writer waits for another one to finish before it gives up and writes nothing.
    static constexpr int kWaitMs = 5000;

    // Locks the file at `path` (a link is followed), waiting up to `waitMs` for another writer.
    // `beforeWaiting` runs once when the file is found held, before the wait (a batch finishes its
    // staged writes there: a writer never waits while it holds other files).
    // Null with `failure` ok when there is nothing to lock: no file there, not a regular file, or one
    // this process cannot open (what comes next refuses it in its own words). Null with `failure`
    // set (WriteError::Busy) when it stayed held.
    static std::unique_ptr<PictureLock> acquire(const QString& path, WriteResult& failure, int waitMs = kWaitMs,
                                                const std::function<void()>& beforeWaiting = {});
    // The same for the entry `name` of the folder open as `dirFd`, without following a link.
    static std::unique_ptr<PictureLock> acquireAt(int dirFd, const QByteArray& name, WriteResult& failure,
                                                  int waitMs = kWaitMs,
                                                  const std::function<void()>& beforeWaiting = {});

    ~PictureLock();
    PictureLock(const PictureLock&) = delete;
    PictureLock& operator=(const PictureLock&) = delete;

    // True when `st` describes the locked file.
    bool covers(const struct stat& st) const { return st.st_dev == device_ && st.st_ino == inode_; }
    dev_t device() const { return device_; }
    ino_t inode() const { return inode_; }

private:
    static std::unique_ptr<PictureLock> lockEntry(int dirFd, const QByteArray& name, bool followLinks,
                                                  WriteResult& failure, int waitMs,
                                                  const std::function<void()>& beforeWaiting);
    PictureLock(int fd, dev_t device, ino_t inode) : fd_(fd), device_(device), inode_(inode) {}
    int fd_;
    dev_t device_;
    ino_t inode_;
};

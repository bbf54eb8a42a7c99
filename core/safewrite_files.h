#pragma once
// The file-level pieces of the safe write: the program's own locked temporaries, the output device
// handed to producers, reproducing a file's owner and attributes, and the journalled rewrite in place
// with its recovery. Used only by safewrite.cpp.

#include "writeerror.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace safewrite {

// The system's words for the current errno; call right where the failing call returned.
QString systemError();
WriteResult systemFailure(WriteError error);

// An open descriptor, closed at the end of its scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes it now; false with errno set when the close reported an error.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// Temporaries are named ".snaplore-<random>.tmp": short, so that a target name of any length can be
// written, and recognisable, so that leftovers of an interrupted run can be cleared. Each is held
// under an exclusive flock from creation until it is renamed or removed: a temporary that nobody
// holds locked belongs to no running write.
bool isTempName(const QByteArray& name);
// The journal of an in-place rewrite of the file `targetName` in its folder: one name per file, so
// that a writer finds an interrupted rewrite of its own file with one look.
QByteArray journalNameFor(const QByteArray& targetName);
bool isJournalName(const QByteArray& name);

class TempFile {
public:
    // A new, empty temporary in the folder (open as `dirFd`, named `folder`), locked; null with
    // the system's words in `error` when it cannot be made.
    static std::unique_ptr<TempFile> create(int dirFd, const QByteArray& folder, QString& error);
    // Removes the temporary unless it was renamed or left for recovery.
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return fd_; }
    const QByteArray& name() const { return name_; }  // in its folder
    QByteArray path() const { return folder_ + '/' + name_; }

    // It took another name (renamed over its target): nothing to remove.
    void renamed() { remove_ = false; }
    // An in-place rewrite stopped halfway: the temporary must stay for the journal's roll forward.
    void keepForRecovery() { remove_ = false; }
    // Removes it now, still locked; false with errno set when the unlink failed.
    bool remove();

private:
    TempFile(int fd, QByteArray folder, QByteArray name)
        : fd_(fd), folder_(std::move(folder)), name_(std::move(name)) {}
    int fd_;
    QByteArray folder_;
    QByteArray name_;
    bool remove_ = true;
};

// What producers write into: a QFile on the temporary's descriptor whose writes go straight to the
// system, so that a failure keeps the system's own words (a full disk says so).
class TempOutput : public QFile {
public:
    explicit TempOutput(int fd);
    // The system's words for the first failed write; empty when none failed.
    const QString& failure() const { return failure_; }

protected:
    qint64 writeData(const char* data, qint64 length) override;

private:
    int fd_;
    QString failure_;
};

enum class Reproduction { Done, NotPossible };
// Gives the temporary `tempFd` the owner, group, permissions, extended attributes and ACL of the
// open target `targetFd` (described by `target`). NotPossible when any of them cannot be given to a
// new file by this process: the target must then be rewritten in place. A failure to set the
// permissions themselves is an error.
WriteResult reproduceAttributes(int targetFd, const struct stat& target, int tempFd, Reproduction& outcome);

// Rewrites the target `targetName` in the folder `dirFd` from the complete, flushed temporary,
// keeping its inode (and so its owner, attributes and links). `expected` is the target as it was
// checked; `times` (access, modification), when given, are put on it afterwards. The caller holds
// the target's PictureLock throughout. The rewrite is journalled first; when it stops halfway the
// journal and the temporary stay, and the next recovery of the folder finishes it.
WriteResult rewriteInPlace(int dirFd, const QByteArray& folder, TempFile& temp, const QByteArray& targetName,
                           const struct stat& expected, const struct timespec* times);

// Finishes journalled rewrites that no running process holds and removes the program's stale
// temporaries in the folder. `held`, when given, is a file of the folder whose lock the caller holds.
// A rewrite is finished only when its journal and temporary are this user's (or the superuser's),
// nobody but its writer changed the file since, and the temporary matches the journal's checksum;
// otherwise it is left alone, told through the warning hook, and its file is not written by this
// process until it is finished.
void recover(const QByteArray& folder, const struct stat* held = nullptr);
// The same, once per folder in this process, and again before each write in a folder where a
// rewrite could not be finished.
void recoverOnce(const QByteArray& folder, const struct stat* held = nullptr);
// Settles the journal of `targetName` (the file `target`, whose lock the caller holds), when there
// is one; why the file must not be written when it cannot be settled.
std::optional<QString> settleJournalOf(const QByteArray& folder, const QByteArray& targetName,
                                       const struct stat& target);
// Why the interrupted rewrite of `targetName` in the folder could not be finished, when it could not:
// the target must not be written until it is.
std::optional<QString> unfinishedRewrite(const QByteArray& folder, const QByteArray& targetName);

// fsync of a folder, where folders can be flushed: some file systems refuse it (EINVAL) and keep
// their names safe by other means.
bool syncFolderFd(int dirFd);

}  // namespace safewrite

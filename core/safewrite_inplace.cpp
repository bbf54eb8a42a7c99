// Rewriting a file in place, for targets whose owner, attributes or links a new file cannot keep, and
// finishing such rewrites after a crash.
//
// The writer holds the target's PictureLock from before the journal is written until it is removed.
// Before the first byte of the target changes, a journal ".snaplore-<hash of the name>.journal" is put
// in the folder (written to a temporary, flushed, renamed, folder flushed). It names the target and
// the complete, flushed temporary ".snaplore-<id>.tmp" that holds the new content; both are mode 0600:
//
//     snaplore in-place 2
//     target <file name, percent-encoded>
//     temp <temporary's name>
//     device <the target's device number>
//     inode <the target's inode number>
//     size <the temporary's length>
//     sha256 <the temporary's checksum, hex>
//     times <atime s> <atime ns> <mtime s> <mtime ns>      (only when the times are kept)
//
// The journal's modification time is a lease: it lies a few seconds ahead and is moved on while the
// writer changes the target, so that every change the writer makes to the target falls before it;
// when the writer stops short, it sets it to the moment it stopped. A target whose change time is
// later was written by someone else since, and the journal is not followed.
//
// The writer holds the temporary locked until the target is flushed, then removes the journal and
// the temporary. A journal whose temporary nobody holds locked belongs to an interrupted rewrite: the
// target is written again from the temporary (rolled forward) under the target's lock, then both are
// removed.

#include "safewrite_files.h"

#include "picturelock.h"
#include "safewrite.h"

#include <QCryptographicHash>
#include <QList>
#include <QMutex>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace safewrite {

namespace {

constexpr char kJournalHeader[] = "snaplore in-place 2";
constexpr time_t kLeaseSeconds = 4;

// Per folder: the targets whose interrupted rewrite could not be finished, with the reason. Such a
// target is not written again until its rewrite is finished, or the roll forward would later put the
// older content back over the newer.
struct FolderState {
    QMutex mutex;
    std::set<QByteArray> recovered;
    std::map<QByteArray, std::map<QByteArray, QString>> unfinished;
    std::set<QByteArray> warned;  // journals (folder/name) already told about
    std::function<void(const QString&)> warningHook;
};

FolderState& state() {
    static FolderState s;
    return s;
}

void setUnfinished(const QByteArray& folder, const QByteArray& target, const QString& reason) {
    QMutexLocker lock(&state().mutex);
    state().unfinished[folder][target] = reason;
}

// What a person is told about an interrupted rewrite that is not finished.
QString unfinishedWarning(const QByteArray& folder, const QByteArray& target, const QByteArray& temp,
                          const QString& reason) {
    const QString dir = QFile::decodeName(folder);
    return QStringLiteral("%1 may be half written: a rewrite of it was interrupted and is not finished (%2). "
                          "Its complete new content is in %3.")
        .arg(dir + '/' + QFile::decodeName(target), reason, dir + '/' + QFile::decodeName(temp));
}

void warnOnce(const QByteArray& folder, const QByteArray& journal, const QString& text) {
    std::function<void(const QString&)> hook;
    {
        QMutexLocker lock(&state().mutex);
        if (!state().warned.insert(folder + '/' + journal).second) return;
        hook = state().warningHook;
    }
    if (hook)
        hook(text);
    else
        std::fprintf(stderr, "snaplore: %s\n", text.toLocal8Bit().constData());
}

// The journal's modification time: until when its writer holds the target (see the top).
class Lease {
public:
    explicit Lease(int journalFd) : fd_(journalFd) {}
    // Before each change to the target: keeps at least half the lease ahead.
    void renew() {
        struct timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        if (until_.tv_sec - now.tv_sec > kLeaseSeconds / 2) return;
        until_ = {now.tv_sec + kLeaseSeconds, now.tv_nsec};
        const struct timespec times[2] = {{0, UTIME_OMIT}, until_};
        // Not recorded, the lease only makes a later recovery leave the target alone.
        ::futimens(fd_, times);
    }
    // After the last change, when the journal stays.
    void end() {
        const struct timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
        ::futimens(fd_, times);
    }

private:
    int fd_;
    struct timespec until_ {};
};

// The length and SHA-256 of a file's content, read through its descriptor.
std::optional<QByteArray> contentDigest(int fd, off_t& size) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<char> buffer(256 * 1024);
    for (off_t offset = 0; offset < st.st_size;) {
        const ssize_t got =
            ::pread(fd, buffer.data(), size_t(std::min<off_t>(off_t(buffer.size()), st.st_size - offset)), offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        hash.addData(QByteArrayView(buffer.data(), got));
        offset += got;
    }
    size = st.st_size;
    return hash.result().toHex();
}

// Opens a regular file of the folder without following a link and without waiting on a pipe or
// device; -1 with errno set otherwise.
int openRegular(int dirFd, const QByteArray& name, int access, struct stat& st) {
    const int fd = ::openat(dirFd, name.constData(), access | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    const bool statted = ::fstat(fd, &st) == 0;
    if (!statted || !S_ISREG(st.st_mode)) {
        const int error = statted ? EINVAL : errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

// Writes the whole temporary over the target from its first byte, cuts the target to the same
// length, sets its times and flushes it. Empty on success, else the system's words.
QString copyInto(int tempFd, int targetFd, const struct timespec* times, Lease& lease) {
    struct stat st {};
    if (::fstat(tempFd, &st) != 0) return systemError();
    std::vector<char> buffer(256 * 1024);
    off_t offset = 0;
    while (offset < st.st_size) {
        const ssize_t got =
            ::pread(tempFd, buffer.data(), size_t(std::min<off_t>(off_t(buffer.size()), st.st_size - offset)), offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got == 0) errno = EIO;  // the flushed temporary cannot shrink
            return systemError();
        }
        for (ssize_t put = 0; put < got;) {
            lease.renew();
            const ssize_t n = ::pwrite(targetFd, buffer.data() + put, size_t(got - put), offset + put);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (n == 0) errno = EIO;
                return systemError();
            }
            put += n;
        }
        offset += got;
    }
    lease.renew();
    if (::ftruncate(targetFd, st.st_size) != 0) return systemError();
    // Only the owner may set times of its choosing; another user who may write the file leaves it
    // with the time of the writing.
    if (times && ::futimens(targetFd, times) != 0 && errno != EPERM) return systemError();
    if (::fsync(targetFd) != 0) return systemError();
    return {};
}

WriteResult writeAll(int fd, const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return systemFailure(WriteError::WriteFailed);
        }
        done += n;
    }
    return {};
}

// Puts the journal in place, never over another; `file` stays open on it (for the lease), and its
// lease has begun.
WriteResult writeJournal(int dirFd, const QByteArray& folder, const QByteArray& journalName,
                         const QByteArray& targetName, const QByteArray& tempName, const struct stat& target,
                         off_t size, const QByteArray& digest, const struct timespec* times,
                         std::unique_ptr<TempFile>& file, std::unique_ptr<Lease>& lease) {
    QByteArray text = QByteArray(kJournalHeader) + "\ntarget " + targetName.toPercentEncoding() + "\ntemp " + tempName +
                      "\ndevice " + QByteArray::number(quint64(target.st_dev)) + "\ninode " +
                      QByteArray::number(quint64(target.st_ino)) + "\nsize " + QByteArray::number(qint64(size)) +
                      "\nsha256 " + digest + '\n';
    if (times)
        text += "times " + QByteArray::number(qint64(times[0].tv_sec)) + ' ' +
                QByteArray::number(qint64(times[0].tv_nsec)) + ' ' + QByteArray::number(qint64(times[1].tv_sec)) + ' ' +
                QByteArray::number(qint64(times[1].tv_nsec)) + '\n';
    QString error;
    file = TempFile::create(dirFd, folder, error);
    if (!file) return {WriteError::CreateFailed, error};
    if (::fchmod(file->fd(), 0600) != 0) return systemFailure(WriteError::WriteFailed);
    if (WriteResult written = writeAll(file->fd(), text); !written) return written;
    lease = std::make_unique<Lease>(file->fd());
    lease->renew();
    if (::fsync(file->fd()) != 0) return systemFailure(WriteError::WriteFailed);
    bool renamed = ::renameat2(dirFd, file->name().constData(), dirFd, journalName.constData(), RENAME_NOREPLACE) == 0;
    if (!renamed && (errno == EINVAL || errno == ENOSYS)) {
        struct stat there {};
        if (::fstatat(dirFd, journalName.constData(), &there, AT_SYMLINK_NOFOLLOW) == 0)
            errno = EEXIST;
        else
            renamed = ::renameat(dirFd, file->name().constData(), dirFd, journalName.constData()) == 0;
    }
    if (!renamed) {
        if (errno == EEXIST) return {WriteError::ReplaceFailed, QStringLiteral("an unfinished rewrite of it is waiting")};
        return systemFailure(WriteError::CreateFailed);
    }
    file->renamed();
    if (!syncFolderFd(dirFd)) {
        const WriteResult failed = systemFailure(WriteError::WriteFailed);
        ::unlinkat(dirFd, journalName.constData(), 0);
        return failed;
    }
    return {};
}

struct Journal {
    QByteArray target;
    QByteArray temp;
    bool haveDevice = false;
    dev_t device = 0;
    ino_t inode = 0;
    qint64 size = -1;
    QByteArray digest;  // empty in a journal without one: never followed
    bool keepTimes = false;
    struct timespec times[2] {};
};

std::optional<Journal> parseJournal(const QByteArray& text) {
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 5 || !(lines.first() == kJournalHeader || lines.first() == "snaplore in-place 1") ||
        !lines.last().isEmpty())
        return std::nullopt;
    Journal journal;
    bool haveInode = false;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype space = line.indexOf(' ');
        if (space < 0) return std::nullopt;
        const QByteArray key = line.first(space);
        const QByteArray value = line.sliced(space + 1);
        if (key == "target") {
            journal.target = QByteArray::fromPercentEncoding(value);
        } else if (key == "temp") {
            journal.temp = value;
        } else if (key == "inode") {
            journal.inode = ino_t(value.toULongLong(&haveInode));
        } else if (key == "device") {
            journal.device = dev_t(value.toULongLong(&journal.haveDevice));
        } else if (key == "size") {
            bool ok = false;
            journal.size = value.toLongLong(&ok);
            if (!ok) journal.size = -1;
        } else if (key == "sha256") {
            journal.digest = value.toLower();
        } else if (key == "times") {
            const QList<QByteArray> parts = value.split(' ');
            if (parts.size() != 4) return std::nullopt;
            bool ok[4] = {};
            journal.times[0] = {time_t(parts[0].toLongLong(&ok[0])), long(parts[1].toLong(&ok[1]))};
            journal.times[1] = {time_t(parts[2].toLongLong(&ok[2])), long(parts[3].toLong(&ok[3]))};
            if (!(ok[0] && ok[1] && ok[2] && ok[3])) return std::nullopt;
            journal.keepTimes = true;
        }
    }
    const auto plainName = [](const QByteArray& name) {
        return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
    };
    if (!haveInode || !plainName(journal.target) || !isTempName(journal.temp)) return std::nullopt;
    return journal;
}

std::optional<QByteArray> readSmallFile(int dirFd, const QByteArray& name, struct stat& st) {
    const Fd fd(openRegular(dirFd, name, O_RDONLY, st));
    if (fd.get() < 0 || st.st_size > 64 * 1024) return std::nullopt;
    QByteArray bytes(st.st_size, '\0');
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        done += n;
    }
    return bytes;
}

bool lockNow(int fd) {
    int result;
    while ((result = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    return result == 0;
}

// True when `name` in the folder is still the file open as `st`.
bool stillNamed(int dirFd, const QByteArray& name, const struct stat& st) {
    struct stat now {};
    return ::fstatat(dirFd, name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == st.st_dev &&
           now.st_ino == st.st_ino;
}

enum class Journalled { Done, Stays };

bool ownedAsJournal(const struct stat& st, uid_t owner) {
    return st.st_uid == owner && (st.st_mode & 07777) == 0600 && st.st_nlink == 1;
}

// Finishes or clears the rewrite that the journal `journalName` describes. Stays when the journal
// must stay: quietly when its writer is at work or it is not one this program can read; with the
// reason in `failure` when it is not followed (not this user's, the file changed since, the
// temporary does not match) or the roll forward failed. Its temporary then stays too, named in
// `tempName`. `held` is a file whose lock the caller holds.
Journalled settle(int dirFd, const QByteArray& journalName, const struct stat* held, QByteArray& tempName,
                  QByteArray& target, QString& failure) {
    struct stat journalStat {};
    const std::optional<QByteArray> text = readSmallFile(dirFd, journalName, journalStat);
    const std::optional<Journal> journal = text ? parseJournal(*text) : std::nullopt;
    if (!journal) return Journalled::Stays;  // not one this program can follow: left alone
    tempName = journal->temp;
    target = journal->target;
    // Followed only when this user or the superuser made it: a journal planted by another user must
    // not make this process write what that user chose, into a file that user may not write.
    const uid_t writer = journalStat.st_uid;
    const bool trusted = (writer == ::geteuid() || writer == 0) && ownedAsJournal(journalStat, writer);
    const auto clear = [&](const Fd* temp) {
        ::unlinkat(dirFd, journalName.constData(), 0);
        if (temp) ::unlinkat(dirFd, tempName.constData(), 0);
        return Journalled::Done;
    };

    struct stat tempStat {};
    const Fd temp(openRegular(dirFd, tempName, O_RDONLY, tempStat));
    if (temp.get() < 0) {
        // The writer removes the journal before the temporary; a journal alone is left from a
        // rewrite that was finished, and cannot make anything be written.
        return errno == ENOENT && trusted ? clear(nullptr) : Journalled::Stays;
    }
    if (!lockNow(temp.get())) return Journalled::Stays;  // its writer is at work
    if (::fstat(temp.get(), &tempStat) != 0 || tempStat.st_nlink == 0 || !stillNamed(dirFd, tempName, tempStat))
        return Journalled::Stays;  // finished by another run just now
    if (!trusted || !ownedAsJournal(tempStat, writer)) {
        failure = QStringLiteral("its journal was left by another user, or is open to other users");
        return Journalled::Stays;
    }

    struct stat targetStat {};
    if (::fstatat(dirFd, target.constData(), &targetStat, AT_SYMLINK_NOFOLLOW) != 0) {
        // The picture is gone: the rewrite no longer applies.
        if (errno == ENOENT) return clear(&temp);
        failure = systemError();
        return Journalled::Stays;
    }
    const auto sameTarget = [&](const struct stat& st) {
        return st.st_ino == journal->inode && (!journal->haveDevice || st.st_dev == journal->device);
    };
    // Replaced by a new file since: the rewrite no longer applies.
    if (!S_ISREG(targetStat.st_mode) || !sameTarget(targetStat)) return clear(&temp);

    // The file's lock, so that no writer of this program is at it meanwhile.
    std::unique_ptr<PictureLock> lock;
    if (!(held && held->st_dev == targetStat.st_dev && held->st_ino == targetStat.st_ino)) {
        WriteResult locking;
        lock = PictureLock::acquireAt(dirFd, target, locking, 0);
        if (!locking) return Journalled::Stays;  // its writer is at it, and settles it under its lock
        if (!lock) {
            failure = QStringLiteral("the file cannot be opened");
            return Journalled::Stays;
        }
        if (::fstatat(dirFd, target.constData(), &targetStat, AT_SYMLINK_NOFOLLOW) != 0 || !lock->covers(targetStat))
            return Journalled::Stays;  // replaced just now; the next look decides
    }
    // Every change the journal's writer made falls within its lease; a later one was made by someone
    // else, whose content the roll forward would undo.
    const struct timespec& changed = targetStat.st_ctim;
    const struct timespec& lease = journalStat.st_mtim;
    if (changed.tv_sec > lease.tv_sec || (changed.tv_sec == lease.tv_sec && changed.tv_nsec > lease.tv_nsec)) {
        failure = QStringLiteral("the file was changed since by another program");
        return Journalled::Stays;
    }
    if (journal->digest.isEmpty()) {
        failure = QStringLiteral("its journal holds no checksum of the new content");
        return Journalled::Stays;
    }
    off_t size = 0;
    const std::optional<QByteArray> digest = contentDigest(temp.get(), size);
    if (!digest || *digest != journal->digest || qint64(size) != journal->size) {
        failure = digest ? QStringLiteral("the new content does not match its journal's checksum") : systemError();
        return Journalled::Stays;
    }

    struct stat openedTarget {};
    Fd out(openRegular(dirFd, target, O_WRONLY, openedTarget));
    if (out.get() < 0 || !sameTarget(openedTarget)) {
        failure = out.get() < 0 ? systemError() : QStringLiteral("the file changed while being finished");
        return Journalled::Stays;
    }
    // The roll forward holds the lease on as its writer did: a crash now leaves the same journal.
    struct stat reopened {};
    const Fd journalFd(openRegular(dirFd, journalName, O_RDONLY, reopened));
    if (journalFd.get() < 0 || reopened.st_ino != journalStat.st_ino || reopened.st_dev != journalStat.st_dev) {
        failure = QStringLiteral("its journal changed while being followed");
        return Journalled::Stays;
    }
    Lease held_on(journalFd.get());
    failure = copyInto(temp.get(), out.get(), journal->keepTimes ? journal->times : nullptr, held_on);
    if (failure.isEmpty() && !out.close()) failure = systemError();
    if (!failure.isEmpty()) {
        held_on.end();
        return Journalled::Stays;
    }
    clear(&temp);
    syncFolderFd(dirFd);  // a journal that comes back only repeats the same rewrite
    return Journalled::Done;
}

// Settles one journal and records what stays: its temporary in `named`, and the file that must not
// be written, with the warning, in `failed`.
void settleAndRecord(int dirFd, const QByteArray& folder, const QByteArray& journal, const struct stat* held,
                     std::set<QByteArray>* named, std::map<QByteArray, QString>& failed) {
    QByteArray temp, target;
    QString failure;
    if (settle(dirFd, journal, held, temp, target, failure) == Journalled::Done) return;
    if (named && !temp.isEmpty()) named->insert(temp);
    if (failure.isEmpty()) return;
    const QString warning = unfinishedWarning(folder, target, temp, failure);
    failed[target] = warning;
    warnOnce(folder, journal, warning);
}

}  // namespace

WriteResult rewriteInPlace(int dirFd, const QByteArray& folder, TempFile& temp, const QByteArray& targetName,
                           const struct stat& expected, const struct timespec* times) {
    struct stat st {};
    Fd out(openRegular(dirFd, targetName, O_WRONLY, st));
    if (out.get() < 0) return systemFailure(WriteError::ReplaceFailed);
    if (st.st_dev != expected.st_dev || st.st_ino != expected.st_ino)
        return {WriteError::ReplaceFailed, QStringLiteral("the file was replaced while it was being written")};
    // The temporary took the target's permissions on the way; a journal's must be its owner's alone.
    if (::fchmod(temp.fd(), 0600) != 0) return systemFailure(WriteError::WriteFailed);
    off_t size = 0;
    const std::optional<QByteArray> digest = contentDigest(temp.fd(), size);
    if (!digest) return systemFailure(WriteError::WriteFailed);
    // Room for the new content first, so that a full disk stops the rewrite before the target changes.
    if (size > st.st_size && ::fallocate(out.get(), FALLOC_FL_KEEP_SIZE, 0, size) != 0 &&
        (errno == ENOSPC || errno == EDQUOT))
        return systemFailure(WriteError::WriteFailed);

    const QByteArray journal = journalNameFor(targetName);
    std::unique_ptr<TempFile> journalFile;
    std::unique_ptr<Lease> lease;
    if (WriteResult written = writeJournal(dirFd, folder, journal, targetName, temp.name(), st, size, *digest, times,
                                           journalFile, lease);
        !written)
        return written;

    QString failure = copyInto(temp.fd(), out.get(), times, *lease);
    if (failure.isEmpty() && !out.close()) failure = systemError();
    if (!failure.isEmpty()) {
        // Half written: the journal and the temporary stay, and the folder's next recovery finishes it.
        lease->end();
        temp.keepForRecovery();
        setUnfinished(folder, targetName, failure);
        return {WriteError::ReplaceFailed, failure};
    }
    // The journal first: a crash between the two leaves only a stale temporary. Neither removal can
    // undo the rewrite: at worst a journal that stays repeats it with the same content.
    ::unlinkat(dirFd, journal.constData(), 0);
    temp.remove();
    syncFolderFd(dirFd);
    return {};
}

void recover(const QByteArray& folder, const struct stat* held) {
    const Fd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) return;
    std::vector<QByteArray> temps;
    std::vector<QByteArray> journals;
    {
        const int listFd = ::fcntl(dir.get(), F_DUPFD_CLOEXEC, 0);
        DIR* list = listFd < 0 ? nullptr : ::fdopendir(listFd);
        if (!list) {
            if (listFd >= 0) ::close(listFd);
            return;
        }
        while (const dirent* entry = ::readdir(list)) {
            const QByteArray name(entry->d_name);
            if (isTempName(name))
                temps.push_back(name);
            else if (isJournalName(name))
                journals.push_back(name);
        }
        ::closedir(list);
    }

    std::set<QByteArray> named;  // temporaries that a standing journal needs
    std::map<QByteArray, QString> failed;
    for (const QByteArray& journal : journals) settleAndRecord(dir.get(), folder, journal, held, &named, failed);

    // Every other temporary that no process holds locked is left from a write that stopped.
    for (const QByteArray& name : temps) {
        if (named.count(name)) continue;
        struct stat st {};
        const Fd fd(openRegular(dir.get(), name, O_RDONLY, st));
        if (fd.get() < 0 || !lockNow(fd.get())) continue;
        if (::fstat(fd.get(), &st) == 0 && st.st_nlink > 0 && stillNamed(dir.get(), name, st))
            ::unlinkat(dir.get(), name.constData(), 0);
    }

    QMutexLocker lock(&state().mutex);
    state().recovered.insert(folder);
    if (failed.empty())
        state().unfinished.erase(folder);
    else
        state().unfinished[folder] = std::move(failed);
}

void recoverOnce(const QByteArray& folder, const struct stat* held) {
    {
        QMutexLocker lock(&state().mutex);
        if (state().recovered.count(folder) && !state().unfinished.count(folder)) return;
    }
    recover(folder, held);
}

std::optional<QString> settleJournalOf(const QByteArray& folder, const QByteArray& targetName,
                                       const struct stat& target) {
    const QByteArray journal = journalNameFor(targetName);
    struct stat st {};
    if (::lstat((folder + '/' + journal).constData(), &st) != 0 && errno == ENOENT) return std::nullopt;
    const Fd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) return systemError();
    std::map<QByteArray, QString> failed;
    settleAndRecord(dir.get(), folder, journal, &target, nullptr, failed);
    if (!failed.empty()) {
        QMutexLocker lock(&state().mutex);
        for (auto& [name, why] : failed) state().unfinished[folder][name] = why;
        const auto mine = failed.find(targetName);
        if (mine != failed.end()) return mine->second;
    }
    // Still there: another rewrite of the file is under way, or the journal is none this program reads.
    if (::lstat((folder + '/' + journal).constData(), &st) == 0)
        return QStringLiteral("an unfinished rewrite of it is waiting in %1")
            .arg(QFile::decodeName(folder + '/' + journal));
    return std::nullopt;
}

std::optional<QString> unfinishedRewrite(const QByteArray& folder, const QByteArray& targetName) {
    QMutexLocker lock(&state().mutex);
    const auto inFolder = state().unfinished.find(folder);
    if (inFolder == state().unfinished.end()) return std::nullopt;
    const auto entry = inFolder->second.find(targetName);
    if (entry == inFolder->second.end()) return std::nullopt;
    return entry->second;
}

}  // namespace safewrite

void setRecoveryWarningHook(std::function<void(const QString&)> hook) {
    QMutexLocker lock(&safewrite::state().mutex);
    safewrite::state().warningHook = std::move(hook);
}

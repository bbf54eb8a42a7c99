// Rewriting a file in place, for targets whose owner, attributes or links a new file cannot keep, and
// finishing such rewrites after a crash.
//
// Before the first byte of the target changes, a journal ".snaplore-<id>.journal" is put in the folder
// (written to a temporary, flushed, renamed, folder flushed). It names the target and the complete,
// flushed temporary ".snaplore-<id>.tmp" that holds the new content:
//
//     snaplore in-place 1
//     target <file name, percent-encoded>
//     temp <temporary's name>
//     inode <the target's inode number>
//     times <atime s> <atime ns> <mtime s> <mtime ns>      (only when the times are kept)
//
// The writer holds the temporary locked until the target is flushed, then removes the journal and
// the temporary. A journal whose temporary nobody holds locked belongs to an interrupted rewrite: the
// target is written again from the temporary (rolled forward), then both are removed.

#include "safewrite_files.h"

#include <QList>
#include <QMutex>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace safewrite {

namespace {

constexpr char kJournalHeader[] = "snaplore in-place 1";

// Per folder: the targets whose interrupted rewrite could not be finished, with the reason. Such a
// target is not written again until its rewrite is finished, or the roll forward would later put the
// older content back over the newer.
struct FolderState {
    QMutex mutex;
    std::set<QByteArray> recovered;
    std::map<QByteArray, std::map<QByteArray, QString>> unfinished;
};

FolderState& state() {
    static FolderState s;
    return s;
}

void setUnfinished(const QByteArray& folder, const QByteArray& target, const QString& reason) {
    QMutexLocker lock(&state().mutex);
    state().unfinished[folder][target] = reason;
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
QString copyInto(int tempFd, int targetFd, const struct timespec* times) {
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

WriteResult writeJournal(int dirFd, const QByteArray& folder, const QByteArray& journalName,
                         const QByteArray& targetName, const QByteArray& tempName, ino_t inode,
                         const struct timespec* times) {
    QByteArray text = QByteArray(kJournalHeader) + "\ntarget " + targetName.toPercentEncoding() + "\ntemp " + tempName +
                      "\ninode " + QByteArray::number(quint64(inode)) + '\n';
    if (times)
        text += "times " + QByteArray::number(qint64(times[0].tv_sec)) + ' ' +
                QByteArray::number(qint64(times[0].tv_nsec)) + ' ' + QByteArray::number(qint64(times[1].tv_sec)) + ' ' +
                QByteArray::number(qint64(times[1].tv_nsec)) + '\n';
    QString error;
    std::unique_ptr<TempFile> file = TempFile::create(dirFd, folder, error);
    if (!file) return {WriteError::CreateFailed, error};
    if (WriteResult written = writeAll(file->fd(), text); !written) return written;
    if (::fsync(file->fd()) != 0) return systemFailure(WriteError::WriteFailed);
    if (::renameat(dirFd, file->name().constData(), dirFd, journalName.constData()) != 0)
        return systemFailure(WriteError::CreateFailed);
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
    ino_t inode = 0;
    bool keepTimes = false;
    struct timespec times[2] {};
};

std::optional<Journal> parseJournal(const QByteArray& text) {
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 5 || lines.first() != kJournalHeader || !lines.last().isEmpty()) return std::nullopt;
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

// Finishes or clears the rewrite that the journal `journalName` describes. Stays when the journal
// must stay (its writer is running, it is not ours to follow, or the roll forward failed: then
// `failure` holds the reason); its temporary then stays too, named in `tempName`.
Journalled settle(int dirFd, const QByteArray& journalName, QByteArray& tempName, QByteArray& target,
                  QString& failure) {
    struct stat journalStat {};
    const std::optional<QByteArray> text = readSmallFile(dirFd, journalName, journalStat);
    const std::optional<Journal> journal = text ? parseJournal(*text) : std::nullopt;
    if (!journal) return Journalled::Stays;  // not one this program can follow: left alone
    tempName = journal->temp;
    target = journal->target;
    const auto clear = [&](const Fd* temp) {
        ::unlinkat(dirFd, journalName.constData(), 0);
        if (temp) ::unlinkat(dirFd, tempName.constData(), 0);
        return Journalled::Done;
    };

    struct stat tempStat {};
    const Fd temp(openRegular(dirFd, tempName, O_RDONLY, tempStat));
    if (temp.get() < 0) {
        // The writer removes the journal before the temporary; a journal alone is left from a
        // rewrite that was finished.
        return errno == ENOENT ? clear(nullptr) : Journalled::Stays;
    }
    if (!lockNow(temp.get())) return Journalled::Stays;  // its writer is at work
    if (::fstat(temp.get(), &tempStat) != 0 || tempStat.st_nlink == 0 || !stillNamed(dirFd, tempName, tempStat))
        return Journalled::Stays;  // finished by another run just now

    struct stat targetStat {};
    if (::fstatat(dirFd, target.constData(), &targetStat, AT_SYMLINK_NOFOLLOW) != 0) {
        // The picture is gone, or replaced by a new file since: the rewrite no longer applies.
        if (errno == ENOENT) return clear(&temp);
        failure = systemError();
        return Journalled::Stays;
    }
    if (targetStat.st_ino != journal->inode) return clear(&temp);
    // Followed only when its writer could have written the picture: a journal planted by another
    // user must not make this process write what that user may not.
    const uid_t writer = journalStat.st_uid;
    if (tempStat.st_uid != writer ||
        !(writer == ::geteuid() || writer == 0 || writer == targetStat.st_uid ||
          (targetStat.st_mode & (S_IWGRP | S_IWOTH)) != 0))
        return Journalled::Stays;

    struct stat openedTarget {};
    Fd out(openRegular(dirFd, target, O_WRONLY, openedTarget));
    if (out.get() < 0 || openedTarget.st_ino != journal->inode) {
        failure = out.get() < 0 ? systemError() : QStringLiteral("the file changed while being finished");
        return Journalled::Stays;
    }
    failure = copyInto(temp.get(), out.get(), journal->keepTimes ? journal->times : nullptr);
    if (failure.isEmpty() && !out.close()) failure = systemError();
    if (!failure.isEmpty()) return Journalled::Stays;
    clear(&temp);
    syncFolderFd(dirFd);  // a journal that comes back only repeats the same rewrite
    return Journalled::Done;
}

}  // namespace

WriteResult rewriteInPlace(int dirFd, const QByteArray& folder, TempFile& temp, const QByteArray& targetName,
                           const struct stat& expected, const struct timespec* times) {
    struct stat st {};
    Fd out(openRegular(dirFd, targetName, O_WRONLY, st));
    if (out.get() < 0) return systemFailure(WriteError::ReplaceFailed);
    if (st.st_dev != expected.st_dev || st.st_ino != expected.st_ino)
        return {WriteError::ReplaceFailed, QStringLiteral("the file was replaced while it was being written")};
    struct stat tempStat {};
    if (::fstat(temp.fd(), &tempStat) != 0) return systemFailure(WriteError::WriteFailed);
    // Room for the new content first, so that a full disk stops the rewrite before the target changes.
    if (tempStat.st_size > st.st_size && ::fallocate(out.get(), FALLOC_FL_KEEP_SIZE, 0, tempStat.st_size) != 0 &&
        (errno == ENOSPC || errno == EDQUOT))
        return systemFailure(WriteError::WriteFailed);

    const QByteArray journal = journalNameFor(temp.name());
    if (WriteResult written = writeJournal(dirFd, folder, journal, targetName, temp.name(), st.st_ino, times);
        !written)
        return written;

    QString failure = copyInto(temp.fd(), out.get(), times);
    if (failure.isEmpty() && !out.close()) failure = systemError();
    if (!failure.isEmpty()) {
        // Half written: the journal and the temporary stay, and the folder's next recovery finishes it.
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

void recover(const QByteArray& folder) {
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
    for (const QByteArray& journal : journals) {
        QByteArray temp, target;
        QString failure;
        if (settle(dir.get(), journal, temp, target, failure) == Journalled::Done) continue;
        if (!temp.isEmpty()) named.insert(temp);
        if (!failure.isEmpty()) failed[target] = failure;
    }

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

void recoverOnce(const QByteArray& folder) {
    {
        QMutexLocker lock(&state().mutex);
        if (state().recovered.count(folder) && !state().unfinished.count(folder)) return;
    }
    recover(folder);
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

#include "safewrite.h"

#include "safewrite_files.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <utility>

using safewrite::Fd;
using safewrite::systemFailure;
using safewrite::TempFile;

namespace {

WriteResult failure(WriteError error, const QString& detail) { return {error, detail}; }

// A file that the user may not write: no write bit (locked by its owner; even the superuser leaves
// it alone) or no access.
bool lockedFile(const char* path, const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path, W_OK) != 0;
}

WriteResult notRegular(const struct stat& st) {
    const char* kind = S_ISFIFO(st.st_mode)                         ? "a named pipe"
                       : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                       : S_ISDIR(st.st_mode)                        ? "a folder"
                       : S_ISSOCK(st.st_mode)                       ? "a socket"
                                                                    : "a special file";
    return failure(WriteError::OpenFailed, QStringLiteral("not a regular file: %1").arg(QLatin1String(kind)));
}

// syncfs reports write errors only from Linux 5.8 on; before, it returns 0 even when data was lost,
// and every temporary must be flushed on its own to learn whether it reached the disk.
bool syncfsReportsErrors() {
    static const bool reports = [] {
        struct utsname name {};
        int major = 0, minor = 0;
        return ::uname(&name) == 0 && std::sscanf(name.release, "%d.%d", &major, &minor) == 2 &&
               (major > 5 || (major == 5 && minor >= 8));
    }();
    return reports;
}

// Hands `verify` a path that reads the temporary through a descriptor of its own, so the check reads
// exactly the file written, whatever happens to its name meanwhile.
WriteResult verifyTemporary(const std::function<WriteResult(const QString&)>& verify, const TempFile& temp,
                            const QString& target) {
    const Fd copy(::fcntl(temp.fd(), F_DUPFD_CLOEXEC, 0));
    if (copy.get() < 0) return systemFailure(WriteError::VerifyFailed);
    const QString byDescriptor = QStringLiteral("/proc/self/fd/%1").arg(copy.get());
    struct stat viaProc {};
    // Without /proc, the name is all there is.
    const QString path = ::stat(QFile::encodeName(byDescriptor).constData(), &viaProc) == 0
                             ? byDescriptor
                             : QFile::decodeName(temp.path());
    WriteResult checked = verify(path);
    // The descriptor's path means nothing to a person: the report names the file being written.
    if (!checked && checked.detail == path) checked.detail = target;
    return checked;
}

// Puts the temporary in the target's place. With `createOnly`, atomically never over a file that
// appeared meanwhile; a file system that cannot say so in the rename (some network shares) is asked
// just before it. False with errno set.
bool renameOver(const QByteArray& temp, const QByteArray& target, bool createOnly) {
    if (!createOnly) return ::rename(temp.constData(), target.constData()) == 0;
    if (::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    struct stat there {};
    if (::lstat(target.constData(), &there) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(temp.constData(), target.constData()) == 0;
}

}  // namespace

QString describe(WriteError error) {
    switch (error) {
        case WriteError::None: return QStringLiteral("no error");
        case WriteError::OpenFailed: return QStringLiteral("cannot open the file");
        case WriteError::Locked: return QStringLiteral("the file is read-only");
        case WriteError::ShortRead: return QStringLiteral("the file could not be read completely");
        case WriteError::NotWalkable: return QStringLiteral("the file is not a complete JPEG picture");
        case WriteError::TooLarge: return QStringLiteral("the picture data is too large for the file format");
        case WriteError::CreateFailed: return QStringLiteral("cannot create a file in the folder");
        case WriteError::WriteFailed: return QStringLiteral("writing the new file failed");
        case WriteError::VerifyFailed: return QStringLiteral("the written file did not read back correctly");
        case WriteError::ReplaceFailed: return QStringLiteral("cannot replace the file");
        case WriteError::Busy: return QStringLiteral("another Snaplore run is writing the file; nothing was written");
    }
    return {};
}

QString describe(const WriteResult& result) {
    return result.detail.isEmpty() ? describe(result.error) : describe(result.error) + ": " + result.detail;
}

void recoverFolder(const QString& folder) {
    const QFileInfo info(folder);
    safewrite::recover(QFile::encodeName(info.exists() ? info.canonicalFilePath() : info.absoluteFilePath()));
}

WriteResult safeWrite(const QString& target, const std::function<bool(QFile&)>& produce,
                      const std::function<WriteResult(const QString&)>& verify, const SafeWriteOptions& options) {
    // Write through a symbolic link to the file it names, so the link stays a link; unless the link
    // itself is what gets replaced.
    const QFileInfo given(target);
    const QByteArray spelled = options.nativeName.isEmpty()
                                   ? QFile::encodeName(given.absoluteFilePath())
                                   : QFile::encodeName(given.absolutePath()) + '/' + options.nativeName;
    struct stat there {};
    const bool present = ::lstat(spelled.constData(), &there) == 0;
    const bool link = present && S_ISLNK(there.st_mode);
    if (options.createOnly && present) {
        errno = EEXIST;
        return systemFailure(WriteError::ReplaceFailed);
    }
    const bool exists = present && (!link || (!options.replaceLink && ::stat(spelled.constData(), &there) == 0));
    QByteArray nativeTarget = spelled;
    if (exists) {
        char* real = ::realpath(spelled.constData(), nullptr);
        if (!real) return systemFailure(WriteError::OpenFailed);
        nativeTarget = real;
        std::free(real);
    }
    const qsizetype slash = nativeTarget.lastIndexOf('/');
    const QByteArray nativeFolder = slash > 0 ? nativeTarget.first(slash) : QByteArray("/");
    const QByteArray targetName = nativeTarget.mid(slash + 1);
    const QString realTarget = QFile::decodeName(nativeTarget);
    const QString folder = QFile::decodeName(nativeFolder);

    // The target is looked at before it is opened, and opened without waiting, so that a pipe or
    // device under a picture's name never holds the program up nor gets written.
    struct stat targetStat {};
    if (exists) {
        if (::stat(nativeTarget.constData(), &targetStat) != 0) return systemFailure(WriteError::OpenFailed);
        if (!S_ISREG(targetStat.st_mode)) return notRegular(targetStat);
        if (lockedFile(nativeTarget.constData(), targetStat)) return failure(WriteError::Locked, {});
    }
    // Held from here (or from the caller's reading) until the target is replaced: another writer of
    // this program waits meanwhile, and then reads what this one wrote.
    std::shared_ptr<PictureLock> lock = options.targetLock;
    if (exists && !lock) {
        WriteResult locking;
        lock = lockTarget(realTarget, options.batch, locking);
        if (!locking) return locking;
    }
    const Fd targetFd(exists ? ::open(nativeTarget.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC) : -1);
    if (exists) {
        if (targetFd.get() < 0 || ::fstat(targetFd.get(), &targetStat) != 0)
            return systemFailure(WriteError::OpenFailed);
        if (!S_ISREG(targetStat.st_mode)) return notRegular(targetStat);  // swapped since
        if (lock && !lock->covers(targetStat))
            return failure(WriteError::ReplaceFailed, QStringLiteral("the file was replaced while it was being written"));
        const int flags = ::fcntl(targetFd.get(), F_GETFL);
        if (flags < 0 || ::fcntl(targetFd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
            return systemFailure(WriteError::OpenFailed);
    }
    struct stat timesStat = targetStat;
    bool haveTimes = exists;
    if (options.timesBefore) {
        timesStat = *options.timesBefore;
        haveTimes = true;
    } else if (!options.timesFrom.isEmpty()) {
        haveTimes = ::stat(QFile::encodeName(options.timesFrom).constData(), &timesStat) == 0;
    }
    const bool keepTimes = options.keepTimes && haveTimes;
    const struct timespec times[2] = {timesStat.st_atim, timesStat.st_mtim};

    // Leftovers of interrupted runs first: an unfinished rewrite of this very file must be finished
    // before it is written again.
    safewrite::recoverOnce(nativeFolder, exists && lock ? &targetStat : nullptr);
    if (const std::optional<QString> unfinished = safewrite::unfinishedRewrite(nativeFolder, targetName))
        return failure(WriteError::ReplaceFailed, *unfinished);
    // An interrupted rewrite of this very file, left since this process last looked (settled now,
    // under this write's lock).
    if (exists && lock)
        if (const std::optional<QString> unfinished = safewrite::settleJournalOf(nativeFolder, targetName, targetStat))
            return failure(WriteError::ReplaceFailed, *unfinished);

    SafeWriteBatch* const batch = options.batch;
    const int batchFolder = batch ? batch->folderIndex(folder) : -1;
    if (batch && batchFolder < 0) return systemFailure(WriteError::CreateFailed);
    const Fd ownFolder(batch ? -1 : ::open(nativeFolder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const int dirFd = batch ? batch->folders_[size_t(batchFolder)].fd : ownFolder.get();
    if (dirFd < 0) return systemFailure(WriteError::CreateFailed);

    QString createError;
    std::unique_ptr<TempFile> temp = TempFile::create(dirFd, nativeFolder, createError);
    if (!temp) return failure(WriteError::CreateFailed, createError);
    {
        safewrite::TempOutput out(temp->fd());
        const bool produced = produce(out);
        if (!produced || !out.failure().isEmpty()) return failure(WriteError::WriteFailed, out.failure());
    }
    // In a batch the flush to disk comes at commit, for all members at once; starting the writing
    // now lets the disk work while the next files are prepared. (Only a hint: the commit's flush
    // reports the errors.)
    if (batch)
        ::sync_file_range(temp->fd(), 0, 0, SYNC_FILE_RANGE_WRITE);
    else if (::fsync(temp->fd()) != 0)
        return systemFailure(WriteError::WriteFailed);

    if (verify)
        if (WriteResult checked = verifyTemporary(verify, *temp, realTarget); !checked) return checked;

    // A replacement must look like the file it replaces; a file with more names, or whose owner or
    // attributes this process cannot give a new file, is rewritten in place instead.
    bool inPlace = false;
    // A chosen name is the program's own output: another name of that file (a hard link) keeps its
    // old content rather than being rewritten with it.
    if (exists && targetStat.st_nlink > 1 && !options.replaceLink) {
        inPlace = true;
    } else if (exists) {
        safewrite::Reproduction reproduced;
        if (WriteResult r = safewrite::reproduceAttributes(targetFd.get(), targetStat, temp->fd(), reproduced); !r)
            return r;
        inPlace = reproduced == safewrite::Reproduction::NotPossible;
    } else {
        // A new file gets the usual permissions (umask applied).
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(temp->fd(), 0666 & ~mask) != 0) return systemFailure(WriteError::WriteFailed);
    }
    if (!inPlace && keepTimes && ::futimens(temp->fd(), times) != 0) return systemFailure(WriteError::WriteFailed);

    if (batch) {
        SafeWriteBatch::Member member;
        member.temp = std::move(temp);
        member.target = target;
        member.nativeTarget = nativeTarget;
        member.targetName = targetName;
        member.folder = batchFolder;
        member.inPlace = inPlace;
        member.targetStat = targetStat;
        member.keepTimes = keepTimes;
        member.times[0] = times[0];
        member.times[1] = times[1];
        member.createOnly = options.createOnly;
        member.replaceLink = options.replaceLink;
        member.lock = std::move(lock);
        batch->add(std::move(member));
        return {};
    }
    if (inPlace) return safewrite::rewriteInPlace(dirFd, nativeFolder, *temp, targetName, targetStat,
                                                  keepTimes ? times : nullptr);
    if (!renameOver(temp->path(), nativeTarget, options.createOnly)) return systemFailure(WriteError::ReplaceFailed);
    temp->renamed();
    if (!safewrite::syncFolderFd(dirFd)) return systemFailure(WriteError::WriteFailed);
    return {};
}

SafeWriteBatch::SafeWriteBatch(Committed committed) : SafeWriteBatch(std::move(committed), Limits{}) {}

SafeWriteBatch::SafeWriteBatch(Committed committed, Limits limits)
    : committed_(std::move(committed)), limits_(limits) {}

SafeWriteBatch::~SafeWriteBatch() { clear(); }

void SafeWriteBatch::clear() {
    members_.clear();  // each temporary still there removes itself
    for (const Folder& f : folders_) ::close(f.fd);
    folders_.clear();
    pendingBytes_ = 0;
}

bool SafeWriteBatch::holds(const QString& target) const {
    QFileInfo info(target);
    const QByteArray native = QFile::encodeName(info.exists() ? info.canonicalFilePath() : info.absoluteFilePath());
    struct stat st {};
    const bool there = ::stat(native.constData(), &st) == 0;
    for (const Member& m : members_) {
        if (m.nativeTarget == native) return true;
        // Another name of a file waiting here (a hard link): its lock is this batch's.
        if (there && m.targetStat.st_ino != 0 && m.targetStat.st_dev == st.st_dev && m.targetStat.st_ino == st.st_ino)
            return true;
    }
    return false;
}

std::unique_ptr<PictureLock> lockTarget(const QString& target, SafeWriteBatch* batch, WriteResult& failure) {
    return PictureLock::acquire(target, failure, PictureLock::kWaitMs, [batch] {
        if (batch && batch->size() > 0) batch->commitEarly();
    });
}

void SafeWriteBatch::commitEarly() {
    std::vector<Outcome> done = commitStaged();
    if (committed_) {
        if (!done.empty()) committed_(std::move(done));
        return;
    }
    early_.insert(early_.end(), std::make_move_iterator(done.begin()), std::make_move_iterator(done.end()));
}

std::vector<SafeWriteBatch::Outcome> SafeWriteBatch::commit() {
    if (committed_) {
        commitEarly();
        return {};
    }
    std::vector<Outcome> outcomes = std::move(early_);
    early_.clear();
    std::vector<Outcome> now = commitStaged();
    outcomes.insert(outcomes.end(), std::make_move_iterator(now.begin()), std::make_move_iterator(now.end()));
    return outcomes;
}

int SafeWriteBatch::folderIndex(const QString& folder) {
    for (size_t i = 0; i < folders_.size(); ++i)
        if (folders_[i].path == folder) return int(i);
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    folders_.push_back({folder, fd, st.st_dev, false});
    return int(folders_.size() - 1);
}

void SafeWriteBatch::add(Member member) {
    struct stat st {};
    if (::fstat(member.temp->fd(), &st) == 0) {
        pendingBytes_ += st.st_size;
        member.tempDevice = st.st_dev;
        member.tempInode = st.st_ino;
    }
    members_.push_back(std::move(member));
    if (size() >= limits_.files || pendingBytes_ >= limits_.bytes) commitEarly();
}

std::vector<SafeWriteBatch::Outcome> SafeWriteBatch::commitStaged() {
    std::vector<Outcome> outcomes;
    outcomes.reserve(members_.size());
    for (const Member& m : members_) outcomes.push_back({m.target, {}});

    // 1. Every temporary on disk, with its permissions and times. One syncfs per file system, through
    // a folder opened before its temporaries were made, so that it reports their write errors. When
    // it fails, or cannot report errors, each temporary is flushed on its own: that names the
    // members whose data did not reach the disk.
    std::map<dev_t, bool> systemSynced;
    if (syncfsReportsErrors())
        for (const Folder& f : folders_)
            if (!systemSynced.count(f.device)) systemSynced[f.device] = ::syncfs(f.fd) == 0;
    for (size_t i = 0; i < members_.size(); ++i) {
        const auto synced = systemSynced.find(folders_[members_[i].folder].device);
        if (synced != systemSynced.end() && synced->second) continue;
        if (::fsync(members_[i].temp->fd()) != 0) outcomes[i].result = systemFailure(WriteError::WriteFailed);
    }

    // 2. Each complete temporary takes its target's place, or is written into it, unless the target
    // was locked meanwhile.
    for (size_t i = 0; i < members_.size(); ++i) {
        Member& m = members_[i];
        if (!outcomes[i].result) continue;
        struct stat st {};
        if (::fstatat(AT_FDCWD, m.nativeTarget.constData(), &st, m.replaceLink ? AT_SYMLINK_NOFOLLOW : 0) == 0 &&
            !S_ISLNK(st.st_mode) && lockedFile(m.nativeTarget.constData(), st)) {
            outcomes[i].result = failure(WriteError::Locked, {});
            continue;
        }
        Folder& folder = folders_[size_t(m.folder)];
        if (m.inPlace) {
            outcomes[i].result = safewrite::rewriteInPlace(folder.fd, QFile::encodeName(folder.path), *m.temp,
                                                           m.targetName, m.targetStat,
                                                           m.keepTimes ? m.times : nullptr);
            outcomes[i].device = m.targetStat.st_dev;
            outcomes[i].inode = m.targetStat.st_ino;
            continue;
        }
        if (!renameOver(m.temp->path(), m.nativeTarget, m.createOnly)) {
            outcomes[i].result = systemFailure(WriteError::ReplaceFailed);
            continue;
        }
        m.temp->renamed();
        folder.renamed = true;
        outcomes[i].device = m.tempDevice;
        outcomes[i].inode = m.tempInode;
    }

    // 3. The renames on disk: each folder once. A folder that cannot be flushed fails the members
    // renamed in it: their new names may not survive a crash.
    for (size_t f = 0; f < folders_.size(); ++f) {
        if (!folders_[f].renamed || safewrite::syncFolderFd(folders_[f].fd)) continue;
        const WriteResult failed = systemFailure(WriteError::WriteFailed);
        for (size_t i = 0; i < members_.size(); ++i)
            if (size_t(members_[i].folder) == f && !members_[i].inPlace && outcomes[i].result)
                outcomes[i].result = failed;
    }

    clear();  // failed members' temporaries are removed here
    return outcomes;
}

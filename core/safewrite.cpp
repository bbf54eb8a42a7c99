#include "safewrite.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

WriteResult failure(WriteError error, const QString& detail) { return {error, detail}; }

// A file that the user may not write: no write bit (locked by its owner; even the superuser leaves
// it alone) or no access.
bool lockedFile(const char* path, const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path, W_OK) != 0;
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

void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
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
    }
    return {};
}

QString describe(const WriteResult& result) {
    return result.detail.isEmpty() ? describe(result.error) : describe(result.error) + ": " + result.detail;
}

WriteResult safeWrite(const QString& target, const std::function<bool(QFile&)>& produce,
                      const std::function<WriteResult(const QString&)>& verify, const SafeWriteOptions& options) {
    // Write through a symbolic link to the file it names, so the link stays a link.
    QFileInfo info(target);
    const bool exists = info.exists();
    const QString realTarget = exists ? info.canonicalFilePath() : info.absoluteFilePath();
    const QByteArray nativeTarget = QFile::encodeName(realTarget);

    struct stat targetStat {};
    if (exists) {
        if (::stat(nativeTarget.constData(), &targetStat) != 0) return failure(WriteError::OpenFailed, systemError());
        if (lockedFile(nativeTarget.constData(), targetStat)) return failure(WriteError::Locked, {});
    }
    struct stat timesStat = targetStat;
    bool haveTimes = exists;
    if (options.timesBefore) {
        timesStat = *options.timesBefore;
        haveTimes = true;
    } else if (!options.timesFrom.isEmpty()) {
        haveTimes = ::stat(QFile::encodeName(options.timesFrom).constData(), &timesStat) == 0;
    }

    const QString folder = QFileInfo(realTarget).absolutePath();
    SafeWriteBatch* const batch = options.batch;
    const int batchFolder = batch ? batch->folderIndex(folder) : -1;
    if (batch && batchFolder < 0) return failure(WriteError::CreateFailed, systemError());
    auto tempFile = std::make_unique<QTemporaryFile>(folder + "/." + QFileInfo(realTarget).fileName() + ".XXXXXX");
    QTemporaryFile& temp = *tempFile;
    temp.setAutoRemove(true);
    if (!temp.open()) return failure(WriteError::CreateFailed, temp.errorString());

    if (!produce(temp) || temp.error() != QFileDevice::NoError || !temp.flush())
        return failure(WriteError::WriteFailed, temp.errorString());
    // In a batch the flush to disk comes at commit, for all members at once; starting the writing
    // now lets the disk work while the next files are prepared.
    if (batch)
        ::sync_file_range(temp.handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
    else if (::fsync(temp.handle()) != 0)
        return failure(WriteError::WriteFailed, systemError());

    if (verify) {
        WriteResult checked = verify(temp.fileName());
        if (!checked) return checked;
    }

    // The permissions of the file being replaced; a new file gets the usual ones (umask applied).
    mode_t mode;
    if (exists) {
        mode = targetStat.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(temp.handle(), mode) != 0) return failure(WriteError::WriteFailed, systemError());
    if (options.keepTimes && haveTimes) {
        const struct timespec times[2] = {timesStat.st_atim, timesStat.st_mtim};
        if (::futimens(temp.handle(), times) != 0) return failure(WriteError::WriteFailed, systemError());
    }

    if (batch) {
        batch->add(std::move(tempFile), target, nativeTarget, batchFolder);
        return {};
    }
    if (::rename(QFile::encodeName(temp.fileName()).constData(), nativeTarget.constData()) != 0)
        return failure(WriteError::ReplaceFailed, systemError());
    temp.setAutoRemove(false);
    syncFolder(folder);
    return {};
}

SafeWriteBatch::SafeWriteBatch() = default;

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
    for (const Member& m : members_)
        if (m.nativeTarget == native) return true;
    return false;
}

int SafeWriteBatch::folderIndex(const QString& folder) {
    for (size_t i = 0; i < folders_.size(); ++i)
        if (folders_[i].path == folder) return int(i);
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return -1;
    }
    folders_.push_back({folder, fd, st.st_dev, false});
    return int(folders_.size() - 1);
}

void SafeWriteBatch::add(std::unique_ptr<QTemporaryFile> temp, const QString& target, const QByteArray& nativeTarget,
                         int folder) {
    pendingBytes_ += temp->size();
    members_.push_back({std::move(temp), target, nativeTarget, folder});
}

std::vector<SafeWriteBatch::Outcome> SafeWriteBatch::commit() {
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
        if (::fsync(members_[i].temp->handle()) != 0)
            outcomes[i].result = failure(WriteError::WriteFailed, systemError());
    }

    // 2. Each complete temporary takes its target's place, unless the target was locked meanwhile.
    for (size_t i = 0; i < members_.size(); ++i) {
        Member& m = members_[i];
        if (!outcomes[i].result) continue;
        struct stat st {};
        if (::stat(m.nativeTarget.constData(), &st) == 0 && lockedFile(m.nativeTarget.constData(), st)) {
            outcomes[i].result = failure(WriteError::Locked, {});
            continue;
        }
        if (::rename(QFile::encodeName(m.temp->fileName()).constData(), m.nativeTarget.constData()) != 0) {
            outcomes[i].result = failure(WriteError::ReplaceFailed, systemError());
            continue;
        }
        m.temp->setAutoRemove(false);
        folders_[m.folder].renamed = true;
    }

    // 3. The renames on disk: each folder once.
    for (const Folder& f : folders_)
        if (f.renamed) ::fsync(f.fd);

    clear();  // failed members' temporaries are removed here
    return outcomes;
}

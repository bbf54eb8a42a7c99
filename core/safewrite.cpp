#include "safewrite.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

WriteResult failure(WriteError error, const QString& detail) { return {error, detail}; }

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
        // A file without any write bit is locked by its owner; even the superuser leaves it alone.
        if ((targetStat.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(nativeTarget.constData(), W_OK) != 0)
            return failure(WriteError::Locked, {});
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
    QTemporaryFile temp(folder + "/." + QFileInfo(realTarget).fileName() + ".XXXXXX");
    temp.setAutoRemove(true);
    if (!temp.open()) return failure(WriteError::CreateFailed, temp.errorString());

    if (!produce(temp) || temp.error() != QFileDevice::NoError || !temp.flush())
        return failure(WriteError::WriteFailed, temp.errorString());
    if (::fsync(temp.handle()) != 0) return failure(WriteError::WriteFailed, systemError());

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

    if (::rename(QFile::encodeName(temp.fileName()).constData(), nativeTarget.constData()) != 0)
        return failure(WriteError::ReplaceFailed, systemError());
    temp.setAutoRemove(false);
    syncFolder(folder);
    return {};
}

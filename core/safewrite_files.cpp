#include "safewrite_files.h"

#include "safewrite.h"

#include <QDir>
#include <QFileInfo>
#include <QCryptographicHash>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

bool nameTaken(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

namespace safewrite {

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

WriteResult systemFailure(WriteError error) { return {error, systemError()}; }

namespace {

constexpr char kTempPrefix[] = ".snaplore-";
constexpr char kTempSuffix[] = ".tmp";
constexpr char kJournalSuffix[] = ".journal";

bool hasOwnName(const QByteArray& name, const char* suffix) {
    const qsizetype prefix = qsizetype(std::strlen(kTempPrefix));
    const qsizetype tail = qsizetype(std::strlen(suffix));
    return name.size() > prefix + tail && name.startsWith(kTempPrefix) && name.endsWith(suffix) &&
           !name.contains('/');
}

}  // namespace

bool isTempName(const QByteArray& name) { return hasOwnName(name, kTempSuffix); }

bool isJournalName(const QByteArray& name) { return hasOwnName(name, kJournalSuffix); }

QByteArray journalNameFor(const QByteArray& targetName) {
    return kTempPrefix + QCryptographicHash::hash(targetName, QCryptographicHash::Sha256).toHex().first(24) +
           kJournalSuffix;
}

std::unique_ptr<TempFile> TempFile::create(int dirFd, const QByteArray& folder, QString& error) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = kTempPrefix;
        for (int i = 0; i < 12; ++i) name += kLetters[QRandomGenerator::global()->bounded(36)];
        name += kTempSuffix;
        const int fd = ::openat(dirFd, name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            error = systemError();
            return nullptr;
        }
        // A file system without flock gives no lock here, nor to a cleaner elsewhere, which then leaves
        // the temporary alone: going on unlocked is safe.
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        // Another run clearing the folder may have found it in the moment before the lock and removed
        // it: then it has no name any more, and another is made.
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            error = systemError();
            ::unlinkat(dirFd, name.constData(), 0);
            ::close(fd);
            return nullptr;
        }
        if (st.st_nlink == 0) {
            ::close(fd);
            continue;
        }
        return std::unique_ptr<TempFile>(new TempFile(fd, folder, std::move(name)));
    }
    errno = EEXIST;
    error = systemError();
    return nullptr;
}

TempFile::~TempFile() {
    if (remove_) ::unlink(path().constData());
    ::close(fd_);  // releases the lock, after the name is gone
}

bool TempFile::remove() {
    if (::unlink(path().constData()) != 0) return false;
    remove_ = false;
    return true;
}

TempOutput::TempOutput(int fd) : fd_(fd) {
    open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);
}

qint64 TempOutput::writeData(const char* data, qint64 length) {
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd_, data + done, size_t(length - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;  // a regular file that takes nothing: never waits for room
        if (failure_.isEmpty()) failure_ = systemError();
        setErrorString(failure_);
        return done > 0 ? done : -1;
    }
    return done;
}

namespace {

bool unsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

// The names of a file's extended attributes; empty on a file system without them, nothing when
// they cannot be listed.
std::optional<std::vector<QByteArray>> attributeNames(int fd) {
    for (;;) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0) {
            if (unsupported(errno)) return std::vector<QByteArray>{};
            return std::nullopt;
        }
        QByteArray list(size, '\0');
        const ssize_t got = size == 0 ? 0 : ::flistxattr(fd, list.data(), size_t(list.size()));
        if (got < 0) {
            if (errno == ERANGE) continue;  // grew in between
            return std::nullopt;
        }
        list.truncate(got);
        std::vector<QByteArray> names;
        for (const QByteArray& name : list.split('\0'))
            if (!name.isEmpty()) names.push_back(name);
        return names;
    }
}

std::optional<QByteArray> attributeValue(int fd, const QByteArray& name) {
    for (;;) {
        const ssize_t size = ::fgetxattr(fd, name.constData(), nullptr, 0);
        if (size < 0) return std::nullopt;
        QByteArray value(size, '\0');
        const ssize_t got = size == 0 ? 0 : ::fgetxattr(fd, name.constData(), value.data(), size_t(value.size()));
        if (got < 0) {
            if (errno == ERANGE) continue;
            return std::nullopt;
        }
        value.truncate(got);
        return value;
    }
}

bool reproduceExtendedAttributes(int targetFd, int tempFd) {
    const auto names = attributeNames(targetFd);
    const auto tempNames = attributeNames(tempFd);
    if (!names || !tempNames) return false;
    const auto has = [](const std::vector<QByteArray>& list, const QByteArray& name) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    // What the new file got without asking (an ACL from the folder's default) and the target lacks.
    for (const QByteArray& name : *tempNames)
        if (!has(*names, name) && ::fremovexattr(tempFd, name.constData()) != 0 && errno != ENODATA) return false;
    for (const QByteArray& name : *names) {
        const std::optional<QByteArray> value = attributeValue(targetFd, name);
        if (!value) return false;
        // Labels the system already gave alike need not be set, which it might refuse.
        if (has(*tempNames, name) && attributeValue(tempFd, name) == value) continue;
        if (::fsetxattr(tempFd, name.constData(), value->constData(), size_t(value->size()), 0) != 0) return false;
    }
    return true;
}

}  // namespace

WriteResult reproduceAttributes(int targetFd, const struct stat& target, int tempFd, Reproduction& outcome) {
    outcome = Reproduction::NotPossible;
    struct stat temp {};
    if (::fstat(tempFd, &temp) != 0) return systemFailure(WriteError::WriteFailed);
    // Owner first, as it clears the set-id bits. Only the superuser gives a file away; others choose
    // only among their own groups.
    if ((temp.st_uid != target.st_uid || temp.st_gid != target.st_gid) &&
        ::fchown(tempFd, target.st_uid, target.st_gid) != 0)
        return {};
    // The permissions before the ACL: changing them rewrites the ACL's mask.
    if (::fchmod(tempFd, target.st_mode & 07777) != 0) return systemFailure(WriteError::WriteFailed);
    if (!reproduceExtendedAttributes(targetFd, tempFd)) return {};
    if (::fstat(tempFd, &temp) != 0) return systemFailure(WriteError::WriteFailed);
    if ((temp.st_mode & 07777) == (target.st_mode & 07777) && temp.st_uid == target.st_uid &&
        temp.st_gid == target.st_gid)
        outcome = Reproduction::Done;
    return {};
}

bool syncFolderFd(int dirFd) { return ::fsync(dirFd) == 0 || errno == EINVAL; }

}  // namespace safewrite

#include "cdburn.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "catalog.h"
#include "safewrite.h"
#include "shippedfiles.h"

namespace cdburn {

namespace {

QString systemWords(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Removes everything in the open folder `dirFd` (named `path` for the messages) without following
// a link anywhere: every entry is looked at and opened relative to its own folder.
void removeContents(int dirFd, const QString& path, QStringList& failures) {
    const int listFd = ::dup(dirFd);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        failures.append(QStringLiteral("%1: %2").arg(path, systemWords(errno)));
        if (listFd >= 0) ::close(listFd);
        return;
    }
    QList<QByteArray> names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") names.append(name);
    }
    ::closedir(dir);

    for (const QByteArray& name : names) {
        const QString entryPath = path + QLatin1Char('/') + QFile::decodeName(name);
        struct stat st {};
        if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) failures.append(QStringLiteral("%1: %2").arg(entryPath, systemWords(errno)));
            continue;
        }
        int flags = 0;
        if (S_ISDIR(st.st_mode)) {
            // A read-only folder can be neither listed nor emptied until it is ours to write again.
            if ((st.st_mode & S_IRWXU) != S_IRWXU) ::fchmodat(dirFd, name.constData(), st.st_mode | S_IRWXU, 0);
            const int sub = ::openat(dirFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0) {
                failures.append(QStringLiteral("%1: %2").arg(entryPath, systemWords(errno)));
                continue;
            }
            removeContents(sub, entryPath, failures);
            ::close(sub);
            flags = AT_REMOVEDIR;
        } else if (S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)) {
            // A read-only file loses that first, as a user would expect of "remove them".
            ::fchmodat(dirFd, name.constData(), st.st_mode | S_IWUSR, 0);
        }
        if (::unlinkat(dirFd, name.constData(), flags) != 0 && errno != ENOENT)
            failures.append(QStringLiteral("%1: %2").arg(entryPath, systemWords(errno)));
    }
}

constexpr char kPrivatePrefix[] = "snaplore-cd-";

// Locks the open folder without waiting; false when another process holds it. A file system without
// locks gives none: such a folder is never taken for stale.
bool lockNow(int fd) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        if (errno != EINTR) return false;
    return true;
}

}  // namespace

PrivateStaging::PrivateStaging(const QString& parent) {
    removeStaleStaging(parent);
    const QByteArray base = QFile::encodeName(QDir(parent).absolutePath()) + '/' + kPrivatePrefix;
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = base + "XXXXXX";
        if (!::mkdtemp(name.data())) {
            error_ = systemWords(errno);
            return;
        }
        const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            error_ = systemWords(errno);
            ::rmdir(name.constData());
            return;
        }
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        // Another run clearing stale folders may have taken it in the moment before the lock: then it
        // is gone, and another is made.
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_nlink > 0) {
            fd_ = fd;
            path_ = QFile::decodeName(name);
            return;
        }
        ::close(fd);
    }
    error_ = systemWords(EEXIST);
}

PrivateStaging::~PrivateStaging() {
    if (fd_ < 0) return;
    QStringList failures;
    removeContents(fd_, path_, failures);
    ::rmdir(QFile::encodeName(path_).constData());
    ::close(fd_);  // releases the lock, after the folder is gone
}

QStringList removeStaleStaging(const QString& parent) {
    QStringList removed;
    const int parentFd = ::open(QFile::encodeName(parent).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0) return removed;
    QList<QByteArray> names;
    const int listFd = ::dup(parentFd);
    if (DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr) {
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name.startsWith(kPrivatePrefix) && name.size() > qsizetype(sizeof kPrivatePrefix - 1)) names.append(name);
        }
        ::closedir(dir);
    } else if (listFd >= 0) {
        ::close(listFd);
    }
    for (const QByteArray& name : names) {
        struct stat st {};
        if (::fstatat(parentFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
            st.st_uid != ::getuid())
            continue;
        const int fd = ::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat held {};
        // Still the folder looked at, and nobody's: everything in it goes, under the lock.
        if (lockNow(fd) && ::fstat(fd, &held) == 0 && held.st_dev == st.st_dev && held.st_ino == st.st_ino &&
            held.st_nlink > 0) {
            const QString path = QDir(parent).filePath(QFile::decodeName(name));
            QStringList failures;
            removeContents(fd, path, failures);
            if (::unlinkat(parentFd, name.constData(), AT_REMOVEDIR) == 0) removed << path;
        }
        ::close(fd);
    }
    ::close(parentFd);
    return removed;
}

QString stagingFolderFor(const QString& dataFolder) {
    const QString base = dataFolder.trimmed();
    if (base.isEmpty()) return {};
    return QDir(base).filePath(kStagingName).trimmed();
}

QString defaultStagingFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty()) return {};
    return stagingFolderFor(QDir(data).filePath(QStringLiteral("Snaplore")));
}

int countEntries(const QString& folder) {
    if (folder.isEmpty()) return 0;
    return int(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).size());
}

EmptyResult emptyStagingFolder(const QString& folder, const QString& ownFolder) {
    EmptyResult result;
    const QString path = folder.trimmed();
    if (path.isEmpty() || ownFolder.trimmed().isEmpty()) {
        result.message = QStringLiteral("There is no folder for the files to be written to the CD.");
        return result;
    }
    const QFileInfo info(path);
    if (info.isSymLink()) {
        result.message = QStringLiteral("The folder of the files to be written to the CD, %1, is a link; nothing was "
                                        "removed.").arg(path);
        return result;
    }
    const QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty() || !info.isDir()) {
        result.message = QStringLiteral("The folder of the files to be written to the CD, %1, cannot be found.").arg(path);
        return result;
    }
    const QString own = QFileInfo(ownFolder.trimmed()).canonicalFilePath();
    if (own.isEmpty() || canonical != own || canonical == QDir::rootPath() || canonical == QDir::homePath()) {
        result.message = QStringLiteral("%1 is not the program's folder of files to be written to the CD; nothing "
                                        "was removed.").arg(path);
        return result;
    }
    const int fd = ::open(QFile::encodeName(canonical).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        result.message = QStringLiteral("The files to be written to the CD could not be removed: %1: %2")
                             .arg(path, systemWords(errno));
        return result;
    }
    QStringList failures;
    removeContents(fd, path, failures);
    ::close(fd);
    if (!failures.isEmpty()) {
        result.message = QStringLiteral("These files to be written to the CD could not be removed:\n") +
                         failures.join(QLatin1Char('\n'));
        return result;
    }
    result.ok = true;
    return result;
}

QString findAutorunScript(const QString& programFolder) { return findShippedFile(programFolder, kAutorunName); }

StagingReport finishStaging(const QString& staging, const StagingOptions& options) {
    StagingReport report;
    if (options.createCatalogs) {
        QStringList folders;
        const QFileInfoList subs = QDir(staging).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& sub : subs)
            if (!sub.isSymLink()) folders << sub.absoluteFilePath();
        folders << QDir(staging).absolutePath();
        for (const QString& folder : folders) {
            Catalog catalog;
            const CatalogCreateReport created = catalog.create(folder, true);
            if (created.ok())
                report.catalogs << folder;
            else
                report.problems << QStringLiteral("The catalog of %1 could not be written: %2").arg(folder, describe(created.write));
        }
    }
    if (options.addAutorun) {
        const QString target = QDir(staging).filePath(kAutorunName);
        QFile source(options.autorunScript);
        if (options.autorunScript.isEmpty() || !source.open(QIODevice::ReadOnly)) {
            report.problems << (options.autorunScript.isEmpty()
                                    ? QStringLiteral("The autorun script of the program was not found; the CD gets none.")
                                    : QStringLiteral("The autorun script %1 could not be read: %2")
                                          .arg(options.autorunScript, source.errorString()));
        } else {
            const QByteArray script = source.readAll();
            // An earlier copy made read-only is still the program's own file to replace.
            if (!QFileInfo(target).isSymLink() && QFileInfo(target).isFile() &&
                !(QFile::permissions(target) & QFileDevice::WriteOwner))
                QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
            SafeWriteOptions write;
            write.keepTimes = false;
            write.replaceLink = true;  // a link of that name would lead the write out of the staging folder
            const WriteResult result = safeWrite(target, [&](QFile& file) { return file.write(script) == script.size(); },
                                                 {}, write);
            const QFileDevice::Permissions executable =
                QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
            if (!result)
                report.problems << QStringLiteral("The autorun script could not be copied to %1: %2").arg(target, describe(result));
            else if (!QFile::setPermissions(target, executable))
                report.problems << QStringLiteral("The autorun script %1 could not be made executable.").arg(target);
        }
    }
    return report;
}

}  // namespace cdburn

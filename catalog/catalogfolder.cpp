#include "catalogfolder.h"

#include "safewrite.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace catalogfolder {

QString absoluteFolder(const QString& folder) { return QDir::cleanPath(QFileInfo(folder).absoluteFilePath()); }

QString joinPath(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

bool isRegularFile(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

WriteResult namesRefused(const QString& folder) {
    for (const char* name : {CatalogFile::kFileName, CatalogFile::kOldFileName}) {
        const QString path = joinPath(folder, QString::fromLatin1(name));
        struct stat st {};
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0) continue;
        if (S_ISLNK(st.st_mode))
            return {WriteError::ReplaceFailed,
                    QStringLiteral("%1 is a symbolic link; a catalog is written only inside its folder").arg(path)};
        if (!S_ISREG(st.st_mode)) return {WriteError::ReplaceFailed, QStringLiteral("%1 is not a regular file").arg(path)};
    }
    return {};
}

QString damageText(const QString& path, qint32 wholeEntries, CatalogError error) {
    return QStringLiteral("%1 is damaged after %2 whole entries: %3").arg(path).arg(wholeEntries).arg(describe(error));
}

WriteResult damaged(const QString& path, qint32 wholeEntries, CatalogError error) {
    return {WriteError::ShortRead, damageText(path, wholeEntries, error)};
}

namespace {

// A catalog whose bytes could not all be read gives a rewrite nothing to stand on.
WriteResult readToTheEnd(const OwnCatalog& own) {
    if (!own.map.faulted()) return {};
    return {WriteError::ShortRead, QStringLiteral("%1: %2").arg(own.located.path, describe(CatalogError::ReadFailed))};
}

}  // namespace

WriteResult readOwn(const QString& folder, OwnCatalog& own) {
    own.located = CatalogFile::locate(folder);
    if (own.located.version == 0) return {};
    if (!own.map.open(own.located.path))
        return {WriteError::OpenFailed, QStringLiteral("%1 cannot be read: %2").arg(own.located.path, systemError())};
    CatalogReader reader(own.map.bytes());
    const CatalogError headerError = reader.readHeader(own.header);
    if (headerError == CatalogError::NoCatalog) {  // emptied since it was looked at
        own.located.version = 0;
        return {};
    }
    if (headerError != CatalogError::None) return damaged(own.located.path, 0, headerError);
    own.entries.reserve(size_t(reader.entriesToReserve(own.header.count)));
    for (qint32 i = 0; i < own.header.count; ++i) {
        CatalogEntry entry;
        const CatalogError error = reader.readEntry(entry);
        if (error != CatalogError::None) return damaged(own.located.path, i, error);
        if (!CatalogFile::safeRelativePath(entry.name).isEmpty()) own.entries.push_back(entry);
    }
    return readToTheEnd(own);
}


WriteResult readForRewrite(const QString& folder, OwnCatalog& own, QString& refusedCatalog) {
    const WriteResult refused = namesRefused(folder);
    if (!refused) return refused;
    const WriteResult read = readOwn(folder, own);
    if (!read) refusedCatalog = own.located.path;
    return read;
}

void removeOldName(const QString& folder) {
    // unlink does not follow links, and links were refused before.
    const QByteArray old = QFile::encodeName(joinPath(folder, QString::fromLatin1(CatalogFile::kOldFileName)));
    struct stat st {};
    if (::lstat(old.constData(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(old.constData());
}

std::unique_lock<std::mutex> lockWrites() {
    static std::mutex writes;
    return std::unique_lock<std::mutex>(writes);
}

namespace {

// A catalog just written reads back as a whole version 3 catalog.
WriteResult verify(const QString& tempPath) {
    QFile file(tempPath);
    if (!file.open(QIODevice::ReadOnly) ||
        CatalogFile::versionOf(file.read(CatalogFile::kV3HeaderSize), quint64(file.size())) != 3)
        return {WriteError::VerifyFailed, tempPath};
    return {};
}

}  // namespace

WriteResult writeCatalog(const QString& folder, const OwnCatalog& own, const std::function<bool(QFile&)>& produce) {
    SafeWriteOptions options;
    options.keepTimes = false;
    const WriteResult written = safeWrite(
        joinPath(folder, QString::fromLatin1(CatalogFile::kFileName)),
        [&](QFile& out) { return produce(out) && !own.map.faulted(); }, verify, options);
    const WriteResult read = readToTheEnd(own);
    return read ? written : read;
}

}  // namespace catalogfolder

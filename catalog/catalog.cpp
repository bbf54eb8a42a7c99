#include "catalog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "safewrite.h"

namespace {

// The catalog held whole in memory and served back through a QFile: a picture read from a catalog
// takes the catalog file's name (which tells it not to decode anything), and every read stops at a
// limit, the end of the entry being read, so a damaged header cannot read into the next entry.
class HeldCatalogFile final : public QFile {
public:
    HeldCatalogFile(const QString& path, const QByteArray& bytes) : QFile(path), bytes_(bytes), limit_(bytes.size()) {}

    // The file itself is opened too, so that the QFile behaves as an open file in every other respect.
    bool openHeld() { return QFile::open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
    void setLimit(qint64 limit) { limit_ = std::clamp<qint64>(limit, 0, bytes_.size()); }

    qint64 size() const override { return bytes_.size(); }
    bool seek(qint64 pos) override { return pos >= 0 && pos <= bytes_.size() && QIODevice::seek(pos); }
    bool atEnd() const override { return pos() >= limit_; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 at = pos();
        if (at >= limit_ || maxSize <= 0) return 0;
        const qint64 n = std::min(maxSize, limit_ - at);
        std::memcpy(data, bytes_.constData() + at, size_t(n));
        return n;
    }
    qint64 readLineData(char* data, qint64 maxSize) override { return QIODevice::readLineData(data, maxSize); }

private:
    const QByteArray& bytes_;
    qint64 limit_;
};

QString absoluteFolder(const QString& folder) { return QDir::cleanPath(QFileInfo(folder).absoluteFilePath()); }

QString joinPath(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QByteArray readWhole(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The picture file's first `length` bytes, or nothing when they cannot all be read: an entry's
// header length must always be the number of header bytes that follow it.
QByteArray headerCopy(const QString& path, quint64 length) {
    if (length == 0) return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || length > quint64(file.size())) return {};
    QByteArray bytes = file.read(qint64(length));
    return bytes.size() == qsizetype(length) ? bytes : QByteArray();
}

bool isJpegName(const QString& name) { return name.size() >= 4 && name.right(4).toLower() == QLatin1String(".jpg"); }

// Copies the entries of a subfolder's catalog, naming each after the subfolder unless it lies
// elsewhere (an archive location). False only when writing failed.
bool copySubfolderEntries(CatalogWriter& writer, const QString& folder, const QString& subfolder,
                          QStringList& leftOut) {
    // A link back to the folder or above it would feed the catalog into itself, growing on every create.
    const QString own = QFileInfo(folder).canonicalFilePath();
    const QString linked = QFileInfo(joinPath(folder, subfolder)).canonicalFilePath();
    if (linked.isEmpty() || own == linked || own.startsWith(joinPath(linked, {}))) return true;
    const CatalogFile::Located located = CatalogFile::locate(joinPath(folder, subfolder));
    if (located.version == 0) return true;
    if (!CatalogFile::canHoldName(subfolder)) {
        leftOut << subfolder;
        return true;
    }
    const QByteArray bytes = readWhole(located.path);
    CatalogReader reader(bytes);
    CatalogHeader header;
    if (reader.readHeader(header) != CatalogError::None) return true;
    const QByteArray prefix = subfolder.toUtf8() + '\\';
    for (qint32 i = 0; i < header.count; ++i) {
        CatalogEntry entry;
        if (reader.readEntry(entry) != CatalogError::None) break;
        // An entry that loading would skip is not passed on.
        if (CatalogFile::safeRelativePath(entry.name).isEmpty()) continue;
        const QByteArray name =
            entry.archiveLocation.isEmpty() ? prefix + entry.name.toByteArray() : entry.name.toByteArray();
        if (!writer.writeEntry(name, entry.archiveName, entry.archiveLocation, entry.fileSize, entry.header) &&
            writer.failed())
            return false;
    }
    return true;
}

bool modificationTime(const QString& path, struct timespec& time) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return false;
    time = st.st_mtim;
    return true;
}

bool later(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

WriteResult lineFeedRefused() {
    return {WriteError::TooLarge, QStringLiteral("a catalog line cannot hold a line feed")};
}

}  // namespace

void Catalog::resetFields() {
    catalogPath_.clear();
    folder_.clear();
    count_ = 0;
    totalSize_ = 0;
    fileLength_ = 0;
    fault_ = CatalogError::None;
    unsafeNames_ = 0;
}

PictureList Catalog::clear() {
    resetFields();
    return takePictures();
}

PictureList Catalog::takePictures() {
    PictureList taken;
    taken.swap(pictures_);
    return taken;
}

bool Catalog::load(const QString& folder, bool withEntries) {
    const CatalogFile::Located located = CatalogFile::locate(folder);
    if (located.version == 0) {
        fault_ = CatalogError::NoCatalog;
        return false;
    }
    // Read once, whole; the entries are walked in memory.
    const QByteArray bytes = readWhole(located.path);
    CatalogReader reader(bytes);
    CatalogHeader header;
    const CatalogError headerError = reader.readHeader(header);
    if (headerError == CatalogError::NoCatalog) {  // changed since it was looked at
        fault_ = headerError;
        return false;
    }
    destroyPictures();
    resetFields();
    catalogPath_ = located.path;
    const bool givenFile = QDir::cleanPath(folder).endsWith(QLatin1String(".sidx"), Qt::CaseInsensitive);
    folder_ = absoluteFolder(givenFile ? QFileInfo(located.path).path() : folder);
    fileLength_ = quint64(bytes.size());
    flagA_ = header.flagA;
    flagB_ = header.flagB;
    count_ = header.count;
    totalSize_ = header.totalSize;
    fault_ = headerError;
    if (!withEntries || fault_ != CatalogError::None) return true;

    // An absolute name, so that no picture looks up the working folder to make its path.
    HeldCatalogFile file(QFileInfo(located.path).absoluteFilePath(), bytes);
    if (!file.openHeld()) {
        fault_ = CatalogError::NoCatalog;
        return false;
    }
    pictures_.reserve(size_t(std::min<qsizetype>(header.count, reader.maxEntriesLeft())));
    for (qint32 i = 0; i < header.count; ++i) {
        CatalogEntry entry;
        fault_ = reader.readEntry(entry);
        if (fault_ != CatalogError::None) break;
        if (entry.header.isEmpty()) continue;
        const QString name = CatalogFile::safeRelativePath(entry.name);
        if (name.isEmpty()) {
            ++unsafeNames_;
            continue;
        }
        const qint64 start = entry.header.data() - bytes.constData();
        const qint64 end = start + entry.header.size();
        file.setLimit(end);
        file.seek(start);
        auto picture = std::make_unique<PictureRecord>(file, end);
        picture->setFileSize(entry.fileSize);
        picture->setFileName(name);
        picture->archiveName = QString::fromUtf8(entry.archiveName);
        picture->archiveLocation = QString::fromUtf8(entry.archiveLocation);
        picture->setFilePath(joinPath(picture->archiveLocation.isEmpty() ? folder_ : picture->archiveLocation, name));
        pictures_.push_back(std::move(picture));
    }
    return true;
}

CatalogCreateReport Catalog::create(const QString& folderArg, bool includeSubfolders) {
    const QString folder = absoluteFolder(folderArg);
    CatalogCreateReport report;
    QStringList pictures, subfolders;
    const QFileInfoList listing =
        QDir(folder).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo& info : listing) {
        const QString name = info.fileName();
        if (info.isDir()) {
            if (includeSubfolders) subfolders << name;
        } else if (isJpegName(name)) {
            if (CatalogFile::canHoldName(name))
                pictures << name;
            else
                report.leftOut << name;
        }
    }

    const auto produce = [&](QFile& out) {
        CatalogWriter writer(out);
        if (!writer.begin(flagA_, flagB_)) return false;
        // One picture at a time: nothing of it is kept once its entry is written.
        for (const QString& name : pictures) {
            const QString path = joinPath(folder, name);
            const PictureRecord picture(path);
            if (!writer.writeEntry(name.toUtf8(), {}, {}, picture.fileSize(), headerCopy(path, picture.headerSize())))
                return false;
        }
        for (const QString& subfolder : subfolders)
            if (!copySubfolderEntries(writer, folder, subfolder, report.leftOut)) return false;
        report.count = writer.count();
        report.totalSize = writer.totalSize();
        return writer.finish();
    };
    const auto verify = [](const QString& tempPath) -> WriteResult {
        QFile file(tempPath);
        if (!file.open(QIODevice::ReadOnly) ||
            CatalogFile::versionOf(file.read(CatalogFile::kV3HeaderSize), quint64(file.size())) != 3)
            return {WriteError::VerifyFailed, tempPath};
        return {};
    };
    SafeWriteOptions options;
    options.keepTimes = false;  // refresh compares catalog times: a new catalog must look new
    const QString target = joinPath(folder, CatalogFile::kFileName);
    report.write = safeWrite(target, produce, verify, options);
    if (!report.write) return report;

    QFile::remove(joinPath(folder, CatalogFile::kOldFileName));
    return report;
}

WriteResult Catalog::rewriteArchive(const QString& folderArg, const QString& archiveName,
                                    const QString& archiveLocation) {
    if (archiveName.contains(QLatin1Char('\n')) || archiveLocation.contains(QLatin1Char('\n')))
        return lineFeedRefused();
    const QString folder = absoluteFolder(folderArg);
    const CatalogFile::Located located = CatalogFile::locate(folder);
    if (located.version == 0) return {WriteError::OpenFailed, QStringLiteral("no catalog in %1").arg(folder)};
    const QByteArray bytes = readWhole(located.path);
    CatalogReader reader(bytes);
    CatalogHeader header;
    // A damaged catalog passes on the entries before the damage, as loading shows them.
    if (reader.readHeader(header) == CatalogError::NoCatalog)
        return {WriteError::NotWalkable, describe(CatalogError::NoCatalog)};

    const QString target = joinPath(folder, CatalogFile::kFileName);
    const QByteArray nativeTarget = QFile::encodeName(target);
    struct stat targetStat {};
    const bool targetExists = ::stat(nativeTarget.constData(), &targetStat) == 0;
    // As for every other write: a catalog that its owner locked is not replaced.
    if (targetExists &&
        ((targetStat.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(nativeTarget.constData(), W_OK) != 0))
        return {WriteError::Locked, target};

    // The scratch file is made new, never opened through whatever already stands under its name.
    const QString scratch = joinPath(folder, CatalogFile::kScratchName);
    QFile::remove(scratch);
    QFile out(scratch);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return {WriteError::CreateFailed, out.errorString()};
    const auto fail = [&](WriteError error, const QString& detail) -> WriteResult {
        out.close();
        QFile::remove(scratch);
        return {error, detail};
    };

    const QByteArray name = archiveName.toUtf8();
    const QByteArray location = archiveLocation.toUtf8();
    CatalogWriter writer(out);
    bool written = writer.begin(header.flagA, header.flagB);
    for (qint32 i = 0; written && i < header.count; ++i) {
        CatalogEntry entry;
        if (reader.readEntry(entry) != CatalogError::None) break;
        if (CatalogFile::safeRelativePath(entry.name).isEmpty()) continue;
        written = writer.writeEntry(entry.name, name, location, entry.fileSize, entry.header);
    }
    written = written && writer.finish() && out.flush();
    if (!written) return fail(WriteError::WriteFailed, out.errorString());
    if (::fsync(out.handle()) != 0) return fail(WriteError::WriteFailed, systemError());
    if (targetExists && ::fchmod(out.handle(), targetStat.st_mode & 07777) != 0)
        return fail(WriteError::WriteFailed, systemError());
    out.close();
    if (::rename(QFile::encodeName(scratch).constData(), nativeTarget.constData()) != 0)
        return fail(WriteError::ReplaceFailed, systemError());
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    if (located.path != target) QFile::remove(located.path);  // the older name, now replaced
    return {};
}

CatalogRefreshReport Catalog::refresh(const QString& folderArg) {
    CatalogRefreshReport report;
    const QString folder = absoluteFolder(folderArg);
    const CatalogFile::Located own = CatalogFile::locate(folder);
    struct timespec ownTime {};
    if (own.version == 0 || !modificationTime(own.path, ownTime)) return report;
    bool newer = false;
    const QFileInfoList subfolders = QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo& info : subfolders) {
        const CatalogFile::Located sub = CatalogFile::locate(info.filePath());
        struct timespec subTime {};
        if (sub.version != 0 && modificationTime(sub.path, subTime) && later(subTime, ownTime)) {
            newer = true;
            break;
        }
    }
    if (!newer) return report;
    report.rebuilt = true;
    report.create = create(folder, true);
    return report;
}

WriteResult Catalog::createEmpty(const QString& folder) {
    SafeWriteOptions options;
    options.keepTimes = false;
    return safeWrite(
        joinPath(absoluteFolder(folder), CatalogFile::kFileName), [](QFile&) { return true; }, {}, options);
}

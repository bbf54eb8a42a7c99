#include "catalog.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "catalogfolder.h"
#include "safewrite.h"
#include "textcodec.h"

using namespace catalogfolder;

namespace {

// The mapped catalog served through a QFile: a picture read from a catalog takes the catalog file's
// name (which tells it not to decode anything), and every read stops at a limit, the end of the entry
// being read, so a damaged header cannot read into the next entry.
class HeldCatalogFile final : public QFile {
public:
    HeldCatalogFile(const QString& path, QByteArrayView bytes) : QFile(path), bytes_(bytes), limit_(bytes.size()) {}

    // The catalog's own descriptor is opened too (and left open), so that the QFile behaves as an open
    // file in every other respect.
    bool openHeld(int fd) { return QFile::open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, DontCloseHandle); }
    void setLimit(qint64 limit) { limit_ = std::clamp<qint64>(limit, 0, bytes_.size()); }

    qint64 size() const override { return bytes_.size(); }
    bool seek(qint64 pos) override { return pos >= 0 && pos <= bytes_.size() && QIODevice::seek(pos); }
    bool atEnd() const override { return pos() >= limit_; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 at = pos();
        if (at >= limit_ || maxSize <= 0) return 0;
        const qint64 n = std::min(maxSize, limit_ - at);
        std::memcpy(data, bytes_.data() + at, size_t(n));
        return n;
    }
    qint64 readLineData(char* data, qint64 maxSize) override { return QIODevice::readLineData(data, maxSize); }

private:
    QByteArrayView bytes_;
    qint64 limit_;
};

// An entry as a key: the same name, disc and location.
QByteArray entryKey(QByteArrayView name, QByteArrayView archiveName, QByteArrayView archiveLocation) {
    return name.toByteArray() + '\n' + archiveName.toByteArray() + '\n' + archiveLocation.toByteArray();
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

const QString kLineCannotHold = QStringLiteral("a catalog line cannot hold a line feed or a backslash; left out");

// A link back to the folder or above it would feed the catalog into itself, growing on every create.
bool leadsBack(const QString& folder, const QString& subfolder) {
    const QString own = QFileInfo(folder).canonicalFilePath();
    const QString linked = QFileInfo(joinPath(folder, subfolder)).canonicalFilePath();
    return linked.isEmpty() || own == linked || own.startsWith(joinPath(linked, {}));
}

// The entries a subfolder's catalog would pass on to the folder's, as entryKey gives them; those
// before any damage.
void subfolderEntryKeys(const QString& folder, const QString& subfolder, QSet<QByteArray>& keys) {
    if (leadsBack(folder, subfolder)) return;
    const CatalogFile::Located located = CatalogFile::locate(joinPath(folder, subfolder));
    if (located.version == 0) return;
    MappedCatalog map;
    if (!map.open(located.path)) return;
    CatalogReader reader(map.bytes());
    CatalogHeader header;
    if (reader.readHeader(header) != CatalogError::None) return;
    const QByteArray prefix = subfolder.toUtf8() + '\\';
    for (qint32 i = 0; i < header.count; ++i) {
        CatalogEntry entry;
        if (reader.readEntry(entry) != CatalogError::None) return;
        const QByteArray name =
            entry.archiveLocation.isEmpty() ? prefix + entry.name.toByteArray() : entry.name.toByteArray();
        keys.insert(entryKey(name, entry.archiveName, entry.archiveLocation));
    }
}

// Copies the entries of a subfolder's catalog, naming each after the subfolder unless it lies
// elsewhere (an archive location). False when writing failed, or when the subfolder's catalog cannot
// be taken in whole (damaged, or a symbolic link): then `stop` says why and names it.
// Entries whose picture is written from its file instead (`fromDisk`, by relative path) are skipped;
// the entries written are added to `written`.
bool copySubfolderEntries(CatalogWriter& writer, const QString& folder, const QString& subfolder,
                          CatalogCreateReport& report, WriteResult& stop, const QSet<QString>& fromDisk,
                          QSet<QByteArray>& written) {
    if (leadsBack(folder, subfolder)) return true;
    const CatalogFile::Located located = CatalogFile::locate(joinPath(folder, subfolder));
    if (located.link) {
        report.refusedCatalog = located.path;
        stop = {WriteError::OpenFailed, QStringLiteral("%1: %2").arg(located.path, describe(CatalogError::Link))};
        return false;
    }
    if (located.version == 0) return true;
    if (!CatalogFile::canHoldName(subfolder)) {
        report.leftOut.push_back({subfolder, kLineCannotHold});
        return true;
    }
    MappedCatalog map;
    CatalogReader reader(map.open(located.path) ? map.bytes() : QByteArrayView());
    CatalogHeader header;
    const CatalogError headerError = reader.readHeader(header);
    if (headerError == CatalogError::NoCatalog) return true;  // emptied since it was looked at
    const auto refuse = [&](qint32 whole, CatalogError error) {
        report.refusedCatalog = located.path;
        stop = damaged(located.path, whole, error);
        return false;
    };
    if (headerError != CatalogError::None) return refuse(0, headerError);
    const QByteArray prefix = subfolder.toUtf8() + '\\';
    for (qint32 i = 0; i < header.count; ++i) {
        CatalogEntry entry;
        const CatalogError error = reader.readEntry(entry);
        // Entries already copied go with the temporary file: the old catalog stays as it was.
        if (error != CatalogError::None) return refuse(i, error);
        // An entry that loading would skip is not passed on.
        if (CatalogFile::safeRelativePath(entry.name).isEmpty()) continue;
        const QByteArray name =
            entry.archiveLocation.isEmpty() ? prefix + entry.name.toByteArray() : entry.name.toByteArray();
        if (entry.archiveLocation.isEmpty() && fromDisk.contains(CatalogFile::safeRelativePath(name))) continue;
        if (!writer.writeEntry(name, entry.archiveName, entry.archiveLocation, entry.fileSize, entry.header)) {
            if (writer.failed()) return false;
            continue;
        }
        written.insert(entryKey(name, entry.archiveName, entry.archiveLocation));
    }
    if (map.faulted()) return refuse(header.count, CatalogError::ReadFailed);
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

WriteResult lineFeedRefused() {
    return {WriteError::TooLarge, QStringLiteral("a catalog line cannot hold a line feed")};
}

}  // namespace

FolderListing ListFolder(const QString& folder, bool includeSubfolders) {
    FolderListing listing;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) {
        listing.result = {WriteError::OpenFailed, QStringLiteral("%1: %2").arg(folder, systemError())};
        return listing;
    }
    const int dirFd = ::dirfd(dir);
    const auto hasCatalog = [&](const QByteArray& raw) {
        struct stat st {};
        for (const char* name : {CatalogFile::kFileName, CatalogFile::kOldFileName})
            if (::fstatat(dirFd, (raw + '/' + name).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) return true;
        return false;
    };
    errno = 0;
    while (const dirent* d = ::readdir(dir)) {
        const QByteArray raw(d->d_name);
        if (raw == "." || raw == "..") continue;
        const bool jpegName = raw.size() >= 4 && raw.right(4).toLower() == ".jpg";
        if (!jpegName && !includeSubfolders) continue;
        struct stat st {};
        // Links are followed, as for any file the user names; a broken one is no picture.
        if (::fstatat(dirFd, raw.constData(), &st, 0) != 0) continue;
        const bool isDir = S_ISDIR(st.st_mode);
        if (!(isDir ? includeSubfolders : jpegName)) continue;
        const QString name = QFile::decodeName(raw);
        if (QFile::encodeName(name) != raw) {
            if (!isDir || hasCatalog(raw))
                listing.leftOut.push_back({snaplore::text::printableName(raw),
                                           QStringLiteral("the name is not valid UTF-8 and was left out")});
        } else if (isDir) {
            listing.subfolders << name;
        } else if (!S_ISREG(st.st_mode)) {
            listing.leftOut.push_back({name, QStringLiteral("not a regular file, left out")});
        } else {
            listing.pictures << name;
        }
        errno = 0;
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0) {
        errno = readError;
        listing.result = {WriteError::OpenFailed, QStringLiteral("%1: %2").arg(folder, systemError())};
        return listing;
    }
    std::sort(listing.pictures.begin(), listing.pictures.end());
    std::sort(listing.subfolders.begin(), listing.subfolders.end());
    std::sort(listing.leftOut.begin(), listing.leftOut.end(),
              [](const CatalogLeftOut& a, const CatalogLeftOut& b) { return a.name < b.name; });
    return listing;
}

void Catalog::resetFields() {
    index_.clear();
    map_.reset();
    catalogPath_.clear();
    folder_.clear();
    count_ = 0;
    totalSize_ = 0;
    fileLength_ = 0;
    fault_ = CatalogError::None;
    wholeEntries_ = 0;
    unsafeNames_ = 0;
    withoutHeader_.clear();
}

QString Catalog::damage() const {
    if (!damaged()) return {};
    return damageText(catalogPath_, wholeEntries_, fault_) + QStringLiteral("; the entries after it are left out");
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
    if (!openMapped(folder, withEntries)) return false;
    if (withEntries) pictures_ = readPicturesOnAllCores(0, entryCount());
    if (map_ && map_->faulted()) readFailed();
    return true;
}

void Catalog::readFailed() {
    // Which entries the lost bytes belonged to cannot be told: none is kept.
    destroyPictures();
    index_.clear();
    unsafeNames_ = 0;
    withoutHeader_.clear();
    wholeEntries_ = 0;
    fault_ = CatalogError::ReadFailed;
}

bool Catalog::open(const QString& folder) { return openMapped(folder, true); }

bool Catalog::openMapped(const QString& folder, bool withIndex) {
    const CatalogFile::Located located = CatalogFile::locate(folder);
    if (located.version == 0) {
        fault_ = located.link ? CatalogError::Link : CatalogError::NoCatalog;
        return false;
    }
    auto map = std::make_shared<MappedCatalog>();
    if (!map->open(located.path)) {
        fault_ = CatalogError::NoCatalog;
        return false;
    }
    CatalogReader reader(map->bytes());
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
    fileLength_ = quint64(map->bytes().size());
    flagA_ = header.flagA;
    flagB_ = header.flagB;
    count_ = header.count;
    totalSize_ = header.totalSize;
    fault_ = headerError;
    map_ = std::move(map);
    if (!withIndex || fault_ != CatalogError::None) return true;

    index_.reserve(size_t(reader.entriesToReserve(header.count)));
    for (qint32 i = 0; i < header.count; ++i) {
        CatalogEntry entry;
        fault_ = reader.readEntry(entry);
        if (fault_ != CatalogError::None) break;
        wholeEntries_ = i + 1;
        QString name = CatalogFile::safeRelativePath(entry.name);
        if (name.isEmpty()) {
            ++unsafeNames_;
        } else if (entry.header.isEmpty()) {
            withoutHeader_ << name;
        } else {
            index_.push_back({entry, std::move(name)});
        }
    }
    if (map_->faulted()) readFailed();
    return true;
}

void Catalog::readPictures(qsizetype from, qsizetype to,
                           const std::function<void(qsizetype, std::unique_ptr<PictureRecord>)>& take,
                           const PictureFilter& wanted) const {
    from = std::max<qsizetype>(from, 0);
    to = std::min(to, entryCount());
    if (from >= to) return;
    const QByteArrayView bytes = map_->bytes();
    // An absolute name, so that no picture looks up the working folder to make its path.
    HeldCatalogFile file(QFileInfo(catalogPath_).absoluteFilePath(), bytes);
    if (!file.openHeld(map_->descriptor())) return;
    for (qsizetype i = from; i < to; ++i) {
        const Indexed& indexed = index_[size_t(i)];
        const CatalogEntry& entry = indexed.entry;
        const auto read = [&](PictureRecord::Xmp xmp) {
            const qint64 start = entry.header.data() - bytes.data();
            const qint64 end = start + entry.header.size();
            file.setLimit(end);
            file.seek(start);
            auto picture = std::make_unique<PictureRecord>(file, end, xmp);
            picture->setFileSize(entry.fileSize);
            picture->setFileName(indexed.name);
            picture->archiveName = QString::fromUtf8(entry.archiveName);
            picture->archiveLocation = QString::fromUtf8(entry.archiveLocation);
            picture->setFilePath(
                joinPath(picture->archiveLocation.isEmpty() ? folder_ : picture->archiveLocation, indexed.name));
            // The header copy stays in the catalog, which the picture keeps mapped, and is read again
            // only for its thumbnail: a catalog's pictures take little memory however many they are.
            picture->setStoredHeader([map = map_, header = entry.header] { return header.toByteArray(); });
            // The packet was applied; the catalog keeps its bytes.
            if (xmp == PictureRecord::Xmp::Resolve) picture->iptc().releaseXmpPacket();
            return picture;
        };
        if (!wanted) {
            take(i, read(PictureRecord::Xmp::Resolve));
            continue;
        }
        // Parsing XMP is most of what reading an entry costs: it is done for the pictures the quick
        // look leaves in. Without a packet the quick look is the picture as the rules read it.
        std::unique_ptr<PictureRecord> quick = read(PictureRecord::Xmp::Skip);
        if (quick->iptc().xmpPacket().isEmpty()) {
            quick->iptc().setReadsXmp(true);
            take(i, std::move(quick));
        } else if (wanted(*quick)) {
            take(i, read(PictureRecord::Xmp::Resolve));
        }
    }
}

PictureList Catalog::readPicturesOnAllCores(qsizetype from, qsizetype to, const PictureFilter& wanted) const {
    from = std::max<qsizetype>(from, 0);
    to = std::min(to, entryCount());
    PictureList pictures(size_t(std::max<qsizetype>(to - from, 0)));
    // Pieces small enough to keep every core busy to the end, large enough to cost nothing to hand out.
    constexpr qsizetype kPiece = 256;
    std::vector<qsizetype> starts;
    for (qsizetype at = from; at < to; at += kPiece) starts.push_back(at);
    const auto build = [&](qsizetype start) {
        readPictures(
            start, std::min(start + kPiece, to),
            [&](qsizetype i, std::unique_ptr<PictureRecord> picture) { pictures[size_t(i - from)] = std::move(picture); },
            wanted);
    };
    if (starts.size() <= 1)
        std::for_each(starts.begin(), starts.end(), build);
    else
        QtConcurrent::blockingMap(starts, build);
    return pictures;
}

void Catalog::forEachPicture(const std::function<void(const PictureRecord&)>& visit, const PictureFilter& wanted) const {
    constexpr qsizetype kBatch = 2048;
    for (qsizetype at = 0; at < entryCount(); at += kBatch)
        for (const auto& picture : readPicturesOnAllCores(at, at + kBatch, wanted))
            if (picture) visit(*picture);
}

std::unique_ptr<PictureRecord> Catalog::readPicture(qsizetype i) const {
    std::unique_ptr<PictureRecord> read;
    readPictures(i, i + 1, [&](qsizetype, std::unique_ptr<PictureRecord> picture) { read = std::move(picture); });
    return read;
}

CatalogCreateReport Catalog::create(const QString& folderArg, bool includeSubfolders) {
    const QString folder = absoluteFolder(folderArg);
    CatalogCreateReport report;
    const auto writing = lockWrites();
    OwnCatalog own;
    report.write = readForRewrite(folder, own, report.refusedCatalog);
    if (!report.write) return report;
    FolderListing listing = ListFolder(folder, includeSubfolders);
    report.write = listing.result;
    if (!report.write) return report;
    QStringList pictures;
    for (const QString& name : std::as_const(listing.pictures)) {
        if (CatalogFile::canHoldName(name))
            pictures << name;
        else
            listing.leftOut.push_back({name, kLineCannotHold});
    }
    std::stable_sort(listing.leftOut.begin(), listing.leftOut.end(),
                     [](const CatalogLeftOut& a, const CatalogLeftOut& b) { return a.name < b.name; });
    report.leftOut = std::move(listing.leftOut);
    const QStringList& subfolders = listing.subfolders;

    // Archived entries are the only record of pictures that left the folder for a disc. One whose file
    // is at its place in the folder again is read from that file and keeps its disc; the others are
    // passed on as they are.
    std::vector<std::pair<QString, const CatalogEntry*>> foundAgain;  // in catalog order
    QHash<QString, const CatalogEntry*> archivedAt;                   // the same, by relative path
    std::vector<const CatalogEntry*> gone;
    for (const CatalogEntry& entry : own.entries) {
        if (entry.archiveLocation.isEmpty()) continue;
        const QString relative = CatalogFile::safeRelativePath(entry.name);
        if (!isRegularFile(joinPath(folder, relative))) {
            gone.push_back(&entry);
        } else if (!archivedAt.contains(relative)) {
            archivedAt.insert(relative, &entry);
            foundAgain.emplace_back(relative, &entry);
        }
    }
    QSet<QString> fromDisk;
    for (const auto& [relative, entry] : foundAgain) fromDisk.insert(relative);
    // An archived entry that a subfolder's catalog holds came from there; it is that catalog's record,
    // not this one's, also when the subfolders are not taken in.
    QSet<QByteArray> subfolderRecords;
    if (!includeSubfolders && !gone.empty())
        for (const QString& subfolder : ListFolder(folder, true).subfolders)
            subfolderEntryKeys(folder, subfolder, subfolderRecords);
    const QSet<QString> listed(pictures.begin(), pictures.end());

    WriteResult stop;  // a subfolder catalog that cannot be taken in whole
    const auto produce = [&](QFile& out) {
        CatalogWriter writer(out);
        if (!writer.begin(flagA_, flagB_)) return false;
        const auto writeFromDisk = [&](const QByteArray& name, const QString& path, const CatalogEntry* archived) {
            // One picture at a time: nothing of it is kept once its entry is written.
            const PictureRecord picture(path);
            return writer.writeEntry(name, archived ? archived->archiveName : QByteArrayView(),
                                     archived ? archived->archiveLocation : QByteArrayView(), picture.fileSize(),
                                     headerCopy(path, picture.headerSize()));
        };
        for (const QString& name : pictures)
            if (!writeFromDisk(name.toUtf8(), joinPath(folder, name), archivedAt.value(name))) return false;
        QSet<QByteArray> written = subfolderRecords;
        for (const QString& subfolder : subfolders)
            if (!copySubfolderEntries(writer, folder, subfolder, report, stop, fromDisk, written)) return false;
        for (const auto& [relative, entry] : foundAgain)
            if (!listed.contains(relative) &&
                !writeFromDisk(entry->name.toByteArray(), joinPath(folder, relative), entry))
                return false;
        int kept = 0;
        for (const CatalogEntry* entry : gone) {
            if (written.contains(entryKey(entry->name, entry->archiveName, entry->archiveLocation))) continue;
            if (!writer.writeEntry(entry->name, entry->archiveName, entry->archiveLocation, entry->fileSize,
                                   entry->header))
                return false;
            ++kept;
        }
        report.keptArchived = kept;
        report.count = writer.count();
        report.totalSize = writer.totalSize();
        return writer.finish();
    };
    report.write = writeCatalog(folder, own, produce);
    if (!stop.ok()) report.write = stop;
    if (!report.write) return report;

    removeOldName(folder);
    return report;
}

WriteResult Catalog::rewriteArchive(const QString& folderArg, const QString& archiveName,
                                    const QString& archiveLocation, CatalogArchiveCounts* counts) {
    if (archiveName.contains(QLatin1Char('\n')) || archiveLocation.contains(QLatin1Char('\n')))
        return lineFeedRefused();
    const QString folder = absoluteFolder(folderArg);
    const auto writing = lockWrites();
    // Every entry is read before anything is written: a catalog that does not load whole would lose
    // the entries after the damage, so it stays as it is.
    OwnCatalog own;
    QString refusedCatalog;
    const WriteResult read = readForRewrite(folder, own, refusedCatalog);
    if (!read) return read;
    if (own.located.version == 0) return {WriteError::OpenFailed, QStringLiteral("no catalog in %1").arg(folder)};

    // Only a picture that is here goes to the disc now; an entry whose file is elsewhere (on an
    // earlier disc) or gone keeps what it says.
    const QString inside = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    std::vector<bool> label;
    label.reserve(own.entries.size());
    CatalogArchiveCounts done;
    for (const CatalogEntry& entry : own.entries) {
        const QString relative = CatalogFile::safeRelativePath(entry.name);
        const QString base = entry.archiveLocation.isEmpty() ? folder : QString::fromUtf8(entry.archiveLocation);
        const QString path = QDir::cleanPath(joinPath(base, relative));
        const bool here = path.startsWith(inside) && isRegularFile(path);
        label.push_back(here);
        ++(here ? done.labelled : done.kept);
    }

    const QByteArray name = archiveName.toUtf8();
    const QByteArray location = archiveLocation.toUtf8();
    const auto produce = [&](QFile& out) {
        CatalogWriter writer(out);
        if (!writer.begin(own.header.flagA, own.header.flagB)) return false;
        for (size_t i = 0; i < own.entries.size(); ++i) {
            const CatalogEntry& entry = own.entries[i];
            if (!writer.writeEntry(entry.name, label[i] ? QByteArrayView(name) : entry.archiveName,
                                   label[i] ? QByteArrayView(location) : entry.archiveLocation, entry.fileSize,
                                   entry.header))
                return false;
        }
        return writer.finish();
    };
    const WriteResult result = writeCatalog(folder, own, produce);
    if (result && own.located.path != joinPath(folder, CatalogFile::kFileName)) removeOldName(folder);  // now replaced
    if (result && counts) *counts = done;
    return result;
}

CatalogRefreshReport Catalog::refresh(const QString& folderArg) {
    CatalogRefreshReport report;
    const QString folder = absoluteFolder(folderArg);
    // Read whole first: a damaged catalog is told about, never compared or rebuilt.
    OwnCatalog own;
    report.create.write = readOwn(folder, own);
    if (!report.create.write) {
        report.create.refusedCatalog = own.located.path;
        return report;
    }
    struct timespec ownTime {};
    if (own.located.version == 0 || !modificationTime(own.located.path, ownTime)) return report;
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

WriteResult Catalog::createEmpty(const QString& folderArg) {
    const QString folder = absoluteFolder(folderArg);
    const auto writing = lockWrites();
    const WriteResult refused = namesRefused(folder);
    if (!refused) return refused;
    SafeWriteOptions options;
    options.keepTimes = false;
    return safeWrite(joinPath(folder, CatalogFile::kFileName), [](QFile&) { return true; }, {}, options);
}

#include "catalogupdate.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>

#include "catalogfolder.h"
#include "iptcblock.h"
#include "jpegsection.h"
#include "pictureheader.h"

using namespace catalogfolder;

namespace {

// For a change whose writer could not hand over the header: this one picture is read.
void readHeaderOf(PictureChange& change) {
    QFile file(change.path);
    if (!file.open(QIODevice::ReadOnly)) return;
    change.fileSize = quint64(file.size());
    PictureHeader header;
    JpegSectionReader reader;
    reader.setVerbose(false);
    IptcBlock scratch;
    if (!WalkPictureHeader(file, file.size(), reader, scratch, header) || header.headerSize == 0) return;
    if (!file.seek(0)) return;
    const QByteArray bytes = file.read(qint64(header.headerSize));
    if (bytes.size() == qsizetype(header.headerSize)) change.header = bytes;
}

// The names a catalog created afresh would list from the folder itself.
bool catalogTakes(const QString& name) {
    return name.size() > 4 && name.right(4).toLower() == QLatin1String(".jpg") && CatalogFile::canHoldName(name);
}

}  // namespace

namespace catalogupdate {

CatalogUpdateReport applyToFolder(const QString& folderArg, const PictureChanges& changes) {
    CatalogUpdateReport report;
    const QString folder = absoluteFolder(folderArg);
    report.folder = folder;

    // The last change of each picture of this folder, by file name.
    QHash<QString, PictureChange> byName;
    for (const PictureChange& change : changes) {
        const QFileInfo info(change.path);
        if (absoluteFolder(info.absolutePath()) == folder) byName.insert(info.fileName(), change);
    }
    if (byName.isEmpty()) return report;

    const auto writing = lockWrites();
    if (CatalogFile::version(folder) == 0) return report;
    OwnCatalog own;
    report.write = readForRewrite(folder, own, report.refusedCatalog);
    if (!report.write || own.located.version == 0) return report;

    // What each entry becomes. The entries that name a picture of the folder itself come first, in
    // name order, as creating the catalog lists them; pictures new to the catalog join them there.
    enum class Fate { Keep, Update, Drop, ToEnd };
    std::vector<Fate> fates(own.entries.size(), Fate::Keep);
    std::vector<bool> ownPicture(own.entries.size(), false);
    QSet<QString> inCatalog;
    for (size_t i = 0; i < own.entries.size(); ++i) {
        const CatalogEntry& entry = own.entries[i];
        const QString relative = CatalogFile::safeRelativePath(entry.name);
        if (relative.contains(QLatin1Char('/'))) continue;  // a subfolder's picture
        const bool archived = !entry.archiveLocation.isEmpty();
        // An archived entry belongs with the folder's pictures only while its file is back in place;
        // the others keep their place after the subfolders' entries.
        ownPicture[i] = !archived || isRegularFile(joinPath(folder, relative));
        const auto change = byName.constFind(relative);
        if (change == byName.cend()) continue;
        inCatalog.insert(relative);
        if (!change->removed)
            fates[i] = Fate::Update;
        else if (!archived)
            fates[i] = Fate::Drop;
        else
            fates[i] = Fate::ToEnd;  // the only record of a picture on a disc: kept, as a create keeps it
    }
    QStringList added;
    for (auto it = byName.cbegin(); it != byName.cend(); ++it)
        if (!it->removed && !inCatalog.contains(it.key()) && catalogTakes(it.key())) added << it.key();
    std::sort(added.begin(), added.end());

    // Headers the writers could not hand over are read now, before the catalog is written.
    for (auto it = byName.begin(); it != byName.end(); ++it)
        if (!it->removed && it->header.isEmpty() && (inCatalog.contains(it.key()) || added.contains(it.key())))
            readHeaderOf(*it);

    int updated = 0, addedCount = 0, removed = 0;
    const auto produce = [&](QFile& out) {
        updated = addedCount = removed = 0;
        CatalogWriter writer(out);
        if (!writer.begin(own.header.flagA, own.header.flagB)) return false;
        qsizetype nextAdded = 0;
        const auto addUpTo = [&](const QString* before) {
            for (; nextAdded < added.size() && (!before || added[nextAdded] < *before); ++nextAdded) {
                const PictureChange& change = byName[added[nextAdded]];
                if (!writer.writeEntry(added[nextAdded].toUtf8(), {}, {}, change.fileSize, change.header)) {
                    if (writer.failed()) return false;
                    continue;
                }
                ++addedCount;
            }
            return true;
        };
        bool pastOwn = false;
        std::vector<const CatalogEntry*> toEnd;
        for (size_t i = 0; i < own.entries.size(); ++i) {
            const CatalogEntry& entry = own.entries[i];
            if (!pastOwn && ownPicture[i]) {
                const QString relative = CatalogFile::safeRelativePath(entry.name);
                if (!addUpTo(&relative)) return false;
            } else if (!pastOwn) {
                pastOwn = true;
                if (!addUpTo(nullptr)) return false;
            }
            switch (fates[i]) {
            case Fate::Drop:
                ++removed;
                continue;
            case Fate::ToEnd:
                toEnd.push_back(&entry);
                continue;
            case Fate::Update: {
                const PictureChange& change = byName[CatalogFile::safeRelativePath(entry.name)];
                if (!writer.writeEntry(entry.name, entry.archiveName, entry.archiveLocation, change.fileSize,
                                       change.header))
                    return false;
                ++updated;
                continue;
            }
            case Fate::Keep:
                if (!writer.writeEntry(entry.name, entry.archiveName, entry.archiveLocation, entry.fileSize,
                                       entry.header))
                    return false;
                continue;
            }
        }
        if (!addUpTo(nullptr)) return false;
        for (const CatalogEntry* entry : toEnd)
            if (!writer.writeEntry(entry->name, entry->archiveName, entry->archiveLocation, entry->fileSize,
                                   entry->header))
                return false;
        return writer.finish();
    };
    report.write = writeCatalog(folder, own, produce);
    if (!report.write) return report;
    if (own.located.path != joinPath(folder, QString::fromLatin1(CatalogFile::kFileName))) removeOldName(folder);
    report.written = true;
    report.updated = updated;
    report.added = addedCount;
    report.removed = removed;
    return report;
}

std::vector<CatalogUpdateReport> apply(const PictureChanges& changes) {
    QStringList folders;
    for (const PictureChange& change : changes) {
        const QString folder = absoluteFolder(QFileInfo(change.path).absolutePath());
        if (!folders.contains(folder)) folders << folder;
    }
    std::vector<CatalogUpdateReport> reports;
    for (const QString& folder : folders) {
        CatalogUpdateReport report = applyToFolder(folder, changes);
        if (report.written || !report.ok()) reports.push_back(std::move(report));
    }
    return reports;
}

}  // namespace catalogupdate

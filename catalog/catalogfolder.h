#pragma once
// What every writer of a folder's catalog shares: the folder's catalog read whole before it is
// rewritten, the refusals that keep a write inside the folder, the check of a new catalog, and one
// lock so that two writers in this program never replace a catalog at the same time.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <functional>
#include <mutex>
#include <vector>

#include "catalogfile.h"
#include "writeerror.h"

namespace catalogfolder {

QString absoluteFolder(const QString& folder);
QString joinPath(const QString& folder, const QString& name);
QString systemError();
// A regular file at `path`, following links as the folder's listing does.
bool isRegularFile(const QString& path);

// Before anything is written in the folder: neither catalog name may be a symbolic link (a write or
// removal through it would reach a file elsewhere) or anything but a regular file.
WriteResult namesRefused(const QString& folder);

QString damageText(const QString& path, qint32 wholeEntries, CatalogError error);
WriteResult damaged(const QString& path, qint32 wholeEntries, CatalogError error);

// The folder's own catalog read to its end before it is rewritten. The entries point into `map`.
struct OwnCatalog {
    CatalogFile::Located located;
    MappedCatalog map;
    CatalogHeader header;
    std::vector<CatalogEntry> entries;  // those whose names lead inside the folder
};
// A catalog that cannot be read, or that does not load to its last entry, is refused: written anew
// from what did load, it would lose the rest. No catalog is no refusal (version stays 0).
WriteResult readOwn(const QString& folder, OwnCatalog& own);

// Writes the folder's "Snaplore.sidx" anew through the safe write, produced from `own` (and what
// else `produce` reads), and checks it reads back as a catalog. The new catalog gets the time of the
// write: refresh compares catalog times. Should `own` not have read to its end (its file shrank or
// its disc went away meanwhile), nothing is written: the new catalog would have nothing to stand on.
WriteResult writeCatalog(const QString& folder, const OwnCatalog& own, const std::function<bool(QFile&)>& produce);

// Both before a rewrite: the names refused (namesRefused), then the catalog read whole (readOwn);
// when the catalog is what stopped it, `refusedCatalog` names it.
WriteResult readForRewrite(const QString& folder, OwnCatalog& own, QString& refusedCatalog);

// Removes the catalog under the older name once the current one replaced it: only a regular file,
// never what a link there names.
void removeOldName(const QString& folder);

// Held while a catalog is read for rewriting and written: catalogs are written by the window's
// commands and, in the background, after saves.
[[nodiscard]] std::unique_lock<std::mutex> lockWrites();

}  // namespace catalogfolder

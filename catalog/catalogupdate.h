#pragma once
// Keeps a folder's catalog current after pictures of the folder were written or removed: every
// writer of picture data hands its changes here. Each written picture's entry takes the new file
// size and header bytes the write built, a picture the catalog lacks is added where creating the
// catalog would put it, a removed picture's entry goes, and every other entry is copied byte for
// byte: no other picture is read. A catalog that does not load whole is not written, and the report
// says so. Only the pictures' own folder's catalog is written: a catalog above it that took in this
// one is brought up to date when it is opened (Catalog::refresh), so a save never rewrites the root
// of an archive.

#include <QString>
#include <vector>

#include "picturechange.h"
#include "writeerror.h"

struct CatalogUpdateReport {
    QString folder;
    WriteResult write;       // why the catalog could not be written
    QString refusedCatalog;  // the catalog that did not load whole, when that was why
    bool written = false;    // the folder has a catalog, and it was written
    int updated = 0;
    int added = 0;
    int removed = 0;
    bool ok() const { return write.ok(); }
};

namespace catalogupdate {

// Updates the catalog of every folder the changes lie in, each once, in the order the folders first
// appear; folders without a catalog are left alone and give no report. A later change of the same
// path wins over an earlier one.
std::vector<CatalogUpdateReport> apply(const PictureChanges& changes);

// The catalog of `folder` only; changes of pictures elsewhere are ignored.
CatalogUpdateReport applyToFolder(const QString& folder, const PictureChanges& changes);

}  // namespace catalogupdate

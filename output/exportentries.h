#pragma once
// The entries the index print, the data report and the HTML export read, walked as the browser's tree
// shows them: each event followed by its own pictures. The browser's own list holds every event
// before every picture, so it is regrouped here; a folder without a window gets the same list from
// its catalog or its picture files, so that the command line exports what the window would.

#include <QList>
#include <QString>

#include <memory>
#include <vector>

#include "catalog.h"
#include "entrylistview.h"

class PictureRecord;

// The browser's entries (in its order) as the tree shows them: each event that has pictures, then
// its pictures in list order. Pictures not shown (left out by a search) and entries that are neither
// events nor pictures are dropped. A picture that hangs under no event (a folder without catalog) is
// grouped under the event of its event key ("Unknown" without an event), as a catalog groups it; such
// events are made here and placed among the others by date, then text. `includeHidden` keeps the
// pictures a search left out (marked not shown), for the selection "Entire Catalog".
QList<OutputEntry> GroupedByEvent(const QList<OutputEntry>& browserEntries, bool includeHidden = false);

// The pictures of a folder and its grouped entries, for use without a window.
struct FolderExport {
    QString folder;
    bool catalogMode = false;  // read from the folder's catalog
    std::vector<std::unique_ptr<PictureRecord>> pictures;  // owned; the entries point into them
    QList<OutputEntry> entries;  // grouped as GroupedByEvent gives them
    QString problem;             // why the folder could not be read; empty when it was
    // The catalog did not load whole: its path, where it broke and why. The entries before the
    // damage are read.
    QString damage;
    // Pictures of the folder, or entries of its catalog, that were not read, and why.
    std::vector<CatalogLeftOut> leftOut;
    bool whole() const { return problem.isEmpty() && damage.isEmpty() && leftOut.empty(); }
};

// The folder's catalog entries when it has a catalog (entries taken over from subfolders and archived
// entries whose files are gone included), else its ".jpg" files; grouped into events as the tree
// groups them. What could not be read is told in `damage` and `leftOut`.
FolderExport ReadFolderForExport(const QString& folder);

// Entries for pictures named one by one: one event per event key, in order of first appearance,
// each followed by its pictures in the order given.
QList<OutputEntry> EntriesForPictures(const QList<PictureRecord*>& pictures);

// The picture entries of a grouped list, in order; with `eventTitle` given only those of the events
// shown with that title.
QList<PictureRecord*> PicturesOf(const QList<OutputEntry>& entries, const QString& eventTitle = {});

#pragma once
// One entry of the browser's list: a folder, an event, a picture, or the root of the tree.

#include "picturerecord.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

enum class EntryKind { Folder = 1, Picture = 2, Event = 3, SearchRoot = 4, FolderRoot = 5 };

struct BrowserEntry {
    EntryKind kind = EntryKind::Folder;
    QString text;             // folder name, file name, event text or root text
    QString path;             // full path; for an event the folder of the picture that created it
    QString archiveLocation;  // pictures: folder on the archive disc, empty when not archived
    std::unique_ptr<PictureRecord> picture;  // pictures only
    QDateTime date;           // sort key
    bool included = true;     // shown in the tree; a search clears it on entries that do not match
    bool matched = false;     // set by the last search
    bool flagged = false;     // for this run only
    bool archived = false;    // pictures: archive location not empty
};

// The browser owns its entries; the thumbnail strip and the outputs see them through pointers.
using EntryList = std::vector<std::unique_ptr<BrowserEntry>>;
using ThumbList = QList<BrowserEntry*>;

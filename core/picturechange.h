#pragma once
// A picture file just written or removed, as its folder's catalog takes it in: the catalog keeps each
// picture's file size and a copy of its header, so a write hands over the header it built and the
// catalog needs to read no picture again.

#include <QByteArray>
#include <QString>
#include <vector>

struct PictureChange {
    QString path;          // the picture file
    bool removed = false;  // the file is gone (deleted or moved to the trash)
    quint64 fileSize = 0;
    // The new file's first bytes through the SOS length field, as a catalog entry holds them; empty
    // when the writer could not tell (the catalog then reads the header of this one file).
    QByteArray header;
    // What the write left as it was that the user should know of (an XMP packet that does not parse);
    // empty when everything was written.
    QString note;
};

using PictureChanges = std::vector<PictureChange>;

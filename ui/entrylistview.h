#pragma once
// The browser's entry list as the outputs read it: plain values in the browser's order, with each
// picture tied to the event the tree groups it under. Output code takes entries from here and never
// needs the browser's own classes.

#include <QList>
#include <QString>
#include <QStringList>

class PictureRecord;

struct OutputEntry {
    // The same kinds, with the same values, as the browser's entries.
    enum class Kind { Folder = 1, Picture = 2, Event = 3, SearchRoot = 4, FolderRoot = 5 };

    Kind kind = Kind::Folder;
    PictureRecord* picture = nullptr;  // pictures only; the browser keeps owning it
    QString fileName;                  // file or folder name, event title or root text
    QString path;                      // full path; for an event the folder of its first picture
    bool shown = true;                 // in the tree (a search hides what does not match)
    bool flagged = false;
    // Events: their own text (what pictures are grouped by, IptcBlock::EventKey) and folder. Pictures
    // under an event in the tree: that event's text and folder, and its place in the list; -1 when the
    // picture stands on its own.
    QString eventText;
    QString eventPath;
    int event = -1;
};

class EntryListView {
public:
    virtual ~EntryListView() = default;
    // The entries of the current location (or search), in the browser's order.
    virtual QList<OutputEntry> entries() const = 0;
    // What the list lacks of its folder (a catalog that did not load whole, entries left out), one
    // line each; empty when it holds everything.
    virtual QStringList leftOut() const { return {}; }
};

#pragma once
// The "Pictures:" list that every output dialog offers: the current picture, the flagged pictures,
// the current event, the search results or the entire catalog, chosen from the browser's entries as
// the frame hands them over (entrylistview.h). The counts a dialog shows are the sizes of the lists
// CollectSelectedPictures returns, so the dialog, its progress and the work always agree.

#include <QList>
#include <QString>

#include "entrylistview.h"

class PictureRecord;

// The item data of the list's entries.
enum class PictureSelection { Picture = 1, Flagged = 2, Event = 3, SearchResults = 4, EntireCatalog = 5 };

struct PictureSelectionItem {
    QString text;  // "%s (Picture)", "Flagged Pictues", "%s (Event)", "Search Results", "Entire Catalog"
    PictureSelection selection = PictureSelection::Picture;
    int count = 0;  // the "# of Pics" this entry stands for
};

struct PictureSelectionList {
    QList<PictureSelectionItem> items;  // in list order (the list is not sorted)
    int flaggedCount = 0;
    int eventCount = 0;  // of the current event, or of the search results while they are shown
    int catalogCount = 0;

    // "# of Pics" for a selection: 1 for the current picture (0 without one), else its count.
    int countFor(PictureSelection selection) const;
    // Index of the first item with that selection, -1 when the list has none.
    int indexOf(PictureSelection selection) const;
};

// The entries of the Pictures list and their counts. `searchResults`: the browser shows the results
// of a search, which then stand where the current event would.
PictureSelectionList FillPictureSelection(const PictureRecord* current, const QList<OutputEntry>& entries,
                                          bool searchResults);

// The pictures a selection stands for, in the browser's order, each `copies` times:
// Picture the current one; EntireCatalog every entry's picture, shown or not; Flagged, Event and
// SearchResults the shown picture entries that are flagged, of the current picture's event, or all.
// Without a current picture, Picture and Event select nothing.
QList<PictureRecord*> CollectSelectedPictures(PictureRecord* current, const QList<OutputEntry>& entries,
                                              PictureSelection selection, int copies = 1);

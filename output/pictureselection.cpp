#include "pictureselection.h"

#include "picturerecord.h"

int PictureSelectionList::countFor(PictureSelection selection) const {
    for (const PictureSelectionItem& item : items)
        if (item.selection == selection) return item.count;
    switch (selection) {
        case PictureSelection::Flagged: return flaggedCount;
        case PictureSelection::Event:
        case PictureSelection::SearchResults: return eventCount;
        case PictureSelection::EntireCatalog: return catalogCount;
        case PictureSelection::Picture: break;
    }
    return 0;
}

int PictureSelectionList::indexOf(PictureSelection selection) const {
    for (int i = 0; i < items.size(); ++i)
        if (items[i].selection == selection) return i;
    return -1;
}

PictureSelectionList FillPictureSelection(const PictureRecord* current, const QList<OutputEntry>& entries,
                                          bool searchResults) {
    PictureSelectionList list;
    // Counting goes through the collection itself: a count shown is always the number of pictures
    // the save will then work on.
    auto* picture = const_cast<PictureRecord*>(current);
    if (current) {
        const QString name = current->iptc().headline.isEmpty() ? current->fileName() : current->iptc().headline;
        list.items.append({QStringLiteral("%1 (Picture)").arg(name), PictureSelection::Picture, 1});
    }
    if (entries.isEmpty()) return list;

    list.flaggedCount = int(CollectSelectedPictures(picture, entries, PictureSelection::Flagged).size());
    list.eventCount = int(CollectSelectedPictures(
                              picture, entries, searchResults ? PictureSelection::SearchResults : PictureSelection::Event)
                              .size());
    list.catalogCount = int(CollectSelectedPictures(picture, entries, PictureSelection::EntireCatalog).size());

    if (list.flaggedCount > 0)
        list.items.append({QStringLiteral("Flagged Pictues"), PictureSelection::Flagged, list.flaggedCount});
    if (searchResults)
        list.items.append({QStringLiteral("Search Results"), PictureSelection::SearchResults, list.eventCount});
    else if (current)
        list.items.append({QStringLiteral("%1 (Event)").arg(current->iptc().EventTitle()), PictureSelection::Event,
                           list.eventCount});
    list.items.append({QStringLiteral("Entire Catalog"), PictureSelection::EntireCatalog, list.catalogCount});
    return list;
}

QList<PictureRecord*> CollectSelectedPictures(PictureRecord* current, const QList<OutputEntry>& entries,
                                              PictureSelection selection, int copies) {
    QList<PictureRecord*> pictures;
    auto add = [&](PictureRecord* picture) {
        for (int i = 0; i < copies; ++i) pictures.append(picture);
    };
    if (selection == PictureSelection::Picture) {
        if (current) add(current);
        return pictures;
    }
    // Without a current picture there is no current event: nothing belongs to it.
    if (selection == PictureSelection::Event && !current) return pictures;
    const QString event = current ? current->iptc().EventKey() : QString();
    for (const OutputEntry& entry : entries) {
        if (!entry.picture) continue;
        bool take = false;
        switch (selection) {
            case PictureSelection::EntireCatalog: take = true; break;
            case PictureSelection::SearchResults: take = entry.shown; break;
            case PictureSelection::Flagged: take = entry.shown && entry.flagged; break;
            case PictureSelection::Event: take = entry.shown && entry.picture->iptc().EventKey() == event; break;
            case PictureSelection::Picture: break;
        }
        if (take) add(entry.picture);
    }
    return pictures;
}

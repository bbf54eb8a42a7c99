#include "search.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include "browsermodel.h"
#include "picturesearch.h"

namespace search {

QDateTime defaultFrom() { return dayStart(QDate(1900, 1, 1)); }
QDateTime dayStart(const QDate& day) { return QDateTime(day, QTime(0, 0, 0)); }
QDateTime dayEnd(const QDate& day) { return QDateTime(day, QTime(23, 59, 59)); }

QDateTime storedDate(const PictureRecord& picture) {
    const QDateTime& stored = picture.iptc().dateTime;
    // Compared as written, whatever zone the picture came from.
    if (stored.isValid()) return QDateTime(stored.date(), stored.time());
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

bool textMatches(const PictureRecord& picture, const QString& text, const Criteria& criteria) {
    return (criteria.people && picture.MatchPeople(text)) || (criteria.place && picture.MatchPlace(text)) ||
           (criteria.other && picture.MatchOther(text));
}

bool pictureMatches(const PictureRecord& picture, bool flagged, const Criteria& criteria) {
    const QDateTime date = storedDate(picture);
    if (!(criteria.from < date && date < criteria.to)) return false;
    if (criteria.flagged == FlagTest::Yes && !flagged) return false;
    if (criteria.flagged == FlagTest::No && flagged) return false;
    for (const QString& text : criteria.texts)
        if (!textMatches(picture, text, criteria)) return false;
    // The rating as the form shows it: a picture without one counts as the silver star it shows.
    if (!criteria.rating.startsWith(u'0')) {
        const int wanted = criteria.rating.isEmpty() ? -1 : criteria.rating.front().digitValue();
        if (picturesearch::shownRating(picture.iptc().rating) != wanted) return false;
    }
    return true;
}

bool matches(const BrowserEntry& entry, const Criteria& criteria) {
    if (entry.kind != EntryKind::Picture || !entry.picture) return false;
    return pictureMatches(*entry.picture, entry.flagged, criteria);
}

FolderWalk forEachPicture(const QString& folder, const std::function<void(const PictureRecord&)>& visit) {
    FolderWalk walk;
    if (!QFileInfo(folder).isDir()) {
        walk.problem = QFileInfo::exists(folder) ? QStringLiteral("not a folder") : QStringLiteral("no such folder");
        return walk;
    }
    Catalog catalog;
    walk.catalogMode = catalog.open(folder);
    if (walk.catalogMode) {
        walk.damage = catalog.damage();
        if (catalog.unsafeNames() > 0)
            walk.leftOut.push_back({QStringLiteral("%1 entries of %2").arg(catalog.unsafeNames()).arg(catalog.catalogPath()),
                                    QStringLiteral("their names lead outside the folder; left out")});
        for (const QString& name : catalog.withoutHeader())
            walk.leftOut.push_back({name, QStringLiteral("the catalog holds no picture header for it; left out")});
        catalog.forEachPicture(visit);
        return walk;
    }
    // Names a path cannot spell, and files that are no regular file (a pipe would never be read to
    // its end), are named rather than read.
    FolderListing listing = ListFolder(folder, false);
    if (!listing.result) {
        walk.problem = describe(listing.result);
        return walk;
    }
    walk.leftOut = std::move(listing.leftOut);
    const QDir dir(folder);
    for (const QString& name : std::as_const(listing.pictures)) visit(PictureRecord(dir.filePath(name)));
    return walk;
}

ThumbList markMatches(const EntryList& entries, const Criteria& criteria) {
    QHash<QString, QList<BrowserEntry*>> events;
    for (const auto& entry : entries) {
        if (entry->kind == EntryKind::Picture) continue;
        entry->included = false;
        if (entry->kind == EntryKind::Event) events[entry->text].append(entry.get());
    }
    ThumbList found;
    for (const auto& entry : entries) {
        if (entry->kind != EntryKind::Picture) continue;
        const bool hit = entry->included && matches(*entry, criteria);
        entry->matched = hit;
        entry->included = hit;
        if (!hit) continue;
        found.append(entry.get());
        for (BrowserEntry* event : events.value(browser::eventText(*entry->picture))) event->included = true;
    }
    return found;
}

}  // namespace search

void BrowserModel::runSearch(const search::Criteria& criteria) {
    // The strip's pictures give back their decoded images before the list changes.
    for (BrowserEntry* shown : thumbs_)
        if (shown->picture) shown->picture->unloadImage();
    thumbs_ = search::markMatches(entries_, criteria);
    searchMode_ = true;
}

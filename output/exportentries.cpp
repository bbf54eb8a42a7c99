#include "exportentries.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <limits>

#include "catalog.h"
#include "picturerecord.h"

namespace {

const QString kUnknown = QStringLiteral("Unknown");

// The sort date of the event "Unknown" and of entries without a date, as the browser keeps them.
QDateTime unknownDate() { return QDateTime(QDate(1996, 10, 5), QTime(0, 0)); }

qint64 sortKey(const QDateTime& date) {
    return date.isValid() ? date.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
}

QString folderOf(const QString& path) { return QFileInfo(path).path(); }

// An event with its pictures while the list is regrouped.
struct Group {
    OutputEntry event;
    QDateTime date;
    QList<OutputEntry> pictures;
};

// Date, then the text byte by byte: the tree's order of events and of pictures.
bool earlier(const QDateTime& da, const QString& ta, const QDateTime& db, const QString& tb) {
    const qint64 a = sortKey(da), b = sortKey(db);
    if (a != b) return a < b;
    return ta.toUtf8() < tb.toUtf8();
}

QList<OutputEntry> flatten(std::vector<Group>& groups) {
    QList<OutputEntry> out;
    for (Group& group : groups) {
        if (group.pictures.isEmpty()) continue;
        const int eventIndex = int(out.size());
        out.append(group.event);
        for (OutputEntry& picture : group.pictures) {
            picture.eventText = group.event.eventText;
            picture.eventPath = group.event.eventPath;
            picture.event = eventIndex;
            out.append(picture);
        }
    }
    return out;
}

// An event grouped by `key` (IptcBlock::EventKey), shown by its title.
OutputEntry eventEntry(const QString& key, const QString& path) {
    OutputEntry event;
    event.kind = OutputEntry::Kind::Event;
    event.fileName = IptcBlock::EventTitleOfKey(key);
    event.path = path;
    event.eventText = key;
    event.eventPath = path;
    return event;
}

OutputEntry pictureEntry(PictureRecord* picture) {
    OutputEntry entry;
    entry.kind = OutputEntry::Kind::Picture;
    entry.picture = picture;
    entry.fileName = picture->fileName();
    entry.path = picture->filePath();
    return entry;
}

}  // namespace

QList<OutputEntry> GroupedByEvent(const QList<OutputEntry>& browserEntries, bool includeHidden) {
    std::vector<Group> groups;
    QHash<int, size_t> groupOfIndex;      // browser index of an event -> its group
    QHash<QString, size_t> groupOfText;   // event text -> its group
    for (int i = 0; i < browserEntries.size(); ++i) {
        const OutputEntry& entry = browserEntries[i];
        if (entry.kind != OutputEntry::Kind::Event || (!entry.shown && !includeHidden)) continue;
        // The browser's events carry their key; a list made by hand may give the title alone.
        const QString key = entry.eventText.isEmpty() ? entry.fileName : entry.eventText;
        Group group;
        group.event = entry;
        group.event.eventText = key;
        group.event.eventPath = entry.path;
        groupOfIndex.insert(i, groups.size());
        groupOfText.insert(key, groups.size());
        groups.push_back(group);
    }
    const size_t browserGroups = groups.size();
    for (const OutputEntry& entry : browserEntries) {
        if (entry.kind != OutputEntry::Kind::Picture || (!entry.shown && !includeHidden) || !entry.picture) continue;
        if (entry.event >= 0 && groupOfIndex.contains(entry.event)) {
            groups[groupOfIndex.value(entry.event)].pictures.append(entry);
            continue;
        }
        const QString text = entry.picture->iptc().EventKey();
        auto found = groupOfText.find(text);
        if (found == groupOfText.end()) {
            Group group;
            group.event = eventEntry(text, folderOf(entry.path));
            group.date = text == kUnknown ? unknownDate() : entry.picture->dateTime();
            found = groupOfText.insert(text, groups.size());
            groups.push_back(group);
        }
        groups[*found].pictures.append(entry);
    }
    // Events made here go among the browser's own by date and text; the browser's are in order.
    if (groups.size() > browserGroups) {
        std::vector<Group> made(std::make_move_iterator(groups.begin() + qsizetype(browserGroups)),
                                std::make_move_iterator(groups.end()));
        groups.resize(browserGroups);
        std::stable_sort(made.begin(), made.end(), [](const Group& a, const Group& b) {
            return earlier(a.date, a.event.eventText, b.date, b.event.eventText);
        });
        if (groups.empty()) {
            groups = std::move(made);
        } else {
            // Browser events carry no date here: made events follow the browser's, in their own order.
            for (Group& group : made) groups.push_back(std::move(group));
        }
    }
    return flatten(groups);
}

FolderExport ReadFolderForExport(const QString& folder) {
    FolderExport result;
    result.folder = folder;
    if (!QFileInfo(folder).isDir()) {
        result.problem = QFileInfo::exists(folder) ? QStringLiteral("not a folder") : QStringLiteral("no such folder");
        return result;
    }
    Catalog catalog;
    result.catalogMode = bool(catalog.load(folder, true));
    if (result.catalogMode) {
        for (std::unique_ptr<PictureRecord>& picture : catalog.takePictures()) result.pictures.push_back(std::move(picture));
        result.damage = catalog.damage();
        if (catalog.unsafeNames() > 0)
            result.leftOut.push_back(
                {QStringLiteral("%1 entries of %2").arg(catalog.unsafeNames()).arg(catalog.catalogPath()),
                 QStringLiteral("their names lead outside the folder; left out")});
        for (const QString& name : catalog.withoutHeader())
            result.leftOut.push_back({name, QStringLiteral("the catalog holds no picture header for it; left out")});
    } else {
        // The listing the catalog is created from: names a path cannot spell, and files that are no
        // regular file (a pipe would never be read to its end), are named rather than read.
        FolderListing listing = ListFolder(folder, false);
        if (!listing.result) {
            result.problem = describe(listing.result);
            return result;
        }
        for (const QString& name : std::as_const(listing.pictures))
            result.pictures.push_back(std::make_unique<PictureRecord>(QDir(folder).filePath(name)));
        result.leftOut = std::move(listing.leftOut);
    }

    // Events as the tree makes them: one per event title, dated by the first picture that names it
    // (in catalog or listing order); "Unknown" among them by its own date.
    struct Event {
        QString text;
        QString path;
        QDateTime date;
        std::vector<PictureRecord*> pictures;
    };
    std::vector<Event> events;
    QHash<QString, size_t> eventOf;
    for (const auto& picture : result.pictures) {
        const QString text = picture->iptc().EventKey();
        auto found = eventOf.find(text);
        if (found == eventOf.end()) {
            found = eventOf.insert(text, events.size());
            events.push_back({text, text == kUnknown ? folder : folderOf(picture->filePath()),
                              text == kUnknown ? unknownDate() : picture->dateTime(), {}});
        }
        events[*found].pictures.push_back(picture.get());
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const Event& a, const Event& b) { return earlier(a.date, a.text, b.date, b.text); });
    std::vector<Group> groups;
    for (Event& event : events) {
        std::stable_sort(event.pictures.begin(), event.pictures.end(), [](PictureRecord* a, PictureRecord* b) {
            return earlier(a->dateTime(), a->fileName(), b->dateTime(), b->fileName());
        });
        Group group;
        group.event = eventEntry(event.text, event.path);
        for (PictureRecord* picture : event.pictures) group.pictures.append(pictureEntry(picture));
        groups.push_back(std::move(group));
    }
    result.entries = flatten(groups);
    return result;
}

QList<OutputEntry> EntriesForPictures(const QList<PictureRecord*>& pictures) {
    std::vector<Group> groups;
    QHash<QString, size_t> groupOfText;
    for (PictureRecord* picture : pictures) {
        if (!picture) continue;
        const QString text = picture->iptc().EventKey();
        auto found = groupOfText.find(text);
        if (found == groupOfText.end()) {
            found = groupOfText.insert(text, groups.size());
            Group group;
            group.event = eventEntry(text, folderOf(picture->filePath()));
            groups.push_back(group);
        }
        groups[*found].pictures.append(pictureEntry(picture));
    }
    return flatten(groups);
}

QList<PictureRecord*> PicturesOf(const QList<OutputEntry>& entries, const QString& eventTitle) {
    QList<PictureRecord*> pictures;
    for (const OutputEntry& entry : entries)
        if (entry.kind == OutputEntry::Kind::Picture && entry.picture &&
            (eventTitle.isEmpty() || IptcBlock::EventTitleOfKey(entry.eventText) == eventTitle))
            pictures.append(entry.picture);
    return pictures;
}

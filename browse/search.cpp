#include "search.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <iterator>

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

namespace {

// The packet's content without the xpacket processing instructions that wrap it.
QByteArrayView unwrapped(QByteArrayView packet) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    qsizetype begin = 0;
    while (begin < packet.size() && isSpace(packet[begin])) ++begin;
    if (packet.sliced(begin).startsWith("<?xpacket")) {
        const qsizetype close = packet.indexOf("?>", begin);
        if (close < 0) return packet;
        packet = packet.sliced(close + 2);
    }
    const qsizetype last = packet.lastIndexOf("<?xpacket");
    if (last >= 0) {
        const qsizetype close = packet.indexOf("?>", last);
        if (close < 0) return packet;
        for (qsizetype i = close + 2; i < packet.size(); ++i)
            if (!isSpace(packet[i])) return packet;
        packet = packet.first(last);
    }
    return packet;
}

// True when every run of a value the XML holds between the five markup characters is a run of its
// bytes: printable ASCII and white space only, entities only of those characters, and no character
// reference, comment, CDATA section or processing instruction that could join bytes that do not
// stand together.
bool valuesAreBytes(QByteArrayView xml) {
    static constexpr QByteArrayView kEntities[] = {"amp;", "lt;", "gt;", "quot;", "apos;"};
    for (qsizetype i = 0; i < xml.size(); ++i) {
        const char c = xml[i];
        if (!((c >= 0x20 && c < 0x7F) || c == '\t' || c == '\n' || c == '\r')) return false;
        if (c == '&' && std::none_of(std::begin(kEntities), std::end(kEntities),
                                     [&](QByteArrayView e) { return xml.sliced(i + 1).startsWith(e); }))
            return false;
    }
    return !xml.contains("<?") && !xml.contains("<!");
}

// A term whose every character stands for itself in such XML: printable ASCII, no markup character.
bool plainAsciiWord(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7F || QStringView(u"&<>\"'").contains(c)) return false;
    return true;
}

}  // namespace

bool mightMatch(const PictureRecord& withoutXmp, const Criteria& criteria) {
    const QByteArray& packet = withoutXmp.iptc().xmpPacket();
    const QByteArrayView content = unwrapped(packet);
    if (!valuesAreBytes(content)) return true;
    for (const QString& text : criteria.texts) {
        if (text.trimmed().isEmpty() || textMatches(withoutXmp, text, criteria)) continue;
        // XMP may replace any field: one of the text's terms must stand in the packet. A negative or
        // empty term can match whatever XMP holds; a term that is not a plain ASCII word could be
        // matched through case folding or composition by bytes that do not spell it.
        bool could = false;
        for (const picturesearch::Term& term : picturesearch::splitTerms(text)) {
            could = term.negative || term.text.isEmpty() || !plainAsciiWord(term.text) ||
                    QLatin1StringView(content).contains(QLatin1StringView(term.text.toLatin1()),
                                                        term.exactCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
            if (could) break;
        }
        if (!could) return false;
    }
    return true;
}

FolderWalk forEachPicture(const QString& folder, const std::function<void(const PictureRecord&)>& visit,
                          const Catalog::PictureFilter& wanted) {
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
        catalog.forEachPicture(visit, wanted);
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

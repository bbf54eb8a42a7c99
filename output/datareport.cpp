#include "datareport.h"

#include <QLocale>
#include <QMap>

#include <algorithm>
#include <map>
#include <vector>

#include "picturerecord.h"
#include "safewrite.h"
#include "samefile.h"

namespace {

// A new file gets the time of writing, never that of a file it replaces.
SafeWriteOptions freshTimes() {
    SafeWriteOptions options;
    options.keepTimes = false;
    return options;
}

bool isEvent(const OutputEntry& e) { return e.kind == OutputEntry::Kind::Event; }
bool isPicture(const OutputEntry& e) { return e.kind == OutputEntry::Kind::Picture && e.picture; }

// Byte order of the UTF-8 text, case-sensitive, as the report sorts.
bool byteLess(const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); }

// Distinct values in first-seen order with their counts, written sorted.
class Tally {
public:
    void add(const QString& value) {
        for (auto& item : items_)
            if (item.first == value) {
                ++item.second;
                return;
            }
        items_.emplace_back(value, 1);
    }
    QString text() const {
        auto sorted = items_;
        std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return byteLess(a.first, b.first); });
        QStringList lines;
        for (const auto& [value, count] : sorted) lines << QStringLiteral("%1 (%2 pictures)").arg(value).arg(count);
        return lines.join(QLatin1Char('\n'));
    }

private:
    std::vector<std::pair<QString, int>> items_;
};

QString usDate(const QDateTime& date) { return QLocale::c().toString(date.date(), QStringLiteral("MM/dd/yyyy")); }

}  // namespace

bool reportKindFromName(const QString& name, ReportKind* kind) {
    const QString n = name.toLower();
    if (n == QLatin1String("summary")) *kind = ReportKind::Summary;
    else if (n == QLatin1String("events")) *kind = ReportKind::EventsOnly;
    else if (n == QLatin1String("pictures")) *kind = ReportKind::PictureAndEvents;
    else if (n == QLatin1String("all")) *kind = ReportKind::All;
    else return false;
    return true;
}

QString SummaryReport(const QList<OutputEntry>& entries, const QDateTime& now) {
    int count = 0;
    QDateTime earliest = now;
    QDateTime latest(QDate(1900, 1, 1), QTime(0, 0));
    bool dated = false;
    Tally locations, cities, states;
    // Family name -> first names (first-seen order); the map keeps the family names for sorting.
    std::vector<std::pair<QString, QStringList>> families;
    const auto family = [&](const QString& name) -> QStringList& {
        for (auto& f : families)
            if (f.first == name) return f.second;
        families.emplace_back(name, QStringList());
        return families.back().second;
    };
    for (const OutputEntry& entry : entries) {
        if (!isPicture(entry)) continue;
        ++count;
        const IptcBlock& data = entry.picture->iptc();
        const QDateTime taken = data.dateTime;
        if (taken.isValid()) {
            dated = true;
            if (taken < earliest) earliest = taken;
            if (taken > latest) latest = taken;
        }
        const QString location = data.location.trimmed(), city = data.city.trimmed(), state = data.state.trimmed();
        locations.add(location + ", " + city + ", " + state);
        cities.add(city);
        states.add(state);
        for (const QString& raw : data.people) {
            const QString person = raw.trimmed();
            const qsizetype space = person.indexOf(QLatin1Char(' '), 1);
            if (!person.isEmpty() && space > 0) {
                QStringList& firsts = family(person.mid(space + 1));
                const QString first = person.left(space);
                if (!firsts.contains(first)) firsts << first;
            } else {
                family(person).clear();
            }
        }
    }
    std::stable_sort(families.begin(), families.end(), [](const auto& a, const auto& b) { return byteLess(a.first, b.first); });
    QStringList people;
    for (auto& [name, firsts] : families) {
        std::stable_sort(firsts.begin(), firsts.end(), byteLess);
        people << (firsts.isEmpty() ? name : firsts.join(QStringLiteral(", ")) + " " + name);
    }
    // Without a single date the range would run from today back to 1900.
    QString text = dated ? QStringLiteral("%1 Pictures taken from %2 to %3\n").arg(count).arg(usDate(earliest), usDate(latest))
                         : QStringLiteral("%1 Pictures, none with the date it was taken\n").arg(count);
    text += "\nLocations:\n" + locations.text() + "\n";
    text += "\nCitys:\n" + cities.text() + "\n";
    text += "\nStates:\n" + states.text() + "\n";
    text += "\nPeople:\n" + people.join(QStringLiteral("; ")) + "\n";
    return text;
}

QString EventsOnlyReport(const QList<OutputEntry>& entries) {
    QString text;
    int count = 0;
    bool first = true, pending = false;
    for (const OutputEntry& entry : entries) {
        if (isEvent(entry)) {
            if (!first) text += QStringLiteral(" (%1 Pictures)\n").arg(count);
            count = 0;
            text += entry.fileName;
            pending = true;
            first = false;
        } else if (isPicture(entry)) {
            if (pending) {
                text += "," + entry.picture->iptc().city + "," + entry.picture->iptc().state;
                pending = false;
            }
            ++count;
        }
    }
    text += QStringLiteral(" (%1 Pictures)\n").arg(count);
    return text;
}

QString PictureAndEventsReport(const QList<OutputEntry>& entries) {
    QString text;
    bool pending = false;
    for (const OutputEntry& entry : entries) {
        if (isEvent(entry)) {
            // An event without pictures still ends its line.
            if (pending) text += "\n";
            text += entry.fileName;
            pending = true;
        } else if (isPicture(entry)) {
            const IptcBlock& data = entry.picture->iptc();
            if (pending) {
                text += "," + data.city + "," + data.state + "\n";
                pending = false;
            }
            // The stored time text is read only as far as it goes.
            text += "\t" + entry.picture->fileName() + " " + data.timeText.mid(0, 2) + ":" + data.timeText.mid(2, 2) + " " +
                    data.headline + " (" + data.people.join(QLatin1Char(',')) + ")\n";
        }
    }
    if (pending) text += "\n";
    return text;
}

QString DataReport(const QList<OutputEntry>& entries, ReportKind kind, const QDateTime& now) {
    switch (kind) {
        case ReportKind::Summary: return SummaryReport(entries, now);
        case ReportKind::EventsOnly: return EventsOnlyReport(entries);
        case ReportKind::PictureAndEvents: return PictureAndEventsReport(entries);
        case ReportKind::All:
            return SummaryReport(entries, now) + "\n" + EventsOnlyReport(entries) + "\n" + PictureAndEventsReport(entries);
    }
    return {};
}

DataReportResult WriteDataReport(const QList<OutputEntry>& entries, ReportKind kind, const QString& path,
                                 const QDateTime& now) {
    DataReportResult result;
    if (path.trimmed().isEmpty()) {
        result.message = QStringLiteral("No report was written: no file name was given.");
        return result;
    }
    QList<PictureRecord*> inputs;
    for (const OutputEntry& entry : entries)
        if (entry.kind == OutputEntry::Kind::Picture && entry.picture) inputs.append(entry.picture);
    if (const QString input = InputAtOutput(path, inputs); !input.isEmpty()) {
        result.message = QStringLiteral("No report was written: %1.").arg(OutputIsInputText(path, input));
        return result;
    }
    const QByteArray text = DataReport(entries, kind, now).toUtf8();
    const WriteResult write = safeWrite(path, [&](QFile& file) { return file.write(text) == text.size(); }, {},
                                        freshTimes());
    if (!write) {
        result.message = QStringLiteral("%1 could not be written: %2").arg(path, describe(write));
        return result;
    }
    result.written = true;
    result.message = QStringLiteral("Exporting of data is complete");
    return result;
}

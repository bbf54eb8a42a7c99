// snaplore-cli search: the pictures of a folder that the window's Search finds, over the same tests.

#include "commands.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "browsermodel.h"
#include "jsonwriter.h"
#include "search.h"

namespace {

const char kUsage[] =
    "Usage: snaplore-cli search DIR [--people TEXT] [--place TEXT] [--other TEXT] [--in GROUPS]\n"
    "                           [--from DATE] [--to DATE] [--rating N] [--json]\n"
    "Finds the pictures of a folder as the window's Search does: the entries of its catalog when it has\n"
    "one (those taken over from subfolders and archived ones included), else its .jpg files.\n"
    "  --people TEXT   a text the People list must match\n"
    "  --place TEXT    a text Location, City, State or Country must match\n"
    "  --other TEXT    a text the event, Headline or Caption must match\n"
    "                  Each may be given more than once; a picture is found when every text matches.\n"
    "  --in GROUPS     test every text in these groups instead of its own: a comma list of people,\n"
    "                  place and other; a text then matches when it matches in one of them, as with\n"
    "                  the window's \"Search In\" (--other lighthouse --in other,place finds\n"
    "                  \"lighthouse\" in the event, headline, caption or place)\n"
    "  --from DATE     pictures dated after the start of this day, YYYY-MM-DD (default 1900-01-01)\n"
    "  --to DATE       pictures dated before the end of this day (default today)\n"
    "  --rating N      1 gold star, 2 silver star (also a picture without rating), 3 bronze star,\n"
    "                  4 no star; 0 any (default)\n"
    "  --json          a JSON array of objects with the keys date, event, headline and path\n"
    "A text holds terms separated by commas, of which one must match. A term is found anywhere in a\n"
    "field, in any case; \"-term\" matches when no field of the group holds the term; a term in double\n"
    "quotes must match with its case. A picture whose data hold no date counts as dated 1899-12-30\n"
    "00:00, so the default range leaves it out.\n"
    "Prints a line a picture, by date, then name: path, event, date (YYYY-MM-DDTHH:MM:SS) and\n"
    "headline, separated by tabs. What the folder's reading leaves out is named on standard error\n"
    "without changing the exit status.\n"
    "The exit status is 0 when a picture was found, 1 when none was or the folder cannot be read, and\n"
    "2 for a mistake in the command line.\n";

// The groups of the dialog's "Search In", in the order of its boxes.
const QStringList kGroups = {QStringLiteral("people"), QStringLiteral("place"), QStringLiteral("other")};

struct Found {
    QDateTime date;
    QByteArray name;  // the order among pictures of one date
    QString path, event, headline;
};

// A day given as YYYY-MM-DD; invalid for anything else.
QDate parseDay(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^([0-9]{4})-([0-9]{2})-([0-9]{2})$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) return {};
    return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
}

QString printable(const QString& text) { return printableName(text.toUtf8()); }

}  // namespace

int runSearch(const CliArgs& args, CliStreams io) {
    CliOptions p;
    if (const auto status = parseCommandLine(args, io, "search", kUsage,
                                             {"people", "place", "other", "in", "from", "to", "rating"}, {"json"}, p))
        return *status;
    const auto mistake = [&](const QString& reason) { return usageError(io, "search", reason, kUsage); };
    if (p.operands.isEmpty()) return mistake(QStringLiteral("no folder given"));
    if (p.operands.size() > 1) return mistake(QStringLiteral("one folder only"));

    // The dialog's defaults: every group, any rating, from 1900 to the end of today.
    search::Criteria base;
    base.from = search::defaultFrom();
    base.to = search::dayEnd(QDate::currentDate());
    const QDate from = parseDay(p.value("from")), to = parseDay(p.value("to"));
    if (p.has("from") && !from.isValid())
        return mistake(QStringLiteral("--from wants a date as YYYY-MM-DD, not '%1'").arg(p.value("from")));
    if (p.has("to") && !to.isValid())
        return mistake(QStringLiteral("--to wants a date as YYYY-MM-DD, not '%1'").arg(p.value("to")));
    if (from.isValid()) base.from = search::dayStart(from);
    if (to.isValid()) base.to = search::dayEnd(to);
    if (p.has("rating")) {
        const QString rating = p.value("rating");
        if (rating.size() != 1 || rating[0] < u'0' || rating[0] > u'4')
            return mistake(QStringLiteral("--rating wants 0 to 4, not '%1'").arg(rating));
        base.rating = search::kRatingItems[rating[0].unicode() - u'0'];
    }
    std::optional<std::array<bool, 3>> searchIn;  // people, place, other
    if (p.has("in")) {
        std::array<bool, 3> groups{};
        const QStringList names = p.value("in").split(u',');
        for (const QString& name : names) {
            const qsizetype group = kGroups.indexOf(name.trimmed());
            if (group < 0)
                return mistake(QStringLiteral("--in wants a comma list of people, place and other, not '%1'").arg(p.value("in")));
            groups[size_t(group)] = true;
        }
        searchIn = groups;
    }

    // One set of the dialog's criteria for each text: the text alone, tested in its own group or in
    // those of --in. A picture is found when it meets every set.
    std::vector<search::Criteria> tests;
    for (const CliOptions::Option& option : std::as_const(p.options)) {
        const qsizetype own = kGroups.indexOf(option.name);
        if (own < 0) continue;
        search::Criteria c = base;
        c.texts[0] = option.value;
        std::array<bool, 3> groups{};
        groups[size_t(own)] = true;
        if (searchIn) groups = *searchIn;
        c.people = groups[0];
        c.place = groups[1];
        c.other = groups[2];
        tests.push_back(c);
    }
    if (tests.empty()) tests.push_back(base);

    const QString folder = QFile::decodeName(p.operands.first());
    if (QFile::encodeName(folder) != p.operands.first()) {
        io.err << "snaplore-cli search: " << printableName(p.operands.first())
               << ": the name is not valid UTF-8 and cannot be read\n";
        return 1;
    }
    std::vector<Found> found;
    const search::FolderWalk walk = search::forEachPicture(folder, [&](const PictureRecord& picture) {
        for (const search::Criteria& c : tests)
            if (!search::pictureMatches(picture, false, c)) return;
        found.push_back({search::storedDate(picture), picture.fileName().toUtf8(), picture.filePath(),
                         browser::eventTitle(browser::eventText(picture)), picture.iptc().headline});
    }, [&](const PictureRecord& withoutXmp) {
        for (const search::Criteria& c : tests)
            if (!search::mightMatch(withoutXmp, c)) return false;
        return true;
    });
    if (!walk.problem.isEmpty()) {
        io.err << "snaplore-cli search: " << printableName(p.operands.first()) << ": " << walk.problem << "\n";
        return 1;
    }
    if (!walk.damage.isEmpty()) io.err << "snaplore-cli search: " << walk.damage << "\n";
    for (const CatalogLeftOut& left : walk.leftOut)
        io.err << "snaplore-cli search: " << printable(left.name) << ": " << left.reason << "\n";

    // In the order the window's search result lists them.
    std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.date != b.date ? a.date < b.date : a.name < b.name;
    });
    const auto dateText = [](const QDateTime& date) { return date.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")); };
    if (p.has("json")) {
        JsonWriter json;
        json.beginArray();
        for (const Found& f : found) {
            json.beginObject();
            json.key("date");
            json.value(dateText(f.date));
            json.key("event");
            json.value(f.event);
            json.key("headline");
            json.value(f.headline);
            json.key("path");
            json.value(f.path);
            json.endObject();
        }
        json.endArray();
        writeUtf8(io.out, json.data());
    } else {
        // A tab or line break inside a text is printed escaped, so that a picture stays one line.
        for (const Found& f : found)
            io.out << printable(f.path) << "\t" << printable(f.event) << "\t" << dateText(f.date) << "\t"
                   << printable(f.headline) << "\n";
    }
    return found.empty() ? 1 : 0;
}

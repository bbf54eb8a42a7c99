#include "commands.h"
#include "catalogupdate.h"
#include "picturerecord.h"
#include "safewrite.h"

#include <QFile>

#include <deque>
#include <map>
#include <optional>

namespace {

const char kSetUsage[] =
    "Usage: snaplore-cli set [OPTIONS] FILE...\n"
    "       snaplore-cli set --copy-from PICTURE [--copy LIST] FILE|DIR...\n"
    "Writes picture data into each JPEG file, keeping everything else in it.\n"
    "  --event TEXT          event (\"name\" or \"MM/DD/YYYY-->MM/DD/YYYY:::name\")\n"
    "  --headline TEXT       headline\n"
    "  --caption TEXT        caption\n"
    "  --person NAME         a person, place or thing shown (repeat; replaces the list)\n"
    "  --location TEXT       location\n"
    "  --city TEXT           city\n"
    "  --state TEXT          state\n"
    "  --country TEXT        country\n"
    "  --rating N            rating, one digit from 0 to 9 (empty: none)\n"
    "  --datetime \"YYYY-MM-DD HH:MM:SS\"   date and time the picture was taken\n"
    "  --instructions TEXT   rotation and crop instruction text\n"
    "  --clear               empty every field first\n"
    "  --copy-from PICTURE   give PICTURE's data to each FILE and to the pictures of each DIR (its\n"
    "                        catalog's when it has one); each keeps its own date, rotation and crop\n"
    "  --copy LIST           with --copy-from, what goes: words from event, headline, people, rating,\n"
    "                        caption, place, separated by commas (default: event,caption,place). By-line,\n"
    "                        credit, copyright notice and the other fields not on the form go when\n"
    "                        PICTURE has a value for them\n"
    "Text values are UTF-8 and hold no control characters other than line feed and tab.\n";

struct Edit {
    bool clear = false;
    std::map<QString, QString> texts;  // option name -> value
    std::optional<QStringList> people;
    std::optional<QDateTime> dateTime;
};

void apply(const Edit& edit, IptcBlock& iptc) {
    if (edit.clear) iptc.Clear();
    static const std::map<QString, QString IptcBlock::*> fields = {
        {"event", &IptcBlock::event},       {"headline", &IptcBlock::headline}, {"caption", &IptcBlock::caption},
        {"location", &IptcBlock::location}, {"city", &IptcBlock::city},         {"state", &IptcBlock::state},
        {"country", &IptcBlock::country},   {"rating", &IptcBlock::rating},     {"instructions", &IptcBlock::instructions},
    };
    for (const auto& [name, value] : edit.texts) iptc.*(fields.at(name)) = value;
    if (edit.people) iptc.people = *edit.people;
    if (edit.dateTime) iptc.dateTime = *edit.dateTime;
}

// Why a value cannot go into its field; empty when it can. `name` is the option without dashes.
QString valueProblem(const QString& name, const QString& value) {
    if (name == "rating") {
        // The field holds a single digit.
        if (value.isEmpty() || (value.size() == 1 && value[0] >= QLatin1Char('0') && value[0] <= QLatin1Char('9')))
            return {};
        return QStringLiteral("--rating wants one digit from 0 to 9, not '%1'").arg(value);
    }
    for (const QChar c : value)
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\n') && c != QLatin1Char('\t'))
            return QStringLiteral("--%1 holds the control character U+%2")
                .arg(name, QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0')));
    return {};
}

}  // namespace

int runSet(const CliArgs& args, CliStreams io) {
    static const QStringList textOptions = {"event", "headline", "caption",  "location",    "city",
                                            "state", "country",  "rating",   "instructions"};
    Edit edit;
    const auto refuse = [&](const QString& reason) { return usageError(io, "set", reason, kSetUsage); };
    CliOptions p;
    if (const auto status = parseCommandLine(args, io, "set", kSetUsage,
                                             textOptions + QStringList{"person", "datetime", "copy-from", "copy"}, {"clear"}, p))
        return *status;
    if (p.has("copy-from")) {
#ifdef SNAPLORE_CLI_IMAGE
        return runCopyFrom(p, io, kSetUsage);
#else
        return usageError(io, "set", QStringLiteral("--copy-from is answered by snaplore-cli-image"), kSetUsage);
#endif
    }
    if (p.has("copy")) return refuse(QStringLiteral("--copy goes with --copy-from"));
    const QList<QByteArray>& files = p.operands;
    for (const CliOptions::Option& option : p.options) {
        const QString& name = option.name;
        const QString& value = option.value;
        if (name == "clear") {
            edit.clear = true;
            continue;
        }
        if (name != "datetime") {
            const QString problem = valueProblem(name, value);
            if (!problem.isEmpty()) return refuse(problem);
        }
        if (textOptions.contains(name)) {
            edit.texts[name] = value;
        } else if (name == "person") {
            if (!edit.people) edit.people = QStringList();
            edit.people->append(value);
        } else {
            const QDateTime dt = QDateTime::fromString(value, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (!dt.isValid()) return refuse(QStringLiteral("--datetime wants \"YYYY-MM-DD HH:MM:SS\", not '%1'").arg(value));
            edit.dateTime = dt;
        }
    }
    if (files.isEmpty()) return refuse(QStringLiteral("no file given"));

    int status = 0;
    auto report = [&](const QString& path, const WriteResult& result) {
        if (result) return;
        io.err << "snaplore-cli: " << path << ": " << describe(result) << "\n";
        status = 1;
    };
    // Files are flushed to disk together, a batch at a time, so that temporaries do not pile up.
    struct Staged {
        QString path;  // as given
        PictureChange change;
    };
    std::deque<Staged> staged;  // in the batch's order
    PictureChanges written;
    qint64 heldHeaderBytes = 0;
    SafeWriteBatch batch([&](const std::vector<SafeWriteBatch::Outcome>& outcomes) {
        for (const SafeWriteBatch::Outcome& outcome : outcomes) {
            Staged& done = staged.front();
            report(done.path, outcome.result);
            if (outcome.result) {
                if (!done.change.note.isEmpty())
                    io.err << "snaplore-cli: " << done.path << ": warning: " << done.change.note << "\n";
                // Past this much, the catalog reads the few header bytes it needs from the pictures.
                heldHeaderBytes += done.change.header.size();
                if (heldHeaderBytes > 64 * 1024 * 1024) done.change.header.clear();
                written.push_back(std::move(done.change));
            }
            staged.pop_front();
        }
    });
    for (const QByteArray& raw : files) {
        const QString path = QFile::decodeName(raw);
        // A file named twice is read again after its first rewrite is in place, as one by one.
        if (batch.holds(path)) batch.commit();
        WriteResult result;
        // Only a regular file is handed on: the picture reader opens by name and would wait on a pipe.
        if (const QString problem = inputFileProblem(raw); !problem.isEmpty()) {
            io.err << "snaplore-cli: " << printableName(raw) << ": " << problem << "\n";
            status = 1;
            continue;
        }
        PictureRecord picture(path);
        if (!picture.isJpeg())
            result = {WriteError::NotWalkable, QStringLiteral("not a JPEG file")};
        else {
            apply(edit, picture.iptc());
            // A commit may come inside the write that stages this file: its entry is in place first.
            staged.push_back({path, {}});
            result = picture.iptc().WriteIptc({}, &batch, true, &staged.back().change);
            if (!result) staged.pop_back();
        }
        report(path, result);
    }
    batch.commit();
    // The catalogs of the folders written keep up with their pictures.
    for (const CatalogUpdateReport& catalog : catalogupdate::apply(written))
        if (!catalog.ok()) {
            io.err << "snaplore-cli: " << catalog.folder << ": the catalog could not be written again: "
                   << describe(catalog.write) << "\n";
            status = 1;
        }
    io.err.flush();
    return status;
}

#include "commands.h"
#include "picturerecord.h"
#include "safewrite.h"

#include <QFileInfo>

#include <map>
#include <optional>

namespace {

const char kSetUsage[] =
    "Usage: snaplore-cli set [OPTIONS] FILE...\n"
    "Writes picture data into each JPEG file, keeping everything else in it.\n"
    "  --event TEXT          event (\"name\" or \"MM/DD/YYYY-->MM/DD/YYYY:::name\")\n"
    "  --headline TEXT       headline\n"
    "  --caption TEXT        caption\n"
    "  --person NAME         a person, place or thing shown (repeat; replaces the list)\n"
    "  --location TEXT       location\n"
    "  --city TEXT           city\n"
    "  --state TEXT          state\n"
    "  --country TEXT        country\n"
    "  --rating N            rating number\n"
    "  --datetime \"YYYY-MM-DD HH:MM:SS\"   date and time the picture was taken\n"
    "  --instructions TEXT   rotation and crop instruction text\n"
    "  --clear               empty every field first\n";

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

}  // namespace

int runSet(const QStringList& args, CliStreams io) {
    static const QStringList textOptions = {"event", "headline", "caption",  "location",    "city",
                                            "state", "country",  "rating",   "instructions"};
    Edit edit;
    QStringList files;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (optionsEnded || !a.startsWith("--")) {
            files << a;
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "--help") {
            io.out << kSetUsage;
            return 0;
        }
        if (a == "--clear") {
            edit.clear = true;
            continue;
        }
        QString name = a.mid(2);
        QString value;
        const qsizetype eq = name.indexOf('=');
        if (eq >= 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            io.err << "snaplore-cli set: option --" << name << " needs a value\n";
            return 2;
        }
        if (textOptions.contains(name)) {
            edit.texts[name] = value;
        } else if (name == "person") {
            if (!edit.people) edit.people = QStringList();
            edit.people->append(value);
        } else if (name == "datetime") {
            const QDateTime dt = QDateTime::fromString(value, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (!dt.isValid()) {
                io.err << "snaplore-cli set: --datetime wants \"YYYY-MM-DD HH:MM:SS\", not '" << value << "'\n";
                return 2;
            }
            edit.dateTime = dt;
        } else {
            io.err << "snaplore-cli set: unknown option '" << a << "'\n" << kSetUsage;
            return 2;
        }
    }
    if (files.isEmpty()) {
        io.err << kSetUsage;
        return 2;
    }

    int status = 0;
    auto report = [&](const QString& path, const WriteResult& result) {
        if (result) return;
        io.err << "snaplore-cli: " << path << ": " << describe(result) << "\n";
        status = 1;
    };
    // Files are flushed to disk together, a batch at a time, so that temporaries do not pile up.
    constexpr qsizetype kBatchFiles = 64;
    constexpr qint64 kBatchBytes = 256 << 20;
    SafeWriteBatch batch;
    QStringList staged;  // the paths as given, in the batch's order
    auto commit = [&] {
        const std::vector<SafeWriteBatch::Outcome> outcomes = batch.commit();
        for (size_t i = 0; i < outcomes.size(); ++i) report(staged[qsizetype(i)], outcomes[i].result);
        staged.clear();
    };
    for (const QString& path : files) {
        // A file named twice is read again after its first rewrite is in place, as one by one.
        if (batch.holds(path)) commit();
        PictureRecord picture(path);
        WriteResult result;
        if (!QFileInfo(path).isFile())
            result = {WriteError::OpenFailed, QStringLiteral("no such file")};
        else if (!picture.isJpeg())
            result = {WriteError::NotWalkable, QStringLiteral("not a JPEG file")};
        else {
            apply(edit, picture.iptc());
            result = picture.iptc().WriteIptc({}, &batch);
            if (result) staged << path;
        }
        report(path, result);
        if (batch.size() >= kBatchFiles || batch.pendingBytes() >= kBatchBytes) commit();
    }
    commit();
    io.err.flush();
    return status;
}

// snaplore-cli catalog: a folder's catalog file from the command line, over the same code as the program.

#include "commands.h"

#include <QMap>

#include "catalog.h"
#include "jsonwriter.h"
#include "picturejson.h"

namespace {

const char kUsage[] =
    "Usage: snaplore-cli catalog COMMAND DIR [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  create DIR [--subfolders]                    write DIR's catalog from its .jpg files (and subfolder catalogs)\n"
    "  list DIR [--json]                            show every entry of DIR's catalog\n"
    "  archive DIR --cd-name NAME --location PATH   record the disc and folder the pictures in DIR were\n"
    "                                               archived to (entries of pictures elsewhere keep theirs)\n"
    "  refresh DIR                                  create the catalog again when a subfolder's catalog is newer\n"
    "  version DIR                                  print the catalog version: 0 (none), 2 or 3\n"
    "  remove DIR                                   empty the catalog file, so that it no longer counts\n";

struct Parsed {
    QString folder;
    QStringList flags;              // options without a value, as given
    QMap<QString, QString> values;  // options with a value
};

// One folder argument, the allowed flags, and the options that take a value. False for a mistake,
// which is named on `err` with the usage; `help` is set for --help.
bool parse(const QString& command, const CliArgs& args, const QStringList& flags, const QStringList& valued,
           Parsed& parsed, QTextStream& err, bool& help) {
    const auto mistake = [&](const QString& reason) {
        err << "snaplore-cli catalog " << command << ": " << reason << "\n" << kUsage;
        return false;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.text[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            help = true;
            return false;
        }
        if (flags.contains(a)) {
            parsed.flags << a;
        } else if (valued.contains(a)) {
            if (i + 1 >= args.size()) return mistake(QStringLiteral("option '%1' needs a value").arg(a));
            ++i;
            // Values go into the catalog as UTF-8 text: bytes that are not cannot be kept as given.
            if (!isUtf8(args.raw[i]))
                return mistake(QStringLiteral("the value of '%1' is not valid UTF-8: '%2'").arg(a, printableName(args.raw[i])));
            parsed.values[a] = args.text[i];
        } else if (a.startsWith(QLatin1Char('-')) && a != QLatin1String("-")) {
            return mistake(QStringLiteral("unknown option '%1'").arg(printableName(args.raw[i])));
        } else if (parsed.folder.isEmpty()) {
            if (!isUtf8(args.raw[i]))
                return mistake(QStringLiteral("the folder name '%1' is not valid UTF-8").arg(printableName(args.raw[i])));
            parsed.folder = a;
        } else {
            return mistake(QStringLiteral("one folder only"));
        }
    }
    if (parsed.folder.isEmpty()) return mistake(QStringLiteral("no folder given"));
    for (const QString& v : valued)
        if (!parsed.values.contains(v)) return mistake(QStringLiteral("option '%1' is required").arg(v));
    return true;
}

QString printable(QString name) { return name.replace(QLatin1Char('\n'), QLatin1String("\\n")); }

// Names the pictures and subfolders the catalog does not hold; 1 when there are any.
int reportLeftOut(const char* command, const std::vector<CatalogLeftOut>& leftOut, QTextStream& err) {
    for (const CatalogLeftOut& left : leftOut)
        err << "snaplore-cli catalog " << command << ": " << printable(left.name) << ": " << left.reason << "\n";
    return leftOut.empty() ? 0 : 1;
}

int create(const Parsed& p, CliStreams io) {
    Catalog catalog;
    const CatalogCreateReport report = catalog.create(p.folder, p.flags.contains(QLatin1String("--subfolders")));
    if (!report.ok()) {
        io.err << "snaplore-cli catalog create: " << p.folder << ": " << describe(report.write)
               << "; the catalog was not written\n";
        return 1;
    }
    const int status = reportLeftOut("create", report.leftOut, io.err);
    io.out << "Catalog Created: " << report.count << " entries, " << report.totalSize << " bytes of pictures\n";
    if (report.keptArchived > 0)
        io.out << "Kept " << report.keptArchived << " archived entries whose pictures are not in the folder\n";
    return status;
}

void writeEntryJson(JsonWriter& json, const PictureRecord& picture) {
    json.beginObject();
    json.key("archiveLocation");
    json.value(picture.archiveLocation);
    json.key("archiveName");
    json.value(picture.archiveName);
    json.key("exif");
    writeExifJson(json, picture.reader());
    json.key("fileSize");
    json.value(qint64(picture.fileSize()));
    json.key("hasData");
    json.value(picture.hasData());
    json.key("headerLength");
    json.value(qint64(picture.headerSize()));
    json.key("height");
    json.value(picture.frameHeight());
    json.key("iptc");
    writeIptcJson(json, picture.iptc(), picture.header());
    json.key("name");
    json.value(picture.fileName());
    json.key("path");
    json.value(picture.filePath());
    json.key("width");
    json.value(picture.frameWidth());
    json.endObject();
}

int list(const Parsed& p, CliStreams io) {
    Catalog catalog;
    if (!catalog.open(p.folder)) {
        if (catalog.fault() == CatalogError::Link)
            io.err << "snaplore-cli catalog list: " << CatalogFile::locate(p.folder).path << ": "
                   << describe(catalog.fault()) << "\n";
        else
            io.err << "snaplore-cli catalog list: no catalog in " << p.folder << "\n";
        return 1;
    }
    // A batch of entries at a time: an archive's catalog is not held in memory.
    const auto each = [&](const std::function<void(const PictureRecord&)>& show) { catalog.forEachPicture(show); };
    if (p.flags.contains(QLatin1String("--json"))) {
        JsonWriter json;
        json.beginArray();
        each([&](const PictureRecord& picture) {
            writeEntryJson(json, picture);
            if (json.data().size() >= 1024 * 1024) writeUtf8(io.out, json.take());
        });
        json.endArray();
        writeUtf8(io.out, json.take());
    } else {
        io.out << catalog.catalogPath() << ": version " << Catalog::version(catalog.catalogPath()) << ", "
               << catalog.count() << " entries, " << catalog.totalSize() << " bytes of pictures\n";
        // One line a picture: a line break, tab or escape sequence in its texts is printed as such.
        const auto shown = [](const QString& text) { return printableName(text.toUtf8()); };
        each([&](const PictureRecord& picture) {
            io.out << shown(picture.fileName()) << "\t" << picture.fileSize() << " bytes\t" << picture.frameWidth()
                   << " x " << picture.frameHeight();
            if (!picture.archiveLocation.isEmpty())
                io.out << "\tarchived on '" << shown(picture.archiveName) << "' at " << shown(picture.archiveLocation);
            if (!picture.iptc().headline.isEmpty()) io.out << "\t" << shown(picture.iptc().headline);
            io.out << "\n";
        });
    }
    // An entry the list does not show is told about, and the status says the list is not whole.
    int status = 0;
    if (catalog.unsafeNames() > 0) {
        io.err << "snaplore-cli catalog list: left out " << catalog.unsafeNames()
               << " entries whose names lead outside the folder\n";
        status = 1;
    }
    for (const QString& name : catalog.withoutHeader()) {
        io.err << "snaplore-cli catalog list: " << name << ": the catalog holds no picture header for it; left out\n";
        status = 1;
    }
    if (catalog.damaged()) {
        io.err << "snaplore-cli catalog list: " << catalog.damage() << "\n";
        status = 1;
    }
    return status;
}

int archive(const Parsed& p, CliStreams io) {
    Catalog catalog;
    CatalogArchiveCounts counts;
    const WriteResult result =
        catalog.rewriteArchive(p.folder, p.values.value("--cd-name"), p.values.value("--location"), &counts);
    if (!result) {
        io.err << "snaplore-cli catalog archive: " << p.folder << ": " << describe(result)
               << "; the catalog was left as it is\n";
        return 1;
    }
    io.out << "Catalog Archived\n";
    if (counts.kept > 0)
        io.out << "Left " << counts.kept << " entries as they were: their pictures are not in the folder\n";
    return 0;
}

int refresh(const Parsed& p, CliStreams io) {
    Catalog catalog;
    const CatalogRefreshReport report = catalog.refresh(p.folder);
    if (!report.rebuilt && !report.ok()) {
        io.err << "snaplore-cli catalog refresh: " << p.folder << ": " << describe(report.create.write)
               << "; the catalog was left as it is\n";
        return 1;
    }
    if (!report.rebuilt) {
        io.out << "Catalog up to date\n";
        return 0;
    }
    if (!report.create.ok()) {
        io.err << "snaplore-cli catalog refresh: " << p.folder << ": " << describe(report.create.write)
               << "; the catalog was not written\n";
        return 1;
    }
    const int status = reportLeftOut("refresh", report.create.leftOut, io.err);
    io.out << "Catalog Created: " << report.create.count << " entries\n";
    return status;
}

int version(const Parsed& p, CliStreams io) {
    io.out << Catalog::version(p.folder) << "\n";
    return 0;
}

int remove(const Parsed& p, CliStreams io) {
    const CatalogFile::Located located = CatalogFile::locate(p.folder);
    if (located.version == 0 && !located.link) {
        io.err << "snaplore-cli catalog remove: no catalog in " << p.folder << "\n";
        return 1;
    }
    // A catalog name that is a link is refused here, and nothing it names is touched.
    const WriteResult result = Catalog::createEmpty(p.folder);
    if (!result) {
        io.err << "snaplore-cli catalog remove: " << p.folder << ": " << describe(result) << "\n";
        return 1;
    }
    io.out << "Catalog Removed\n";
    return 0;
}

}  // namespace

int runCatalog(const CliArgs& args, CliStreams io) {
    if (args.isEmpty() || args.text.first() == "--help" || args.text.first() == "-h") {
        (args.isEmpty() ? io.err : io.out) << kUsage;
        return args.isEmpty() ? 2 : 0;
    }
    const QString command = args.text.first();
    const CliArgs rest = args.mid(1);
    struct Command {
        const char* name;
        QStringList flags, valued;
        int (*run)(const Parsed&, CliStreams);
    };
    static const Command commands[] = {
        {"create", {"--subfolders"}, {}, create},
        {"list", {"--json"}, {}, list},
        {"archive", {}, {"--cd-name", "--location"}, archive},
        {"refresh", {}, {}, refresh},
        {"remove", {}, {}, remove},
        {"version", {}, {}, version},
    };
    for (const Command& c : commands) {
        if (command != QLatin1String(c.name)) continue;
        Parsed p;
        bool help = false;
        if (parse(command, rest, c.flags, c.valued, p, io.err, help)) return c.run(p, io);
        if (!help) return 2;
        io.out << kUsage;
        return 0;
    }
    io.err << "snaplore-cli catalog: unknown command '" << printableName(args.raw.first()) << "'\n" << kUsage;
    return 2;
}


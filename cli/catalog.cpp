// snaplore-cli catalog: a folder's catalog file from the command line, over the same code as the program.

#include "commands.h"

#ifdef SNAPLORE_HAVE_CATALOG

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
    "  archive DIR --cd-name NAME --location PATH   record the disc and folder every entry was archived to\n"
    "  refresh DIR                                  create the catalog again when a subfolder's catalog is newer\n"
    "  version DIR                                  print the catalog version: 0 (none), 2 or 3\n"
    "  remove DIR                                   empty the catalog file, so that it no longer counts\n";

struct Parsed {
    QString folder;
    QStringList flags;              // options without a value, as given
    QMap<QString, QString> values;  // options with a value
};

// One folder argument, the allowed flags, and the options that take a value.
bool parse(const QString& command, const QStringList& args, const QStringList& flags, const QStringList& valued,
           Parsed& parsed, QTextStream& err) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (flags.contains(a)) {
            parsed.flags << a;
        } else if (valued.contains(a)) {
            if (i + 1 >= args.size()) {
                err << "snaplore-cli catalog " << command << ": option '" << a << "' needs a value\n";
                return false;
            }
            parsed.values[a] = args[++i];
        } else if (a.startsWith(QLatin1Char('-')) && a != QLatin1String("-")) {
            err << "snaplore-cli catalog " << command << ": unknown option '" << a << "'\n";
            return false;
        } else if (parsed.folder.isEmpty()) {
            parsed.folder = a;
        } else {
            err << "snaplore-cli catalog " << command << ": one folder only\n";
            return false;
        }
    }
    if (parsed.folder.isEmpty()) {
        err << "snaplore-cli catalog " << command << ": no folder given\n" << kUsage;
        return false;
    }
    for (const QString& v : valued)
        if (!parsed.values.contains(v)) {
            err << "snaplore-cli catalog " << command << ": option '" << v << "' is required\n";
            return false;
        }
    return true;
}

QString printable(QString name) { return name.replace(QLatin1Char('\n'), QLatin1String("\\n")); }

int reportLeftOut(const QStringList& leftOut, QTextStream& err) {
    for (const QString& name : leftOut)
        err << "snaplore-cli catalog: left out '" << printable(name)
            << "': a catalog line cannot hold a line feed or a backslash in a name\n";
    return 0;
}

int create(const Parsed& p, CliStreams io) {
    Catalog catalog;
    const CatalogCreateReport report = catalog.create(p.folder, p.flags.contains(QLatin1String("--subfolders")));
    reportLeftOut(report.leftOut, io.err);
    if (!report.ok()) {
        io.err << "snaplore-cli catalog create: " << p.folder << ": " << describe(report.write) << "\n";
        return 1;
    }
    io.out << "Catalog Created: " << report.count << " entries, " << report.totalSize << " bytes of pictures\n";
    return 0;
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
    if (!catalog.load(p.folder, true)) {
        io.err << "snaplore-cli catalog list: no catalog in " << p.folder << "\n";
        return 1;
    }
    if (p.flags.contains(QLatin1String("--json"))) {
        JsonWriter json;
        json.beginArray();
        for (const auto& picture : catalog.pictures()) writeEntryJson(json, *picture);
        json.endArray();
        writeUtf8(io.out, json.data());
    } else {
        io.out << catalog.catalogPath() << ": version " << Catalog::version(catalog.catalogPath()) << ", "
               << catalog.count() << " entries, " << catalog.totalSize() << " bytes of pictures\n";
        for (const auto& picture : catalog.pictures()) {
            io.out << picture->fileName() << "\t" << picture->fileSize() << " bytes\t" << picture->frameWidth() << " x "
                   << picture->frameHeight();
            if (!picture->archiveLocation.isEmpty())
                io.out << "\tarchived on '" << picture->archiveName << "' at " << picture->archiveLocation;
            if (!picture->iptc().headline.isEmpty()) io.out << "\t" << picture->iptc().headline;
            io.out << "\n";
        }
    }
    int status = 0;
    if (catalog.unsafeNames() > 0)
        io.err << "snaplore-cli catalog list: left out " << catalog.unsafeNames()
               << " entries whose names lead outside the folder\n";
    if (catalog.fault() != CatalogError::None) {
        io.err << "snaplore-cli catalog list: " << catalog.catalogPath() << " is damaged after "
               << catalog.pictures().size() << " pictures: " << describe(catalog.fault()) << "\n";
        status = 1;
    }
    return status;
}

int archive(const Parsed& p, CliStreams io) {
    Catalog catalog;
    const WriteResult result =
        catalog.rewriteArchive(p.folder, p.values.value("--cd-name"), p.values.value("--location"));
    if (!result) {
        io.err << "snaplore-cli catalog archive: " << p.folder << ": " << describe(result) << "\n";
        return 1;
    }
    io.out << "Catalog Archived\n";
    return 0;
}

int refresh(const Parsed& p, CliStreams io) {
    Catalog catalog;
    const CatalogRefreshReport report = catalog.refresh(p.folder);
    if (!report.rebuilt) {
        io.out << "Catalog up to date\n";
        return 0;
    }
    reportLeftOut(report.create.leftOut, io.err);
    if (!report.create.ok()) {
        io.err << "snaplore-cli catalog refresh: " << p.folder << ": " << describe(report.create.write) << "\n";
        return 1;
    }
    io.out << "Catalog Created: " << report.create.count << " entries\n";
    return 0;
}

int remove(const Parsed& p, CliStreams io) {
    if (Catalog::version(p.folder) == 0) {
        io.err << "snaplore-cli catalog remove: no catalog in " << p.folder << "\n";
        return 1;
    }
    const WriteResult result = Catalog::createEmpty(p.folder);
    if (!result) {
        io.err << "snaplore-cli catalog remove: " << p.folder << ": " << describe(result) << "\n";
        return 1;
    }
    io.out << "Catalog Removed\n";
    return 0;
}

}  // namespace

int runCatalog(const QStringList& args, CliStreams io) {
    if (args.isEmpty() || args.first() == "--help" || args.first() == "-h") {
        (args.isEmpty() ? io.err : io.out) << kUsage;
        return args.isEmpty() ? 2 : 0;
    }
    const QString command = args.first();
    const QStringList rest = args.mid(1);
    Parsed p;
    if (command == "create") return parse(command, rest, {"--subfolders"}, {}, p, io.err) ? create(p, io) : 2;
    if (command == "list") return parse(command, rest, {"--json"}, {}, p, io.err) ? list(p, io) : 2;
    if (command == "archive")
        return parse(command, rest, {}, {"--cd-name", "--location"}, p, io.err) ? archive(p, io) : 2;
    if (command == "refresh") return parse(command, rest, {}, {}, p, io.err) ? refresh(p, io) : 2;
    if (command == "remove") return parse(command, rest, {}, {}, p, io.err) ? remove(p, io) : 2;
    if (command == "version") {
        if (!parse(command, rest, {}, {}, p, io.err)) return 2;
        io.out << Catalog::version(p.folder) << "\n";
        return 0;
    }
    io.err << "snaplore-cli catalog: unknown command '" << command << "'\n" << kUsage;
    return 2;
}

#endif  // SNAPLORE_HAVE_CATALOG

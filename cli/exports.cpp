// snaplore-cli index, report and html: the contact sheet, the data report and the HTML pages of a
// folder (or of pictures named one by one), as the Export commands of the window make them.

#include "commands.h"
#include "datareport.h"
#include "exportentries.h"
#include "htmlexport.h"
#include "indexprint.h"
#include "picturerecord.h"
#include "safewrite.h"
#include "samefile.h"

#include <QDir>
#include <QFileInfo>

#include <memory>
#include <vector>

namespace {

const char kIndexUsage[] =
    "Usage: snaplore-cli index --out FILE [OPTIONS] DIR|FILE...\n"
    "Writes one JPEG contact sheet of the pictures: a folder's pictures grouped by event as the window\n"
    "shows them, files in the order given.\n"
    "  --out FILE            the sheet to write\n"
    "  --cols N              columns, 1 to 100 (default 5)\n"
    "  --cell SIZE           160x120, 120x90, 80x60 or 40x30 (default 160x120)\n"
    "  --background COLOR    Black, White, Grey, \"Lt Grey\", Red, Orange, Yellow, Green, Cyan, Blue,\n"
    "                        Fuchsia or #rrggbb (default \"Lt Grey\")\n"
    "  --line COLOR          the cells' outline (default Black)\n"
    "  --event TEXT          only the pictures of this event (its title as the window shows it)\n"
    "  --overwrite           replace an existing file\n"
    "The exit status is 0 only when the sheet was written with every picture in it.\n";

const char kReportUsage[] =
    "Usage: snaplore-cli report --out FILE --kind summary|events|pictures|all [--overwrite] DIR\n"
    "Writes the folder's data report (UTF-8 text): the summary, the events with their place and count,\n"
    "every picture under its event, or all three.\n";

const char kHtmlUsage[] =
    "Usage: snaplore-cli html --main TEMPLATE --event TEMPLATE --out FOLDER [--overwrite] DIR\n"
    "Writes a main page listing the folder's events and a page per event, with a thumbnail, a small\n"
    "and a large rendering and a copy of each picture. Existing files are replaced only with\n"
    "--overwrite.\n";

// An output that is one of the pictures it is made of is never written; one that exists otherwise
// (also a link there, one that leads nowhere too) is replaced only when asked.
bool refuseExisting(CliStreams io, const QString& path, bool overwrite, const QList<PictureRecord*>& inputs) {
    if (const QString input = InputAtOutput(path, inputs); !input.isEmpty()) {
        io.err << "snaplore-cli: " << OutputIsInputText(path, input) << "\n";
        return true;
    }
    if (overwrite || !nameTaken(path)) return false;
    io.err << "snaplore-cli: " << path << ": exists, left as it is (--overwrite replaces it)\n";
    return true;
}

}  // namespace

bool reportLeftOut(const FolderExport& folder, QTextStream& err) {
    if (!folder.damage.isEmpty()) err << "snaplore-cli: " << folder.damage << "\n";
    for (const CatalogLeftOut& left : folder.leftOut)
        err << "snaplore-cli: " << QString(left.name).replace(QLatin1Char('\n'), QLatin1String("\\n")) << ": "
            << left.reason << "\n";
    return !folder.damage.isEmpty() || !folder.leftOut.empty();
}

namespace {

// The folders and files named, read into grouped entries that own their pictures.
struct Sources {
    std::vector<FolderExport> folders;
    std::vector<std::unique_ptr<PictureRecord>> files;
    QList<OutputEntry> entries;
    bool failed = false;   // a folder or file could not be read
    bool leftOut = false;  // a folder was read without some of its pictures
};

Sources readSources(const QList<QByteArray>& operands, CliStreams io) {
    Sources sources;
    QList<PictureRecord*> loose;
    const auto flushLoose = [&] {
        sources.entries << EntriesForPictures(loose);
        loose.clear();
    };
    for (const QByteArray& raw : operands) {
        const QString path = QFile::decodeName(raw);
        if (QFileInfo(path).isDir() && QFile::encodeName(path) == raw) {
            flushLoose();
            FolderExport folder = ReadFolderForExport(path);
            if (!folder.problem.isEmpty()) {
                io.err << "snaplore-cli: " << printableName(raw) << ": " << folder.problem << "\n";
                sources.failed = true;
                continue;
            }
            if (reportLeftOut(folder, io.err)) sources.leftOut = true;
            sources.entries << folder.entries;
            sources.folders.push_back(std::move(folder));
            continue;
        }
        QString problem;
        std::unique_ptr<PictureRecord> picture = readInputPicture(raw, problem);
        if (!picture) {
            io.err << "snaplore-cli: " << printableName(raw) << ": " << problem << "\n";
            sources.failed = true;
            continue;
        }
        loose << picture.get();
        sources.files.push_back(std::move(picture));
    }
    flushLoose();
    return sources;
}

}  // namespace

int runIndex(const CliArgs& args, CliStreams io) {
    CliOptions p;
    if (const auto status = parseCommandLine(args, io, "index", kIndexUsage, {"out", "cols", "cell", "background", "line", "event"}, {"overwrite"}, p))
        return *status;
    IndexPrintOptions options;
    const QString out = p.value("out");
    if (out.isEmpty()) return usageError(io, "index", QStringLiteral("no --out given"), kIndexUsage);
    if (p.has("cols")) {
        bool ok = false;
        options.columns = p.value("cols").toInt(&ok);
        if (!ok || options.columns < 1 || options.columns > indexprint::kMaxColumns)
            return usageError(io, "index", QStringLiteral("--cols wants a number from 1 to 100, not '%1'").arg(p.value("cols")),
                              kIndexUsage);
    }
    if (p.has("cell")) {
        const int cell = indexprint::cellIndex(p.value("cell"));
        if (cell < 0) return usageError(io, "index", QStringLiteral("unknown cell size '%1'").arg(p.value("cell")), kIndexUsage);
        options.cell = indexprint::cellSize(cell);
    }
    for (const char* name : {"background", "line"}) {
        if (!p.has(name)) continue;
        const QColor color = indexprint::colorByName(p.value(name));
        if (!color.isValid())
            return usageError(io, "index", QStringLiteral("unknown colour '%1'").arg(p.value(name)), kIndexUsage);
        (QLatin1String(name) == QLatin1String("line") ? options.line : options.background) = color;
    }
    if (p.operands.isEmpty()) return usageError(io, "index", QStringLiteral("no folder or file given"), kIndexUsage);

    Sources sources = readSources(p.operands, io);
    if (refuseExisting(io, out, p.has("overwrite"), PicturesOf(sources.entries))) return 1;
    QList<PictureRecord*> pictures = PicturesOf(sources.entries, p.value("event"));
    if (pictures.isEmpty()) {
        io.err << "snaplore-cli: " << out << ": not written: "
               << (p.has("event") ? QStringLiteral("no picture of the event '%1'").arg(p.value("event"))
                                              : QStringLiteral("no pictures"))
               << "\n";
        return 1;
    }
    const IndexPrintResult result = CreateIndexPrint(pictures, options, out);
    if (result.written) io.out << QDir::toNativeSeparators(out) << "\n";
    if (!result.message.isEmpty()) io.err << "snaplore-cli: " << result.message << "\n";
    return result.complete && !sources.failed && !sources.leftOut ? 0 : 1;
}

int runReport(const CliArgs& args, CliStreams io) {
    CliOptions p;
    if (const auto status = parseCommandLine(args, io, "report", kReportUsage, {"out", "kind"}, {"overwrite"}, p))
        return *status;
    const QString out = p.value("out");
    if (out.isEmpty()) return usageError(io, "report", QStringLiteral("no --out given"), kReportUsage);
    ReportKind kind = ReportKind::EventsOnly;
    if (!reportKindFromName(p.value("kind"), &kind))
        return usageError(io, "report", QStringLiteral("--kind wants summary, events, pictures or all"), kReportUsage);
    if (p.operands.size() != 1) return usageError(io, "report", QStringLiteral("give one folder"), kReportUsage);
    if (!QFileInfo(QFile::decodeName(p.operands.first())).isDir())
        return usageError(io, "report", QStringLiteral("'%1' is not a folder").arg(printableName(p.operands.first())), kReportUsage);
    Sources sources = readSources(p.operands, io);
    if (sources.failed) return 1;
    if (refuseExisting(io, out, p.has("overwrite"), PicturesOf(sources.entries))) return 1;
    const DataReportResult result = WriteDataReport(sources.entries, kind, out);
    if (!result.written) {
        io.err << "snaplore-cli: " << result.message << "\n";
        return 1;
    }
    io.out << QDir::toNativeSeparators(out) << "\n";
    return sources.leftOut ? 1 : 0;
}

int runHtml(const CliArgs& args, CliStreams io) {
    CliOptions p;
    if (const auto status = parseCommandLine(args, io, "html", kHtmlUsage, {"main", "event", "out"}, {"overwrite"}, p))
        return *status;
    for (const char* name : {"main", "event", "out"})
        if (p.value(name).isEmpty())
            return usageError(io, "html", QStringLiteral("no --%1 given").arg(QLatin1String(name)), kHtmlUsage);
    if (p.operands.size() != 1) return usageError(io, "html", QStringLiteral("give one folder"), kHtmlUsage);
    if (!QFileInfo(QFile::decodeName(p.operands.first())).isDir())
        return usageError(io, "html", QStringLiteral("'%1' is not a folder").arg(printableName(p.operands.first())), kHtmlUsage);
    Sources sources = readSources(p.operands, io);
    if (sources.failed) return 1;
    HtmlExportRequest request;
    request.mainTemplate = p.value("main");
    request.eventTemplate = p.value("event");
    request.outputFolder = p.value("out");
    request.overwrite = p.has("overwrite");
    const HtmlExportResult result = RunHtmlExport(sources.entries, request);
    for (const QString& path : result.written) io.out << QDir::toNativeSeparators(path) << "\n";
    for (const QString& failure : result.failures) io.err << "snaplore-cli: " << failure << "\n";
    return result.ok() && !sources.leftOut ? 0 : 1;
}

// snaplore-cli import: the memory card copy without dialogs. An existing target is kept (and named)
// unless --overwrite; the card's files are deleted only with --delete, and then only once each copy
// reads back equal to its card file.
#include "commands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "memcardcopy.h"

namespace {

const char kImportUsage[] =
    "Usage: snaplore-cli import [--no-dated] [--delete] [--overwrite] SOURCE DEST\n"
    "Copies every .jpg file under SOURCE (a memory card's folder; links to folders are not followed)\n"
    "into DEST, into a folder per picture date (YYYY_MM_DD) unless --no-dated.\n"
    "  --no-dated    all pictures directly into DEST\n"
    "  --delete      delete each card file once its copy is on disk and reads back equal to it\n"
    "  --overwrite   replace files that exist in DEST (otherwise they are kept and named)\n"
    "Two card files of one name that meet in a folder keep both: the second gets \"_2\", \"_3\", ...\n"
    "Each copy is named on standard output; the exit status is 0 only when every file was copied.\n";

}  // namespace

int runImport(const CliArgs& args, CliStreams io) {
    CliOptions p;
    if (const auto status =
            parseCommandLine(args, io, "import", kImportUsage, {}, {"no-dated", "delete", "overwrite"}, p))
        return *status;
    if (p.operands.size() != 2)
        return usageError(io, "import", QStringLiteral("give one SOURCE folder and one DEST folder"), kImportUsage);
    const QString source = QFile::decodeName(p.operands[0]);
    const QString dest = QFile::decodeName(p.operands[1]);
    if (!QFileInfo(source).isDir())
        return usageError(io, "import", QStringLiteral("'%1' is not a folder").arg(printableName(p.operands[0])), kImportUsage);
    if (!QFileInfo(dest).isDir() && !QDir().mkpath(dest)) {
        io.err << "snaplore-cli: " << printableName(p.operands[1]) << ": the folder could not be created\n";
        return 1;
    }

    const QStringList files = memcard::CollectPictures(source);
    if (files.isEmpty()) {
        io.err << "snaplore-cli: " << printableName(p.operands[0]) << ": no .jpg files found\n";
        return 1;
    }
    memcard::CopyRequest request;
    request.destination = dest;
    request.datedFolders = !p.has("no-dated");
    request.deleteAfterCopy = p.has("delete");
    request.existing = p.has("overwrite") ? memcard::ExistingTarget::Replace : memcard::ExistingTarget::Keep;
    const memcard::CopyReport report = memcard::CopyFromCard(files, request);

    for (const QString& target : report.copied) io.out << target << "\n";
    for (const QString& line : report.renamed) io.err << "snaplore-cli: copied under another name: " << line << "\n";
    for (const QString& target : report.keptExisting)
        io.err << "snaplore-cli: " << target << ": exists, left as it is (--overwrite replaces it)\n";
    for (const QString& file : report.sameFile)
        io.err << "snaplore-cli: " << file << ": the copy would be the file itself; left alone\n";
    for (const QString& line : report.failed) io.err << "snaplore-cli: " << line << "\n";
    io.out << report.copied.size() << " of " << files.size() << " pictures copied";
    if (request.deleteAfterCopy) io.out << ", " << report.deleted.size() << " deleted from " << source;
    io.out << "\n";
    return report.ok() ? 0 : 1;
}

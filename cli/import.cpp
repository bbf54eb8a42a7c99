// snaplore-cli import: the memory card copy without dialogs. An existing target is kept (and named)
// unless --rename or --overwrite; the card's files are deleted only with --delete, and then only once
// each copy reads back equal to its card file. Whatever stays on the card is named.
#include "commands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "memcardcopy.h"

#include <sys/stat.h>

namespace {

const char kImportUsage[] =
    "Usage: snaplore-cli import [--no-dated] [--delete] [--rename | --overwrite] SOURCE DEST\n"
    "Copies every .jpg file under SOURCE (a memory card's folder; links to folders are not followed)\n"
    "into DEST, into a folder per picture date (YYYY_MM_DD) unless --no-dated.\n"
    "  --no-dated    all pictures directly into DEST\n"
    "  --delete      delete each card file once its copy is on disk and reads back equal to it\n"
    "                (a link on the card is deleted, never the file it leads to)\n"
    "  --rename      a file of that name in DEST stays; the copy gets the next free \"_2\" name\n"
    "  --overwrite   replace files (and links) of that name in DEST\n"
    "Without either, a file of that name in DEST is kept, and so is the card's file; a link in DEST is\n"
    "never written through. Two card files of one name that meet in a folder keep both: the second\n"
    "gets \"_2\", \"_3\", ...\n"
    "Each copy is named on standard output, then how many were copied, renamed, kept and left on the\n"
    "card; every file left on the card and every folder that could not be read is named on standard\n"
    "error. The exit status is 0 only when every picture was seen and copied.\n";

}  // namespace

int runImport(const CliArgs& args, CliStreams io) {
    CliOptions p;
    if (const auto status = parseCommandLine(args, io, "import", kImportUsage, {},
                                             {"no-dated", "delete", "overwrite", "rename"}, p))
        return *status;
    if (p.operands.size() != 2)
        return usageError(io, "import", QStringLiteral("give one SOURCE folder and one DEST folder"), kImportUsage);
    if (p.has("overwrite") && p.has("rename"))
        return usageError(io, "import", QStringLiteral("give --rename or --overwrite, not both"), kImportUsage);
    const QByteArray& source = p.operands[0];
    if (!isUtf8(p.operands[1]))
        return usageError(io, "import",
                          QStringLiteral("the folder name '%1' is not valid UTF-8").arg(printableName(p.operands[1])),
                          kImportUsage);
    const QString dest = QFile::decodeName(p.operands[1]);
    struct stat st {};
    if (::stat(source.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return usageError(io, "import", QStringLiteral("'%1' is not a folder").arg(printableName(source)), kImportUsage);
    if (!QFileInfo(dest).isDir() && !QDir().mkpath(dest)) {
        io.err << "snaplore-cli: " << printableName(p.operands[1]) << ": the folder could not be created\n";
        return 1;
    }

    const memcard::CardContents card = memcard::ReadCard(source);
    memcard::CopyRequest request;
    request.destination = dest;
    request.datedFolders = !p.has("no-dated");
    request.deleteAfterCopy = p.has("delete");
    request.existing = p.has("overwrite") ? memcard::ExistingTarget::Replace
                       : p.has("rename")  ? memcard::ExistingTarget::Rename
                                          : memcard::ExistingTarget::Keep;
    const memcard::CopyReport report = card.pictures.isEmpty() ? memcard::CopyReport{} : memcard::CopyFromCard(card, request);

    const auto name = [&](const QStringList& lines, const QString& after = {}) {
        for (const QString& line : lines) io.err << "snaplore-cli: " << line << after << "\n";
    };
    if (card.pictures.isEmpty()) {
        io.err << "snaplore-cli: " << printableName(source) << ": no .jpg files found\n";
        name(card.unreadFolders, QStringLiteral(" (not read)"));
        name(card.notTaken, QStringLiteral(" (left on the card)"));
        return 1;
    }
    for (const QString& target : report.copied) io.out << target << "\n";
    for (const QString& line : report.renamed) io.err << "snaplore-cli: copied under another name: " << line << "\n";
    name(report.keptExisting, QStringLiteral(": exists, left as it is (--rename copies beside it, --overwrite replaces it)"));
    name(report.sameFile, QStringLiteral(": the copy would be the file itself; left alone"));
    name(report.failed, QStringLiteral(" (left on the card)"));
    name(report.notDeleted, QStringLiteral(" (copied, left on the card)"));
    name(report.notTaken, QStringLiteral(" (left on the card)"));
    name(report.unreadFolders, QStringLiteral(" (not read: the pictures in it are unknown)"));
    for (const QString& file : report.otherFiles)
        io.err << "snaplore-cli: left on the card, not a .jpg picture: " << file << "\n";
    io.out << report.counts() << "\n";
    return report.ok() ? 0 : 1;
}

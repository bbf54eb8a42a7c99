// snaplore-cli cd: the disc Burn CD makes, as an ISO 9660 image file: the pictures copied as they are
// (in dated folders unless --root), a catalog for each folder and for the disc, and the autorun script.
#include "commands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <memory>
#include <vector>

#include "cdburn.h"
#include "cdwriter.h"
#include "exportentries.h"
#include "picturerecord.h"
#include "prompter.h"
#include "safewrite.h"
#include "samefile.h"
#include "saveas.h"

namespace {

const char kCdUsage[] =
    "Usage: snaplore-cli cd --iso FILE [OPTIONS] DIR|FILE...\n"
    "Writes the CD that Burn CD makes as an ISO 9660 image (Rock Ridge and Joliet names) into FILE.\n"
    "The pictures are copied as they are into a private temporary folder, which is removed afterwards.\n"
    "  --iso FILE       the image to write\n"
    "  --volume NAME    the disc's name, up to 32 letters, digits, \"_\", \"-\", \".\" and spaces\n"
    "                   (default SNAPLORE_ and today's date, YYYYMMDD)\n"
    "  --root           all pictures at the disc's root (default: a folder per picture date, YYYY_MM_DD)\n"
    "  --no-catalogs    no catalog in the folders and at the root\n"
    "  --no-autorun     no autorun script at the root (it opens the disc in the installed Snaplore)\n"
    "  --overwrite      replace an existing FILE\n"
    "A folder gives its catalog's pictures when it has a catalog, else its .jpg files. The image is named\n"
    "on standard output; the exit status is 0 only when every picture, catalog and the image were written.\n";

// Burn CD asks nothing once it runs; the failures are told here from the run's result.
class NoQuestions : public Prompter {
public:
    int messageBox(const QString&, const QString&, unsigned) override { return id::Cancel; }
    unsigned choiceMessageBox(const QString&, const QString&, unsigned, const ChoiceParams&) override {
        return id::Cancel;
    }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString existingDirectory(const QString&, const QString&) override { return {}; }
};

}  // namespace

int runCd(const CliArgs& args, CliStreams io) {
    QString volume = cdwriter::defaultVolumeName();
    const auto refuse = [&](const QString& reason) { return usageError(io, "cd", reason, kCdUsage); };
    CliOptions p;
    if (const auto status =
            parseCommandLine(args, io, "cd", kCdUsage, {"iso", "volume"}, {"root", "no-catalogs", "no-autorun", "overwrite"}, p))
        return *status;
    const bool root = p.has("root"), catalogs = !p.has("no-catalogs"), autorun = !p.has("no-autorun"),
               overwrite = p.has("overwrite");
    const QString iso = p.value("iso");
    if (p.has("volume")) volume = p.value("volume");
    const QList<QByteArray>& inputs = p.operands;
    if (iso.isEmpty()) return refuse(QStringLiteral("no --iso given"));
    if (const QString problem = cdwriter::volumeNameProblem(volume); !problem.isEmpty()) return refuse(problem);
    if (inputs.isEmpty()) return refuse(QStringLiteral("no folder or file given"));

    int status = 0;
    const auto fail = [&](const QString& name, const QString& reason) {
        io.err << "snaplore-cli: " << name << ": " << reason << "\n";
        status = 1;
    };
    // The pictures, as the window would hand them over: a folder's entries, or one entry per file.
    FolderExport folderPictures;
    std::vector<std::unique_ptr<PictureRecord>> owned;
    QList<OutputEntry> entries;
    if (inputs.size() == 1 && QFileInfo(QFile::decodeName(inputs.first())).isDir()) {
        folderPictures = ReadFolderForExport(QFile::decodeName(inputs.first()));
        if (!folderPictures.problem.isEmpty()) fail(printableName(inputs.first()), folderPictures.problem);
        if (reportLeftOut(folderPictures, io.err)) status = 1;
        entries = folderPictures.entries;
    } else {
        entries = EntriesForPictures(readInputPictures(inputs, owned, fail));
    }
    if (PicturesOf(entries).isEmpty()) {
        fail(iso, QStringLiteral("there are no pictures to put on the CD; no image was written"));
        return status;
    }
    // Not even --overwrite puts the image over a picture that goes on it.
    if (const QString input = InputAtOutput(iso, PicturesOf(entries)); !input.isEmpty()) {
        fail(iso, OutputIsInputText(iso, input));
        return status;
    }
    if (!overwrite && nameTaken(iso)) {
        fail(iso, QStringLiteral("exists (--overwrite replaces it)"));
        return status;
    }

    // Held locked while it lives: the folder of a run that was killed is removed by the next one.
    const cdburn::PrivateStaging staging(QDir::tempPath());
    if (!staging.isValid()) {
        fail(QDir::tempPath(), QStringLiteral("no temporary folder could be made: %1").arg(staging.errorString()));
        return status;
    }

    SaveAsOptions options(SaveAsMode::BurnCd);  // plain copies: "Orginal" size and ratio, no crop
    options.datedSubFolders = !root;
    SaveAsRequest request;
    request.entries = entries;
    request.selection = PictureSelection::EntireCatalog;
    request.outputFolder = staging.path() + QLatin1Char('/');
    NoQuestions noQuestions;
    const SaveAsResult saved = RunSaveAs(options, request, noQuestions);
    for (const SaveFailure& failure : saved.failures) fail(failure.picture, failure.reason);

    cdburn::StagingOptions finishing;
    finishing.createCatalogs = catalogs;
    finishing.addAutorun = autorun;
    if (autorun) finishing.autorunScript = cdburn::findAutorunScript(QCoreApplication::applicationDirPath());
    const cdburn::StagingReport staged = cdburn::finishStaging(staging.path(), finishing);
    for (const QString& problem : staged.problems) fail(iso, problem);

    XorrisoCdWriter writer;
    const CdWriteResult written = writer.writeImage(staging.path(), volume, iso, {});
    if (!written.ok) {
        fail(iso, written.error);
        return status;
    }
    io.out << QDir::toNativeSeparators(iso) << "\n";
    return status;
}

// set --copy-from: one picture's data given to many pictures, as the window's Copy to All gives it.

#include "commands.h"
#include "copytoall.h"
#include "exportentries.h"
#include "picturerecord.h"

#include <QFile>
#include <QFileInfo>

#include <set>
#include <sys/stat.h>

namespace {

// The file's identity, so that the source named again (by a link or in a folder) is no target.
std::pair<dev_t, ino_t> identity(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {0, 0};
    return {st.st_dev, st.st_ino};
}

}  // namespace

int runCopyFrom(const CliOptions& p, CliStreams io, const char* usage) {
    const auto refuse = [&](const QString& reason) { return usageError(io, "set", reason, usage); };
    for (const CliOptions::Option& option : p.options)
        if (option.name != "copy-from" && option.name != "copy")
            return refuse(QStringLiteral("--copy-from cannot be combined with --%1").arg(option.name));
    copytoall::Choice choice;
    if (p.has("copy")) {
        QString unknown;
        if (!copytoall::parseChoice(p.value("copy"), choice, &unknown))
            return refuse(QStringLiteral("--copy knows event, headline, people, rating, caption and place, not '%1'")
                              .arg(unknown));
    }
    if (p.operands.isEmpty()) return refuse(QStringLiteral("no file or folder given"));

    const QByteArray sourceName = QFile::encodeName(p.value("copy-from"));
    QString problem;
    const std::unique_ptr<PictureRecord> source = readInputPicture(sourceName, problem);
    if (!source) {
        io.err << "snaplore-cli: " << printableName(sourceName) << ": " << problem << "\n";
        return 2;
    }

    int status = 0;
    const auto fail = [&](const QString& name, const QString& reason) {
        io.err << "snaplore-cli: " << name << ": " << reason << "\n";
        status = 1;
    };
    // The targets in the order named, a folder's pictures as the window lists them.
    std::vector<FolderExport> folders;
    std::vector<std::unique_ptr<PictureRecord>> files;
    QList<PictureRecord*> candidates;
    for (const QByteArray& raw : p.operands) {
        const QString path = QFile::decodeName(raw);
        if (QFileInfo(path).isDir() && QFile::encodeName(path) == raw) {
            FolderExport folder = ReadFolderForExport(path);
            if (!folder.problem.isEmpty()) {
                fail(printableName(raw), folder.problem);
                continue;
            }
            candidates << PicturesOf(folder.entries);
            folders.push_back(std::move(folder));
            continue;
        }
        std::unique_ptr<PictureRecord> picture = readInputPicture(raw, problem);
        if (!picture) {
            fail(printableName(raw), problem);
            continue;
        }
        candidates << picture.get();
        files.push_back(std::move(picture));
    }
    std::set<std::pair<dev_t, ino_t>> seen{identity(source->filePath())};
    QList<PictureRecord*> targets;
    for (PictureRecord* picture : candidates) {
        // An archived entry has no file to compare: it is kept, to be named by the copy.
        if (!picture->fileExists()) {
            targets << picture;
            continue;
        }
        if (seen.insert(identity(picture->filePath())).second) targets << picture;
    }

    copytoall::Report report = copytoall::writeAll(source->iptc(), targets, choice);
    copytoall::updateCatalogs(report);
    for (const PictureChange& change : report.changes)
        if (!change.note.isEmpty()) io.err << "snaplore-cli: " << change.path << ": warning: " << change.note << "\n";
    for (const copytoall::Failure& archived : report.archived)
        io.err << "snaplore-cli: " << archived.path << ": left as it is, " << archived.reason << "\n";
    for (const copytoall::Failure& failure : report.pictures) fail(failure.path, failure.reason);
    for (const copytoall::Failure& failure : report.catalogs)
        fail(failure.path, QStringLiteral("the catalog could not be written again: ") + failure.reason);
    return status;
}

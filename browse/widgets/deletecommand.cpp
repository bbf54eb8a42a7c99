#include "deletecommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "browsecontext.h"
#include "filebrowserview.h"
#include "picturerecord.h"
#include "prompter.h"
#include "snaploredoc.h"
#include "thumbview.h"

namespace deletecommand {

namespace {

// Moves the file to the user's trash; empty when it went there, else why not. Where no home trash
// can be set up ("$XDG_DATA_HOME/Trash" missing and not to be made), QFile::moveToTrash would put
// the file into folders "files" and "info" of the working directory and call that a success: such
// a place is no trash, so the file is not handed over at all.
QString moveToTrash(QFile& file) {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QFileInfo dataFolder(data);
    const QFileInfo trash(QDir(data).filePath(QStringLiteral("Trash")));
    if (data.isEmpty() || !(trash.isDir() || (dataFolder.isDir() && dataFolder.isWritable())))
        return QStringLiteral("there is no trash folder in %1").arg(QDir::toNativeSeparators(data));
    if (file.moveToTrash()) return {};
    return file.errorString();
}

}  // namespace

void run(BrowseContext& frame) {
    CSnaploreDoc& document = frame.document();
    Prompter& prompter = frame.prompter();
    PictureRecord* picture = document.picture();
    if (!picture) return;
    if (prompter.messageBox(QStringLiteral("Are you sure you want to delete picture %1\n\n"
                                           "It goes to the trash, from where it can be restored.")
                                .arg(picture->fileName()),
                            QStringLiteral("Are you sure?"), mb::YesNoCancel | mb::IconQuestion) != id::Yes)
        return;
    const QString path = document.pathName();

    // The folder's write permission lets anyone remove a file whose own write bits are cleared; a
    // locked picture is unlocked first, as a save does, or it stays.
    const QFileDevice::Permissions permissions = QFile::permissions(path);
    if (QFile::exists(path) && !(permissions & QFileDevice::WriteOwner)) {
        if (prompter.messageBox(QStringLiteral("Picture is locked.  Do you wish to unlock it?"),
                                QStringLiteral("Unlock?"), mb::YesNoCancel | mb::IconQuestion) != id::Yes)
            return;
        if (!picture->unlock()) {
            prompter.messageBox(QStringLiteral("Sorry, file cannot be unlocked"), QStringLiteral("Unlock"),
                                mb::Ok | mb::IconExclamation);
            return;
        }
    }
    document.setModified(false);

    // To the trash first. Where the trash cannot take it (another disk without a trash folder of its
    // own, no trash at all), the user decides again before the file is gone for good.
    // A file that is gone already is only reported, below.
    QFile file(path);
    const bool present = file.exists();
    const QString notTrashed = present ? moveToTrash(file) : QString();
    const bool trashed = present && notTrashed.isEmpty();
    if (trashed) {
        QFile::setPermissions(file.fileName(), permissions);  // restored, it is locked as it was
    } else if (present) {
        const QString question =
            QStringLiteral("The trash cannot take picture %1 (%2).\n\nDelete it for good? It cannot be restored.")
                .arg(picture->fileName(), notTrashed);
        if (prompter.messageBox(question, QStringLiteral("Delete for good?"),
                                mb::YesNoCancel | mb::IconExclamation | mb::DefButton2) != id::Yes) {
            QFile::setPermissions(path, permissions);  // a picture that stays keeps its lock
            return;
        }
    }

    // Move away: to the next picture, the previous one after the last, or nothing at all.
    CThumbView* thumbs = frame.thumbView();
    thumbs->Next();
    if (document.pathName() == path) thumbs->Prev();
    if (document.pathName() == path) document.NewDocument();

    if (!trashed && !file.remove()) {
        QFile::setPermissions(path, permissions);
        // The frame's message, in the frame's translation context.
        prompter.messageBox(QCoreApplication::translate("CMainFrame", "Could not delete %1.\n%2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()),
                            QStringLiteral("Error!"), mb::Ok | mb::IconExclamation);
        return;
    }
    frame.browser()->removePicture(path);
    PictureChange removed;
    removed.path = path;
    removed.removed = true;
    document.catalogUpkeep().add({std::move(removed)});
}

}  // namespace deletecommand

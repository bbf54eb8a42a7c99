#include "deletecommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "browsecontext.h"
#include "catalog.h"
#include "filebrowserview.h"
#include "picturerecord.h"
#include "prompter.h"
#include "snaploredoc.h"
#include "thumbview.h"

namespace deletecommand {

void run(BrowseContext& frame) {
    CSnaploreDoc& document = frame.document();
    Prompter& prompter = frame.prompter();
    PictureRecord* picture = document.picture();
    if (!picture) return;
    if (prompter.messageBox(QStringLiteral("Are you sure you want to delete picture %1").arg(picture->fileName()),
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

    // Move away first: to the next picture, the previous one after the last, or nothing at all.
    CThumbView* thumbs = frame.thumbView();
    thumbs->Next();
    if (document.pathName() == path) thumbs->Prev();
    if (document.pathName() == path) document.NewDocument();

    QFile file(path);
    if (!file.remove()) {
        QFile::setPermissions(path, permissions);  // a picture that stays keeps its lock
        // The frame's message, in the frame's translation context.
        prompter.messageBox(QCoreApplication::translate("CMainFrame", "Could not delete %1.\n%2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()),
                            QStringLiteral("Error!"), mb::Ok | mb::IconExclamation);
        return;
    }
    frame.browser()->removePicture(path);
    const QString folder = QFileInfo(path).absolutePath();
    if (Catalog::version(folder) == 0) return;
    const CatalogCreateReport rebuilt = Catalog().create(folder, true);
    if (!rebuilt.ok())
        prompter.messageBox(QCoreApplication::translate("CMainFrame",
                                                        "The picture was deleted, but the catalog of %1 could not be "
                                                        "written.\n%2")
                                .arg(QDir::toNativeSeparators(folder), describe(rebuilt.write)),
                            QStringLiteral("Error!"), mb::Ok | mb::IconExclamation);
}

}  // namespace deletecommand

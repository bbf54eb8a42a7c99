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
    document.setModified(false);
    const QString path = document.pathName();

    // Move away first: to the next picture, the previous one after the last, or nothing at all.
    CThumbView* thumbs = frame.thumbView();
    thumbs->Next();
    if (document.pathName() == path) thumbs->Prev();
    if (document.pathName() == path) document.NewDocument();

    QFile file(path);
    if (!file.remove()) {
        // The frame's message, in the frame's translation context.
        prompter.messageBox(QCoreApplication::translate("CMainFrame", "Could not delete %1.\n%2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()),
                            QStringLiteral("Error!"), mb::Ok | mb::IconExclamation);
        return;
    }
    frame.browser()->removePicture(path);
    const QString folder = QFileInfo(path).absolutePath();
    if (Catalog::version(folder) != 0) (void)Catalog().create(folder, true);
}

}  // namespace deletecommand

#include "archivecommand.h"

#include <QCoreApplication>
#include <QDir>

#include "archiveidxdlg.h"
#include "catalog.h"
#include "framecontext.h"
#include "prompter.h"
#include "safewrite.h"

namespace archivecommand {

bool run(FrameContext& frame, const QString& cdName, const QString& location, QWidget* parent) {
    const QString folder = frame.currentFolder();
    CArchiveIdxDlg dialog(folder, cdName, location, frame.prompter(), parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    frame.setStatusText(QStringLiteral("Archiving catalog..."), true);
    CatalogArchiveCounts counts;
    const WriteResult result = Catalog().rewriteArchive(folder, dialog.cdName(), dialog.location(), &counts);
    frame.setStatusText(QStringLiteral("Ready"));
    if (result && counts.kept > 0)
        frame.prompter().messageBox(
            QStringLiteral("Catalog Archived") +
                QCoreApplication::translate("CMainFrame",
                                            "\n\n%1 entries whose pictures are not in the folder keep the disc they "
                                            "name.")
                    .arg(counts.kept),
            QStringLiteral("Snaplore"), mb::Ok | mb::IconInformation);
    else if (result)
        frame.prompter().messageBox(QStringLiteral("Catalog Archived"), QStringLiteral("Snaplore"),
                                    mb::Ok | mb::IconInformation);
    else
        // The frame's message, in the frame's translation context.
        frame.prompter().messageBox(
            QCoreApplication::translate("CMainFrame", "The catalog of %1 could not be archived.\n%2")
                .arg(QDir::toNativeSeparators(folder), describe(result)),
            QStringLiteral("Error!"), mb::Ok | mb::IconExclamation);
    return true;
}

}  // namespace archivecommand

#include "catalogcommands.h"

#include <QCoreApplication>
#include <QDir>

#include "catalog.h"
#include "framecontext.h"
#include "prompter.h"
#include "safewrite.h"

namespace catalogcommands {

namespace {

// The texts keep the frame's translation context: they are the frame's messages.
QString tr(const char* text) { return QCoreApplication::translate("CMainFrame", text); }

void information(FrameContext& frame, const QString& text) {
    frame.prompter().messageBox(text, QStringLiteral("Snaplore"), mb::Ok | mb::IconInformation);
}

void failure(FrameContext& frame, const QString& text) {
    frame.prompter().messageBox(text, QStringLiteral("Error!"), mb::Ok | mb::IconExclamation);
}

}  // namespace

void create(FrameContext& frame) {
    const QString folder = frame.currentFolder();
    frame.setStatusText(QStringLiteral("Creating catalog..."), true);
    const CatalogCreateReport report = Catalog().create(folder, true);
    frame.setStatusText(QStringLiteral("Ready"));
    if (report.ok())
        information(frame, QStringLiteral("Catalog Created"));
    else
        failure(frame, tr("The catalog of %1 could not be created.\n%2")
                           .arg(QDir::toNativeSeparators(folder), describe(report.write)));
}

void remove(FrameContext& frame) {
    const QString folder = frame.currentFolder();
    if (Catalog::version(folder) == 0) return;
    const WriteResult result = Catalog::createEmpty(folder);
    if (result)
        information(frame, QStringLiteral("Catalog Removed"));
    else
        failure(frame, tr("The catalog of %1 could not be removed.\n%2")
                           .arg(QDir::toNativeSeparators(folder), describe(result)));
}

}  // namespace catalogcommands

#include "catalogcommands.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

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

// One message for every name the catalog could not take, so the user learns which pictures a search
// or an archive disc will not know.
QString leftOutText(const std::vector<CatalogLeftOut>& leftOut) {
    constexpr size_t kShown = 20;
    QStringList lines;
    for (size_t i = 0; i < leftOut.size() && i < kShown; ++i) {
        QString name = leftOut[i].name;
        name.replace(QLatin1Char('\n'), QLatin1String("\\n"));  // a line feed in a name, seen as such
        lines.append(name + QStringLiteral(": ") + leftOut[i].reason);
    }
    if (leftOut.size() > kShown) lines.append(tr("... and %1 more").arg(leftOut.size() - kShown));
    return tr("These names were left out of the catalog:\n\n%1").arg(lines.join(QLatin1Char('\n')));
}

}  // namespace

void create(FrameContext& frame) {
    const QString folder = frame.currentFolder();
    frame.setStatusText(QStringLiteral("Creating catalog..."), true);
    const CatalogCreateReport report = Catalog().create(folder, true);
    frame.setStatusText(QStringLiteral("Ready"));
    if (!report.ok()) {
        failure(frame, tr("The catalog of %1 could not be created.\n%2")
                           .arg(QDir::toNativeSeparators(folder), describe(report.write)));
        return;
    }
    if (report.keptArchived > 0)
        information(
            frame,
            QStringLiteral("Catalog Created") +
                tr("\n\n%1 archived pictures that are not in the folder keep their entries.").arg(report.keptArchived));
    else
        information(frame, QStringLiteral("Catalog Created"));
    if (!report.leftOut.empty())
        frame.prompter().messageBox(leftOutText(report.leftOut), QStringLiteral("Snaplore"),
                                    mb::Ok | mb::IconExclamation);
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

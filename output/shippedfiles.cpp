#include "shippedfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString findShippedFile(const QString& programFolder, const QString& name) {
    if (name.isEmpty()) return {};
    const QString relative = QStringLiteral("snaplore/") + name;
    QStringList candidates;
    if (!programFolder.isEmpty()) {
        const QDir dir(programFolder);
        candidates << dir.filePath(QStringLiteral("../share/") + relative)
                   << dir.filePath(QStringLiteral("../../share/") + relative);
    }
    const QString located = QStandardPaths::locate(QStandardPaths::GenericDataLocation, relative);
    if (!located.isEmpty()) candidates << located;
    for (const QString& candidate : candidates)
        if (QFileInfo(candidate).isFile()) return QDir::cleanPath(QFileInfo(candidate).absoluteFilePath());
    return {};
}

#include "startup.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QtGlobal>

#include "settingsstore.h"

namespace startup {

namespace {
const QString kSettings = QStringLiteral("Settings");
}

CommandLine parseCommandLine(const QStringList& arguments) {
    CommandLine line;
    // The whole line is compared in lower case, so the switch counts however it is written.
    line.cdLaunch = arguments.join(QLatin1Char(' ')).toLower().contains(QLatin1String("-cdlaunch"));
    for (const QString& argument : arguments) {
        if (!argument.startsWith(QLatin1Char('-')) && !argument.isEmpty()) {
            line.folder = argument;
            break;
        }
    }
    return line;
}

Environment processEnvironment() {
    return [](const char* name) { return qEnvironmentVariable(name); };
}

QString temporaryBase(const Environment& environment) {
    for (const char* name : {"TEMP", "TMP", "TMPDIR"}) {
        const QString value = environment(name).trimmed();
        if (!value.isEmpty()) return QDir::fromNativeSeparators(value);
    }
    return QStringLiteral("/tmp");
}

QString temporaryFolderPath(const Environment& environment) {
    return QDir(temporaryBase(environment)).filePath(QStringLiteral("SnaploreTemp"));
}

QString makeTemporaryFolder(const Environment& environment) {
    const QString folder = temporaryFolderPath(environment);
    QDir().mkpath(folder);
    return folder;
}

void emptyFolder(const QString& folder) {
    if (folder.isEmpty()) return;
    QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System);
    while (files.hasNext()) QFile::remove(files.next());
}

QString lastDirectory(const SettingsStore& store) {
    return store.readString(kSettings, QStringLiteral("LastDirectory"));
}

void setLastDirectory(SettingsStore& store, const QString& folder) {
    store.writeString(kSettings, QStringLiteral("LastDirectory"), folder);
}

QString programLocation(SettingsStore& store, const QString& ownPath) {
    QString location = store.readString(kSettings, QStringLiteral("ProgramLocation"));
    if (location.isEmpty()) {
        location = ownPath;
        store.writeString(kSettings, QStringLiteral("ProgramLocation"), location);
    }
    return location;
}

}  // namespace startup

#pragma once
// The decisions of the program's start and end that need no window: the command line, the settings
// the application owns ("Settings"/"LastDirectory" and "Settings"/"ProgramLocation"), and the
// temporary folder "SnaploreTemp".

#include <QString>
#include <QStringList>
#include <functional>

class SettingsStore;

namespace startup {

struct CommandLine {
    QString folder;         // the folder to open instead of the last one; empty for none
    bool cdLaunch = false;  // "-cdlaunch", in any case: hand over to a running or installed copy
};
// `arguments` without the program's own name. The first argument that is not a switch is the folder.
CommandLine parseCommandLine(const QStringList& arguments);

// Reads an environment variable; empty when unset.
using Environment = std::function<QString(const char* name)>;
Environment processEnvironment();

// "TEMP", then "TMP", then "TMPDIR", then "/tmp"; the first that is set and not empty.
QString temporaryBase(const Environment& environment);
// "<base>/SnaploreTemp".
QString temporaryFolderPath(const Environment& environment);
// Creates the folder (an existing one is fine) and returns its path. A folder that cannot be made is
// not reported: the writers into it fail on their own.
QString makeTemporaryFolder(const Environment& environment);
// Deletes every file in `folder`; folders inside it stay.
void emptyFolder(const QString& folder);

QString lastDirectory(const SettingsStore& store);
void setLastDirectory(SettingsStore& store, const QString& folder);
// Where the installed program lives; written as `ownPath` when still empty.
QString programLocation(SettingsStore& store, const QString& ownPath);

}  // namespace startup

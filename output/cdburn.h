#pragma once
// The staging folder of Burn CD and what is done in it around the pictures: what the folder holds is
// exactly what the disc gets. Before the pictures are written the folder may be emptied; after, each
// of its folders and the folder itself get a catalog, and the autorun script that opens the disc in
// the installed program is put at its root.

#include <QString>
#include <QStringList>

namespace cdburn {

inline const QString kStagingName = QStringLiteral("CD Burning");
inline const QString kAutorunName = QStringLiteral("autorun");

// "<data folder>/CD Burning", without white space around it; empty when `dataFolder` is empty.
QString stagingFolderFor(const QString& dataFolder);
// The program's own staging folder: under the user's data folder of the program
// (~/.local/share/Snaplore/CD Burning). Empty when there is no data folder.
QString defaultStagingFolder();

// The entries of `folder` (files, folders and links, hidden ones too); 0 when it cannot be read.
int countEntries(const QString& folder);

struct EmptyResult {
    bool ok = false;
    QString message;  // for a person, when not ok
};
// Deletes everything in `folder`, which must be `ownFolder` (the program's staging folder): an empty
// path, one that does not resolve, one that is a link, or any other folder is refused and nothing is
// deleted. Links inside are removed as links, never followed; read-only files and folders are made
// writable first. Entries that could not be removed are named in the message.
EmptyResult emptyStagingFolder(const QString& folder, const QString& ownFolder);

// A staging folder of one run of its own ("snaplore-cd-XXXXXX" in a temporary folder), for a disc
// written without the program's shared staging folder. It is held under an exclusive lock while it
// lives and removed with everything in it at the end. A run that is killed cannot remove its folder:
// the next one removes every such folder that no running process holds.
class PrivateStaging {
public:
    // Removes the stale folders in `parent`, then makes a new one there.
    explicit PrivateStaging(const QString& parent);
    ~PrivateStaging();
    PrivateStaging(const PrivateStaging&) = delete;
    PrivateStaging& operator=(const PrivateStaging&) = delete;

    bool isValid() const { return fd_ >= 0; }
    const QString& path() const { return path_; }
    // Why no folder could be made, in the system's words.
    const QString& errorString() const { return error_; }

private:
    int fd_ = -1;  // the folder, open and locked
    QString path_;
    QString error_;
};

// Removes the private staging folders in `parent` (this user's, never through a link) that no process
// holds locked, with everything in them; returns the ones removed.
QStringList removeStaleStaging(const QString& parent);

// The autorun script the program ships: beside the running program's folder in a build tree
// ("<build>/share/snaplore/autorun" from "<build>/app"), or in the installed share folder. Empty when
// it is not found.
QString findAutorunScript(const QString& programFolder);

struct StagingOptions {
    bool createCatalogs = true;
    bool addAutorun = true;
    QString autorunScript;  // the shipped script; required with addAutorun
};

struct StagingReport {
    QStringList catalogs;  // folders that got a catalog, in order
    QStringList problems;  // for a person, one line each
    bool ok() const { return problems.isEmpty(); }
};

// After the pictures are written: a catalog for every immediate sub folder of `staging` (not for
// links), then for `staging` itself with its sub folders; then the autorun script copied to the root
// through the safe write, replacing an earlier one, and made executable.
StagingReport finishStaging(const QString& staging, const StagingOptions& options);

}  // namespace cdburn

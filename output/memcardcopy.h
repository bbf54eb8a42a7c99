#pragma once
// Copying the pictures of a memory card (any folder tree) into a destination folder, optionally into
// one folder per picture date and optionally deleting the card's files afterwards.
//
// A card's file is deleted only after its copy was written through safeWrite (flushed and checked)
// and then read back and found equal to the card's file. A target that exists is replaced only
// through safeWrite, so a failed copy never loses what was there. Two card files of the same name
// that meet in one folder during a run never replace each other: the second gets the first free name
// with "_2", "_3", ... before the extension. A target that is the card's file itself is left alone.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class Prompter;
class SettingsStore;

namespace memcard {

// The dialog's four settings, kept in the "MemoryCard" section.
struct Settings {
    QString source;
    QString destination;
    bool deleteAfterCopy = true;
    bool datedFolders = true;
};
Settings ReadSettings(const SettingsStore& store);
void WriteSettings(SettingsStore& store, const Settings& settings);

// Every file under `folder` whose name, lower-cased, ends in ".jpg", depth first, each folder's
// entries in name order. Links to folders are not followed (a card with a link loop ends).
QStringList CollectPictures(const QString& folder);

// A mounted volume, as the dialog proposes a source from them.
struct Volume {
    QString rootPath;
    bool removable = false;
};
// The mounted volumes whose device is removable (a card reader, a camera, a USB stick).
QList<Volume> MountedVolumes();
// The first removable volume with a DCIM folder, else the first one with such a folder; its DCIM
// folder. Empty when there is none.
QString ProposeSource(const QList<Volume>& volumes);

enum class ExistingTarget { Ask, Keep, Replace };

struct CopyRequest {
    QString destination;
    bool datedFolders = true;
    bool deleteAfterCopy = false;
    // Ask needs the prompter; the command line keeps or replaces without asking.
    ExistingTarget existing = ExistingTarget::Ask;
    Prompter* prompter = nullptr;  // the overwrite question and the per-file messages; may be null
    // Called before each file (done, total) and once at the end; false stops the run.
    std::function<bool(int done, int total)> progress;
};

struct CopyReport {
    QStringList copied;        // the targets written, in order
    QStringList renamed;       // "card file -> target" for the "_2" names
    QStringList keptExisting;  // targets that existed and were kept (No, or --overwrite not given)
    QStringList sameFile;      // card files that were their own target: left alone
    QStringList failed;        // "file: reason"; their card files stay
    QStringList deleted;       // card files deleted after their copy was proven
    bool cancelled = false;
    bool ok() const { return !cancelled && keptExisting.isEmpty() && sameFile.isEmpty() && failed.isEmpty(); }
    // The one message at the end of a run: what was renamed, left alone or not copied. Empty when all
    // went to plan.
    QString summary() const;
};

// The folder a picture taken `when` goes to: the destination, or its "%Y_%m_%d" sub folder (the
// destination itself when the picture has no date at all).
QString TargetFolder(const QString& destination, bool datedFolders, const QDateTime& when);

CopyReport CopyFromCard(const QStringList& files, const CopyRequest& request);

}  // namespace memcard

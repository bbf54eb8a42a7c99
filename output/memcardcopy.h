#pragma once
// Copying the pictures of a memory card (any folder tree) into a destination folder, optionally into
// one folder per picture date and optionally deleting the card's files afterwards.
//
// A card's file is deleted only after its copy was written through safeWrite (flushed and checked)
// and then read back and found equal to the card's file. A target that exists is replaced only
// through safeWrite, so a failed copy never loses what was there. Two card files of the same name
// that meet in one folder during a run never replace each other: the second gets the first free name
// with "_2", "_3", ... before the extension. A target that is the card's file itself is left alone.
// A link at a copy's name counts as a file there and is never written through: replacing it replaces
// the link. A card's file that is a link to a picture is copied as that picture; deleting it deletes
// the link only. Pipes and devices under a picture's name are refused without being read.

#include <QByteArray>
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

// What a memory card holds, as the copy takes it. Paths are as the system spells them: a name that
// is not UTF-8 keeps its bytes. Every file that is not taken is named, so that nothing on the card
// goes unseen.
struct CardContents {
    // Every file whose name, lower-cased, ends in ".jpg" and that is a regular file or a link to one,
    // depth first, each folder's entries in name order. Links to folders are not followed (a card
    // with a link loop ends).
    QList<QByteArray> pictures;
    QStringList otherFiles;     // left on the card as they are not .jpg pictures (and folder links)
    QStringList notTaken;       // "file: reason": .jpg files that cannot be copied (a pipe, a device, a
                                // path longer than the system allows)
    QStringList unreadFolders;  // "folder: reason": folders that could not be read; what they hold is unknown
};
CardContents ReadCard(const QByteArray& folder);

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

// What becomes of a file (or link) that is already at a copy's name: a question, kept (the card's
// file stays), replaced, or kept with the copy beside it under the next free "_2" name.
enum class ExistingTarget { Ask, Keep, Replace, Rename };

struct CopyRequest {
    QString destination;
    bool datedFolders = true;
    bool deleteAfterCopy = false;
    // Ask needs the prompter; the command line decides without asking.
    ExistingTarget existing = ExistingTarget::Ask;
    Prompter* prompter = nullptr;  // the overwrite question; may be null
    // Called before each file (done, total) and once at the end; false stops the run.
    std::function<bool(int done, int total)> progress;
};

// What a run did, and what it left on the card. The names are readable (a byte that is not UTF-8
// shows as \xNN).
struct CopyReport {
    int found = 0;             // the .jpg pictures found
    bool deleting = false;     // the card's files were to be deleted after their copies
    QStringList copied;        // the targets written, in order (the renamed ones too)
    QStringList renamed;       // "card file -> target" for the "_2" names
    QStringList keptExisting;  // targets that were there and were kept (No, or neither --overwrite nor --rename)
    QStringList sameFile;      // card files that were their own target: left alone
    QStringList failed;        // "file: reason": not copied; their card files stay
    QStringList deleted;       // card files deleted after their copy was proven
    QStringList notDeleted;    // "file: reason": copied, but the card's file stays
    // From the card: what was left on it without a try.
    QStringList otherFiles, notTaken, unreadFolders;
    bool cancelled = false;
    // Every picture on the card was seen and copied (files that are not .jpg pictures aside).
    bool ok() const;
    // How many pictures were copied, renamed, kept, failed and left on the card: one line each that
    // is not zero, the first always.
    QString counts() const;
    // The names of every list that is not empty, under its title, at most `listed` of each (all when
    // negative).
    QString details(int listed = -1) const;
    // The counts, then the details.
    QString summary(int listed = -1) const;
};
// The folder a picture taken `when` goes to: the destination, or its "%Y_%m_%d" sub folder (the
// destination itself when the picture has no date at all).
QString TargetFolder(const QString& destination, bool datedFolders, const QDateTime& when);

CopyReport CopyFromCard(const CardContents& card, const CopyRequest& request);

}  // namespace memcard

#pragma once
// The folder and event browser without its window: the list of entries of the current location (a
// folder from its catalog or its files, or the list of drives), their order, the tree drawn from them
// with its texts, counts and looks, the pictures the strip shows, and the browser's navigation
// targets. The view turns the tree into items and routes events here.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "browserentry.h"

class Prompter;
namespace search {
struct Criteria;
}

namespace browser {

// The location that stands for the list of drives (the mounted volumes).
inline const QString kDriveList = QStringLiteral("<DRIVELETTERS>");

// Indices of the tree's image list. Folders and drives show their own system icon instead.
enum Image : int {
    ImagePicture = 0,
    ImagePictureRated = 1,
    ImagePictureMissing = 2,
    ImageEvent = 3,
    ImageEventDiscPresent = 4,
    ImageSearchResult = 5,
    ImageArchived = 6,
    ImageArchivedRated = 7,
    ImageArchivedUnreachable = 8,
    ImageEventDiscAbsent = 9,
    ImageCount = 10,
    ImageSystemIcon = -1,  // the folder's or drive's icon, looked up by the node's path
};

enum Overlay : int { OverlayNone = 0, OverlayData = 1, OverlayFlagged = 2, OverlayFlaggedData = 3 };

struct Look {
    int image = ImagePicture;
    int overlay = OverlayNone;
    bool operator==(const Look&) const = default;
};

struct Volume {
    QString rootPath;
    QString displayName;
};
// The mounted volumes that hold files, as the drive list shows them.
QList<Volume> mountedVolumes();

// Sort dates of the entries that are not pictures.
QDateTime folderDate();      // every folder and the event "Unknown": 1996-10-05 00:00
QDateTime folderRootDate();  // 1971-04-16 00:00

// The event a picture belongs to: its event key (IptcBlock::EventKey), "Unknown" without an event.
// Event entries carry it as their text.
QString eventText(const PictureRecord& picture);
// The title an event entry shows for its text.
QString eventTitle(const QString& eventText);
// A picture's tree text: the first 32 characters of its headline, else its file name (for a name
// taken over from a subfolder's catalog, the part after the subfolder).
QString pictureItemText(const PictureRecord& picture);
// The root's text: the folder's last name, or the whole path when that is empty.
QString folderRootText(const QString& path);

// The sort relation: kinds in descending order (roots, events, pictures, folders), then ascending
// date, then text byte by byte. Holds for equal entries, so it is "not after" rather than "before".
bool before(const BrowserEntry& a, const BrowserEntry& b);
// Sorts with a leading root kept in place. Entries that compare equal keep the order the browser has
// always given them (a middle pivot, the rest split in list order).
void sortEntries(EntryList& entries);
void sortEntries(ThumbList& entries);

// Where Up One Level leads from `location` (outside a search).
QString upTarget(const QString& location, const QString& myDocuments, const QString& myPictures);

// What the browser needs from outside; tests give their own folders, volumes and catalog test.
struct BrowserEnvironment {
    QString myDocuments;
    QString myPictures;
    std::function<QList<Volume>()> volumes = mountedVolumes;
    std::function<bool(const QString& folder)> hasCatalog;  // default: a catalog file of version 2 or 3
};

// Progress and cancellation of a load that runs on a worker thread. Both may be empty.
struct LoadObserver {
    std::function<void(int done, int total)> progress;
    std::function<bool()> canceled;
};

// A freshly built entry list, not yet shown. Built on any thread: it touches no prompter and no
// window, so a folder's picture headers can be read off the user-interface thread.
struct EntryListBuild {
    QString location;
    EntryList entries;
    ThumbList thumbs;
    bool catalogMode = false;
    bool canceled = false;
    // Empty picture files; the user is told about them on the user-interface thread.
    QStringList zeroByteFiles;
    // The catalog did not load whole: which, where it broke and why.
    QString catalogDamage;
    // Entries of the catalog, or ".jpg" files of the folder, that are not in the list, each
    // "name: reason".
    QStringList leftOut;
};

// What the user is told on opening a folder whose catalog did not load whole or whose list lacks
// pictures; empty when there is nothing to tell.
QString leftOutMessage(const QString& location, const QString& damage, const QStringList& leftOut);

// One item of the tree as the view shows it.
struct TreeNode {
    BrowserEntry* entry = nullptr;
    QString text;
    int image = ImagePicture;
    QString iconPath;  // for ImageSystemIcon
    int overlay = OverlayNone;
    bool expanded = false;
    std::vector<TreeNode> children;
};

struct BrowserTree {
    std::vector<TreeNode> topLevel;
    // The entry of the open picture, to be selected.
    BrowserEntry* selected = nullptr;
};

}  // namespace browser

class BrowserModel {
public:
    explicit BrowserModel(browser::BrowserEnvironment environment);
    ~BrowserModel();
    BrowserModel(const BrowserModel&) = delete;
    BrowserModel& operator=(const BrowserModel&) = delete;

    // Builds the entry list of `location` without touching the model: its catalog, else its picture
    // files, plus its sub-folders; or the drive list. Sorted.
    static browser::EntryListBuild buildEntryList(const QString& location, const browser::BrowserEnvironment& env,
                                                  const browser::LoadObserver& observer = {});
    // Makes a build the model's list (the old entries are freed) and reports empty files through
    // `prompter`, and a catalog that did not load whole or pictures left out once per opening of the
    // folder (not again when the same folder is read again). Resets the event shown and the
    // create-catalog question.
    void adopt(browser::EntryListBuild build, Prompter* prompter);
    // Both at once, on the calling thread.
    void load(const QString& location, Prompter* prompter);

    // Sorts EntryList and ThumbList again.
    void sort();
    // The tree for the current list; the open picture's entry is marked for selection. In a catalog a
    // picture whose event has no entry gets one here. Empties the list of unreachable archive folders.
    browser::BrowserTree buildTree(const QString& openPicturePath);
    // The look of a picture item; probes archive folders once per tree build. The second form looks
    // at `picture` in place of the entry's own record (the document's copy of an open picture).
    browser::Look pictureLook(const BrowserEntry& entry);
    browser::Look pictureLook(const BrowserEntry& entry, const PictureRecord& picture);

    // The pictures of the entry's event (all pictures outside a catalog or in a search) become
    // ThumbList. Returns true when the event shown changed.
    bool showEntryPictures(const BrowserEntry& entry);

    // The event a catalog opens on while none of its pictures is open: the event of the first of
    // `recentPictures` (paths, most recent first) that is listed here, else the newest event that has
    // pictures. Null outside a catalog, in a search, or when no event has pictures.
    BrowserEntry* startEvent(const QStringList& recentPictures) const;
    // `recent` after the picture at `path` was opened here: that path first, the other pictures of
    // this location taken out (one is remembered per location), at most kRememberedPictures.
    static constexpr int kRememberedPictures = 16;
    QStringList rememberPicture(const QStringList& recent, const QString& path) const;

    // Up One Level: leaves a search (true; the tree is drawn again) or returns the folder to open.
    bool leaveSearch();
    // Search: the pictures that match `criteria` become ThumbList, the entries are marked for the tree
    // (search.h) and the browser enters SearchMode. Entries excluded by an earlier search stay out.
    void runSearch(const search::Criteria& criteria);
    QString upOneLevelTarget() const;
    // The folder a double click on `entry` opens, or empty.
    QString doubleClickTarget(const BrowserEntry& entry) const;

    // Sets or clears the flag of an entry; the look of pictures follows.
    static void setFlag(BrowserEntry& entry, bool flagged) { entry.flagged = flagged; }

    // After a save: reads the picture again into its entry and, in a catalog, adds an event entry for
    // a new event. Returns the entry, or null when the path is not listed.
    BrowserEntry* savedPictureRefresh(const QString& path, Prompter* prompter);
    // After a delete: takes the picture's entry out of both lists (ThumbList compares paths without
    // regard to case). The caller frees it once the strip no longer shows it; null when not listed.
    std::unique_ptr<BrowserEntry> takePicture(const QString& path);
    // Asks once per location whether to create the catalog when every picture has data; `create`
    // runs on Yes.
    void createCatalogCheck(Prompter& prompter, const std::function<void()>& create);

    BrowserEntry* entryForPath(const QString& path) const;
    // The entry that owns `picture`, or null.
    BrowserEntry* entryForPicture(const PictureRecord* picture) const;
    // The first entry that has a picture, or null.
    BrowserEntry* firstPictureEntry() const;

    const QString& location() const { return location_; }
    const EntryList& entryList() const { return entries_; }
    const ThumbList& thumbList() const { return thumbs_; }
    void clearThumbList() { thumbs_.clear(); }
    const QString& currentEventKey() const { return currentEventKey_; }
    void resetCurrentEventKey() { currentEventKey_.clear(); }
    bool catalogMode() const { return catalogMode_; }
    bool searchMode() const { return searchMode_; }
    void setSearchMode(bool on) { searchMode_ = on; }
    bool askCreateCatalog() const { return askCreateCatalog_; }
    // A reading of the same place again keeps the user's answer to the create-catalog question.
    void setAskCreateCatalog(bool ask) { askCreateCatalog_ = ask; }
    bool driveListMode() const { return location_ == browser::kDriveList; }
    const browser::BrowserEnvironment& environment() const { return env_; }
    // What the list lacks of its folder: leftOutMessage's lines, empty when it holds everything.
    QStringList leftOutLines() const;

    // Takes the entry list away (to keep records alive that others still point to).
    EntryList takeEntries();

private:
    BrowserEntry& addEventFor(const PictureRecord& picture, const QString& text);

    browser::BrowserEnvironment env_;
    QString location_;
    EntryList entries_;
    ThumbList thumbs_;
    QString currentEventKey_;
    bool searchMode_ = false;
    bool catalogMode_ = false;
    bool askCreateCatalog_ = true;
    QString catalogDamage_;
    QStringList leftOut_;
    bool leftOutTold_ = false;  // for the location: told once when it is opened
    QStringList missingFolders_;
};

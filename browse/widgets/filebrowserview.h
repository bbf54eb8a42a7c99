#pragma once
// The folder and event browser of the upper left pane: one tree for the current location (the folder
// with its events, pictures and sub-folders, or the list of drives), the buttons that move between
// folders, flagging and the context menu. Selecting a picture opens it in the document; the strip
// shows the pictures of the selected event. The logic lives in BrowserModel; this view draws its tree
// and routes events to it. A folder's picture headers are read on a worker thread.

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QHash>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <optional>

#include "browsermodel.h"

class BrowseContext;
class QIcon;
class QMenu;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class CSearchDlg;
namespace search {
struct Criteria;
}

class CFileBrowserView : public QWidget {
    Q_OBJECT
public:
    explicit CFileBrowserView(BrowseContext& frame, QWidget* parent = nullptr);
    ~CFileBrowserView() override;

    // Reads the frame's current folder again and shows it (after OpenFolder and the catalog commands).
    // Returns at once; loadFinished() follows.
    void refreshLocation();
    // Sorts the lists again, rebuilds the tree and selects the open picture; reads nothing.
    void refresh();
    // View > Refresh: reads the place again (the folder's files, or its catalog file), so that what
    // other programs added or removed shows. A changed picture gets the save question first, and
    // Cancel keeps everything as it is. The open picture is read again and the selected item stays
    // selected, as long as they are still there. Returns at once; loadFinished() follows.
    void reload();
    // After a successful save (the frame connects the document's pictureSaved here): reads the picture
    // again into its entry, draws the tree again and shows the strip with the new record.
    void savedPictureRefresh(const QString& path);
    // After a delete: the picture leaves the tree and the lists.
    void removePicture(const QString& path);

    void browseForFolder();
    void upOneLevel();
    void openMyDocuments();
    void openMyPictures();
    // Shows the options tree (people, places and things) in place of the file tree, or back.
    void switchView();
    // Edit > Search...: runs the search dialog, and on Search the search itself.
    void search();
    // Shows the pictures that match as "Search Results" under their events in a "Search Result" tree.
    void runSearch(const search::Criteria& criteria);
    // Made on the first search and kept, so that its values last as long as the browser.
    CSearchDlg* searchDialog();
    bool optionsVisible() const;
    // The options view (people, places and things) belongs to editing; the frame makes it and hands
    // it over with the images of its Add and Remove buttons, whose clicks come back as signals.
    void setOptionsView(QWidget* view, const QIcon& addIcon, const QIcon& removeIcon);

    const EntryList& entryList() const { return model_.entryList(); }
    const ThumbList& thumbList() const { return model_.thumbList(); }
    bool searchMode() const { return model_.searchMode(); }

    // Set Flag / Remove Flag on the selected tree item (a picture, an event or the search root).
    void setFlagOnSelected(bool flagged);
    // The menu of a right click on `item`, which is selected first: Set Flag, Remove Flag, Print...,
    // Print Preview..., Save as...; null for an item that has none (only pictures, events and the
    // search root have one). The caller owns it.
    QMenu* createContextMenu(QTreeWidgetItem* item, QWidget* parent);
    // The open picture changed: select its item, show its text and look, then the catalog question.
    void documentChanged();
    // The pictures of the entry's event go to the strip.
    void showEntryPictures(const BrowserEntry& entry);

    BrowserModel& model() { return model_; }
    QTreeWidget* tree() const { return tree_; }
    QTreeWidgetItem* itemFor(const BrowserEntry* entry) const { return items_.value(entry); }
    static BrowserEntry* entryOf(const QTreeWidgetItem* item);
    // The image and overlay an item shows.
    static browser::Look lookOf(const QTreeWidgetItem* item);
    bool isLoading() const { return watcher_ != nullptr; }

signals:
    // Reading a folder's pictures: `done` of `total`; (0, 0) when the load is over.
    void loadProgress(int done, int total);
    // A location was read and shown.
    void loadFinished();
    // The options view's Add Keywords and Remove Keywords buttons.
    void addKeywordsClicked();
    void removeKeywordsClicked();

private:
    // What a reload keeps from the tree as the user left it.
    struct KeptView {
        bool selected = false;  // an item was selected
        EntryKind kind = EntryKind::Folder;
        QString path;
        QString text;
        QString eventKey;            // the event the strip showed
        QStringList expandedEvents;  // by text
        bool askCreateCatalog = true;
    };
    // Starts reading the frame's current folder on a worker thread.
    void startLoad();
    void finishLoad(const std::shared_ptr<browser::EntryListBuild>& build);
    // After a reload: the open picture is read again (or closed when its file is gone), and the kept
    // selection, strip and expanded events come back where their entries still exist.
    void restoreView(const KeptView& kept);
    BrowserEntry* keptEntry(const KeptView& kept) const;
    void cancelLoad();
    // BuildTree: the model's tree becomes items; the open picture's item is selected, with the
    // selection handled as a user's unless notifications are suppressed.
    void rebuildTree();
    // The folder's and the events' texts carry counts and sizes: they follow the pictures left.
    void refreshTreeTexts();
    void addNodes(QTreeWidgetItem* parent, std::vector<browser::TreeNode>& nodes);
    void setItemLook(QTreeWidgetItem* item, const browser::Look& look);
    void setPictureFlag(QTreeWidgetItem* item, bool flagged);
    void selectItem(QTreeWidgetItem* item);
    void selectionChanged();
    void openRememberedPicture();
    void itemDoubleClicked();
    void contextMenu(const QPoint& pos);
    void startDrag(QTreeWidgetItem* item);
    void showThumbs(const ThumbList& list, bool searchFlag);
    void openFolder(const QString& path);
    void repaintThumbs();
    void askCreateCatalog();
    // A catalog opened with none of its pictures open: its start event is selected (BrowserModel).
    void selectStartEvent();
    QStringList recentPictures() const;

    BrowseContext& frame_;
    BrowserModel model_;
    QTreeWidget* tree_ = nullptr;
    QToolButton* upButton_ = nullptr;
    QToolButton* myDocumentsButton_ = nullptr;
    QToolButton* myPicturesButton_ = nullptr;
    QToolButton* browseButton_ = nullptr;
    QToolButton* switchButton_ = nullptr;
    QWidget* optionsView_ = nullptr;
    QToolButton* addKeywordsButton_ = nullptr;
    QToolButton* removeKeywordsButton_ = nullptr;

    QHash<const BrowserEntry*, QTreeWidgetItem*> items_;
    bool suppressSelection_ = false;
    // The picture a selection asked to open, by path: the entry may be gone when the request runs.
    QString rememberedPath_;

    QFutureWatcher<std::shared_ptr<browser::EntryListBuild>>* watcher_ = nullptr;
    QElapsedTimer loadTime_;
    // Set while a reload reads; any other load drops it.
    std::optional<KeptView> kept_;
    std::shared_ptr<std::atomic_bool> cancel_;
    // A catalog record the document shows without owning it (an archived picture) outlives a reload
    // until the document lets go of it.
    std::unique_ptr<PictureRecord> retained_;
    CSearchDlg* searchDlg_ = nullptr;
};

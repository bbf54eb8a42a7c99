#pragma once
// The main window. It lays out the views in two nested PaneSplitters, owns the toolbars, the status
// bar and the dialogs that last for the run, keeps the current folder, and wires every command of
// the command table to its handler and its enable rule (updateActions). The work behind a command
// lives with its subsystem (browse's catalog and delete commands, edit's picture commands, output's
// archive command); the frame routes to it and keeps only what spans the views: navigation, Save
// Copy to All between the strip and the form, the clipboard, the panes and the picture drag.

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <array>
#include <memory>

#include "browsecontext.h"
#include "frameentrylist.h"
#include "saveasoptions.h"
#include "snaploredoc.h"

class CBigImageView;
class CFileBrowserView;
class CThumbView;
class CTipsDlg;
class CToolBarBigImage;
class CToolBarPicData;
class CCopyToAllDlg;
class CFileSaveAsDlg;
class PictureDragData;
class CPrintOptionsDlg;
class QPrinter;
class CIndexPrintDlg;
class PaneSplitter;
class CPicDataView;
class COptionsTreeCtrl;
class QAction;
class QProgressBar;
class QTimer;
class QToolBar;

class CMainFrame : public QMainWindow, public BrowseContext {
    Q_OBJECT
public:
    // `temporaryFolder` receives scratch files such as the copies handed to a drop.
    CMainFrame(SettingsStore& store, Prompter& prompter, const QString& temporaryFolder, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // FrameContext
    CSnaploreDoc& document() override { return *document_; }
    Prompter& prompter() override { return prompter_; }
    SettingsStore& settings() override { return store_; }
    void OpenFolder(const QString& path) override;
    QString currentFolder() const override { return currentFolder_; }
    QString myDocumentsPath() const override { return myDocuments_; }
    QString myPicturesPath() const override { return myPictures_; }
    void setStatusText(const QString& text, bool busy = false) override;
    void setArchiveStrings(const QString& cdName, const QString& location) override;
    void createCatalog() override;
    void startPictureDrag(PictureRecord& picture, QWidget* source) override;
    bool isActiveView(const QWidget* view) const override { return view && view == activeView_; }
    void setActiveView(QWidget* view) override;
    int pictureCount() const override;
    int pictureIndex(const PictureRecord* picture, const QString& path) const override;
    const PictureRecord* pictureAt(int index) const override;
    void firstPicture() override;
    void nextPicture() override;
    void previousPicture() override;
    const EntryListView& entryList() const override { return *entryList_; }
    // BrowseContext
    CFileBrowserView* browser() override { return browser_; }
    CThumbView* thumbView() override { return thumbs_; }
    void runSaveAs() override { saveAs(SaveAsMode::SaveAs); }
    void runPrint(bool preview) override;
    bool printEnabled() const override;

    // The commands that span views. SavePicture writes the open picture after the lock questions;
    // the file keeps its times unless the form's box says otherwise (`Keep`: whatever it says).
    bool SavePicture(CSnaploreDoc::FileTimes times = CSnaploreDoc::FileTimes::AsChosen);
    void SaveNext();
    void SaveCopyNext();
    // Picture > Save Copy to All...: the open picture's data go to every picture of the strip.
    void SaveCopyToAll();
    void DeletePicture();
    void removeCatalog();
    void archiveCatalog();
    // File > Copy from Memory Card...: the dialog, then the folder shown again when it got pictures.
    void copyFromMemoryCard();
    // Empties the archive strings and lets the browser read the current folder again, once control
    // returns to the event loop.
    void RefreshBrowser();
    // File > Save As..., Burn CD... and Send Email To...: the command's dialog instance over the current
    // picture and the browser's entries; Drag && Drop Options...: the options a drag uses.
    void saveAs(SaveAsMode mode);
    void chooseDragOptions();
    // What a drag of `picture` offers: the file itself, or with Drag and Drop options that resize or
    // crop, a copy rendered into the temporary folder when the drop asks for it.
    PictureDragData* pictureDragData(const PictureRecord& picture);
    // The dialog instance of a command, kept for the run so its options last.
    CFileSaveAsDlg* saveAsDialog(SaveAsMode mode) const;
    // What a second instance's hand-over asks of the running one: show everything again. Returns
    // cmd::kPingAnswer.
    quint32 ping();
    void showTips();
    // File > Print..., Print Preview and Page Setup...; the first two share their options.
    void PrintPictures();
    void PrintPreview();
    void PageSetup();
    // The application's printer settings, kept for the run; made on first use.
    QPrinter& printer();

    // What File > Exit keeps of the window besides the pane layout: the bars' places and the window's
    // size and position.
    void saveWindowState();
    // The desktop session is ending: with `mayAsk` the unsaved picture data are asked about as at
    // Exit, and false means the user cancelled the end. Without it nothing is asked and no picture is
    // written. When the end goes on, the window's state and the pane layout are kept.
    bool commitSession(bool mayAsk);
    // The File menu's recent folders, newest first.
    QStringList recentFolders() const;
    QList<QAction*> recentFolderActions() const { return recentActions_; }

    QAction* action(int id) const { return actions_.value(id); }
    // Enables and checks every command from the current state.
    void updateActions();

    QString temporaryFolder() const { return temporaryFolder_; }
    QString archiveCdName() const { return archiveCdName_; }
    QString archiveLocation() const { return archiveLocation_; }
    PaneSplitter* outerSplitter() const { return outer_; }
    CPicDataView* picDataView() const { return panel_; }
    CBigImageView* bigImageView() const { return bigImage_; }
    // The options tree, shown by the browser in place of its file tree.
    COptionsTreeCtrl* optionsTree() const { return optionsTree_; }
    CToolBarPicData* pictureDataBar() const { return pictureDataBar_; }
    CToolBarBigImage* bigImageBar() const { return bigImageBar_; }
    QProgressBar* progressBar() const { return progress_; }

signals:
    // Help > About; the application shows its About box.
    void aboutRequested();
    // The window accepted its close (File > Exit, the close box): the program is ending.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolBars();
    void createStatusBar();
    void createPanes();
    void connectCommands();
    void readSettings();
    void documentChanged();
    void saveAndMoveOn(bool copyData);
    bool folderHasCatalog() const;
    // Pictures the browser shows (a search's results while it searches), in the strip or not.
    bool browserHasPictures() const;
    // The dialogs of the outputs work on the browser's pictures: a folder still being read (or about
    // to be, on a refresh already asked for) would replace them while one is open, so the reading
    // ends first.
    void settleBrowser();
    void clipboardCommand(int id);
    void moveToPane(int step);
    void showLoadProgress(int done, int total);
    void updateRecentFolders();
    void openRecentFolder(int index);

    SettingsStore& store_;
    Prompter& prompter_;
    const QString temporaryFolder_;
    CSnaploreDoc* document_;

    QString currentFolder_;
    QString myDocuments_;
    QString myPictures_;
    QString archiveCdName_;
    QString archiveLocation_;

    QHash<int, QAction*> actions_;
    QList<QAction*> recentActions_;  // the File menu's last folders, then their separator
    QToolBar* mainBar_ = nullptr;
    CToolBarPicData* pictureDataBar_ = nullptr;
    CToolBarBigImage* bigImageBar_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QTimer* idleUpdate_ = nullptr;
    bool waitCursor_ = false;

    PaneSplitter* outer_ = nullptr;
    PaneSplitter* inner_ = nullptr;
    CFileBrowserView* browser_ = nullptr;
    CThumbView* thumbs_ = nullptr;
    CPicDataView* panel_ = nullptr;  // the picture data form
    CBigImageView* bigImage_ = nullptr;
    COptionsTreeCtrl* optionsTree_ = nullptr;  // a child of the browser
    std::unique_ptr<FrameEntryList> entryList_;
    QPointer<QWidget> activeView_;
    CTipsDlg* tips_ = nullptr;
    CCopyToAllDlg* copyToAll_ = nullptr;  // kept for the run: its ticks last
    // Save As, Burn CD, Send Email and Drag and Drop, in the order of SaveAsMode.
    std::array<CFileSaveAsDlg*, 4> saveAsDialogs_{};
    std::unique_ptr<QPrinter> printer_;
    CPrintOptionsDlg* printOptions_ = nullptr;  // Print's and Print Preview's, kept for the run: the options last
    CIndexPrintDlg* indexPrint_ = nullptr;  // kept for the run: its choices last
};

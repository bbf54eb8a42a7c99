#include "mainframe.h"

#include "safewrite.h"

#include "browsermodel.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDrag>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QScreen>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <utility>

#include "archivecommand.h"
#include "bigimageview.h"
#include "catalog.h"
#include "catalogcommands.h"
#include "commandtable.h"
#include "copyfrommemcard.h"
#include "copytoalldlg.h"
#include "deletecommand.h"
#include "exportcommands.h"
#include "filebrowserview.h"
#include "filesaveasdlg.h"
#include "panesplitter.h"
#include "picturedrag.h"
#include "optionstreectrl.h"
#include "picdataview.h"
#include "picturecommands.h"
#include "picturerecord.h"
#include "prompter.h"
#include "recentfolders.h"
#include "saveascommand.h"
#include "printcommand.h"
#include "printoptionsdlg.h"
#include "settingsstore.h"
#include "snaploredoc.h"
#include "thumbview.h"
#include "toolbarpicdata.h"
#include "tipsdlg.h"
#include "updatedlg.h"

// Resources of a static library are registered by hand, outside any namespace.
static void registerFrameResources() { Q_INIT_RESOURCE(frame); }

namespace {

const QString kProductName = QStringLiteral("Snaplore");
const QString kReady = QStringLiteral("Ready");
constexpr int kIdleUpdateMs = 300;
constexpr int kFirstColumnWidth = 230;

bool isEditableText(const QWidget* widget) {
    if (const auto* line = qobject_cast<const QLineEdit*>(widget)) return !line->isReadOnly();
    if (const auto* text = qobject_cast<const QTextEdit*>(widget)) return !text->isReadOnly();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget)) return !plain->isReadOnly();
    return false;
}

QList<QKeySequence> keysOf(const char* keys) {
    QList<QKeySequence> sequences;
    for (const QString& key : QString::fromLatin1(keys).split(QLatin1Char(';'), Qt::SkipEmptyParts))
        sequences.append(QKeySequence(key, QKeySequence::PortableText));
    return sequences;
}

}  // namespace

CMainFrame::CMainFrame(SettingsStore& store, Prompter& prompter, const QString& temporaryFolder, QWidget* parent)
    : QMainWindow(parent),
      store_(store),
      prompter_(prompter),
      temporaryFolder_(temporaryFolder),
      document_(new CSnaploreDoc(prompter, this)) {
    registerFrameResources();
    setWindowTitle(kProductName);
    setWindowIcon(QIcon(QStringLiteral(":/frame/snaplore.png")));
    myDocuments_ = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    myPictures_ = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);

    createActions();
    createMenus();
    createToolBars();
    createStatusBar();
    createPanes();
    connectCommands();
    readSettings();
    tips_ = new CTipsDlg(store_, this);
    for (SaveAsMode mode : {SaveAsMode::SaveAs, SaveAsMode::BurnCd, SaveAsMode::SendEmail, SaveAsMode::DragAndDrop})
        saveAsDialogs_[size_t(mode)] = saveascommand::create(mode, *this, temporaryFolder_, this);

    connect(document_, &CSnaploreDoc::updateAllViews, this, &CMainFrame::documentChanged);
    connect(document_, &CSnaploreDoc::statusMessage, this, &CMainFrame::setStatusText);
    // Every save of the open picture (the commands, the save question, Ctrl+S, the large view's) comes
    // through here: the browser's own record of the file is read again, and its tree and strip, its
    // search and Copy to All see what the file now holds.
    connect(document_, &CSnaploreDoc::pictureSaved, browser_, &CFileBrowserView::savedPictureRefresh);
    // Clipboard and focus decide the edit commands; everything else changes with the document or the
    // browser, which the idle timer catches as well.
    connect(qApp, &QApplication::focusChanged, this, &CMainFrame::updateActions);
    // The picture navigation keys win over the text fields' own use of them (see eventFilter).
    qApp->installEventFilter(this);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &CMainFrame::updateActions);
    idleUpdate_ = new QTimer(this);
    connect(idleUpdate_, &QTimer::timeout, this, &CMainFrame::updateActions);
    idleUpdate_->start(kIdleUpdateMs);
    updateActions();
}

CMainFrame::~CMainFrame() {
    // Closing the window below changes the focus; the frame must not hear of it half destroyed.
    disconnect(qApp, nullptr, this, nullptr);
    qApp->removeEventFilter(this);
    disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
    idleUpdate_->stop();
    if (waitCursor_) QApplication::restoreOverrideCursor();
    // A full-screen view is a window of its own: it goes back to its pane to be deleted with it.
    bigImage_->leaveFullScreen();
    outer_->saveLayout();
    // The views reach the frame and each other while they go: they go first, the browser (which
    // empties the strip) before the strip, while the frame is still whole.
    optionsTree_ = nullptr;  // goes with the browser
    delete std::exchange(browser_, nullptr);
    delete std::exchange(thumbs_, nullptr);
    delete outer_;
}

void CMainFrame::createActions() {
    for (const cmd::Command& command : cmd::kCommands) {
        auto* action = new QAction(QString::fromLatin1(command.caption), this);
        action->setData(command.id);
        action->setShortcuts(keysOf(command.keys));
        action->setStatusTip(QString::fromLatin1(command.tip));
        if (*command.icon) action->setIcon(QIcon(QStringLiteral(":/frame/%1.png").arg(QLatin1String(command.icon))));
        action->setEnabled(false);
        actions_.insert(command.id, action);
        addAction(action);  // accelerators work without a menu entry
    }
    for (int id = cmd::HotKeyFirst; id <= cmd::HotKeyLast; ++id) {
        auto* action = new QAction(tr("Hot Key %1").arg(id - cmd::HotKeyFirst + 1), this);
        action->setData(id);
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_F1 + id - cmd::HotKeyFirst)));
        action->setEnabled(false);
        actions_.insert(id, action);
        addAction(action);
    }
    for (int id : {cmd::ToolbarMain, cmd::ToolbarPictureData, cmd::ToolbarBigImage, cmd::ViewBrowser, cmd::ViewOptions,
                   cmd::ViewPictureData, cmd::ViewLargeImage, cmd::ViewStatusBar, cmd::Zoom, cmd::CropMarks,
                   cmd::CropTopLeft, cmd::CropCenter, cmd::CropBottomRight})
        action(id)->setCheckable(true);
}

void CMainFrame::createMenus() {
    const auto add = [this](QMenu* menu, std::initializer_list<int> ids) {
        for (int id : ids) {
            if (id == 0)
                menu->addSeparator();
            else
                menu->addAction(action(id));
        }
    };
    QMenu* file = menuBar()->addMenu(tr("&File"));
    add(file, {cmd::FileOpen, cmd::Save, cmd::SaveAs, 0});
    add(file->addMenu(tr("Ca&talog")), {cmd::CatalogCreate, cmd::CatalogRemove, cmd::CatalogArchive});
    add(file, {0, cmd::CopyFromMemoryCard, 0, cmd::PageSetup, cmd::Print, cmd::PrintPreview, 0, cmd::BurnCd,
               cmd::SendEmail, cmd::DragDropOptions, 0});
    // The folders opened last stand before Exit, as a recent-file list does.
    for (int i = 0; i < RecentFolders::kSize; ++i) {
        QAction* recent = file->addAction(QString());
        connect(recent, &QAction::triggered, this, [this, i] { openRecentFolder(i); });
        recentActions_.append(recent);
    }
    recentActions_.append(file->addSeparator());
    add(file, {cmd::Exit});
    updateRecentFolders();

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    add(edit, {cmd::Undo, 0, cmd::Cut, cmd::Copy, cmd::Paste, 0, cmd::Search});

    QMenu* view = menuBar()->addMenu(tr("&View"));
    add(view->addMenu(tr("&Toolbars")), {cmd::ToolbarMain, cmd::ToolbarPictureData, cmd::ToolbarBigImage});
    add(view->addMenu(tr("&Windows")), {cmd::ViewBrowser, cmd::ViewOptions, cmd::ViewPictureData, cmd::ViewLargeImage});
    add(view, {cmd::ViewStatusBar, 0, cmd::Refresh, cmd::Zoom, cmd::CropMarks, 0, cmd::SlideShow, cmd::FullScreen});

    QMenu* picture = menuBar()->addMenu(tr("&Picture"));
    add(picture, {cmd::FirstPicture, cmd::NextPicture, cmd::PrevPicture, cmd::LastPicture, 0, cmd::UseLastData,
                  cmd::DeletePicture, cmd::Rotate, 0, cmd::Save, cmd::SaveNext, cmd::SaveCopyNext, cmd::SaveCopyToAll,
                  0, cmd::RemoveAllPeople});

    QMenu* exportMenu = menuBar()->addMenu(tr("E&xport"));
    add(exportMenu, {cmd::IndexPrint, cmd::ExportPictureData, cmd::ExportHtml});

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    add(help, {cmd::CheckForUpdates, cmd::Tips, 0, cmd::About});
}

void CMainFrame::createToolBars() {
    const auto make = [this](const QString& title, const QString& name, const auto& ids) {
        QToolBar* bar = addToolBar(title);
        bar->setObjectName(name);  // saveState() finds the bars by name
        for (int id : ids) {
            if (id == 0)
                bar->addSeparator();
            else
                bar->addAction(action(id));
        }
        return bar;
    };
    mainBar_ = make(tr("Main"), QStringLiteral("MainBar"), cmd::kMainToolbar);
    // The two data bars place controls of their own between the command buttons.
    const auto actionOf = [this](int id) { return action(id); };
    pictureDataBar_ = new CToolBarPicData(actionOf, this);
    addToolBar(pictureDataBar_);
    bigImageBar_ = new CToolBarBigImage(actionOf, this);
    addToolBar(bigImageBar_);
}

void CMainFrame::createStatusBar() {
    progress_ = new QProgressBar(this);
    progress_->setMaximumWidth(220);
    progress_->setTextVisible(false);
    progress_->hide();
    statusBar()->addPermanentWidget(progress_);
    statusBar()->showMessage(kReady);
}

void CMainFrame::createPanes() {
    outer_ = new PaneSplitter(Qt::Horizontal, store_, nullptr, this);
    inner_ = new PaneSplitter(Qt::Vertical, store_, outer_);
    outer_->addNested(0, inner_);
    browser_ = new CFileBrowserView(*this, inner_);
    optionsTree_ = new COptionsTreeCtrl(store_, prompter_, *document_, browser_);
    browser_->setOptionsView(optionsTree_, COptionsTreeCtrl::addIcon(), COptionsTreeCtrl::removeIcon());
    connect(browser_, &CFileBrowserView::addKeywordsClicked, optionsTree_, &COptionsTreeCtrl::Add);
    connect(browser_, &CFileBrowserView::removeKeywordsClicked, optionsTree_, &COptionsTreeCtrl::Remove);
    inner_->addView(0, browser_);
    entryList_ = std::make_unique<FrameEntryList>(*browser_);
    thumbs_ = new CThumbView(*this, inner_);
    inner_->addView(1, thumbs_);
    // The picture column: the large picture view is view 0; the view added last is shown at start.
    bigImage_ = new CBigImageView(*this, outer_);
    outer_->addView(1, bigImage_);
    panel_ = new CPicDataView(*this, outer_);
    outer_->addView(1, panel_);
    // The options tree fills the form, and the form and the large picture take its drops.
    optionsTree_->setForm(panel_);
    optionsTree_->setLargeView(bigImage_);
    COptionsTreeCtrl::installDropTarget(bigImage_->viewport());
    setCentralWidget(outer_);
    // At the first start the left column is as wide as the thumbnail strip needs (thumbnails are 160
    // pixels wide, with the strip's margins and scroll bar), not the splitter's general 150, and wide
    // enough for the tree to show an event's title with its count beside icon and indentation.
    const int eventRoom =
        fontMetrics().horizontalAdvance(QStringLiteral("05/01-02/2004 Harbour festival - 12/345MB")) + 90;
    outer_->setDefaultLayout({-1, std::max(kFirstColumnWidth, eventRoom), -1, 150});
    outer_->restoreLayout();
    // The strip is the pane drawn active at the start, so the keys act there: Down opens a picture.
    setActiveView(thumbs_);
    thumbs_->setFocus(Qt::OtherFocusReason);
    connect(browser_, &CFileBrowserView::loadProgress, this, &CMainFrame::showLoadProgress);
    // A new list in the strip (a delete, another folder or event, a search, a reload) moves the open
    // picture's number and the count: the form, the large picture and the commands follow at once.
    connect(thumbs_, &CThumbView::listShown, this, [this] {
        panel_->ShowPosition();
        bigImage_->viewport()->update();
        updateActions();
    });
}

void CMainFrame::connectCommands() {
    const auto on = [this](int id, auto handler) { connect(action(id), &QAction::triggered, this, handler); };
    // The picture data form: its commands, its buttons, and its relays to the toolbar and the large view.
    on(cmd::UseLastData, [this] { panel_->UseLast(); });
    on(cmd::Rotate, [this] { panel_->Rotate(); });
    on(cmd::RemoveAllPeople, [this] { panel_->RemoveAll(); });
    on(cmd::SmartHeadline, [this] { panel_->SmartHeadline(); });
    connect(panel_, &CPicDataView::commandRequested, this, [this](int id) { action(id)->trigger(); });
    connect(panel_, &CPicDataView::largeViewRequested, action(cmd::ViewLargeImage), &QAction::trigger);
    connect(panel_, &CPicDataView::pictureTurned, bigImage_, [this] {
        bigImage_->Reset();
        bigImage_->Update();
    });
    relayPictureData(pictureDataBar_, panel_);
    panel_->RefreshFromPicture();  // the toolbar shows the form's values from the start
    // The options tree: the two trees of the browser, and the hot keys Ctrl+F1..Ctrl+F12.
    on(cmd::ViewBrowser, [this] { browser_->switchView(); });
    on(cmd::ViewOptions, [this] { browser_->switchView(); });
    for (int id = cmd::HotKeyFirst; id <= cmd::HotKeyLast; ++id)
        on(id, [this, id] { optionsTree_->ApplyHotkey(cmd::kHotKeyCodeFirst + id - cmd::HotKeyFirst); });
    on(cmd::FileOpen, [this] { browser_->browseForFolder(); });
    on(cmd::FileSaveDocument, [this] { document_->SavePictureFile(); });
    on(cmd::Save, [this] { SavePicture(); });
    on(cmd::SaveNext, &CMainFrame::SaveNext);
    on(cmd::SaveCopyNext, &CMainFrame::SaveCopyNext);
    on(cmd::DeletePicture, &CMainFrame::DeletePicture);
    on(cmd::SaveCopyToAll, &CMainFrame::SaveCopyToAll);
    on(cmd::Search, [this] { browser_->search(); });
    on(cmd::CatalogCreate, &CMainFrame::createCatalog);
    on(cmd::CatalogRemove, &CMainFrame::removeCatalog);
    on(cmd::CatalogArchive, &CMainFrame::archiveCatalog);
    on(cmd::SaveAs, [this] { saveAs(SaveAsMode::SaveAs); });
    on(cmd::BurnCd, [this] { saveAs(SaveAsMode::BurnCd); });
    on(cmd::SendEmail, [this] { saveAs(SaveAsMode::SendEmail); });
    on(cmd::DragDropOptions, &CMainFrame::chooseDragOptions);
    on(cmd::Print, &CMainFrame::PrintPictures);
    on(cmd::PrintPreview, &CMainFrame::PrintPreview);
    on(cmd::PageSetup, &CMainFrame::PageSetup);
    on(cmd::Exit, &CMainFrame::close);
    on(cmd::FirstPicture, [this] { thumbs_->First(); });
    on(cmd::NextPicture, [this] { thumbs_->Next(); });
    on(cmd::PrevPicture, [this] { thumbs_->Prev(); });
    on(cmd::LastPicture, [this] { thumbs_->Last(); });
    for (int id : {cmd::Cut, cmd::Copy, cmd::Paste}) on(id, [this, id] { clipboardCommand(id); });
    on(cmd::ToolbarMain, [this] { mainBar_->setVisible(!mainBar_->isVisible()); });
    on(cmd::ToolbarPictureData, [this] { pictureDataBar_->setVisible(!pictureDataBar_->isVisible()); });
    on(cmd::ToolbarBigImage, [this] { bigImageBar_->setVisible(!bigImageBar_->isVisible()); });
    on(cmd::ViewPictureData, [this] {
        outer_->showView(1, outer_->pane(1)->indexOf(panel_));
        setActiveView(panel_);
    });
    on(cmd::ViewLargeImage, [this] {
        outer_->showView(1, outer_->pane(1)->indexOf(bigImage_));
        setActiveView(bigImage_);
    });
    // Ctrl+Tab switches the picture column between the form and the large picture; elsewhere it does
    // nothing.
    on(cmd::SwitchPictureColumn, [this] {
        QWidget* column = outer_->pane(1)->currentWidget();
        if (activeView_ != column) return;
        action(column == bigImage_ ? cmd::ViewPictureData : cmd::ViewLargeImage)->trigger();
    });
    connect(bigImage_, &CBigImageView::showPictureDataRequested, action(cmd::ViewPictureData), &QAction::trigger);
    on(cmd::Zoom, [this] { bigImage_->toggleZoom(); });
    on(cmd::CropMarks, [this] { bigImage_->toggleCropMarks(); });
    on(cmd::RotateCrop, [this] { bigImage_->RotateCrop(); });
    on(cmd::RemoveCrop, [this] { bigImage_->RemoveCrop(); });
    on(cmd::CropTopLeft, [this] { bigImage_->setCropAlignment(-1); });
    on(cmd::CropCenter, [this] { bigImage_->setCropAlignment(0); });
    on(cmd::CropBottomRight, [this] { bigImage_->setCropAlignment(1); });
    on(cmd::Escape, [this] { bigImage_->leaveFullScreen(); });
    on(cmd::CopyFromMemoryCard, &CMainFrame::copyFromMemoryCard);
    on(cmd::SlideShow, [this] {
        if (!printEnabled()) return;
        action(cmd::ViewLargeImage)->trigger();
        bigImage_->startSlideShow();
    });
    connect(bigImageBar_, &CToolBarBigImage::pictureSizeChosen, bigImage_, &CBigImageView::setPictureSize);
    on(cmd::ViewStatusBar, [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
    on(cmd::Refresh, [this] { browser_->reload(); });
    on(cmd::NextPane, [this] { moveToPane(1); });
    on(cmd::PrevPane, [this] { moveToPane(-1); });
    on(cmd::CheckForUpdates, [this] {
        CUpdateDlg dialog(store_, prompter_, this);
        connect(&dialog, &CUpdateDlg::statusMessage, this, [this](const QString& text) { setStatusText(text); });
        dialog.exec();
    });
    on(cmd::Tips, &CMainFrame::showTips);
    on(cmd::IndexPrint, [this] {
        settleBrowser();
        if (printEnabled()) exportcommands::indexPrint(*this, indexPrint_, browser_->searchMode(), this);
    });
    on(cmd::ExportPictureData, [this] {
        settleBrowser();
        if (browserHasPictures()) exportcommands::exportData(*this, this);
    });
    on(cmd::ExportHtml, [this] {
        settleBrowser();
        if (browserHasPictures()) exportcommands::exportHtml(*this, this);
    });
    on(cmd::About, &CMainFrame::aboutRequested);
}

void CMainFrame::readSettings() {
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect(0, 0, 1280, 900);
    resize(QSize(1180, 800).boundedTo(screen.size() * 0.95));
    // Qt moves a window that would come back off the screens onto one.
    if (const auto placement = store_.binary(QStringLiteral("Settings"), QStringLiteral("WindowPlacement")))
        restoreGeometry(*placement);
    if (const auto state = store_.binary(QStringLiteral("Tool"), QStringLiteral("State"))) restoreState(*state);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    // Before a key reaches the accelerators, the widget with the focus may claim it (an accepted
    // override event). A text field claims Ctrl+Left, Ctrl+Right, Ctrl+Home and Ctrl+End for its
    // cursor, so the picture keys would never act while the user captions a picture: here they move
    // between pictures (left unclaimed, the accelerator acts). The field keeps every key that has a
    // meaning for its text, also Ctrl+Del, which it does not claim itself and which is Del Picture.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this) {
            auto* key = static_cast<QKeyEvent*>(event);
            const QKeySequence pressed(QKeyCombination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key())));
            for (int id : {cmd::FirstPicture, cmd::NextPicture, cmd::PrevPicture, cmd::LastPicture, cmd::SaveCopyNext})
                if (action(id)->shortcuts().contains(pressed)) return true;
            if (isEditableText(widget) &&
                (key->matches(QKeySequence::DeleteEndOfWord) || key->matches(QKeySequence::DeleteStartOfWord))) {
                key->accept();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::saveWindowState() {
    store_.writeBinary(QStringLiteral("Tool"), QStringLiteral("State"), saveState());
    store_.writeBinary(QStringLiteral("Settings"), QStringLiteral("WindowPlacement"), saveGeometry());
}

bool CMainFrame::commitSession(bool mayAsk) {
    if (mayAsk) {
        if (!document_->SaveModified()) return false;
        // The answer holds for the end that follows: the session's close does not ask again.
        document_->setModified(false);
    }
    document_->finishCatalogWrites(mayAsk);
    saveWindowState();
    outer_->saveLayout();
    store_.sync();
    return true;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!document_->SaveModified()) {
        event->ignore();
        return;
    }
    document_->finishCatalogWrites();
    saveWindowState();
    event->accept();
    emit closed();
}

void CMainFrame::updateActions() {
    const bool pictureOpen = !document_->pathName().isEmpty();
    const bool hasCatalog = folderHasCatalog();
    const bool hasPictures = thumbs_->hasPictures();
    const PictureRecord* current = document_->picture();
    const bool pictureUsable = current && QFileInfo::exists(current->filePath());

    const auto set = [this](int id, bool enabled, std::optional<bool> checked = std::nullopt) {
        QAction* a = action(id);
        a->setEnabled(enabled);
        if (checked) a->setChecked(*checked);
    };
    for (int id : {cmd::FileSaveDocument, cmd::Save, cmd::SaveNext, cmd::SaveCopyNext, cmd::SaveCopyToAll,
                   cmd::DeletePicture})
        set(id, pictureOpen);
    // The drive list is no folder: there is nothing to catalog.
    set(cmd::CatalogCreate, currentFolder_ != browser::kDriveList);
    set(cmd::CatalogRemove, hasCatalog);
    set(cmd::CatalogArchive, hasCatalog);
    set(cmd::Search, hasCatalog);
    set(cmd::SaveAs, pictureUsable);
    set(cmd::SendEmail, pictureUsable);
    // Without a CD writer Burn CD still makes the disc's image.
    set(cmd::BurnCd, pictureUsable);
    set(cmd::DragDropOptions, true);
    for (int id : {cmd::Print, cmd::PrintPreview, cmd::IndexPrint, cmd::SlideShow}) set(id, printEnabled());
    set(cmd::PageSetup, true);
    // The report and the web pages need no catalog, only pictures in the browser.
    const bool browserPictures = browserHasPictures();
    set(cmd::ExportPictureData, browserPictures);
    set(cmd::ExportHtml, browserPictures);
    for (int id : {cmd::FirstPicture, cmd::NextPicture, cmd::PrevPicture, cmd::LastPicture}) set(id, hasPictures);
    for (int id : {cmd::FileOpen, cmd::Exit, cmd::Refresh, cmd::NextPane, cmd::PrevPane, cmd::CheckForUpdates,
                   cmd::Tips, cmd::About})
        set(id, true);
    set(cmd::ToolbarMain, true, mainBar_->isVisible());
    set(cmd::ToolbarPictureData, true, pictureDataBar_->isVisible());
    set(cmd::ToolbarBigImage, true, bigImageBar_->isVisible());
    set(cmd::ViewStatusBar, true, statusBar()->isVisible());
    set(cmd::ViewPictureData, true, outer_->pane(1)->currentWidget() == panel_);
    // The large picture and its crop commands.
    const bool large = outer_->pane(1)->currentWidget() == bigImage_;
    const bool cropping = large && document_->picture();
    const int alignment = bigImage_->cropAlignment();
    set(cmd::ViewLargeImage, true, large);
    set(cmd::Zoom, cropping, bigImage_->zoomMode());
    set(cmd::CropMarks, cropping, bigImage_->cropMarksShown());
    set(cmd::RotateCrop, cropping && bigImage_->cropMarksShown());
    set(cmd::RemoveCrop, cropping);
    set(cmd::CropTopLeft, cropping, alignment == -1);
    set(cmd::CropCenter, cropping, alignment == 0);
    set(cmd::CropBottomRight, cropping, alignment == 1);
    set(cmd::Escape, true);
    set(cmd::CopyFromMemoryCard, true);
    set(cmd::SwitchPictureColumn, true);
    pictureDataBar_->setControlsEnabled(pictureOpen);
    bigImageBar_->setSizeControlsEnabled(large);
    for (int id : {cmd::UseLastData, cmd::Rotate, cmd::RemoveAllPeople, cmd::SmartHeadline}) set(id, pictureOpen);
    for (int id = cmd::HotKeyFirst; id <= cmd::HotKeyLast; ++id) set(id, true);
    const bool options = browser_->optionsVisible();
    set(cmd::ViewBrowser, true, !options);
    set(cmd::ViewOptions, true, options);

    // Clipboard commands act on the text field that has the focus.
    QWidget* focus = QApplication::focusWidget();
    bool field = false, selection = false;
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        field = true;
        selection = line->hasSelectedText();
    } else if (auto* text = qobject_cast<QTextEdit*>(focus)) {
        field = true;
        selection = text->textCursor().hasSelection();
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
        field = true;
        selection = plain->textCursor().hasSelection();
    }
    const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
    set(cmd::Cut, field && selection);
    set(cmd::Copy, field && selection);
    set(cmd::Paste, field && clip && clip->hasText());
}

void CMainFrame::documentChanged() {
    // The strip, the browser and the form follow the document themselves.
    updateActions();
}

bool CMainFrame::folderHasCatalog() const { return !currentFolder_.isEmpty() && Catalog::version(currentFolder_) != 0; }

void CMainFrame::setStatusText(const QString& text, bool busy) {
    statusBar()->showMessage(text);
    if (busy && !waitCursor_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        waitCursor_ = true;
    } else if (text == kReady && waitCursor_) {
        QApplication::restoreOverrideCursor();
        waitCursor_ = false;
    }
    // The work that follows runs on this thread: show the text before it starts.
    statusBar()->repaint();
}

void CMainFrame::setArchiveStrings(const QString& cdName, const QString& location) {
    archiveCdName_ = cdName;
    archiveLocation_ = location;
}

void CMainFrame::setActiveView(QWidget* view) {
    QWidget* old = activeView_;
    activeView_ = view;
    if (old && old != view) old->update();
    if (view) view->update();
}

int CMainFrame::pictureCount() const { return int(thumbs_->list().size()); }

int CMainFrame::pictureIndex(const PictureRecord* picture, const QString& path) const {
    const ThumbList& list = thumbs_->list();
    for (int i = 0; i < list.size(); ++i)
        if ((picture && list[i]->picture.get() == picture) || list[i]->path == path) return i;
    return -1;
}

void CMainFrame::copyFromMemoryCard() {
    QString destination;
    {
        CCopyFromMemCard dialog(store_, prompter_, this);
        if (dialog.exec() != QDialog::Accepted) return;
        destination = QDir::cleanPath(dialog.settings().destination.trimmed());
    }
    // The folder shown gets new pictures when it is the destination or one of its dated folders.
    const QString shown = QDir::cleanPath(currentFolder_);
    if (!shown.isEmpty() && (shown == destination || QFileInfo(shown).absolutePath() == destination))
        QMetaObject::invokeMethod(browser_, &CFileBrowserView::refreshLocation, Qt::QueuedConnection);
}

const PictureRecord* CMainFrame::pictureAt(int index) const {
    const ThumbList& list = thumbs_->list();
    return index >= 0 && index < list.size() ? list[index]->picture.get() : nullptr;
}

void CMainFrame::firstPicture() { thumbs_->First(); }

void CMainFrame::nextPicture() { thumbs_->Next(); }

void CMainFrame::previousPicture() { thumbs_->Prev(); }

void CMainFrame::moveToPane(int step) {
    QList<QWidget*> views;
    for (QWidget* view :
         {static_cast<QWidget*>(browser_), static_cast<QWidget*>(thumbs_), static_cast<QWidget*>(panel_),
          static_cast<QWidget*>(bigImage_)})
        if (view->isVisible()) views.append(view);
    if (views.isEmpty()) return;
    const int current = views.indexOf(activeView_.data());
    const int next = (current + step + int(views.size())) % int(views.size());
    setActiveView(views[next]);
    // A pane that takes no keys itself (the form, the browser) hands them to the control that last had
    // them there, else to its first field or list (the browser's buttons stand before its tree), else to
    // its first control.
    QWidget* target = views[next];
    if (target->focusPolicy() == Qt::NoFocus) {
        const auto takesKeys = [target](QWidget* w) {
            return w && target->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isVisible() &&
                   w->isEnabled();
        };
        QWidget* chosen = takesKeys(target->focusWidget()) ? target->focusWidget() : nullptr;
        for (const bool buttonsToo : {false, true})
            for (QWidget* w = target->nextInFocusChain(); !chosen && w && w != target; w = w->nextInFocusChain())
                if (takesKeys(w) && (buttonsToo || !qobject_cast<QAbstractButton*>(w))) chosen = w;
        if (chosen) target = chosen;
    }
    target->setFocus(Qt::TabFocusReason);
}

void CMainFrame::showLoadProgress(int done, int total) {
    progress_->setRange(0, qMax(total, 1));
    progress_->setValue(done);
    progress_->setVisible(total > 0 && done < total);
}

// ---- Folders and catalogs ----

void CMainFrame::OpenFolder(const QString& path) {
    if (path == browser::kDriveList) {
        // The list of mounted volumes is a place of its own, not a folder.
        currentFolder_ = path;
        RefreshBrowser();
        return;
    }
    QString folder = path.isEmpty() ? myPictures_ : QDir::fromNativeSeparators(path);
    // The path of the catalog file opens its folder.
    if (folder.toLower().endsWith(QLatin1String("snaplore.sidx"))) folder.chop(14);
    folder = QDir::cleanPath(QDir(folder).absolutePath());
    // A folder that is gone: the nearest one above it that is still there.
    while (!QFileInfo(folder).isDir() && !QDir(folder).isRoot()) folder = QFileInfo(folder).absolutePath();
    currentFolder_ = folder;
    RecentFolders(store_).add(folder);
    updateRecentFolders();
    // The catalogs of the folder left behind are written before anything is read.
    document_->finishCatalogWrites();
    // A rewrite that was cut short here (a crash, a power cut) is finished before anything is read.
    recoverFolder(folder);

    setStatusText(QStringLiteral("Loading images..."), true);
    if (Catalog::version(folder) != 0) {
        // A catalog under the old name is replaced by one under the current name; creating removes
        // the old file once the new one is in place, and never a link to a file elsewhere.
        const QFileInfo oldCatalog(QDir(folder).filePath(QStringLiteral("Snaplore.idx")));
        if (oldCatalog.isFile() && !oldCatalog.isSymLink()) (void)Catalog().create(folder, true);
        (void)Catalog().refresh(folder);
    }
    RefreshBrowser();
    setStatusText(kReady);
}

QStringList CMainFrame::recentFolders() const { return RecentFolders(store_).folders(); }

void CMainFrame::updateRecentFolders() {
    const QStringList folders = recentFolders();
    const QFontMetrics metrics(font());
    for (int i = 0; i < RecentFolders::kSize; ++i) {
        QAction* recent = recentActions_[i];
        recent->setVisible(i < folders.size());
        if (i >= folders.size()) continue;
        const QString shown = metrics.elidedText(QDir::toNativeSeparators(folders[i]), Qt::ElideMiddle, 420);
        recent->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(QString(shown).replace(u'&', QStringLiteral("&&"))));
        recent->setStatusTip(QStringLiteral("Open %1").arg(QDir::toNativeSeparators(folders[i])));
    }
    recentActions_.last()->setVisible(!folders.isEmpty());
}

void CMainFrame::openRecentFolder(int index) {
    const QStringList folders = recentFolders();
    if (index >= folders.size()) return;
    const QString folder = folders[index];
    // A folder that is gone leaves the list; the nearest one above it opens instead.
    if (!QFileInfo(folder).isDir()) RecentFolders(store_).remove(folder);
    browser_->model().setSearchMode(false);
    OpenFolder(folder);
}

void CMainFrame::RefreshBrowser() {
    archiveCdName_.clear();
    archiveLocation_.clear();
    QMetaObject::invokeMethod(browser_, &CFileBrowserView::refreshLocation, Qt::QueuedConnection);
}

void CMainFrame::createCatalog() {
    if (currentFolder_ == browser::kDriveList) return;
    document_->finishCatalogWrites();
    catalogcommands::create(*this);
    RefreshBrowser();
}

void CMainFrame::removeCatalog() {
    document_->finishCatalogWrites();
    catalogcommands::remove(*this);
    RefreshBrowser();
}

QPrinter& CMainFrame::printer() {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

void CMainFrame::PrintPictures() {
    if (!printOptions_) printOptions_ = new CPrintOptionsDlg(CPrintOptionsDlg::Variant::Print, printer(), this);
    printcommand::print(*this, *printOptions_, printer(), browser_->searchMode(), this);
}

void CMainFrame::PrintPreview() {
    if (!printOptions_) printOptions_ = new CPrintOptionsDlg(CPrintOptionsDlg::Variant::Preview, printer(), this);
    printcommand::preview(*this, *printOptions_, printer(), browser_->searchMode(), this);
}

void CMainFrame::runPrint(bool preview) {
    if (!printEnabled()) return;
    if (preview)
        PrintPreview();
    else
        PrintPictures();
}

// Print, Print Preview, Index Print and Slide Show, from the menu, the toolbar or a popup: there must
// be pictures in the strip to choose from.
bool CMainFrame::printEnabled() const { return thumbs_ && thumbs_->hasPictures(); }

bool CMainFrame::browserHasPictures() const {
    if (!browser_) return false;
    const EntryList& entries = browser_->model().entryList();
    return std::any_of(entries.begin(), entries.end(), [](const auto& entry) {
        return entry->kind == EntryKind::Picture && entry->included && entry->picture;
    });
}

void CMainFrame::PageSetup() { printcommand::pageSetup(printer(), this); }

void CMainFrame::archiveCatalog() {
    document_->finishCatalogWrites();
    if (archivecommand::run(*this, archiveCdName_, archiveLocation_, this)) RefreshBrowser();
}

// ---- Pictures ----

bool CMainFrame::SavePicture(CSnaploreDoc::FileTimes times) { return picturecommands::save(*this, *panel_, times); }

void CMainFrame::SaveNext() { saveAndMoveOn(false); }

void CMainFrame::SaveCopyNext() { saveAndMoveOn(true); }

void CMainFrame::saveAndMoveOn(bool copyData) {
    picturecommands::saveAndMoveOn(*this, *panel_, thumbs_->NextPath(), copyData);
}

void CMainFrame::SaveCopyToAll() {
    if (!copyToAll_) {
        CCopyToAllDlg::Hooks hooks;
        // Copy to All keeps the file times of every picture it writes, the open one included.
        hooks.savePicture = [this] { return SavePicture(CSnaploreDoc::FileTimes::Keep); };
        hooks.source = [this]() -> const IptcBlock* {
            const PictureRecord* picture = document_->picture();
            return picture ? &picture->iptc() : nullptr;
        };
        hooks.picture = [this](const QString& path) -> PictureRecord* {
            BrowserEntry* entry = browser_->model().entryForPath(path);
            return entry ? entry->picture.get() : nullptr;
        };
        hooks.refreshBrowser = [this] { browser_->refresh(); };
        hooks.catalogs = [this](const PictureChanges& changes) { document_->catalogUpkeep().add(changes); };
        copyToAll_ = new CCopyToAllDlg(prompter_, std::move(hooks), this);
    }
    copyToAll_->clearTargets();
    for (const BrowserEntry* entry : browser_->thumbList()) copyToAll_->addTarget(entry->path);
    copyToAll_->exec();
}

void CMainFrame::DeletePicture() { deletecommand::run(*this); }

quint32 CMainFrame::ping() {
    panel_->RefreshFromPicture();
    panel_->update();
    bigImage_->viewport()->update();
    browser_->refresh();
    return cmd::kPingAnswer;
}

void CMainFrame::showTips() { tips_->exec(); }

void CMainFrame::settleBrowser() {
    QCoreApplication::sendPostedEvents(browser_, QEvent::MetaCall);
    while (browser_->isLoading())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
}

void CMainFrame::saveAs(SaveAsMode mode) {
    settleBrowser();
    saveascommand::run(*this, *saveAsDialog(mode), browser_->searchMode());
}

void CMainFrame::chooseDragOptions() { saveascommand::chooseDragOptions(*saveAsDialog(SaveAsMode::DragAndDrop)); }

CFileSaveAsDlg* CMainFrame::saveAsDialog(SaveAsMode mode) const { return saveAsDialogs_[size_t(mode)]; }

PictureDragData* CMainFrame::pictureDragData(const PictureRecord& picture) {
    PictureDragData::Renderer renderer;
    if (!saveAsDialog(SaveAsMode::DragAndDrop)->options().isPlainCopy()) {
        renderer = [this](const QString& path, int number) -> QString {
            const QString target = PictureDragData::renderedCopyPath(temporaryFolder_, path, number);
            QString report;
            if (saveascommand::renderDragCopy(*this, *saveAsDialog(SaveAsMode::DragAndDrop), path, target, report))
                return target;
            // The drop target is waiting for its data: the message comes once the drag is over.
            QMetaObject::invokeMethod(
                this,
                [this, report] { prompter_.messageBox(report, QStringLiteral("Error!"), mb::Ok | mb::IconExclamation); },
                Qt::QueuedConnection);
            return {};
        };
    }
    return new PictureDragData(picture, std::move(renderer));
}

void CMainFrame::startPictureDrag(PictureRecord& picture, QWidget* source) {
    auto* drag = new QDrag(source ? source : this);
    drag->setMimeData(pictureDragData(picture));
    const QImage thumbnail = picture.thumbnailImage();
    if (!thumbnail.isNull())
        drag->setPixmap(QPixmap::fromImage(thumbnail.scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    drag->exec(Qt::CopyAction);
}

void CMainFrame::clipboardCommand(int id) {
    QWidget* focus = QApplication::focusWidget();
    const auto run = [id](auto* field) {
        if (id == cmd::Cut)
            field->cut();
        else if (id == cmd::Copy)
            field->copy();
        else
            field->paste();
    };
    if (auto* line = qobject_cast<QLineEdit*>(focus))
        run(line);
    else if (auto* text = qobject_cast<QTextEdit*>(focus))
        run(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus))
        run(plain);
}

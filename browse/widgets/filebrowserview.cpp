#include "filebrowserview.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenu>
#include <QPromise>
#include <QScopedValueRollback>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <functional>

#include "browsericons.h"
#include "diagnostics.h"
#include "browsecontext.h"
#include "prompter.h"
#include "searchdlg.h"
#include "settingsstore.h"
#include "snaploredoc.h"
#include "thumbscrollwnd.h"
#include "thumbview.h"

using namespace browser;

namespace {

enum ItemRole { EntryRole = Qt::UserRole, ImageRole, OverlayRole, IconPathRole };

// The pictures last open, one per place, most recent first, one path a line.
const QString kRecentSection = QStringLiteral("Settings");
const QString kRecentValue = QStringLiteral("LastPictures");

// The file/event tree: a drag of an item hands its picture to the frame's picture drag.
class BrowserTreeWidget : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;
    std::function<void(QTreeWidgetItem*)> onDrag;

protected:
    void startDrag(Qt::DropActions) override {
        if (onDrag) onDrag(currentItem());
    }
};

BrowserEnvironment environmentOf(const FrameContext& frame) {
    BrowserEnvironment env;
    env.myDocuments = frame.myDocumentsPath();
    env.myPictures = frame.myPicturesPath();
    return env;
}

QToolButton* makeButton(QWidget* parent, const QIcon& icon, const QString& tip) {
    auto* button = new QToolButton(parent);
    button->setIcon(icon);
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
}

}  // namespace

CFileBrowserView::CFileBrowserView(BrowseContext& frame, QWidget* parent)
    : QWidget(parent), frame_(frame), model_(environmentOf(frame)) {
    upButton_ = makeButton(this, browsericons::upOneLevel(), QStringLiteral("Up One Level"));
    myDocumentsButton_ = makeButton(this, browsericons::myDocuments(), QStringLiteral("My Documents"));
    myPicturesButton_ = makeButton(this, browsericons::myPictures(), QStringLiteral("My Pictures"));
    browseButton_ = new QToolButton(this);
    browseButton_->setText(QStringLiteral("..."));
    browseButton_->setToolTip(QStringLiteral("Browse for a Folder"));
    browseButton_->setAutoRaise(true);
    switchButton_ = makeButton(this, browsericons::switchView(),
                               QStringLiteral("Switch Between File\\Event View and Options View"));
    // The options view's two buttons in the places of Up and My Documents, hidden at start; the view
    // itself comes from the frame.
    addKeywordsButton_ = makeButton(this, QIcon(), QStringLiteral("Add Keywords"));
    removeKeywordsButton_ = makeButton(this, QIcon(), QStringLiteral("Remove Keywords"));
    addKeywordsButton_->hide();
    removeKeywordsButton_->hide();

    auto* tree = new BrowserTreeWidget(this);
    tree->onDrag = [this](QTreeWidgetItem* item) { startDrag(item); };
    tree_ = tree;
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(true);
    tree_->setIconSize(QSize(browsericons::kWidth, browsericons::kHeight));
    tree_->setIndentation(14);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setDragEnabled(true);
    tree_->setDragDropMode(QAbstractItemView::DragOnly);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(2);
    for (QToolButton* button : {upButton_, addKeywordsButton_, myDocumentsButton_, removeKeywordsButton_,
                                myPicturesButton_, browseButton_, switchButton_})
        buttons->addWidget(button);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(2);
    layout->addLayout(buttons);
    layout->addWidget(tree_);
    connect(addKeywordsButton_, &QToolButton::clicked, this, &CFileBrowserView::addKeywordsClicked);
    connect(removeKeywordsButton_, &QToolButton::clicked, this, &CFileBrowserView::removeKeywordsClicked);

    connect(upButton_, &QToolButton::clicked, this, &CFileBrowserView::upOneLevel);
    connect(myDocumentsButton_, &QToolButton::clicked, this, &CFileBrowserView::openMyDocuments);
    connect(myPicturesButton_, &QToolButton::clicked, this, &CFileBrowserView::openMyPictures);
    connect(browseButton_, &QToolButton::clicked, this, &CFileBrowserView::browseForFolder);
    connect(switchButton_, &QToolButton::clicked, this, &CFileBrowserView::switchView);
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &CFileBrowserView::selectionChanged);
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, &CFileBrowserView::itemDoubleClicked);
    connect(tree_, &QWidget::customContextMenuRequested, this, &CFileBrowserView::contextMenu);
    connect(&frame_.document(), &CSnaploreDoc::updateAllViews, this, &CFileBrowserView::documentChanged,
            Qt::UniqueConnection);
}

// The strip is not told here: the frame takes its views down together, and the strip may be gone
// already.
CFileBrowserView::~CFileBrowserView() { cancelLoad(); }

BrowserEntry* CFileBrowserView::entryOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<BrowserEntry*>(item->data(0, EntryRole).value<quintptr>()) : nullptr;
}

browser::Look CFileBrowserView::lookOf(const QTreeWidgetItem* item) {
    if (!item) return {};
    return Look{item->data(0, ImageRole).toInt(), item->data(0, OverlayRole).toInt()};
}

// ---- Loading a location ----

void CFileBrowserView::refreshLocation() {
    kept_.reset();
    startLoad();
}

void CFileBrowserView::reload() {
    CSnaploreDoc& document = frame_.document();
    // The open picture is read again with the place: its changes are saved or dropped first.
    if (!document.SaveModified()) return;
    document.setModified(false);

    KeptView kept;
    if (const BrowserEntry* selected = entryOf(tree_->currentItem())) {
        kept.selected = true;
        kept.kind = selected->kind;
        kept.path = selected->path;
        kept.text = selected->text;
    }
    kept.eventKey = model_.currentEventKey();
    for (auto it = items_.cbegin(); it != items_.cend(); ++it)
        if (it.key()->kind == EntryKind::Event && it.value()->isExpanded()) kept.expandedEvents.append(it.key()->text);
    kept.askCreateCatalog = model_.askCreateCatalog();
    // What is read now is the whole place: a search's results make way for it.
    model_.setSearchMode(false);
    kept_ = std::move(kept);
    startLoad();
}

void CFileBrowserView::startLoad() {
    cancelLoad();
    // The catalog read here must hold every save and delete made so far.
    frame_.document().finishCatalogWrites();
    suppressSelection_ = true;
    frame_.setStatusText(QStringLiteral("Loading images..."), true);
    loadTime_.start();

    const QString location = frame_.currentFolder();
    const BrowserEnvironment env = model_.environment();
    cancel_ = std::make_shared<std::atomic_bool>(false);
    auto* watcher = new QFutureWatcher<std::shared_ptr<EntryListBuild>>(this);
    watcher_ = watcher;
    // The range arrives before the first value; a folder without pictures reports none.
    connect(watcher, &QFutureWatcherBase::progressValueChanged, this, [this, watcher](int done) {
        const int total = watcher->progressMaximum();
        if (watcher == watcher_ && total > 0) emit loadProgress(done, total);
    });
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (watcher != watcher_) return;
        watcher_ = nullptr;
        const auto build = watcher->isCanceled() ? nullptr : watcher->result();
        finishLoad(build);
    });
    // The worker sees copies only: the location, the environment and the cancel flag.
    watcher->setFuture(
        QtConcurrent::run([location, env, cancel = cancel_](QPromise<std::shared_ptr<EntryListBuild>>& promise) {
            LoadObserver observer;
            observer.progress = [&promise](int done, int total) {
                if (done == 0) promise.setProgressRange(0, total);
                promise.setProgressValue(done);
            };
            observer.canceled = [&promise, cancel] { return cancel->load() || promise.isCanceled(); };
            promise.addResult(std::make_shared<EntryListBuild>(BrowserModel::buildEntryList(location, env, observer)));
        }));
}

void CFileBrowserView::cancelLoad() {
    if (!watcher_) return;
    cancel_->store(true);
    watcher_->cancel();
    watcher_ = nullptr;  // its finished signal is ignored now; it deletes itself then
    emit loadProgress(0, 0);
}

void CFileBrowserView::finishLoad(const std::shared_ptr<EntryListBuild>& build) {
    emit loadProgress(0, 0);
    std::optional<KeptView> kept = std::exchange(kept_, std::nullopt);
    if (!build || build->canceled) {
        suppressSelection_ = false;
        frame_.setStatusText(QStringLiteral("Ready"));
        return;
    }

    // The strip and the tree let go of the old entries before they are freed. A catalog record that
    // the document shows without owning it stays alive until the document moves on.
    showThumbs({}, false);
    {
        QScopedValueRollback suppress(suppressSelection_, true);
        tree_->clear();
        items_.clear();
    }
    EntryList old = model_.takeEntries();
    CSnaploreDoc& document = frame_.document();
    if (document.picture() && !document.ownsPicture())
        for (auto& entry : old)
            if (entry->picture.get() == document.picture()) retained_ = std::move(entry->picture);
    old.clear();

    if (kept && build->location != model_.location()) kept.reset();
    model_.adopt(std::move(*build), &frame_.prompter());
    if (BrowserEntry* first = model_.firstPictureEntry())
        frame_.setArchiveStrings(first->picture->archiveName, first->picture->archiveLocation);
    if (kept) {
        model_.setAskCreateCatalog(kept->askCreateCatalog);
        restoreView(*kept);
        frame_.setStatusText(QStringLiteral("Ready"));
        emit loadFinished();
        return;
    }
    suppressSelection_ = false;
    rebuildTree();
    showThumbs(model_.thumbList(), false);
    frame_.setStatusText(QStringLiteral("Ready"));
    // A picture of the previous place (another folder, the drive list) is not shown beside this one's
    // strip: the document closes it, after the save question when it holds changes.
    if (document.picture() && !model_.entryForPath(document.pathName())) document.ClosePicture();
    // A catalog shows its pictures by event. With none of them open, the event of the picture last
    // open here (else the newest event) is chosen, so that the strip does not open empty.
    if (!model_.entryForPath(document.pathName())) selectStartEvent();
    qCInfo(lcLoad).noquote() << QStringLiteral("%1 shown: %2 entries in %3 ms")
                                    .arg(model_.location())
                                    .arg(model_.entryList().size())
                                    .arg(loadTime_.elapsed());
    emit loadFinished();
}

void CFileBrowserView::restoreView(const KeptView& kept) {
    // The tree is drawn without opening anything: the open picture is read again below, once.
    suppressSelection_ = true;
    rebuildTree();
    suppressSelection_ = false;
    for (const auto& entry : model_.entryList())
        if (entry->kind == EntryKind::Event && kept.expandedEvents.contains(entry->text))
            if (QTreeWidgetItem* item = itemFor(entry.get())) item->setExpanded(true);

    CSnaploreDoc& document = frame_.document();
    if (document.picture()) {
        BrowserEntry* open = model_.entryForPath(document.pathName());
        if (open && open->picture && (open->picture->fileExists() || !open->picture->archiveLocation.isEmpty()))
            document.OpenCatalogEntry(open->picture.get());
        else
            document.ClosePicture();  // its file is gone
    }

    BrowserEntry* selected = keptEntry(kept);
    if (!selected) selected = model_.entryForPath(document.pathName());
    if (!selected) {
        showThumbs(model_.thumbList(), false);
        selectStartEvent();
        return;
    }
    selectItem(itemFor(selected));
    if (selected->kind == EntryKind::Picture || selected->kind == EntryKind::Event) {
        showEntryPictures(*selected);
        return;
    }
    // A folder or the root was selected: the strip shows the event it showed.
    for (const auto& entry : model_.entryList()) {
        if (entry->kind == EntryKind::Event && entry->text == kept.eventKey && itemFor(entry.get())) {
            showEntryPictures(*entry);
            return;
        }
    }
    showThumbs(model_.thumbList(), false);
}

BrowserEntry* CFileBrowserView::keptEntry(const KeptView& kept) const {
    if (!kept.selected) return nullptr;
    for (const auto& owned : model_.entryList()) {
        BrowserEntry* entry = owned.get();
        if (entry->kind != kept.kind || !itemFor(entry)) continue;
        switch (entry->kind) {
            case EntryKind::Picture:
            case EntryKind::Folder:
                if (entry->path == kept.path) return entry;
                break;
            case EntryKind::Event:
                if (entry->text == kept.text) return entry;
                break;
            case EntryKind::FolderRoot:
            case EntryKind::SearchRoot:
                return entry;
        }
    }
    return nullptr;
}

QStringList CFileBrowserView::recentPictures() const {
    return frame_.settings().readString(kRecentSection, kRecentValue).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void CFileBrowserView::selectStartEvent() {
    QTreeWidgetItem* item = itemFor(model_.startEvent(recentPictures()));
    if (!item) return;
    item->setExpanded(true);
    // Handled as the user's choice: the strip shows the event's pictures.
    tree_->setCurrentItem(item);
    tree_->scrollToItem(item);
}

// ---- The tree ----

void CFileBrowserView::rebuildTree() {
    const bool suppressed = suppressSelection_;
    tree_->setUpdatesEnabled(false);
    {
        QScopedValueRollback suppress(suppressSelection_, true);
        tree_->clear();
        items_.clear();
    }
    BrowserTree tree = model_.buildTree(frame_.document().pathName());
    {
        QScopedValueRollback suppress(suppressSelection_, true);
        addNodes(nullptr, tree.topLevel);
    }
    if (QTreeWidgetItem* item = itemFor(tree.selected)) {
        if (suppressed) {
            selectItem(item);
        } else {
            // Handled as the user's selection: the picture opens again and its event's pictures show.
            tree_->setCurrentItem(item);
            tree_->scrollToItem(item);
        }
    }
    tree_->setUpdatesEnabled(true);
}

void CFileBrowserView::addNodes(QTreeWidgetItem* parent, std::vector<TreeNode>& nodes) {
    for (TreeNode& node : nodes) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
        item->setText(0, node.text);
        item->setData(0, EntryRole, QVariant::fromValue(reinterpret_cast<quintptr>(node.entry)));
        item->setData(0, IconPathRole, node.iconPath);
        setItemLook(item, Look{node.image, node.overlay});
        if (node.entry) items_.insert(node.entry, item);
        addNodes(item, node.children);
        item->setExpanded(node.expanded);
    }
}

void CFileBrowserView::setItemLook(QTreeWidgetItem* item, const Look& look) {
    item->setData(0, ImageRole, look.image);
    item->setData(0, OverlayRole, look.overlay);
    item->setIcon(0, browsericons::itemIcon(look.image, look.overlay, item->data(0, IconPathRole).toString()));
}

void CFileBrowserView::selectItem(QTreeWidgetItem* item) {
    if (!item) return;
    QScopedValueRollback suppress(suppressSelection_, true);
    tree_->setCurrentItem(item);
    tree_->scrollToItem(item);
}

void CFileBrowserView::refresh() {
    model_.sort();
    rebuildTree();
}

// ---- Selection, double click, menu, drag ----

void CFileBrowserView::selectionChanged() {
    if (suppressSelection_) return;
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    BrowserEntry* entry = entryOf(selected.value(0));
    if (!entry) return;
    if (entry->kind == EntryKind::Picture) {
        // Opened once the selection has settled, as the tree may still be in the middle of a click.
        rememberedPath_ = entry->path;
        QMetaObject::invokeMethod(this, &CFileBrowserView::openRememberedPicture, Qt::QueuedConnection);
    }
    if (entry->kind == EntryKind::Picture || entry->kind == EntryKind::Event) showEntryPictures(*entry);
}

void CFileBrowserView::openRememberedPicture() {
    const QString path = std::exchange(rememberedPath_, QString());
    BrowserEntry* entry = path.isEmpty() ? nullptr : model_.entryForPath(path);
    if (!entry || !entry->picture) return;
    frame_.document().OpenCatalogEntry(entry->picture.get());
    selectItem(itemFor(model_.entryForPath(path)));
}

void CFileBrowserView::showEntryPictures(const BrowserEntry& entry) {
    model_.showEntryPictures(entry);
    showThumbs(model_.thumbList(), model_.searchMode());
}

void CFileBrowserView::showThumbs(const ThumbList& list, bool searchFlag) {
    if (CThumbView* thumbs = frame_.thumbView()) thumbs->ShowList(list, searchFlag);
}

void CFileBrowserView::itemDoubleClicked() {
    BrowserEntry* entry = entryOf(tree_->currentItem());
    if (!entry) return;
    model_.setSearchMode(false);
    const QString target = model_.doubleClickTarget(*entry);
    if (!target.isEmpty()) openFolder(target);
}

void CFileBrowserView::contextMenu(const QPoint& pos) {
    const std::unique_ptr<QMenu> menu(createContextMenu(tree_->itemAt(pos), this));
    if (menu) menu->exec(tree_->viewport()->mapToGlobal(pos));
}

QMenu* CFileBrowserView::createContextMenu(QTreeWidgetItem* item, QWidget* parent) {
    BrowserEntry* entry = entryOf(item);
    if (!entry) return nullptr;
    if (entry->kind != EntryKind::Picture && entry->kind != EntryKind::Event && entry->kind != EntryKind::SearchRoot)
        return nullptr;
    if (tree_->currentItem() != item) tree_->setCurrentItem(item);

    auto* menu = new QMenu(parent);
    connect(menu->addAction(QStringLiteral("Set Flag")), &QAction::triggered, this, [this] { setFlagOnSelected(true); });
    connect(menu->addAction(QStringLiteral("Remove Flag")), &QAction::triggered, this,
            [this] { setFlagOnSelected(false); });
    menu->addSeparator();
    // Selecting the item put its pictures in the strip, which is what decides whether there is
    // anything to print.
    const bool print = frame_.printEnabled();
    QAction* printItem = menu->addAction(QStringLiteral("Print..."));
    printItem->setEnabled(print);
    connect(printItem, &QAction::triggered, this, [this] { frame_.runPrint(false); });
    QAction* previewItem = menu->addAction(QStringLiteral("Print Preview..."));
    previewItem->setEnabled(print);
    connect(previewItem, &QAction::triggered, this, [this] { frame_.runPrint(true); });
    QAction* saveAs = menu->addAction(QStringLiteral("Save as..."));
    // A picture item opens its picture on the way here (perhaps once control returns to the loop).
    saveAs->setEnabled(entry->kind == EntryKind::Picture || frame_.document().picture() != nullptr);
    connect(saveAs, &QAction::triggered, this, [this] { frame_.runSaveAs(); });
    return menu;
}

void CFileBrowserView::startDrag(QTreeWidgetItem* item) {
    BrowserEntry* entry = entryOf(item);
    if (entry && entry->picture) frame_.startPictureDrag(*entry->picture, this);
}

// ---- Flags ----

void CFileBrowserView::setPictureFlag(QTreeWidgetItem* item, bool flagged) {
    BrowserEntry* entry = entryOf(item);
    if (!entry || entry->kind != EntryKind::Picture) return;
    BrowserModel::setFlag(*entry, flagged);
    setItemLook(item, model_.pictureLook(*entry));
}

void CFileBrowserView::setFlagOnSelected(bool flagged) {
    QTreeWidgetItem* item = tree_->currentItem();
    BrowserEntry* entry = entryOf(item);
    if (!entry) return;
    const auto flagEvent = [&](QTreeWidgetItem* eventItem, QTreeWidgetItem* overlayItem) {
        BrowserModel::setFlag(*entryOf(eventItem), flagged);
        setItemLook(overlayItem, Look{overlayItem->data(0, ImageRole).toInt(), flagged ? OverlayFlagged : OverlayNone});
        for (int i = 0; i < eventItem->childCount(); ++i) setPictureFlag(eventItem->child(i), flagged);
    };
    switch (entry->kind) {
        case EntryKind::Picture:
            setPictureFlag(item, flagged);
            break;
        case EntryKind::Event:
            flagEvent(item, item);
            break;
        case EntryKind::SearchRoot:
            // The search root's own item carries the flag mark for its events.
            for (int i = 0; i < item->childCount(); ++i) {
                const BrowserEntry* child = entryOf(item->child(i));
                if (child && child->kind == EntryKind::Event) flagEvent(item->child(i), item);
            }
            break;
        default:
            return;
    }
    repaintThumbs();
}

void CFileBrowserView::repaintThumbs() {
    CThumbView* thumbs = frame_.thumbView();
    if (!thumbs) return;
    thumbs->update();
    if (QWidget* strip = thumbs->strip()) strip->update();
}

// ---- Document, save, delete ----

void CFileBrowserView::documentChanged() {
    CSnaploreDoc& document = frame_.document();
    if (retained_ && document.picture() != retained_.get()) retained_.reset();
    const PictureRecord* picture = document.picture();
    BrowserEntry* entry = picture ? model_.entryForPath(document.pathName()) : nullptr;
    if (QTreeWidgetItem* item = itemFor(entry)) {
        selectItem(item);
        item->setText(0, pictureItemText(*picture));
        setItemLook(item, model_.pictureLook(*entry, *picture));
    }
    if (entry) {
        // Remembered for the next opening of this place.
        const QStringList recent = recentPictures();
        const QStringList remembered = model_.rememberPicture(recent, entry->path);
        if (remembered != recent)
            frame_.settings().writeString(kRecentSection, kRecentValue, remembered.join(QLatin1Char('\n')));
    }
    askCreateCatalog();
}

void CFileBrowserView::askCreateCatalog() {
    // While another folder loads, the list still describes the previous one.
    if (isLoading()) return;
    model_.createCatalogCheck(frame_.prompter(), [this] { frame_.createCatalog(); });
}

void CFileBrowserView::savedPictureRefresh(const QString& path) {
    if (isLoading()) return;
    BrowserEntry* entry = model_.savedPictureRefresh(path, &frame_.prompter());
    if (!entry) return;
    {
        QScopedValueRollback suppress(suppressSelection_, true);
        model_.sort();
        rebuildTree();
    }
    // While the picture stays open the strip shows its event (perhaps a new one); a save on the way
    // to another picture leaves the strip's list to the move, shown again with the new record.
    const CSnaploreDoc& document = frame_.document();
    if (!document.leaving() && document.pathName() == path)
        showEntryPictures(*entry);
    else
        showThumbs(model_.thumbList(), model_.searchMode());
    askCreateCatalog();
}

void CFileBrowserView::removePicture(const QString& path) {
    if (isLoading()) return;
    if (QTreeWidgetItem* item = itemFor(model_.entryForPath(path))) {
        QScopedValueRollback suppress(suppressSelection_, true);
        QTreeWidgetItem* parent = item->parent();
        items_.remove(entryOf(item));
        delete item;
        // An event left without pictures goes; the root stays, as the folder is still there.
        const BrowserEntry* parentEntry = entryOf(parent);
        if (parent && parent->childCount() == 0 && parentEntry && parentEntry->kind == EntryKind::Event) {
            items_.remove(parentEntry);
            delete parent;
        }
    }
    std::unique_ptr<BrowserEntry> removed = model_.takePicture(path);
    refreshTreeTexts();
    showThumbs(model_.thumbList(), model_.searchMode());
}

void CFileBrowserView::refreshTreeTexts() {
    const BrowserTree tree = model_.buildTree(frame_.document().pathName());
    std::function<void(const std::vector<TreeNode>&, QTreeWidgetItem*)> walk = [&](const std::vector<TreeNode>& nodes,
                                                                                  QTreeWidgetItem* parent) {
        for (size_t i = 0; i < nodes.size(); ++i) {
            const TreeNode& node = nodes[i];
            QTreeWidgetItem* item = itemFor(node.entry);
            // A folder's root has no entry of its own when it has no catalog; it stands at the top.
            if (!item && !parent && !node.entry) item = tree_->topLevelItem(int(i));
            if (!item) continue;
            if (item->text(0) != node.text) item->setText(0, node.text);
            walk(node.children, item);
        }
    };
    walk(tree.topLevel, nullptr);
}

// ---- Moving between folders ----

void CFileBrowserView::openFolder(const QString& path) { frame_.OpenFolder(path); }

void CFileBrowserView::upOneLevel() {
    if (model_.leaveSearch()) {
        // The strip lets go of the search results with ThumbList; the reselected picture refills it.
        showThumbs(model_.thumbList(), false);
        rebuildTree();
        return;
    }
    const QString target = model_.upOneLevelTarget();
    model_.clearThumbList();
    openFolder(target);
}

void CFileBrowserView::openMyDocuments() {
    model_.setSearchMode(false);
    if (!frame_.myDocumentsPath().isEmpty()) openFolder(frame_.myDocumentsPath());
}

void CFileBrowserView::openMyPictures() {
    model_.setSearchMode(false);
    if (!frame_.myPicturesPath().isEmpty()) openFolder(frame_.myPicturesPath());
}

void CFileBrowserView::browseForFolder() {
    const QString start = model_.driveListMode() ? QStringLiteral("/") : model_.location();
    const QString path = frame_.prompter().existingDirectory(QStringLiteral("Open Directory"), start);
    if (path.isEmpty()) return;  // cancelled
    if (!QFileInfo(path).isDir()) {
        frame_.prompter().messageBox(QStringLiteral("Failed to get Directory"), QStringLiteral("Error"),
                                     mb::Ok | mb::IconStop);
        return;
    }
    model_.setSearchMode(false);
    openFolder(path);
}

// ---- Search ----

CSearchDlg* CFileBrowserView::searchDialog() {
    if (!searchDlg_) searchDlg_ = new CSearchDlg(this);
    return searchDlg_;
}

void CFileBrowserView::search() {
    if (searchDialog()->exec() != QDialog::Accepted) return;
    runSearch(searchDlg_->criteria());
}

void CFileBrowserView::runSearch(const search::Criteria& criteria) {
    // While another folder loads, the list still describes the previous one.
    if (isLoading()) return;
    frame_.setStatusText(QStringLiteral("Searching for pictures..."), true);
    model_.runSearch(criteria);
    frame_.setStatusText(QStringLiteral("Ready"));
    showThumbs(model_.thumbList(), true);
    rebuildTree();
}

void CFileBrowserView::setOptionsView(QWidget* view, const QIcon& addIcon, const QIcon& removeIcon) {
    optionsView_ = view;
    view->hide();
    layout()->addWidget(view);  // under the file tree, in its place when shown
    addKeywordsButton_->setIcon(addIcon);
    removeKeywordsButton_->setIcon(removeIcon);
}

bool CFileBrowserView::optionsVisible() const { return optionsView_ && !optionsView_->isHidden(); }

void CFileBrowserView::switchView() {
    const bool options = !optionsVisible();
    tree_->setVisible(!options);
    upButton_->setVisible(!options);
    myDocumentsButton_->setVisible(!options);
    if (optionsView_) optionsView_->setVisible(options);
    addKeywordsButton_->setVisible(options);
    removeKeywordsButton_->setVisible(options);
    myPicturesButton_->setEnabled(!options);
    browseButton_->setEnabled(!options);
}

#include "browsermodel.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStorageInfo>
#include <algorithm>
#include <functional>
#include <limits>
#include <optional>

#include "catalog.h"
#include "catalogfile.h"
#include "prompter.h"

namespace browser {

namespace {

// Archive locations and names from older catalogs may still use backslashes.
bool isSeparator(QChar c) { return c == u'/' || c == u'\\'; }

QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash == 0 ? 1 : slash);
}

QString joined(const QString& folder, const QString& name) {
    if (folder.isEmpty() || isSeparator(folder.back())) return folder + name;
    return folder + u'/' + name;
}

// A zero date (none known) sorts before every real one.
qint64 sortKey(const QDateTime& date) {
    return date.isValid() ? date.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
}

bool isRoot(const BrowserEntry& entry) {
    return entry.kind == EntryKind::FolderRoot || entry.kind == EntryKind::SearchRoot;
}

// What `before` compares, worked out once per entry: turning a local date into a point in time
// looks up the time zone each time, which made sorting a large catalog take seconds.
struct SortItem {
    BrowserEntry* entry;
    int kind;
    qint64 date;
    QByteArray text;
};

bool itemBefore(const SortItem& a, const SortItem& b) {
    if (a.kind != b.kind) return a.kind >= b.kind;
    if (a.date != b.date) return a.date < b.date;
    // Byte by byte as unsigned characters; QByteArray compares that way.
    return a.text <= b.text;
}

// The browser's quicksort over a list, kept as it was so that equal entries come out in the same
// order: the middle element is the pivot; entries it is not "before" precede it, in list order.
void quickSort(std::vector<const SortItem*>& list) {
    if (list.size() < 2) return;
    const size_t pivotIndex = list.size() / 2;
    const SortItem* pivot = list[pivotIndex];
    std::vector<const SortItem*> low, high;
    for (size_t i = 0; i < list.size(); ++i) {
        if (i == pivotIndex) continue;
        (itemBefore(*pivot, *list[i]) ? high : low).push_back(list[i]);
    }
    quickSort(low);
    quickSort(high);
    list = std::move(low);
    list.push_back(pivot);
    list.insert(list.end(), high.begin(), high.end());
}

void sortKeepingRoot(std::vector<BrowserEntry*>& list) {
    const bool rootFirst = !list.empty() && isRoot(*list.front());
    std::vector<SortItem> items;
    items.reserve(list.size());
    for (size_t i = rootFirst ? 1 : 0; i < list.size(); ++i)
        items.push_back({list[i], int(list[i]->kind), sortKey(list[i]->date), list[i]->text.toUtf8()});
    std::vector<const SortItem*> order;
    order.reserve(items.size());
    for (const SortItem& item : items) order.push_back(&item);
    quickSort(order);
    size_t at = rootFirst ? 1 : 0;
    for (const SortItem* item : order) list[at++] = item->entry;
}

std::unique_ptr<BrowserEntry> makeEntry(EntryKind kind, const QString& text, const QString& path,
                                        const QDateTime& date) {
    auto entry = std::make_unique<BrowserEntry>();
    entry->kind = kind;
    entry->text = text;
    entry->path = path;
    entry->date = date;
    return entry;
}

std::unique_ptr<BrowserEntry> makePictureEntry(std::unique_ptr<PictureRecord> picture) {
    auto entry = makeEntry(EntryKind::Picture, picture->fileName(), picture->filePath(), picture->dateTime());
    entry->archiveLocation = picture->archiveLocation;
    entry->archived = !entry->archiveLocation.isEmpty();
    entry->picture = std::move(picture);
    return entry;
}

bool hasHeadlineOrEvent(const PictureRecord& picture) {
    return !picture.iptc().headline.isEmpty() || !picture.iptc().event.isEmpty();
}

QString volumeText(const Volume& volume) { return volume.rootPath + u'(' + volume.displayName + u')'; }

}  // namespace

QList<Volume> mountedVolumes() {
    QList<Volume> volumes;
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        // Bind mounts of single files (containers do this) are no place to browse.
        if (!storage.isValid() || !storage.isReady() || !QFileInfo(storage.rootPath()).isDir()) continue;
        volumes.append({storage.rootPath(), storage.displayName()});
    }
    return volumes;
}

QDateTime folderDate() { return QDateTime(QDate(1996, 10, 5), QTime(0, 0)); }
QDateTime folderRootDate() { return QDateTime(QDate(1971, 4, 16), QTime(0, 0)); }

QString eventText(const PictureRecord& picture) { return picture.iptc().EventKey(); }

QString eventTitle(const QString& eventText) { return IptcBlock::EventTitleOfKey(eventText); }

QString pictureItemText(const PictureRecord& picture) {
    const QString& headline = picture.iptc().headline;
    if (!headline.isEmpty()) return headline.left(32);
    const QString& name = picture.fileName();
    const auto separator = std::find_if(name.begin(), name.end(), isSeparator);
    return separator == name.end() ? name : name.mid(separator - name.begin() + 1);
}

QString leftOutMessage(const QString& location, const QString& damage, const QStringList& leftOut) {
    if (damage.isEmpty() && leftOut.isEmpty()) return {};
    constexpr qsizetype kShown = 20;
    QStringList lines;
    if (!damage.isEmpty())
        lines << QStringLiteral(
                     "The catalog of %1 did not load whole:\n%2\n\nThe catalog is left as it is: it is "
                     "neither refreshed nor created again until it is removed.")
                     .arg(QDir::toNativeSeparators(location), damage);
    if (!leftOut.isEmpty()) {
        if (!lines.isEmpty()) lines << QString();
        lines << QStringLiteral("These pictures are not shown:");
        lines << leftOut.mid(0, kShown);
        if (leftOut.size() > kShown) lines << QStringLiteral("... and %1 more").arg(leftOut.size() - kShown);
    }
    return lines.join(u'\n');
}

QString folderRootText(const QString& path) {
    const QString last = path.mid(path.lastIndexOf(u'/') + 1);
    return last.isEmpty() ? path : last;
}

bool before(const BrowserEntry& a, const BrowserEntry& b) {
    return itemBefore({nullptr, int(a.kind), sortKey(a.date), a.text.toUtf8()},
                      {nullptr, int(b.kind), sortKey(b.date), b.text.toUtf8()});
}

void sortEntries(EntryList& entries) {
    std::vector<BrowserEntry*> order;
    order.reserve(entries.size());
    for (auto& entry : entries) order.push_back(entry.release());
    sortKeepingRoot(order);
    entries.clear();
    for (BrowserEntry* entry : order) entries.emplace_back(entry);
}

void sortEntries(ThumbList& entries) {
    std::vector<BrowserEntry*> order(entries.begin(), entries.end());
    sortKeepingRoot(order);
    entries = ThumbList(order.begin(), order.end());
}

QString upTarget(const QString& location, const QString& myDocuments, const QString& myPictures) {
    if (!myPictures.isEmpty() && location == myPictures) return myDocuments;
    if (!myDocuments.isEmpty() && location == myDocuments) return QStringLiteral("/");
    // Cut at the last separator; a folder just below the root gives the root, and the root itself
    // gives the drive list. With no separator at all (the drive list) the rest is empty: the root.
    QString target = location.left(std::max<qsizetype>(location.lastIndexOf(u'/'), 0));
    if (!target.contains(u'/') && target != kDriveList) {
        target += u'/';
        if (target == location) return kDriveList;
    }
    return target;
}

}  // namespace browser

using namespace browser;

BrowserModel::BrowserModel(BrowserEnvironment environment) : env_(std::move(environment)) {
    if (!env_.hasCatalog) env_.hasCatalog = [](const QString& folder) { return CatalogFile::version(folder) != 0; };
    if (!env_.volumes) env_.volumes = mountedVolumes;
}

BrowserModel::~BrowserModel() = default;

EntryListBuild BrowserModel::buildEntryList(const QString& location, const BrowserEnvironment& env,
                                            const LoadObserver& observer) {
    EntryListBuild build;
    build.location = location;
    EntryList& entries = build.entries;

    if (location == kDriveList) {
        const QList<Volume> volumes = env.volumes ? env.volumes() : mountedVolumes();
        for (const Volume& volume : volumes)
            entries.push_back(makeEntry(EntryKind::Folder, volumeText(volume), volume.rootPath, folderDate()));
        entries.push_back(makeEntry(EntryKind::Folder, QStringLiteral("My Pictures"), env.myPictures, folderDate()));
        entries.push_back(makeEntry(EntryKind::Folder, QStringLiteral("My Documents"), env.myDocuments, folderDate()));
        sortEntries(entries);
        return build;
    }

    entries.push_back(makeEntry(EntryKind::FolderRoot, folderRootText(location), location, folderRootDate()));

    Catalog catalog;
    build.catalogMode = bool(catalog.load(location, true));
    entries.push_back(makeEntry(EntryKind::Event, QStringLiteral("Unknown"), location, folderDate()));
    if (build.catalogMode) {
        build.catalogDamage = catalog.damage();
        if (catalog.unsafeNames() > 0)
            build.leftOut
                << QStringLiteral("%1 entries: their names lead outside the folder").arg(catalog.unsafeNames());
        for (const QString& name : catalog.withoutHeader())
            build.leftOut << name + QStringLiteral(": the catalog holds no picture header for it");
        QSet<QString> events{QStringLiteral("Unknown")};
        for (std::unique_ptr<PictureRecord>& picture : catalog.takePictures()) {
            const QString event = eventText(*picture);
            if (!events.contains(event)) {
                events.insert(event);
                entries.push_back(
                    makeEntry(EntryKind::Event, event, folderOf(picture->filePath()), picture->dateTime()));
            }
            entries.push_back(makePictureEntry(std::move(picture)));
        }
    }

    // Folders always, but not hidden ones (the home folder is full of them); picture files only when
    // there is no catalog to show them from. Hidden pictures count, as they do when the catalog is
    // created.
    const QDir::Filters kinds = build.catalogMode ? QDir::Dirs : QDir::AllEntries;
    const QFileInfoList listing =
        QDir(location).entryInfoList(kinds | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    QStringList pictureFiles;
    QList<size_t> pictureSlots;  // where in the listing order each picture's entry goes
    for (const QFileInfo& info : listing) {
        if (info.isDir()) {
            if (info.isHidden()) continue;
            entries.push_back(
                makeEntry(EntryKind::Folder, info.fileName(), joined(location, info.fileName()), folderDate()));
        } else if (!build.catalogMode && info.fileName().toLower().endsWith(QLatin1String(".jpg"))) {
            // A pipe or device would never be read to its end (opening a pipe waits for a writer).
            if (!info.isFile()) {
                if (info.exists()) build.leftOut << info.fileName() + QStringLiteral(": not a regular file");
                continue;
            }
            pictureFiles.append(joined(location, info.fileName()));
            pictureSlots.append(entries.size());
            entries.push_back(nullptr);
        }
    }

    const int total = int(pictureFiles.size());
    if (observer.progress && total > 0) observer.progress(0, total);
    for (int i = 0; i < total; ++i) {
        if (observer.canceled && observer.canceled()) {
            build.canceled = true;
            entries.clear();
            return build;
        }
        auto picture = std::make_unique<PictureRecord>(pictureFiles[i], nullptr);
        if (picture->fileSize() == 0 && QFileInfo(pictureFiles[i]).size() == 0)
            build.zeroByteFiles.append(pictureFiles[i]);
        auto entry = makePictureEntry(std::move(picture));
        build.thumbs.append(entry.get());
        entries[pictureSlots[i]] = std::move(entry);
        if (observer.progress) observer.progress(i + 1, total);
    }

    sortEntries(entries);
    sortEntries(build.thumbs);
    return build;
}

void BrowserModel::adopt(EntryListBuild build, Prompter* prompter) {
    thumbs_.clear();
    if (build.location != location_) leftOutTold_ = false;
    location_ = build.location;
    catalogDamage_ = build.catalogDamage;
    leftOut_ = build.leftOut;
    entries_ = std::move(build.entries);
    thumbs_ = std::move(build.thumbs);
    catalogMode_ = build.catalogMode;
    askCreateCatalog_ = true;
    currentEventKey_.clear();
    // Reading the empty file again on this thread lets the picture tell the user in its own words.
    if (prompter)
        for (const QString& path : build.zeroByteFiles) PictureRecord(path, prompter);
    const QString message = leftOutMessage(location_, catalogDamage_, leftOut_);
    if (prompter && !message.isEmpty() && !leftOutTold_) {
        leftOutTold_ = true;
        prompter->messageBox(message, QStringLiteral("Snaplore"), mb::Ok | mb::IconExclamation);
    }
}

QStringList BrowserModel::leftOutLines() const {
    QStringList lines;
    if (!catalogDamage_.isEmpty()) lines << catalogDamage_;
    return lines + leftOut_;
}

void BrowserModel::load(const QString& location, Prompter* prompter) {
    adopt(buildEntryList(location, env_), prompter);
}

void BrowserModel::sort() {
    sortEntries(entries_);
    sortEntries(thumbs_);
}

EntryList BrowserModel::takeEntries() {
    thumbs_.clear();
    return std::move(entries_);
}

BrowserEntry& BrowserModel::addEventFor(const PictureRecord& picture, const QString& text) {
    entries_.push_back(makeEntry(EntryKind::Event, text, folderOf(picture.filePath()), picture.dateTime()));
    return *entries_.back();
}

Look BrowserModel::pictureLook(const BrowserEntry& entry) {
    return entry.picture ? pictureLook(entry, *entry.picture) : Look{};
}

Look BrowserModel::pictureLook(const BrowserEntry& entry, const PictureRecord& record) {
    Look look;
    const PictureRecord* picture = &record;
    const bool rated = picture->iptc().rating == QLatin1String("1");
    if (!entry.archived) {
        if (!picture->fileExists()) {
            look.image = ImagePictureMissing;
        } else if (hasHeadlineOrEvent(*picture)) {
            look.image = rated ? ImagePictureRated : ImagePicture;
            look.overlay = OverlayData;
        }
    } else {
        const QString file = joined(entry.archiveLocation, picture->fileName());
        const QString folder = QFileInfo(file).path();
        // An absent disc is probed once per tree build, not once per picture.
        if (missingFolders_.contains(folder)) {
            look.image = ImageArchivedUnreachable;
        } else if (!QFileInfo(folder).isDir()) {
            missingFolders_.append(folder);
            look.image = ImageArchivedUnreachable;
        } else if (QFileInfo::exists(file)) {
            look.image = rated ? ImageArchivedRated : ImageArchived;
            look.overlay = OverlayData;
        } else {
            look.image = ImageArchivedUnreachable;
        }
    }
    if (entry.flagged) look.overlay = look.overlay == OverlayData ? OverlayFlaggedData : OverlayFlagged;
    return look;
}

BrowserTree BrowserModel::buildTree(const QString& openPicturePath) {
    missingFolders_.clear();
    BrowserTree tree;
    const bool driveList = driveListMode();

    TreeNode root;
    std::vector<TreeNode>* top = &tree.topLevel;
    if (!driveList) {
        BrowserEntry* head = entries_.empty() ? nullptr : entries_.front().get();
        root.entry = head && isRoot(*head) ? head : nullptr;
        if (searchMode_) {
            root.text = QStringLiteral("Search Result");
            root.image = ImageSearchResult;
        } else {
            root.text = root.entry ? root.entry->text : folderRootText(location_);
            root.image = ImageSystemIcon;
            root.iconPath = location_;
            // The root of a volume is named after the volume as well.
            if (root.text == location_) {
                const QList<Volume> volumes = env_.volumes();
                const auto volume = std::find_if(volumes.begin(), volumes.end(),
                                                 [&](const Volume& v) { return v.rootPath == location_; });
                if (volume != volumes.end()) root.text += u'(' + volume->displayName + u')';
            }
        }
        top = &root.children;
    }

    // Folders and events in list order; events are remembered by text with their counts.
    struct EventItem {
        int count = 0;
        double megabytes = 0;  // the running size as the item's text held it, two decimals
    };
    QHash<QString, size_t> eventIndex;
    QHash<size_t, EventItem> eventCounts;
    auto addEventNode = [&](BrowserEntry& entry) {
        TreeNode node;
        node.entry = &entry;
        node.text = eventTitle(entry.text);
        node.image = ImageEvent;
        eventIndex.insert(entry.text, top->size());
        eventCounts.insert(top->size(), EventItem{});
        top->push_back(std::move(node));
    };
    // Sub-folders first, in a catalog's tree as in a folder's, where they come before the pictures:
    // below every event they would be out of sight.
    for (const auto& owned : entries_) {
        BrowserEntry& entry = *owned;
        if (!entry.included || entry.kind != EntryKind::Folder) continue;
        TreeNode node;
        node.entry = &entry;
        node.text = entry.text;
        node.image = ImageSystemIcon;
        node.iconPath = entry.path;
        if (env_.hasCatalog(entry.path)) node.overlay = OverlayData;
        top->push_back(std::move(node));
    }
    for (const auto& owned : entries_)
        if (owned->included && owned->kind == EntryKind::Event && !driveList) addEventNode(*owned);

    int pictureCount = 0;
    quint64 totalBytes = 0;
    if (!driveList) {
        // A catalog's picture may add an event entry at the end; those are not pictures, so the walk
        // stops at the entries that were there.
        const size_t listed = entries_.size();
        for (size_t i = 0; i < listed; ++i) {
            BrowserEntry* entry = entries_[i].get();
            if (!entry->included || entry->kind != EntryKind::Picture || !entry->picture) continue;
            const PictureRecord& picture = *entry->picture;
            ++pictureCount;
            totalBytes += picture.fileSize();

            std::optional<size_t> eventAt;
            if (catalogMode_) {
                const QString event = eventText(picture);
                if (!eventIndex.contains(event)) addEventNode(addEventFor(picture, event));
                eventAt = eventIndex.value(event);
            }
            TreeNode node;
            node.entry = entry;
            node.text = pictureItemText(picture);
            const Look look = pictureLook(*entry);
            node.image = look.image;
            node.overlay = look.overlay;

            TreeNode& parent = eventAt ? (*top)[*eventAt] : root;
            if (!picture.archiveName.isEmpty())
                parent.image = picture.fileExists() ? ImageEventDiscPresent : ImageEventDiscAbsent;
            parent.children.push_back(std::move(node));
            if (eventAt) {
                EventItem& counts = eventCounts[*eventAt];
                ++counts.count;
                // The item's text carried the running size with two decimals; keep that rounding.
                counts.megabytes =
                    QString::asprintf("%4.2f", counts.megabytes + double(picture.fileSize()) / 1048576.0).toDouble();
            }
        }
        for (auto it = eventCounts.cbegin(); it != eventCounts.cend(); ++it) {
            TreeNode& node = (*top)[it.key()];
            node.text = QString::asprintf("%s - %d/%.0fMB", qUtf8Printable(node.text), it->count, it->megabytes);
        }
        root.text = QString::asprintf("%s (%d/%dMB)", qUtf8Printable(root.text), pictureCount, int(totalBytes >> 20));
        root.expanded = true;
        std::erase_if(*top, [](const TreeNode& node) {
            return node.entry && node.entry->kind == EntryKind::Event && node.children.empty();
        });
        tree.topLevel.push_back(std::move(root));
    }

    if (!openPicturePath.isEmpty()) {
        std::function<BrowserEntry*(const std::vector<TreeNode>&)> find = [&](const std::vector<TreeNode>& nodes) {
            for (const TreeNode& node : nodes) {
                if (node.entry && node.entry->path == openPicturePath) return node.entry;
                if (BrowserEntry* found = find(node.children)) return found;
            }
            return static_cast<BrowserEntry*>(nullptr);
        };
        tree.selected = find(tree.topLevel);
    }
    return tree;
}

bool BrowserModel::showEntryPictures(const BrowserEntry& entry) {
    const QString key = entry.kind == EntryKind::Picture && entry.picture ? eventText(*entry.picture) : entry.text;
    bool changed = false;
    if (key != currentEventKey_ && !entries_.empty()) {
        if (!searchMode_) {
            currentEventKey_ = key;
            changed = true;
        }
        for (BrowserEntry* shown : thumbs_)
            if (shown->picture) shown->picture->unloadImage();
    }
    thumbs_.clear();
    const bool all = searchMode_ || !catalogMode_;
    for (const auto& candidate : entries_) {
        if (candidate->kind != EntryKind::Picture || !candidate->included || !candidate->picture) continue;
        if (all || eventText(*candidate->picture) == currentEventKey_) thumbs_.append(candidate.get());
    }
    return changed;
}

BrowserEntry* BrowserModel::startEvent(const QStringList& recentPictures) const {
    if (!catalogMode_ || searchMode_) return nullptr;
    QSet<QString> shown;  // events with pictures in the tree
    for (const auto& entry : entries_)
        if (entry->kind == EntryKind::Picture && entry->included && entry->picture)
            shown.insert(eventText(*entry->picture));
    QString last;
    for (const QString& path : recentPictures) {
        const BrowserEntry* entry = entryForPath(path);
        if (entry && entry->included && entry->picture) {
            last = eventText(*entry->picture);
            break;
        }
    }
    BrowserEntry* newest = nullptr;
    for (const auto& entry : entries_) {
        if (entry->kind != EntryKind::Event || !entry->included || !shown.contains(entry->text)) continue;
        if (!last.isEmpty() && entry->text == last) return entry.get();
        if (!newest || entry->date >= newest->date) newest = entry.get();
    }
    return newest;
}

QStringList BrowserModel::rememberPicture(const QStringList& recent, const QString& path) const {
    QStringList remembered{path};
    for (const QString& other : recent)
        if (!other.isEmpty() && other != path && !entryForPath(other)) remembered.append(other);
    while (remembered.size() > kRememberedPictures) remembered.removeLast();
    return remembered;
}

bool BrowserModel::leaveSearch() {
    if (!searchMode_) return false;
    searchMode_ = false;
    thumbs_.clear();
    for (auto& entry : entries_) entry->included = true;
    return true;
}

QString BrowserModel::upOneLevelTarget() const { return upTarget(location_, env_.myDocuments, env_.myPictures); }

QString BrowserModel::doubleClickTarget(const BrowserEntry& entry) const {
    if (entry.kind == EntryKind::Event) return entry.path;
    if (entry.kind != EntryKind::Folder) return {};
    if (driveListMode()) return entry.path;
    const QString path = joined(location_, entry.text);
    return QFileInfo(path).isDir() ? path : QString();
}

BrowserEntry* BrowserModel::savedPictureRefresh(const QString& path, Prompter* prompter) {
    BrowserEntry* entry = entryForPath(path);
    if (!entry || entry->kind != EntryKind::Picture) return nullptr;
    auto picture = std::make_unique<PictureRecord>(path, prompter);
    entry->archiveLocation = picture->archiveLocation;
    entry->archived = !entry->archiveLocation.isEmpty();
    // The picture data's date may have been edited; the entry sorts by it.
    entry->date = picture->dateTime();
    const QString event = eventText(*picture);
    entry->picture = std::move(picture);

    if (catalogMode_) {
        const bool known = std::any_of(entries_.begin(), entries_.end(), [&](const auto& other) {
            if (other.get() == entry) return false;
            if (other->kind == EntryKind::Event) return other->text == event;
            return other->kind == EntryKind::Picture && other->picture && eventText(*other->picture) == event;
        });
        if (!known) addEventFor(*entry->picture, event);
    }
    return entry;
}

std::unique_ptr<BrowserEntry> BrowserModel::takePicture(const QString& path) {
    thumbs_.removeIf([&](BrowserEntry* entry) { return entry->path.compare(path, Qt::CaseInsensitive) == 0; });
    const auto it = std::find_if(entries_.begin(), entries_.end(), [&](const auto& entry) {
        return entry->kind == EntryKind::Picture && entry->path == path;
    });
    if (it == entries_.end()) return nullptr;
    std::unique_ptr<BrowserEntry> taken = std::move(*it);
    thumbs_.removeAll(taken.get());
    entries_.erase(it);
    return taken;
}

void BrowserModel::createCatalogCheck(Prompter& prompter, const std::function<void()>& create) {
    if (catalogMode_ || !askCreateCatalog_) return;
    int pictures = 0, withData = 0;
    for (const auto& entry : entries_) {
        if (entry->kind != EntryKind::Picture || !entry->included || !entry->picture) continue;
        ++pictures;
        if (hasHeadlineOrEvent(*entry->picture)) ++withData;
    }
    if (pictures == 0 || pictures != withData) return;
    const int answer = prompter.messageBox(
        QStringLiteral("All your pictures now have data.  Would you like to create the Catalog now?"),
        QStringLiteral("Create Catalog?"), mb::YesNoCancel | mb::IconQuestion);
    if (answer == id::Yes) {
        askCreateCatalog_ = false;
        if (create) create();
    } else if (answer == id::No) {
        askCreateCatalog_ = false;
    }
}

BrowserEntry* BrowserModel::entryForPath(const QString& path) const {
    for (const auto& entry : entries_)
        if (entry->kind == EntryKind::Picture && entry->path == path) return entry.get();
    return nullptr;
}

BrowserEntry* BrowserModel::entryForPicture(const PictureRecord* picture) const {
    if (!picture) return nullptr;
    for (const auto& entry : entries_)
        if (entry->picture.get() == picture) return entry.get();
    return nullptr;
}

BrowserEntry* BrowserModel::firstPictureEntry() const {
    for (const auto& entry : entries_)
        if (entry->picture) return entry.get();
    return nullptr;
}

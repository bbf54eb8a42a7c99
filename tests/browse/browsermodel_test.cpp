// The browser's headless half: the entry list of a folder (from its files or its catalog) and of the
// drive list, the sort, the tree's texts, counts and looks, the strip's pictures, the create-catalog
// question and the targets of Up One Level and double click.

#include "browsermodel.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>

#include "catalog.h"
#include "prompter.h"
#include "scriptedprompter.h"
#include "testsupport.h"

using namespace browser;
using testsupport::SandBox;

// Readable failures for texts and lists of texts.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

// A picture's event as the picture data form writes it, and the title the browser groups it by.
QString eventField(const QString& name) {
    return name.isEmpty() ? QString() : QStringLiteral("06/01/2003-->06/01/2003:::") + name;
}
QString title(const QString& name) { return QStringLiteral("06/01/2003 ") + name; }

QDateTime at(int y, int m, int d, int h = 12) { return QDateTime(QDate(y, m, d), QTime(h, 0)); }

// Copies a test picture into `folder` and gives it picture data; returns its path.
QString addPicture(const SandBox& box, const QString& name, const QString& event, const QString& headline,
                   const QDateTime& date, const QString& rating = {}) {
    const QString path = box.copy(testsupport::dataPath(QStringLiteral("Canon_40D.jpg")), name);
    PictureRecord picture(path);
    picture.iptc().event = eventField(event);
    picture.iptc().headline = headline;
    picture.iptc().rating = rating;
    picture.iptc().dateTime = date;
    EXPECT_TRUE(picture.save().ok()) << name.toStdString();
    return path;
}

// An entry with a record that exists only in memory.
std::unique_ptr<BrowserEntry> memoryPicture(const QString& name, const QString& event, quint64 size,
                                            const QDateTime& date = at(2020, 1, 1)) {
    auto picture = std::make_unique<PictureRecord>();
    picture->setFileName(name);
    picture->setFilePath(QStringLiteral("/nowhere/") + name);
    picture->setFileSize(size);
    picture->iptc().event = eventField(event);
    auto entry = std::make_unique<BrowserEntry>();
    entry->kind = EntryKind::Picture;
    entry->text = name;
    entry->path = picture->filePath();
    entry->date = date;
    entry->picture = std::move(picture);
    return entry;
}

std::unique_ptr<BrowserEntry> plainEntry(EntryKind kind, const QString& text, const QDateTime& date = folderDate()) {
    auto entry = std::make_unique<BrowserEntry>();
    entry->kind = kind;
    entry->text = text;
    entry->path = QStringLiteral("/nowhere");
    entry->date = date;
    return entry;
}

BrowserEnvironment testEnvironment(QList<Volume> volumes = {}) {
    BrowserEnvironment env;
    env.myDocuments = QStringLiteral("/home/u/Documents");
    env.myPictures = QStringLiteral("/home/u/Pictures");
    env.volumes = [volumes] { return volumes; };
    return env;
}

QStringList texts(const EntryList& entries) {
    QStringList out;
    for (const auto& entry : entries) out << entry->text;
    return out;
}

QStringList texts(const std::vector<TreeNode>& nodes) {
    QStringList out;
    for (const TreeNode& node : nodes) out << node.text;
    return out;
}

const TreeNode* findNode(const std::vector<TreeNode>& nodes, const QString& text) {
    for (const TreeNode& node : nodes) {
        if (node.text == text) return &node;
        if (const TreeNode* found = findNode(node.children, text)) return found;
    }
    return nullptr;
}

}  // namespace

// ---- The sort ----

TEST(BrowserSort, BeforeOrdersKindsThenDatesThenBytes) {
    struct Case {
        const char* name;
        EntryKind kindA;
        QDateTime dateA;
        QString textA;
        EntryKind kindB;
        QDateTime dateB;
        QString textB;
        bool expected;
    };
    const QDateTime early = at(2001, 1, 1), late = at(2002, 1, 1);
    const Case cases[] = {
        {"event before picture whatever the date", EntryKind::Event, late, "z", EntryKind::Picture, early, "a", true},
        {"folder not before picture", EntryKind::Folder, early, "a", EntryKind::Picture, late, "z", false},
        {"root before everything", EntryKind::FolderRoot, late, "z", EntryKind::Event, early, "a", true},
        {"earlier date first", EntryKind::Picture, early, "z", EntryKind::Picture, late, "a", true},
        {"later date not first", EntryKind::Picture, late, "a", EntryKind::Picture, early, "z", false},
        {"unknown date sorts as zero", EntryKind::Picture, QDateTime(), "z", EntryKind::Picture, early, "a", true},
        {"same date: text decides", EntryKind::Folder, early, "Apple", EntryKind::Folder, early, "apple", true},
        {"upper case before lower case", EntryKind::Folder, early, "b", EntryKind::Folder, early, "C", false},
        {"equal entries hold", EntryKind::Folder, early, "x", EntryKind::Folder, early, "x", true},
        {"non-ASCII bytes are unsigned", EntryKind::Folder, early, QStringLiteral("\u00e9"), EntryKind::Folder, early,
         "z", false},
    };
    for (const Case& c : cases) {
        BrowserEntry a, b;
        a.kind = c.kindA, a.date = c.dateA, a.text = c.textA;
        b.kind = c.kindB, b.date = c.dateB, b.text = c.textB;
        EXPECT_EQ(before(a, b), c.expected) << c.name;
    }
}

TEST(BrowserSort, RootStaysFirstThenEventsPicturesFolders) {
    EntryList entries;
    entries.push_back(plainEntry(EntryKind::FolderRoot, "root", folderRootDate()));
    entries.push_back(plainEntry(EntryKind::Folder, "zeta"));
    entries.push_back(memoryPicture("b.jpg", "", 1, at(2010, 5, 1)));
    entries.push_back(plainEntry(EntryKind::Event, "Later", at(2011, 1, 1)));
    entries.push_back(plainEntry(EntryKind::Folder, "Alpha"));
    entries.push_back(memoryPicture("a.jpg", "", 1, at(2010, 5, 1)));
    entries.push_back(plainEntry(EntryKind::Event, "Unknown", folderDate()));
    entries.push_back(memoryPicture("c.jpg", "", 1, at(2009, 5, 1)));
    sortEntries(entries);
    EXPECT_EQ(texts(entries), QStringList({"root", "Unknown", "Later", "c.jpg", "a.jpg", "b.jpg", "Alpha", "zeta"}));

    ThumbList thumbs{entries[5].get(), entries[4].get(), entries[3].get()};
    sortEntries(thumbs);
    EXPECT_EQ(thumbs[0]->text, "c.jpg");
    EXPECT_EQ(thumbs[2]->text, "b.jpg");
}

// ---- Entry lists ----

TEST(BrowserEntryList, FolderWithoutCatalogListsPicturesAndFolders) {
    SandBox box;
    addPicture(box, "late.jpg", "", "", at(2005, 6, 1));
    addPicture(box, "early.JPG", "", "", at(2004, 6, 1));
    box.copy(testsupport::dataPath("iptc_fields.jpg"), "other.jpeg");  // not ".jpg": no picture
    testsupport::writeAll(box.filePath("notes.txt"), "text");
    QDir(box.path()).mkdir("Sub B");
    QDir(box.path()).mkdir("Sub A");
    QDir(box.path()).mkdir(".cache");  // hidden folders are not listed

    const EntryListBuild build = BrowserModel::buildEntryList(box.path(), testEnvironment());
    EXPECT_FALSE(build.catalogMode);
    ASSERT_EQ(build.entries.size(), 6u);
    EXPECT_EQ(build.entries[0]->kind, EntryKind::FolderRoot);
    EXPECT_EQ(build.entries[0]->text, QFileInfo(box.path()).fileName());
    EXPECT_EQ(build.entries[0]->date, folderRootDate());
    EXPECT_EQ(texts(build.entries).mid(1), QStringList({"Unknown", "early.JPG", "late.jpg", "Sub A", "Sub B"}));
    EXPECT_EQ(build.entries[1]->date, folderDate());
    EXPECT_EQ(build.entries[4]->path, box.path() + "/Sub A");
    ASSERT_EQ(build.thumbs.size(), 2);
    EXPECT_EQ(build.thumbs[0]->text, "early.JPG");
    EXPECT_EQ(build.thumbs[1]->text, "late.jpg");
    EXPECT_EQ(build.thumbs[0]->picture->filePath(), box.path() + "/early.JPG");
}

TEST(BrowserEntryList, CorpusFolderReadsEveryPictureWithProgress) {
    const QStringList corpus = testsupport::corpusFiles();
    if (corpus.isEmpty()) GTEST_SKIP() << "no corpus on this machine";
    SandBox box;
    int copied = 0;
    for (const QString& file : corpus) {
        if (!file.endsWith(".jpg", Qt::CaseInsensitive)) continue;
        box.copy(file, QStringLiteral("%1_%2").arg(copied++).arg(QFileInfo(file).fileName()));
        if (copied == 40) break;
    }
    QList<std::pair<int, int>> reports;
    LoadObserver observer;
    observer.progress = [&](int done, int total) { reports.append({done, total}); };
    const EntryListBuild build = BrowserModel::buildEntryList(box.path(), testEnvironment(), observer);
    ASSERT_EQ(build.thumbs.size(), copied);
    ASSERT_EQ(reports.size(), copied + 1);
    EXPECT_EQ(reports.front(), std::make_pair(0, copied));
    EXPECT_EQ(reports.back(), std::make_pair(copied, copied));
    for (qsizetype i = 1; i < build.thumbs.size(); ++i)
        EXPECT_TRUE(before(*build.thumbs[i - 1], *build.thumbs[i])) << build.thumbs[i]->text.toStdString();
}

TEST(BrowserEntryList, CancelledLoadKeepsNothing) {
    SandBox box;
    addPicture(box, "a.jpg", "", "", at(2004, 6, 1));
    LoadObserver observer;
    observer.canceled = [] { return true; };
    const EntryListBuild build = BrowserModel::buildEntryList(box.path(), testEnvironment(), observer);
    EXPECT_TRUE(build.canceled);
    EXPECT_TRUE(build.entries.empty());
}

TEST(BrowserEntryList, ZeroByteFileIsReportedOnAdoption) {
    SandBox box;
    testsupport::writeAll(box.filePath("empty.jpg"), {});
    EntryListBuild build = BrowserModel::buildEntryList(box.path(), testEnvironment());
    EXPECT_EQ(build.zeroByteFiles, QStringList{box.filePath("empty.jpg")});
    ASSERT_EQ(build.thumbs.size(), 1);

    ScriptedPrompter prompter;
    prompter.answer(id::Ok);
    BrowserModel model(testEnvironment());
    model.adopt(std::move(build), &prompter);
    EXPECT_EQ(prompter.askedTexts(), QStringList{"ERROR!! Image <empty.jpg> is zero byte file."});
    EXPECT_EQ(model.thumbList().size(), 1);
}

TEST(BrowserEntryList, CatalogGivesEventsFirstAndUnknownAsOf1996) {
    SandBox box;
    addPicture(box, "b.jpg", "Zoo", "Lion", at(2003, 3, 3));
    addPicture(box, "a.jpg", "Zoo", "", at(2003, 3, 4));
    addPicture(box, "c.jpg", "", "", at(2001, 1, 1));
    addPicture(box, "d.jpg", "Beach", "", at(1990, 7, 7));
    QDir(box.path()).mkdir("Sub");
    ASSERT_TRUE(Catalog().create(box.path(), true).ok());

    BrowserModel model(testEnvironment());
    model.load(box.path(), nullptr);
    ASSERT_TRUE(model.catalogMode());
    EXPECT_EQ(texts(model.entryList()), QStringList({QFileInfo(box.path()).fileName(), title("Beach"), "Unknown",
                                                     title("Zoo"), "d.jpg", "c.jpg", "b.jpg", "a.jpg", "Sub"}));
    const BrowserEntry& unknown = *model.entryList()[2];
    EXPECT_EQ(unknown.kind, EntryKind::Event);
    EXPECT_EQ(unknown.date, QDateTime(QDate(1996, 10, 5), QTime(0, 0)));
    // Dated by the event's first picture in catalog order (by name: a.jpg).
    EXPECT_EQ(model.entryList()[3]->date, at(2003, 3, 4));
    EXPECT_EQ(model.entryList()[3]->path, box.path());
    EXPECT_TRUE(model.thumbList().isEmpty()) << "a catalog's pictures reach the strip by event";

    const BrowserTree tree = model.buildTree({});
    ASSERT_EQ(tree.topLevel.size(), 1u);
    const TreeNode& root = tree.topLevel[0];
    EXPECT_TRUE(root.expanded);
    const quint64 total = QFileInfo(box.filePath("a.jpg")).size() * 4;
    EXPECT_EQ(root.text, QStringLiteral("%1 (4/%2MB)").arg(QFileInfo(box.path()).fileName()).arg(total >> 20));
    // Sub-folders stand first, where a folder without a catalog shows them.
    EXPECT_EQ(texts(root.children),
              QStringList({"Sub", title("Beach") + " - 1/0MB", "Unknown - 1/0MB", title("Zoo") + " - 2/0MB"}));
    const TreeNode* zoo = findNode(root.children, title("Zoo") + " - 2/0MB");
    ASSERT_TRUE(zoo);
    EXPECT_EQ(zoo->image, ImageEvent);
    EXPECT_EQ(texts(zoo->children), QStringList({"Lion", "a.jpg"}));
    EXPECT_EQ(zoo->children[0].overlay, OverlayData);
    EXPECT_EQ(findNode(root.children, "Unknown - 1/0MB")->children[0].overlay, OverlayNone);
}

// Another program's event name comes without a date: the tree shows the name alone, and a dateless
// event called "Unknown" keeps its own item beside the pictures without an event.
TEST(BrowserTree, ADatelessEventShowsItsNameAndUnknownStaysApart) {
    SandBox box;
    // An Object Name and no Date Created.
    const QString source = testsupport::dataPath(QStringLiteral("iptc_no_date_no_camera.jpg"));
    box.copy(source, "named.jpg");
    const QString dateless = box.copy(source, "dateless.jpg");
    {
        PictureRecord picture(dateless);
        picture.iptc().event = "Unknown";
        ASSERT_TRUE(picture.save().ok());
        ASSERT_TRUE(PictureRecord(dateless).iptc().dateText.isEmpty());
    }
    addPicture(box, "none.jpg", "", "", at(2001, 1, 1));
    ASSERT_TRUE(Catalog().create(box.path(), true).ok());

    BrowserModel model(testEnvironment());
    model.load(box.path(), nullptr);
    ASSERT_TRUE(model.catalogMode());
    const BrowserTree tree = model.buildTree({});
    ASSERT_EQ(tree.topLevel.size(), 1u);
    QStringList events;
    for (const TreeNode& node : tree.topLevel[0].children) {
        QStringList pictures;
        for (const TreeNode& child : node.children) pictures << child.text;
        events << node.text + ": " + pictures.join(',');
    }
    events.sort();
    EXPECT_EQ(events, QStringList({"Blue Square Test File - .jpg - 1/0MB: named.jpg", "Unknown - 1/0MB: dateless.jpg",
                                   "Unknown - 1/0MB: none.jpg"}));
}

TEST(BrowserEntryList, EmptyCatalogFolderShowsOnlyItsRoot) {
    SandBox box;
    ASSERT_TRUE(Catalog().create(box.path(), true).ok());
    BrowserModel model(testEnvironment());
    model.load(box.path(), nullptr);
    ASSERT_TRUE(model.catalogMode());
    const BrowserTree tree = model.buildTree({});
    ASSERT_EQ(tree.topLevel.size(), 1u);
    EXPECT_EQ(tree.topLevel[0].text, QFileInfo(box.path()).fileName() + " (0/0MB)");
    EXPECT_TRUE(tree.topLevel[0].children.empty());
}

TEST(BrowserEntryList, DriveListHoldsVolumesAndTheTwoFolders) {
    BrowserModel model(testEnvironment({{"/", "/"}, {"/media/card", "CARD"}, {"/mnt/x", ""}}));
    model.load(kDriveList, nullptr);
    EXPECT_TRUE(model.driveListMode());
    EXPECT_FALSE(model.catalogMode());
    EXPECT_EQ(texts(model.entryList()),
              QStringList({"/(/)", "/media/card(CARD)", "/mnt/x()", "My Documents", "My Pictures"}));
    EXPECT_EQ(model.entryList()[3]->path, "/home/u/Documents");

    const BrowserTree tree = model.buildTree({});
    EXPECT_EQ(texts(tree.topLevel), texts(model.entryList())) << "no root in the drive list";
    EXPECT_EQ(tree.topLevel[1].image, ImageSystemIcon);
    EXPECT_EQ(tree.topLevel[1].iconPath, "/media/card");
}

// ---- The tree ----

TEST(BrowserTree, EventCountsKeepTheRunningSizeInHundredths) {
    // Three pictures of 0.4 MB each: the item's running size goes 0.40, 0.80, 1.20 and ends at "1".
    // The running size is held with two decimals, so pictures under 0.005 MB add nothing to it.
    EntryListBuild build;
    build.location = "/nowhere";
    build.catalogMode = true;
    build.entries.push_back(plainEntry(EntryKind::FolderRoot, "nowhere", folderRootDate()));
    build.entries.push_back(plainEntry(EntryKind::Event, title("Trip"), at(2000, 1, 1)));
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        build.entries.push_back(memoryPicture(name, "Trip", 419431));  // just over 0.4 MB
    // 2.5 MB in one picture of an event that has no entry of its own: the tree adds one.
    build.entries.push_back(memoryPicture("d.jpg", "Party", 2621440));
    build.entries.push_back(plainEntry(EntryKind::Event, title("Tiny"), at(2000, 1, 2)));
    for (int i = 0; i < 150; ++i) build.entries.push_back(memoryPicture(QString::number(i), "Tiny", 4000));
    BrowserModel model(testEnvironment());
    model.adopt(std::move(build), nullptr);

    const BrowserTree tree = model.buildTree({});
    EXPECT_EQ(texts(tree.topLevel[0].children),
              QStringList({title("Trip") + " - 3/1MB", title("Tiny") + " - 150/0MB", title("Party") + " - 1/3MB"}));
    EXPECT_EQ(tree.topLevel[0].text, "nowhere (154/4MB)");
    EXPECT_EQ(model.entryList().back()->kind, EntryKind::Event);
    EXPECT_EQ(model.entryList().back()->text, title("Party"));
    EXPECT_EQ(model.entryList().back()->path, "/nowhere");
}

TEST(BrowserTree, PictureTextIsHeadlineOrNameAfterTheSubfolder) {
    PictureRecord picture;
    picture.setFileName("sub/name.jpg");
    EXPECT_EQ(pictureItemText(picture), "name.jpg");
    picture.setFileName("old\\name.jpg");
    EXPECT_EQ(pictureItemText(picture), "name.jpg");
    picture.iptc().headline = "A headline that runs on for more than thirty-two characters";
    EXPECT_EQ(pictureItemText(picture), "A headline that runs on for more");
}

TEST(BrowserTree, PictureLooks) {
    SandBox box;
    const QString present = addPicture(box, "p.jpg", "", "", at(2001, 1, 1));
    QDir(box.path()).mkdir("disc");
    box.copy(present, "disc/p.jpg");
    struct Case {
        const char* name;
        bool exists;
        QString headline;
        QString rating;
        QString archive;  // archive location, empty: not archived
        bool flagged;
        Look expected;
    };
    const QString disc = box.filePath("disc");
    const Case cases[] = {
        {"missing file", false, "H", "1", {}, false, {ImagePictureMissing, OverlayNone}},
        {"plain", true, {}, {}, {}, false, {ImagePicture, OverlayNone}},
        {"with data", true, "H", {}, {}, false, {ImagePicture, OverlayData}},
        {"rated", true, "H", "1", {}, false, {ImagePictureRated, OverlayData}},
        {"rating without data is ignored", true, {}, "1", {}, false, {ImagePicture, OverlayNone}},
        {"flagged", true, {}, {}, {}, true, {ImagePicture, OverlayFlagged}},
        {"flagged with data", true, "H", {}, {}, true, {ImagePicture, OverlayFlaggedData}},
        {"archived, disc present", false, {}, {}, disc, false, {ImageArchived, OverlayData}},
        {"archived rated, trailing slash", false, {}, "1", disc + "/", false, {ImageArchivedRated, OverlayData}},
        {"archived, disc absent", false, {}, {}, box.filePath("gone"), false, {ImageArchivedUnreachable, OverlayNone}},
        {"archived, flagged", false, {}, {}, disc, true, {ImageArchived, OverlayFlaggedData}},
    };
    BrowserModel model(testEnvironment());
    for (const Case& c : cases) {
        BrowserEntry entry;
        entry.kind = EntryKind::Picture;
        entry.picture = std::make_unique<PictureRecord>();
        entry.picture->setFileName("p.jpg");
        entry.picture->setFilePath(c.exists ? present : box.filePath("absent.jpg"));
        entry.picture->iptc().headline = c.headline;
        entry.picture->iptc().rating = c.rating;
        entry.archiveLocation = c.archive;
        entry.archived = !c.archive.isEmpty();
        entry.flagged = c.flagged;
        EXPECT_EQ(model.pictureLook(entry), c.expected) << c.name;
    }
}

TEST(BrowserTree, FolderWithoutCatalogHangsPicturesUnderTheRoot) {
    SandBox box;
    const QString open = addPicture(box, "a.jpg", "Zoo", "", at(2001, 1, 1));
    addPicture(box, "b.jpg", "", "", at(2002, 1, 1));
    QDir(box.path()).mkdir("Catalogued");
    QDir(box.path()).mkdir("Plain");
    ASSERT_TRUE(Catalog().create(box.filePath("Catalogued"), false).ok());

    BrowserModel model(testEnvironment());
    model.load(box.path(), nullptr);
    const BrowserTree tree = model.buildTree(open);
    const TreeNode& root = tree.topLevel[0];
    EXPECT_EQ(root.image, ImageSystemIcon);
    EXPECT_EQ(root.iconPath, box.path());
    // Events have no pictures outside a catalog and are dropped; folders come before pictures.
    EXPECT_EQ(texts(root.children), QStringList({"Catalogued", "Plain", "a.jpg", "b.jpg"}));
    EXPECT_EQ(root.children[0].overlay, OverlayData);
    EXPECT_EQ(root.children[1].overlay, OverlayNone);
    ASSERT_TRUE(tree.selected);
    EXPECT_EQ(tree.selected->path, open);
}

// ---- The strip's pictures ----

TEST(BrowserThumbs, CatalogShowsTheSelectedEventOnly) {
    EntryListBuild build;
    build.location = "/nowhere";
    build.catalogMode = true;
    build.entries.push_back(plainEntry(EntryKind::FolderRoot, "nowhere"));
    build.entries.push_back(plainEntry(EntryKind::Event, title("Trip")));
    build.entries.push_back(memoryPicture("a.jpg", "Trip", 1));
    build.entries.push_back(memoryPicture("b.jpg", "", 1));
    build.entries.push_back(memoryPicture("c.jpg", "Trip", 1));
    BrowserModel model(testEnvironment());
    model.adopt(std::move(build), nullptr);

    EXPECT_TRUE(model.showEntryPictures(*model.entryList()[1]));
    EXPECT_EQ(model.currentEventKey(), title("Trip"));
    ASSERT_EQ(model.thumbList().size(), 2);
    EXPECT_EQ(model.thumbList()[1]->text, "c.jpg");

    // A picture stands for its event.
    EXPECT_TRUE(model.showEntryPictures(*model.entryList()[3]));
    ASSERT_EQ(model.thumbList().size(), 1);
    EXPECT_EQ(model.thumbList()[0]->text, "b.jpg");
    EXPECT_FALSE(model.showEntryPictures(*model.entryList()[3]));

    // In a search every included picture shows, and the event shown stays.
    model.setSearchMode(true);
    model.entryList()[2]->included = false;
    model.showEntryPictures(*model.entryList()[1]);
    EXPECT_EQ(model.currentEventKey(), "Unknown");
    EXPECT_EQ(model.thumbList().size(), 2);
    EXPECT_TRUE(model.leaveSearch());
    EXPECT_TRUE(model.thumbList().isEmpty());
    EXPECT_TRUE(model.entryList()[2]->included);
    EXPECT_FALSE(model.leaveSearch());
}

TEST(BrowserThumbs, ACatalogStartsOnTheLastOpenPicturesEventElseTheNewest) {
    EntryListBuild build;
    build.location = "/nowhere";
    build.catalogMode = true;
    build.entries.push_back(plainEntry(EntryKind::FolderRoot, "nowhere"));
    build.entries.push_back(plainEntry(EntryKind::Event, "Unknown"));
    build.entries.push_back(plainEntry(EntryKind::Event, title("Trip"), at(2020, 1, 1)));
    build.entries.push_back(plainEntry(EntryKind::Event, title("Zoo"), at(2021, 1, 1)));
    build.entries.push_back(plainEntry(EntryKind::Event, title("Empty"), at(2022, 1, 1)));  // no pictures left
    build.entries.push_back(memoryPicture("a.jpg", "Trip", 1));
    build.entries.push_back(memoryPicture("b.jpg", "Zoo", 1));
    build.entries.push_back(memoryPicture("c.jpg", "", 1));
    BrowserModel model(testEnvironment());
    model.adopt(std::move(build), nullptr);
    const auto start = [&](const QStringList& recent) {
        const BrowserEntry* event = model.startEvent(recent);
        return event ? event->text : QStringLiteral("none");
    };

    EXPECT_EQ(start({}), title("Zoo"));
    EXPECT_EQ(start({"/elsewhere/x.jpg", "/nowhere/a.jpg", "/nowhere/b.jpg"}), title("Trip"));
    EXPECT_EQ(start({"/nowhere/c.jpg"}), "Unknown");
    model.setSearchMode(true);
    EXPECT_EQ(start({}), "none");
    model.setSearchMode(false);

    // One picture per place: another picture of this folder replaces the one remembered for it.
    EXPECT_EQ(model.rememberPicture({"/elsewhere/x.jpg", "/nowhere/a.jpg", "/other/y.jpg"}, "/nowhere/b.jpg"),
              (QStringList{"/nowhere/b.jpg", "/elsewhere/x.jpg", "/other/y.jpg"}));
    QStringList many;
    for (int i = 0; i < 30; ++i) many << QStringLiteral("/place%1/p.jpg").arg(i);
    const QStringList kept = model.rememberPicture(many, "/nowhere/a.jpg");
    ASSERT_EQ(kept.size(), BrowserModel::kRememberedPictures);
    EXPECT_EQ(kept.first(), "/nowhere/a.jpg");
    EXPECT_EQ(kept.last(), many[BrowserModel::kRememberedPictures - 2]);
}

// ---- After a save and a delete ----

TEST(BrowserSave, RenamedEventGetsItsOwnEntryInACatalog) {
    SandBox box;
    const QString path = addPicture(box, "a.jpg", "Zoo", "", at(2003, 3, 3));
    addPicture(box, "b.jpg", "Zoo", "", at(2003, 3, 4));
    ASSERT_TRUE(Catalog().create(box.path(), false).ok());
    BrowserModel model(testEnvironment());
    model.load(box.path(), nullptr);
    const size_t before = model.entryList().size();

    PictureRecord edited(path);
    edited.iptc().event = eventField("Circus");
    edited.iptc().headline = "Clown";
    ASSERT_TRUE(edited.save().ok());
    BrowserEntry* entry = model.savedPictureRefresh(path, nullptr);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->picture->iptc().headline, "Clown");
    ASSERT_EQ(model.entryList().size(), before + 1);
    EXPECT_EQ(model.entryList().back()->text, title("Circus"));

    // Saved again under the same event: no second entry.
    ASSERT_TRUE(model.savedPictureRefresh(path, nullptr));
    EXPECT_EQ(model.entryList().size(), before + 1);

    model.sort();
    const BrowserTree tree = model.buildTree(path);
    QStringList events = texts(tree.topLevel[0].children);
    events.sort();
    EXPECT_EQ(events, QStringList({title("Circus") + " - 1/0MB", title("Zoo") + " - 1/0MB"}));
    EXPECT_EQ(tree.selected, entry);
    EXPECT_EQ(model.savedPictureRefresh(box.filePath("unknown.jpg"), nullptr), nullptr);
}

TEST(BrowserSave, TakePictureLeavesBothLists) {
    SandBox box;
    const QString path = addPicture(box, "a.jpg", "", "", at(2003, 3, 3));
    addPicture(box, "b.jpg", "", "", at(2003, 3, 4));
    BrowserModel model(testEnvironment());
    model.load(box.path(), nullptr);
    const size_t count = model.entryList().size();
    std::unique_ptr<BrowserEntry> taken = model.takePicture(path);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->path, path);
    EXPECT_EQ(model.entryList().size(), count - 1);
    ASSERT_EQ(model.thumbList().size(), 1);
    EXPECT_EQ(model.thumbList()[0]->text, "b.jpg");
    EXPECT_FALSE(model.takePicture(path));
}

// ---- The create-catalog question ----

TEST(BrowserCreateCatalog, AskedWhenEveryPictureHasData) {
    const QString question = "All your pictures now have data.  Would you like to create the Catalog now?";
    struct Case {
        const char* name;
        bool catalogMode;
        std::vector<QString> events;  // one picture per event text; "" has no data
        std::vector<int> answers;     // one per check, in order
        int expectedQuestions;
        int expectedCreates;
    };
    const Case cases[] = {
        {"yes creates once and stops asking", false, {"A", "B"}, {id::Yes}, 1, 1},
        {"no stops asking", false, {"A"}, {id::No}, 1, 0},
        {"cancel asks again", false, {"A"}, {id::Cancel, id::Cancel}, 2, 0},
        {"a picture without data", false, {"A", ""}, {}, 0, 0},
        {"no pictures", false, {}, {}, 0, 0},
        {"folder has a catalog", true, {"A"}, {}, 0, 0},
    };
    for (const Case& c : cases) {
        EntryListBuild build;
        build.location = "/nowhere";
        build.catalogMode = c.catalogMode;
        for (const QString& event : c.events) build.entries.push_back(memoryPicture(event + ".jpg", event, 1));
        BrowserModel model(testEnvironment());
        model.adopt(std::move(build), nullptr);
        ScriptedPrompter prompter;
        for (int answer : c.answers) prompter.answer(answer);
        int creates = 0;
        for (int check = 0; check < 2; ++check) model.createCatalogCheck(prompter, [&] { ++creates; });
        EXPECT_EQ(prompter.asked().size(), c.expectedQuestions) << c.name;
        EXPECT_EQ(creates, c.expectedCreates) << c.name;
        for (const auto& asked : prompter.asked()) {
            EXPECT_EQ(asked.text, question);
            EXPECT_EQ(asked.caption, "Create Catalog?");
            EXPECT_EQ(asked.flags, mb::YesNoCancel | mb::IconQuestion);
        }
    }
}

// ---- Where the buttons lead ----

TEST(BrowserNavigation, UpOneLevelTargets) {
    const QString docs = "/home/u/Documents", pics = "/home/u/Pictures";
    const std::pair<QString, QString> cases[] = {
        {"/home/u/Pictures", docs},  // My Pictures → My Documents
        {"/home/u/Documents", "/"},  // My Documents → the root
        {"/home/u/Photos/2003", "/home/u/Photos"},
        {"/home", "/"},
        {"/", kDriveList},  // the root → the drive list
        {kDriveList, "/"},
    };
    for (const auto& [location, target] : cases)
        EXPECT_EQ(upTarget(location, docs, pics), target) << location.toStdString();
}

TEST(BrowserNavigation, DoubleClickTargets) {
    SandBox box;
    QDir(box.path()).mkdir("Sub");
    BrowserModel model(testEnvironment());
    model.load(box.path(), nullptr);
    const BrowserEntry* folder = model.entryList().back().get();
    ASSERT_EQ(folder->text, "Sub");
    EXPECT_EQ(model.doubleClickTarget(*folder), box.path() + "/Sub");
    QDir(box.path()).rmdir("Sub");
    EXPECT_EQ(model.doubleClickTarget(*folder), QString()) << "a folder that is gone is not opened";
    EXPECT_EQ(model.doubleClickTarget(*model.entryList()[1]), box.path()) << "an event opens its folder";
    EXPECT_EQ(model.doubleClickTarget(*model.entryList()[0]), QString());

    BrowserModel drives(testEnvironment({{"/media/card", "CARD"}}));
    drives.load(kDriveList, nullptr);
    EXPECT_EQ(drives.doubleClickTarget(*drives.entryList()[0]), "/media/card");
}

// A catalog that does not load whole is told about once when its folder is opened: not again when
// the same folder is read again, and again when it is opened anew.
TEST(BrowserEntryList, CatalogCutShortIsToldOncePerOpening) {
    SandBox box;
    addPicture(box, "a.jpg", "Zoo", "", at(2003, 3, 3));
    addPicture(box, "b.jpg", "Zoo", "", at(2003, 3, 4));
    ASSERT_TRUE(Catalog().create(box.path(), true).ok());
    // The count says one more entry than the file holds.
    QByteArray bytes = testsupport::readAll(box.filePath("Snaplore.sidx"));
    bytes[50] = char(bytes[50] + 1);
    ASSERT_TRUE(testsupport::writeAll(box.filePath("Snaplore.sidx"), bytes));
    SandBox other;

    ScriptedPrompter prompter;
    prompter.answer(id::Ok).answer(id::Ok);
    BrowserModel model(testEnvironment());
    model.load(box.path(), &prompter);
    model.load(box.path(), &prompter);
    EXPECT_EQ(model.leftOutLines().size(), 1);
    model.load(other.path(), &prompter);
    EXPECT_TRUE(model.leftOutLines().isEmpty());
    model.load(box.path(), &prompter);
    ASSERT_EQ(prompter.asked().size(), 2);
    EXPECT_TRUE(prompter.asked()[0].text.contains(box.filePath("Snaplore.sidx")))
        << prompter.asked()[0].text.toStdString();
    EXPECT_TRUE(prompter.asked()[0].text.contains("did not load whole"));
    EXPECT_TRUE(prompter.exhausted());
    EXPECT_EQ(testsupport::readAll(box.filePath("Snaplore.sidx")), bytes);
}

// A pipe with a picture's name is never opened (that would wait for a writer): it is named instead.
TEST(BrowserEntryList, PipeWithAPictureNameIsToldNotRead) {
    SandBox box;
    addPicture(box, "a.jpg", "", "", at(2004, 6, 1));
    ASSERT_EQ(::mkfifo(QFile::encodeName(box.filePath("pipe.jpg")).constData(), 0644), 0);
    const EntryListBuild build = BrowserModel::buildEntryList(box.path(), testEnvironment());
    EXPECT_EQ(build.thumbs.size(), 1);
    EXPECT_EQ(build.leftOut, QStringList{"pipe.jpg: not a regular file"});
    EXPECT_TRUE(leftOutMessage(box.path(), {}, build.leftOut).contains("pipe.jpg: not a regular file"));
}

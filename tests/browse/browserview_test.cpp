// The browser as the user meets it: a folder loads off the user-interface thread with progress and
// fills the tree and the strip; selecting a picture opens it, selecting an event only changes the
// strip; flags, double click and Up reach the frame; saves, deletes and the create-catalog question.

#include <gtest/gtest.h>

#include <QDir>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "catalog.h"
#include "filebrowserview.h"
#include "fakeframe.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "snaploredoc.h"
#include "testsupport.h"
#include "thumbview.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

QString eventField(const QString& name) { return QStringLiteral("06/01/2003-->06/01/2003:::") + name; }
QString title(const QString& name) { return QStringLiteral("06/01/2003 ") + name; }

class BrowserViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame_.folder = box_.path();
        frame_.myDocuments = QStringLiteral("/home/u/Documents");
        frame_.myPictures = QStringLiteral("/home/u/Pictures");
        frame_.thumbsView = &thumbs_;
    }

    QString addPicture(const QString& name, const QString& event, const QString& headline, int day) {
        const QString path = box_.copy(testsupport::dataPath(QStringLiteral("Canon_40D.jpg")), name);
        PictureRecord picture(path);
        picture.iptc().event = event.isEmpty() ? QString() : eventField(event);
        picture.iptc().headline = headline;
        picture.iptc().dateTime = QDateTime(QDate(2003, 6, day), QTime(10, 0));
        EXPECT_TRUE(picture.save().ok());
        return path;
    }

    // Loads the frame's folder and waits until the tree shows it.
    void load(CFileBrowserView& view) {
        QSignalSpy finished(&view, &CFileBrowserView::loadFinished);
        view.refreshLocation();
        ASSERT_TRUE(finished.wait(10000));
    }

    QTreeWidgetItem* itemNamed(CFileBrowserView& view, const QString& text) {
        const auto found = view.tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        return found.value(0);
    }

    testsupport::SandBox box_;
    testsupport::SandBox settingsBox_;
    FakeFrame frame_{settingsBox_.filePath("settings.ini")};
    CThumbView thumbs_{frame_};
};

}  // namespace

TEST_F(BrowserViewTest, FolderLoadsWithProgressAndSelectingAPictureOpensIt) {
    addPicture("a.jpg", "", "", 3);
    const QString b = addPicture("b.jpg", "", "Bridge", 2);
    addPicture("c.jpg", "", "", 1);
    QDir(box_.path()).mkdir("Sub");

    CFileBrowserView view(frame_);
    QSignalSpy progress(&view, &CFileBrowserView::loadProgress);
    load(view);
    EXPECT_FALSE(view.isLoading());
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.first().at(1).toInt(), 3) << "the total is the number of pictures";
    EXPECT_EQ(progress.last().at(0).toInt(), 0);
    EXPECT_EQ(progress.last().at(1).toInt(), 0) << "the bar goes away at the end";
    EXPECT_EQ(frame_.statusMarked(), QStringList({"Loading images...*", "Ready"}));

    QTreeWidgetItem* root = view.tree()->topLevelItem(0);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->text(0), QFileInfo(box_.path()).fileName() + " (3/0MB)");
    EXPECT_TRUE(root->isExpanded());
    QStringList children;
    for (int i = 0; i < root->childCount(); ++i) children << root->child(i)->text(0);
    EXPECT_EQ(children, QStringList({"Sub", "c.jpg", "Bridge", "a.jpg"}));
    ASSERT_EQ(thumbs_.list().size(), 3);
    EXPECT_EQ(thumbs_.list(), view.thumbList());

    view.tree()->setCurrentItem(itemNamed(view, "Bridge"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame_.document_.pathName() == b; }));
    EXPECT_EQ(view.tree()->currentItem(), itemNamed(view, "Bridge"));
}

TEST_F(BrowserViewTest, SelectingAnEventOnlyChangesTheStrip) {
    const QString a = addPicture("a.jpg", "Zoo", "Lion", 1);
    addPicture("b.jpg", "Zoo", "", 2);
    addPicture("c.jpg", "Beach", "", 3);
    ASSERT_TRUE(Catalog().create(box_.path(), true).ok());

    CFileBrowserView view(frame_);
    load(view);
    ASSERT_TRUE(view.model().catalogMode());
    QTreeWidgetItem* zoo = itemNamed(view, title("Zoo") + " - 2/0MB");
    ASSERT_TRUE(zoo);
    EXPECT_FALSE(itemNamed(view, "Unknown - 0/0MB")) << "an event without pictures is not shown";

    view.tree()->setCurrentItem(zoo);
    QTest::qWait(50);
    EXPECT_TRUE(frame_.document_.pathName().isEmpty());
    ASSERT_EQ(thumbs_.list().size(), 2);
    EXPECT_EQ(thumbs_.list()[0]->path, a);

    // Flagging the event flags it and every picture under it.
    view.setFlagOnSelected(true);
    EXPECT_TRUE(CFileBrowserView::entryOf(zoo)->flagged);
    for (int i = 0; i < zoo->childCount(); ++i) {
        EXPECT_TRUE(CFileBrowserView::entryOf(zoo->child(i))->flagged);
        // Pictures of an event have data: the mark for both.
        EXPECT_EQ(CFileBrowserView::lookOf(zoo->child(i)).overlay, browser::OverlayFlaggedData);
    }
    EXPECT_EQ(CFileBrowserView::lookOf(zoo).overlay, browser::OverlayFlagged);
    view.setFlagOnSelected(false);
    EXPECT_FALSE(CFileBrowserView::entryOf(zoo->child(1))->flagged);
    EXPECT_EQ(CFileBrowserView::lookOf(zoo->child(1)).overlay, browser::OverlayData);
    EXPECT_EQ(CFileBrowserView::lookOf(zoo).overlay, browser::OverlayNone);
}

TEST_F(BrowserViewTest, ThePopupRunsTheFramesPrintAndSaveCommands) {
    const QString a = addPicture("a.jpg", "Zoo", "Lion", 1);
    addPicture("b.jpg", "Zoo", "", 2);
    ASSERT_TRUE(Catalog().create(box_.path(), true).ok());
    CFileBrowserView view(frame_);
    load(view);
    QTreeWidgetItem* zoo = itemNamed(view, title("Zoo") + " - 2/0MB");
    ASSERT_TRUE(zoo);
    EXPECT_EQ(view.createContextMenu(view.tree()->topLevelItem(0), nullptr), nullptr) << "the folder has no menu";
    ASSERT_TRUE(frame_.document_.OpenPictureFile(a));  // Save as... saves the open picture

    const auto texts = [](const QMenu& menu) {
        QStringList enabled, disabled;
        for (const QAction* action : menu.actions())
            if (!action->isSeparator()) (action->isEnabled() ? enabled : disabled).append(action->text());
        return std::pair{enabled, disabled};
    };
    std::unique_ptr<QMenu> menu(view.createContextMenu(zoo, nullptr));
    ASSERT_TRUE(menu);
    EXPECT_EQ(view.tree()->currentItem(), zoo) << "the item is selected first";
    EXPECT_EQ(texts(*menu).first,
              QStringList({"Set Flag", "Remove Flag", "Print...", "Print Preview...", "Save as..."}));
    const auto run = [&](const QString& text) {
        for (QAction* action : menu->actions())
            if (action->text() == text) action->trigger();
    };
    run("Print...");
    run("Print Preview...");
    run("Save as...");
    EXPECT_EQ(frame_.printRuns, 1);
    EXPECT_EQ(frame_.previewRuns, 1);
    EXPECT_EQ(frame_.saveAsRuns, 1);
    run("Set Flag");
    EXPECT_TRUE(CFileBrowserView::entryOf(zoo)->flagged);

    // Print and Print Preview follow the frame's rule, as its menu does.
    frame_.canPrint = false;
    menu.reset(view.createContextMenu(zoo->child(0), nullptr));
    ASSERT_TRUE(menu);
    EXPECT_EQ(texts(*menu).second, QStringList({"Print...", "Print Preview..."}));
}

// A catalog does not open on an empty strip: the event of the picture last open there is chosen, else
// the newest event.
TEST_F(BrowserViewTest, ACatalogOpensOnTheEventOfThePictureLastOpenThereElseTheNewest) {
    const QString a = addPicture("a.jpg", "Zoo", "Lion", 1);
    const QString b = addPicture("b.jpg", "Zoo", "", 2);
    const QString c = addPicture("c.jpg", "Beach", "", 3);
    addPicture("d.jpg", "", "", 4);  // "Unknown" counts as an old event
    ASSERT_TRUE(Catalog().create(box_.path(), true).ok());
    CFileBrowserView view(frame_);
    const auto paths = [&] {
        QStringList list;
        for (const BrowserEntry* entry : thumbs_.list()) list << entry->path;
        return list;
    };

    load(view);
    QTreeWidgetItem* beach = itemNamed(view, title("Beach") + " - 1/0MB");
    ASSERT_TRUE(beach);
    EXPECT_EQ(view.tree()->currentItem(), beach);
    EXPECT_TRUE(beach->isExpanded());
    EXPECT_EQ(paths(), QStringList{c});
    EXPECT_TRUE(frame_.document_.pathName().isEmpty()) << "choosing the event opens no picture";

    // Once a picture of the Zoo was open here, the next opening shows the Zoo.
    ASSERT_TRUE(frame_.document_.OpenPictureFile(b));
    QCoreApplication::processEvents();
    frame_.document_.ClosePicture();
    load(view);
    QTreeWidgetItem* zoo = itemNamed(view, title("Zoo") + " - 2/0MB");
    ASSERT_TRUE(zoo);
    EXPECT_EQ(view.tree()->currentItem(), zoo);
    EXPECT_EQ(paths(), (QStringList{a, b}));

    // A picture of this place that is gone by now leaves the newest event again.
    ASSERT_TRUE(QFile::remove(b) && QFile::remove(a));
    ASSERT_TRUE(Catalog().create(box_.path(), true).ok());
    load(view);
    EXPECT_EQ(view.tree()->currentItem(), itemNamed(view, title("Beach") + " - 1/0MB"));
}

// F5 reads the catalog again and keeps the event the user chose, rather than the one a catalog opens on.
TEST_F(BrowserViewTest, ReloadReadsTheCatalogAgainAndKeepsTheSelectedEvent) {
    const QString a = addPicture("a.jpg", "Zoo", "Lion", 1);
    const QString b = addPicture("b.jpg", "Zoo", "", 2);
    addPicture("c.jpg", "Beach", "", 3);
    ASSERT_TRUE(Catalog().create(box_.path(), true).ok());
    CFileBrowserView view(frame_);
    load(view);
    ASSERT_EQ(view.tree()->currentItem(), itemNamed(view, title("Beach") + " - 1/0MB"));
    view.tree()->setCurrentItem(itemNamed(view, title("Zoo") + " - 2/0MB"));

    const QString e = addPicture("e.jpg", "Zoo", "", 4);
    ASSERT_TRUE(Catalog().create(box_.path(), true).ok());
    QSignalSpy finished(&view, &CFileBrowserView::loadFinished);
    view.reload();
    ASSERT_TRUE(finished.wait(10000));
    QTreeWidgetItem* zoo = itemNamed(view, title("Zoo") + " - 3/0MB");
    ASSERT_TRUE(zoo);
    EXPECT_EQ(view.tree()->currentItem(), zoo);
    QStringList shown;
    for (const BrowserEntry* entry : thumbs_.list()) shown << entry->path;
    EXPECT_EQ(shown, QStringList({a, b, e}));
    EXPECT_TRUE(frame_.document_.pathName().isEmpty());
    EXPECT_TRUE(frame_.prompter_.asked().isEmpty());
}

TEST_F(BrowserViewTest, DoubleClickAndUpReachTheFrame) {
    QDir(box_.path()).mkdir("Sub");
    CFileBrowserView view(frame_);
    load(view);
    QTreeWidgetItem* sub = itemNamed(view, "Sub");
    ASSERT_TRUE(sub);
    view.tree()->setCurrentItem(sub);
    emit view.tree()->itemDoubleClicked(sub, 0);
    EXPECT_EQ(frame_.opened, QStringList{box_.path() + "/Sub"});

    frame_.folder = box_.path();
    load(view);
    view.upOneLevel();
    EXPECT_EQ(frame_.opened.last(), QFileInfo(box_.path()).absolutePath());
}

TEST_F(BrowserViewTest, SaveDeleteAndTheCreateCatalogQuestion) {
    const QString a = addPicture("a.jpg", "Zoo", "", 1);
    const QString b = addPicture("b.jpg", "", "", 2);
    CFileBrowserView view(frame_);
    load(view);

    // b gets data: every picture has data now, so the question comes after the save.
    PictureRecord edited(b);
    edited.iptc().headline = "Boat";
    ASSERT_TRUE(edited.save().ok());
    frame_.prompter_.answer(id::Yes);
    view.savedPictureRefresh(b);
    EXPECT_TRUE(itemNamed(view, "Boat"));
    EXPECT_EQ(frame_.prompter_.askedTexts(),
              QStringList{"All your pictures now have data.  Would you like to create the Catalog now?"});
    EXPECT_EQ(frame_.catalogsCreated, 1);
    view.documentChanged();
    EXPECT_EQ(frame_.prompter_.asked().size(), 1) << "asked once per folder after Yes";

    view.removePicture(a);
    EXPECT_FALSE(itemNamed(view, "a.jpg"));
    ASSERT_EQ(view.thumbList().size(), 1);
    EXPECT_EQ(thumbs_.list(), view.thumbList());
    EXPECT_EQ(view.entryList().size(), 3u);  // root, "Unknown", b
    EXPECT_TRUE(view.tree()->topLevelItem(0)->text(0).endsWith("(1/0MB)")) << "the folder's count follows";
}

TEST_F(BrowserViewTest, ASecondLoadReplacesOneStillRunning) {
    addPicture("a.jpg", "", "", 1);
    testsupport::SandBox other;
    other.copy(testsupport::dataPath("Canon_40D.jpg"), "x.jpg");
    other.copy(testsupport::dataPath("Canon_40D.jpg"), "y.jpg");

    CFileBrowserView view(frame_);
    QSignalSpy finished(&view, &CFileBrowserView::loadFinished);
    view.refreshLocation();
    frame_.folder = other.path();
    view.refreshLocation();
    ASSERT_TRUE(finished.wait(10000));
    QTest::qWait(100);
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(view.model().location(), other.path());
    EXPECT_EQ(view.thumbList().size(), 2);
}

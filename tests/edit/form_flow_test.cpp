// The road of one edit in the window, end to end: a catalogued folder of corpus pictures is opened, a
// picture selected in the browser, a headline typed, a person and a place dropped from the options
// tree, and Save Next pressed. The file then carries the data (read back by the picture reader and by
// exiftool), keeps its modification time, the catalog and the browser show the new data, and the next
// picture is open. Save Copy Next gives the next picture the data with its own date taken.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "../ui/uitesthelpers.h"
#include "catalog.h"
#include "commandtable.h"
#include "filebrowserview.h"
#include "mainframe.h"
#include "optionsstore.h"
#include "optionstreectrl.h"
#include "picdataview.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "snaploredoc.h"
#include "testsupport.h"
#include "thumbview.h"
#include "toolbarpicdata.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

constexpr int kLoadMs = 20000;

class FormFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString corpus = testsupport::corpusDir();
        if (corpus.isEmpty()) GTEST_SKIP() << "no corpus on this machine";
        folder_ = box_.filePath("pictures");
        ASSERT_TRUE(QDir().mkpath(folder_));
        const QStringList sources = {"exif-samples/Canon_40D.jpg", "exif-samples/Canon_DIGITAL_IXUS_400.jpg",
                                     "exif-samples/Canon_PowerShot_S40.jpg"};
        for (int i = 0; i < sources.size(); ++i)
            ASSERT_TRUE(QFile::copy(corpus + "/" + sources[i], folder_ + QStringLiteral("/%1.jpg").arg(char('a' + i))));
        // Older than the test, so that a kept modification time is told from a new one.
        for (const QString& name : QDir(folder_).entryList({"*.jpg"})) {
            QFile file(folder_ + "/" + name);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5)), QFileDevice::FileModificationTime));
        }
        ASSERT_TRUE(Catalog().create(folder_, true).ok());

        OptionsStore options(store_);
        ASSERT_TRUE(options.addPerson("Family", "Berg", "Anna"));
        ASSERT_TRUE(options.addPlace("USA", "Texas", "Austin", "Zilker Park"));

        frame_ = std::make_unique<CMainFrame>(store_, prompter_, box_.filePath("tmp"));
        frame_->show();
        QSignalSpy loaded(frame_->browser(), &CFileBrowserView::loadFinished);
        frame_->OpenFolder(folder_);
        ASSERT_TRUE(loaded.wait(kLoadMs) || !loaded.isEmpty());
    }
    void TearDown() override {
        if (frame_) frame_->document().setModified(false);
    }

    QTreeWidgetItem* pictureItem(const QString& name) {
        for (QTreeWidgetItemIterator it(frame_->browser()->tree()); *it; ++it) {
            const BrowserEntry* entry = CFileBrowserView::entryOf(*it);
            if (entry && entry->kind == EntryKind::Picture && QFileInfo(entry->path).fileName() == name) return *it;
        }
        return nullptr;
    }
    QString path(const QString& name) const { return folder_ + "/" + name; }
    // Selects the picture in the browser as a person does: it opens, and the strip shows its event.
    void selectPicture(const QString& name) {
        QTreeWidgetItem* item = pictureItem(name);
        ASSERT_NE(item, nullptr);
        frame_->browser()->tree()->setCurrentItem(item);
        ASSERT_TRUE(uitest::waitFor([&] { return document().pathName() == path(name); }));
    }
    CPicDataView& form() { return *frame_->picDataView(); }
    CSnaploreDoc& document() { return frame_->document(); }

    testsupport::SandBox box_;
    SettingsStore store_{box_.filePath("settings.ini")};
    ScriptedPrompter prompter_;
    QString folder_;
    std::unique_ptr<CMainFrame> frame_;
};

QString exiftool(const QString& file, const QStringList& tags) {
    const QString program = QStandardPaths::findExecutable("exiftool");
    if (program.isEmpty()) return {};
    QProcess process;
    QStringList arguments{"-s3", "-charset", "iptc=UTF8"};
    for (const QString& tag : tags) arguments.append("-IPTC:" + tag);
    arguments.append(file);
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

}  // namespace

TEST_F(FormFlowTest, CaptionAPictureAndSaveNext) {
    ASSERT_NO_FATAL_FAILURE(selectPicture("a.jpg"));
    EXPECT_EQ(form().control<QLineEdit>(CPicDataView::FileName)->text(), "a.jpg");
    const QDateTime modifiedBefore = QFileInfo(path("a.jpg")).lastModified();
    const QString next = frame_->thumbView()->NextPath();
    ASSERT_FALSE(next.isEmpty());

    // Type a headline; the picture data toolbar follows.
    auto* headline = form().control<QLineEdit>(CPicDataView::Headline);
    headline->setFocus();
    QTest::keyClicks(headline, "Harbour at dusk");
    EXPECT_TRUE(document().isModified());
    EXPECT_EQ(frame_->pictureDataBar()->headlineEdit()->text(), "Harbour at dusk");

    // A person and a place from the options tree, dropped on the form.
    frame_->action(cmd::ViewOptions)->trigger();
    COptionsTreeCtrl* tree = frame_->optionsTree();
    ASSERT_TRUE(frame_->browser()->optionsVisible());
    tree->expandAll();
    QTreeWidgetItem* anna = tree->findItem({"Person", "Family", "Berg", "Anna"});
    QTreeWidgetItem* park = tree->findItem({"Place", "USA", "Texas", "Austin", "Zilker Park"});
    ASSERT_TRUE(anna && park);
    tree->scrollToItem(anna);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(anna).center());
    tree->scrollToItem(park);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::ControlModifier, tree->visualItemRect(park).center());
    ASSERT_EQ(tree->selectedList(), (QList<QTreeWidgetItem*>{anna, park}));
    ASSERT_TRUE(tree->dropSelectionOn(form().control(CPicDataView::Caption)));
    EXPECT_EQ(form().people(), QStringList{"Anna Berg"});
    EXPECT_EQ(frame_->pictureDataBar()->peopleCount()->text(), "1");

    frame_->action(cmd::SaveNext)->trigger();
    EXPECT_TRUE(prompter_.asked().isEmpty()) << prompter_.askedTexts().join(" | ").toStdString();

    // The file carries the data, and its modification time is kept.
    const PictureRecord saved(path("a.jpg"));
    EXPECT_EQ(saved.iptc().headline, "Harbour at dusk");
    EXPECT_EQ(saved.iptc().people, QStringList{"Anna Berg"});
    EXPECT_EQ(saved.iptc().location, "Zilker Park");
    EXPECT_EQ(saved.iptc().city, "Austin");
    EXPECT_EQ(saved.iptc().country, "USA");
    // The rating was not touched: the picture had none and still has none, whatever the list shows.
    EXPECT_EQ(saved.iptc().rating, "");
    EXPECT_EQ(QFileInfo(path("a.jpg")).lastModified(), modifiedBefore);
    const QString tool = exiftool(path("a.jpg"), {"Headline", "Keywords", "Sub-location", "Province-State"});
    if (!tool.isEmpty()) {
        EXPECT_EQ(tool, "Harbour at dusk\nAnna Berg\nZilker Park\nTexas");
    }

    // The catalog holds the new data once its write in the background is done, the browser shows the
    // headline, and the next picture is open.
    document().finishCatalogWrites();
    Catalog catalog;
    ASSERT_TRUE(catalog.load(folder_));
    bool found = false;
    for (const auto& picture : catalog.pictures()) {
        if (QFileInfo(picture->filePath()).fileName() != "a.jpg") continue;
        found = true;
        EXPECT_EQ(picture->iptc().headline, "Harbour at dusk");
    }
    EXPECT_TRUE(found);
    QTreeWidgetItem* shown = pictureItem("a.jpg");
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text(0), "Harbour at dusk");
    EXPECT_EQ(document().pathName(), next);
    EXPECT_EQ(form().headline(), PictureRecord(next).iptc().headline);
    EXPECT_FALSE(document().isModified());
}

TEST_F(FormFlowTest, SaveCopyNextGivesTheDataWithTheNextPicturesOwnDate) {
    ASSERT_NO_FATAL_FAILURE(selectPicture("a.jpg"));
    const QStringList paths = [&] {
        QStringList list;
        for (const BrowserEntry* entry : frame_->thumbView()->list()) list.append(entry->path);
        return list;
    }();
    ASSERT_EQ(paths.size(), 3);
    ASSERT_TRUE(document().OpenPictureFile(paths[0]));
    form().SetHeadline("Regatta");
    form().AddPerson("Anna Berg");
    form().control<QComboBox>(CPicDataView::Rating)->setCurrentIndex(0);

    frame_->action(cmd::SaveCopyNext)->trigger();
    ASSERT_EQ(document().pathName(), paths[1]);
    EXPECT_EQ(form().headline(), "Regatta");
    EXPECT_EQ(form().people(), QStringList{"Anna Berg"});
    EXPECT_EQ(form().ratingIndex(), 0);
    EXPECT_TRUE(document().isModified());
    EXPECT_TRUE(PictureRecord(paths[1]).iptc().headline.isEmpty());  // not saved by the command

    const QDateTime ownDate = PictureRecord(paths[1]).dateTime();
    frame_->action(cmd::Save)->trigger();
    const PictureRecord second(paths[1]);
    EXPECT_EQ(second.iptc().headline, "Regatta");
    EXPECT_EQ(second.iptc().rating, "1");
    EXPECT_EQ(second.iptc().dateTime.date(), ownDate.date());
    EXPECT_EQ(second.iptc().dateTime.time().toString("HHmmss"), ownDate.time().toString("HHmmss"));
    EXPECT_NE(second.iptc().dateTime, PictureRecord(paths[0]).iptc().dateTime);
}

TEST_F(FormFlowTest, FormCommandsFromTheMenu) {
    ASSERT_TRUE(document().OpenPictureFile(path("b.jpg")));
    frame_->updateActions();
    form().AddPerson("Anna Berg");
    form().AddPerson("Olaf Berg");
    form().SetHeadline("Picnic");
    frame_->action(cmd::SmartHeadline)->trigger();
    EXPECT_EQ(form().headline(), "Anna & Olaf Picnic");
    frame_->action(cmd::RemoveAllPeople)->trigger();
    EXPECT_TRUE(form().people().isEmpty());
    frame_->action(cmd::Rotate)->trigger();
    EXPECT_EQ(document().picture()->iptc().instructions, "Rotate:90");

    // Ctrl+F1..Ctrl+F12 reach the options tree.
    store_.writeDword("Options\\Person\\Family\\Berg\\00Anna", "hotkey", 112);
    frame_->optionsTree()->Reload();
    frame_->action(cmd::HotKeyFirst)->trigger();
    EXPECT_EQ(form().people(), QStringList{"Anna Berg"});

    // The form's own Save button runs the frame's save.
    form().control<QAbstractButton>(CPicDataView::SaveButton)->click();
    EXPECT_EQ(PictureRecord(path("b.jpg")).iptc().headline, "Anna & Olaf Picnic");
    EXPECT_EQ(PictureRecord(path("b.jpg")).iptc().instructions, "Rotate:90");
}

// A picture the camera turned (orientation 6) turns from where it is shown: three rotates stand it
// upright ("Rotate:360"), and the picture read again shows it so.
TEST_F(FormFlowTest, RotateTurnsACameraTurnedPictureFromWhereItStands) {
    const QString turned = box_.copy(testsupport::dataPath("iptc_repeated.jpg"), "turned.jpg");
    ASSERT_TRUE(document().OpenPictureFile(turned));
    ASSERT_EQ(document().picture()->rotation(), 90);
    frame_->updateActions();
    QStringList seen;
    for (int i = 0; i < 3; ++i) {
        frame_->action(cmd::Rotate)->trigger();
        seen << document().picture()->iptc().instructions;
    }
    EXPECT_EQ(seen, (QStringList{"Rotate:180", "Rotate:270", "Rotate:360"}));
    EXPECT_EQ(document().picture()->rotation(), 0);
    frame_->action(cmd::Save)->trigger();
    EXPECT_EQ(PictureRecord(turned).rotation(), 0);
}

// The main window's flows, with the scripted prompter answering every question.
#include "mainframe.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUuid>

#include <functional>

#include "../ui/uitesthelpers.h"
#include "catalog.h"
#include "commandtable.h"
#include "copytoalldlg.h"
#include "exporthtmldlg.h"
#include "filebrowserview.h"
#include "picdataview.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "singleinstance.h"
#include "snaploreapp.h"
#include "search.h"
#include "snaploredoc.h"
#include "testsupport.h"
#include "thumbstrip.h"
#include "thumbview.h"

namespace {

constexpr int kLoadMs = 20000;

// A folder of copies of one camera picture without picture data, a settings file and a window.
class FrameTest : public ::testing::Test {
protected:
    QString makeFolder(const QStringList& names) {
        folder_ = box_.filePath("pictures");
        QDir().mkpath(folder_);
        for (const QString& name : names) QFile::copy(testsupport::dataPath("Canon_40D.jpg"), folder_ + "/" + name);
        return folder_;
    }

    CMainFrame& openFrame(const QStringList& names) {
        makeFolder(names);
        frame_ = std::make_unique<CMainFrame>(store_, prompter_, box_.filePath("tmp"));
        frame_->show();
        EXPECT_TRUE(reloads([&] { frame_->OpenFolder(folder_); }));
        return *frame_;
    }

    // Runs `action` and waits until the browser has read the folder again.
    template <class Action>
    bool reloads(Action action) {
        QSignalSpy loaded(frame_->browser(), &CFileBrowserView::loadFinished);
        action();
        return loaded.wait(kLoadMs) || !loaded.isEmpty();
    }

    QString path(const QString& name) const { return folder_ + "/" + name; }
    CSnaploreDoc& document() { return frame_->document(); }
    QStringList thumbPaths() {
        QStringList paths;
        for (const BrowserEntry* entry : frame_->thumbView()->list()) paths.append(entry->path);
        return paths;
    }

    testsupport::SandBox box_;
    SettingsStore store_{box_.filePath("settings.ini")};
    ScriptedPrompter prompter_;
    QString folder_;
    std::unique_ptr<CMainFrame> frame_;
};

QTreeWidgetItem* pictureItem(CFileBrowserView& browser, const QString& name) {
    for (QTreeWidgetItemIterator it(browser.tree()); *it; ++it) {
        const BrowserEntry* entry = CFileBrowserView::entryOf(*it);
        if (entry && entry->kind == EntryKind::Picture && QFileInfo(entry->path).fileName() == name) return *it;
    }
    return nullptr;
}

bool writable(const QString& path) { return QFile::permissions(path) & QFileDevice::WriteOwner; }

}  // namespace

TEST_F(FrameTest, StartsOnTheFolderOfTheCommandLineAndOpensASelectedPicture) {
    makeFolder({"a.jpg", "b.jpg"});
    startup::setLastDirectory(store_, box_.path());  // the command line wins over the last folder
    SnaploreApp app(store_, prompter_);
    SnaploreApp::Options options;
    options.arguments = {folder_};
    options.ownPath = box_.filePath("snaplore");
    options.instanceName = "snaplore-test-" + QUuid::createUuid().toString(QUuid::Id128);
    options.environment = [this](const char* name) { return QString(name) == "TEMP" ? box_.path() : QString(); };
    options.splash = false;
    ASSERT_EQ(app.initInstance(options), SnaploreApp::Start::Running);
    CMainFrame& frame = *app.frame();
    EXPECT_EQ(frame.windowTitle(), "Snaplore");
    EXPECT_EQ(frame.currentFolder(), folder_);
    ASSERT_TRUE(uitest::waitFor([&] { return frame.thumbView()->hasPictures(); }, kLoadMs));

    QTreeWidgetItem* item = pictureItem(*frame.browser(), "b.jpg");
    ASSERT_NE(item, nullptr);
    frame.browser()->tree()->setCurrentItem(item);
    ASSERT_TRUE(uitest::waitFor([&] { return frame.document().pathName() == path("b.jpg"); }));
    CPicDataView& form = *frame.picDataView();
    EXPECT_EQ(form.control<QLineEdit>(CPicDataView::FileName)->text(), "b.jpg");
    EXPECT_EQ(form.control<QLineEdit>(CPicDataView::Directory)->text(), folder_);
    EXPECT_EQ(form.sizeText(), "100% (100x68) 0.0MP");

    // The end: the folder shown is stored and the temporary folder emptied.
    ASSERT_TRUE(testsupport::writeAll(app.temporaryFolder() + "/beach.1.jpg", "x"));
    app.exitInstance();
    EXPECT_EQ(startup::lastDirectory(store_), folder_);
    EXPECT_FALSE(QFile::exists(box_.filePath("SnaploreTemp/beach.1.jpg")));
    EXPECT_EQ(store_.readString("Settings", "ProgramLocation"), box_.filePath("snaplore"));
    EXPECT_TRUE(store_.valueExists("SplitterWnd", "Panes_0"));
    EXPECT_TRUE(store_.valueExists("SplitterWnd", "Panes_1"));
}

TEST_F(FrameTest, ACdStartHandsOverToTheRunningInstance) {
    makeFolder({"a.jpg"});
    const QString name = "snaplore-test-" + QUuid::createUuid().toString(QUuid::Id128);
    const auto optionsFor = [&](const QStringList& arguments) {
        SnaploreApp::Options options;
        options.arguments = arguments;
        options.ownPath = box_.filePath("snaplore");
        options.instanceName = name;
        options.environment = [this](const char*) { return box_.path(); };
        options.splash = false;
        return options;
    };
    SnaploreApp running(store_, prompter_);
    ASSERT_EQ(running.initInstance(optionsFor({folder_})), SnaploreApp::Start::Running);

    SettingsStore secondStore(box_.filePath("second.ini"));
    ScriptedPrompter secondPrompter;
    SnaploreApp second(secondStore, secondPrompter);
    EXPECT_EQ(second.initInstance(optionsFor({"-CDLAUNCH"})), SnaploreApp::Start::HandedOver);
    EXPECT_EQ(second.frame(), nullptr);
    EXPECT_TRUE(secondPrompter.asked().isEmpty());

    // The disc's autorun names the disc's folder: the running instance opens it.
    const QString disc = box_.filePath("disc");
    QDir().mkpath(disc);
    SnaploreApp third(secondStore, secondPrompter);
    EXPECT_EQ(third.initInstance(optionsFor({"-cdlaunch", disc})), SnaploreApp::Start::HandedOver);
    EXPECT_TRUE(uitest::waitFor([&] { return running.frame()->currentFolder() == disc; }));
    running.exitInstance();
}

TEST_F(FrameTest, ACdStartWithoutInstallationRunsThisCopyOnTheDiscsFolder) {
    store_.writeString("Settings", "ProgramLocation", box_.filePath("not-installed/snaplore"));
    // Started from the disc: its current folder; through the disc's autorun script: the folder named.
    const struct {
        QStringList arguments;
        QString folder;
    } cases[] = {{{"-cdlaunch"}, QDir::currentPath()}, {{"-cdlaunch", box_.path()}, box_.path()}};
    for (const auto& c : cases) {
        SnaploreApp app(store_, prompter_);
        SnaploreApp::Options options;
        options.arguments = c.arguments;
        options.ownPath = box_.filePath("snaplore");
        options.instanceName = "snaplore-test-" + QUuid::createUuid().toString(QUuid::Id128);
        options.environment = [this](const char*) { return box_.path(); };
        options.splash = false;
        ASSERT_EQ(app.initInstance(options), SnaploreApp::Start::Running);
        EXPECT_EQ(app.startFolder(), c.folder);
        EXPECT_EQ(app.frame()->currentFolder(), c.folder);
        EXPECT_TRUE(app.instance()->isListening());
        app.exitInstance();
    }
}

TEST_F(FrameTest, SaveNextOnTheLastPictureOpensTheFirst) {
    openFrame({"a.jpg", "b.jpg", "c.jpg"});
    const QStringList paths = thumbPaths();
    ASSERT_EQ(paths.size(), 3);
    ASSERT_TRUE(document().OpenPictureFile(paths.last()));
    frame_->SaveNext();
    EXPECT_EQ(document().pathName(), paths.first());
    frame_->SaveNext();
    EXPECT_EQ(document().pathName(), paths[1]);
    EXPECT_TRUE(prompter_.asked().isEmpty());
}

TEST_F(FrameTest, SaveCopyNextGivesTheDataToTheNextPictureUnsaved) {
    openFrame({"a.jpg", "b.jpg", "c.jpg"});
    const QStringList paths = thumbPaths();
    ASSERT_TRUE(document().OpenPictureFile(paths[0]));
    CPicDataView& form = *frame_->picDataView();
    form.SetHeadline("Harbour at dusk");
    form.AddPerson("Anna");
    form.AddPerson("Ben");
    frame_->SaveCopyNext();
    ASSERT_EQ(document().pathName(), paths[1]);
    EXPECT_EQ(form.headline(), "Harbour at dusk");
    EXPECT_TRUE(document().isModified());
    EXPECT_EQ(form.people(), (QStringList{"Anna", "Ben"}));
    EXPECT_EQ(PictureRecord(paths[0]).iptc().headline, "Harbour at dusk");
    EXPECT_TRUE(PictureRecord(paths[1]).iptc().headline.isEmpty());  // not saved by the command
    document().setModified(false);
}

// At the first start (no layout saved) a catalog's event title shows whole beside its icon, and the
// event the catalog opens on fills the strip.
TEST_F(FrameTest, AtTheFirstStartTheTreeHasRoomForAnEventTitle) {
    makeFolder({"a.jpg"});
    PictureRecord picture(path("a.jpg"));
    picture.iptc().event = "05/01/2004-->05/02/2004:::Harbour festival";
    ASSERT_TRUE(picture.save().ok());
    ASSERT_TRUE(Catalog().create(folder_, false).ok());
    openFrame({"a.jpg"});
    frame_->resize(1024, 700);
    QCoreApplication::processEvents();

    QTreeWidget* tree = frame_->browser()->tree();
    QTreeWidgetItem* event = tree->currentItem();
    ASSERT_NE(event, nullptr);
    ASSERT_EQ(CFileBrowserView::entryOf(event)->kind, EntryKind::Event);
    EXPECT_TRUE(event->text(0).startsWith("05/01-02/2004 Harbour festival - 1/")) << event->text(0).toStdString();
    const QRect row = tree->visualItemRect(event);
    const int needed = tree->iconSize().width() + tree->fontMetrics().horizontalAdvance(event->text(0)) + 8;
    EXPECT_LE(row.left() + needed, tree->viewport()->width());
    EXPECT_EQ(thumbPaths(), QStringList{path("a.jpg")});
}

TEST_F(FrameTest, DeletingAsksAndMovesAway) {
    const testsupport::TemporaryHome home(box_.filePath("home"));
    struct Case {
        QStringList names;
        QString open;
        int answer;
        QString openAfter;  // empty: no picture open
        bool deleted;
    };
    const Case cases[] = {
        {{"a.jpg"}, "a.jpg", id::Yes, "", true},                // the only one: an empty document
        {{"a.jpg", "b.jpg"}, "b.jpg", id::Yes, "a.jpg", true},  // the last one: the previous one
        {{"a.jpg", "b.jpg"}, "a.jpg", id::Yes, "b.jpg", true},
        {{"a.jpg", "b.jpg"}, "a.jpg", id::No, "a.jpg", false},
        {{"a.jpg", "b.jpg"}, "a.jpg", id::Cancel, "a.jpg", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.names.join(',').toStdString() + " " + c.open.toStdString());
        frame_.reset();
        QDir(box_.filePath("pictures")).removeRecursively();
        prompter_ = ScriptedPrompter();
        openFrame(c.names);
        ASSERT_TRUE(document().OpenPictureFile(path(c.open)));
        prompter_.answer(c.answer);
        frame_->DeletePicture();
        ASSERT_EQ(prompter_.askedTexts(), QStringList{"Are you sure you want to delete picture " + c.open +
                                                      "\n\nIt goes to the trash, from where it can be restored."});
        EXPECT_EQ(prompter_.asked()[0].caption, "Are you sure?");
        EXPECT_EQ(QFile::exists(path(c.open)), !c.deleted);
        EXPECT_EQ(document().pathName(), c.openAfter.isEmpty() ? QString() : path(c.openAfter));
        EXPECT_EQ(document().picture() == nullptr, c.openAfter.isEmpty());
        EXPECT_EQ(thumbPaths().contains(path(c.open)), !c.deleted);
    }
}

TEST_F(FrameTest, ADeletedPictureGoesToTheTrashAndOnlyAConfirmedDeleteIsForGood) {
    struct Case {
        const char* name;
        bool trash;  // a trash can be set up in the home folder
        QList<int> answers;
        bool gone;  // from the folder, the strip and the catalog
    };
    const Case cases[] = {
        {"to the trash", true, {id::Yes}, true},
        {"no trash: deleted for good", false, {id::Yes, id::Yes}, true},
        {"no trash: kept", false, {id::Yes, id::No}, false},
        {"no trash: cancelled", false, {id::Yes, id::Cancel}, false},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        frame_.reset();
        QDir(box_.filePath("pictures")).removeRecursively();
        prompter_ = ScriptedPrompter();
        const QString homePath = box_.filePath(QStringLiteral("home%1").arg(++run));
        const testsupport::TemporaryHome home(homePath, c.trash);
        makeFolder({"a.jpg", "b.jpg"});
        ASSERT_TRUE(Catalog().create(folder_, false).ok());
        openFrame({"a.jpg", "b.jpg"});
        ASSERT_TRUE(document().OpenPictureFile(path("a.jpg")));
        const QByteArray bytes = testsupport::readAll(path("a.jpg"));

        for (int answer : c.answers) prompter_.answer(answer);
        frame_->DeletePicture();
        const QList<ScriptedPrompter::Question> asked = prompter_.asked();
        ASSERT_EQ(asked.size(), c.answers.size());
        EXPECT_TRUE(asked[0].text.contains("It goes to the trash")) << asked[0].text.toStdString();
        if (!c.trash) {
            EXPECT_TRUE(asked[1].text.startsWith("The trash cannot take picture a.jpg ("))
                << asked[1].text.toStdString();
            EXPECT_TRUE(asked[1].text.endsWith("Delete it for good? It cannot be restored."));
            EXPECT_EQ(asked[1].caption, "Delete for good?");
            EXPECT_EQ(asked[1].flags, mb::YesNoCancel | mb::IconExclamation | mb::DefButton2);
        }
        // Only the home's trash holds it; nothing is put anywhere else.
        const QString trashed = testsupport::TemporaryHome::trashed(homePath, "a.jpg");
        EXPECT_EQ(QFile::exists(trashed), c.trash);
        if (c.trash) {
            EXPECT_EQ(testsupport::readAll(trashed), bytes);
            EXPECT_TRUE(QFile::exists(homePath + "/.local/share/Trash/info/a.jpg.trashinfo"));
        }
        EXPECT_FALSE(QFileInfo::exists(QDir::currentPath() + "/files/a.jpg"));
        EXPECT_EQ(QFile::exists(path("a.jpg")), !c.gone);
        EXPECT_EQ(document().pathName(), path(c.gone ? "b.jpg" : "a.jpg"));
        document().finishCatalogWrites();
        Catalog catalog;
        ASSERT_TRUE(catalog.load(folder_));
        EXPECT_EQ(catalog.count(), c.gone ? 1 : 2);
        frame_.reset();
    }
}

TEST_F(FrameTest, ALockedPictureIsWrittenOnlyAfterUnlockingAndReLockedOnlyOnYes) {
    struct Case {
        int unlock;
        int relock;  // 0: not asked
        bool written;
        bool lockedAfter;
    };
    const Case cases[] = {
        {id::No, 0, false, true},       {id::Cancel, 0, false, true},       {id::Yes, id::Yes, true, true},
        {id::Yes, id::No, true, false}, {id::Yes, id::Cancel, true, false},
    };
    openFrame({"a.jpg", "b.jpg"});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.unlock << "/" << c.relock);
        prompter_ = ScriptedPrompter();
        const QString file = path("a.jpg");
        QFile::copy(testsupport::dataPath("Canon_40D.jpg"), file + ".new");
        QFile::remove(file);
        QFile::rename(file + ".new", file);
        ASSERT_TRUE(
            QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        ASSERT_TRUE(document().OpenPictureFile(file));
        ASSERT_TRUE(document().picture()->locked());
        frame_->picDataView()->SetHeadline("Locked harbour");

        prompter_.answer(c.unlock);
        if (c.relock) prompter_.answer(c.relock);
        EXPECT_EQ(frame_->SavePicture(), c.written);
        QStringList expected{"Picture is locked.  Do you wish to unlock it?"};
        if (c.relock) expected.append("Picture was previously locked.  Do you wish to re-lock it?");
        EXPECT_EQ(prompter_.askedTexts(), expected);
        EXPECT_EQ(prompter_.asked()[0].caption, "Unlock?");
        if (c.relock) {
            EXPECT_EQ(prompter_.asked()[1].caption, "Lock?");
        }

        EXPECT_EQ(PictureRecord(file).iptc().headline == "Locked harbour", c.written);
        EXPECT_EQ(!writable(file), c.lockedAfter);
        EXPECT_EQ(QFile::permissions(file) & (QFileDevice::WriteGroup | QFileDevice::WriteOther), 0);
        document().setModified(false);
        QFile::setPermissions(file, QFile::permissions(file) | QFileDevice::WriteOwner);
    }
}

TEST_F(FrameTest, AnArchivedPictureCannotBeSaved) {
    openFrame({"a.jpg"});
    ASSERT_TRUE(document().OpenPictureFile(path("a.jpg")));
    document().picture()->archiveLocation = "/media/cdrom/";
    prompter_.answer(id::Ok);
    EXPECT_FALSE(frame_->SavePicture());
    EXPECT_EQ(prompter_.askedTexts(), QStringList{"Cannot save a file when the catalog has been Archived."});
    EXPECT_EQ(prompter_.asked()[0].caption, "Error!");
    document().setModified(false);
}

TEST_F(FrameTest, CreateAndRemoveCatalog) {
    openFrame({"a.jpg", "b.jpg"});
    prompter_.answer(id::Ok);
    EXPECT_TRUE(reloads([&] { frame_->createCatalog(); }));
    EXPECT_EQ(prompter_.askedTexts(), QStringList{"Catalog Created"});
    EXPECT_EQ(prompter_.asked()[0].flags & 0xF0, unsigned(mb::IconInformation));
    EXPECT_NE(Catalog::version(folder_), 0);
    frame_->updateActions();
    EXPECT_TRUE(frame_->action(cmd::CatalogRemove)->isEnabled());
    EXPECT_TRUE(frame_->action(cmd::CatalogArchive)->isEnabled());

    prompter_ = ScriptedPrompter();
    prompter_.answer(id::Ok);
    EXPECT_TRUE(reloads([&] { frame_->removeCatalog(); }));
    EXPECT_EQ(prompter_.askedTexts(), QStringList{"Catalog Removed"});
    EXPECT_EQ(Catalog::version(folder_), 0);
    EXPECT_EQ(QFileInfo(folder_ + "/Snaplore.sidx").size(), 0);
    frame_->updateActions();
    EXPECT_FALSE(frame_->action(cmd::CatalogRemove)->isEnabled());

    // Without a catalog, Remove asks nothing and only reloads.
    prompter_ = ScriptedPrompter();
    EXPECT_TRUE(reloads([&] { frame_->removeCatalog(); }));
    EXPECT_TRUE(prompter_.asked().isEmpty());
}

TEST_F(FrameTest, CreateKeepsTheEntriesOfPicturesMovedToADisc) {
    openFrame({"a.jpg", "b.jpg"});
    ASSERT_TRUE(Catalog().create(folder_, true).ok());
    ASSERT_TRUE(Catalog().rewriteArchive(folder_, "CD0002", "/media/cdrom/").ok());
    ASSERT_TRUE(QFile::remove(path("b.jpg")));
    prompter_.answer(id::Ok);
    reloads([&] { frame_->createCatalog(); });
    ASSERT_EQ(prompter_.asked().size(), 1);
    EXPECT_TRUE(prompter_.asked()[0].text.startsWith("Catalog Created\n\n1 archived pictures"))
        << prompter_.asked()[0].text.toStdString();
    Catalog catalog;
    ASSERT_TRUE(catalog.load(folder_));
    ASSERT_EQ(catalog.pictures().size(), 2u);
    EXPECT_EQ(catalog.pictures()[1]->filePath(), "/media/cdrom/b.jpg");
    EXPECT_EQ(catalog.pictures()[1]->archiveName, "CD0002");
}

TEST_F(FrameTest, ACatalogThatCannotBeWrittenIsReportedNotCreated) {
    openFrame({"a.jpg"});
    ASSERT_TRUE(QDir(folder_).mkdir("Snaplore.sidx"));  // the catalog's place is taken by a folder
    prompter_.answer(id::Ok);
    reloads([&] { frame_->createCatalog(); });
    ASSERT_EQ(prompter_.asked().size(), 1);
    EXPECT_NE(prompter_.asked()[0].text, "Catalog Created");
    EXPECT_TRUE(prompter_.asked()[0].text.startsWith("The catalog of "));
    EXPECT_EQ(prompter_.asked()[0].caption, "Error!");
}

TEST_F(FrameTest, OpenFolderTakesTheCatalogFilesFolderAndTheNearestExistingOne) {
    openFrame({"a.jpg"});
    struct Case {
        QString given;
        QString current;
    };
    const Case cases[] = {
        {folder_ + "/Snaplore.sidx", folder_},
        {folder_ + "/SNAPLORE.SIDX", folder_},
        {folder_ + "/gone/deeper", folder_},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(reloads([&] { frame_->OpenFolder(c.given); }));
        EXPECT_EQ(frame_->currentFolder(), c.current) << c.given.toStdString();
    }
}

TEST_F(FrameTest, CommandTableAndEnableRules) {
    QSet<int> ids;
    QSet<QString> keys;
    for (const cmd::Command& command : cmd::kCommands) {
        EXPECT_FALSE(ids.contains(command.id)) << command.id;
        ids.insert(command.id);
        for (const QString& key : QString(command.keys).split(';', Qt::SkipEmptyParts)) {
            EXPECT_FALSE(QKeySequence(key, QKeySequence::PortableText).isEmpty()) << key.toStdString();
            EXPECT_FALSE(keys.contains(key)) << key.toStdString();
            keys.insert(key);
        }
    }
    const auto known = [&](const auto& bar) {
        for (int id : bar) EXPECT_TRUE(id == 0 || ids.contains(id)) << id;
    };
    known(cmd::kMainToolbar);
    known(cmd::kPictureDataToolbar);
    known(cmd::kBigImageToolbar);

    openFrame({"a.jpg", "b.jpg"});
    for (int id : ids) EXPECT_EQ(frame_->action(id)->data().toInt(), id);
    EXPECT_EQ(frame_->action(cmd::SaveCopyNext)->shortcuts().size(), 2);
    frame_->updateActions();
    EXPECT_FALSE(frame_->action(cmd::Save)->isEnabled());  // nothing open
    EXPECT_TRUE(frame_->action(cmd::NextPicture)->isEnabled());
    EXPECT_TRUE(frame_->action(cmd::CatalogCreate)->isEnabled());
    EXPECT_FALSE(frame_->action(cmd::CatalogRemove)->isEnabled());

    ASSERT_TRUE(document().OpenPictureFile(path("a.jpg")));
    frame_->updateActions();
    for (int id : {cmd::Save, cmd::SaveNext, cmd::SaveCopyNext, cmd::DeletePicture, cmd::FileSaveDocument, cmd::SaveAs,
                   cmd::SendEmail, cmd::BurnCd, cmd::DragDropOptions})
        EXPECT_TRUE(frame_->action(id)->isEnabled()) << id;
    // The commands of views and dialogs still to come stay disabled, and Full Screen is never enabled.
    for (int id : {cmd::FullScreen, cmd::Zoom, cmd::Search, cmd::Undo, cmd::FileNew})
        EXPECT_FALSE(frame_->action(id)->isEnabled()) << id;
    // Printing asks for its options first: the strip's pictures are enough, whatever is open.
    for (int id : {cmd::Print, cmd::PrintPreview, cmd::PageSetup}) EXPECT_TRUE(frame_->action(id)->isEnabled()) << id;
    // The form's commands and the options tree's hot keys work now.
    for (int id : {cmd::UseLastData, cmd::Rotate, cmd::RemoveAllPeople, cmd::SmartHeadline, cmd::HotKeyFirst,
                   cmd::ViewOptions, cmd::ViewBrowser, cmd::IndexPrint, cmd::ExportPictureData, cmd::ExportHtml,
                   cmd::SlideShow, cmd::CopyFromMemoryCard})
        EXPECT_TRUE(frame_->action(id)->isEnabled()) << id;
    EXPECT_TRUE(frame_->action(cmd::ViewPictureData)->isChecked());
    EXPECT_TRUE(frame_->action(cmd::ToolbarMain)->isChecked());

    // An empty strip leaves nothing to print; the popups ask the same rule.
    frame_->thumbView()->ShowList({}, false);
    frame_->updateActions();
    EXPECT_FALSE(frame_->action(cmd::Print)->isEnabled());
    EXPECT_FALSE(frame_->action(cmd::PrintPreview)->isEnabled());
    EXPECT_FALSE(frame_->printEnabled());
    EXPECT_TRUE(frame_->action(cmd::PageSetup)->isEnabled());
}

// The outputs are offered when there is something to work on: printing, the index print and the slide
// show take the strip's pictures; the data report and the web pages every picture the browser shows,
// with or without a catalog.
TEST_F(FrameTest, TheOutputCommandsNeedPicturesToWorkOn) {
    makeFolder({"a.jpg", "b.jpg"});
    {
        PictureRecord a(path("a.jpg"));
        a.iptc().headline = "Boat";
        a.iptc().dateTime = QDateTime(QDate(2024, 6, 1), QTime(12, 0));  // a search looks between two dates
        a.iptc().RefreshDateTexts();
        ASSERT_TRUE(a.save().ok());
    }
    const QString empty = box_.filePath("empty");
    const QString catalogued = box_.filePath("catalogued");
    QDir().mkpath(empty);
    QDir().mkpath(catalogued);
    QFile::copy(path("a.jpg"), catalogued + "/c.jpg");
    ASSERT_TRUE(Catalog().create(catalogued, true).ok());
    frame_ = std::make_unique<CMainFrame>(store_, prompter_, box_.filePath("tmp"));
    frame_->show();

    const auto open = [&](const QString& folder) {
        frame_->browser()->model().setSearchMode(false);  // as the browser's own ways to a folder do
        ASSERT_TRUE(reloads([&] { frame_->OpenFolder(folder); }));
    };
    const auto search = [&](const QString& text) {
        search::Criteria criteria;
        criteria.texts[0] = text;
        criteria.from = search::defaultFrom();
        criteria.to = QDateTime(QDate(2100, 1, 1), QTime(0, 0));
        frame_->browser()->runSearch(criteria);
    };
    const struct {
        const char* state;
        std::function<void()> reach;
        bool strip;    // Print, Print Preview, Index Print, Slide Show
        bool browser;  // Export > Picture Data, Export > HTML Pages
    } cases[] = {
        {"no folder", [] {}, false, false},
        {"a folder without pictures", [&] { open(empty); }, false, false},
        {"a folder of pictures", [&] { open(folder_); }, true, true},
        {"a picture open", [&] { ASSERT_TRUE(document().OpenPictureFile(path("b.jpg"))); }, true, true},
        {"search results", [&] { search("Boat"); }, true, true},
        {"a search that found nothing", [&] { search("Castle"); }, false, false},
        {"a catalog, no event chosen",
         [&] {
             open(catalogued);
             frame_->thumbView()->ShowList({}, false);
         },
         false, true},
        {"a catalog, its event chosen",
         [&] {
             // The catalog opened on its event; chosen again after the strip was emptied above.
             frame_->browser()->tree()->setCurrentItem(nullptr);
             for (QTreeWidgetItemIterator it(frame_->browser()->tree()); *it; ++it) {
                 const BrowserEntry* entry = CFileBrowserView::entryOf(*it);
                 if (entry && entry->kind == EntryKind::Event) frame_->browser()->tree()->setCurrentItem(*it);
             }
         },
         true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        c.reach();
        frame_->updateActions();
        for (int id : {cmd::Print, cmd::PrintPreview, cmd::IndexPrint, cmd::SlideShow})
            EXPECT_EQ(frame_->action(id)->isEnabled(), c.strip) << id;
        EXPECT_EQ(frame_->printEnabled(), c.strip);  // the popups' Print items
        for (int id : {cmd::ExportPictureData, cmd::ExportHtml})
            EXPECT_EQ(frame_->action(id)->isEnabled(), c.browser) << id;
        EXPECT_TRUE(frame_->action(cmd::PageSetup)->isEnabled());
    }
}

namespace {

// The letter Alt reaches a menu item by: the character after a single "&".
QChar mnemonicOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&') continue;
        if (text[i + 1] == u'&') {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return {};
}

// Every item of a menu (and of the menu bar) has its own Alt letter.
void expectOwnMnemonics(const QList<QAction*>& items, const QString& where) {
    QHash<QChar, QString> taken;
    for (QAction* item : items) {
        if (item->isSeparator() || !item->isVisible() || item->text().isEmpty()) continue;
        const QChar key = mnemonicOf(item->text());
        EXPECT_FALSE(key.isNull()) << where.toStdString() << ": " << item->text().toStdString() << " has no Alt letter";
        EXPECT_FALSE(taken.contains(key)) << where.toStdString() << ": " << item->text().toStdString() << " and "
                                          << taken.value(key).toStdString() << " share Alt+" << QString(key).toStdString();
        taken.insert(key, item->text());
        if (item->menu()) expectOwnMnemonics(item->menu()->actions(), where + " > " + item->text());
    }
}

}  // namespace

TEST_F(FrameTest, EveryMenuItemHasItsOwnAltLetter) {
    openFrame({"a.jpg"});  // the folder opened stands in the File menu's recent list
    expectOwnMnemonics(frame_->menuBar()->actions(), "menu bar");

    // Texts the user knows the commands by: the Alt letters and the status bar's prompts.
    const struct {
        int id;
        const char* caption;
        const char* prompt;
    } known[] = {
        {cmd::SaveCopyToAll, "Save Cop&y to All...", nullptr},
        {cmd::UseLastData, "&Use Last Pics Data", "Use the Data from the last Picture"},
        {cmd::Rotate, "&Rotate", "Rotate the Picture by 90 degrees"},
        {cmd::RemoveAllPeople, "D&el All People", nullptr},
        {cmd::Zoom, "&Zoom", nullptr},
        {cmd::CropMarks, "&Crop Marks", nullptr},
        {cmd::SlideShow, "Sl&ide Show", "Show a Slide Show"},
        {cmd::FullScreen, "&Full Screen", nullptr},
        {cmd::ToolbarPictureData, "&Picture Data", nullptr},
        {cmd::ToolbarBigImage, "&Big Image", nullptr},
        {cmd::IndexPrint, nullptr, "Create an Index graphics file"},
        {cmd::ExportPictureData, nullptr, "Export different data from the current directory"},
        {cmd::ExportHtml, nullptr, "Export HTML pages"},
        {cmd::CatalogArchive, nullptr, "Archive the Catalog to CD"},
    };
    for (const auto& k : known) {
        if (k.caption) {
            EXPECT_EQ(frame_->action(k.id)->text(), k.caption);
        }
        if (k.prompt) {
            EXPECT_EQ(frame_->action(k.id)->statusTip(), k.prompt);
        }
    }
}

// Export > HTML Pages... offers the example templates the program ships, writes the site of the folder
// shown (a folder still on its way in is read first) and offers the main page to the web browser.
TEST_F(FrameTest, HtmlPagesFromTheShippedExamples) {
    openFrame({"a.jpg"});
    const QString other = box_.filePath("harbour");
    QDir().mkpath(other);
    ASSERT_TRUE(QFile::copy(path("a.jpg"), other + "/b.jpg"));
    const QString site = box_.filePath("site");
    QStringList opened;
    bool offered = false;
    uitest::onModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<CExportHTMLDlg*>(modal);
        if (!dialog) {
            ADD_FAILURE() << "not the Export HTML dialog";
            modal->close();
            return;
        }
        offered = dialog->mainTemplateEdit()->text().endsWith("examples/html/main.html") &&
                  dialog->eventTemplateEdit()->text().endsWith("examples/html/event.html") &&
                  QFileInfo(dialog->mainTemplateEdit()->text()).isFile() &&
                  QFileInfo(dialog->eventTemplateEdit()->text()).isFile();
        dialog->saveToEdit()->setText(site + "/");
        dialog->setOpener([&](const QString& page) {
            opened << page;
            return true;
        });
        prompter_.answer(id::Yes);
        dialog->create();
    });
    // The other folder is still to be read when the command comes.
    frame_->browser()->model().setSearchMode(false);
    frame_->OpenFolder(other);
    ASSERT_TRUE(frame_->action(cmd::ExportHtml)->isEnabled());
    frame_->action(cmd::ExportHtml)->trigger();

    EXPECT_TRUE(offered);
    EXPECT_EQ(opened, QStringList{site + "/index.html"});
    EXPECT_EQ(prompter_.asked().last().caption, "Export HTML");
    EXPECT_TRUE(QFileInfo::exists(site + "/harbour_0/b_th.jpg"));
    EXPECT_TRUE(QFileInfo::exists(site + "/harbour_0/b.jpg"));
    EXPECT_FALSE(QFileInfo::exists(site + "/harbour_0/a.jpg"));
    EXPECT_TRUE(testsupport::readAll(site + "/index.html").contains("harbour_0/index.html"));
    EXPECT_TRUE(prompter_.exhausted());
}

TEST_F(FrameTest, ClipboardCommandsActOnTheFocusedTextField) {
    openFrame({"a.jpg"});
    ASSERT_TRUE(document().OpenPictureFile(path("a.jpg")));
    QLineEdit* field = frame_->picDataView()->control<QLineEdit>(CPicDataView::Directory);
    ASSERT_NE(field, nullptr);
    ASSERT_EQ(field->text(), folder_);
    frame_->activateWindow();
    field->setFocus();
    ASSERT_TRUE(uitest::waitFor([&] { return QApplication::focusWidget() == field; }));
    frame_->updateActions();
    EXPECT_FALSE(frame_->action(cmd::Copy)->isEnabled());  // nothing selected
    field->selectAll();
    frame_->updateActions();
    ASSERT_TRUE(frame_->action(cmd::Copy)->isEnabled());
    frame_->action(cmd::Copy)->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), folder_);
}

// ---- Saves: the browser's record, the file times ----

namespace {

// Types a headline and picks the gold star in the form, as a person does.
void captionInTheForm(CPicDataView& form, const QString& headline) {
    auto* edit = form.control<QLineEdit>(CPicDataView::Headline);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, headline);
    form.control<QComboBox>(CPicDataView::Rating)->setCurrentIndex(0);
}

void setModificationTime(const QString& path, const QDateTime& time) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
}

}  // namespace

TEST_F(FrameTest, CopyToAllAfterASaveOnTheWayToTheNextPictureKeepsWhatWasSaved) {
    openFrame({"a.jpg", "b.jpg", "c.jpg"});
    const QStringList paths = thumbPaths();
    ASSERT_EQ(paths.size(), 3);
    ASSERT_TRUE(document().OpenPictureFile(paths[0]));
    CPicDataView& form = *frame_->picDataView();
    captionInTheForm(form, "Harbour at dusk");

    // ">>" with the changes unsaved: the question, answered Yes, writes the picture.
    frame_->updateActions();
    prompter_.answer(id::Yes);
    form.control<QAbstractButton>(CPicDataView::NextButton)->click();
    ASSERT_EQ(document().pathName(), paths[1]);
    ASSERT_EQ(prompter_.askedTexts(), QStringList{"Save changes to " + QFileInfo(paths[0]).fileName() + "?"});
    ASSERT_EQ(PictureRecord(paths[0]).iptc().headline, "Harbour at dusk");
    // Copy to All writes the browser's records: that of the saved picture was read again.
    const BrowserEntry* entry = frame_->browser()->model().entryForPath(paths[0]);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->picture->iptc().headline, "Harbour at dusk");
    EXPECT_EQ(entry->picture->iptc().rating, "1");

    // Picture > Save Copy to All with the ticks it starts with: the event, caption and place go.
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = frame_->findChild<CCopyToAllDlg*>();
        if (!dialog || !dialog->isVisible()) return;
        poll.stop();
        dialog->accept();
    });
    poll.start();
    prompter_.answer(id::Yes);
    frame_->SaveCopyToAll();
    EXPECT_TRUE(prompter_.exhausted());
    ASSERT_EQ(prompter_.asked().size(), 2);
    EXPECT_EQ(prompter_.asked()[1].caption, "Copy Event?");

    const PictureRecord first(paths[0]);
    EXPECT_EQ(first.iptc().headline, "Harbour at dusk");
    EXPECT_EQ(first.iptc().rating, "1");
    document().setModified(false);
}

// F5 reads the folder again: files another program added or removed show. A changed picture gets the
// save question first; the open picture and the selection stay.
TEST_F(FrameTest, RefreshReadsTheFolderAgainAfterTheSaveQuestion) {
    openFrame({"a.jpg", "b.jpg", "c.jpg"});
    CFileBrowserView& browser = *frame_->browser();
    browser.tree()->setCurrentItem(pictureItem(browser, "b.jpg"));
    ASSERT_TRUE(uitest::waitFor([&] { return document().pathName() == path("b.jpg"); }));
    captionInTheForm(*frame_->picDataView(), "Harbour at dusk");
    ASSERT_TRUE(document().isModified());
    ASSERT_TRUE(QFile::copy(testsupport::dataPath("Canon_40D.jpg"), path("d.jpg")));
    ASSERT_TRUE(QFile::remove(path("c.jpg")));

    // Cancel: nothing is read, nothing is lost.
    prompter_.answer(id::Cancel);
    frame_->action(cmd::Refresh)->trigger();
    EXPECT_FALSE(browser.isLoading());
    EXPECT_TRUE(pictureItem(browser, "c.jpg"));
    EXPECT_TRUE(document().isModified());

    prompter_.answer(id::Yes);
    ASSERT_TRUE(reloads([&] { frame_->action(cmd::Refresh)->trigger(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(prompter_.askedTexts(), QStringList({"Save changes to b.jpg?", "Save changes to b.jpg?"}));
    EXPECT_TRUE(prompter_.exhausted());
    EXPECT_EQ(PictureRecord(path("b.jpg")).iptc().headline, "Harbour at dusk");
    EXPECT_FALSE(pictureItem(browser, "c.jpg"));
    EXPECT_TRUE(pictureItem(browser, "d.jpg"));
    EXPECT_EQ(thumbPaths(), QStringList({path("a.jpg"), path("b.jpg"), path("d.jpg")}));

    EXPECT_EQ(document().pathName(), path("b.jpg"));
    EXPECT_FALSE(document().isModified());
    EXPECT_EQ(frame_->picDataView()->headline(), "Harbour at dusk");
    QTreeWidgetItem* b = pictureItem(browser, "b.jpg");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(browser.tree()->currentItem(), b);
    EXPECT_EQ(b->text(0), "Harbour at dusk");
}

TEST_F(FrameTest, ASaveOnTheWayToAnotherPictureReachesTheBrowser) {
    makeFolder({"a.jpg", "b.jpg"});
    {
        // b has data already: once a is saved, every picture has.
        PictureRecord b(path("b.jpg"));
        b.iptc().headline = "Boat";
        ASSERT_TRUE(b.save().ok());
    }
    frame_ = std::make_unique<CMainFrame>(store_, prompter_, box_.filePath("tmp"));
    frame_->show();
    ASSERT_TRUE(reloads([&] { frame_->OpenFolder(folder_); }));
    ASSERT_TRUE(document().OpenPictureFile(path("a.jpg")));
    captionInTheForm(*frame_->picDataView(), "Harbour at dusk");

    prompter_.answer(id::Yes).answer(id::No);
    ASSERT_TRUE(document().OpenPictureFile(path("b.jpg")));
    EXPECT_EQ(prompter_.askedTexts(),
              QStringList({"Save changes to a.jpg?",
                           "All your pictures now have data.  Would you like to create the Catalog now?"}));

    // The tree, the strip and the search see the saved data.
    const BrowserEntry* entry = frame_->browser()->model().entryForPath(path("a.jpg"));
    ASSERT_NE(entry, nullptr);
    QTreeWidgetItem* item = pictureItem(*frame_->browser(), "a.jpg");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(0), "Harbour at dusk");
    EXPECT_EQ(thumbstrip::captionText(*entry), "Harbour at dusk");
    EXPECT_TRUE(thumbstrip::isStarred(*entry));
    search::Criteria criteria;
    criteria.texts[0] = "Harbour";
    criteria.from = search::defaultFrom();
    criteria.to = QDateTime(QDate(2100, 1, 1), QTime(0, 0));
    frame_->browser()->runSearch(criteria);
    EXPECT_EQ(thumbPaths(), QStringList{path("a.jpg")});
}

TEST_F(FrameTest, TheKeepFileDateBoxDecidesTheTimesOfTheFormsSaves) {
    openFrame({"a.jpg", "b.jpg"});
    CPicDataView& form = *frame_->picDataView();
    auto* keep = form.control<QCheckBox>(CPicDataView::KeepFileDate);
    ASSERT_TRUE(keep->isChecked());
    const QDateTime old(QDate(2020, 1, 2), QTime(3, 4, 5));
    const std::pair<const char*, std::function<void()>> saves[] = {
        {"Save", [&] { form.control<QAbstractButton>(CPicDataView::SaveButton)->click(); }},
        {"Save >>", [&] { form.control<QAbstractButton>(CPicDataView::SaveNextButton)->click(); }},
        {"Save >>+", [&] { form.control<QAbstractButton>(CPicDataView::SaveCopyNextButton)->click(); }},
        {"Ctrl+S", [&] { frame_->action(cmd::FileSaveDocument)->trigger(); }},
        {"the save question",
         [&] {
             prompter_.answer(id::Yes);
             ASSERT_TRUE(document().OpenPictureFile(path("b.jpg")));
         }},
    };
    for (const bool kept : {true, false}) {
        for (const auto& [name, save] : saves) {
            SCOPED_TRACE(std::string(name) + (kept ? ", kept" : ", not kept"));
            prompter_ = ScriptedPrompter();
            document().setModified(false);
            ASSERT_TRUE(document().NewDocument());
            ASSERT_NO_FATAL_FAILURE(setModificationTime(path("a.jpg"), old));
            ASSERT_TRUE(document().OpenPictureFile(path("a.jpg")));
            keep->setChecked(kept);
            captionInTheForm(form, QStringLiteral("Harbour %1").arg(name));
            frame_->updateActions();
            const QDateTime start = QDateTime::currentDateTime().addSecs(-2);
            save();
            EXPECT_EQ(PictureRecord(path("a.jpg")).iptc().headline, QStringLiteral("Harbour %1").arg(name));
            const QDateTime modified = QFileInfo(path("a.jpg")).lastModified();
            if (kept)
                EXPECT_EQ(modified, old);
            else
                EXPECT_GE(modified, start);
        }
    }
    keep->setChecked(true);
    document().setModified(false);
}

// The pane drawn active holds the keys: the strip at the start, and every pane F6 moves to, also the
// form and the browser, which take no keys themselves and hand them to a control of theirs.
TEST_F(FrameTest, TheKeysActInThePaneDrawnActive) {
    CMainFrame& frame = openFrame({"a.jpg", "b.jpg"});
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    ASSERT_TRUE(uitest::waitFor([&] { return frame.thumbView()->hasPictures(); }, kLoadMs));
    EXPECT_TRUE(frame.isActiveView(frame.thumbView()));
    ASSERT_EQ(QApplication::focusWidget(), frame.thumbView());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_TRUE(uitest::waitFor([&] { return !document().pathName().isEmpty(); }));

    // Strip, form, browser, strip again.
    const QList<QWidget*> panes = {frame.picDataView(), frame.browser(), frame.thumbView()};
    for (QWidget* pane : panes) {
        frame.action(cmd::NextPane)->trigger();
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_TRUE(frame.isActiveView(pane)) << pane->metaObject()->className();
        EXPECT_TRUE(focus == pane || pane->isAncestorOf(focus)) << pane->metaObject()->className();
        EXPECT_NE(focus->focusPolicy(), Qt::NoFocus) << focus->metaObject()->className();
        if (pane == frame.browser()) {
            EXPECT_EQ(focus, frame.browser()->tree());  // not its toolbar
        }
    }
    // In the form the keys type into its first field.
    frame.action(cmd::PrevPane)->trigger();
    frame.action(cmd::PrevPane)->trigger();
    QTest::keyClicks(QApplication::focusWidget(), "Garden");
    EXPECT_EQ(frame.picDataView()->control<QLineEdit>(CPicDataView::Event)->text(), "Garden");
}

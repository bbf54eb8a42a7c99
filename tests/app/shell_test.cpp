// How the window program begins and ends, and what it keeps between runs: the recent folders of the
// File menu, the window's place, deleting a locked picture, SIGTERM and the session's end, and an
// Exit while the splash still waits for the update check.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QNetworkProxy>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUuid>

#include <csignal>

#include "../ui/uitesthelpers.h"
#include "commandtable.h"
#include "filebrowserview.h"
#include "mainframe.h"
#include "picdataview.h"
#include "picturerecord.h"
#include "recentfolders.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "snaploreapp.h"
#include "snaploredoc.h"
#include "splashdlg.h"
#include "startup.h"
#include "testsupport.h"
#include "thumbview.h"
#include "updatecheck.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

constexpr int kLoadMs = 20000;

class ShellTest : public ::testing::Test {
protected:
    QString makeFolder(const QString& name, const QStringList& pictures) {
        const QString folder = box_.filePath(name);
        QDir().mkpath(folder);
        for (const QString& picture : pictures)
            QFile::copy(testsupport::dataPath("Canon_40D.jpg"), folder + "/" + picture);
        return folder;
    }

    std::unique_ptr<CMainFrame> makeFrame() {
        auto frame = std::make_unique<CMainFrame>(store_, prompter_, box_.filePath("tmp"));
        frame->show();
        return frame;
    }

    static bool open(CMainFrame& frame, const QString& folder) {
        QSignalSpy loaded(frame.browser(), &CFileBrowserView::loadFinished);
        frame.OpenFolder(folder);
        return loaded.wait(kLoadMs) || !loaded.isEmpty();
    }

    SnaploreApp::Options appOptions(const QStringList& arguments, bool splash) {
        SnaploreApp::Options options;
        options.arguments = arguments;
        options.ownPath = box_.filePath("snaplore");
        options.instanceName = "snaplore-test-" + QUuid::createUuid().toString(QUuid::Id128);
        options.environment = [this](const char* name) { return QString(name) == "TEMP" ? box_.path() : QString(); };
        options.splash = splash;
        return options;
    }

    // Runs the program's event loop as main() does until the program ends it; 1 when it never does.
    static int runEventLoop(int ms = 20000) {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        watchdog.start(ms);
        return QApplication::exec();
    }

    static QStringList menuTexts(const QList<QAction*>& actions) {
        QStringList texts;
        for (QAction* action : actions)
            if (action->isVisible() && !action->isSeparator()) texts.append(action->text());
        return texts;
    }

    testsupport::SandBox box_;
    SettingsStore store_{box_.filePath("settings.ini")};
    ScriptedPrompter prompter_;
};

bool writable(const QString& path) { return QFile::permissions(path) & QFileDevice::WriteOwner; }

}  // namespace

TEST_F(ShellTest, TheFileMenuListsTheLastFourFoldersOpenedAndKeepsThem) {
    QStringList folders;
    for (const char* name : {"one", "two", "three", "four", "five"}) folders.append(makeFolder(name, {"a.jpg"}));
    {
        auto frame = makeFrame();
        EXPECT_TRUE(menuTexts(frame->recentFolderActions()).isEmpty());
        for (const QString& folder : folders) ASSERT_TRUE(open(*frame, folder));
        ASSERT_TRUE(open(*frame, folders[2]));  // again: it moves to the top, and is there once
        EXPECT_EQ(menuTexts(frame->recentFolderActions()),
                  (QStringList{"&1 " + folders[2], "&2 " + folders[4], "&3 " + folders[3], "&4 " + folders[1]}));
        // They stand in the File menu before Exit.
        QMenu* file = frame->menuBar()->actions().first()->menu();
        const QList<QAction*> items = file->actions();
        EXPECT_LT(items.indexOf(frame->recentFolderActions().first()), items.indexOf(frame->action(cmd::Exit)));
    }
    // Stored where the recent list lives, and read back by the next window.
    EXPECT_EQ(store_.readString(RecentFolders::kSection, "File1"), folders[2]);
    EXPECT_EQ(store_.readString(RecentFolders::kSection, "File4"), folders[1]);
    auto frame = makeFrame();
    ASSERT_EQ(frame->recentFolders().size(), 4);

    // Choosing one opens it.
    QSignalSpy loaded(frame->browser(), &CFileBrowserView::loadFinished);
    frame->recentFolderActions()[3]->trigger();
    ASSERT_TRUE(loaded.wait(kLoadMs) || !loaded.isEmpty());
    EXPECT_EQ(frame->currentFolder(), folders[1]);
    EXPECT_EQ(frame->recentFolders().first(), folders[1]);

    // A folder that is gone leaves the list; its parent opens.
    ASSERT_TRUE(QDir(folders[4]).removeRecursively());
    const int gone = int(frame->recentFolders().indexOf(folders[4]));
    ASSERT_GE(gone, 0);
    loaded.clear();
    frame->recentFolderActions()[gone]->trigger();
    ASSERT_TRUE(loaded.wait(kLoadMs) || !loaded.isEmpty());
    EXPECT_EQ(frame->currentFolder(), box_.path());
    EXPECT_FALSE(frame->recentFolders().contains(folders[4]));
}

TEST_F(ShellTest, TheWindowComesBackWhereAndAsLargeAsItWas) {
    {
        auto frame = makeFrame();
        frame->setGeometry(40, 60, 900, 640);
        ASSERT_TRUE(uitest::waitFor([&] { return frame->geometry() == QRect(40, 60, 900, 640); }));
        EXPECT_TRUE(frame->close());
    }
    auto frame = makeFrame();
    EXPECT_EQ(frame->geometry(), QRect(40, 60, 900, 640));
}

TEST_F(ShellTest, DeletingALockedPictureAsksToUnlockFirstAndDeletesNothingOtherwise) {
    struct Case {
        QList<int> answers;  // to "Are you sure", then to the unlock question
        bool asksUnlock;
        bool deleted;
    };
    const Case cases[] = {
        {{id::Yes, id::No}, true, false},
        {{id::Yes, id::Cancel}, true, false},
        {{id::No}, false, false},
        {{id::Yes, id::Yes}, true, true},
    };
    const testsupport::TemporaryHome home(box_.filePath("home"));
    const QString folder = makeFolder("locked", {});
    auto frame = makeFrame();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.answers.size() << "/" << c.answers.last());
        for (const char* name : {"a.jpg", "b.jpg"}) {
            QFile::remove(folder + "/" + QString(name));
            QFile::copy(testsupport::dataPath("Canon_40D.jpg"), folder + "/" + name);
        }
        const QString a = folder + "/a.jpg";
        ASSERT_TRUE(QFile::setPermissions(a, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        ASSERT_TRUE(open(*frame, folder));
        ASSERT_TRUE(frame->document().OpenPictureFile(a));

        prompter_ = ScriptedPrompter();
        for (int answer : c.answers) prompter_.answer(answer);
        frame->DeletePicture();
        QStringList expected{"Are you sure you want to delete picture a.jpg\n\n"
                             "It goes to the trash, from where it can be restored."};
        if (c.asksUnlock) expected.append("Picture is locked.  Do you wish to unlock it?");
        ASSERT_EQ(prompter_.askedTexts(), expected);
        if (c.asksUnlock) {
            EXPECT_EQ(prompter_.asked()[1].caption, "Unlock?");
            EXPECT_EQ(prompter_.asked()[1].flags, mb::YesNoCancel | mb::IconQuestion);
        }
        EXPECT_EQ(QFile::exists(a), !c.deleted);
        if (!c.deleted) {
            EXPECT_FALSE(writable(a));  // still locked
            EXPECT_EQ(frame->document().pathName(), a);
            EXPECT_EQ(frame->thumbView()->list().size(), 2u);
        } else {
            EXPECT_EQ(frame->document().pathName(), folder + "/b.jpg");
        }
        if (QFile::exists(a)) QFile::setPermissions(a, QFile::permissions(a) | QFileDevice::WriteOwner);
    }
}

TEST_F(ShellTest, TheSessionsEndAsksAboutUnsavedDataAsExitDoes) {
    struct Case {
        bool mayAsk;
        int answer;  // 0: not asked
        bool goesOn;
        bool written;
    };
    const Case cases[] = {
        {true, id::Cancel, false, false},
        {true, id::No, true, false},
        {true, id::Yes, true, true},
        {false, 0, true, false},  // no interaction allowed: nothing asked, nothing written
    };
    const QString folder = makeFolder("session", {"a.jpg", "b.jpg"});  // b.jpg keeps the catalog question away
    const QString a = folder + "/a.jpg";
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mayAsk << "/" << c.answer);
        QFile::remove(a);
        QFile::copy(testsupport::dataPath("Canon_40D.jpg"), a);
        store_.deleteKey("Tool");
        store_.deleteKey("SplitterWnd");
        auto frame = makeFrame();
        ASSERT_TRUE(open(*frame, folder));
        ASSERT_TRUE(frame->document().OpenPictureFile(a));
        frame->picDataView()->SetHeadline("Harbour at dusk");
        ASSERT_TRUE(frame->document().isModified());

        prompter_ = ScriptedPrompter();
        if (c.answer) prompter_.answer(c.answer);
        EXPECT_EQ(frame->commitSession(c.mayAsk), c.goesOn);
        EXPECT_EQ(prompter_.askedTexts(),
                  c.answer ? QStringList{"Save changes to a.jpg?"} : QStringList{});
        EXPECT_EQ(PictureRecord(a).iptc().headline == "Harbour at dusk", c.written);
        EXPECT_EQ(store_.valueExists("Tool", "State"), c.goesOn);
        EXPECT_EQ(store_.valueExists("SplitterWnd", "Panes_0"), c.goesOn);
        frame->document().setModified(false);
    }
}

TEST_F(ShellTest, SigtermKeepsTheSettingsAndEndsWithoutAskingOrWriting) {
    const QString folder = makeFolder("term", {"a.jpg", "b.jpg"});
    const QString a = folder + "/a.jpg";
    const QByteArray before = testsupport::readAll(a);
    store_.writeDword("Settings", "CheckWhen", 0);
    SnaploreApp app(store_, prompter_);
    SnaploreApp::Options options = appOptions({folder}, true);
    options.splashMs = 60000;  // the splash is still up when the signal comes
    ASSERT_EQ(app.initInstance(options), SnaploreApp::Start::Running);
    CMainFrame& frame = *app.frame();
    ASSERT_TRUE(uitest::waitFor([&] { return frame.thumbView()->hasPictures(); }, kLoadMs));
    ASSERT_TRUE(frame.document().OpenPictureFile(a));
    frame.picDataView()->SetHeadline("Never written");
    frame.setGeometry(30, 50, 880, 620);
    ASSERT_TRUE(uitest::waitFor([&] { return frame.geometry() == QRect(30, 50, 880, 620); }));
    ASSERT_NE(app.splash(), nullptr);

    QTimer::singleShot(0, [] { std::raise(SIGTERM); });
    EXPECT_EQ(runEventLoop(), 0);
    app.exitInstance();

    EXPECT_TRUE(prompter_.asked().isEmpty());
    EXPECT_EQ(testsupport::readAll(a), before);
    EXPECT_EQ(startup::lastDirectory(store_), folder);
    EXPECT_TRUE(store_.valueExists("Tool", "State"));
    EXPECT_TRUE(store_.valueExists("SplitterWnd", "Panes_0"));
    EXPECT_EQ(store_.readString(RecentFolders::kSection, "File1"), folder);
    CMainFrame again(store_, prompter_, box_.filePath("tmp"));
    EXPECT_EQ(again.geometry(), QRect(30, 50, 880, 620));
}

TEST_F(ShellTest, ExitWhileTheSplashWaitsForTheUpdateCheckEndsTheProgram) {
    // A site that takes the request and never answers.
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    QList<QTcpSocket*> connections;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = silent.nextPendingConnection()) connections.append(socket);
    });
    store_.writeString("Settings", "WebSite", QString("http://127.0.0.1:%1/").arg(silent.serverPort()));
    store_.writeDword("Settings", "CheckWhen", update::WhenAppStarts);

    const QString folder = makeFolder("exit", {"a.jpg"});
    SnaploreApp app(store_, prompter_);
    SnaploreApp::Options options = appOptions({folder}, true);
    options.splashMs = 10;
    ASSERT_EQ(app.initInstance(options), SnaploreApp::Start::Running);
    QPointer<CSplashDlg> splash = app.splash();
    ASSERT_TRUE(uitest::waitFor([&] { return splash && splash->updateCheck() && splash->updateCheck()->isRunning(); }));
    QPointer<update::UpdateCheck> check = splash->updateCheck();

    QTimer::singleShot(0, [&] { app.frame()->action(cmd::Exit)->trigger(); });
    EXPECT_EQ(runEventLoop(), 0);
    EXPECT_TRUE(!check || !check->isRunning());  // the query was aborted
    EXPECT_TRUE(!splash || !splash->isVisible());
    EXPECT_TRUE(prompter_.asked().isEmpty());  // no notice, no tips after the end
    app.exitInstance();
    EXPECT_EQ(startup::lastDirectory(store_), folder);
}

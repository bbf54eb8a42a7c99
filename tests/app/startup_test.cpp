// The start's decisions without windows: command line, temporary folder, the two settings.
#include "startup.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHash>

#include "settingsstore.h"
#include "testsupport.h"

namespace {

startup::Environment environmentOf(const QHash<QString, QString>& variables) {
    return [variables](const char* name) { return variables.value(QString::fromLatin1(name)); };
}

}  // namespace

TEST(AppStartup, CommandLine) {
    struct Case {
        QStringList arguments;
        QString folder;
        bool cdLaunch;
    };
    const Case cases[] = {
        {{}, {}, false},
        {{"/home/anna/Pictures"}, "/home/anna/Pictures", false},
        {{"-cdlaunch"}, {}, true},
        {{"-CDLaunch"}, {}, true},  // the switch counts in any case
        {{"-CDLAUNCH", "/media/cdrom"}, "/media/cdrom", true},
        {{"/media/cdrom", "-cdlaunch"}, "/media/cdrom", true},
        {{"-other", "/data"}, "/data", false},
    };
    for (const Case& c : cases) {
        const startup::CommandLine line = startup::parseCommandLine(c.arguments);
        EXPECT_EQ(line.folder, c.folder) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(line.cdLaunch, c.cdLaunch) << c.arguments.join(' ').toStdString();
    }
}

TEST(AppStartup, TemporaryFolderFromTheEnvironment) {
    struct Case {
        QHash<QString, QString> variables;
        QString folder;
    };
    const Case cases[] = {
        {{{"TEMP", "/var/tmp/a"}, {"TMP", "/b"}, {"TMPDIR", "/c"}}, "/var/tmp/a/SnaploreTemp"},
        {{{"TEMP", ""}, {"TMP", "/b/"}, {"TMPDIR", "/c"}}, "/b/SnaploreTemp"},
        {{{"TMPDIR", "/c"}}, "/c/SnaploreTemp"},
        {{{"TEMP", "  "}}, "/tmp/SnaploreTemp"},  // blank counts as unset
        {{}, "/tmp/SnaploreTemp"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(startup::temporaryFolderPath(environmentOf(c.variables)), c.folder)
            << c.variables.keys().join(',').toStdString();
}

TEST(AppStartup, MakesAndEmptiesTheTemporaryFolderKeepingSubfolders) {
    testsupport::SandBox box;
    const QString folder = startup::makeTemporaryFolder(environmentOf({{"TEMP", box.path()}}));
    ASSERT_EQ(folder, box.filePath("SnaploreTemp"));
    ASSERT_TRUE(QDir(folder).exists());
    ASSERT_EQ(startup::makeTemporaryFolder(environmentOf({{"TEMP", box.path()}})), folder);  // existing is fine

    ASSERT_TRUE(testsupport::writeAll(folder + "/drag.1.jpg", "x"));
    ASSERT_TRUE(testsupport::writeAll(folder + "/.hidden", "x"));
    ASSERT_TRUE(QDir(folder).mkdir("keep"));
    ASSERT_TRUE(testsupport::writeAll(folder + "/keep/inner.txt", "x"));
    startup::emptyFolder(folder);
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"keep"});
    EXPECT_TRUE(QFile::exists(folder + "/keep/inner.txt"));
}

TEST(AppStartup, ProgramLocationIsWrittenOnceAndLastDirectoryPersists) {
    testsupport::SandBox box;
    const QString ini = box.filePath("settings.ini");
    {
        SettingsStore store(ini);
        EXPECT_EQ(startup::programLocation(store, "/opt/snaplore/bin/snaplore"), "/opt/snaplore/bin/snaplore");
        EXPECT_EQ(startup::programLocation(store, "/media/cdrom/snaplore"), "/opt/snaplore/bin/snaplore");
        startup::setLastDirectory(store, "/home/anna/Pictures/2024");
        ASSERT_TRUE(store.sync());
    }
    SettingsStore again(ini);
    EXPECT_EQ(again.readString("Settings", "ProgramLocation"), "/opt/snaplore/bin/snaplore");
    EXPECT_EQ(startup::lastDirectory(again), "/home/anna/Pictures/2024");
}

// Burn CD without a window: emptying the staging folder (and refusing every folder that is not it),
// the drive table, xorriso's progress and error lines, the catalogs and the autorun script put into
// the staging folder, and an image write that fails without touching the file it was to replace.
#include "cdburn.h"
#include "cdwriter.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "catalog.h"
#include "testsupport.h"

using testsupport::SandBox;

namespace {

constexpr auto kReadOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;

bool makeFile(const QString& path, const QByteArray& bytes = "x") {
    QDir().mkpath(QFileInfo(path).absolutePath());
    return testsupport::writeAll(path, bytes);
}

class StagingTest : public ::testing::Test {
protected:
    void SetUp() override {
        staging_ = box_.filePath("data/CD Burning");
        outside_ = box_.filePath("outside");
        ASSERT_TRUE(makeFile(outside_ + "/keep.jpg", "outside"));
        ASSERT_TRUE(makeFile(outside_ + "/folder/kept.jpg", "outside"));
        ASSERT_TRUE(makeFile(staging_ + "/a.jpg"));
        ASSERT_TRUE(makeFile(staging_ + "/.hidden"));
        ASSERT_TRUE(makeFile(staging_ + "/2004_05_05/b.jpg"));
        ASSERT_TRUE(makeFile(staging_ + "/2004_05_05/locked/c.jpg"));
        ASSERT_TRUE(makeFile(staging_ + "/readonly.jpg"));
        QFile::setPermissions(staging_ + "/readonly.jpg", kReadOnly);
        QFile::setPermissions(staging_ + "/2004_05_05/locked/c.jpg", kReadOnly);
        QFile::setPermissions(staging_ + "/2004_05_05/locked", kReadOnly | QFileDevice::ExeOwner);
        // Links to a file and to a folder outside, and one that leads nowhere.
        ASSERT_TRUE(QFile::link(outside_ + "/keep.jpg", staging_ + "/link.jpg"));
        ASSERT_TRUE(QFile::link(outside_ + "/folder", staging_ + "/2004_05_05/linked folder"));
        ASSERT_TRUE(QFile::link(box_.filePath("gone"), staging_ + "/dangling"));
    }

    void expectOutsideWhole() const {
        EXPECT_EQ(testsupport::readAll(outside_ + "/keep.jpg"), "outside");
        EXPECT_EQ(testsupport::readAll(outside_ + "/folder/kept.jpg"), "outside");
    }

    SandBox box_;
    QString staging_;
    QString outside_;
};

}  // namespace

TEST_F(StagingTest, EmptyingRemovesEverythingInsideAndLinksAsLinks) {
    EXPECT_EQ(cdburn::countEntries(staging_), 6);  // hidden files and links count
    const cdburn::EmptyResult result = cdburn::emptyStagingFolder(staging_, staging_);
    ASSERT_TRUE(result.ok) << result.message.toStdString();
    EXPECT_EQ(cdburn::countEntries(staging_), 0);
    EXPECT_TRUE(QFileInfo(staging_).isDir());  // the folder itself stays
    expectOutsideWhole();
}

TEST_F(StagingTest, AnyFolderButTheProgramsOwnIsRefusedAndNothingIsDeleted) {
    const QString linkToStaging = box_.filePath("link to staging");
    ASSERT_TRUE(QFile::link(staging_, linkToStaging));
    const struct {
        const char* what;
        QString folder;
        QString own;
        const char* says;
    } cases[] = {
        {"empty path", "", staging_, "There is no folder"},
        {"blank path", "   ", staging_, "There is no folder"},
        {"no own folder", staging_, "", "There is no folder"},
        {"missing folder", box_.filePath("data/nothing"), box_.filePath("data/nothing"), "cannot be found"},
        {"a link to the staging folder", linkToStaging, linkToStaging, "is a link"},
        {"another folder", outside_, staging_, "is not the program's folder"},
        {"the parent", box_.filePath("data"), staging_, "is not the program's folder"},
    };
    for (const auto& c : cases) {
        const cdburn::EmptyResult result = cdburn::emptyStagingFolder(c.folder, c.own);
        EXPECT_FALSE(result.ok) << c.what;
        EXPECT_TRUE(result.message.contains(c.says)) << c.what << ": " << result.message.toStdString();
    }
    EXPECT_EQ(cdburn::countEntries(staging_), 6);
    expectOutsideWhole();
}

TEST(CdStaging, TheStagingFolderIsCdBurningUnderTheProgramsDataFolder) {
    EXPECT_EQ(cdburn::stagingFolderFor("  /home/u/.local/share/Snaplore "), "/home/u/.local/share/Snaplore/CD Burning");
    EXPECT_EQ(cdburn::stagingFolderFor("  "), "");
    QStandardPaths::setTestModeEnabled(true);
    EXPECT_EQ(cdburn::defaultStagingFolder(),
              QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Snaplore/CD Burning");
    QStandardPaths::setTestModeEnabled(false);
}

TEST(CdWriterParsing, DriveTableGivesTheDevicesThatWriteCdR) {
    const QString header = "CD-ROM information, Id: cdrom.c 3.20 2003/12/17\n\n";
    const struct {
        const char* what;
        QString table;
        QStringList drives;
    } cases[] = {
        {"no table", "", {}},
        {"no drive", header + "drive name:\t\t\ndrive speed:\t\t\nCan write CD-R:\t\t\n", {}},
        {"reader only", header + "drive name:\t\tsr0\ndrive speed:\t\t24\nCan read DVD:\t\t1\nCan write CD-R:\t\t0\n", {}},
        {"writer", header + "drive name:\t\tsr0\nCan write CD-R:\t\t1\nCan write CD-RW:\t1\n", {"/dev/sr0"}},
        {"two drives, the second writes",
         header + "drive name:\t\tsr1\tsr0\ndrive speed:\t\t48\t24\nCan write CD-R:\t\t0\t1\n", {"/dev/sr0"}},
        {"a name that is a path is no drive", header + "drive name:\t\t../sda\nCan write CD-R:\t\t1\n", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(cdwriter::recordableDrives(c.table), c.drives) << c.what;
}

TEST(CdWriterParsing, ProgressAndErrorLines) {
    const struct {
        QString line;
        std::optional<double> percent;
        QString error;
    } cases[] = {
        {"xorriso : UPDATE : Writing:      20400s   18.1%   fifo   5%  buf  50%", 18.1, ""},
        {"xorriso : UPDATE : Writing:         48s    0.0%   fifo   2%  buf  50%", 0.0, ""},
        {"xorriso : UPDATE :  45.23% done, estimate finish Tue Jan  2 10:00:00 2024", 45.23, ""},
        {"xorriso : UPDATE :       4 files added in 1 seconds", std::nullopt, ""},
        {"Media summary: 0 sessions, 0 data blocks, 0 data, 1024g free", std::nullopt, ""},
        {"Drive current: -outdev '/dev/sr0' 100%", std::nullopt, ""},
        {"xorriso : FAILURE : Cannot determine attributes of source file '/x' : No such file or directory",
         std::nullopt, "Cannot determine attributes of source file '/x' : No such file or directory"},
        {"libburn : SORRY : Drive is busy", std::nullopt, "Drive is busy"},
        {"xorriso : NOTE : Re-assessing -outdev 'stdio:/dev/fd/1'", std::nullopt, ""},
        {"xorriso : aborting : -abort_on 'FAILURE' encountered 'FAILURE'", std::nullopt, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cdwriter::progressPercent(c.line), c.percent) << c.line.toStdString();
        EXPECT_EQ(cdwriter::errorText(c.line), c.error) << c.line.toStdString();
    }
}

TEST(CdWriterParsing, VolumeNames) {
    EXPECT_EQ(cdwriter::defaultVolumeName(QDate(2024, 3, 7)), "SNAPLORE_20240307");
    EXPECT_EQ(cdwriter::volumeNameProblem("SNAPLORE_20240307"), "");
    EXPECT_EQ(cdwriter::volumeNameProblem("Summer 2024-v1.2"), "");
    for (const QString& bad : {QString(), QString(33, 'A'), QString("a/b"), QString("Été")})
        EXPECT_FALSE(cdwriter::volumeNameProblem(bad).isEmpty()) << bad.toStdString();
}

namespace {

class FinishStagingTest : public ::testing::Test {
protected:
    QString picture(const QString& relative) const {
        const QString path = QDir(staging_).filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_TRUE(QFile::copy(testsupport::dataPath("Canon_40D.jpg"), path));
        return path;
    }
    static int catalogCount(const QString& folder) {
        Catalog catalog;
        return catalog.load(folder) ? int(catalog.pictures().size()) : -1;
    }

    SandBox box_;
    QString staging_ = box_.filePath("CD Burning");
    QString script_ = cdburn::findAutorunScript(QCoreApplication::applicationDirPath());
};

}  // namespace

TEST_F(FinishStagingTest, CatalogsForEachDatedFolderThenTheRootWithThemAll) {
    picture("2008_05_30/a.jpg");
    picture("2008_05_30/b.jpg");
    picture("2008_07_16/c.jpg");
    ASSERT_TRUE(QFile::link(box_.path(), staging_ + "/a link"));  // no catalog through a link
    const cdburn::StagingReport report = cdburn::finishStaging(staging_, {true, false, {}});
    EXPECT_TRUE(report.ok()) << report.problems.join("\n").toStdString();
    EXPECT_EQ(report.catalogs, QStringList({staging_ + "/2008_05_30", staging_ + "/2008_07_16", staging_}));
    EXPECT_EQ(catalogCount(staging_ + "/2008_05_30"), 2);
    EXPECT_EQ(catalogCount(staging_ + "/2008_07_16"), 1);
    EXPECT_EQ(catalogCount(staging_), 3);  // the root's catalog takes in its folders'
    EXPECT_FALSE(QFileInfo::exists(staging_ + "/autorun"));
}

TEST_F(FinishStagingTest, RootOnlyMakesOneCatalog) {
    picture("a.jpg");
    picture("b.jpg");
    const cdburn::StagingReport report = cdburn::finishStaging(staging_, {true, false, {}});
    EXPECT_EQ(report.catalogs, QStringList({staging_}));
    EXPECT_EQ(catalogCount(staging_), 2);
}

TEST_F(FinishStagingTest, AutorunIsCopiedExecutableReplacingAnOldOneAndNeverThroughALink) {
    ASSERT_FALSE(script_.isEmpty()) << "the build tree holds share/snaplore/autorun";
    const QByteArray shipped = testsupport::readAll(script_);
    EXPECT_TRUE(shipped.startsWith("#!/bin/sh")) << shipped.constData();
    EXPECT_TRUE(shipped.contains("-cdlaunch"));

    picture("a.jpg");
    const QString target = staging_ + "/autorun";
    const QString outside = box_.filePath("outside");
    for (const char* earlier : {"file", "link"}) {
        QFile::remove(target);
        if (QByteArrayView(earlier) == "file") {
            ASSERT_TRUE(makeFile(target, "old"));
            QFile::setPermissions(target, kReadOnly);
        } else {
            ASSERT_TRUE(makeFile(outside, "outside"));
            ASSERT_TRUE(QFile::link(outside, target));
        }
        const cdburn::StagingReport report = cdburn::finishStaging(staging_, {false, true, script_});
        EXPECT_TRUE(report.ok()) << earlier << ": " << report.problems.join("\n").toStdString();
        EXPECT_FALSE(QFileInfo(target).isSymLink()) << earlier;
        EXPECT_EQ(testsupport::readAll(target), shipped) << earlier;
        EXPECT_TRUE(QFileInfo(target).permissions().testFlags(QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                                              QFileDevice::ExeOther))
            << earlier;
    }
    EXPECT_EQ(testsupport::readAll(outside), "outside");
    EXPECT_FALSE(QFileInfo::exists(staging_ + "/Snaplore.sidx"));  // no catalog asked for
}

TEST_F(FinishStagingTest, AMissingAutorunScriptIsReported) {
    picture("a.jpg");
    for (const QString& script : {QString(), box_.filePath("no such script")}) {
        const cdburn::StagingReport report = cdburn::finishStaging(staging_, {true, true, script});
        ASSERT_EQ(report.problems.size(), 1) << script.toStdString();
        EXPECT_TRUE(report.problems[0].contains("autorun script")) << report.problems[0].toStdString();
        EXPECT_EQ(report.catalogs, QStringList({staging_}));  // the rest was done
    }
}

TEST(CdImage, AFailedWriteLeavesTheOldFileAndNoTemporary) {
    if (QStandardPaths::findExecutable("xorriso").isEmpty()) GTEST_SKIP() << "xorriso is not installed";
    SandBox box;
    const QString target = box.filePath("disc.iso");
    ASSERT_TRUE(testsupport::writeAll(target, "the old image"));
    XorrisoCdWriter writer;
    int calls = 0;
    const CdWriteResult result = writer.writeImage(box.filePath("no such folder"), "SNAP", target, [&](int) {
        ++calls;
        return true;
    });
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains("no such folder") || result.error.contains("No such file")) << result.error.toStdString();
    EXPECT_GT(calls, 0);
    EXPECT_EQ(testsupport::readAll(target), "the old image");
    EXPECT_EQ(QDir(box.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList({"disc.iso"}));
}

TEST(CdImage, ACancelledWriteLeavesNoImage) {
    if (QStandardPaths::findExecutable("xorriso").isEmpty()) GTEST_SKIP() << "xorriso is not installed";
    SandBox box;
    ASSERT_TRUE(makeFile(box.filePath("staging/a.jpg")));
    XorrisoCdWriter writer;
    const CdWriteResult result = writer.writeImage(box.filePath("staging"), "SNAP", box.filePath("disc.iso"),
                                                   [](int) { return false; });
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(QDir(box.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList({"staging"}));
}

TEST(PrivateStaging, AFolderNobodyHoldsIsRemovedByTheNextRunAHeldOneStays) {
    SandBox box;
    const QString parent = box.filePath("tmp");
    const QString outside = box.filePath("outside/keep.jpg");
    ASSERT_TRUE(makeFile(outside, "outside"));
    // Left by a run that was killed: pictures, a read-only folder, and a link out of it.
    const QString stale = parent + "/snaplore-cd-dead01";
    ASSERT_TRUE(makeFile(stale + "/2004_05_05/a.jpg"));
    ASSERT_TRUE(makeFile(stale + "/Snaplore.sidx"));
    ASSERT_EQ(::symlink(QFile::encodeName(box.filePath("outside")).constData(),
                        QFile::encodeName(stale + "/out").constData()), 0);
    ASSERT_TRUE(QFile::setPermissions(stale + "/2004_05_05", QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    // Of a run still going: it holds its folder locked.
    const QString held = parent + "/snaplore-cd-live01";
    ASSERT_TRUE(makeFile(held + "/b.jpg"));
    const int heldFd = ::open(QFile::encodeName(held).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(heldFd, 0);
    ASSERT_EQ(::flock(heldFd, LOCK_EX), 0);
    // Not the program's, or a link that only looks like one: left alone.
    ASSERT_TRUE(makeFile(parent + "/other/c.jpg"));
    ASSERT_EQ(::symlink(QFile::encodeName(box.filePath("outside")).constData(),
                        QFile::encodeName(parent + "/snaplore-cd-link01").constData()), 0);

    QString made;
    {
        const cdburn::PrivateStaging staging(parent);
        ASSERT_TRUE(staging.isValid()) << staging.errorString().toStdString();
        made = staging.path();
        EXPECT_TRUE(QFileInfo(made).isDir());
        EXPECT_FALSE(QFileInfo::exists(stale));
        EXPECT_TRUE(QFileInfo::exists(held + "/b.jpg"));
        EXPECT_TRUE(QFileInfo::exists(parent + "/other/c.jpg"));
        EXPECT_TRUE(QFileInfo(parent + "/snaplore-cd-link01").isSymLink());
        EXPECT_TRUE(QFileInfo::exists(outside));
        // Its own folder is held: another run leaves it alone.
        EXPECT_TRUE(cdburn::removeStaleStaging(parent).isEmpty());
        EXPECT_TRUE(makeFile(made + "/d.jpg"));
    }
    EXPECT_FALSE(QFileInfo::exists(made));

    // Once its run has ended, the held one is stale too.
    ::close(heldFd);
    EXPECT_EQ(cdburn::removeStaleStaging(parent), QStringList{held});
    EXPECT_TRUE(QFileInfo::exists(outside));
}

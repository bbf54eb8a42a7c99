// snaplore-cli import end to end: dated folders, existing targets kept unless --rename or --overwrite,
// the card's files deleted only with --delete, everything left on the card named in the exit status,
// and the arguments it refuses.
#include "programrun.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::runCli;

namespace {

TEST(CliImport, CopiesKeepsAndDeletesOnlyWhenAsked) {
    testsupport::SandBox box;
    QDir().mkpath(box.filePath("card/DCIM/100CANON"));
    box.copy(testsupport::dataPath("Canon_40D.jpg"), "card/DCIM/100CANON/IMG_0001.JPG");
    const QString card = box.filePath("card"), out = box.filePath("out");
    const QString copy = out + "/2008_05_30/IMG_0001.JPG";

    testsupport::ProgramRun run = runCli({"import", card, out});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(copy));
    EXPECT_TRUE(QFileInfo::exists(copy));
    EXPECT_TRUE(QFileInfo::exists(card + "/DCIM/100CANON/IMG_0001.JPG")) << "deleting is asked for, not the default";

    // Again: the copy there is kept and named, and the status says not all was copied.
    run = runCli({"import", "--delete", card, out});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(copy + ": exists, left as it is (--rename copies beside it, --overwrite replaces it)"))
        << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("0 of 1 pictures copied; 0 deleted from the card.\n"
                                 "1 picture not copied, as the file of that name there was kept."));
    EXPECT_TRUE(QFileInfo::exists(card + "/DCIM/100CANON/IMG_0001.JPG")) << "a card file not copied stays";

    // The earlier picture of that name stays; the new one goes beside it.
    const QByteArray earlier = testsupport::readAll(copy);
    ASSERT_TRUE(testsupport::writeAll(copy, earlier + "an earlier card's picture"));
    run = runCli({"import", "--rename", "--delete", card, out});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(testsupport::readAll(copy), earlier + "an earlier card's picture");
    EXPECT_EQ(testsupport::readAll(out + "/2008_05_30/IMG_0001_2.JPG"), earlier);
    EXPECT_TRUE(run.out.contains("1 of 1 pictures copied, 1 of them under another name; 1 deleted from the card."));
    box.copy(testsupport::dataPath("Canon_40D.jpg"), "card/DCIM/100CANON/IMG_0001.JPG");

    run = runCli({"import", "--delete", "--overwrite", "--no-dated", card, out});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(out + "/IMG_0001.JPG"));
    EXPECT_FALSE(QFileInfo::exists(card + "/DCIM/100CANON/IMG_0001.JPG"));
}

// Whatever stays on the card is named and fails the run: a folder that cannot be read, a pipe and a
// device under a picture's name (refused without waiting on them); a name that is not UTF-8 is copied
// as it is.
TEST(CliImport, NothingOnTheCardGoesUnseen) {
    testsupport::SandBox box;
    const QString card = box.filePath("card"), out = box.filePath("out");
    QDir().mkpath(card + "/DCIM/100CANON");
    box.copy(testsupport::dataPath("Canon_40D.jpg"), "card/DCIM/100CANON/IMG_0001.JPG");
    box.copy(testsupport::dataPath("Canon_40D.jpg"), "card/DCIM/100CANON/IMG_0002.jpeg");
    const QByteArray folder = QFile::encodeName(card + "/DCIM/100CANON/");
    const QByteArray latin1 = folder + "IMG_\xe9.JPG";
    ASSERT_EQ(::link((folder + "IMG_0001.JPG").constData(), latin1.constData()), 0);
    ASSERT_EQ(::mkfifo((folder + "PIPE.JPG").constData(), 0644), 0);
    ASSERT_EQ(::symlink("/dev/zero", (folder + "ZERO.JPG").constData()), 0);
    testsupport::makeTooLongPaths(card + "/DCIM/101DEEP", "picture");

    const testsupport::ProgramRun run = runCli({"import", "--delete", "--no-dated", card, out});
    testsupport::removeTree(card + "/DCIM/101DEEP");
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    for (const char* named : {"PIPE.JPG: not a regular file: a named pipe (left on the card)",
                              "ZERO.JPG: not a regular file: a device (left on the card)",
                              "ppp.JPG: the path is longer than the system allows (left on the card)",
                              "ddd: the path is longer than the system allows (not read: the pictures in it are unknown)",
                              "left on the card, not a .jpg picture: " })
        EXPECT_TRUE(run.err.contains(named)) << named << "\n" << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("2 of 2 pictures copied; 2 deleted from the card.\n"
                                 "3 .jpg files could not be taken and stay on the card.\n"
                                 "1 folder could not be read: the pictures in it are unknown.\n"
                                 "1 file that is not a .jpg picture stays on the card."))
        << run.out.toStdString();
    struct stat st {};
    EXPECT_EQ(::stat((QFile::encodeName(out) + "/IMG_\xe9.JPG").constData(), &st), 0) << "copied under its own bytes";
    EXPECT_EQ(::access((folder + "PIPE.JPG").constData(), F_OK), 0);
    EXPECT_EQ(::access("/dev/zero", F_OK), 0);
    int entries = 0;  // counted by the system: a listing in text would leave out a name that is not UTF-8
    if (DIR* dir = ::opendir(QFile::encodeName(out).constData())) {
        while (const dirent* entry = ::readdir(dir)) entries += qstrcmp(entry->d_name, ".") && qstrcmp(entry->d_name, "..");
        ::closedir(dir);
    }
    EXPECT_EQ(entries, 2) << "the two copies, no temporary";
    testsupport::removeTree(box.path());  // a name that is not UTF-8 is beyond the sandbox's clean-up
}

TEST(CliImport, UnreadableFolder) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser reads every folder";
    testsupport::SandBox box;
    const QString card = box.filePath("card");
    QDir().mkpath(card + "/DCIM/100CANON");
    QDir().mkpath(card + "/DCIM/101CANON");
    box.copy(testsupport::dataPath("Canon_40D.jpg"), "card/DCIM/100CANON/IMG_0001.JPG");
    box.copy(testsupport::dataPath("Canon_40D.jpg"), "card/DCIM/101CANON/IMG_0001.JPG");
    ASSERT_EQ(::chmod(qPrintable(card + "/DCIM/101CANON"), 0), 0);
    const testsupport::ProgramRun run = runCli({"import", "--delete", card, box.filePath("out")});
    ::chmod(qPrintable(card + "/DCIM/101CANON"), 0755);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("101CANON: ")) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("1 of 1 pictures copied; 1 deleted from the card.\n"
                                 "1 folder could not be read: the pictures in it are unknown."));
}

// --overwrite replaces a link in DEST, never the file it leads to.
TEST(CliImport, OverwriteReplacesALinkNotItsTarget) {
    testsupport::SandBox box;
    QDir().mkpath(box.filePath("card/100CANON"));
    QDir().mkpath(box.filePath("out"));
    box.copy(testsupport::dataPath("Canon_40D.jpg"), "card/100CANON/IMG_0001.JPG");
    const QString theirs = box.copy(testsupport::dataPath("iptc_fields.jpg"), "theirs.jpg");
    const QByteArray before = testsupport::readAll(theirs);
    const QString link = box.filePath("out/IMG_0001.JPG");
    ASSERT_EQ(::symlink(qPrintable(theirs), qPrintable(link)), 0);
    const testsupport::ProgramRun run = runCli({"import", "--overwrite", "--no-dated", box.filePath("card"), box.filePath("out")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(testsupport::readAll(theirs), before);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
    EXPECT_EQ(testsupport::readAll(link), testsupport::readAll(box.filePath("card/100CANON/IMG_0001.JPG")));
}

TEST(CliImport, ArgumentMistakes) {
    testsupport::SandBox box;
    QDir().mkpath(box.filePath("empty"));
    struct Case {
        QStringList args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {{"import", box.filePath("empty")}, 2, "give one SOURCE folder and one DEST folder"},
        {{"import", box.filePath("nothing"), box.filePath("out")}, 2, "is not a folder"},
        {{"import", "--move", box.filePath("empty"), box.filePath("out")}, 2, "unknown option '--move'"},
        {{"import", box.filePath("empty"), box.filePath("out")}, 1, "no .jpg files found"},
        {{"import", "--rename", "--overwrite", box.filePath("empty"), box.filePath("out")}, 2, "not both"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const testsupport::ProgramRun run = runCli(c.args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
    }
}

}  // namespace

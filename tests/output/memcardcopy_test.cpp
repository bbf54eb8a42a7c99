// Copying a memory card: what is taken from it and what is named as left on it, dated folders, the
// overwrite answers, same names from two camera folders, links on the card and in the destination,
// a target that is the card's file, and above all that a card's file is deleted only when its copy
// is proven on disk.

#include "memcardcopy.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "prompter.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "testsupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace memcard;

class MemCardTest : public ::testing::Test {
protected:
    // A card with two camera folders; both hold an IMG_0001.JPG (taken the same day).
    void SetUp() override {
        card_ = box_.filePath("card/DCIM");
        dest_ = box_.filePath("pictures");
        QDir().mkpath(card_ + "/100CANON");
        QDir().mkpath(card_ + "/101CANON");
        QDir().mkpath(dest_);
        put("100CANON/IMG_0001.JPG", "Canon_40D.jpg");
        put("100CANON/img_0002.jpg", "Panasonic_DMC-FZ30.jpg");
        put("100CANON/IMG_0003.jpeg", "Canon_40D.jpg");  // not a ".jpg": left out
        put("101CANON/IMG_0001.JPG", "Canon_40D_photoshop_import.jpg");
        // It has no date of its own: its file's time dates it.
        QFile undated(card_ + "/101CANON/IMG_0001.JPG");
        ASSERT_TRUE(undated.open(QIODevice::ReadWrite));
        ASSERT_TRUE(undated.setFileTime(QDateTime(QDate(2008, 5, 30), QTime(12, 0)), QFileDevice::FileModificationTime));
    }
    // Names that are not UTF-8 are beyond the sandbox's own clean-up.
    void TearDown() override { testsupport::removeTree(box_.path()); }
    void put(const QString& name, const QString& data) {
        ASSERT_TRUE(QFile::copy(testsupport::dataPath(data), card_ + "/" + name));
    }
    static CardContents pictures(const QStringList& files) {
        CardContents contents;
        for (const QString& file : files) contents.pictures << QFile::encodeName(file);
        return contents;
    }
    // A file's bytes by a name that text cannot hold.
    static QByteArray bytesAt(const QByteArray& path) {
        QFile f;
        return f.open(::open(path.constData(), O_RDONLY), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle) ? f.readAll()
                                                                                                           : QByteArray();
    }
    static QByteArray bytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    testsupport::SandBox box_;
    QString card_, dest_;
};

// Every file of the card is either taken or named as left on it; what cannot be read is named too.
TEST_F(MemCardTest, ReadingTheCardNamesWhatItLeaves) {
    const QByteArray card = QFile::encodeName(card_);
    ASSERT_EQ(::symlink(card.constData(), (card + "/101CANON/loop").constData()), 0);
    ASSERT_EQ(::mkfifo((card + "/101CANON/PIPE.JPG").constData(), 0644), 0);
    ASSERT_EQ(::symlink("/dev/zero", (card + "/101CANON/ZERO.JPG").constData()), 0);
    ASSERT_EQ(::symlink("IMG_0001.JPG", (card + "/101CANON/LINK.JPG").constData()), 0);
    ASSERT_EQ(::symlink("gone.jpg", (card + "/101CANON/GONE.JPG").constData()), 0);
    const QByteArray latin1 = card + "/101CANON/IMG_\xe9t\xe9.JPG";
    ASSERT_TRUE(QFile::copy(testsupport::dataPath("Canon_40D.jpg"), card_ + "/x"));
    ASSERT_EQ(::rename((card + "/x").constData(), latin1.constData()), 0);
    testsupport::makeTooLongPaths(card_ + "/102DEEP", "picture");
    const bool privileged = ::geteuid() == 0;  // the superuser reads any folder
    QDir().mkpath(card_ + "/103LOCK");
    ASSERT_EQ(::chmod((card + "/103LOCK").constData(), 0), 0);

    const CardContents contents = ReadCard(card);
    ::chmod((card + "/103LOCK").constData(), 0755);
    testsupport::removeTree(card_ + "/102DEEP");

    EXPECT_EQ(contents.pictures, (QList<QByteArray>{card + "/100CANON/IMG_0001.JPG", card + "/100CANON/img_0002.jpg",
                                                    card + "/101CANON/IMG_0001.JPG", latin1,
                                                    card + "/101CANON/LINK.JPG"}));
    EXPECT_EQ(contents.otherFiles,
              (QStringList{card_ + "/100CANON/IMG_0003.jpeg", card_ + "/101CANON/loop (a link to a folder, not followed)"}));
    const QString taken = contents.notTaken.join('\n');
    EXPECT_EQ(contents.notTaken.size(), 4) << taken.toStdString();
    for (const char* expected : {"GONE.JPG: a link that leads nowhere", "PIPE.JPG: not a regular file: a named pipe",
                                 "ZERO.JPG: not a regular file: a device", "ppp.JPG: the path is longer than the system allows"})
        EXPECT_TRUE(taken.contains(expected)) << expected;
    const QString unread = contents.unreadFolders.join('\n');
    EXPECT_EQ(contents.unreadFolders.size(), privileged ? 1 : 2) << unread.toStdString();
    EXPECT_TRUE(unread.contains("ddd: the path is longer than the system allows"));
    if (!privileged) {
        EXPECT_TRUE(unread.contains("103LOCK: "));
    }
}

// A link on the card is copied as the picture it leads to; deleting it deletes the link, never that
// picture. A name that is not UTF-8 keeps its bytes in the copy.
TEST_F(MemCardTest, LinksAndNamesThatAreNotUtf8) {
    const QByteArray card = QFile::encodeName(card_), dest = QFile::encodeName(dest_);
    testsupport::SandBox elsewhere;
    const QString picture = elsewhere.copy(testsupport::dataPath("Canon_40D.jpg"), "kept.jpg");
    ASSERT_EQ(::symlink(QFile::encodeName(picture).constData(), (card + "/101CANON/LINK.JPG").constData()), 0);
    const QByteArray latin1 = card + "/101CANON/IMG_\xe9.JPG";
    ASSERT_EQ(::rename((card + "/101CANON/IMG_0001.JPG").constData(), latin1.constData()), 0);

    CopyRequest request;
    request.destination = dest_;
    request.datedFolders = false;
    request.deleteAfterCopy = true;
    CardContents contents;
    contents.pictures = {card + "/101CANON/LINK.JPG", latin1};
    const QByteArray latin1Bytes = bytesAt(latin1);
    const CopyReport report = CopyFromCard(contents, request);
    EXPECT_TRUE(report.ok()) << report.summary().toStdString();
    EXPECT_EQ(bytes(dest_ + "/LINK.JPG"), bytes(picture));
    EXPECT_TRUE(QFileInfo::exists(picture)) << "the picture a link leads to is not the card's";
    EXPECT_FALSE(QFileInfo(card_ + "/101CANON/LINK.JPG").isSymLink());
    const QByteArray copy = dest + "/IMG_\xe9.JPG";
    struct stat st {};
    ASSERT_EQ(::stat(copy.constData(), &st), 0) << "the copy has the card's name, byte for byte";
    EXPECT_EQ(bytesAt(copy), latin1Bytes);
    EXPECT_NE(::access(latin1.constData(), F_OK), 0) << "deleted once its copy was proven";
    EXPECT_EQ(report.counts(), "2 of 2 pictures copied; 2 deleted from the card.");
    EXPECT_TRUE(report.copied.contains(dest_ + "/IMG_\\xE9.JPG"));
}

TEST_F(MemCardTest, DatedFoldersSameNamesAndDeletingOnlyProvenCopies) {
    const QByteArray first = bytes(card_ + "/100CANON/IMG_0001.JPG");
    const QByteArray second = bytes(card_ + "/101CANON/IMG_0001.JPG");
    CopyRequest request;
    request.destination = dest_;
    request.deleteAfterCopy = true;
    const CopyReport report = CopyFromCard(ReadCard(QFile::encodeName(card_)), request);

    // Both IMG_0001 were taken on 30 May 2008, the Panasonic on 16 July 2008.
    EXPECT_EQ(bytes(dest_ + "/2008_05_30/IMG_0001.JPG"), first);
    EXPECT_EQ(bytes(dest_ + "/2008_05_30/IMG_0001_2.JPG"), second) << "the second never replaces the first";
    EXPECT_TRUE(QFileInfo::exists(dest_ + "/2008_07_16/img_0002.jpg"));
    EXPECT_EQ(report.renamed.size(), 1);
    EXPECT_TRUE(report.summary().contains("IMG_0001_2.JPG"));
    EXPECT_EQ(report.deleted.size(), 3);
    EXPECT_FALSE(QFileInfo::exists(card_ + "/100CANON/IMG_0001.JPG"));
    EXPECT_TRUE(QFileInfo::exists(card_ + "/100CANON/IMG_0003.jpeg"));
    EXPECT_TRUE(report.ok());
    EXPECT_EQ(report.counts(), "3 of 3 pictures copied, 1 of them under another name; 3 deleted from the card.\n"
                               "1 file that is not a .jpg picture stays on the card.");
}

TEST_F(MemCardTest, AFailedCopyKeepsTheCardsFile) {
    // A file stands where the dated folder would go: nothing is copied, so nothing may be deleted.
    QFile blocker(dest_ + "/2008_05_30");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    CopyRequest request;
    request.destination = dest_;
    request.deleteAfterCopy = true;
    const CopyReport report = CopyFromCard(pictures({card_ + "/100CANON/IMG_0001.JPG"}), request);
    EXPECT_EQ(report.failed.size(), 1);
    EXPECT_TRUE(QFileInfo::exists(card_ + "/100CANON/IMG_0001.JPG"));
    EXPECT_FALSE(report.ok());
}

// The copies become durable together at the end of a batch. A file that another program puts at a
// copy's name in between wins, and that copy's card file stays; the others arrive and are deleted.
TEST_F(MemCardTest, AFileThatAppearsBeforeTheCommitKeepsItsPlaceAndTheCardsFile) {
    CopyRequest request;
    request.destination = dest_;
    request.datedFolders = false;
    request.deleteAfterCopy = true;
    request.progress = [&](int done, int) {
        if (done == 1) {
            EXPECT_TRUE(testsupport::writeAll(dest_ + "/IMG_0001.JPG", "theirs"));
        }
        return true;
    };
    const CopyReport report = CopyFromCard(pictures({card_ + "/100CANON/IMG_0001.JPG", card_ + "/100CANON/img_0002.jpg"}), request);
    EXPECT_EQ(bytes(dest_ + "/IMG_0001.JPG"), "theirs");
    EXPECT_TRUE(QFileInfo::exists(card_ + "/100CANON/IMG_0001.JPG"));
    ASSERT_EQ(report.failed.size(), 1);
    EXPECT_TRUE(report.failed[0].contains("IMG_0001.JPG"));
    EXPECT_EQ(report.copied, QStringList{dest_ + "/img_0002.jpg"});
    EXPECT_EQ(report.deleted, QStringList{card_ + "/100CANON/img_0002.jpg"});
    EXPECT_EQ(QDir(dest_).entryList(QDir::Files | QDir::Hidden).size(), 2);  // no temporary left
}

TEST_F(MemCardTest, ATargetThatIsTheCardsFileIsLeftAlone) {
    // The destination is the card's own folder, without dated folders: every target is its source.
    CopyRequest request;
    request.destination = card_ + "/100CANON";
    request.datedFolders = false;
    request.deleteAfterCopy = true;
    const QByteArray before = bytes(card_ + "/100CANON/IMG_0001.JPG");
    const CopyReport report = CopyFromCard(pictures({card_ + "/100CANON/IMG_0001.JPG"}), request);
    EXPECT_EQ(report.sameFile.size(), 1);
    EXPECT_TRUE(report.deleted.isEmpty());
    EXPECT_EQ(bytes(card_ + "/100CANON/IMG_0001.JPG"), before);
}

TEST_F(MemCardTest, TheOverwriteAnswers) {
    struct Case {
        const char* what;
        QList<unsigned> answers;
        int copied;
        bool firstReplaced;  // else the file there stays as it was
        bool firstBeside;    // the first one's copy went to IMG_0001_2.JPG
        bool cancelled;
    };
    const QString ask = "File IMG_0001.JPG already exists, Overwrite it?";
    const QString ask2 = "File img_0002.jpg already exists, Overwrite it?";
    const Case cases[] = {
        {"Yes, No", {id::Yes, id::No}, 1, true, false, false},
        {"Keep Both, Yes", {id::KeepBoth, id::Yes}, 2, false, true, false},
        {"Yes to All", {id::YesToAll}, 2, true, false, false},
        {"Cancel", {id::Cancel}, 0, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::SandBox target;
        QFile::copy(testsupport::dataPath("iptc_fields.jpg"), target.filePath("IMG_0001.JPG"));
        QFile::copy(testsupport::dataPath("iptc_fields.jpg"), target.filePath("img_0002.jpg"));
        const QByteArray old = bytes(target.filePath("IMG_0001.JPG"));
        const QByteArray card = bytes(card_ + "/100CANON/IMG_0001.JPG");
        ScriptedPrompter prompter;
        for (unsigned a : c.answers) prompter.answer(a);
        CopyRequest request;
        request.destination = target.path();
        request.datedFolders = false;
        request.deleteAfterCopy = true;
        request.prompter = &prompter;
        const CopyReport report =
            CopyFromCard(pictures({card_ + "/100CANON/IMG_0001.JPG", card_ + "/100CANON/img_0002.jpg"}), request);
        // Only the questions: the run's one message is the caller's.
        EXPECT_EQ(prompter.askedTexts(), (c.answers.size() == 1 ? QStringList{ask} : QStringList{ask, ask2}));
        ASSERT_FALSE(prompter.asked().isEmpty());
        EXPECT_TRUE(prompter.asked().front().flags & mb::KeepBoth);
        EXPECT_EQ(report.cancelled, c.cancelled);
        EXPECT_EQ(int(report.copied.size()), c.copied);
        EXPECT_EQ(bytes(target.filePath("IMG_0001.JPG")), c.firstReplaced ? card : old);
        EXPECT_EQ(bytes(target.filePath("IMG_0001_2.JPG")), c.firstBeside ? card : QByteArray());
        // A card's file whose copy was not made stays.
        EXPECT_EQ(QFileInfo::exists(card_ + "/100CANON/img_0002.jpg"), c.copied < 2);
        // Put the card back for the next case.
        for (const QString& name : {QStringLiteral("IMG_0001.JPG"), QStringLiteral("img_0002.jpg")})
            if (!QFileInfo::exists(card_ + "/100CANON/" + name))
                QFile::copy(testsupport::dataPath(name == "IMG_0001.JPG" ? "Canon_40D.jpg" : "Panasonic_DMC-FZ30.jpg"),
                            card_ + "/100CANON/" + name);
    }
}

// A link at a copy's name is a file there: kept, or replaced itself; never written through.
TEST_F(MemCardTest, ALinkInTheDestinationIsNeverWrittenThrough) {
    testsupport::SandBox outside;
    const QString theirs = outside.copy(testsupport::dataPath("iptc_fields.jpg"), "theirs.jpg");
    const QByteArray before = bytes(theirs);
    const QByteArray card = bytes(card_ + "/100CANON/IMG_0001.JPG");
    for (const ExistingTarget existing : {ExistingTarget::Keep, ExistingTarget::Rename, ExistingTarget::Replace}) {
        SCOPED_TRACE(int(existing));
        testsupport::SandBox target;
        const QString link = target.filePath("IMG_0001.JPG");
        ASSERT_EQ(::symlink(qPrintable(theirs), qPrintable(link)), 0);
        CopyRequest request;
        request.destination = target.path();
        request.datedFolders = false;
        request.existing = existing;
        const CopyReport report = CopyFromCard(pictures({card_ + "/100CANON/IMG_0001.JPG"}), request);
        EXPECT_EQ(bytes(theirs), before);
        EXPECT_EQ(QFileInfo(link).isSymLink(), existing != ExistingTarget::Replace);
        EXPECT_EQ(report.ok(), existing != ExistingTarget::Keep);
        if (existing == ExistingTarget::Replace) {
            EXPECT_EQ(bytes(link), card);
        }
        if (existing == ExistingTarget::Rename) {
            EXPECT_EQ(bytes(target.filePath("IMG_0001_2.JPG")), card);
        }
    }
}

TEST(MemCardSettings, DefaultsWrongTypesAndTheRoundTrip) {
    testsupport::SandBox box;
    SettingsStore store(box.filePath("s.ini"));
    Settings defaults = ReadSettings(store);
    EXPECT_TRUE(defaults.deleteAfterCopy);
    EXPECT_TRUE(defaults.datedFolders);
    store.writeString("MemoryCard", "Delete", "no");  // the wrong type: the default stays
    EXPECT_TRUE(ReadSettings(store).deleteAfterCopy);
    WriteSettings(store, {"/media/card/DCIM", "/home/me/Pictures", false, false});
    const Settings read = ReadSettings(store);
    EXPECT_EQ(read.source, "/media/card/DCIM");
    EXPECT_EQ(read.destination, "/home/me/Pictures");
    EXPECT_FALSE(read.deleteAfterCopy);
    EXPECT_FALSE(read.datedFolders);
}

TEST(MemCardSource, ARemovableVolumeWithDcimIsProposed) {
    testsupport::SandBox box;
    for (const char* root : {"disk", "stick", "card"}) QDir().mkpath(box.filePath(root));
    QDir().mkpath(box.filePath("disk/DCIM"));
    QDir().mkpath(box.filePath("card/DCIM"));
    const QList<Volume> volumes{{box.filePath("disk"), false}, {box.filePath("stick"), true}, {box.filePath("card"), true}};
    EXPECT_EQ(ProposeSource(volumes), box.filePath("card/DCIM"));
    EXPECT_EQ(ProposeSource(volumes.mid(0, 2)), box.filePath("disk/DCIM")) << "a fixed disk with DCIM comes after";
    EXPECT_EQ(ProposeSource({{"/", false}}), QString());
}

}  // namespace

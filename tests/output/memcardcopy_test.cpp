// Copying a memory card: the collection, dated folders, the overwrite answers, same names from two
// camera folders, a target that is the card's file, and above all that a card's file is deleted only
// when its copy is proven on disk.

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

#include <unistd.h>  // symlink

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
    void put(const QString& name, const QString& data) {
        ASSERT_TRUE(QFile::copy(testsupport::dataPath(data), card_ + "/" + name));
    }
    static QByteArray bytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    testsupport::SandBox box_;
    QString card_, dest_;
};

TEST_F(MemCardTest, CollectsJpgFilesDepthFirstAndNeverFollowsAFolderLink) {
    ASSERT_EQ(::symlink(qPrintable(card_), qPrintable(card_ + "/101CANON/loop")), 0);
    EXPECT_EQ(CollectPictures(card_), (QStringList{card_ + "/100CANON/IMG_0001.JPG", card_ + "/100CANON/img_0002.jpg",
                                                   card_ + "/101CANON/IMG_0001.JPG"}));
}

TEST_F(MemCardTest, DatedFoldersSameNamesAndDeletingOnlyProvenCopies) {
    const QByteArray first = bytes(card_ + "/100CANON/IMG_0001.JPG");
    const QByteArray second = bytes(card_ + "/101CANON/IMG_0001.JPG");
    CopyRequest request;
    request.destination = dest_;
    request.deleteAfterCopy = true;
    const CopyReport report = CopyFromCard(CollectPictures(card_), request);

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
}

TEST_F(MemCardTest, AFailedCopyKeepsTheCardsFile) {
    // A file stands where the dated folder would go: nothing is copied, so nothing may be deleted.
    QFile blocker(dest_ + "/2008_05_30");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    CopyRequest request;
    request.destination = dest_;
    request.deleteAfterCopy = true;
    const CopyReport report = CopyFromCard({card_ + "/100CANON/IMG_0001.JPG"}, request);
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
    const CopyReport report = CopyFromCard({card_ + "/100CANON/IMG_0001.JPG", card_ + "/100CANON/img_0002.jpg"}, request);
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
    const CopyReport report = CopyFromCard({card_ + "/100CANON/IMG_0001.JPG"}, request);
    EXPECT_EQ(report.sameFile.size(), 1);
    EXPECT_TRUE(report.deleted.isEmpty());
    EXPECT_EQ(bytes(card_ + "/100CANON/IMG_0001.JPG"), before);
}

TEST_F(MemCardTest, TheOverwriteAnswers) {
    struct Case {
        const char* what;
        QList<unsigned> answers;
        int replaced;  // of the two existing targets
        bool cancelled;
        QStringList messages;  // after the questions
    };
    const QString ask = "File IMG_0001.JPG already exists, Overwrite it?";
    const QString ask2 = "File img_0002.jpg already exists, Overwrite it?";
    const Case cases[] = {
        {"Yes, No", {id::Yes, id::No, id::Ok}, 1, false, {ask, ask2, "Could not copy file img_0002.jpg"}},
        {"Yes to All", {id::YesToAll}, 2, false, {ask}},
        {"Cancel", {id::Cancel}, 0, true, {ask}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::SandBox target;
        QFile::copy(testsupport::dataPath("iptc_fields.jpg"), target.filePath("IMG_0001.JPG"));
        QFile::copy(testsupport::dataPath("iptc_fields.jpg"), target.filePath("img_0002.jpg"));
        const QByteArray old = bytes(target.filePath("IMG_0001.JPG"));
        ScriptedPrompter prompter;
        for (unsigned a : c.answers) prompter.answer(a);
        CopyRequest request;
        request.destination = target.path();
        request.datedFolders = false;
        request.deleteAfterCopy = true;
        request.prompter = &prompter;
        const CopyReport report =
            CopyFromCard({card_ + "/100CANON/IMG_0001.JPG", card_ + "/100CANON/img_0002.jpg"}, request);
        EXPECT_EQ(prompter.askedTexts(), c.messages);
        EXPECT_EQ(report.cancelled, c.cancelled);
        EXPECT_EQ(int(report.copied.size()), c.replaced);
        EXPECT_EQ(bytes(target.filePath("IMG_0001.JPG")) != old, c.replaced >= 1);
        // A card's file whose copy was not made stays.
        EXPECT_EQ(QFileInfo::exists(card_ + "/100CANON/img_0002.jpg"), c.replaced < 2);
        // Put the card back for the next case.
        for (const QString& name : {QStringLiteral("IMG_0001.JPG"), QStringLiteral("img_0002.jpg")})
            if (!QFileInfo::exists(card_ + "/100CANON/" + name))
                QFile::copy(target.filePath(name), card_ + "/100CANON/" + name);
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

// The document: opening and saving a picture with the form's changes, the catalog kept current in
// the background, the save question,
// archived catalog entries, and a save that fails leaving the picture as it was.

#include "catalog.h"
#include "catalogcut.h"
#include "diagnostics.h"
#include "scriptedprompter.h"
#include "snaploredoc.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using testsupport::readAll;

namespace {

class Document : public ::testing::Test {
protected:
    testsupport::SandBox box;
    ScriptedPrompter prompter;
    CSnaploreDoc doc{prompter};

    QString picture(const QString& name = "a.jpg") { return box.copy(testsupport::dataPath("iptc_fields.jpg"), name); }
};

}  // namespace

TEST_F(Document, SavesTheFormsChangesAndKeepsTheCatalogAsACreateWouldWriteIt) {
    const QString path = picture();
    picture("b.jpg");
    ASSERT_TRUE(Catalog().create(box.path(), true).ok());

    QSignalSpy saved(&doc, &CSnaploreDoc::pictureSaved);
    QSignalSpy stored(&doc, &CSnaploreDoc::formEditStored);
    ASSERT_TRUE(doc.OpenPictureFile(path));
    ASSERT_NE(doc.picture(), nullptr);
    EXPECT_EQ(doc.picture()->iptc().headline, "No headline");
    doc.setFormEdit([](PictureRecord& p) { p.iptc().headline = "From the form"; });
    ASSERT_TRUE(doc.SavePictureFile());
    EXPECT_EQ(saved.count(), 1);
    EXPECT_EQ(stored.count(), 1);
    EXPECT_FALSE(doc.hasFormEdit());
    EXPECT_EQ(doc.savedFlag, 1);
    EXPECT_EQ(PictureRecord(path).iptc().headline, "From the form");

    // The catalog is written in the background; finishing waits for it.
    doc.finishCatalogWrites();
    EXPECT_TRUE(doc.catalogUpkeep().idle());
    const QByteArray updated = readAll(box.filePath("Snaplore.sidx"));
    ASSERT_TRUE(Catalog().create(box.path(), true).ok());
    EXPECT_EQ(updated, readAll(box.filePath("Snaplore.sidx")));
    Catalog catalog;
    ASSERT_TRUE(catalog.load(box.path()));
    ASSERT_EQ(catalog.pictures().size(), 2u);
    for (const auto& p : catalog.pictures())
        EXPECT_EQ(p->iptc().headline, p->fileName() == "a.jpg" ? "From the form" : "No headline");
    EXPECT_TRUE(prompter.asked().isEmpty());
}

TEST_F(Document, ABurstOfSavesGivesOneCatalogWriteAndNoneIsLeftPendingAtTheEnd) {
    const QString path = picture();
    ASSERT_TRUE(Catalog().create(box.path(), true).ok());
    {
        CSnaploreDoc burst(prompter);
        ASSERT_TRUE(burst.OpenPictureFile(path));
        for (const char* headline : {"One", "Two", "Three"}) {
            burst.setFormEdit([headline](PictureRecord& p) { p.iptc().headline = headline; });
            ASSERT_TRUE(burst.SavePictureFile());
        }
        // Nothing is written while the saves come.
        EXPECT_EQ(burst.catalogUpkeep().catalogsWritten(), 0);
        burst.finishCatalogWrites();
        EXPECT_EQ(burst.catalogUpkeep().catalogsWritten(), 1);

        burst.setFormEdit([](PictureRecord& p) { p.iptc().headline = "At the end"; });
        ASSERT_TRUE(burst.SavePictureFile());
    }  // the program ends with this save's catalog write still waiting
    Catalog catalog;
    ASSERT_TRUE(catalog.load(box.path()));
    ASSERT_EQ(catalog.pictures().size(), 1u);
    EXPECT_EQ(catalog.pictures()[0]->iptc().headline, "At the end");
}

TEST_F(Document, ACatalogThatCouldNotBeWrittenIsToldAfterTheSave) {
    const QString path = picture();
    picture("b.jpg");
    ASSERT_TRUE(Catalog().create(box.path(), true).ok());
    // Cut after its first entry: it does not load whole.
    const QByteArray cut = cutAfterFirstEntry(readAll(box.filePath("Snaplore.sidx")));
    ASSERT_TRUE(testsupport::writeAll(box.filePath("Snaplore.sidx"), cut));

    ASSERT_TRUE(doc.OpenPictureFile(path));
    doc.setFormEdit([](PictureRecord& p) { p.iptc().headline = "Saved"; });
    ASSERT_TRUE(doc.SavePictureFile());
    EXPECT_EQ(PictureRecord(path).iptc().headline, "Saved");
    prompter.answer(id::Ok);
    doc.finishCatalogWrites();
    ASSERT_EQ(prompter.asked().size(), 1);
    EXPECT_TRUE(prompter.asked()[0].text.startsWith("The picture was saved, but the catalog of "));
    EXPECT_TRUE(prompter.asked()[0].text.contains("damaged after 1 whole entries"));
    EXPECT_EQ(readAll(box.filePath("Snaplore.sidx")), cut);
}

TEST_F(Document, SavingWithoutACatalogWritesOnlyThePicture) {
    const QString path = picture();
    ASSERT_TRUE(doc.OpenPictureFile(path));
    doc.picture()->iptc().caption = "x";
    ASSERT_TRUE(doc.SavePictureFile());
    EXPECT_EQ(Catalog::version(box.path()), 0);
    EXPECT_FALSE(QFile::exists(box.filePath("Snaplore.sidx")));
}

TEST_F(Document, AFailedSaveLeavesThePictureByteForByteAndSaysWhy) {
    const QString path = picture();
    ASSERT_TRUE(Catalog().create(box.path(), true).ok());
    const QByteArray before = readAll(path);
    const QByteArray catalogBefore = readAll(box.filePath("Snaplore.sidx"));
    ASSERT_TRUE(doc.OpenPictureFile(path));
    doc.setFormEdit([](PictureRecord& p) { p.iptc().caption = QString(8000, 'c'); });
    prompter.answer(id::Ok);
    {
        testsupport::FileSizeLimit full(4096);  // the disk fills up half way through the new file
        EXPECT_FALSE(doc.SavePictureFile());
    }
    // The form's changes wait for the next save; the picture shows what its file holds.
    EXPECT_TRUE(doc.hasFormEdit());
    EXPECT_NE(doc.picture()->iptc().caption, QString(8000, 'c'));
    doc.finishCatalogWrites();
    EXPECT_EQ(readAll(path), before);
    EXPECT_EQ(readAll(box.filePath("Snaplore.sidx")), catalogBefore);
    ASSERT_EQ(prompter.asked().size(), 1);
    EXPECT_EQ(prompter.asked()[0].caption, "Error!");
    EXPECT_EQ(QDir(box.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);  // no temporary left
}

TEST_F(Document, SaveQuestionFollowsTheAnswer) {
    const QString first = picture("first.jpg");
    const QString second = picture("second.jpg");
    ASSERT_TRUE(doc.OpenPictureFile(first));

    doc.setModified(true);
    prompter.answer(id::Cancel);
    EXPECT_FALSE(doc.OpenPictureFile(second));
    EXPECT_EQ(doc.pathName(), QFileInfo(first).absoluteFilePath());

    prompter.answer(id::No);
    EXPECT_TRUE(doc.OpenPictureFile(second));
    EXPECT_EQ(PictureRecord(first).iptc().headline, "No headline");

    doc.setModified(true);
    doc.setFormEdit([](PictureRecord& p) { p.iptc().headline = "Asked"; });
    prompter.answer(id::Yes);
    QSignalSpy handed(&doc, &CSnaploreDoc::savedFlagChanged);
    EXPECT_TRUE(doc.ClosePicture());
    EXPECT_EQ(doc.picture(), nullptr);
    EXPECT_EQ(PictureRecord(second).iptc().headline, "Asked");
    ASSERT_EQ(handed.count(), 1);
    EXPECT_EQ(handed[0][0].toInt(), 1);
    EXPECT_EQ(prompter.asked()[2].text, "Save changes to second.jpg?");

    // noPrompt skips the question altogether.
    ASSERT_TRUE(doc.OpenPictureFile(first));
    doc.setModified(true);
    doc.noPrompt = 1;
    EXPECT_TRUE(doc.NewDocument());
    EXPECT_EQ(prompter.asked().size(), 3);
}

TEST_F(Document, CatalogEntriesOpenTheirFileOrTheArchivedRecordOrSayItIsMissing) {
    const QString path = picture();
    ASSERT_TRUE(Catalog().create(box.path(), true).ok());
    Catalog catalog;
    ASSERT_TRUE(catalog.load(box.path()));
    PictureRecord* entry = catalog.pictures().front().get();

    ASSERT_TRUE(doc.OpenCatalogEntry(entry));
    EXPECT_TRUE(doc.ownsPicture());  // the file was there: opened from disk

    QFile::remove(path);
    entry->setFilePath(path);
    prompter.answer(id::Ok);
    EXPECT_FALSE(doc.OpenCatalogEntry(entry));
    ASSERT_EQ(prompter.asked().size(), 1);
    EXPECT_EQ(prompter.asked()[0].text, "Could not find file " + QDir::toNativeSeparators(path));

    entry->archiveLocation = "/media/disc/2004";
    entry->setFilePath("/media/disc/2004/a.jpg");
    ASSERT_TRUE(doc.OpenCatalogEntry(entry));
    EXPECT_FALSE(doc.ownsPicture());
    EXPECT_EQ(doc.picture(), entry);
    EXPECT_EQ(doc.picture()->iptc().headline, "No headline");  // the data the catalog keeps
}

TEST_F(Document, OddSegmentLengthSoundsTwoBeepsAndStatusEndsReady) {
    // A Photoshop segment whose length field is odd: a careless writer.
    QByteArray bytes = readAll(testsupport::dataPath("iptc_fields.jpg"));
    const qsizetype app13 = bytes.indexOf("\xFF\xED");
    ASSERT_GT(app13, 0);
    const int length = (uint8_t(bytes[app13 + 2]) << 8) | uint8_t(bytes[app13 + 3]);
    if (length % 2 == 0) {
        // Grow the segment by one byte so its length becomes odd.
        bytes.insert(app13 + 4 + length - 2, '\0');
        bytes[app13 + 2] = char((length + 1) >> 8);
        bytes[app13 + 3] = char((length + 1) & 0xFF);
    }
    const QString path = box.filePath("odd.jpg");
    ASSERT_TRUE(testsupport::writeAll(path, bytes));

    int beeps = 0;
    snaplore::setBeepHook([&] { ++beeps; });
    QSignalSpy status(&doc, &CSnaploreDoc::statusMessage);
    ASSERT_TRUE(doc.OpenPictureFile(path));
    QTest::qWait(200);
    snaplore::setBeepHook({});
    EXPECT_EQ(beeps, 2);
    ASSERT_GE(status.count(), 2);
    EXPECT_EQ(status.first()[0].toString(), "Loading image...");
    EXPECT_EQ(status.last()[0].toString(), "Ready");
}

TEST_F(Document, ASaveKeepsTheFileTimesUnlessTheUserChoseTheTimeOfTheSave) {
    const QDateTime old(QDate(2020, 1, 2), QTime(3, 4, 5));
    struct Case {
        bool keepChosen;
        CSnaploreDoc::FileTimes times;
        bool kept;
    };
    const Case cases[] = {
        {true, CSnaploreDoc::FileTimes::AsChosen, true},
        {false, CSnaploreDoc::FileTimes::AsChosen, false},
        {false, CSnaploreDoc::FileTimes::Keep, true},  // whatever the choice
    };
    EXPECT_TRUE(doc.keepFileTimes());  // the default
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        const QString path = picture(QStringLiteral("%1.jpg").arg(n++));
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
        }
        ASSERT_TRUE(doc.OpenPictureFile(path));
        doc.picture()->iptc().caption = "x";
        doc.setKeepFileTimes(c.keepChosen);
        const QDateTime start = QDateTime::currentDateTime().addSecs(-2);
        ASSERT_TRUE(doc.SavePictureFile(c.times));
        const QDateTime modified = QFileInfo(path).lastModified();
        if (c.kept)
            EXPECT_EQ(modified, old);
        else
            EXPECT_GE(modified, start);
        EXPECT_EQ(PictureRecord(path).iptc().caption, "x");
    }
}

// The picture is saved; its folder's catalog, which does not load whole, is left byte for byte and the
// user is told why.
TEST_F(Document, SaveLeavesACatalogThatDoesNotLoadWhole) {
    const QString path = picture();
    picture("b.jpg");
    ASSERT_TRUE(Catalog().create(box.path(), true).ok());
    QByteArray catalog = readAll(box.filePath("Snaplore.sidx"));
    catalog[50] = char(catalog[50] + 1);  // one entry more than the file holds
    ASSERT_TRUE(testsupport::writeAll(box.filePath("Snaplore.sidx"), catalog));
    ASSERT_TRUE(doc.OpenPictureFile(path));
    doc.setFormEdit([](PictureRecord& p) { p.iptc().caption = "saved"; });
    prompter.answer(id::Ok);
    EXPECT_TRUE(doc.SavePictureFile());
    doc.finishCatalogWrites();
    EXPECT_EQ(PictureRecord(path).iptc().caption, "saved");
    EXPECT_EQ(readAll(box.filePath("Snaplore.sidx")), catalog);
    ASSERT_EQ(prompter.asked().size(), 1);
    EXPECT_TRUE(prompter.asked()[0].text.contains(box.filePath("Snaplore.sidx")))
        << prompter.asked()[0].text.toStdString();
}

// A picture whose XMP does not parse is saved all the same; the user hears that its XMP was left.
TEST_F(Document, ASaveTellsOfXmpLeftAsItWas) {
    const QString path = box.filePath("broken.jpg");
    ASSERT_TRUE(testsupport::writeAll(path, testsupport::withXmpPacket(readAll(testsupport::dataPath("Canon_40D.jpg")),
                                                                       "<x:xmpmeta><rdf:RDF <<<")));
    ASSERT_TRUE(doc.OpenPictureFile(path));
    doc.setFormEdit([](PictureRecord& p) { p.iptc().headline = "Saved"; });
    prompter.answer(id::Ok);
    ASSERT_TRUE(doc.SavePictureFile());
    ASSERT_EQ(prompter.asked().size(), 1);
    EXPECT_TRUE(prompter.asked()[0].text.endsWith("was saved, but its XMP data could not be read and was left as it was."))
        << prompter.asked()[0].text.toStdString();
    EXPECT_EQ(PictureRecord(path).iptc().headline, "Saved");
}

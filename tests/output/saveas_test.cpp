// Making copies as the Save As dialog does: rendered and plain copies, the info strip, rotation and
// crop, the overwrite answers, and a run that meets failures: nothing existing is harmed and every
// picture that was not written is named at the end.

#include "outputtesthelpers.h"
#include "saveas.h"
#include "scriptedprompter.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using testsupport::dataPath;
using testsupport::readAll;
using testsupport::SandBox;
using testsupport::writeAll;

namespace {

QSize sizeOf(const QString& path) { return QImageReader(path).size(); }

SaveAsOptions rendering(int size, int ratio, bool cropped = true) {
    SaveAsOptions options;
    options.pictureSize = size;
    options.pictureRatio = ratio;
    options.saveCropped = cropped;
    return options;
}

// Entries of a browser showing `pictures`.
QList<OutputEntry> entriesOf(const std::vector<std::unique_ptr<PictureRecord>>& pictures) {
    QList<OutputEntry> entries;
    for (const auto& picture : pictures) {
        OutputEntry entry;
        entry.kind = OutputEntry::Kind::Picture;
        entry.picture = picture.get();
        entries.append(entry);
    }
    return entries;
}

}  // namespace

TEST(SaveAsCopy, PlainCopyIsByteIdenticalWithItsTimes) {
    SandBox box;
    const QString source = box.copy(dataPath("iptc_fields.jpg"));
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(source).constData(), &before), 0);
    PictureRecord picture(source);
    const SaveAsOptions options = rendering(0, 0, false);
    ASSERT_TRUE(options.isPlainCopy());
    SaveAsRun run(options, nullptr);
    run.setTotal(1);
    EXPECT_EQ(run.SavePictureCopy(picture, box.filePath("copy.jpg")), SaveOutcome::Written);
    EXPECT_EQ(readAll(box.filePath("copy.jpg")), readAll(source));
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(box.filePath("copy.jpg")).constData(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST(SaveAsCopy, RenderedCopySizesAndMetadata) {
    SandBox box;
    const QString landscape = outputtest::makePicture(box.path(), "land.jpg", {300, 200});
    const QString portrait = outputtest::makePicture(box.path(), "port.jpg", {480, 720});
    struct Case {
        QString source;
        int size, ratio;
        QSize expected;
    } cases[] = {
        {portrait, 7, 4, {426, 640}},     // ".5mp", "4x6": portrait sides swapped
        {landscape, 8, 2, {160, 120}},    // "Thumbnail", "3x4"
        {landscape, 0, 2, {300, 225}},    // "Orginal" is the long side, the other follows the ratio
        {landscape, 6, 0, {1024, 682}},   // enlarged to "1mp" at the picture's own ratio
    };
    for (const Case& c : cases) {
        PictureRecord picture(c.source);
        SaveAsRun run(rendering(c.size, c.ratio), nullptr);
        const QString target = box.filePath("out.jpg");
        QFile::remove(target);
        ASSERT_EQ(run.SavePictureCopy(picture, target), SaveOutcome::Written) << run.failureReport().toStdString();
        EXPECT_EQ(sizeOf(target), c.expected) << c.size << "/" << c.ratio;
    }
    // A rendered copy carries only what the encoder writes: no picture data.
    const QString withData = box.copy(dataPath("iptc_fields.jpg"));
    PictureRecord picture(withData);
    SaveAsRun run(rendering(8, 0), nullptr);
    ASSERT_EQ(run.SavePictureCopy(picture, box.filePath("bare.jpg")), SaveOutcome::Written);
    EXPECT_FALSE(PictureRecord(box.filePath("bare.jpg")).iptc().HasPhotoshopSegment);
}

TEST(SaveAsCopy, KeepPictureDataWithoutInstructionsAndThumbnail) {
    SandBox box;
    const QString source = outputtest::makePicture(box.path(), "p.jpg", {300, 200});
    {
        PictureRecord picture(source);
        picture.iptc().headline = "Harbour";
        picture.iptc().people = QStringList({"Anna", "Ben"});
        picture.iptc().city = "Kiel";
        picture.iptc().instructions = "Rotate:0,CropLeft:0,CropRight:150,CropTop:0,CropBottom:100,CropTo:0";
        picture.makeThumbnail();  // the stored thumbnail is made from the picture
        ASSERT_TRUE(picture.iptc().WriteIptc());
    }
    PictureRecord picture(source);
    ASSERT_TRUE(picture.iptc().hasThumbnail());
    SaveAsOptions options = rendering(0, 0);
    options.keepPictureData = true;
    SaveAsRun run(options, nullptr);
    ASSERT_EQ(run.SavePictureCopy(picture, box.filePath("kept.jpg")), SaveOutcome::Written);
    const PictureRecord copy(box.filePath("kept.jpg"));
    EXPECT_EQ(copy.iptc().headline, "Harbour");
    EXPECT_EQ(copy.iptc().people, QStringList({"Anna", "Ben"}));
    EXPECT_EQ(copy.iptc().city, "Kiel");
    EXPECT_TRUE(copy.iptc().instructions.isEmpty());
    EXPECT_FALSE(copy.iptc().hasThumbnail());
    EXPECT_EQ(sizeOf(box.filePath("kept.jpg")), QSize(150, 100));
}

TEST(SaveAsCopy, InfoStripAddsFiftySixRowsBelowThePicture) {
    SandBox box;
    const QString source = outputtest::makePicture(box.path(), "p.jpg", {300, 200});
    PictureRecord picture(source);
    SaveAsOptions options = rendering(0, 0, false);
    options.pictureRatio = 2;  // not the plain copy
    options.appendInfo = true;
    SaveAsRun run(options, nullptr);
    run.setTotal(1);
    ASSERT_EQ(run.SavePictureCopy(picture, box.filePath("info.jpg")), SaveOutcome::Written);
    const QImage image(box.filePath("info.jpg"));
    ASSERT_EQ(image.size(), QSize(300, 225 + 56));
    // The first strip row is white; the text below it is black.
    int dark = 0;
    for (int x = 0; x < image.width(); ++x) EXPECT_GT(qGray(image.pixel(x, 226)), 200) << x;
    for (int y = 227; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 80;
    EXPECT_GT(dark, 50);
}

TEST(SaveAsCopy, InfoTextOfPicturesWithAndWithoutAnEvent) {
    SandBox box;
    PictureRecord picture(outputtest::makePicture(box.path(), "IMG_7.jpg", {30, 20}));
    picture.iptc().dateTime = QDateTime(QDate(2004, 5, 1), QTime(14, 5));
    EXPECT_EQ(PictureInfoText(picture, 2, 9), "Picture 2 of 9\tIMG_7.jpg\nMay 01, 2004 at 02:05 PM");
    picture.iptc().event = "05/01/2004-->05/02/2004:::Harbour days";
    picture.iptc().location = "Pier";
    picture.iptc().city = "Kiel";
    picture.iptc().state = "SH";
    picture.iptc().headline = "Boats";
    picture.iptc().people = QStringList({"Anna", "Ben"});
    EXPECT_EQ(PictureInfoText(picture, 1, 1),
              "Picture 1 of 1 taken on May 01, 2004 at 02:05 PM\nPier, Kiel , SH\nHarbour days\tBoats\nAnna, Ben");
}

// The crop is in pixels of the picture as shown; the decoder works on the file as stored. Each case
// crops the top-left quadrant of the shown picture and checks which stored colour arrives there.
TEST(SaveAsCopy, CropOfATurnedPicture) {
    SandBox box;
    struct Case {
        int rotation;
        QColor shownTopLeft;
        QSize shown;
    } cases[] = {
        {0, outputtest::kTopLeft, {200, 120}},
        {90, outputtest::kBottomLeft, {120, 200}},
        {180, outputtest::kBottomRight, {200, 120}},
        {270, outputtest::kTopRight, {120, 200}},
    };
    for (const Case& c : cases) {
        const QString source = outputtest::makePicture(box.path(), QStringLiteral("r%1.jpg").arg(c.rotation), {200, 120});
        const int w = c.shown.width(), h = c.shown.height();
        const auto picture = outputtest::withInstructions(
            source, QStringLiteral("Rotate:%1,CropLeft:0,CropRight:%2,CropTop:0,CropBottom:%3,CropTo:0")
                        .arg(c.rotation)
                        .arg(w / 2 - 4)
                        .arg(h / 2 - 4));
        ASSERT_EQ(QSize(picture->displayWidth(), picture->displayHeight()), c.shown);
        SaveAsRun run(rendering(0, 0), nullptr);
        const QString target = box.filePath(QStringLiteral("out%1.jpg").arg(c.rotation));
        ASSERT_EQ(run.SavePictureCopy(*picture, target), SaveOutcome::Written);
        const QImage out(target);
        ASSERT_FALSE(out.isNull());
        EXPECT_TRUE(outputtest::near(out.pixelColor(0, 0), c.shownTopLeft)) << c.rotation;
        EXPECT_TRUE(outputtest::near(out.pixelColor(out.width() - 1, out.height() - 1), c.shownTopLeft)) << c.rotation;
    }
}

TEST(SaveAsCopy, SquareSourceTrimmedByCropTo) {
    SandBox box;
    const QString source = outputtest::makePicture(box.path(), "sq.jpg", {200, 200});
    struct Case {
        int cropTo;
        QColor left, right;  // top row, left and right end
    } cases[] = {
        {-1, outputtest::kTopLeft, outputtest::kTopRight},  // keeps the left part: 150 of 200 columns
        {0, outputtest::kTopLeft, outputtest::kTopRight},
        {1, outputtest::kTopLeft, outputtest::kTopRight},
    };
    for (const Case& c : cases) {
        const auto picture = outputtest::withInstructions(
            source, QStringLiteral("Rotate:0,CropLeft:0,CropRight:200,CropTop:0,CropBottom:200,CropTo:%1").arg(c.cropTo));
        const CopyPlan plan = PlanPictureCopy(*picture, rendering(0, 2), 1, 1);
        EXPECT_EQ(plan.sourceRect, QRect(c.cropTo < 0 ? 0 : (c.cropTo == 0 ? 25 : 50), 0, 150, 200));
        // Upright like the part it is drawn from: nothing is stretched.
        EXPECT_EQ(plan.outputSize, QSize(150, 200));
        SaveAsRun run(rendering(0, 2), nullptr);
        const QString target = box.filePath(QStringLiteral("sq%1.jpg").arg(c.cropTo));
        ASSERT_EQ(run.SavePictureCopy(*picture, target), SaveOutcome::Written);
        const QImage out(target);
        ASSERT_EQ(out.size(), QSize(150, 200));
        // The colour border of the source (column 100) lands at 100, 75 or 50.
        const int border = c.cropTo < 0 ? 100 : (c.cropTo == 0 ? 75 : 50);
        EXPECT_TRUE(outputtest::near(out.pixelColor(border - 3, 5), c.left)) << c.cropTo;
        EXPECT_TRUE(outputtest::near(out.pixelColor(border + 3, 5), c.right)) << c.cropTo;
    }
}

TEST(SaveAsCopy, PictureAboveTheDecodersOwnLimitIsCopiedAtItsFullSize) {
    // 144 megapixels in grey: 144 MB decoded, above the image decoder's own 128 MB, and small on disk.
    SandBox box;
    const QString path = box.filePath("big.jpg");
    {
        QImage grey(12000, 12000, QImage::Format_Grayscale8);
        grey.fill(90);
        ASSERT_TRUE(grey.save(path, "JPEG", 50));
    }
    saveas::allowLargePictures();
    EXPECT_GE(saveas::pictureMemoryLimit(), qint64(QImageReader::allocationLimit()) << 20);
    PictureRecord picture(path);
    const CopyPlan plan = PlanPictureCopy(picture, rendering(0, 0), 1, 1);  // "Orginal", rendered (cropped)
    ASSERT_FALSE(plan.plainCopy);
    ASSERT_EQ(plan.outputSize, QSize(12000, 12000));
    const WriteResult written = WritePictureCopy(picture, plan, box.filePath("copy.jpg"));
    EXPECT_TRUE(written) << describe(written).toStdString();
    EXPECT_EQ(sizeOf(box.filePath("copy.jpg")), QSize(12000, 12000));
}

TEST(SaveAsCopy, PictureTooLargeForTheMachinesMemoryIsRefusedSayingSo) {
    SandBox box;
    // A small picture whose frame header claims 65000 x 65000 pixels: 17 GB decoded.
    const QString path = outputtest::makePicture(box.path(), "huge.jpg", {16, 16});
    QByteArray bytes = readAll(path);
    const qsizetype sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    for (const qsizetype at : {sof + 5, sof + 7}) {
        bytes[at] = char(0xFD);
        bytes[at + 1] = char(0xE8);
    }
    ASSERT_TRUE(writeAll(path, bytes));
    if (saveas::pictureMemoryLimit() >= qint64(65000) * 65000 * 4) GTEST_SKIP() << "this machine has room for it";
    PictureRecord picture(path);
    const CopyPlan plan = PlanPictureCopy(picture, rendering(0, 0), 1, 1);
    ASSERT_EQ(plan.outputSize, QSize(65000, 65000));
    const WriteResult written = WritePictureCopy(picture, plan, box.filePath("copy.jpg"));
    EXPECT_FALSE(written);
    EXPECT_TRUE(written.detail.contains("too large for this machine's memory")) << describe(written).toStdString();
    EXPECT_FALSE(QFileInfo::exists(box.filePath("copy.jpg")));
}

TEST(SaveAsRun, OverwriteAnswers) {
    struct Case {
        const char* name;
        QList<unsigned> answers;
        int questions;
        QList<bool> replaced;
    } cases[] = {
        {"Yes to All", {id::YesToAll}, 1, {true, true, true}},
        {"No to All", {id::NoToAll}, 1, {false, false, false}},
        {"No, Yes, No", {id::No, id::Yes, id::No}, 3, {false, true, false}},
        {"Yes, then No to All", {id::Yes, id::NoToAll}, 2, {true, false, false}},
    };
    for (const Case& c : cases) {
        SandBox box;
        std::vector<std::unique_ptr<PictureRecord>> pictures;
        QDir().mkpath(box.filePath("out"));
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
            pictures.push_back(std::make_unique<PictureRecord>(outputtest::makePicture(box.path(), name, {40, 30})));
            writeAll(box.filePath(QStringLiteral("out/") + name), "old");
        }
        ScriptedPrompter prompter;
        for (unsigned a : c.answers) prompter.answer(a);
        SaveAsOptions options = rendering(8, 0);
        options.saveAsPath = box.filePath("out");
        const SaveAsResult result =
            RunSaveAs(options, {pictures[0].get(), entriesOf(pictures), PictureSelection::EntireCatalog, {}, {}}, prompter);
        ASSERT_EQ(prompter.asked().size(), c.questions) << c.name;
        const ScriptedPrompter::Question& q = prompter.asked().first();
        EXPECT_EQ(q.kind, ScriptedPrompter::Kind::Choice);
        EXPECT_EQ(q.text, box.filePath("out/a.jpg") + " already exists.\nDo you want to replace it?");
        EXPECT_EQ(q.caption, "Save As");
        EXPECT_EQ(q.flags, 0x18000034u);
        int i = 0;
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
            const bool replaced = readAll(box.filePath(QStringLiteral("out/") + name)) != "old";
            EXPECT_EQ(replaced, c.replaced[i++]) << c.name << " " << name;
        }
        EXPECT_TRUE(result.failures.isEmpty());
        EXPECT_TRUE(result.closeDialog);
    }
}

TEST(SaveAsRun, ProgressAndStatusTexts) {
    SandBox box;
    std::vector<std::unique_ptr<PictureRecord>> pictures;
    pictures.push_back(std::make_unique<PictureRecord>(outputtest::makePicture(box.path(), "a.jpg", {40, 30})));
    pictures.push_back(std::make_unique<PictureRecord>(outputtest::makePicture(box.path(), "b.jpg", {40, 30})));
    QStringList statuses;
    QList<int> steps;
    SaveProgress progress;
    progress.status = [&](const QString& text, bool) { statuses << text; };
    progress.step = [&](int done, int total) { steps << done * 10 + total; };
    SaveAsOptions options = rendering(8, 0);
    options.saveAsPath = box.filePath("new/folder");  // made as a folder, never glued to the names
    ScriptedPrompter prompter;
    const SaveAsResult result = RunSaveAs(
        options, {pictures[0].get(), entriesOf(pictures), PictureSelection::EntireCatalog, {}, {}}, prompter, progress);
    EXPECT_EQ(statuses, QStringList({"Creating image 1 of 2...", "Ready", "Creating image 2 of 2...", "Ready", "Ready"}));
    EXPECT_EQ(steps, QList<int>({12, 22}));
    EXPECT_EQ(result.written, QStringList({box.filePath("new/folder/a.jpg"), box.filePath("new/folder/b.jpg")}));
    EXPECT_EQ(result.saveAsPath, box.filePath("new/folder"));
}

TEST(SaveAsRun, OrginalSizeIsEachPicturesOwn) {
    SandBox box;
    std::vector<std::unique_ptr<PictureRecord>> pictures;
    pictures.push_back(std::make_unique<PictureRecord>(outputtest::makePicture(box.path(), "big.jpg", {300, 200})));
    pictures.push_back(std::make_unique<PictureRecord>(outputtest::makePicture(box.path(), "small.jpg", {60, 90})));
    SaveAsOptions options = rendering(0, 0);  // cropped, though neither has a crop: rendered
    options.appendInfo = true;
    options.setCurrentPicture(pictures[0].get());
    options.saveAsPath = box.filePath("out");
    ScriptedPrompter prompter;
    RunSaveAs(options, {pictures[0].get(), entriesOf(pictures), PictureSelection::EntireCatalog, {}, {}}, prompter);
    EXPECT_EQ(sizeOf(box.filePath("out/big.jpg")), QSize(300, 200 + 56));
    EXPECT_EQ(sizeOf(box.filePath("out/small.jpg")), QSize(60, 90 + 56));
}

TEST(SaveAsRun, SameNamesInOneRunGetNumbered) {
    SandBox box;
    QDir().mkpath(box.filePath("cam1"));
    QDir().mkpath(box.filePath("cam2"));
    std::vector<std::unique_ptr<PictureRecord>> pictures;
    pictures.push_back(std::make_unique<PictureRecord>(outputtest::makePicture(box.filePath("cam1"), "IMG_0001.JPG", {40, 30})));
    pictures.push_back(std::make_unique<PictureRecord>(outputtest::makePicture(box.filePath("cam2"), "IMG_0001.JPG", {30, 40})));
    pictures.push_back(std::make_unique<PictureRecord>(outputtest::makePicture(box.filePath("cam2"), "IMG_0001_2.JPG", {50, 40})));
    for (const SaveAsMode mode : {SaveAsMode::SaveAs, SaveAsMode::SendEmail}) {
        SaveAsOptions options(mode);
        options.pictureSize = 8;
        const QString out = box.filePath(mode == SaveAsMode::SaveAs ? "out" : "mail");
        QDir().mkpath(out);
        options.saveAsPath = out;
        ScriptedPrompter prompter;
        const SaveAsResult result = RunSaveAs(
            options, {pictures[0].get(), entriesOf(pictures), PictureSelection::EntireCatalog, "Entire Catalog", out}, prompter);
        const QStringList expected = {out + "/IMG_0001.JPG", out + "/IMG_0001_2.JPG", out + "/IMG_0001_2_2.JPG"};
        EXPECT_EQ(result.written, expected);
        EXPECT_EQ(sizeOf(out + "/IMG_0001_2.JPG"), QSize(120, 160));
        if (mode == SaveAsMode::SendEmail) {
            EXPECT_EQ(result.mailAttachments, expected);
            EXPECT_EQ(result.mailSubject, "Entire Catalog");
            EXPECT_TRUE(result.saveAsPath.isEmpty());
        }
        EXPECT_TRUE(prompter.asked().isEmpty());
    }
}

TEST(SaveAsRun, SaveOntoTheSourceIsRefused) {
    SandBox box;
    const QString source = box.copy(dataPath("Canon_40D.jpg"));
    const QByteArray original = readAll(source);
    ASSERT_EQ(::symlink(QFile::encodeName(source).constData(), QFile::encodeName(box.filePath("link.jpg")).constData()), 0);
    ASSERT_EQ(::link(QFile::encodeName(source).constData(), QFile::encodeName(box.filePath("hard.jpg")).constData()), 0);
    QDir().mkpath(box.filePath("sub"));
    const QString spellings[] = {source, box.filePath("link.jpg"), box.filePath("hard.jpg"),
                                 box.path() + "/sub/../Canon_40D.jpg", box.path() + "//./Canon_40D.jpg", box.path()};
    for (const bool plain : {true, false}) {
        for (const QString& path : spellings) {
            PictureRecord picture(source);
            SaveAsOptions options = plain ? rendering(0, 0, false) : rendering(8, 2);
            options.saveAsPath = path;
            ScriptedPrompter prompter;
            prompter.answer(id::Ok);
            const SaveAsResult result =
                RunSaveAs(options, {&picture, {}, PictureSelection::Picture, {}, {}}, prompter);
            EXPECT_EQ(readAll(source), original) << path.toStdString();
            ASSERT_EQ(result.failures.size(), 1) << path.toStdString();
            EXPECT_EQ(result.lastSingle, SaveOutcome::Failed);
            // Named in the one report at the end; never asked whether to replace it.
            ASSERT_EQ(prompter.asked().size(), 1);
            EXPECT_EQ(prompter.asked().first().kind, ScriptedPrompter::Kind::Message);
            EXPECT_TRUE(prompter.asked().first().text.contains("Canon_40D.jpg"));
            EXPECT_TRUE(prompter.asked().first().text.contains("the picture itself"));
        }
    }
    EXPECT_TRUE(QFileInfo(box.filePath("link.jpg")).isSymLink());
}

TEST(SaveAsRun, FailuresAreNamedAndExistingFilesKept) {
    SandBox box;
    std::vector<std::unique_ptr<PictureRecord>> pictures;
    // A photograph: its copy does not fit on the nearly full disk below, the small ones do.
    pictures.push_back(std::make_unique<PictureRecord>(box.copy(dataPath("iptc_no_date_camera_date.jpg"), "a.jpg")));
    pictures.push_back(std::make_unique<PictureRecord>(outputtest::makePicture(box.path(), "locked.jpg", {40, 30})));
    pictures.push_back(std::make_unique<PictureRecord>(outputtest::makePicture(box.path(), "gone.jpg", {40, 30})));
    pictures.push_back(std::make_unique<PictureRecord>(outputtest::makePicture(box.path(), "c.jpg", {40, 30})));
    pictures.push_back(std::make_unique<PictureRecord>(box.filePath("never.jpg")));  // size unknown
    QFile::remove(box.filePath("gone.jpg"));
    QDir().mkpath(box.filePath("out"));
    writeAll(box.filePath("out/a.jpg"), "existing a");
    writeAll(box.filePath("out/locked.jpg"), "read-only");
    ::chmod(QFile::encodeName(box.filePath("out/locked.jpg")).constData(), 0444);

    SaveAsOptions options = rendering(0, 2);
    options.saveAsPath = box.filePath("out");
    ScriptedPrompter prompter;
    prompter.answer(id::YesToAll).answer(id::Ok);
    SaveAsResult result;
    {
        const testsupport::FileSizeLimit full(8000);  // the disk is full after 8000 bytes
        result = RunSaveAs(options, {pictures[0].get(), entriesOf(pictures), PictureSelection::EntireCatalog, {}, {}},
                           prompter);
    }
    EXPECT_EQ(readAll(box.filePath("out/a.jpg")), "existing a");
    EXPECT_EQ(readAll(box.filePath("out/locked.jpg")), "read-only");
    EXPECT_EQ(result.written, QStringList({box.filePath("out/c.jpg")}));
    ASSERT_EQ(result.failures.size(), 4);
    EXPECT_EQ(result.failures[0].picture, "a.jpg");
    EXPECT_EQ(result.failures[1].picture, "locked.jpg");
    EXPECT_EQ(result.failures[2].picture, "gone.jpg");
    EXPECT_EQ(result.failures[3].picture, "never.jpg");
    EXPECT_TRUE(result.failures[0].reason.contains("File too large")) << result.failures[0].reason.toStdString();
    EXPECT_TRUE(result.failures[1].reason.contains("read-only"));
    EXPECT_TRUE(result.failures[3].reason.contains("size is unknown"));
    // One message at the end, naming each.
    const ScriptedPrompter::Question& report = prompter.asked().last();
    EXPECT_EQ(report.kind, ScriptedPrompter::Kind::Message);
    EXPECT_EQ(report.text, result.failureReport);
    EXPECT_TRUE(report.text.startsWith("4 pictures could not be saved:"));
    for (const char* name : {"a.jpg", "locked.jpg", "gone.jpg", "never.jpg"}) EXPECT_TRUE(report.text.contains(name));
}

TEST(SaveAsRun, EmptyPathAndEmptySelection) {
    SandBox box;
    PictureRecord picture(outputtest::makePicture(box.path(), "a.jpg", {40, 30}));
    SaveAsOptions options = rendering(8, 0);
    ScriptedPrompter prompter;
    prompter.answer(id::Ok);
    SaveAsResult result = RunSaveAs(options, {&picture, {}, PictureSelection::Picture, {}, {}}, prompter);
    EXPECT_TRUE(result.noPathGiven);
    EXPECT_FALSE(result.closeDialog);
    ASSERT_EQ(prompter.asked().size(), 1);
    EXPECT_TRUE(prompter.asked().first().text.startsWith("No file or folder was given"));
    // Nothing chosen: nothing to say.
    ScriptedPrompter quiet;
    result = RunSaveAs(options, {nullptr, {}, PictureSelection::Flagged, {}, {}}, quiet);
    EXPECT_TRUE(quiet.asked().isEmpty());
    EXPECT_TRUE(result.closeDialog);
}

TEST(SaveAsRun, SinglePictureFolderRulesAndDeclinedReplace) {
    SandBox box;
    PictureRecord picture(outputtest::makePicture(box.path(), "a.jpg", {40, 30}));
    SaveAsOptions options = rendering(8, 0);
    ScriptedPrompter prompter;
    // A path ending in "/" is a folder, made when missing; the Save As text stays that folder.
    options.saveAsPath = box.filePath("made") + "/";
    SaveAsResult result = RunSaveAs(options, {&picture, {}, PictureSelection::Picture, {}, {}}, prompter);
    EXPECT_EQ(result.written, QStringList({box.filePath("made/a.jpg")}));
    // A file name: written there, and the Save As text is cut back to its folder.
    options.saveAsPath = box.filePath("made/b.jpg");
    result = RunSaveAs(options, {&picture, {}, PictureSelection::Picture, {}, {}}, prompter);
    EXPECT_EQ(result.written, QStringList({box.filePath("made/b.jpg")}));
    EXPECT_EQ(result.saveAsPath, box.filePath("made"));
    // Declining to replace keeps the dialog open.
    prompter.answer(id::No);
    result = RunSaveAs(options, {&picture, {}, PictureSelection::Picture, {}, {}}, prompter);
    EXPECT_EQ(result.lastSingle, SaveOutcome::Declined);
    EXPECT_FALSE(result.closeDialog);
    EXPECT_EQ(result.saveAsPath, box.filePath("made/b.jpg"));
}

TEST(OutputNames, NumbersBeforeTheExtension) {
    OutputNames names;
    EXPECT_EQ(names.claim("/o/a.b.jpg"), "/o/a.b.jpg");
    EXPECT_EQ(names.claim("/o/a.b.jpg"), "/o/a.b_2.jpg");
    EXPECT_EQ(names.claim("/o/./a.b.jpg"), "/o/a.b_3.jpg");
    EXPECT_EQ(names.claim("/o/noext"), "/o/noext");
    EXPECT_EQ(names.claim("/o/noext"), "/o/noext_2");
    EXPECT_EQ(names.claim("/p/a.b.jpg"), "/p/a.b.jpg");
}

// The thumbnail strip's numbers without a window: boxes, scrolling, hit tests, captions, the title
// band and the navigation targets; and the thumbnail loader against the picture's own thumbnails.

#include "thumbstrip.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QFont>
#include <QPainter>
#include <QSignalSpy>
#include <QTextDocument>
#include <QTransform>

#include "catalog.h"
#include "picturerecord.h"
#include "testsupport.h"
#include "thumbnailloader.h"
#include "thumbnailmaker.h"

using namespace thumbstrip;

namespace {

std::unique_ptr<BrowserEntry> pictureEntry(const QString& path, const QString& event = {}, quint64 size = 0) {
    auto entry = std::make_unique<BrowserEntry>();
    entry->kind = EntryKind::Picture;
    entry->path = path;
    entry->picture = std::make_unique<PictureRecord>();
    entry->picture->setFilePath(path);
    entry->picture->setFileSize(size);
    entry->picture->iptc().event = event;
    return entry;
}

PictureShape shape(QSize display, QRect crop = {}) {
    return {thumbnails::thumbnailSize(display), display, crop.isNull() ? QRect(QPoint(0, 0), display) : crop};
}

}  // namespace

TEST(ThumbStripTitle, CountSizeAndPlural) {
    struct Case {
        QString title;
        qsizetype count;
        quint64 bytes;
        QString expected;
    };
    const Case cases[] = {
        {"Trip", 1, 0, "Trip (1 picture/0 MB)"},
        {"Trip", 0, 0, "Trip (0 pictures/0 MB)"},
        {"Trip", 2, (3u << 20) + (1u << 20) - 1, "Trip (2 pictures/3 MB)"},
        // Above 4 GB the 64-bit sum still counts.
        {"Big", 5000, quint64(5) << 32, "Big (5000 pictures/20480 MB)"},
        {"Tom & Jerry", 3, 0, "Tom & Jerry (3 pictures/0 MB)"},
    };
    for (const Case& c : cases) EXPECT_EQ(titleText(c.title, c.count, c.bytes), c.expected) << c.title.toStdString();
}

TEST(ThumbStripTitle, FolderEventSearchAndEmpty) {
    auto plain = pictureEntry("/photos/Summer & Sea/a.jpg", {}, 3u << 20);
    auto dated = pictureEntry("/photos/cat/b.jpg", "07/01/2004-->07/03/2004:::Beach & Sun", 1u << 20);
    auto undated = pictureEntry("/photos/cat/c.jpg", "Just a name");
    const auto catalogFolder = [](const QString& folder) { return folder == "/photos/cat"; };

    EXPECT_EQ(listTitle({plain.get()}, false, catalogFolder), (ListTitle{"Summer & Sea", TitleIcon::Folder}));
    EXPECT_EQ(listTitle({dated.get()}, false, catalogFolder), (ListTitle{"Beach & Sun", TitleIcon::Event}));
    EXPECT_EQ(listTitle({undated.get(), dated.get()}, false, catalogFolder), (ListTitle{"Unknown", TitleIcon::Event}));
    EXPECT_EQ(listTitle({plain.get()}, true, catalogFolder), (ListTitle{"Search Results", TitleIcon::SearchResults}));
    EXPECT_EQ(listTitle({}, false, catalogFolder), (ListTitle{"<Empty>", TitleIcon::None}));
    EXPECT_EQ(totalSize({plain.get(), dated.get()}), quint64(4u << 20));
}

// QPainter shows "&" itself unless asked for mnemonics, so the strip's texts are not doubled: one
// "&" in a name must be drawn as one visible ampersand.
TEST(ThumbStripTitle, AmpersandIsDrawnOnceAsItStands) {
    const auto inkWidth = [](const QString& text) {
        QImage image(300, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setFont(QFont(QStringLiteral("Sans"), 14));
        painter.setPen(Qt::black);
        painter.drawText(QRect(0, 0, 300, 40), kTextFlags, text);
        painter.end();
        int left = image.width(), right = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 128) left = std::min(left, x), right = std::max(right, x);
        return right - left;
    };
    const int withOne = inkWidth(QStringLiteral("R&D"));
    EXPECT_GT(withOne, inkWidth(QStringLiteral("RD")) + 3) << "the ampersand was swallowed";
    EXPECT_LT(withOne, inkWidth(QStringLiteral("R&&D"))) << "a doubled ampersand would show twice";
    EXPECT_EQ(titleText(QStringLiteral("R&D"), 1, 0).count(QLatin1Char('&')), 1);
}

// What a tool tip shows is the caption as it stands, also when it looks like markup.
TEST(ThumbStripCaption, ToolTipShowsTextAsItStands) {
    for (const QString text : {"R&D", "Tom & Jerry", "<b>bold</b> & more", "a < b > c", "plain"}) {
        const QString tip = toolTipText(text);
        QTextDocument shown;
        if (Qt::mightBeRichText(tip))
            shown.setHtml(tip);
        else
            shown.setPlainText(tip);
        EXPECT_EQ(shown.toPlainText(), text);
    }
}

TEST(ThumbStripCaption, HeadlineElseFileName) {
    EXPECT_EQ(captionText(QStringLiteral("At the lake"), QStringLiteral("/p/a.jpg")), "At the lake");
    EXPECT_EQ(captionText(QString(), QStringLiteral("/p/Sub Folder/IMG_1.JPG")), "IMG_1.JPG");
    EXPECT_EQ(captionText(QString(), QStringLiteral("IMG_2.jpg")), "IMG_2.jpg");
}

TEST(ThumbStripCaption, MarksMoveTheTextStart) {
    const QRect box(10, 10, 160, 120);
    struct Case {
        bool flagged, starred;
        int textX, starX;
    };
    for (const Case c :
         {Case{false, false, 8, 8}, Case{true, false, 18, 18}, Case{false, true, 28, 8}, Case{true, true, 38, 18}}) {
        const CaptionLayout caption = captionLayout(box, 200, c.flagged, c.starred);
        EXPECT_EQ(caption.flag, QPoint(8, 130));
        EXPECT_EQ(caption.star.x(), c.starX);
        EXPECT_EQ(caption.text, QRect(c.textX, 130, 200 - c.textX, kCaptionHeight));
        EXPECT_EQ(caption.lineY, 130 + kCaptionHeight);
    }
}

TEST(ThumbStripLayout, BoxesFollowThePictureAndItsCrop) {
    struct Case {
        const char* name;
        PictureShape shape;
        QRect box;  // placed first in the strip
    };
    const Case cases[] = {
        {"landscape", shape({4000, 3000}), {10, 10, 160, 120}},
        {"portrait stands centred in the column", shape({3000, 4000}), {30, 10, 120, 160}},
        {"portrait cropped to landscape", shape({3000, 4000}, {0, 1000, 3000, 2250}), {10, 10, 160, 120}},
        {"landscape cropped to portrait", shape({4000, 3000}, {1000, 0, 2250, 3000}), {30, 10, 120, 160}},
        {"square crop keeps the box", shape({4000, 3000}, {0, 0, 3000, 3000}), {10, 10, 160, 120}},
        {"square picture", shape({500, 500}), {10, 10, 160, 160}},
    };
    for (const Case& c : cases) EXPECT_EQ(layout({c.shape}).first(), c.box) << c.name;
}

TEST(ThumbStripLayout, EachBoxStartsBelowTheCaptionBandOfThePrevious) {
    const QList<QRect> boxes = layout({shape({4000, 3000}), shape({3000, 4000}), shape({4000, 3000})});
    ASSERT_EQ(boxes.size(), 3);
    EXPECT_EQ(boxes[0].top(), 10);
    EXPECT_EQ(boxes[1].top(), 10 + 120 + 25);
    EXPECT_EQ(boxes[2].top(), 10 + 120 + 25 + 160 + 25);
}

TEST(ThumbStripLayout, CropIsDrawnFromTheMatchingPartOfTheThumbnail) {
    // A portrait picture cropped to a landscape band: the box is landscape and shows only the band.
    const PictureShape portrait = shape({3000, 4000}, {0, 1000, 3000, 2250});
    const QSize box = boxSize(portrait);
    EXPECT_EQ(cropInThumbnail(portrait, box), QRectF(0, 40, 120, 90));
    EXPECT_EQ(sourceRect(portrait, box, QSize(120, 160)), QRectF(0, 40, 120, 90));
    // A thumbnail image at twice the size (a camera's) is cut at the same place.
    EXPECT_EQ(sourceRect(portrait, box, QSize(240, 320)), QRectF(0, 80, 240, 180));

    const PictureShape whole = shape({4000, 3000});
    EXPECT_EQ(sourceRect(whole, boxSize(whole), QSize(160, 120)), QRectF(0, 0, 160, 120));
    // A picture that could not be read draws its stand-in whole.
    EXPECT_EQ(sourceRect(PictureShape{{120, 160}, {}, {}}, {120, 160}, QSize(120, 160)), QRectF(0, 0, 120, 160));
}

TEST(ThumbStripScroll, RangeIsZeroWhenEverythingFits) {
    const QList<QRect> boxes = layout({shape({4000, 3000}), shape({4000, 3000})});  // bottom 275
    EXPECT_EQ(scrollRange(boxes, 400), ScrollRange{});
    EXPECT_EQ(scrollRange(boxes, 275), ScrollRange{});
    EXPECT_EQ(scrollRange({}, 0), ScrollRange{});
    EXPECT_EQ(scrollLimit(ScrollRange{}), 0);

    EXPECT_EQ(scrollRange(boxes, 274), (ScrollRange{300, 150}));
    EXPECT_EQ(scrollLimit({300, 150}), 151);
    // The state before the first list.
    EXPECT_EQ(scrollLimit({100, 40}), 61);
}

TEST(ThumbStripScroll, TargetPutsTheBoxNearTheTop) {
    const QList<QRect> boxes = layout({shape({4000, 3000}), shape({4000, 3000})});
    EXPECT_EQ(scrollTarget(boxes, 1), 155 - 5);
    EXPECT_EQ(scrollTarget(boxes, -1), 5);
    EXPECT_EQ(scrollTarget(boxes, 7), 5);
}

TEST(ThumbStripScroll, VisibleBoxesMatchTheBoxByBoxTest) {
    QList<PictureShape> shapes;
    for (int i = 0; i < 300; ++i) shapes.append(shape(i % 3 ? QSize(4000, 3000) : QSize(3000, 4000)));
    const QList<QRect> boxes = layout(shapes);
    const QSize client(180, 420);
    for (int scroll = 0; scroll < boxes.last().bottom() + 100; scroll += 37) {
        QList<int> expected;
        for (int i = 0; i < boxes.size(); ++i)
            if (isVisible(boxes[i], scroll, client)) expected.append(i);
        ASSERT_EQ(visibleBoxes(boxes, scroll, client), expected) << "scroll " << scroll;
        ASSERT_FALSE(expected.isEmpty() && scroll < boxes.last().bottom());
    }
}

TEST(ThumbStripScroll, BoxesJustOutsideTheViewAreStillPaintedWithinTheSlack) {
    const QRect box(10, 100, 160, 120);  // rows 100..219
    const QSize client(180, 50);
    EXPECT_TRUE(isVisible(box, 100 + 120 + 34, client));
    EXPECT_FALSE(isVisible(box, 100 + 120 + 35, client));
    EXPECT_TRUE(isVisible(box, 100 - 50 - 34, client));
    EXPECT_FALSE(isVisible(box, 100 - 50 - 35, client));
}

TEST(ThumbStripHit, RightButtonLooksFifteenPixelsFurtherRight) {
    const QList<QRect> boxes = layout({shape({4000, 3000}), shape({3000, 4000})});
    EXPECT_EQ(hitTest(boxes, {20, 20}), 0);
    EXPECT_EQ(hitTest(boxes, {0, 20}), -1);
    EXPECT_EQ(hitTest(boxes, {0, 20}, kHitShift), 0);
    EXPECT_EQ(hitTest(boxes, {169, 20}, kHitShift), -1);
    EXPECT_EQ(hitTest(boxes, {20, 140}), -1) << "the caption band is no box";
    EXPECT_EQ(hitTest(boxes, {20, 160}), -1) << "left of the centred portrait box";
    EXPECT_EQ(hitTest(boxes, {20, 160}, kHitShift), 1);
}

TEST(ThumbStripNavigation, TargetsOfTheCommands) {
    const QStringList three{"/p/a.jpg", "/p/b.jpg", "/p/c.jpg"};
    struct Case {
        const char* name;
        QStringList paths;
        QString open;
        std::optional<int> next, prev;
        QString nextPath;
    };
    const Case cases[] = {
        {"nothing open", three, "", 0, 2, ""},
        {"first", three, "/p/a.jpg", 1, std::nullopt, "/p/b.jpg"},
        {"middle", three, "/p/b.jpg", 2, 0, "/p/c.jpg"},
        {"last: Next does nothing, Save Next wraps", three, "/p/c.jpg", std::nullopt, 1, "/p/a.jpg"},
        {"open picture not listed", three, "/q/x.jpg", 0, 2, "/p/a.jpg"},
        {"path differs in case", three, "/P/B.JPG", 2, 0, "/p/c.jpg"},
        {"only picture", {"/p/a.jpg"}, "/p/a.jpg", std::nullopt, std::nullopt, "/p/a.jpg"},
        {"empty list", {}, "/p/a.jpg", std::nullopt, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(nextTarget(c.paths, c.open), c.next) << c.name;
        EXPECT_EQ(prevTarget(c.paths, c.open), c.prev) << c.name;
        EXPECT_EQ(nextPath(c.paths, c.open), c.nextPath) << c.name;
    }
    EXPECT_EQ(firstTarget(3), 0);
    EXPECT_EQ(lastTarget(3), 2);
    EXPECT_EQ(firstTarget(0), std::nullopt);
    EXPECT_EQ(lastTarget(0), std::nullopt);
}

TEST(ThumbStripNavigation, ExactPathWinsOverOneThatDiffersInCase) {
    const QStringList paths{"/p/a.jpg", "/p/A.jpg"};
    EXPECT_EQ(indexOfPath(paths, "/p/A.jpg"), 1);
    EXPECT_EQ(indexOfPath(paths, "/P/A.JPG"), 0);
    EXPECT_EQ(indexOfPath(paths, ""), -1);
}

// The worker's thumbnail must be the one the picture itself would draw, for each source.
class ThumbnailJobTest : public ::testing::Test {
protected:
    QString plainPicture(const QString& name, QSize size) {
        QImage image(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) image.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
        const QString path = sandbox_.filePath(name);
        EXPECT_TRUE(image.save(path, "JPEG"));
        return path;
    }
    void expectSameAsPicture(const QString& path, PictureRecord::ThumbnailSource source) {
        PictureRecord picture(path);
        const QImage made = thumbnailjobs::make(thumbnailjobs::jobFor(picture));
        picture.makeThumbnail();
        ASSERT_EQ(picture.thumbnailSource(), source) << path.toStdString();
        EXPECT_FALSE(made.isNull());
        EXPECT_EQ(made.size(), picture.thumbnailImage().size());
        EXPECT_EQ(made.convertToFormat(QImage::Format_RGB32),
                  picture.thumbnailImage().convertToFormat(QImage::Format_RGB32));
    }
    testsupport::SandBox sandbox_;
};

TEST_F(ThumbnailJobTest, CameraThumbnailFirst) {
    expectSameAsPicture(testsupport::dataPath("Canon_40D.jpg"), PictureRecord::ThumbnailSource::ExifThumbnail);
}

TEST_F(ThumbnailJobTest, ReducedDecodeWhenThereIsNoStoredThumbnailAndTheTurnIsApplied) {
    const QString path = plainPicture("plain.jpg", {400, 300});
    expectSameAsPicture(path, PictureRecord::ThumbnailSource::Decoded);

    PictureRecord turned(path);
    turned.iptc().instructions = QStringLiteral("Rotate:90");
    ASSERT_TRUE(turned.save());
    expectSameAsPicture(path, PictureRecord::ThumbnailSource::Decoded);
    EXPECT_EQ(thumbnailjobs::make(thumbnailjobs::jobFor(PictureRecord(path))).size(), QSize(120, 160));
}

// A camera picture whose pixels another program turned upright, leaving the camera's landscape
// thumbnail as it was: the strip must show it upright, as the large view does.
TEST_F(ThumbnailJobTest, ACameraThumbnailLyingOnItsSideIsNotUsed) {
    const QByteArray original = testsupport::readAll(testsupport::dataPath("Canon_40D.jpg"));
    QByteArray exif;  // the camera's APP1 segment, thumbnail and all
    for (qsizetype at = 2; at + 4 <= original.size() && exif.isEmpty();) {
        const int length = (uchar(original[at + 2]) << 8) | uchar(original[at + 3]);
        if (uchar(original[at + 1]) == 0xE1 && original.mid(at + 4, 4) == "Exif") exif = original.mid(at, 2 + length);
        at += 2 + length;
    }
    ASSERT_FALSE(exif.isEmpty());
    QImage pixels;
    ASSERT_TRUE(pixels.loadFromData(original, "JPEG"));
    ASSERT_GT(pixels.width(), pixels.height());
    QByteArray upright;
    {
        QBuffer buffer(&upright);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(pixels.transformed(QTransform().rotate(90)).save(&buffer, "JPEG"));
    }
    const QString path = sandbox_.filePath("upright.jpg");
    ASSERT_TRUE(testsupport::writeAll(path, upright.left(2) + exif + upright.mid(2)));

    PictureRecord picture(path);
    ASSERT_FALSE(picture.exifThumbnail().isEmpty());
    ASSERT_EQ(QSize(picture.displayWidth(), picture.displayHeight()), pixels.size().transposed());
    expectSameAsPicture(path, PictureRecord::ThumbnailSource::Decoded);
    EXPECT_EQ(thumbnailjobs::make(thumbnailjobs::jobFor(picture)).size(),
              thumbnails::thumbnailSize(pixels.size().transposed()));
}

TEST_F(ThumbnailJobTest, StoredIptcThumbnailBeforeDecoding) {
    const QString path = plainPicture("stored.jpg", {300, 400});
    {
        PictureRecord picture(path);
        picture.makeThumbnail();  // a decoded thumbnail goes into the picture data with its next change
        picture.iptc().headline = QStringLiteral("Captioned");
        ASSERT_TRUE(picture.save());
    }
    expectSameAsPicture(path, PictureRecord::ThumbnailSource::IptcThumbnail);
}

TEST_F(ThumbnailJobTest, CatalogEntryIsNeverDecoded) {
    ThumbnailJob job = thumbnailjobs::jobFor(PictureRecord(plainPicture("c.jpg", {400, 300})));
    job.decodePath.clear();
    EXPECT_TRUE(thumbnailjobs::make(job).isNull());
}

TEST_F(ThumbnailJobTest, ACatalogEntryIsDecodedWhileItsPictureIsThereAndNotWhenArchived) {
    struct Case {
        const char* name;
        bool archived;
        bool removed;
        bool decoded;
    };
    const Case cases[] = {
        {"picture present", false, false, true},
        {"picture gone", false, true, false},
        {"archived, its disc mounted", true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::SandBox folder;
        const QString path = folder.copy(plainPicture("c.jpg", {400, 300}));
        ASSERT_TRUE(Catalog().create(folder.path(), false).ok());
        if (c.archived) {
            ASSERT_TRUE(Catalog().rewriteArchive(folder.path(), "CD0002", folder.path() + "/"));
        }
        if (c.removed) {
            ASSERT_TRUE(QFile::remove(path));
        }
        Catalog catalog;
        ASSERT_TRUE(catalog.load(folder.path(), true));
        PictureList pictures = catalog.takePictures();
        ASSERT_EQ(pictures.size(), 1u);
        ASSERT_TRUE(pictures[0]->fromCatalog());
        ASSERT_EQ(pictures[0]->filePath(), path);

        const ThumbnailJob job = thumbnailjobs::jobFor(*pictures[0]);
        EXPECT_EQ(job.decodePath, c.decoded ? path : QString());
        const QImage made = thumbnailjobs::make(job);
        EXPECT_EQ(made.isNull(), !c.decoded);
        if (c.decoded) {
            // As folder mode makes it from the file.
            PictureRecord fromFile(path);
            fromFile.makeThumbnail();
            EXPECT_EQ(made.convertToFormat(QImage::Format_RGB32),
                      fromFile.thumbnailImage().convertToFormat(QImage::Format_RGB32));
        }
    }
}

class ThumbnailLoaderTest : public ::testing::Test {
protected:
    static std::optional<ThumbnailJob> jobWithKey(const QString& key) {
        ThumbnailJob job;
        job.key = key;
        return job;
    }
};

TEST_F(ThumbnailLoaderTest, EveryIndexOnceAndResultsOfAReplacedListAreDropped) {
    int list = 0;
    ThumbnailLoader loader([&](int index) { return jobWithKey(QStringLiteral("%1:%2").arg(list).arg(index)); });
    QSignalSpy ready(&loader, &ThumbnailLoader::thumbnailReady);
    QSignalSpy done(&loader, &ThumbnailLoader::allDone);

    loader.reset(20);  // some of these are running now
    list = 1;
    loader.reset(5);
    while (!loader.idle()) ASSERT_TRUE(done.wait(10000));

    QStringList keys;
    for (const QList<QVariant>& args : ready) keys.append(args.at(1).toString());
    keys.sort();
    EXPECT_EQ(keys, QStringList({"1:0", "1:1", "1:2", "1:3", "1:4"}));
}

TEST_F(ThumbnailLoaderTest, PreferredIndexesStartNext) {
    QList<int> asked;
    ThumbnailLoader loader([&](int index) {
        asked.append(index);
        return jobWithKey(QString::number(index));
    });
    loader.reset(64);
    const int runningAtOnce = int(asked.size());
    ASSERT_LT(runningAtOnce, 60);
    loader.prefer({50, 40, 61});
    QSignalSpy done(&loader, &ThumbnailLoader::allDone);
    while (!loader.idle()) ASSERT_TRUE(done.wait(10000));

    ASSERT_EQ(asked.size(), 64) << "each index exactly once";
    const QList<int> next = asked.mid(runningAtOnce, 3);
    EXPECT_EQ(next, QList<int>({50, 40, 61})) << "started right after the first batch";
}

TEST_F(ThumbnailLoaderTest, SkippedIndexesCostNothing) {
    ThumbnailLoader loader([](int) { return std::optional<ThumbnailJob>(); });
    QSignalSpy ready(&loader, &ThumbnailLoader::thumbnailReady);
    loader.reset(1000);
    EXPECT_TRUE(loader.idle());
    EXPECT_EQ(ready.size(), 0);
}

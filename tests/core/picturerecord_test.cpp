// The picture object: its constructions, rotation, crop, date, lock state, full image and thumbnails.
// The pictures are made here: a small JPEG with coloured quarters (so a turn can be seen), with an
// EXIF block and picture data spliced in after the start-of-image marker.

#include "picturerecord.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>

#include "jpegbuilder.h"
#include "scriptedprompter.h"
#include "testsupport.h"
#include "thumbnailmaker.h"

using jpegbuilder::be16;
using testsupport::SandBox;
using Source = PictureRecord::ThumbnailSource;

namespace {

const QColor kRed(220, 30, 30), kGreen(30, 200, 60), kBlue(30, 60, 220), kYellow(230, 220, 40);

// Red top left, green top right, blue bottom left, yellow bottom right.
QImage quarters(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, width / 2, height / 2, kRed);
    p.fillRect(width / 2, 0, width - width / 2, height / 2, kGreen);
    p.fillRect(0, height / 2, width / 2, height - height / 2, kBlue);
    p.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, kYellow);
    return image;
}

QByteArray jpegOf(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    writer.write(image);
    return bytes;
}

QByteArray be32(quint32 v) { return be16(int(v >> 16)) + be16(int(v & 0xFFFF)); }

QByteArray ifdEntry(int tag, int type, quint32 count, const QByteArray& value4) {
    return be16(tag) + be16(type) + be32(count) + value4;
}

// A big-endian EXIF APP1 segment: orientation (0 = no tag), DateTimeOriginal in the EXIF directory,
// and a thumbnail in the second directory, each only when given.
QByteArray exifSegment(int orientation, const QByteArray& taken = {}, const QByteArray& thumbnail = {}) {
    const int count0 = (orientation ? 1 : 0) + (taken.isEmpty() ? 0 : 1);
    const quint32 exifIfd = 8 + 2 + 12 * count0 + 4;
    const quint32 ifd1 = taken.isEmpty() ? exifIfd : exifIfd + 2 + 12 + 4 + 20;
    QByteArray tiff("MM\0\x2A\0\0\0\x08", 8);
    tiff += be16(count0);
    if (orientation) tiff += ifdEntry(0x0112, 3, 1, be16(orientation) + be16(0));
    if (!taken.isEmpty()) tiff += ifdEntry(0x8769, 4, 1, be32(exifIfd));
    tiff += be32(thumbnail.isEmpty() ? 0 : ifd1);
    if (!taken.isEmpty()) {
        tiff += be16(1) + ifdEntry(0x9003, 2, 20, be32(exifIfd + 18)) + be32(0);
        tiff += taken.leftJustified(19, ' ', true) + '\0';
    }
    if (!thumbnail.isEmpty()) {
        tiff += be16(2) + ifdEntry(0x0201, 4, 1, be32(ifd1 + 30)) + ifdEntry(0x0202, 4, 1, be32(thumbnail.size())) +
                be32(0);
        tiff += thumbnail;
    }
    return jpegbuilder::segment(0xE1, QByteArray("Exif\0\0", 6) + tiff);
}

QByteArray iptcSegment(const QByteArray& datasets) { return jpegbuilder::photoshopSegment(datasets); }
QByteArray dataset(int number, const QByteArray& value) { return jpegbuilder::dataset(2, number, value); }

// A decodable picture with the given segments after SOI.
QByteArray pictureBytes(const QImage& image, const QList<QByteArray>& segments = {}) {
    const QByteArray jpeg = jpegOf(image);
    QByteArray out = jpeg.left(2);
    for (const QByteArray& s : segments) out += s;
    return out + jpeg.mid(2);
}

QString writePicture(const SandBox& box, const QString& name, const QByteArray& bytes) {
    const QString path = box.filePath(name);
    EXPECT_TRUE(testsupport::writeAll(path, bytes));
    return path;
}

bool near(QRgb pixel, const QColor& colour, int tolerance = 48) {
    return std::abs(qRed(pixel) - colour.red()) <= tolerance && std::abs(qGreen(pixel) - colour.green()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

// A catalog file: some bytes of its own, then one picture header copy.
struct CatalogCopy {
    QString path;
    qint64 offset = 0;
};
CatalogCopy writeCatalog(const SandBox& box, const QByteArray& picture) {
    const QByteArray before("catalog entry\n");
    return {writePicture(box, "Snaplore.sidx", before + picture), before.size()};
}

}  // namespace

// ---- Rotation, crop and date ---------------------------------------------------------------------

TEST(PictureRotation, FromExifOrientationAndInstructionText) {
    const struct {
        int orientation;
        const char* instructions;
        int rotation;
    } cases[] = {
        {0, "", 0},
        {1, "", 0},
        {2, "", 0},
        {3, "", 180},
        {4, "", 180},
        {5, "", 270},
        {6, "", 90},
        {7, "", 90},
        {8, "", 270},
        {6, "Rotate:180", 180},  // the instruction text replaces the camera's angle
        {6, "Rotate:0", 90},     // ... but only with a positive value
        {6, "Rotate:360", 0},    // a full turn stands the camera's picture upright again
        {6, "Rotate:-90", 90},
        {1, "Rotate:270,CropLeft:0,CropRight:48", 270},
        {1, "Rotate:450", 90},  // taken modulo a full turn
    };
    SandBox box;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "orientation " << c.orientation << " text " << c.instructions);
        QList<QByteArray> segments{exifSegment(c.orientation)};
        if (*c.instructions) segments << iptcSegment(dataset(40, c.instructions));
        const PictureRecord picture(writePicture(box, "turn.jpg", pictureBytes(quarters(64, 48), segments)));
        EXPECT_EQ(picture.rotation(), c.rotation);
        const bool sideways = c.rotation == 90 || c.rotation == 270;
        EXPECT_EQ(picture.displayWidth(), sideways ? 48 : 64);
        EXPECT_EQ(picture.displayHeight(), sideways ? 64 : 48);
        // Reading never decodes: the thumbnail is made on first draw.
        EXPECT_FALSE(picture.imageLoaded());
        EXPECT_EQ(picture.thumbnailSource(), Source::None);
    }
}

TEST(PictureRotation, ImageIsTurnedClockwiseAndFollowsLaterTurns) {
    SandBox box;
    PictureRecord picture(writePicture(box, "six.jpg", pictureBytes(quarters(64, 48), {exifSegment(6)})));
    ASSERT_TRUE(picture.loadImage());
    ASSERT_EQ(picture.image().size(), QSize(48, 64));
    EXPECT_TRUE(near(picture.image().pixel(44, 4), kRed));  // top left went to top right
    EXPECT_TRUE(near(picture.image().pixel(4, 60), kYellow));

    picture.rotateTo(0);
    EXPECT_EQ(picture.image().size(), QSize(64, 48));
    EXPECT_TRUE(near(picture.image().pixel(4, 4), kRed));
    picture.rotateTo(-90);
    EXPECT_EQ(picture.rotation(), 270);
    EXPECT_TRUE(near(picture.image().pixel(4, 60), kRed));  // top left went to bottom left

    picture.unloadImage();
    EXPECT_FALSE(picture.imageLoaded());
}

TEST(PictureRotation, ReducedLoadFitsTheDisplayedShape) {
    SandBox box;
    PictureRecord picture(writePicture(box, "six.jpg", pictureBytes(quarters(64, 48), {exifSegment(6)})));
    ASSERT_TRUE(picture.loadImage(QSize(24, 24)));
    EXPECT_EQ(picture.image().size(), QSize(18, 24));
    EXPECT_TRUE(near(picture.image().pixel(15, 2), kRed));
    ASSERT_TRUE(picture.loadImage(QSize(1000, 1000)));  // never enlarged
    EXPECT_EQ(picture.image().size(), QSize(48, 64));
}

TEST(PictureCrop, EdgesFromTheInstructionTextInDisplayedPixels) {
    SandBox box;
    const PictureRecord plain(writePicture(box, "plain.jpg", pictureBytes(quarters(64, 48), {exifSegment(6)})));
    EXPECT_EQ(plain.cropRect(), (instructiontext::CropEdges{0, 48, 0, 64}));
    EXPECT_EQ(plain.cropTo(), 0);

    const PictureRecord cropped(writePicture(
        box, "cropped.jpg",
        pictureBytes(
            quarters(64, 48),
            {exifSegment(6), iptcSegment(dataset(40, "Rotate:90,CropLeft:5,CropTop:7,CropBottom:30,CropTo:2"))})));
    // No "CropRight:": the crop reaches the right edge of the turned picture.
    EXPECT_EQ(cropped.cropRect(), (instructiontext::CropEdges{5, 48, 7, 30}));
    EXPECT_EQ(cropped.cropTo(), 2);
}

TEST(PictureDate, PictureDataThenCameraThenFileTime) {
    SandBox box;
    const QDateTime fileTime(QDate(2001, 2, 3), QTime(4, 5, 6));
    const QByteArray iptcDate = iptcSegment(dataset(55, "19991231") + dataset(60, "235958"));
    const struct {
        const char* name;
        QList<QByteArray> segments;
        QDateTime expected;
    } cases[] = {
        {"iptc", {exifSegment(1, "2008:05:30 15:56:01"), iptcDate}, QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58))},
        {"exif", {exifSegment(1, "2008:05:30 15:56:01")}, QDateTime(QDate(2008, 5, 30), QTime(15, 56, 1))},
        {"exif-dashes", {exifSegment(1, "2008-05-30 15:56")}, QDateTime(QDate(2008, 5, 30), QTime(15, 56))},
        {"exif-zero", {exifSegment(1, "0000:00:00 00:00:00")}, fileTime},
        {"exif-blank", {exifSegment(1, "    :  :     :  :  ")}, fileTime},
        {"none", {}, fileTime},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = writePicture(box, QString(c.name) + ".jpg", pictureBytes(quarters(16, 16), c.segments));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(fileTime, QFileDevice::FileModificationTime));
        file.close();
        const QDateTime taken = PictureRecord(path).dateTime();
        EXPECT_EQ(taken.date(), c.expected.date());
        EXPECT_EQ(taken.time(), c.expected.time());
    }
    EXPECT_FALSE(PictureRecord().dateTime().isValid());
    EXPECT_FALSE(PictureRecord(box.filePath("missing.jpg")).dateTime().isValid());
}

// ---- File, lock and constructions ----------------------------------------------------------------

TEST(PictureFile, ZeroByteFileIsReportedThroughThePrompter) {
    SandBox box;
    const QString path = writePicture(box, "empty.jpg", {});
    ScriptedPrompter prompter;
    prompter.answer(id::Ok);
    const PictureRecord picture(path, &prompter);
    ASSERT_EQ(prompter.asked().size(), 1);
    EXPECT_EQ(prompter.asked()[0].text, "ERROR!! Image <empty.jpg> is zero byte file.");
    EXPECT_EQ(prompter.asked()[0].caption, "Error!");
    EXPECT_EQ(prompter.asked()[0].flags, mb::Ok | mb::IconStop);
    EXPECT_TRUE(picture.fileExists());
    EXPECT_FALSE(picture.hasData());
    EXPECT_EQ(picture.displayWidth(), 0);

    // Batch use has no prompter; the record is the same.
    const PictureRecord quiet(path);
    EXPECT_TRUE(quiet.fileExists());
    EXPECT_FALSE(quiet.isJpeg());
}

TEST(PictureFile, LockClearsEveryWriteBitAndUnlockGivesTheOwnersBack) {
    // Only the bits are checked: a test running as root may write a locked file anyway.
    SandBox box;
    const QString path = writePicture(box, "lock.jpg", pictureBytes(quarters(16, 16)));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0664), 0);
    PictureRecord picture(path);
    EXPECT_FALSE(picture.locked());

    EXPECT_TRUE(picture.lock());
    EXPECT_TRUE(picture.locked());
    EXPECT_EQ(modeOf(path), mode_t(0444));
    EXPECT_TRUE(PictureRecord(path).locked());

    EXPECT_TRUE(picture.unlock());
    EXPECT_FALSE(picture.locked());
    EXPECT_EQ(modeOf(path), mode_t(0644));

    PictureRecord gone(box.filePath("gone.jpg"));
    EXPECT_FALSE(gone.lock());
    EXPECT_FALSE(gone.fileExists());
}

TEST(PictureFile, ThreeConstructionsReadTheSamePicture) {
    SandBox box;
    const QByteArray bytes = pictureBytes(
        quarters(64, 48), {exifSegment(6), iptcSegment(dataset(105, "Falls") + dataset(40, "Rotate:180"))});
    const QString path = writePicture(box, "falls.jpg", bytes);

    const PictureRecord fromPath(path);
    QFile document(path);
    ASSERT_TRUE(document.open(QIODevice::ReadOnly));
    const PictureRecord fromDocument(document, nullptr);
    const CatalogCopy catalog = writeCatalog(box, bytes);
    QFile catalogFile(catalog.path);
    ASSERT_TRUE(catalogFile.open(QIODevice::ReadOnly));
    catalogFile.seek(catalog.offset);
    const PictureRecord fromCatalog(catalogFile, catalogFile.size());

    for (const PictureRecord* p : {&fromPath, &fromDocument, &fromCatalog}) {
        EXPECT_TRUE(p->hasData());
        EXPECT_EQ(p->iptc().headline, "Falls");
        EXPECT_EQ(p->rotation(), 180);
        EXPECT_EQ(p->displayWidth(), 64);
        EXPECT_EQ(p->headerSize(), fromPath.headerSize());
        EXPECT_TRUE(p->fileExists());
    }
    EXPECT_EQ(fromDocument.fileName(), "falls.jpg");
    EXPECT_EQ(fromDocument.filePath(), QFileInfo(path).absoluteFilePath());
    EXPECT_EQ(fromDocument.fileSize(), quint64(bytes.size()));
    EXPECT_FALSE(fromDocument.fromCatalog());
    // A catalog entry names the catalog until the loader gives it the picture's own name.
    EXPECT_EQ(fromCatalog.fileName(), "Snaplore.sidx");
    EXPECT_EQ(fromCatalog.fileSize(), quint64(catalogFile.size()));
    EXPECT_TRUE(fromCatalog.fromCatalog());

    const PictureRecord missing(box.filePath("missing.jpg"));
    EXPECT_FALSE(missing.fileExists());
    EXPECT_FALSE(missing.hasData());
    EXPECT_EQ(missing.displayWidth(), 0);
}

TEST(PictureFile, SaveDescribesTheWrittenFile) {
    SandBox box;
    const QString path = writePicture(box, "save.jpg", pictureBytes(quarters(64, 48), {exifSegment(1)}));
    PictureRecord picture(path);
    EXPECT_FALSE(picture.hasData());
    picture.iptc().headline = "Saved";
    ASSERT_TRUE(picture.save().ok());
    EXPECT_TRUE(picture.hasData());
    // The new APP13 segment lengthens the header; a catalog copies exactly headerSize bytes.
    const PictureRecord back(path);
    EXPECT_EQ(back.iptc().headline, "Saved");
    EXPECT_EQ(picture.headerSize(), back.headerSize());
    EXPECT_EQ(picture.fileSize(), quint64(QFileInfo(path).size()));
}

// ---- Thumbnails ----------------------------------------------------------------------------------

TEST(ThumbnailGeometry, SizeAndBand) {
    EXPECT_EQ(thumbnails::thumbnailSize({240, 160}), QSize(160, 106));
    EXPECT_EQ(thumbnails::thumbnailSize({160, 240}), QSize(106, 160));
    EXPECT_EQ(thumbnails::thumbnailSize({4000, 3000}), QSize(160, 120));
    EXPECT_EQ(thumbnails::thumbnailSize({5000, 2}), QSize(160, 1));
    EXPECT_TRUE(thumbnails::thumbnailSize({0, 0}).isEmpty());

    const struct {
        QSize thumb, display;
        QRect band;
    } cases[] = {
        {{160, 120}, {3000, 2000}, {0, 6, 160, 107}},  // 3:2 picture in a 4:3 camera thumbnail
        {{120, 160}, {2000, 3000}, {6, 0, 107, 160}},  // the same, turned upright
        {{160, 120}, {4000, 3000}, {0, 0, 160, 120}},  // same shape: the whole thumbnail
        {{160, 120}, {4001, 3000}, {0, 0, 160, 120}},  // shapes compared as whole percentages
        {{160, 90}, {4000, 3000}, {20, 0, 120, 90}},   // a 4:3 picture in a wide thumbnail: bars at the sides
        {{160, 120}, {0, 0}, {0, 0, 160, 120}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.display.width() << "x" << c.display.height());
        EXPECT_EQ(thumbnails::pictureBand(c.thumb, c.display), c.band);
    }
}

TEST(ThumbnailGeometry, AThumbnailMustStandLikeThePicture) {
    const struct {
        QSize thumb, display;
        bool fits;
    } cases[] = {
        {{160, 120}, {1800, 1200}, true},
        {{120, 160}, {1200, 1800}, true},
        {{160, 120}, {1200, 1800}, false},  // the camera's landscape thumbnail of a picture turned upright
        {{120, 160}, {1800, 1200}, false},
        {{160, 160}, {1200, 1800}, true},  // a square stands either way
        {{160, 120}, {1500, 1500}, true},
        {{160, 120}, {0, 0}, true},  // nothing to compare with
    };
    for (const auto& c : cases)
        EXPECT_EQ(thumbnails::standsLikePicture(c.thumb, c.display), c.fits)
            << c.thumb.width() << "x" << c.thumb.height() << " for " << c.display.width() << "x" << c.display.height();
}

// Every decode of a picture goes through this one: turned, clipped and reduced as asked, from a file or
// from bytes in memory.
TEST(TurnedDecode, PartAndSizeAreOfThePictureAsShown) {
    // The 64 x 48 picture: red top left, green top right, blue bottom left, yellow bottom right.
    const QByteArray jpeg = jpegOf(quarters(64, 48));
    SandBox box;
    const QString path = writePicture(box, "q.jpg", jpeg);
    const struct {
        int quarters;
        std::optional<QRect> part;  // as shown
        QSize size;                 // asked for
        QSize got;
        QColor topLeft, bottomRight;
    } cases[] = {
        {0, {}, {}, {64, 48}, kRed, kYellow},
        {1, {}, {}, {48, 64}, kBlue, kGreen},
        {2, {}, {}, {64, 48}, kYellow, kRed},
        {3, {}, {24, 32}, {24, 32}, kGreen, kBlue},  // reduced while decoding
        {1, {}, {12, 16}, {12, 16}, kBlue, kGreen},
        {0, {}, {128, 96}, {128, 96}, kRed, kYellow},  // larger than the picture: scaled after
        {2, {}, {100, 20}, {100, 20}, kYellow, kRed},  // wider but lower: another shape
        {1, QRect(24, 0, 24, 64), {}, {24, 64}, kRed, kGreen},        // the right half as shown
        {2, QRect(0, 0, 32, 24), {16, 12}, {16, 12}, kYellow, kYellow},  // a quarter, reduced
        {3, QRect(0, 32, 24, 32), {48, 64}, {48, 64}, kRed, kRed},       // a quarter, enlarged
        {1, QRect(0, 0, 48, 32), {12, 8}, {12, 8}, kBlue, kRed},
        {0, QRect(0, 0, 64, 48), {32, 24}, {32, 24}, kRed, kYellow},  // the whole as a part
    };
    for (const auto& c : cases) {
        for (const bool fromFile : {true, false}) {
            SCOPED_TRACE(testing::Message() << "quarters " << c.quarters << " part " << (c.part ? c.part->width() : 0)
                                            << "x" << (c.part ? c.part->height() : 0) << " size " << c.size.width()
                                            << "x" << c.size.height() << (fromFile ? " from the file" : " from bytes"));
            std::optional<thumbnails::TurnedDecoder> decoder;
            if (fromFile)
                decoder.emplace(path, c.quarters);
            else
                decoder.emplace(jpeg, c.quarters);
            EXPECT_EQ(decoder->size(), c.quarters % 2 ? QSize(48, 64) : QSize(64, 48));
            const QImage image = c.part ? decoder->read(*c.part, c.size) : decoder->read(c.size);
            ASSERT_EQ(image.size(), c.got);
            const int dx = image.width() / 8, dy = image.height() / 8;
            EXPECT_TRUE(near(image.pixel(dx, dy), c.topLeft));
            EXPECT_TRUE(near(image.pixel(image.width() - 1 - dx, image.height() - 1 - dy), c.bottomRight));
        }
    }
}

TEST(TurnedDecode, DamagedOrMissingPicturesGiveNothingOrWhatWasAsked) {
    const QByteArray jpeg = jpegOf(quarters(64, 48));
    const qsizetype scan = jpeg.indexOf("\xFF\xDA");
    ASSERT_GT(scan, 0);
    const struct {
        const char* what;
        QByteArray bytes;
        bool sized;  // the header still tells the size
    } cases[] = {
        {"no bytes", {}, false},
        {"no picture", "not a picture at all", false},
        {"start marker only", "\xFF\xD8", false},
        {"scan cut short", jpeg.left((scan + jpeg.size()) / 2), true},
        {"frame without tables for its scan", jpegbuilder::picture({}), true},
        {"frame of 0 x 0", jpegbuilder::picture({}, 0, 0), false},
    };
    SandBox box;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const int turns : {0, 1}) {
            const QSize shown = turns ? QSize(48, 64) : QSize(64, 48);
            EXPECT_EQ(thumbnails::TurnedDecoder(c.bytes, turns).size(), c.sized ? shown : QSize());
            // Whatever the decoder makes of it, a picture comes back at the size asked, or none.
            for (const QSize size : {QSize(), QSize(16, 12), QSize(160, 120)}) {
                thumbnails::TurnedDecoder whole(c.bytes, turns);
                const QImage image = whole.read(size);
                if (image.isNull()) {
                    EXPECT_FALSE(whole.errorString().isEmpty());
                } else {
                    EXPECT_EQ(image.size(), size.isValid() ? size : shown);
                }
                thumbnails::TurnedDecoder part(writePicture(box, "damaged.jpg", c.bytes), turns);
                const QImage piece = part.read(QRect(8, 8, 16, 16), size);
                if (!piece.isNull()) {
                    EXPECT_TRUE(c.sized);
                    EXPECT_EQ(piece.size(), size.isValid() ? size : QSize(16, 16));
                }
            }
        }
    }
    thumbnails::TurnedDecoder missing(box.filePath("missing.jpg"), 1);
    EXPECT_FALSE(missing.size().isValid());
    EXPECT_TRUE(missing.read(QSize(16, 12)).isNull());
    EXPECT_FALSE(missing.errorString().isEmpty());
}

TEST(PictureThumbnail, CheapestSourceFirst) {
    const QByteArray cameraThumb = jpegOf(quarters(160, 106));
    const QByteArray storedThumb = jpegOf(quarters(160, 106).mirrored());
    const struct {
        bool exif, iptc;
        PictureRecord::ExifThumbnails use;
        Source expected;
    } cases[] = {
        {true, true, PictureRecord::ExifThumbnails::Use, Source::ExifThumbnail},
        {false, true, PictureRecord::ExifThumbnails::Use, Source::IptcThumbnail},
        {true, true, PictureRecord::ExifThumbnails::Skip, Source::IptcThumbnail},
        {true, false, PictureRecord::ExifThumbnails::Skip, Source::Decoded},
        {false, false, PictureRecord::ExifThumbnails::Use, Source::Decoded},
    };
    SandBox box;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "exif " << c.exif << " iptc " << c.iptc);
        QList<QByteArray> segments{exifSegment(1, {}, c.exif ? cameraThumb : QByteArray())};
        if (c.iptc) segments << iptcSegment(dataset(224, storedThumb));
        PictureRecord picture(writePicture(box, "thumb.jpg", pictureBytes(quarters(240, 160), segments)));
        picture.makeThumbnail(c.use);
        EXPECT_EQ(picture.thumbnailSource(), c.expected);
        // Only the last source decodes the picture, and frees it again at once.
        EXPECT_EQ(picture.thumbnail().isNull(), c.expected != Source::Decoded);
        EXPECT_FALSE(picture.imageLoaded());
        EXPECT_EQ(picture.thumbnailImage().size(), QSize(160, 106));
    }
}

TEST(PictureThumbnail, AThumbnailLyingOnItsSideIsPassedOver) {
    const QByteArray upright = jpegOf(quarters(106, 160)), sideways = jpegOf(quarters(160, 106));
    const struct {
        QByteArray exif, iptc;
        Source expected;
    } cases[] = {
        {sideways, {}, Source::Decoded},
        {sideways, upright, Source::IptcThumbnail},
        {sideways, sideways, Source::Decoded},
        {upright, sideways, Source::ExifThumbnail},
    };
    SandBox box;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "iptc " << !c.iptc.isEmpty() << " upright " << (c.iptc == upright));
        QList<QByteArray> segments{exifSegment(1, {}, c.exif)};
        if (!c.iptc.isEmpty()) segments << iptcSegment(dataset(224, c.iptc));
        PictureRecord picture(writePicture(box, "upright.jpg", pictureBytes(quarters(160, 240), segments)));
        picture.makeThumbnail();
        EXPECT_EQ(picture.thumbnailSource(), c.expected);
        EXPECT_EQ(picture.thumbnailImage().size(), QSize(106, 160));
    }
}

TEST(PictureThumbnail, DecodedAtDisplayedShapeAndKeptForTheNextSave) {
    SandBox box;
    const QString path = writePicture(box, "decode.jpg", pictureBytes(quarters(240, 160), {exifSegment(6)}));
    PictureRecord picture(path);
    picture.makeThumbnail();
    ASSERT_EQ(picture.thumbnailSource(), Source::Decoded);
    EXPECT_EQ(picture.thumbnail().size(), QSize(106, 160));
    EXPECT_EQ(picture.turnedThumbnail().size(), QSize(160, 106));
    EXPECT_TRUE(near(picture.thumbnail().pixel(100, 5), kRed));  // upright: turned like the picture
    ASSERT_TRUE(picture.iptc().hasThumbnail());
    EXPECT_EQ(picture.iptc().thumbnail().size(), QSize(106, 160));

    picture.iptc().headline = "With thumbnail";
    ASSERT_TRUE(picture.save().ok());
    PictureRecord back(path);
    back.makeThumbnail();
    EXPECT_EQ(back.thumbnailSource(), Source::IptcThumbnail);
    EXPECT_EQ(back.thumbnailImage().size(), QSize(106, 160));
}

TEST(PictureThumbnail, CatalogEntryIsNeverDecoded) {
    SandBox box;
    for (const QSize frame : {QSize(64, 48), QSize(48, 64)}) {
        const QByteArray bytes = pictureBytes(quarters(frame.width(), frame.height()), {exifSegment(1)});
        const QString picturePath = writePicture(box, "pic.jpg", bytes);
        const CatalogCopy catalog = writeCatalog(box, bytes);
        QFile file(catalog.path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        file.seek(catalog.offset);
        PictureRecord entry(file, file.size());
        entry.setFileName("pic.jpg");
        entry.setFilePath(picturePath);  // decodable, yet not to be decoded

        const bool landscape = frame.width() > frame.height();
        QImage drawn(landscape ? QSize(160, 120) : QSize(120, 160), QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        QPainter painter(&drawn);
        entry.drawThumbnail(painter, drawn.rect());
        painter.end();
        EXPECT_EQ(entry.thumbnailSource(), Source::None);
        EXPECT_FALSE(entry.iptc().hasThumbnail());
        const QImage expected = thumbnails::placeholder(landscape);
        ASSERT_EQ(expected.size(), drawn.size());
        EXPECT_EQ(drawn, expected.convertToFormat(drawn.format()));
    }
}

TEST(PictureThumbnail, CatalogEntryUsesTheCameraThumbnailFromItsHeader) {
    SandBox box;
    const QByteArray bytes = pictureBytes(quarters(240, 160), {exifSegment(6, {}, jpegOf(quarters(160, 106)))});
    const CatalogCopy catalog = writeCatalog(box, bytes);
    QFile file(catalog.path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    file.seek(catalog.offset);
    PictureRecord entry(file, file.size());
    entry.makeThumbnail();
    EXPECT_EQ(entry.thumbnailSource(), Source::ExifThumbnail);
    EXPECT_EQ(entry.embeddedThumbnail().size(), QSize(106, 160));  // turned like the picture
}

TEST(PictureThumbnail, CameraThumbnailWithBarsDrawsOnlyThePicture) {
    // A camera's 160 x 120 thumbnail of a 3:2 picture: black bars above and below a green band.
    QImage barred(160, 120, QImage::Format_RGB32);
    barred.fill(Qt::black);
    QPainter(&barred).fillRect(0, 6, 160, 107, kGreen);
    const QByteArray cameraThumb = jpegOf(barred);

    const struct {
        int orientation;
        QSize band;
    } cases[] = {{1, {160, 107}}, {6, {107, 160}}};
    SandBox box;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.orientation);
        PictureRecord picture(writePicture(
            box, "bars.jpg", pictureBytes(quarters(300, 200), {exifSegment(c.orientation, {}, cameraThumb)})));
        QImage drawn(c.band, QImage::Format_RGB32);
        drawn.fill(Qt::white);
        QPainter painter(&drawn);
        picture.drawThumbnail(painter, drawn.rect());
        painter.end();
        ASSERT_EQ(picture.thumbnailSource(), Source::ExifThumbnail);
        EXPECT_EQ(picture.thumbnailImage().size(), c.band);
        for (const QPoint corner : {QPoint(1, 1), QPoint(c.band.width() - 2, c.band.height() - 2)})
            EXPECT_TRUE(near(drawn.pixel(corner), kGreen)) << corner.x() << "," << corner.y();
    }
}

TEST(PictureThumbnail, DrawnTurnedIntoTheExchangedRectangle) {
    const struct {
        const char* name;
        bool cameraThumb;
    } cases[] = {{"decoded", false}, {"camera", true}};
    SandBox box;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PictureRecord picture(writePicture(
            box, "turned.jpg",
            pictureBytes(quarters(240, 160),
                         {exifSegment(1, {}, c.cameraThumb ? jpegOf(quarters(160, 106)) : QByteArray())})));
        QImage drawn(200, 200, QImage::Format_RGB32);
        drawn.fill(Qt::white);
        QPainter painter(&drawn);
        picture.drawThumbnail(painter, QRect(10, 10, 160, 106), true);
        painter.end();
        // Drawn 106 wide and 160 high from the same corner, the top left quarter now at the top right.
        EXPECT_TRUE(near(drawn.pixel(110, 14), kRed));
        EXPECT_TRUE(near(drawn.pixel(14, 14), kBlue));
        EXPECT_TRUE(near(drawn.pixel(14, 165), kYellow));
        EXPECT_EQ(drawn.pixel(150, 20), qRgb(255, 255, 255));
        EXPECT_EQ(drawn.pixel(20, 180), qRgb(255, 255, 255));
    }
}

TEST(PictureThumbnail, TurningLaterRemakesThumbnailsAndTheStoredOne) {
    SandBox box;
    PictureRecord decoded(writePicture(box, "a.jpg", pictureBytes(quarters(240, 160), {exifSegment(1)})));
    decoded.makeThumbnail();
    ASSERT_EQ(decoded.thumbnail().size(), QSize(160, 106));
    decoded.rotateTo(90);
    EXPECT_EQ(decoded.displayWidth(), 160);
    EXPECT_EQ(decoded.thumbnail().size(), QSize(106, 160));
    EXPECT_EQ(decoded.turnedThumbnail().size(), QSize(160, 106));
    EXPECT_TRUE(near(decoded.thumbnail().pixel(100, 5), kRed));
    EXPECT_EQ(decoded.iptc().thumbnail().size(), QSize(106, 160));

    // A stored thumbnail is turned along, without a decode, so that the next save keeps it upright.
    PictureRecord stored(writePicture(
        box, "b.jpg", pictureBytes(quarters(240, 160), {iptcSegment(dataset(224, jpegOf(quarters(160, 106))))})));
    stored.makeThumbnail();
    ASSERT_EQ(stored.thumbnailSource(), Source::IptcThumbnail);
    stored.rotateTo(270);
    EXPECT_EQ(stored.embeddedThumbnail().size(), QSize(106, 160));
    EXPECT_TRUE(near(stored.embeddedThumbnail().pixel(5, 155), kRed));
    EXPECT_EQ(stored.iptc().thumbnail().size(), QSize(106, 160));
    EXPECT_TRUE(stored.thumbnail().isNull());
}

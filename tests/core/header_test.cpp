// The header walk and the segment reader: what a picture's first bytes give, and how broken headers end.

#include "diagnostics.h"
#include "jpegbuilder.h"
#include "pictureheader.h"
#include "picturerecord.h"
#include "testsupport.h"

#include <QBuffer>
#include <QFile>

#include <gtest/gtest.h>

using namespace jpegbuilder;

namespace {

struct Walked {
    bool ok = false;
    PictureHeader header;
    JpegSectionReader reader;
    IptcBlock iptc;
};

std::unique_ptr<Walked> walk(QByteArray bytes) {
    auto w = std::make_unique<Walked>();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    w->ok = WalkPictureHeader(buffer, bytes.size(), w->reader, w->iptc, w->header, "test.jpg");
    return w;
}

bool readSections(QByteArray bytes, JpegSectionReader& reader) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return reader.ReadSections(buffer);
}

// The file with the length field of the segment whose marker is at `at` made `by` bytes short.
QByteArray shortened(const QString& name, qsizetype at, int by) {
    QByteArray bytes = testsupport::readAll(testsupport::dataPath(name));
    const int length = (uint8_t(bytes[at + 2]) << 8) | uint8_t(bytes[at + 3]);
    bytes.replace(at + 2, 2, be16(length - by));
    return bytes;
}

// Stray bytes that look like a frame header, 0x3039 by 0x3039, but whose length leads nowhere.
const QByteArray kStrayFrame = QByteArray("xx\xFF\xC0\x00\x0B\x08\x30\x39\x30\x39\x03zz", 14);

}  // namespace

TEST(HeaderWalk, NeedsStartOfImage) {
    const auto w = walk(QByteArray("\x00\xD8", 2) + sof(100, 50) + sosAndScan());
    EXPECT_FALSE(w->ok);
    EXPECT_EQ(w->header.width, 0);
    EXPECT_EQ(w->header.headerSize, 0u);
}

TEST(HeaderWalk, FrameSizeAndHeaderSizeEndAfterScanLength) {
    const QByteArray jpeg = picture({segment(0xE0, "JFIF\0\x01\x02")}, 640, 480);
    const auto w = walk(jpeg);
    ASSERT_TRUE(w->ok);
    EXPECT_EQ(w->header.width, 640);
    EXPECT_EQ(w->header.height, 480);
    EXPECT_TRUE(w->header.reachedScan);
    // Everything up to and including the SOS marker and its length field.
    EXPECT_EQ(qsizetype(w->header.headerSize), jpeg.indexOf("\xFF\xDA") + 4);
}

TEST(HeaderWalk, WithoutScanWalksToTheEndAndStopsOnShortFiles) {
    const QByteArray noScan = QByteArray("\xFF\xD8", 2) + dqt() + sof(10, 20);
    auto w = walk(noScan);
    EXPECT_EQ(qsizetype(w->header.headerSize), noScan.size());
    EXPECT_EQ(w->header.width, 10);
    // A file that ends inside a segment stops at the end, it does not loop or read past it.
    const QByteArray cut = picture({}).left(30);
    w = walk(cut);
    EXPECT_TRUE(w->ok);
    EXPECT_LE(qsizetype(w->header.headerSize), cut.size());
    EXPECT_FALSE(w->header.reachedScan);
}

TEST(HeaderWalk, XmpApp1IsSkippedAndExifIsRead) {
    const QByteArray xmp = segment(0xE1, QByteArray("http://ns.adobe.com/xap/1.0/\0<x/>", 34));
    const auto w = walk(picture({xmp}, 33, 22));
    EXPECT_EQ(w->header.width, 33);
    EXPECT_TRUE(w->reader.sections().empty());  // the XMP packet is not kept

    const auto canon = std::make_unique<PictureRecord>(testsupport::dataPath("Canon_40D.jpg"));
    EXPECT_EQ(canon->frameWidth(), 100);
    EXPECT_EQ(canon->reader().exif().cameraModel, "Canon EOS 40D");
    EXPECT_EQ(canon->exifThumbnail().size(), 1378);
    EXPECT_TRUE(canon->exifThumbnail().startsWith("\xFF\xD8"));
}

TEST(HeaderWalk, TwoPhotoshopSegmentsMergeFieldsAndBeepOnce) {
    int beeps = 0;
    snaplore::setBeepHook([&] { ++beeps; });
    const QByteArray first = photoshopSegment(dataset(2, 105, "First") + dataset(2, 25, "Anna"));
    const QByteArray second = photoshopSegment(dataset(2, 105, "Second") + dataset(2, 25, "Ben"));
    const auto w = walk(picture({first, second}));
    snaplore::setBeepHook({});
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(w->header.app13Segments, 2);
    EXPECT_EQ(w->iptc.headline, "Second");
    EXPECT_EQ(w->iptc.people, QStringList({"Anna", "Ben"}));
}

TEST(HeaderWalk, IptcResourceSplitOverTwoSegmentsIsJoined) {
    // A real file whose single IPTC resource continues in a second APP13 segment.
    const PictureRecord picture(testsupport::dataPath("app13_split.jpg"));
    EXPECT_EQ(picture.iptc().dateText, "20191014");
    EXPECT_EQ(picture.iptc().timeText, "150020+0000");
    EXPECT_EQ(picture.header().app13Segments, 2);
}

TEST(SectionReader, FillBytesAndLengthErrors) {
    const QByteArray comment = QByteArray("\xFE\x00\x04hi", 5);
    const QByteArray scan = QByteArray("\xFF\xDA\x00\x02", 4);
    struct Case {
        QByteArray bytes;
        bool ok;
        const char* error;
    } cases[] = {
        {QByteArray(6, char(0xFF)) + comment + scan, true, ""},
        {QByteArray(7, char(0xFF)) + comment + scan, false, "too many padding unsigned chars"},
        {QByteArray("\xFF\xFE\x00\x00", 4), false, "invalid marker"},
        {QByteArray("\xFF\xFE\x00\x01", 4), false, "invalid marker"},
        {QByteArray("\xFF\xFE\x00\x10short", 9), false, "Premature end of file?"},
    };
    for (const Case& c : cases) {
        JpegSectionReader reader;
        EXPECT_EQ(readSections(c.bytes, reader), c.ok) << c.error;
        EXPECT_EQ(reader.lastError(), QString::fromLatin1(c.error));
    }
}

TEST(SectionReader, CommentIsCleanedAndTableIsBounded) {
    JpegSectionReader reader;
    const QByteArray text("a\r\nb\rc\x01", 7);
    ASSERT_TRUE(readSections(segment(0xFE, text) + segment(0xFE, "later") + QByteArray("\xFF\xDA\x00\x02", 4), reader));
    EXPECT_EQ(reader.exif().comment, QByteArray("a\nb?c?"));

    QByteArray many;
    for (int i = 0; i < 45; ++i) many += segment(0xE5, "x");
    JpegSectionReader full;
    EXPECT_FALSE(readSections(many, full));
    EXPECT_EQ(full.lastError(), "Too many sections in jpg file");
    EXPECT_EQ(int(full.sections().size()), JpegSectionReader::kMaxSections);
}

// A segment whose length field falls short of its data leaves the walk on a byte that is not a
// marker. The walk goes on from the next marker whose chain of lengths reaches the scan; the bytes
// it skips, an EXIF thumbnail's frame among them, give nothing.
TEST(HeaderWalk, SegmentShorterThanItsDataIsSkipped) {
    struct Case {
        const char* name;
        QByteArray bytes;
        int width, height;
        qsizetype headerSize;  // through the length of the start of scan
        QByteArray model;      // from EXIF, what of it lies before the damage
    };
    const Case cases[] = {
        // iptc_utf8_tz.jpg: the XMP segment at 341 made 100 bytes short; the walk lands in the XMP text.
        {"XMP packet runs past its segment", shortened("iptc_utf8_tz.jpg", 341, 100), 300, 200, 1977, ""},
        // Canon_40D.jpg: the EXIF segment at 20 made 1476 bytes short, ending at 1022, before the
        // thumbnail (68 x 46, from 1120 to 2498).
        {"EXIF segment ends before its thumbnail", shortened("Canon_40D.jpg", 20, 1476), 100, 68, 5966,
         "Canon EOS 40D"},
        // The same segment made 1348 bytes short, ending at 1150, inside the thumbnail.
        {"EXIF segment ends inside its thumbnail", shortened("Canon_40D.jpg", 20, 1348), 100, 68, 5966,
         "Canon EOS 40D"},
        // Canon_40D.jpg: the colour profile segment at 2498 made 16 bytes short.
        {"colour profile short by 16", shortened("Canon_40D.jpg", 2498, 16), 100, 68, 5966, "Canon EOS 40D"},
        {"stray bytes between segments",
         QByteArray("\xFF\xD8", 2) + segment(0xFE, "note") + kStrayFrame + dqt() + sof(64, 48) + sosAndScan(), 64, 48,
         2 + 8 + kStrayFrame.size() + 69 + 19 + 4, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto w = walk(c.bytes);
        ASSERT_TRUE(w->ok);
        EXPECT_EQ(w->header.width, c.width);
        EXPECT_EQ(w->header.height, c.height);
        EXPECT_TRUE(w->header.reachedScan);
        EXPECT_EQ(qsizetype(w->header.headerSize), c.headerSize);
        EXPECT_EQ(w->reader.exif().cameraModel, c.model);
    }

    // The picture data after the damage is read.
    const auto xmp = walk(shortened("iptc_utf8_tz.jpg", 341, 100));
    EXPECT_EQ(xmp->iptc.byline, "JOE STEMMER PHOTO");
    EXPECT_EQ(xmp->reader.exif().dateTimeOriginal, "2016:12:03 11:17:43");  // read before it

    // No marker after the damage reaches a scan: the walk stops there, without a frame.
    const QByteArray noScan = QByteArray("\xFF\xD8", 2) + segment(0xFE, "note") + kStrayFrame + dqt() + sof(64, 48);
    const auto lost = walk(noScan);
    EXPECT_TRUE(lost->ok);
    EXPECT_FALSE(lost->header.reachedScan);
    EXPECT_EQ(lost->header.width, 0);
    EXPECT_EQ(qsizetype(lost->header.headerSize), 2 + 8);
}

// Reading is forgiving; rewriting is not: such a file is refused and left as it was.
TEST(HeaderWalk, SegmentShorterThanItsDataIsNeverRewritten) {
    testsupport::SandBox box;
    for (const QByteArray& bytes : {shortened("iptc_utf8_tz.jpg", 341, 100), shortened("Canon_40D.jpg", 20, 1476)}) {
        const QString path = box.filePath("short.jpg");
        ASSERT_TRUE(testsupport::writeAll(path, bytes));
        PictureRecord picture(path);
        ASSERT_GT(picture.frameWidth(), 0);
        picture.iptc().headline = "Never written";
        EXPECT_FALSE(picture.iptc().WriteIptc(box.filePath("copy.jpg")));
        EXPECT_FALSE(QFile::exists(box.filePath("copy.jpg")));
        EXPECT_EQ(picture.iptc().WriteIptc().error, WriteError::NotWalkable);
        EXPECT_EQ(testsupport::readAll(path), bytes);
    }
}

TEST(SectionReader, SegmentShorterThanItsDataIsSkipped) {
    // Canon_40D.jpg from its first marker on, the JFIF segment at 2 made 4 bytes short: the EXIF
    // segment after it is still read.
    JpegSectionReader canon;
    EXPECT_TRUE(readSections(shortened("Canon_40D.jpg", 2, 4).mid(2), canon));
    EXPECT_EQ(canon.exif().cameraModel, "Canon EOS 40D");
    EXPECT_EQ(canon.exif().thumbnailLength, 1378);

    // The frame comes from the segments after the stray bytes, not from them.
    JpegSectionReader stray;
    EXPECT_TRUE(readSections(segment(0xFE, "note") + kStrayFrame + dqt() + sof(64, 48) + sosAndScan(), stray));
    EXPECT_EQ(stray.width(), 64);
    EXPECT_EQ(stray.height(), 48);
    EXPECT_EQ(stray.sections().back().type, 0xDA);

    JpegSectionReader lost;
    EXPECT_FALSE(readSections(segment(0xFE, "note") + kStrayFrame + dqt() + sof(64, 48), lost));
    EXPECT_EQ(lost.lastError(), "No marker after stray bytes");
    EXPECT_EQ(lost.width(), 0);
}

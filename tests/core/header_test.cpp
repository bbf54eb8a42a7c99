// The header walk and the segment reader: what a picture's first bytes give, and how broken headers end.

#include "diagnostics.h"
#include "jpegbuilder.h"
#include "pictureheader.h"
#include "picturerecord.h"
#include "testsupport.h"

#include <QBuffer>

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
    EXPECT_EQ(canon->reader().exifThumbnail().size(), 1378);
    EXPECT_TRUE(canon->reader().exifThumbnail().startsWith("\xFF\xD8"));
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

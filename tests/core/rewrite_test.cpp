// Rewriting a picture with new picture data: where the segment goes, what stays byte for byte, and
// that a write which cannot be done leaves the picture as it was.

#include "jpegbuilder.h"
#include "picturerecord.h"
#include "testsupport.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

using namespace jpegbuilder;
using testsupport::readAll;

namespace {

class Rewrite : public ::testing::Test {
protected:
    testsupport::SandBox box;

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = box.filePath(name);
        EXPECT_TRUE(testsupport::writeAll(path, bytes));
        return path;
    }
    // Reads the file, lets `edit` change its data, writes it back in place.
    WriteResult edit(const QString& path, const std::function<void(IptcBlock&)>& change) {
        PictureRecord picture(path);
        change(picture.iptc());
        return picture.iptc().WriteIptc();
    }
    static QList<int> codes(const QByteArray& jpeg) {
        QList<int> out;
        for (const Seg& s : segmentsOf(jpeg)) out << s.code;
        return out;
    }
};

const QByteArray kApp0 = segment(0xE0, QByteArray("JFIF\0\x01\x02\x00\x00\x01\x00\x01\x00\x00", 14));
const QByteArray kCom = segment(0xFE, "a comment");

}  // namespace

TEST_F(Rewrite, NewSegmentGoesBeforeTheFirstQuantisationTable) {
    const QByteArray original = picture({kApp0, kCom});
    const QString path = write("a.jpg", original);
    ASSERT_TRUE(edit(path, [](IptcBlock& b) { b.headline = "Hello"; }));
    const QByteArray after = readAll(path);
    EXPECT_EQ(codes(after), QList<int>({0xE0, 0xFE, 0xED, 0xDB, 0xC0, 0xDA}));
    // Everything but the new segment is byte for byte the original, scan and end included.
    const QList<Seg> segs = segmentsOf(after);
    QByteArray withoutNew("\xFF\xD8", 2);
    for (const Seg& s : segs)
        if (s.code != 0xED) withoutNew += s.bytes;
    EXPECT_EQ(withoutNew, original);
    EXPECT_EQ(PictureRecord(path).iptc().headline, "Hello");
}

TEST_F(Rewrite, OtherResourcesAndForeignApp13StayWhereTheyWere) {
    const QByteArray resolution = QByteArray("8BIM\x03\xED\x00\x00\x00\x00\x00\x04", 12) + QByteArray(4, 'r');
    const QByteArray other = segment(0xED, QByteArray("Adobe_CM\0\x01", 10));  // an APP13 of another kind
    const QString path = write("b.jpg", picture({kApp0, photoshopSegment(dataset(2, 105, "Old") + dataset(2, 62, "x1"), resolution), kCom, other}));
    ASSERT_TRUE(edit(path, [](IptcBlock& b) { b.caption = "New"; }));
    const QByteArray after = readAll(path);
    EXPECT_EQ(codes(after), QList<int>({0xE0, 0xED, 0xFE, 0xED, 0xDB, 0xC0, 0xDA}));
    EXPECT_TRUE(after.contains(other));
    const PictureRecord back(path);
    EXPECT_EQ(back.iptc().headline, "Old");
    EXPECT_EQ(back.iptc().caption, "New");
    // The resolution record stays first; the datasets read stay in their order, the new one follows.
    EXPECT_TRUE(after.contains(resolution + "8BIM\x04\x04"));
    EXPECT_TRUE(after.contains(dataset(2, 105, "Old") + dataset(2, 62, "x1") + dataset(2, 120, "New")));

    // Cleared data leaves the other resources in their segment.
    ASSERT_TRUE(edit(path, [](IptcBlock& b) {
        b.Clear();
        b.UnknownDatasets.clear();
    }));
    const QByteArray cleared = readAll(path);
    EXPECT_EQ(codes(cleared), QList<int>({0xE0, 0xED, 0xFE, 0xED, 0xDB, 0xC0, 0xDA}));
    EXPECT_TRUE(cleared.contains(resolution));
    EXPECT_FALSE(cleared.contains("8BIM\x04\x04"));
}

TEST_F(Rewrite, EmptyBlockLeavesNoApp13) {
    const QString path = write("d.jpg", picture({kApp0, photoshopSegment(dataset(2, 105, "Gone"))}));
    ASSERT_TRUE(edit(path, [](IptcBlock& b) { b.Clear(); }));
    EXPECT_EQ(codes(readAll(path)), QList<int>({0xE0, 0xDB, 0xC0, 0xDA}));
}

TEST_F(Rewrite, KeepsTimesPermissionsAndSymlinks) {
    const QString path = write("e.jpg", picture({kApp0}));
    ASSERT_EQ(::chmod(QFile::encodeName(path), 0640), 0);
    const QString link = box.filePath("link.jpg");
    ASSERT_TRUE(QFile::link(path, link));
    PictureRecord picture(link);
    const struct timespec times[2] = {{1000000000, 123456789}, {1200000000, 987654321}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path), times, 0), 0);
    picture.iptc().headline = "Via link";
    ASSERT_TRUE(picture.iptc().WriteIptc());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 987654321);
    EXPECT_EQ(st.st_atim.tv_nsec, 123456789);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(PictureRecord(path).iptc().headline, "Via link");
    EXPECT_EQ(QDir(box.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);  // no temporary left
}

TEST_F(Rewrite, RefusesAndLeavesTheFileUntouched) {
    const QByteArray good = picture({kApp0});
    struct Case {
        const char* name;
        QByteArray bytes;
        WriteError error;
    } cases[] = {
        {"cut short", good.left(good.indexOf("\xFF\xC0") + 6), WriteError::NotWalkable},
        {"stray bytes", good.left(2) + "xx" + good.mid(2), WriteError::NotWalkable},
        {"segment past the end", good.left(2) + QByteArray("\xFF\xE1\x7F\x00", 4) + good.mid(2, 10), WriteError::NotWalkable},
        {"eoi before scan", QByteArray("\xFF\xD8", 2) + kApp0 + "\xFF\xD9", WriteError::NotWalkable},
    };
    for (const Case& c : cases) {
        const QString path = write("bad.jpg", c.bytes);
        PictureRecord picture(path);
        picture.iptc().headline = "Never written";
        const WriteResult result = picture.iptc().WriteIptc();
        EXPECT_EQ(result.error, c.error) << c.name;
        EXPECT_EQ(readAll(path), c.bytes) << c.name;
    }
}

TEST_F(Rewrite, ReadOnlyPictureIsRefused) {
    const QByteArray bytes = picture({kApp0});
    const QString path = write("locked.jpg", bytes);
    ASSERT_EQ(::chmod(QFile::encodeName(path), 0444), 0);
    EXPECT_EQ(edit(path, [](IptcBlock& b) { b.headline = "x"; }).error, WriteError::Locked);
    EXPECT_EQ(readAll(path), bytes);
}

TEST_F(Rewrite, ThumbnailGivesWayWhenTheSegmentIsFullAndTooMuchTextIsRefused) {
    const QString path = write("full.jpg", picture({kApp0}));
    QImage noise(160, 120, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, qRgb((x * 97 + y * 31) % 256, (x * y) % 256, (x ^ y) % 256));
    ASSERT_TRUE(edit(path, [&](IptcBlock& b) {
        b.setThumbnail(noise);
        b.caption = QString(32000, 'c');
        b.headline = QString(32000, 'h');
    }));
    PictureRecord back(path);
    EXPECT_EQ(back.iptc().caption.size(), 32000);
    EXPECT_FALSE(back.iptc().hasThumbnail());

    const QByteArray before = readAll(path);
    const WriteResult tooMuch = edit(path, [](IptcBlock& b) {
        b.caption = QString(32000, 'c');
        b.headline = QString(32000, 'h');
        b.writer = QString(2000, 'w');
    });
    EXPECT_EQ(tooMuch.error, WriteError::TooLarge);
    EXPECT_EQ(readAll(path), before);
}

TEST_F(Rewrite, ThumbnailRoundTripsAndToAnotherFileTheSourceStays) {
    const QByteArray original = picture({kApp0});
    const QString path = write("t.jpg", original);
    QImage small(40, 30, QImage::Format_RGB32);
    small.fill(Qt::blue);
    PictureRecord picture(path);
    picture.iptc().setThumbnail(small);
    picture.iptc().headline = "Copy";
    const QString copy = box.filePath("copy.jpg");
    ASSERT_TRUE(picture.iptc().WriteIptc(copy));
    EXPECT_EQ(readAll(path), original);
    const PictureRecord back(copy);
    EXPECT_EQ(back.iptc().headline, "Copy");
    EXPECT_EQ(back.iptc().thumbnail().size(), QSize(40, 30));
}

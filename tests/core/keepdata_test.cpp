// A save changes only what was changed: every other dataset, every other image resource and the
// index of a multi-picture file stay as they were read.

#include "jpegbuilder.h"
#include "mpfindex.h"
#include "photoshopresources.h"
#include "picturerecord.h"
#include "testsupport.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace jpegbuilder;
using testsupport::readAll;

namespace {

QByteArray photoshopStream(const QByteArray& jpeg) {
    QByteArray stream;
    for (const Seg& s : segmentsOf(jpeg))
        if (s.code == 0xED && s.bytes.mid(4, 14) == psd::kSignature) stream += s.bytes.mid(4 + 14);
    return stream;
}

// The datasets of the file's IPTC resources, whole, in order; the extended length form included.
QList<QByteArray> datasetsOf(const QByteArray& jpeg) {
    const QByteArray stream = photoshopStream(jpeg);
    QList<QByteArray> out;
    for (const psd::Resource& r : psd::walkResources(stream).resources) {
        if (r.id != psd::kIptcId) continue;
        const QByteArray list = stream.mid(r.dataOffset, r.dataSize);
        qsizetype pos = 0;
        while (list.size() - pos >= 5 && list[pos] == 0x1C) {
            qsizetype length = (uint8_t(list[pos + 3]) << 8) | uint8_t(list[pos + 4]);
            qsizetype header = 5;
            if (length & 0x8000) {
                const qsizetype count = length & 0x7FFF;
                length = 0;
                for (qsizetype i = 0; i < count; ++i) length = (length << 8) | uint8_t(list[pos + 5 + i]);
                header += count;
            }
            out << list.mid(pos, header + length);
            pos += header + length;
        }
    }
    return out;
}

QList<QByteArray> withoutNumber(const QList<QByteArray>& datasets, int number) {
    QList<QByteArray> out;
    for (const QByteArray& d : datasets)
        if (!(d[1] == 2 && uint8_t(d[2]) == number)) out << d;
    return out;
}

QList<QByteArray> otherResources(const QByteArray& jpeg) {
    const QByteArray stream = photoshopStream(jpeg);
    QList<QByteArray> out;
    for (const psd::Resource& r : psd::walkResources(stream).resources)
        if (r.id != psd::kIptcId && r.id != psd::kIptcDigestId) out << stream.mid(r.start, r.end - r.start);
    return out;
}

class KeepData : public ::testing::Test {
protected:
    testsupport::SandBox box;
};

// Pictures captioned by other programs: a repeated By-line, a date without a time, a time with a
// zone, Urgency 8, an Object Name without dates, the IPTC digest among other resources.
TEST_F(KeepData, EditingOneFieldKeepsEveryOtherDatasetAndResource) {
    for (const char* name : {"iptc_fields.jpg", "iptc_repeated.jpg", "iptc_photomech.jpg", "iptc_utf8_tz.jpg"}) {
        SCOPED_TRACE(name);
        const QString path = box.copy(testsupport::dataPath(name));
        const QByteArray before = readAll(path);
        PictureRecord picture(path);
        picture.iptc().caption += "!";
        ASSERT_TRUE(picture.save());
        const QByteArray after = readAll(path);
        EXPECT_EQ(withoutNumber(datasetsOf(after), 120), withoutNumber(datasetsOf(before), 120));
        EXPECT_EQ(otherResources(after), otherResources(before));
        EXPECT_EQ(PictureRecord(path).iptc().caption, picture.iptc().caption);
    }
}

TEST_F(KeepData, ASaveThatChangesNothingWritesTheSameBytes) {
    for (const char* name : {"iptc_fields.jpg", "iptc_repeated.jpg", "app13_split.jpg", "Canon_40D.jpg"}) {
        SCOPED_TRACE(name);
        const QString path = box.copy(testsupport::dataPath(name));
        const QByteArray before = readAll(path);
        PictureRecord picture(path);
        picture.makeThumbnail();  // a thumbnail made for the strip is no change of the data
        ASSERT_TRUE(picture.save());
        EXPECT_EQ(readAll(path), before);
    }
}

// Repeated values, an extended-length dataset and a second IPTC resource in the same segment.
TEST_F(KeepData, DatasetsTheBlockDoesNotModelAreKept) {
    const QByteArray extended = QByteArray("\x1C\x02\xCA\x80\x04", 5) + QByteArray("\x00\x00\x00\x06", 4) + "binary";
    const QByteArray first = dataset(2, 80, "Anna") + dataset(2, 80, "Olaf") + extended + dataset(2, 105, "After");
    const QByteArray second = QByteArray("8BIM\x04\x04", 6) + QByteArray(2, '\0') + QByteArray(2, '\0') +
                              be16(int(dataset(2, 116, "Mine").size())) + dataset(2, 116, "Mine");
    // The second resource follows the first inside the same segment.
    const QString path = box.filePath("a.jpg");
    ASSERT_TRUE(testsupport::writeAll(path, picture({segment(0xED, photoshopSegment(first).mid(4) + second)})));

    PictureRecord picture(path);
    EXPECT_EQ(picture.iptc().headline, "After");  // read past the extended dataset
    EXPECT_EQ(picture.iptc().copyright, "Mine");  // read from the second resource
    picture.iptc().caption = "New";
    ASSERT_TRUE(picture.save());

    const QList<QByteArray> after = datasetsOf(readAll(path));
    const QList<QByteArray> expected = {dataset(2, 80, "Anna"), dataset(2, 80, "Olaf"), extended, dataset(2, 105, "After"),
                                        dataset(2, 116, "Mine"), dataset(2, 120, "New")};
    EXPECT_EQ(after, expected);
    // Merged into one resource, which is all most readers look at.
    EXPECT_EQ(readAll(path).count("8BIM\x04\x04"), 1);
}

// Found by fuzzing: a value that is not UTF-8 makes the list read as Windows-1252; replacing that
// value must not let the others read back as something else.
TEST_F(KeepData, ReplacingTheOneValueThatWasNotUtf8KeepsWhatTheOthersMean) {
    const QString path = box.filePath("w.jpg");
    ASSERT_TRUE(testsupport::writeAll(path, picture({photoshopSegment(dataset(2, 122, "\xC3\xA9") + dataset(2, 105, "\xC7"))})));
    PictureRecord picture(path);
    const QString writer = picture.iptc().writer;
    EXPECT_EQ(writer, QString::fromUtf8("\xC3\x83\xC2\xA9"));
    picture.iptc().headline = "fuzz";
    ASSERT_TRUE(picture.save());
    EXPECT_EQ(PictureRecord(path).iptc().writer, writer);
    EXPECT_EQ(PictureRecord(path).iptc().headline, "fuzz");
}

// Found by fuzzing: stray bytes before a second IPTC record; its datasets must not be doubled.
// The second IPTC record is where readers pick the stream up after the stray bytes; the resource
// behind it must stay in their view.
TEST_F(KeepData, StrayBytesBeforeASecondIptcRecordDoubleNothingAndLoseNothing) {
    const QByteArray second = dataset(2, 62, "20240101");
    const QByteArray payload = QByteArray("Photoshop 3.0", 14) + QByteArray("8BIM\x04\x04\0\0\0\0\0\x07", 12) +
                               dataset(2, 0, QByteArray("\0\x04", 2)) + "\0" + "junk" +
                               QByteArray("8BIM\x04\x04\0\0\0\0", 10) + be16(int(second.size())) + second + "\0" +
                               QByteArray("8BIM\x04\x06\0\0\0\0\0\x04", 12) + "qual";
    const QString path = box.filePath("j.jpg");
    ASSERT_TRUE(testsupport::writeAll(path, picture({segment(0xED, payload)})));
    const QList<QByteArray> resources = otherResources(readAll(path));
    ASSERT_EQ(resources.size(), 1);
    for (const char* headline : {"one", "two"}) {
        PictureRecord picture(path);
        picture.iptc().headline = headline;
        ASSERT_TRUE(picture.save());
        EXPECT_EQ(PictureRecord(path).iptc().UnknownDatasets.count(second), 1) << headline;
        EXPECT_EQ(otherResources(readAll(path)), resources) << headline;
    }
}

TEST_F(KeepData, ResourcesTooLargeForOneSegmentContinueInTheNext) {
    const QString path = box.copy(testsupport::dataPath("app13_split.jpg"));
    const QByteArray before = readAll(path);
    PictureRecord picture(path);
    picture.iptc().headline = QString(3000, 'h');
    ASSERT_TRUE(picture.save());
    const QByteArray after = readAll(path);
    int photoshopSegments = 0;
    for (const Seg& s : segmentsOf(after)) photoshopSegments += s.code == 0xED;
    EXPECT_EQ(photoshopSegments, 2);
    EXPECT_EQ(otherResources(after), otherResources(before));
    EXPECT_EQ(PictureRecord(path).iptc().headline, QString(3000, 'h'));
}

TEST_F(KeepData, MultiPictureIndexStillFindsTheSecondPicture) {
    const QString path = box.copy(testsupport::dataPath("multipicture.mpo"));
    const QByteArray before = readAll(path);
    PictureRecord picture(path);
    picture.iptc().headline = "Both eyes";
    ASSERT_TRUE(picture.save());
    const QByteArray after = readAll(path);
    auto indexOf = [](const QByteArray& jpeg) {
        for (const Seg& s : segmentsOf(jpeg))
            if (s.code == 0xE2 && mpf::isMpfPayload(QByteArrayView(s.bytes).sliced(4))) {
                auto index = mpf::parse(jpeg, jpeg.indexOf(s.bytes) + 4, s.bytes.size() - 4);
                if (index) return *index;
            }
        return mpf::Index{};
    };
    const mpf::Index old = indexOf(before), now = indexOf(after);
    ASSERT_EQ(now.entries.size(), 2u);
    ASSERT_EQ(old.entries.size(), 2u);
    EXPECT_EQ(qint64(now.entries[0].size) - old.entries[0].size, after.size() - before.size());
    const qsizetype second = now.mpHeader + now.entries[1].offset;
    EXPECT_EQ(after.mid(second), before.mid(old.mpHeader + old.entries[1].offset));
    EXPECT_EQ(after.mid(second, 2), QByteArray("\xFF\xD8", 2));
    // The new data stands before the index, so the offsets themselves did not move.
    EXPECT_EQ(now.entries[1].offset, old.entries[1].offset);
}

TEST_F(KeepData, AFileChangedOnDiskSinceReadingKeepsWhatTheOtherProgramWrote) {
    const QString path = box.copy(testsupport::dataPath("iptc_fields.jpg"));
    PictureRecord mine(path);
    {
        PictureRecord other(path);
        other.iptc().headline = "Written elsewhere";
        ASSERT_TRUE(other.save(QString(), false));
    }
    mine.iptc().caption = "Mine";
    ASSERT_TRUE(mine.save());
    const PictureRecord back(path);
    EXPECT_EQ(back.iptc().headline, "Written elsewhere");
    EXPECT_EQ(back.iptc().caption, "Mine");
}

}  // namespace

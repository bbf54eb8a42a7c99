// The header splice on bytes alone: where the new Photoshop segments go, that every other segment
// comes out as it went in, and how the multi-picture index follows the bytes the header gained or lost.

#include "headersplice.h"
#include "jpegbuilder.h"
#include "photoshopresources.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>

using namespace jpegbuilder;

namespace {

bool isPhotoshopSegment(const Seg& s) { return s.code == 0xED && s.bytes.mid(4, 14) == psd::kSignature; }

QList<int> codes(const QByteArray& jpeg) {
    QList<int> out;
    for (const Seg& s : segmentsOf(jpeg)) out << s.code;
    return out;
}

// The header up to the scan with every Photoshop segment left out.
QByteArray withoutPhotoshop(const QByteArray& jpeg) {
    QByteArray out("\xFF\xD8", 2);
    for (const Seg& s : segmentsOf(jpeg))
        if (s.code != 0xDA && !isPhotoshopSegment(s)) out += s.bytes;
    return out;
}

QByteArray be32(quint32 v) { return be16(int(v >> 16)) + be16(int(v & 0xFFFF)); }

// An APP2 multi-picture index (big-endian) with two entries: the first picture and one more.
QByteArray mpfSegment(quint32 firstSize, quint32 secondSize, quint32 secondOffset) {
    QByteArray tiff = QByteArray("MM\0\x2A", 4) + be32(8);
    tiff += be16(1) + be16(0xB002) + be16(7) + be32(32) + be32(26) + be32(0);
    tiff += be32(0) + be32(firstSize) + be32(0) + be32(0);
    tiff += be32(0) + be32(secondSize) + be32(secondOffset) + be32(0);
    return segment(0xE2, QByteArray("MPF\0", 4) + tiff);
}

const QByteArray kApp0 = segment(0xE0, QByteArray("JFIF\0\x01\x02\x00\x00\x01\x00\x01\x00\x00", 14));
const QByteArray kCom = segment(0xFE, "a comment");
const QByteArray kForeignApp13 = segment(0xED, QByteArray("Other\0", 6));
const QByteArray kList = dataset(2, 105, "New");

}  // namespace

TEST(HeaderSplice, WhereTheNewSegmentGoesAndWhatStays) {
    const QByteArray resolution = QByteArray("8BIM\x03\xED\x00\x00\x00\x00\x00\x04", 12) + QByteArray(4, 'r');
    const QByteArray noTables = QByteArray("\xFF\xD8", 2) + kApp0 + sof(8, 8) + sosAndScan();
    struct Case {
        const char* name;
        QByteArray original;
        QByteArray list;
        QList<int> codes;
    };
    const Case cases[] = {
        {"before the first table", picture({kApp0, kCom}), kList, {0xE0, 0xFE, 0xED, 0xDB, 0xC0, 0xDA}},
        {"just before the scan without tables", noTables, kList, {0xE0, 0xC0, 0xED, 0xDA}},
        {"a foreign APP13 stays where it was", picture({kApp0, kForeignApp13, kCom}), kList,
         {0xE0, 0xED, 0xFE, 0xED, 0xDB, 0xC0, 0xDA}},
        {"in place of the first Photoshop segment",
         picture({kApp0, photoshopSegment(dataset(2, 105, "Old")), kCom, photoshopSegment(dataset(2, 120, "Second"))}),
         kList, {0xE0, 0xED, 0xFE, 0xDB, 0xC0, 0xDA}},
        {"an empty list drops the segment", picture({kApp0, photoshopSegment(dataset(2, 105, "Gone"))}), {},
         {0xE0, 0xDB, 0xC0, 0xDA}},
        {"an empty list keeps the other resources", picture({kApp0, photoshopSegment(dataset(2, 105, "Gone"), resolution)}),
         {}, {0xE0, 0xED, 0xDB, 0xC0, 0xDA}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<SplicedHeader> spliced = spliceHeader(c.original, c.list);
        ASSERT_TRUE(spliced);
        EXPECT_EQ(spliced->scanStart, c.original.indexOf("\xFF\xDA"));
        EXPECT_EQ(codes(spliced->bytes + sosAndScan()), c.codes);
        EXPECT_EQ(withoutPhotoshop(spliced->bytes + sosAndScan()), withoutPhotoshop(c.original));
        if (!c.list.isEmpty()) {
            const QByteArray resource = "8BIM\x04\x04" + QByteArray(4, '\0') + be16(int(c.list.size())) + c.list;
            EXPECT_TRUE(spliced->bytes.contains(resource));
        }
        EXPECT_FALSE(spliced->oldIndex);
        EXPECT_FALSE(spliced->newIndex);
    }
    // The other resources stay first, the old IPTC data is gone.
    const std::optional<SplicedHeader> kept =
        spliceHeader(picture({photoshopSegment(dataset(2, 105, "Old"), resolution)}), kList);
    ASSERT_TRUE(kept);
    EXPECT_TRUE(kept->bytes.contains(resolution + "8BIM\x04\x04"));
    EXPECT_FALSE(kept->bytes.contains("Old"));
}

TEST(HeaderSplice, NothingWithoutAWalkableHeader) {
    const QByteArray whole = picture({kApp0});
    EXPECT_FALSE(spliceHeader(whole.first(whole.indexOf("\xFF\xDA")), kList));  // cut before the scan
    EXPECT_FALSE(spliceHeader(QByteArray("\xFF\xD8", 2) + "stray" + whole.mid(2), kList));
    EXPECT_FALSE(spliceHeader({}, kList));
}

TEST(HeaderSplice, MultiPictureIndexFollowsTheHeader) {
    // The new segment goes before the index, so the offsets counted from inside it stay; the size of
    // the first picture follows what the header gained.
    const QByteArray plain = picture({kApp0, mpfSegment(1000, 500, 900)});
    const std::optional<SplicedHeader> before = spliceHeader(plain, kList);
    ASSERT_TRUE(before);
    EXPECT_EQ(codes(before->bytes + sosAndScan()), QList<int>({0xE0, 0xED, 0xE2, 0xDB, 0xC0, 0xDA}));
    ASSERT_TRUE(before->oldIndex && before->newIndex);
    ASSERT_EQ(before->newIndex->entries.size(), 2u);
    const qint64 gained = before->bytes.size() - before->scanStart;
    EXPECT_EQ(before->newIndex->entries[0].size, quint32(1000 + gained));
    EXPECT_EQ(before->newIndex->entries[1].offset, 900u);
    EXPECT_EQ(before->newIndex->mpHeader - before->oldIndex->mpHeader, gained);
    EXPECT_TRUE(before->bytes.contains(mpfSegment(quint32(1000 + gained), 500, 900)));

    // A Photoshop segment after the index goes away from there: the other pictures move closer.
    const QByteArray old = photoshopSegment(dataset(2, 105, QByteArray(40, 'o')));
    const QByteArray after = picture({kApp0, mpfSegment(1000, 500, 900), old});
    const std::optional<SplicedHeader> moved = spliceHeader(after, kList);
    ASSERT_TRUE(moved && moved->newIndex);
    const qint64 movedGain = moved->bytes.size() - moved->scanStart;
    EXPECT_EQ(codes(moved->bytes + sosAndScan()), QList<int>({0xE0, 0xED, 0xE2, 0xDB, 0xC0, 0xDA}));
    EXPECT_TRUE(moved->bytes.contains(mpfSegment(quint32(1000 + movedGain), 500, quint32(900 - old.size()))));
}

// The XMP segment takes the new packet and nothing else moves; the digest follows the IPTC data
// unless it did not match it before.
TEST(HeaderSplice, XmpPacketAndDigestGoWithTheIptcData) {
    const auto md5 = [](QByteArrayView data) { return QCryptographicHash::hash(data, QCryptographicHash::Md5); };
    const auto digestResource = [](const QByteArray& digest) {
        return QByteArray("8BIM\x04\x25\x00\x00", 8) + be32(quint32(digest.size())) + digest;
    };
    const QByteArray oldList = dataset(2, 105, "Old");
    const QByteArray xmpSegment = segment(0xE1, QByteArray(kXmpName.data(), kXmpName.size()) + "<x:xmpmeta old/>");
    const QByteArray extended = segment(0xE1, QByteArray("http://ns.adobe.com/xmp/extension/\0", 35) + "rest");
    struct Case {
        const char* name;
        QByteArray otherResources;
        QByteArray digestAfter;  // empty: the digest resource as it was
    };
    const QByteArray stale = QByteArray(16, 'x');
    const Case cases[] = {
        {"no digest: one is added", {}, md5(kList)},
        {"a matching digest is renewed", digestResource(md5(oldList)), md5(kList)},
        {"a digest that did not match stays", digestResource(stale), stale},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray original = picture({kApp0, xmpSegment, extended, photoshopSegment(oldList, c.otherResources)});
        SpliceExtras extras;
        extras.xmpPacket = QByteArray("<x:xmpmeta new/>");
        extras.renewDigest = true;
        const std::optional<SplicedHeader> spliced = spliceHeader(original, kList, extras);
        ASSERT_TRUE(spliced);
        const QByteArray after = spliced->bytes + sosAndScan();
        EXPECT_EQ(findXmpPacket(after)->toByteArray(), "<x:xmpmeta new/>");
        EXPECT_TRUE(after.contains(extended));  // extended XMP is left alone
        EXPECT_TRUE(after.contains(digestResource(c.digestAfter)));
        EXPECT_EQ(codes(after), codes(original));
        // Without extras the digest and the packet are as they were.
        const std::optional<SplicedHeader> plain = spliceHeader(original, kList);
        ASSERT_TRUE(plain);
        EXPECT_EQ(findXmpPacket(plain->bytes + sosAndScan())->toByteArray(), "<x:xmpmeta old/>");
        EXPECT_EQ(plain->bytes.contains("8BIM\x04\x25"), !c.otherResources.isEmpty());
    }
    // A packet one segment cannot hold is no header.
    SpliceExtras tooLarge;
    tooLarge.xmpPacket = QByteArray(kMaxXmpPacket + 1, ' ');
    EXPECT_FALSE(spliceHeader(picture({xmpSegment}), kList, tooLarge));
    EXPECT_FALSE(findXmpPacket(picture({kApp0, extended})));
}

// Found by fuzzing: a new resource goes after the last whole record, so bytes after it that are no
// record stay last, where they were read from.
TEST(HeaderSplice, ANewResourceGoesBeforeBytesThatAreNoRecord) {
    const QByteArray record = QByteArray("8BIM\x03\xED\x00\x00\x00\x00\x00\x04", 12) + "reso";
    const QByteArray stream = record + "junk";
    const QByteArray set = psd::setResource(stream, psd::kIptcDigestId, QByteArray(16, 'd'));
    EXPECT_TRUE(set.startsWith(record + "8BIM\x04\x25"));
    EXPECT_TRUE(set.endsWith("junk"));
    EXPECT_EQ(psd::resourceData(set, psd::kIptcDigestId), QByteArray(16, 'd'));
    // An existing one keeps its place and takes the new data.
    const QByteArray again = psd::setResource(set, psd::kIptcDigestId, QByteArray(16, 'e'));
    EXPECT_EQ(again.size(), set.size());
    EXPECT_EQ(psd::resourceData(again, psd::kIptcDigestId), QByteArray(16, 'e'));
}

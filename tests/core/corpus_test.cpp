// Pictures that cameras and other tools wrote: every one is read without harm, and a rewrite either
// keeps every segment outside APP13 byte for byte or refuses and leaves the file as it was.

#include "headersplice.h"
#include "jpegbuilder.h"
#include "jpegstructure.h"
#include "mpfindex.h"
#include "photoshopresources.h"
#include "picturejson.h"
#include "picturerecord.h"
#include "testsupport.h"
#include "xmppacket.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <cstdio>

#include <gtest/gtest.h>

using namespace jpegbuilder;

namespace {

QStringList corpusOrSkip() {
    const QStringList files = testsupport::corpusFiles();
    return files;
}

bool isPhotoshop(const Seg& s) { return s.code == 0xED && s.bytes.mid(4, 14) == psd::kSignature; }

bool isXmp(const Seg& s) { return s.code == 0xE1 && s.bytes.mid(4).startsWith(QByteArray(kXmpName.data(), kXmpName.size())); }

// The segments outside the Photoshop APP13 segments, and everything from the scan on. The entries of
// a multi-picture index (each picture's size and offset) are blanked: a rewrite corrects them. The
// XMP packet stands as its place only: its properties are compared on their own.
QList<Seg> outsidePhotoshop(const QByteArray& jpeg) {
    QList<Seg> out;
    bool xmpSeen = false;
    for (Seg s : segmentsOf(jpeg)) {
        if (isPhotoshop(s)) continue;
        if (!xmpSeen && isXmp(s)) {
            xmpSeen = true;
            s.bytes = "the XMP segment";
        }
        if (s.code == 0xE2 && mpf::isMpfPayload(QByteArrayView(s.bytes).sliced(4)))
            if (const auto index = mpf::parse(s.bytes, 4, s.bytes.size() - 4))
                for (const mpf::Entry& e : index->entries) s.bytes.replace(e.fieldOffset + 4, 8, QByteArray(8, '\0'));
        out << s;
    }
    return out;
}

// Every Photoshop image resource other than the IPTC data, whole and in order.
QList<QByteArray> otherResources(const QByteArray& jpeg) {
    QByteArray stream;
    for (const Seg& s : segmentsOf(jpeg))
        if (isPhotoshop(s)) stream += s.bytes.mid(4 + psd::kSignature.size());
    QList<QByteArray> out;
    for (const psd::Resource& r : psd::walkResources(stream).resources)
        if (r.id != psd::kIptcId && r.id != psd::kIptcDigestId) out << stream.mid(r.start, r.end - r.start);
    return out;
}

QString describe(const QList<Seg>& segments) {
    QString text;
    for (const Seg& s : segments) text += QString::asprintf("%02X:%lld ", s.code, qlonglong(s.bytes.size()));
    return text;
}

}  // namespace

TEST(Corpus, EveryFileIsReadWithoutHarm) {
    const QStringList files = corpusOrSkip();
    if (files.isEmpty()) GTEST_SKIP() << "no shared corpus on this machine";
    int withDimensions = 0;
    for (const QString& path : files) {
        const PictureRecord picture(path);
        const QJsonObject json = pictureToJson(picture, path, {});
        EXPECT_EQ(json["file"].toString(), path);
        if (picture.frameWidth() > 0) ++withDimensions;
        picture.exifThumbnail();
        picture.iptc().thumbnail();
    }
    EXPECT_GT(withDimensions, files.size() / 2);
}

TEST(Corpus, SetKeepsEverySegmentOutsideApp13OrRefusesUntouched) {
    const QStringList files = corpusOrSkip();
    if (files.isEmpty()) GTEST_SKIP() << "no shared corpus on this machine";
    testsupport::SandBox box;
    int written = 0, refused = 0, xmpWritten = 0, xmpKept = 0;
    for (const QString& source : files) {
        const QString path = box.copy(source, "work.jpg");
        const QByteArray before = testsupport::readAll(path);
        PictureRecord picture(path);
        const QJsonObject iptcBefore = iptcToJson(picture.iptc(), picture.header());
        picture.iptc().headline = QString::fromUtf8("Überschrift – 見出し");
        const WriteResult result = picture.isJpeg() ? picture.iptc().WriteIptc() : WriteResult{WriteError::NotWalkable, {}};
        const QByteArray after = testsupport::readAll(path);
        if (!result) {
            ++refused;
            EXPECT_EQ(after, before) << source.toStdString();
            continue;
        }
        ++written;
        EXPECT_TRUE(outsidePhotoshop(after) == outsidePhotoshop(before))
            << source.toStdString() << "\n" << describe(segmentsOf(before)).toStdString() << "\n"
            << describe(segmentsOf(after)).toStdString();
        EXPECT_EQ(otherResources(after), otherResources(before)) << source.toStdString();
        // XMP: every property outside the mapping as it was, or a packet that does not parse byte for byte.
        if (const std::optional<QByteArrayView> packet = findXmpPacket(before)) {
            const std::optional<QByteArrayView> packetAfter = findXmpPacket(after);
            ASSERT_TRUE(packetAfter) << source.toStdString();
            if (const std::optional<xmp::Packet> parsed = xmp::Packet::parse(*packet)) {
                ++xmpWritten;
                const std::optional<xmp::Packet> parsedAfter = xmp::Packet::parse(*packetAfter);
                ASSERT_TRUE(parsedAfter) << source.toStdString();
                EXPECT_EQ(parsedAfter->otherProperties(), parsed->otherProperties()) << source.toStdString();
            } else {
                ++xmpKept;
                EXPECT_EQ(*packetAfter, *packet) << source.toStdString();
            }
        }
        // What other tools wrote survives; only the headline changed.
        const PictureRecord back(path);
        QJsonObject iptcAfter = iptcToJson(back.iptc(), back.header());
        EXPECT_EQ(iptcAfter["headline"].toString(), QString::fromUtf8("Überschrift – 見出し")) << source.toStdString();
        QJsonObject expected = iptcBefore;
        for (const char* key : {"headline", "photoshopSegments", "hasThumbnail", "sources"}) {
            expected.remove(key);
            iptcAfter.remove(key);
        }
        EXPECT_EQ(iptcAfter, expected) << source.toStdString();
    }
    EXPECT_GT(written, 150);
    EXPECT_GT(refused, 0);  // the broken files of the corpus
    EXPECT_GT(xmpWritten, 30);
    std::printf("written %d (XMP written in step %d, XMP kept as it was %d), refused %d\n", written, xmpWritten,
                xmpKept, refused);
}

// Without the image code a stored thumbnail is judged by its header alone: that judgement must agree
// with the decoder's on every picture, and on every thumbnail stored in one.
TEST(Corpus, HeaderSizeAgreesWithTheDecoder) {
    QStringList files = testsupport::corpusFiles();
    for (const QFileInfo& f : QDir(testsupport::dataPath({})).entryInfoList({"*.jpg", "*.mpo"}, QDir::Files))
        files << f.filePath();
    int checked = 0;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) continue;
        QList<QByteArray> images{file.readAll()};
        const PictureRecord picture(path);
        if (!picture.iptc().thumbnailJpeg().isEmpty()) images << picture.iptc().thumbnailJpeg();
        for (const QByteArray& bytes : images) {
            QBuffer buffer;
            buffer.setData(bytes);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer, "jpeg");
            reader.setAutoTransform(false);
            const auto text = [](QSize s) { return QString::asprintf("%dx%d", s.width(), s.height()).toStdString(); };
            // A few deliberately broken headers pass the header check and fail deeper in the decoder;
            // what the decoder reads, the header check reads the same.
            if (path.contains(QLatin1String("/malformed/")) && !reader.size().isValid()) continue;
            EXPECT_EQ(text(jpegFrameSize(bytes)), text(reader.size())) << path.toStdString();
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}

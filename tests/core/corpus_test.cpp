// Pictures that cameras and other tools wrote: every one is read without harm, and a rewrite either
// keeps every segment outside APP13 byte for byte or refuses and leaves the file as it was.

#include "jpegbuilder.h"
#include "picturejson.h"
#include "picturerecord.h"
#include "testsupport.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace jpegbuilder;

namespace {

QStringList corpusOrSkip() {
    const QStringList files = testsupport::corpusFiles();
    return files;
}

// The segments outside APP13, and everything from the scan on.
QList<Seg> nonApp13(const QByteArray& jpeg) {
    QList<Seg> out;
    for (const Seg& s : segmentsOf(jpeg))
        if (s.code != 0xED) out << s;
    return out;
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
        picture.reader().exifThumbnail();
        picture.iptc().thumbnail();
    }
    EXPECT_GT(withDimensions, files.size() / 2);
}

TEST(Corpus, SetKeepsEverySegmentOutsideApp13OrRefusesUntouched) {
    const QStringList files = corpusOrSkip();
    if (files.isEmpty()) GTEST_SKIP() << "no shared corpus on this machine";
    testsupport::SandBox box;
    int written = 0, refused = 0;
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
        EXPECT_EQ(nonApp13(after), nonApp13(before)) << source.toStdString();
        // What other tools wrote survives; only the headline changed.
        const PictureRecord back(path);
        QJsonObject iptcAfter = iptcToJson(back.iptc(), back.header());
        EXPECT_EQ(iptcAfter["headline"].toString(), QString::fromUtf8("Überschrift – 見出し")) << source.toStdString();
        QJsonObject expected = iptcBefore;
        for (const char* key : {"headline", "photoshopSegments", "hasThumbnail"}) {
            expected.remove(key);
            iptcAfter.remove(key);
        }
        EXPECT_EQ(iptcAfter, expected) << source.toStdString();
    }
    EXPECT_GT(written, 150);
    EXPECT_GT(refused, 0);  // the broken files of the corpus
}

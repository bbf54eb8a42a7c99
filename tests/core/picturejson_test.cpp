// The streaming JSON writer against QJsonDocument: the same bytes for the same values, and the direct
// form of a picture equal to its QJsonObject form for every test picture and corpus file.

#include "jpegbuilder.h"
#include "jsonwriter.h"
#include "picturejson.h"
#include "picturerecord.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

QByteArray qtJson(const QJsonArray& array) { return QJsonDocument(array).toJson(QJsonDocument::Indented); }

// A dataset in the extended length form: `count` length bytes after the 0x8000 mark.
QByteArray extendedDataset(int record, int number, const QByteArray& value, int count) {
    QByteArray d = QByteArray(1, char(0x1C)) + char(record) + char(number) + char(0x80) + char(count);
    for (int i = count - 1; i >= 0; --i) d += char((value.size() >> (8 * i)) & 0xFF);
    return d + value;
}

int unknownCount(const IptcBlock& iptc) {
    JsonWriter writer;
    writeIptcJson(writer, iptc, PictureHeader());
    const int direct = QJsonDocument::fromJson(writer.data()).object()["unknownDatasets"].toInt(-1);
    const int object = iptcToJson(iptc, PictureHeader())["unknownDatasets"].toInt(-1);
    EXPECT_EQ(direct, object);
    return object;
}

}  // namespace

TEST(JsonWriter, EscapesTextAsQJsonDocument) {
    const QString texts[] = {
        QString(),
        QStringLiteral("plain"),
        QStringLiteral("quote \" backslash \\ slash /"),
        QStringLiteral("\b\f\n\r\t") + QChar(0x01) + QChar(0x1F) + QChar(0x7F),
        QString::fromUtf8("Grüße – 見出し 😀"),
        QString(QChar(0xD800)) + "lone" + QChar(0xDC00),  // surrogates without partners
    };
    JsonWriter writer;
    writer.beginArray();
    QJsonArray expected;
    for (const QString& t : texts) {
        writer.value(t);
        expected.append(t);
    }
    writer.endArray();
    EXPECT_EQ(writer.data(), qtJson(expected));
    EXPECT_TRUE(writer.data().contains("\\u0001\\u001f")) << writer.data().constData();
}

TEST(JsonWriter, NumbersAndNestingAsQJsonDocument) {
    const double doubles[] = {0.0, -0.5, 1.0 / 3, double(0.1f), 1e21, 5e-324, 123456789.0, -2.5e-7,
                              std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()};
    JsonWriter writer;
    writer.beginArray();
    QJsonArray expected;
    for (double d : doubles) {
        writer.value(d);
        expected.append(d);
    }
    for (qint64 n : {qint64(0), qint64(-1), qint64(1) << 53, std::numeric_limits<qint64>::min() / 1024}) {
        writer.value(n);
        expected.append(n);
    }
    writer.value(true);
    expected.append(true);
    writer.beginObject();
    writer.key("empty");
    writer.stringArray(QStringList());
    writer.key("inner");
    writer.beginObject();
    writer.endObject();
    writer.key("list");
    writer.stringArray(QStringList{"a", "b"});
    writer.endObject();
    expected.append(QJsonObject{{"empty", QJsonArray()}, {"inner", QJsonObject()}, {"list", QJsonArray{"a", "b"}}});
    writer.endArray();
    EXPECT_EQ(writer.data(), qtJson(expected));

    // Every finite double reads back as itself.
    const QJsonArray back = QJsonDocument::fromJson(writer.data()).array();
    for (int i = 0; i < 8; ++i) EXPECT_EQ(back[i].toDouble(), doubles[i]) << i;
}

TEST(PictureJson, DirectFormEqualsObjectFormForEveryPicture) {
    QStringList files = testsupport::corpusFiles();
    for (const QString& name : QDir(QStringLiteral(SNAPLORE_TEST_DATA)).entryList(QDir::Files))
        files << testsupport::dataPath(name);  // LICENSES.md too: a file that is no picture
    int pictures = 0;
    for (const QString& path : files) {
        const PictureRecord picture(path);
        const QString error = picture.isJpeg() ? QString() : QStringLiteral("not a JPEG file");
        const QJsonObject object = pictureToJson(picture, path, error);
        JsonWriter writer;
        writePictureJson(writer, picture, path, error);
        QJsonParseError parseError;
        const QJsonDocument parsed = QJsonDocument::fromJson(writer.data(), &parseError);
        ASSERT_EQ(parseError.error, QJsonParseError::NoError) << path.toStdString();
        EXPECT_EQ(parsed.object(), object) << path.toStdString();
        // Same key order and layout: the output of info --json does not change.
        EXPECT_EQ(writer.data(), QJsonDocument(object).toJson(QJsonDocument::Indented)) << path.toStdString();
        pictures += picture.isJpeg();
    }
    EXPECT_GE(pictures, 5);
}

TEST(PictureJson, CountsExtendedLengthDatasetsAsTheReaderTakesThem) {
    using jpegbuilder::dataset;
    // A value whose first byte, read as a dataset start, would send a walk astray.
    const QByteArray binary = QByteArray("\x1C\x02\x78", 3) + QByteArray(300, 'b');
    const QByteArray list = dataset(2, 105, "Head") + extendedDataset(2, 202, binary, 2) + dataset(2, 62, "20200101") +
                            extendedDataset(2, 200, "ab", 4) + dataset(2, 120, "Caption");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("extended.jpg");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(jpegbuilder::picture({jpegbuilder::photoshopSegment(list)}));
    file.close();

    const PictureRecord picture(path);
    ASSERT_TRUE(picture.isJpeg());
    EXPECT_EQ(picture.iptc().caption, "Caption");  // the walk went on past both extended datasets
    const QJsonObject object = pictureToJson(picture, path, {});
    EXPECT_EQ(object["iptc"].toObject()["unknownDatasets"].toInt(), 3);
    JsonWriter writer;
    writePictureJson(writer, picture, path, {});
    EXPECT_EQ(QJsonDocument::fromJson(writer.data()).object(), object);

    // Kept bytes set by hand count only as far as the reader would take them.
    const QByteArray plain = dataset(2, 62, "x");
    const struct {
        const char* what;
        QByteArray run;
        int count;
    } cases[] = {
        {"one to four length bytes", extendedDataset(2, 202, "v", 1) + extendedDataset(2, 202, binary, 4) + plain, 3},
        {"no length bytes", QByteArray("\x1C\x02\xCA\x80\x00", 5) + plain, 0},
        {"more than four length bytes", extendedDataset(2, 202, "v", 5) + plain, 0},
        {"length bytes cut off", plain + QByteArray("\x1C\x02\xCA\x80\x04\x00", 6), 1},
        {"value longer than the run", plain + extendedDataset(2, 202, binary, 2).chopped(1), 1},
    };
    for (const auto& c : cases) {
        IptcBlock iptc;
        iptc.UnknownDatasets = c.run;
        EXPECT_EQ(unknownCount(iptc), c.count) << c.what;
    }
}

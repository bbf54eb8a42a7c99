// XMP kept in step with the IPTC data: which side a field is read from (by the IPTC digest), what a
// save writes into the packet and the digest, as another program reads them back, and the packets
// that are left as they were.

#include "headersplice.h"
#include "jpegbuilder.h"
#include "photoshopresources.h"
#include "picturechange.h"
#include "picturejson.h"
#include "picturerecord.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

using testsupport::dataPath;
using testsupport::readAll;

namespace {

// exiftool's tags as "Group:Tag" lines, or nothing when it is not installed.
QMap<QString, QString> exiftoolTags(const QString& path, const QStringList& arguments) {
    const QString program = QStandardPaths::findExecutable("exiftool");
    QMap<QString, QString> tags;
    if (program.isEmpty()) return tags;
    QProcess process;
    process.start(program, QStringList{"-j", "-a", "-G1", "-charset", "iptc=UTF8"} + arguments + QStringList{path});
    process.waitForFinished(30000);
    const QJsonObject object = QJsonDocument::fromJson(process.readAllStandardOutput()).array()[0].toObject();
    for (auto it = object.begin(); it != object.end(); ++it)
        tags.insert(it.key(), it.value().isArray() ? QString::fromUtf8(QJsonDocument(it.value().toArray()).toJson(QJsonDocument::Compact))
                                                   : it.value().toVariant().toString());
    return tags;
}

// The XMP properties outside the mapping, as exiftool lists them. The toolkit moves an old-style
// "uuid:" rdf:about into xmpMM:InstanceID; both count as one.
QMap<QString, QString> otherXmp(const QString& path) {
    static const QStringList mapped{"Title", "Headline", "Description", "Subject", "Location", "City", "State",
                                    "Country", "DateCreated", "Urgency", "Instructions", "Creator", "AuthorsPosition",
                                    "Credit", "Source", "Rights", "CaptionWriter", "Category", "SupplementalCategories",
                                    "XMPToolkit"};
    QMap<QString, QString> out;
    const QMap<QString, QString> all = exiftoolTags(path, {"-XMP:all"});
    for (auto it = all.begin(); it != all.end(); ++it)
        if (it.key().startsWith("XMP") && !mapped.contains(it.key().section(':', 1))) out.insert(it.key(), it.value());
    if (out.contains("XMP-rdf:About")) out.insert("XMP-xmpMM:InstanceID", out.take("XMP-rdf:About"));
    return out;
}

// The Photoshop resource stream of a picture file.
QByteArray photoshopStream(const QByteArray& jpeg) {
    QByteArray stream;
    for (const jpegbuilder::Seg& s : jpegbuilder::segmentsOf(jpeg))
        if (s.code == 0xED && s.bytes.mid(4, 14) == psd::kSignature) stream += s.bytes.mid(4 + psd::kSignature.size());
    return stream;
}

QByteArray md5(const QByteArray& data) { return QCryptographicHash::hash(data, QCryptographicHash::Md5); }

QString sourceOf(const PictureRecord& picture, const char* key) {
    return iptcToJson(picture.iptc(), picture.header())["sources"].toObject()[QLatin1String(key)].toString();
}

}  // namespace

// Which side holds: XMP only; no digest (IPTC where it has a value, XMP fills the rest); a matching
// digest (XMP where it has the property); a digest that no longer matches (IPTC).
TEST(XmpInStep, ReadingFollowsTheDigest) {
    struct Case {
        const char* file;
        const char* key;
        QString value;
        const char* source;
    };
    const Case cases[] = {
        {"xmp_utf16.jpg", "headline", "No headline", "xmp"},
        {"xmp_utf16.jpg", "city", "Kingston", "xmp"},
        {"xmp_utf16.jpg", "event", "Test IPTC picture", "xmp"},
        {"iptc_repeated.jpg", "city", "WRONG-IPTC-City", "iptc"},
        {"iptc_repeated.jpg", "copyright", "WRONG-IPTC-Copyright", "iptc"},
        {"iptc_repeated.jpg", "location", "RIGHT-IPTC-Location", "iptc"},
        {"iptc_no_date_no_camera.jpg", "event", "Blue Square Test File - .jpg", "xmp"},
        {"xmp_stale_digest.jpg", "headline", "No headline", "iptc"},
        {"xmp_stale_digest.jpg", "event", "Test IPTC picture", "iptc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.key);
        const PictureRecord picture(dataPath(c.file));
        const QJsonObject json = iptcToJson(picture.iptc(), picture.header());
        EXPECT_EQ(json["xmp"].toString(), "read");
        EXPECT_EQ(json[QLatin1String(c.key)].toString(), c.value);
        EXPECT_EQ(sourceOf(picture, c.key), c.source);
    }
    // Listed as a person wants them: the XMP-only picture's people come from its dc:subject.
    EXPECT_EQ(PictureRecord(dataPath("xmp_utf16.jpg")).iptc().people, QStringList({"ExifTool", "Test", "XMP"}));
}

// After a save of headline and caption another program reads the new values from IPTC and XMP, the
// digest matches the IPTC data unless it did not before, and every other XMP property is as it was.
TEST(XmpInStep, ASaveWritesBothSidesAndTheDigestByTheRules) {
    if (QStandardPaths::findExecutable("exiftool").isEmpty()) GTEST_SKIP() << "exiftool is not installed";
    struct Case {
        const char* file;
        bool digestRenewed;  // false: the digest did not match and stays
    };
    const Case cases[] = {
        {"xmp_utf16.jpg", true}, {"iptc_photomech.jpg", true}, {"iptc_repeated.jpg", true},
        {"iptc_no_date_no_camera.jpg", true}, {"xmp_stale_digest.jpg", false},
    };
    const QString headline = QString::fromUtf8("Harbour at dawn – Hafen");
    const QString caption = QString::fromUtf8("Boats leaving, größer than ever");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        testsupport::SandBox box;
        const QString path = box.copy(dataPath(c.file), "work.jpg");
        const QMap<QString, QString> othersBefore = otherXmp(path);
        const QByteArray digestBefore = psd::resourceData(photoshopStream(readAll(path)), psd::kIptcDigestId).value_or("");
        PictureRecord picture(path);
        picture.iptc().headline = headline;
        picture.iptc().caption = caption;
        PictureChange written;
        ASSERT_TRUE(picture.save({}, true, &written));
        EXPECT_TRUE(written.note.isEmpty()) << written.note.toStdString();

        const QMap<QString, QString> tags = exiftoolTags(path, {"-IPTC:Headline", "-IPTC:Caption-Abstract",
                                                                "-XMP:Headline", "-XMP:Description"});
        EXPECT_EQ(tags.value("IPTC:Headline"), headline);
        EXPECT_EQ(tags.value("XMP-photoshop:Headline"), headline);
        EXPECT_EQ(tags.value("IPTC:Caption-Abstract"), caption);
        EXPECT_EQ(tags.value("XMP-dc:Description"), caption);
        EXPECT_EQ(otherXmp(path), othersBefore);

        const QByteArray stream = photoshopStream(readAll(path));
        const QByteArray digest = psd::resourceData(stream, psd::kIptcDigestId).value_or("");
        if (c.digestRenewed)
            EXPECT_EQ(digest, md5(psd::resourceData(stream, psd::kIptcId).value_or("")));
        else
            EXPECT_EQ(digest, digestBefore);

        // Read again, the picture shows what was saved, whichever side it is read from.
        const PictureRecord back(path);
        EXPECT_EQ(back.iptc().headline, headline);
        EXPECT_EQ(back.iptc().caption, caption);
        EXPECT_EQ(sourceOf(back, "headline"), c.digestRenewed ? "xmp" : "iptc");
    }
}

// A save that changes nothing writes the same bytes; a picture without XMP gets none.
TEST(XmpInStep, NothingChangedNothingAdded) {
    for (const char* file : {"xmp_utf16.jpg", "iptc_photomech.jpg", "xmp_stale_digest.jpg"}) {
        SCOPED_TRACE(file);
        testsupport::SandBox box;
        const QString path = box.copy(dataPath(file), "work.jpg");
        const QByteArray before = readAll(path);
        PictureRecord picture(path);
        ASSERT_TRUE(picture.save());
        EXPECT_EQ(readAll(path), before);
    }
    testsupport::SandBox box;
    const QString path = box.copy(dataPath("Canon_40D.jpg"), "plain.jpg");
    PictureRecord picture(path);
    picture.iptc().headline = "No XMP here";
    ASSERT_TRUE(picture.save());
    EXPECT_FALSE(findXmpPacket(readAll(path)));
    EXPECT_FALSE(psd::resourceData(photoshopStream(readAll(path)), psd::kIptcDigestId));
}

// A packet that does not parse is kept byte for byte and the digest is not touched, while the IPTC
// data is written and the writer hears of it; a packet that one segment could no longer hold stops
// the save before anything is written.
TEST(XmpInStep, PacketsLeftAsTheyWere) {
    testsupport::SandBox box;
    const QByteArray picture = readAll(dataPath("Canon_40D.jpg"));
    const auto withPacket = [&](const QByteArray& packet) { return testsupport::withXmpPacket(picture, packet); };
    const QByteArray broken = "<?xpacket begin=''?><x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF <<<</x:xmpmeta>";
    const QString brokenPath = box.filePath("broken.jpg");
    ASSERT_TRUE(testsupport::writeAll(brokenPath, withPacket(broken)));
    PictureRecord unreadable(brokenPath);
    EXPECT_EQ(unreadable.iptc().xmpState(), IptcBlock::XmpState::Unreadable);
    unreadable.iptc().headline = "Written anyway";
    PictureChange written;
    ASSERT_TRUE(unreadable.save({}, true, &written));
    EXPECT_FALSE(written.note.isEmpty());
    EXPECT_EQ(findXmpPacket(readAll(brokenPath))->toByteArray(), broken);
    EXPECT_FALSE(psd::resourceData(photoshopStream(readAll(brokenPath)), psd::kIptcDigestId));
    EXPECT_EQ(PictureRecord(brokenPath).iptc().headline, "Written anyway");

    // Nearly a whole segment of XMP, without padding: a long caption no longer fits.
    const QByteArray full = "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?>"
                            "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
                            "<rdf:Description rdf:about='' xmlns:xmp='http://ns.adobe.com/xap/1.0/' xmp:Label='" +
                            QByteArray(kMaxXmpPacket - 1200, 'L') +
                            "'/></rdf:RDF></x:xmpmeta><?xpacket end='w'?>";
    const QString fullPath = box.filePath("full.jpg");
    ASSERT_TRUE(testsupport::writeAll(fullPath, withPacket(full)));
    const QByteArray before = readAll(fullPath);
    PictureRecord crowded(fullPath);
    ASSERT_EQ(crowded.iptc().xmpState(), IptcBlock::XmpState::Read);
    crowded.iptc().caption = QString(1900, 'c');
    const WriteResult refused = crowded.save();
    EXPECT_EQ(refused.error, WriteError::TooLarge);
    EXPECT_TRUE(describe(refused).contains("XMP")) << describe(refused).toStdString();
    EXPECT_EQ(readAll(fullPath), before);
}

// Found by fuzzing: XML cannot hold a control character that IPTC can. The digest is then not
// renewed, so that the value read back is IPTC's, as saved.
TEST(XmpInStep, AValueXmlCannotHoldIsReadBackFromIptc) {
    testsupport::SandBox box;
    const QString path = box.copy(dataPath("iptc_no_date_no_camera.jpg"), "work.jpg");  // a matching digest
    PictureRecord picture(path);
    picture.iptc().caption = QString::fromLatin1("bell\x07here");
    ASSERT_TRUE(picture.save());
    const PictureRecord back(path);
    EXPECT_EQ(back.iptc().caption, QString::fromLatin1("bell\x07here"));
    EXPECT_EQ(sourceOf(back, "caption"), "iptc");
}

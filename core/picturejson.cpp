#include "picturejson.h"

#include <QJsonArray>
#include <QStringDecoder>

namespace {

// EXIF texts are C strings of the camera's bytes; show them as Latin-1 unless they are UTF-8.
QString exifText(const QByteArray& bytes) {
    QByteArray b = bytes;
    const qsizetype nul = b.indexOf('\0');
    if (nul >= 0) b.truncate(nul);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString s = utf8.decode(b);
    return utf8.hasError() ? QString::fromLatin1(b) : s;
}

double number(float v) { return double(v); }

}  // namespace

QJsonObject exifToJson(const JpegSectionReader& reader) {
    const ExifSummary& e = reader.exif();
    QJsonObject o;
    o["exifVersion"] = exifText(e.exifVersion);
    o["make"] = exifText(e.cameraMake);
    o["model"] = exifText(e.cameraModel);
    o["dateTimeOriginal"] = exifText(e.dateTimeOriginal);
    o["orientation"] = e.orientation;
    o["flashUsed"] = e.flashUsed;
    o["focalLength"] = number(e.focalLength);
    o["exposureTime"] = number(e.exposureTime);
    o["apertureFNumber"] = number(e.apertureFNumber);
    o["distance"] = number(e.distance);
    o["ccdWidth"] = number(e.ccdWidth);
    o["exposureBias"] = number(e.exposureBias);
    o["whiteBalance"] = e.whiteBalance;
    o["meteringMode"] = e.meteringMode;
    o["exposureProgram"] = e.exposureProgram;
    o["isoEquivalent"] = e.isoEquivalent;
    o["compressionLevel"] = e.compressionLevel;
    o["xResolution"] = number(e.xResolution);
    o["yResolution"] = number(e.yResolution);
    o["resolutionUnit"] = number(e.resolutionUnit);
    o["brightness"] = number(e.brightness);
    o["comment"] = exifText(e.comment);
    o["thumbnailLength"] = qint64(e.thumbnailSection >= 0 ? e.thumbnailLength : 0);
    o["exifImageWidth"] = e.exifImageWidth;
    o["error"] = reader.lastError();
    return o;
}

QJsonObject iptcToJson(const IptcBlock& iptc, const PictureHeader& header) {
    QJsonObject o;
    o["event"] = iptc.event;
    o["headline"] = iptc.headline;
    o["caption"] = iptc.caption;
    o["people"] = QJsonArray::fromStringList(iptc.people);
    o["location"] = iptc.location;
    o["city"] = iptc.city;
    o["state"] = iptc.state;
    o["country"] = iptc.country;
    o["rating"] = iptc.rating;
    o["dateText"] = iptc.dateText;
    o["timeText"] = iptc.timeText;
    o["instructions"] = iptc.instructions;
    o["byline"] = iptc.byline;
    o["bylineTitle"] = iptc.bylineTitle;
    o["credit"] = iptc.credit;
    o["source"] = iptc.source;
    o["writer"] = iptc.writer;
    o["transmissionReference"] = iptc.transmissionReference;
    o["category"] = iptc.category;
    o["supplementalCategories"] = QJsonArray::fromStringList(iptc.supplementalCategories);
    o["copyright"] = iptc.copyright;
    o["hasThumbnail"] = iptc.hasThumbnail();
    int unknown = 0;
    for (qsizetype pos = 0; iptc.UnknownDatasets.size() - pos >= 5; ++unknown)
        pos += 5 + ((uint8_t(iptc.UnknownDatasets[pos + 3]) << 8) | uint8_t(iptc.UnknownDatasets[pos + 4]));
    o["unknownDatasets"] = unknown;
    o["photoshopSegments"] = header.app13Segments;
    return o;
}

QJsonObject pictureToJson(const PictureRecord& picture, const QString& displayPath, const QString& error) {
    QJsonObject o;
    o["file"] = displayPath;
    o["fileSize"] = qint64(picture.fileSize());
    o["headerSize"] = qint64(picture.headerSize());
    o["width"] = picture.frameWidth();
    o["height"] = picture.frameHeight();
    o["exif"] = exifToJson(picture.reader());
    o["iptc"] = iptcToJson(picture.iptc(), picture.header());
    o["error"] = error;
    return o;
}

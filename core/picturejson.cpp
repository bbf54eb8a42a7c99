#include "picturejson.h"

#include "iptcdatasets.h"
#include "jsonwriter.h"

#include <QJsonArray>
#include <QStringDecoder>

namespace {

// The fields of the XMP mapping under their keys, in key order, and whether each has a value.
struct MappedField {
    const char* key;
    xmp::Field field;
    bool (*hasValue)(const IptcBlock&);
};
const MappedField kMappedFields[] = {
    {"byline", xmp::Field::Byline, [](const IptcBlock& b) { return !b.byline.isEmpty(); }},
    {"bylineTitle", xmp::Field::BylineTitle, [](const IptcBlock& b) { return !b.bylineTitle.isEmpty(); }},
    {"caption", xmp::Field::Caption, [](const IptcBlock& b) { return !b.caption.isEmpty(); }},
    {"category", xmp::Field::Category, [](const IptcBlock& b) { return !b.category.isEmpty(); }},
    {"city", xmp::Field::City, [](const IptcBlock& b) { return !b.city.isEmpty(); }},
    {"copyright", xmp::Field::Copyright, [](const IptcBlock& b) { return !b.copyright.isEmpty(); }},
    {"country", xmp::Field::Country, [](const IptcBlock& b) { return !b.country.isEmpty(); }},
    {"credit", xmp::Field::Credit, [](const IptcBlock& b) { return !b.credit.isEmpty(); }},
    {"dateText", xmp::Field::DateCreated, [](const IptcBlock& b) { return !b.dateText.isEmpty(); }},
    {"event", xmp::Field::Event, [](const IptcBlock& b) { return !b.event.isEmpty(); }},
    {"headline", xmp::Field::Headline, [](const IptcBlock& b) { return !b.headline.isEmpty(); }},
    {"instructions", xmp::Field::Instructions, [](const IptcBlock& b) { return !b.instructions.isEmpty(); }},
    {"location", xmp::Field::Location, [](const IptcBlock& b) { return !b.location.isEmpty(); }},
    {"people", xmp::Field::People, [](const IptcBlock& b) { return !b.people.isEmpty(); }},
    {"rating", xmp::Field::Urgency, [](const IptcBlock& b) { return !b.rating.isEmpty(); }},
    {"source", xmp::Field::Source, [](const IptcBlock& b) { return !b.source.isEmpty(); }},
    {"state", xmp::Field::State, [](const IptcBlock& b) { return !b.state.isEmpty(); }},
    {"supplementalCategories", xmp::Field::SupplementalCategories,
     [](const IptcBlock& b) { return !b.supplementalCategories.isEmpty(); }},
    {"writer", xmp::Field::Writer, [](const IptcBlock& b) { return !b.writer.isEmpty(); }},
};

const char* xmpStateText(IptcBlock::XmpState state) {
    switch (state) {
    case IptcBlock::XmpState::Read: return "read";
    case IptcBlock::XmpState::Unreadable: return "unreadable";
    case IptcBlock::XmpState::None: break;
    }
    return "none";
}

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

// Counted by the walk that reads them, so the count is what the picture holds to the reader.
int unknownDatasetCount(const IptcBlock& iptc) {
    int unknown = 0;
    snaplore::forEachDataset(iptc.UnknownDatasets, [&](int, int, QByteArrayView, QByteArrayView, bool) { ++unknown; });
    return unknown;
}

// exifText into the writer; plain ASCII, what cameras write, goes without a QString.
void writeExifText(JsonWriter& json, const QByteArray& bytes) {
    QByteArrayView b(bytes);
    const qsizetype nul = b.indexOf('\0');
    if (nul >= 0) b.truncate(nul);
    for (char c : b)
        if (uchar(c) >= 0x80) {
            json.value(exifText(bytes));
            return;
        }
    json.utf8Value(b);
}

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
    o["unknownDatasets"] = unknownDatasetCount(iptc);
    o["photoshopSegments"] = header.app13Segments;
    QJsonObject sources;
    for (const MappedField& f : kMappedFields)
        if (f.hasValue(iptc)) sources[QLatin1String(f.key)] = iptc.fromXmp(f.field) ? "xmp" : "iptc";
    o["sources"] = sources;
    o["xmp"] = xmpStateText(iptc.xmpState());
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

// Keys in the order QJsonObject keeps them (sorted), so both forms print alike.

void writeExifJson(JsonWriter& json, const JpegSectionReader& reader) {
    const ExifSummary& e = reader.exif();
    json.beginObject();
    json.key("apertureFNumber");
    json.value(number(e.apertureFNumber));
    json.key("brightness");
    json.value(number(e.brightness));
    json.key("ccdWidth");
    json.value(number(e.ccdWidth));
    json.key("comment");
    writeExifText(json, e.comment);
    json.key("compressionLevel");
    json.value(e.compressionLevel);
    json.key("dateTimeOriginal");
    writeExifText(json, e.dateTimeOriginal);
    json.key("distance");
    json.value(number(e.distance));
    json.key("error");
    json.value(reader.lastError());
    json.key("exifImageWidth");
    json.value(e.exifImageWidth);
    json.key("exifVersion");
    writeExifText(json, e.exifVersion);
    json.key("exposureBias");
    json.value(number(e.exposureBias));
    json.key("exposureProgram");
    json.value(e.exposureProgram);
    json.key("exposureTime");
    json.value(number(e.exposureTime));
    json.key("flashUsed");
    json.value(e.flashUsed);
    json.key("focalLength");
    json.value(number(e.focalLength));
    json.key("isoEquivalent");
    json.value(e.isoEquivalent);
    json.key("make");
    writeExifText(json, e.cameraMake);
    json.key("meteringMode");
    json.value(e.meteringMode);
    json.key("model");
    writeExifText(json, e.cameraModel);
    json.key("orientation");
    json.value(e.orientation);
    json.key("resolutionUnit");
    json.value(number(e.resolutionUnit));
    json.key("thumbnailLength");
    json.value(qint64(e.thumbnailSection >= 0 ? e.thumbnailLength : 0));
    json.key("whiteBalance");
    json.value(e.whiteBalance);
    json.key("xResolution");
    json.value(number(e.xResolution));
    json.key("yResolution");
    json.value(number(e.yResolution));
    json.endObject();
}

void writeIptcJson(JsonWriter& json, const IptcBlock& iptc, const PictureHeader& header) {
    json.beginObject();
    json.key("byline");
    json.value(iptc.byline);
    json.key("bylineTitle");
    json.value(iptc.bylineTitle);
    json.key("caption");
    json.value(iptc.caption);
    json.key("category");
    json.value(iptc.category);
    json.key("city");
    json.value(iptc.city);
    json.key("copyright");
    json.value(iptc.copyright);
    json.key("country");
    json.value(iptc.country);
    json.key("credit");
    json.value(iptc.credit);
    json.key("dateText");
    json.value(iptc.dateText);
    json.key("event");
    json.value(iptc.event);
    json.key("hasThumbnail");
    json.value(iptc.hasThumbnail());
    json.key("headline");
    json.value(iptc.headline);
    json.key("instructions");
    json.value(iptc.instructions);
    json.key("location");
    json.value(iptc.location);
    json.key("people");
    json.stringArray(iptc.people);
    json.key("photoshopSegments");
    json.value(header.app13Segments);
    json.key("rating");
    json.value(iptc.rating);
    json.key("source");
    json.value(iptc.source);
    json.key("sources");
    json.beginObject();
    for (const MappedField& f : kMappedFields) {
        if (!f.hasValue(iptc)) continue;
        json.key(f.key);
        json.value(QString::fromLatin1(iptc.fromXmp(f.field) ? "xmp" : "iptc"));
    }
    json.endObject();
    json.key("state");
    json.value(iptc.state);
    json.key("supplementalCategories");
    json.stringArray(iptc.supplementalCategories);
    json.key("timeText");
    json.value(iptc.timeText);
    json.key("transmissionReference");
    json.value(iptc.transmissionReference);
    json.key("unknownDatasets");
    json.value(unknownDatasetCount(iptc));
    json.key("writer");
    json.value(iptc.writer);
    json.key("xmp");
    json.value(QString::fromLatin1(xmpStateText(iptc.xmpState())));
    json.endObject();
}

void writePictureJson(JsonWriter& json, const PictureRecord& picture, const QString& displayPath,
                      const QString& error) {
    json.beginObject();
    json.key("error");
    json.value(error);
    json.key("exif");
    writeExifJson(json, picture.reader());
    json.key("file");
    json.value(displayPath);
    json.key("fileSize");
    json.value(qint64(picture.fileSize()));
    json.key("headerSize");
    json.value(qint64(picture.headerSize()));
    json.key("height");
    json.value(picture.frameHeight());
    json.key("iptc");
    writeIptcJson(json, picture.iptc(), picture.header());
    json.key("width");
    json.value(picture.frameWidth());
    json.endObject();
}

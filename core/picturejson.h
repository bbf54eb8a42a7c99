#pragma once
// The JSON form of a picture's EXIF values and picture data, as the command-line tool prints them.

#include "picturerecord.h"

#include <QJsonObject>

class JsonWriter;

QJsonObject exifToJson(const JpegSectionReader& reader);
QJsonObject iptcToJson(const IptcBlock& iptc, const PictureHeader& header);
// file, fileSize, headerSize, width, height, exif, iptc, error.
QJsonObject pictureToJson(const PictureRecord& picture, const QString& displayPath, const QString& error);

// The same objects written straight into `json`, with the same keys (in the same order) and values,
// without building them first: the command-line tool's fast path.
void writeExifJson(JsonWriter& json, const JpegSectionReader& reader);
void writeIptcJson(JsonWriter& json, const IptcBlock& iptc, const PictureHeader& header);
void writePictureJson(JsonWriter& json, const PictureRecord& picture, const QString& displayPath,
                      const QString& error);

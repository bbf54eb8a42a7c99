#pragma once
// The JSON form of a picture's EXIF values and picture data, as the command-line tool prints them.

#include "picturerecord.h"

#include <QJsonObject>

QJsonObject exifToJson(const JpegSectionReader& reader);
QJsonObject iptcToJson(const IptcBlock& iptc, const PictureHeader& header);
// file, fileSize, headerSize, width, height, exif, iptc, error.
QJsonObject pictureToJson(const PictureRecord& picture, const QString& displayPath, const QString& error);

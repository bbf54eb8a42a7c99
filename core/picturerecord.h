#pragma once
// One picture as the whole program sees it: its file, size and dimensions, EXIF values and picture
// data. Built from a picture file, or from a picture header stored in a catalog.

#include "iptcblock.h"
#include "jpegsection.h"
#include "pictureheader.h"

#include <QIODevice>
#include <QString>

class PictureRecord {
public:
    PictureRecord() = default;
    // Reads the picture file at `path`; a file that cannot be opened leaves the record empty.
    explicit PictureRecord(const QString& path);
    // Reads a picture header that starts at the device's position and ends before `end` (a catalog
    // entry). The name, path and size are those of the device's file until the caller sets them.
    PictureRecord(QIODevice& file, qint64 end);

    // Walks one picture header from the device's position up to `end`; returns the header size.
    quint64 ReadPictureHeader(QIODevice& file, qint64 end);

    void setFileName(const QString& name) { fileName_ = name; }
    // Also gives the path to the picture data and looks the file up again.
    void setFilePath(const QString& path);
    void setFileSize(quint64 size) { fileSize_ = size; }
    bool fileExists() const { return fileExists_; }
    // The disc and folder of an archived catalog entry; empty for a picture read from disk.
    QString archiveName;
    QString archiveLocation;

    const QString& fileName() const { return fileName_; }
    const QString& filePath() const { return filePath_; }
    quint64 fileSize() const { return fileSize_; }
    quint64 headerSize() const { return headerSize_; }
    int frameWidth() const { return header_.width; }
    int frameHeight() const { return header_.height; }
    int displayWidth() const { return displayWidth_; }
    int displayHeight() const { return displayHeight_; }
    bool hasData() const { return hasData_; }
    bool isJpeg() const { return isJpeg_; }
    const PictureHeader& header() const { return header_; }

    JpegSectionReader& reader() { return reader_; }
    const JpegSectionReader& reader() const { return reader_; }
    IptcBlock& iptc() { return iptc_; }
    const IptcBlock& iptc() const { return iptc_; }

    // Picture data present: a headline or an event.
    void updateHasData() { hasData_ = !iptc_.headline.isEmpty() || !iptc_.event.isEmpty(); }

private:
    QString fileName_;
    QString filePath_;
    quint64 fileSize_ = 0;
    quint64 headerSize_ = 0;
    int displayWidth_ = 0;
    int displayHeight_ = 0;
    bool hasData_ = false;
    bool fileExists_ = false;
    bool isJpeg_ = false;
    PictureHeader header_;
    JpegSectionReader reader_;
    IptcBlock iptc_;
};

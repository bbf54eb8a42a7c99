#pragma once
// One picture as the whole program sees it: its file, size and dimensions, EXIF values and picture
// data, its rotation and crop, its lock state and its thumbnails. Built from a picture file, from the
// document's open file, or from a picture header stored in a catalog; in the last case the picture
// itself is never decoded for a thumbnail.
//
// Built with SNAPLORE_NO_PIXELS (the snaplore_core_data library) the record reads and writes picture
// data without the image code: no decoding, no thumbnails, and only reading turns a picture.

#include <QDateTime>
#include <QFile>
#include <QIODevice>
#ifndef SNAPLORE_NO_PIXELS
#include <QImage>
#endif
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>

#include "instructiontext.h"
#include "iptcblock.h"
#include "jpegsection.h"
#include "pictureheader.h"
#include "writeerror.h"

struct PictureChange;
class Prompter;
class QPainter;

// The date and time a camera wrote ("YYYY:MM:DD HH:MM:SS", or near it); invalid when it is none.
QDateTime parseExifDateTime(const QByteArray& text);

class PictureRecord {
public:
    // Where the thumbnail that is drawn came from, cheapest first.
    enum class ThumbnailSource { None, ExifThumbnail, IptcThumbnail, Decoded };
    enum class ExifThumbnails { Use, Skip };

    PictureRecord() = default;
    // Reads the picture file at `path`; a file that cannot be opened leaves the record without data.
    // `prompter` shows the message for a zero-byte file; null in batch use.
    explicit PictureRecord(const QString& path, Prompter* prompter = nullptr);
    // Reads a picture header that starts at the device's position and ends before `end` (a catalog
    // entry). The name, path and size are those of the device's file until the caller sets them.
    PictureRecord(QIODevice& file, qint64 end, Prompter* prompter = nullptr);
    // The same without taking anything from the XMP packet (kept, not parsed): what the IPTC data
    // alone says, for a quick look before the picture is read by the rules.
    enum class Xmp { Resolve, Skip };
    PictureRecord(QIODevice& file, qint64 end, Xmp xmp);
    // Reads the document's open picture file from its current position to its end.
    PictureRecord(QFile& file, Prompter* prompter);

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
    bool fromCatalog() const { return fromCatalog_; }
    // A picture read from a catalog need not keep the bytes of its header copy: `source` gives them
    // again when they are asked for (the camera's thumbnail), and what was read of them stays.
    void setStoredHeader(std::function<QByteArray()> source);
    // The camera's EXIF thumbnail as JPEG bytes; empty without one.
    QByteArray exifThumbnail() const;
    const PictureHeader& header() const { return header_; }

    JpegSectionReader& reader() { return reader_; }
    const JpegSectionReader& reader() const { return reader_; }
    IptcBlock& iptc() { return iptc_; }
    const IptcBlock& iptc() const { return iptc_; }

    // Picture data present: a headline or an event.
    void updateHasData() { hasData_ = !iptc_.headline.isEmpty() || !iptc_.event.isEmpty(); }

    // Rewrites the picture with its picture data: in place, or into `outputPath` (the document's save
    // file). On success hasData, the file size and the header size describe the written file.
    // `keepFileTimes` false gives the file the time of the save. The picture is locked from reading it
    // again until it is replaced (IptcBlock::WriteIptc): when its picture data changed on disk since
    // it was read, only the fields changed here are applied to what is there now.
    // `written` receives what the folder's catalog keeps of the new file (catalogupdate.h).
    WriteResult save(const QString& outputPath = {}, bool keepFileTimes = true, PictureChange* written = nullptr);

    // Locked means the owner may not write the file. Locking clears every write bit; unlocking gives
    // the owner's back. Both read the state back from disk and return false when it cannot be set.
    bool locked() const { return locked_; }
    bool lock();
    bool unlock();

    // Rotation in degrees clockwise, 0..359.
    int rotation() const { return rotation_; }
    // The angle the camera's orientation tag asks for (0, 90, 180 or 270).
    int cameraRotation() const;
    // Turns the picture to `angle` degrees: the loaded image and thumbnails follow, and the display
    // width and height are exchanged near 90 and 270 degrees.
    void rotateTo(int angle);
    // The crop of the instruction text, in pixels of the picture as displayed.
    instructiontext::CropEdges cropRect() const;
    // The crop mode of the instruction text; 0 without one.
    int cropTo() const;

    // When the picture was taken: its picture data's date, else the camera's, else the file's
    // modification time; invalid when none is known.
    QDateTime dateTime() const;

    // Search texts against the people, the place fields, or the event, headline and caption
    // (picturesearch.h has the rules).
    bool MatchPeople(const QString& text) const;
    bool MatchPlace(const QString& text) const;
    bool MatchOther(const QString& text) const;

#ifndef SNAPLORE_NO_PIXELS
    // Decodes the picture, turned by its rotation. A valid `maxSize` (as displayed) lets the decoder
    // work at reduced size; the picture is never enlarged.
    bool loadImage(QSize maxSize = {});
    // The decode of loadImage without a record, for a thread that decodes ahead: the file at `path`
    // turned by `quarters` quarter turns, fitted into `maxSize` when that is valid. Null on failure.
    static QImage decodeImage(const QString& path, int quarters, QSize maxSize = {});
    // Takes an image decoded ahead by decodeImage; false (and nothing taken) when it was turned by
    // another rotation than the record's, or is null.
    bool adoptImage(const QImage& image, int quarters);
    // The quarter turns that loadImage and decodeImage apply for this record.
    int imageQuarterTurns() const;
    void unloadImage();
    bool imageLoaded() const { return !image_.isNull(); }
    const QImage& image() const { return image_; }

    // Makes the thumbnail from the cheapest source: the camera's EXIF thumbnail, then the stored
    // IPTC thumbnail, and only then a reduced decode of the picture (never for a catalog entry).
    // Runs once; drawing calls it.
    void makeThumbnail(ExifThumbnails exif = ExifThumbnails::Use);
    ThumbnailSource thumbnailSource() const { return thumbnailSource_; }
    const QImage& embeddedThumbnail() const { return embeddedThumbnail_; }
    const QImage& thumbnail() const { return thumbnail_; }
    const QImage& turnedThumbnail() const { return turnedThumbnail_; }
    // What drawing shows, at its own size (a camera thumbnail without its bars); empty when the
    // stand-in picture would be drawn.
    QImage thumbnailImage() const;
    // Draws the thumbnail stretched into `target`, or the stand-in picture. `turned` draws it turned a
    // quarter clockwise into the rectangle with width and height exchanged about its top-left corner.
    void drawThumbnail(QPainter& painter, const QRect& target, bool turned = false);
#endif

private:
    PictureRecord(QIODevice& file, qint64 end, Xmp xmp, Prompter* prompter);
    void read(QIODevice& file, qint64 end, Prompter* prompter);
    void applyStoredRotation();
#ifndef SNAPLORE_NO_PIXELS
    bool makeThumbnailsFromImage();
#endif
    void readLockState();

    QString fileName_;
    QString filePath_;
    quint64 fileSize_ = 0;
    quint64 headerSize_ = 0;
    int displayWidth_ = 0;
    int displayHeight_ = 0;
    int rotation_ = 0;
    bool hasData_ = false;
    bool fileExists_ = false;
    bool isJpeg_ = false;
    bool locked_ = false;
    bool fromCatalog_ = false;
    bool reading_ = false;
    bool thumbnailTried_ = false;
    PictureHeader header_;
    JpegSectionReader reader_;
    std::function<QByteArray()> storedHeader_;
    IptcBlock iptc_;

#ifndef SNAPLORE_NO_PIXELS
    QImage image_;
    int imageQuarters_ = 0;  // quarter turns already applied to image_
    QImage embeddedThumbnail_;
    int embeddedQuarters_ = 0;
    QImage thumbnail_;
    QImage turnedThumbnail_;
    ThumbnailSource thumbnailSource_ = ThumbnailSource::None;
#endif
};

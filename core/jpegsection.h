#pragma once
// Marker segments of a JPEG header held in memory, and the EXIF values taken from them.

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <vector>

// One loaded marker segment: its code and its bytes from the first length byte on.
struct JpegSection {
    int type = 0;     // marker code 0xC0..0xFE
    int size = 0;     // the segment's length field (2 or more)
    QByteArray data;  // the two length bytes as read, followed by the payload
};

// The EXIF values the program uses, plus the rest collected by the same walk.
struct ExifSummary {
    QByteArray exifVersion;       // at most 4 bytes
    QByteArray cameraMake;        // at most 31 bytes
    QByteArray cameraModel;       // at most 39 bytes
    QByteArray dateTimeOriginal;  // at most 19 bytes, "YYYY:MM:DD HH:MM:SS" as cameras write it
    int height = 0;
    int width = 0;
    int orientation = 0;
    int isColour = 0;
    int process = 0;
    int flashUsed = 0;
    float focalLength = 0;
    float exposureTime = 0;
    float apertureFNumber = 0;
    float distance = 0;
    float ccdWidth = 0;
    float exposureBias = 0;
    int whiteBalance = 0;
    int meteringMode = 0;
    int exposureProgram = 0;
    int isoEquivalent = 0;
    int compressionLevel = 0;
    float focalPlaneXResolution = 0;
    float focalPlaneYResolution = 0;
    float focalPlaneUnits = 0;
    float xResolution = 0;
    float yResolution = 0;
    float resolutionUnit = 0;
    float brightness = 0;
    QByteArray comment;  // at most 999 bytes (the COM segment) or 199 (the EXIF user comment)
    // Where the embedded thumbnail lies: an index into the reader's sections and a byte range of
    // that section's data. thumbnailSection < 0 means no thumbnail.
    int thumbnailSection = -1;
    qsizetype thumbnailOffset = 0;
    qsizetype thumbnailLength = 0;
    int exifImageWidth = 0;
};

// Walks the TIFF directories of one APP1 section (`section` = its bytes from the first length byte)
// and fills `summary`. Returns false with the reason in `error` when the walk stopped early; the
// values read before the stop stay. A fault the walk steps over (a link out of the data, an
// undefined orientation) leaves its reason in `error` and returns true. `sectionIndex` is recorded
// as the thumbnail's section.
bool ProcessExif(const QByteArray& section, int sectionIndex, ExifSummary& summary, QString& error);

// Loads marker segments into memory and keeps them, so that the EXIF thumbnail can point into them.
class JpegSectionReader {
public:
    static constexpr int kMaxSections = 40;

    // Reads marker segments from the device's current position until SOS, or through the first APP1
    // segment. Returns false with the reason in lastError().
    bool ReadSections(QIODevice& file);

    const ExifSummary& exif() const { return exif_; }
    ExifSummary& exif() { return exif_; }
    const std::vector<JpegSection>& sections() const { return sections_; }
    const QString& lastError() const { return error_; }
    bool exifRead() const { return exifOk_; }
    void setVerbose(bool on) { verbose_ = on; }

    // The embedded EXIF thumbnail's JPEG bytes, or empty.
    QByteArray exifThumbnail() const;
    // Lets go of the segments' bytes; the values read from them stay.
    void releaseSections() { std::vector<JpegSection>().swap(sections_); }

    int height() const { return exif_.height; }
    int width() const { return exif_.width; }

private:
    bool fail(const char* text);
    void cleanComment(const QByteArray& data);

    ExifSummary exif_;
    std::vector<JpegSection> sections_;
    QString error_;
    bool verbose_ = true;
    bool exifOk_ = false;
};

// True for the start-of-frame codes C0..C3, C5..C7, C9..CB, CD..CF.
constexpr bool isSofMarker(int code) {
    return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
}

// True for the codes of segments that carry a length: C0..FE but for the restart markers, SOI and
// EOI.
constexpr bool isSegmentMarker(int code) { return code >= 0xC0 && code <= 0xFE && (code < 0xD0 || code > 0xD9); }

// Where a header walk that lost its place picks up again. A segment whose length falls short of
// its data, or stray bytes between segments, leave the walk on a byte that starts no marker; the
// reading goes on at the first marker after `from` from which the chain of segment lengths reaches
// a start of scan before `end`. A picture embedded in the skipped bytes (the EXIF thumbnail, with
// its own frame and scan) is passed over, so its frame is never taken for the picture's. Returns
// -1 when no such marker exists. Leaves the device's position anywhere.
qint64 FindNextSegment(QIODevice& file, qint64 from, qint64 end);

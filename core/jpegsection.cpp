#include "jpegsection.h"

#include "diagnostics.h"

namespace {

// Reads one byte; -1 at the end of the device.
int readByte(QIODevice& file) {
    char c;
    return file.getChar(&c) ? int(uint8_t(c)) : -1;
}

// Fill bytes 0xFF a header walk takes before a marker code.
constexpr int kMaxFill = 64;
// A thumbnail in an APP1 segment ends within one segment's reach of its own scan.
constexpr qsizetype kEmbeddedReach = 0x10000;
constexpr qint64 kChunk = 4096;

// The search for the next segment reads the file at positions it chooses. Its work is bounded,
// as the bytes it looks through may be anything: each candidate's chain costs a few reads per
// segment, and a crafted file could offer a candidate every few bytes.
class Resync {
public:
    Resync(QIODevice& file, qint64 end) : file_(file), end_(end) {}

    qint64 find(qint64 from);

private:
    // The byte at `pos`, or -1 outside the data.
    int byteAt(qint64 pos) {
        if (pos < 0 || pos >= end_ || !file_.seek(pos)) return -1;
        return readByte(file_);
    }
    int be16At(qint64 pos) {
        const int high = byteAt(pos);
        const int low = high < 0 ? -1 : readByte(file_);
        return high < 0 || low < 0 || pos + 1 >= end_ ? -1 : (high << 8) | low;
    }
    qint64 scanData(qint64 pos);
    qint64 afterEmbedded(qint64 data);

    QIODevice& file_;
    qint64 end_;
    int hops_ = 1 << 12;
    int embedded_ = 16;
};

// Follows the segment lengths from the marker at `pos` as the header walk does. Returns where the
// data of the start of scan it reaches begins, -1 if the chain breaks first.
qint64 Resync::scanData(qint64 pos) {
    while (hops_-- > 0) {
        if (byteAt(pos) != 0xFF) return -1;
        qint64 codeAt = pos + 1;
        int code = byteAt(codeAt);
        for (int fill = 0; code == 0xFF && fill < kMaxFill; ++fill) code = byteAt(++codeAt);
        if (!isSegmentMarker(code)) return -1;
        const int length = be16At(codeAt + 1);
        if (length < 2) return -1;
        pos = codeAt + 1 + length;
        if (code == 0xDA) return pos;
    }
    return -1;
}

// Whether the scan whose data starts at `data` belongs to a picture embedded in the header: its
// end of image comes soon, and right after it (and any zero padding of its segment) the header goes
// on to a scan of its own. Returns where the header goes on, or -1 for the picture's own scan.
qint64 Resync::afterEmbedded(qint64 data) {
    if (embedded_-- <= 0 || data >= end_ || !file_.seek(data)) return -1;
    const QByteArray bytes = file_.read(std::min<qint64>(2 * kEmbeddedReach, end_ - data));
    const qsizetype eoi = QByteArrayView(bytes).first(std::min(bytes.size(), kEmbeddedReach)).indexOf("\xFF\xD9");
    if (eoi < 0) return -1;
    qsizetype next = eoi + 2;
    while (next < bytes.size() && bytes[next] == 0) ++next;
    return scanData(data + next) >= 0 ? data + next : -1;
}

qint64 Resync::find(qint64 from) {
    qint64 pos = std::max<qint64>(from, 0);
    while (pos + 1 < end_ && hops_ > 0) {
        if (!file_.seek(pos)) return -1;
        const QByteArray chunk = file_.read(std::min(kChunk, end_ - pos));
        if (chunk.size() < 2) return -1;
        const auto* b = reinterpret_cast<const uint8_t*>(chunk.constData());
        qint64 resume = pos + chunk.size() - 1;  // the last byte may start a marker
        for (qsizetype i = 0; i + 1 < chunk.size(); ++i) {
            if (b[i] != 0xFF || !isSegmentMarker(b[i + 1])) continue;
            const qint64 candidate = pos + i;
            const qint64 data = scanData(candidate);
            if (data < 0) continue;
            const qint64 after = afterEmbedded(data);
            if (after < 0) return candidate;
            resume = after;
            break;
        }
        pos = resume;
    }
    return -1;
}

}  // namespace

qint64 FindNextSegment(QIODevice& file, qint64 from, qint64 end) { return Resync(file, end).find(from); }

bool JpegSectionReader::fail(const char* text) {
    error_ = QString::fromLatin1(text);
    return false;
}

bool JpegSectionReader::ReadSections(QIODevice& file) {
    bool commentSeen = false;
    for (;;) {
        if (int(sections_.size()) >= kMaxSections) return fail("Too many sections in jpg file");

        // Markers may be preceded by fill bytes 0xFF; six prefixes in all are accepted.
        const qint64 markerStart = file.pos();
        int prefixes = 0;
        int code = -1;
        for (;;) {
            code = readByte(file);
            if (code < 0) return fail("Premature end of file?");
            if (code != 0xFF) break;
            if (++prefixes >= 7) {
                qCDebug(lcJpeg, "too many padding unsigned chars");
                return fail("too many padding unsigned chars");
            }
        }
        if (prefixes == 0 || (!isSegmentMarker(code) && code != 0xD9)) {
            // Not a marker: the segment before ended short of its data, or stray bytes follow it.
            const qint64 next = file.isSequential() ? -1 : FindNextSegment(file, markerStart, file.size());
            if (next <= markerStart) return fail("No marker after stray bytes");
            qCDebug(lcJpeg, "%lld stray bytes before a marker", qlonglong(next - markerStart));
            file.seek(next);
            continue;
        }

        char lengthBytes[2];
        if (file.read(lengthBytes, 2) != 2) return fail("Premature end of file?");
        const int length = (uint8_t(lengthBytes[0]) << 8) | uint8_t(lengthBytes[1]);
        if (length < 2) return fail("invalid marker");

        JpegSection section;
        section.type = code;
        section.size = length;
        section.data.resize(length);
        section.data[0] = lengthBytes[0];
        section.data[1] = lengthBytes[1];
        if (length > 2 && file.read(section.data.data() + 2, length - 2) != length - 2)
            return fail("Premature end of file?");

        const QByteArray& d = section.data;
        if (isSofMarker(code)) {
            // Frame header: precision, height, width, components (offsets from the length bytes).
            if (length >= 8) {
                exif_.height = (uint8_t(d[3]) << 8) | uint8_t(d[4]);
                exif_.width = (uint8_t(d[5]) << 8) | uint8_t(d[6]);
                exif_.isColour = uint8_t(d[7]) == 3 ? 1 : 0;
                exif_.process = code;
            }
            sections_.push_back(std::move(section));
            continue;
        }
        switch (code) {
            case 0xD9:  // EOI before any scan
                sections_.push_back(std::move(section));
                qCDebug(lcJpeg, "No image in jpeg!");
                return false;
            case 0xDA:  // SOS: the header ends here
                sections_.push_back(std::move(section));
                return true;
            case 0xE1:  // APP1: only EXIF is kept. One APP1 per call.
                if (length >= 8 && d.mid(2, 6) == QByteArrayView("Exif\0\0", 6)) {
                    sections_.push_back(std::move(section));
                    const int index = int(sections_.size()) - 1;
                    QString exifError;
                    exifOk_ = ProcessExif(sections_.back().data, index, exif_, exifError);
                    if (!exifError.isEmpty()) error_ = exifError;
                }
                return true;
            case 0xFE:  // COM: the first comment of a call becomes the comment text
                if (!commentSeen) {
                    commentSeen = true;
                    cleanComment(d);
                    sections_.push_back(std::move(section));
                }
                break;
            case 0xE0:  // APP0 is of no use here
                break;
            default:
                if (verbose_) qCDebug(lcJpeg, "Jpeg section marker 0x%02x size %d", code, length);
                sections_.push_back(std::move(section));
                break;
        }
    }
}

void JpegSectionReader::cleanComment(const QByteArray& data) {
    const qsizetype end = std::min<qsizetype>(data.size(), 1000);
    QByteArray text;
    text.reserve(end);
    for (qsizetype i = 2; i < end; ++i) {
        const uint8_t c = uint8_t(data[i]);
        if (c == '\r' && i + 1 < end && data[i + 1] == '\n') continue;
        if (c == '\t' || c == '\n' || c >= 0x20)
            text.append(char(c));
        else
            text.append('?');
    }
    if (verbose_) qCDebug(lcJpeg) << "COM marker comment:" << text;
    exif_.comment = text;
}

QByteArray JpegSectionReader::exifThumbnail() const {
    const ExifSummary& e = exif_;
    if (e.thumbnailSection < 0 || e.thumbnailSection >= int(sections_.size())) return {};
    const QByteArray& d = sections_[e.thumbnailSection].data;
    if (e.thumbnailOffset < 0 || e.thumbnailLength <= 0 || e.thumbnailOffset > d.size() ||
        e.thumbnailLength > d.size() - e.thumbnailOffset)
        return {};
    return d.mid(e.thumbnailOffset, e.thumbnailLength);
}

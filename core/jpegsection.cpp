#include "jpegsection.h"

#include "diagnostics.h"

namespace {

// Reads one byte; -1 at the end of the device.
int readByte(QIODevice& file) {
    char c;
    return file.getChar(&c) ? int(uint8_t(c)) : -1;
}

}  // namespace

bool JpegSectionReader::fail(const char* text) {
    error_ = QString::fromLatin1(text);
    return false;
}

bool JpegSectionReader::ReadSections(QIODevice& file) {
    bool commentSeen = false;
    for (;;) {
        if (int(sections_.size()) >= kMaxSections) return fail("Too many sections in jpg file");

        // Markers may be preceded by fill bytes 0xFF; six prefixes in all are accepted.
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

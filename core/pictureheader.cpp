#include "pictureheader.h"

#include "diagnostics.h"
#include "headersplice.h"
#include "iptcblock.h"
#include "jpegsection.h"

namespace {

int readByte(QIODevice& file) {
    char c;
    return file.getChar(&c) ? int(uint8_t(c)) : -1;
}

int readBe16(QIODevice& file) {
    char b[2];
    if (file.read(b, 2) != 2) return -1;
    return (uint8_t(b[0]) << 8) | uint8_t(b[1]);
}

}  // namespace

bool WalkPictureHeader(QIODevice& file, qint64 end, JpegSectionReader& reader, IptcBlock& iptc,
                       PictureHeader& header, const QString& name) {
    const qint64 start = file.pos();
    bool xmpSeen = false;
    char soi[2];
    if (file.read(soi, 2) != 2 || uint8_t(soi[0]) != 0xFF || uint8_t(soi[1]) != 0xD8) return false;

    while (file.pos() < end) {
        const qint64 segmentStart = file.pos();
        const int first = readByte(file);
        if (first < 0) break;
        int code = first == 0xFF ? readByte(file) : -1;
        // Fill bytes may stand before a marker code.
        for (int fill = 0; code == 0xFF && fill < 64; ++fill) code = readByte(file);
        if (code == 0xD9) break;  // end of image before any scan
        if (first != 0xFF || (code >= 0 && !isSegmentMarker(code))) {
            // Not a marker: the segment before ended short of its data, or stray bytes follow it.
            // The walk goes on from the next marker whose chain reaches the scan, never from the
            // skipped bytes, where an EXIF thumbnail may have a frame of its own.
            const qint64 found = FindNextSegment(file, segmentStart, end);
            if (found <= segmentStart) {
                file.seek(segmentStart);
                break;
            }
            qCDebug(lcJpeg).noquote() << QStringLiteral("%1: %2 stray bytes at %3")
                                             .arg(name)
                                             .arg(found - segmentStart)
                                             .arg(segmentStart - start);
            file.seek(found);
            continue;
        }
        if (code < 0) break;
        const qint64 markerEnd = file.pos();

        if (code == 0xDA) {
            if (readBe16(file) < 0) break;
            header.reachedScan = true;
            break;
        }
        const int length = readBe16(file);
        if (length < 2) break;
        const qint64 next = markerEnd + length;

        if (isSofMarker(code)) {
            if (length >= 7) {
                file.skip(1);  // precision
                const int height = readBe16(file);
                const int width = readBe16(file);
                if (height < 0 || width < 0) break;
                header.height = height;
                header.width = width;
            }
        } else if (code == 0xE1) {
            // The first standard XMP packet goes to the picture data.
            if (!xmpSeen && length - 2 > kXmpName.size() && next <= end && file.read(kXmpName.size()) == kXmpName) {
                xmpSeen = true;
                iptc.setXmpPacket(file.read(length - 2 - kXmpName.size()));
            }
            file.seek(markerEnd - 2 > segmentStart ? markerEnd - 2 : segmentStart);
            reader.ReadSections(file);
        } else if (code == 0xED) {
            ++header.app13Segments;
            file.seek(markerEnd - 2 > segmentStart ? markerEnd - 2 : segmentStart);
            iptc.ReadIptcSegment(file);
        }
        // Whatever a reader consumed, the walk goes on right after this segment; never past the end.
        if (next > end) {
            file.seek(end);
            break;
        }
        if (!file.seek(next)) break;
    }
    header.headerSize = quint64(std::max<qint64>(0, file.pos() - start));
    // The picture data is whole: XMP takes its place by the rules.
    iptc.ResolveXmp();

    if (header.app13Segments > 1) {
        qCDebug(lcJpeg).noquote() << QStringLiteral("WARNING: file <%1> has <%2> IPTC headers").arg(name).arg(header.app13Segments);
        snaplore::beep();
    }
    return true;
}

#include "jpegstructure.h"

#include "bytes.h"

using namespace snaplore;

std::optional<std::vector<JpegSegmentSpan>> walkJpegStructure(QByteArrayView file) {
    const uint8_t* d = bytes::u8(file);
    const qsizetype size = file.size();
    if (size < 4 || d[0] != 0xFF || d[1] != 0xD8) return std::nullopt;

    std::vector<JpegSegmentSpan> segments;
    qsizetype pos = 2;
    while (pos < size) {
        const qsizetype start = pos;
        if (d[pos] != 0xFF) return std::nullopt;  // stray bytes between segments
        while (pos < size && d[pos] == 0xFF) ++pos;  // fill bytes
        if (pos >= size) return std::nullopt;
        const int code = d[pos++];
        if (code == 0x00 || code == 0xD8 || code == 0xD9) return std::nullopt;  // no scan
        if ((code >= 0xD0 && code <= 0xD7) || code == 0x01) {  // markers without a length
            segments.push_back({start, pos, code});
            continue;
        }
        if (size - pos < 2) return std::nullopt;
        const qsizetype length = bytes::be16(d + pos);
        if (length < 2 || length > size - pos) return std::nullopt;
        if (code == 0xDA) {
            segments.push_back({start, size, code});
            return segments;
        }
        pos += length;
        segments.push_back({start, pos, code});
    }
    return std::nullopt;  // ran out before a start of scan
}

QSize jpegFrameSize(QByteArrayView jpeg) {
    const uint8_t* d = bytes::u8(jpeg);
    const qsizetype size = jpeg.size();
    if (size < 4 || d[0] != 0xFF || d[1] != 0xD8) return {};
    QSize frame;
    QByteArray ids;  // the frame's component ids
    qsizetype pos = 2;
    for (;;) {
        while (pos < size && d[pos] != 0xFF) ++pos;
        while (pos < size && d[pos] == 0xFF) ++pos;
        if (pos >= size) return {};
        const int code = d[pos++];
        if (code == 0x00 || (code >= 0xD0 && code <= 0xD7) || code == 0x01) continue;
        if (code == 0xD8 || code == 0xD9) return {};
        if (size - pos < 2) return {};
        const qsizetype length = bytes::be16(d + pos);
        if (length > size - pos) return {};
        if (length < 2) {  // decoders skip nothing more and look for the next marker
            pos += 2;
            continue;
        }
        if (code == 0xDA) {
            // Each component of the scan once, and one of the frame's.
            const int n = length >= 3 ? d[pos + 2] : 0;
            if (!frame.isValid() || n < 1 || n > 4 || length != 6 + 2 * n) return {};
            QByteArray seen;
            for (int c = 0; c < n; ++c) {
                const char id = char(d[pos + 3 + 2 * c]);
                if (!ids.contains(id) || seen.contains(id)) return {};
                seen.append(id);
            }
            return frame;
        }
        const bool sof = code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
        if (sof) {
            // Lossless and hierarchical frames are not decoded; a second frame header is an error.
            const bool supported = code == 0xC0 || code == 0xC1 || code == 0xC2 || code == 0xC9 || code == 0xCA;
            if (!supported || frame.isValid() || length < 8) return {};
            const uint8_t* p = d + pos + 2;
            const int height = bytes::be16(p + 1), width = bytes::be16(p + 3), components = p[5];
            if (p[0] != 8 || height == 0 || width == 0 || height > 65500 || width > 65500 || components < 1 ||
                components > 10 || length != 8 + 3 * components)
                return {};
            for (int c = 0; c < components; ++c) {
                const int h = p[7 + 3 * c] >> 4, v = p[7 + 3 * c] & 0x0F;
                if (h < 1 || h > 4 || v < 1 || v > 4) return {};
                ids.append(char(p[6 + 3 * c]));
            }
            frame = QSize(width, height);
        }
        pos += length;
    }
}

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

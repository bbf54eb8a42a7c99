#pragma once
// Small JPEG byte streams for the parser and rewrite tests: only the structure matters, the scan
// data is a few bytes.

#include <QByteArray>
#include <QList>

namespace jpegbuilder {

inline QByteArray be16(int v) { return QByteArray(1, char((v >> 8) & 0xFF)) + QByteArray(1, char(v & 0xFF)); }

inline QByteArray segment(int code, const QByteArray& payload) {
    return QByteArray(1, char(0xFF)) + char(code) + be16(int(payload.size()) + 2) + payload;
}

inline QByteArray dataset(int record, int number, const QByteArray& value) {
    return QByteArray(1, char(0x1C)) + char(record) + char(number) + be16(int(value.size())) + value;
}

// An APP13 Photoshop segment with one IPTC resource holding `datasets`, plus optional other resources.
inline QByteArray photoshopSegment(const QByteArray& datasets, const QByteArray& otherResources = {}) {
    QByteArray payload = QByteArray("Photoshop 3.0", 14) + otherResources + "8BIM\x04\x04" + QByteArray(2, '\0');
    payload += QByteArray(2, '\0') + be16(int(datasets.size())) + datasets;
    if (datasets.size() & 1) payload += '\0';
    return segment(0xED, payload);
}

inline QByteArray sof(int width, int height) {
    return segment(0xC0, QByteArray(1, char(8)) + be16(height) + be16(width) + QByteArray("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 10));
}

inline QByteArray dqt() { return segment(0xDB, QByteArray(1, '\0') + QByteArray(64, char(1))); }

inline QByteArray sosAndScan() {
    return segment(0xDA, QByteArray("\x03\x01\x00\x02\x11\x03\x11\x00\x3F\x00", 10)) + QByteArray("\x12\x34\x56\xFF\x00\x78", 6) +
           "\xFF\xD9";
}

// SOI, the given segments, then a frame, a quantisation table and a scan.
inline QByteArray picture(const QList<QByteArray>& segments, int width = 64, int height = 48) {
    QByteArray out("\xFF\xD8", 2);
    for (const QByteArray& s : segments) out += s;
    return out + dqt() + sof(width, height) + sosAndScan();
}

// The segments of a picture after SOI up to SOS, as (code, whole bytes) pairs.
struct Seg {
    int code;
    QByteArray bytes;
    bool operator==(const Seg&) const = default;
};
inline QList<Seg> segmentsOf(const QByteArray& jpeg) {
    QList<Seg> out;
    qsizetype pos = 2;
    while (pos + 4 <= jpeg.size() && uint8_t(jpeg[pos]) == 0xFF) {
        const int code = uint8_t(jpeg[pos + 1]);
        const int length = (uint8_t(jpeg[pos + 2]) << 8) | uint8_t(jpeg[pos + 3]);
        if (code == 0xDA) {
            out.append({code, jpeg.mid(pos)});
            break;
        }
        out.append({code, jpeg.mid(pos, 2 + length)});
        pos += 2 + length;
    }
    return out;
}

}  // namespace jpegbuilder

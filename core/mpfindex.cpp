#include "mpfindex.h"

#include "bytes.h"

using namespace snaplore;

namespace mpf {

bool isMpfPayload(QByteArrayView payload) { return payload.size() >= 4 && payload.first(4) == QByteArrayView("MPF\0", 4); }

std::optional<Index> parse(QByteArrayView buffer, qsizetype payloadOffset, qsizetype payloadSize) {
    if (!bytes::fits(buffer.size(), payloadOffset, payloadSize) || payloadSize < 4 + 8) return std::nullopt;
    const QByteArrayView tiff = buffer.sliced(payloadOffset + 4, payloadSize - 4);
    const uint8_t* d = bytes::u8(tiff);
    Index index;
    index.mpHeader = payloadOffset + 4;
    if (tiff.first(2) == "MM")
        index.bigEndian = true;
    else if (tiff.first(2) != "II")
        return std::nullopt;
    auto u16 = [&](qsizetype at) { return index.bigEndian ? bytes::be16(d + at) : bytes::le16(d + at); };
    auto u32 = [&](qsizetype at) { return index.bigEndian ? bytes::be32(d + at) : bytes::le32(d + at); };
    if (u16(2) != 42) return std::nullopt;
    const qsizetype ifd = u32(4);
    if (!bytes::fits(tiff.size(), ifd, 2)) return std::nullopt;
    const qsizetype count = u16(ifd);
    if (!bytes::fits(tiff.size(), ifd + 2, 12 * count)) return std::nullopt;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype e = ifd + 2 + 12 * i;
        if (u16(e) != 0xB002) continue;  // the MP entry list
        const qsizetype bytesTotal = u32(e + 4);
        const qsizetype at = u32(e + 8);
        if (bytesTotal % 16 != 0 || !bytes::fits(tiff.size(), at, bytesTotal)) return std::nullopt;
        for (qsizetype k = 0; k < bytesTotal / 16; ++k) {
            const qsizetype p = at + 16 * k;
            index.entries.push_back({index.mpHeader + p, u32(p + 4), u32(p + 8)});
        }
        return index;
    }
    return std::nullopt;
}

void put32(char* at, quint32 v, bool bigEndian) {
    for (int i = 0; i < 4; ++i) at[bigEndian ? i : 3 - i] = char((v >> (8 * (3 - i))) & 0xFF);
}

}  // namespace mpf

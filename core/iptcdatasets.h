#pragma once
// The one walk over an IPTC dataset list, shared by the reader, the writer and the JSON form so that
// they agree on where each dataset ends.

#include "bytes.h"

#include <QByteArrayView>

namespace snaplore {

// Walks whole datasets (1C rr nn LLLL data) of a buffer; stops at the first that is not well formed.
// A dataset in the extended length form (the high bit of LLLL set, the low bits the count of length
// bytes that follow) is handed over whole and marked, so that every walk steps over it.
// `visit(record, number, whole, value, extended)`; returns the bytes walked.
template <typename F>
qsizetype forEachDataset(QByteArrayView data, F&& visit) {
    const uint8_t* d = bytes::u8(data);
    qsizetype pos = 0;
    while (data.size() - pos >= 5) {
        if (d[pos] != 0x1C) break;
        const int record = d[pos + 1];
        const int number = d[pos + 2];
        qsizetype length = bytes::be16(d + pos + 3);
        qsizetype header = 5;
        bool extended = false;
        if (length & 0x8000) {
            const qsizetype count = length & 0x7FFF;
            if (count == 0 || count > 4 || data.size() - pos - 5 < count) break;
            length = 0;
            for (qsizetype i = 0; i < count; ++i) length = (length << 8) | d[pos + 5 + i];
            header += count;
            extended = true;
        }
        if (length > data.size() - pos - header) break;
        visit(record, number, data.sliced(pos, header + length), data.sliced(pos + header, length), extended);
        pos += header + length;
    }
    return pos;
}

}  // namespace snaplore

#include "photoshopresources.h"

#include "bytes.h"

using namespace snaplore;

namespace psd {

bool isResourceType(QByteArrayView t) {
    return t.size() >= 4 && (t.first(4) == "8BIM" || t.first(4) == "PHUT" || t.first(4) == "AgHg" ||
                             t.first(4) == "DCSR" || t.first(4) == "MeSa");
}

ResourceStream walkResources(QByteArrayView stream) {
    ResourceStream out;
    const uint8_t* d = bytes::u8(stream);
    const qsizetype size = stream.size();
    qsizetype pos = 0;
    while (size - pos >= 12 && isResourceType(stream.sliced(pos, 4))) {
        Resource r;
        r.start = pos;
        r.id = bytes::be16(d + pos + 4);
        // The name: a length byte and its characters, padded to an even count.
        const qsizetype nameBytes = (1 + d[pos + 6] + 1) & ~qsizetype(1);
        qsizetype p = pos + 6;
        if (!bytes::fits(size, p, nameBytes + 4)) break;
        p += nameBytes;
        r.dataSize = bytes::be32(d + p);
        p += 4;
        if (r.dataSize > size - p) break;
        r.dataOffset = p;
        p += r.dataSize;
        // The data is padded to an even length; a writer may leave the pad off the last record.
        if ((r.dataSize & 1) && p < size && d[p] == 0) ++p;
        r.end = p;
        out.resources.push_back(r);
        pos = p;
    }
    out.parsedEnd = pos;
    return out;
}

namespace {

void appendIptcResource(QByteArray& out, QByteArrayView header, QByteArrayView data) {
    out.append(header);
    bytes::putBe32(out, uint32_t(data.size()));
    out.append(data);
    if (data.size() & 1) out.append('\0');
}

}  // namespace

QByteArray replaceIptc(QByteArrayView stream, QByteArrayView iptcData) {
    const ResourceStream walked = walkResources(stream);
    QByteArray out;
    out.reserve(stream.size() + iptcData.size() + 16);
    bool placed = false;
    for (const Resource& r : walked.resources) {
        if (r.id != kIptcId) {
            out.append(stream.sliced(r.start, r.end - r.start));
            continue;
        }
        if (placed) continue;
        placed = true;
        // Type, id and name as they were; only the size and data are new.
        if (!iptcData.isEmpty()) appendIptcResource(out, stream.sliced(r.start, r.dataOffset - 4 - r.start), iptcData);
    }
    if (!placed && !iptcData.isEmpty()) appendIptcResource(out, QByteArrayView("8BIM\x04\x04\x00\x00", 8), iptcData);
    out.append(stream.sliced(walked.parsedEnd));
    return out;
}

QByteArray segmentsFor(QByteArrayView stream) {
    QByteArray out;
    for (qsizetype pos = 0; pos < stream.size(); pos += kMaxSegmentPayload) {
        const qsizetype part = std::min(kMaxSegmentPayload, stream.size() - pos);
        out.append("\xFF\xED", 2);
        bytes::putBe16(out, uint16_t(2 + kSignature.size() + part));
        out.append(kSignature);
        out.append(stream.sliced(pos, part));
    }
    return out;
}

}  // namespace psd

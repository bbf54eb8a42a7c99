#include "photoshopresources.h"

#include "bytes.h"

#include <optional>

using namespace snaplore;

namespace psd {

bool isResourceType(QByteArrayView t) {
    return t.size() >= 4 && (t.first(4) == "8BIM" || t.first(4) == "PHUT" || t.first(4) == "AgHg" ||
                             t.first(4) == "DCSR" || t.first(4) == "MeSa");
}

namespace {

// The record that starts at `pos`, when it is whole and well formed.
std::optional<Resource> resourceAt(QByteArrayView stream, qsizetype pos) {
    const uint8_t* d = bytes::u8(stream);
    const qsizetype size = stream.size();
    if (size - pos < 12 || !isResourceType(stream.sliced(pos, 4))) return std::nullopt;
    Resource r;
    r.start = pos;
    r.id = bytes::be16(d + pos + 4);
    // The name: a length byte and its characters, padded to an even count.
    const qsizetype nameBytes = (1 + d[pos + 6] + 1) & ~qsizetype(1);
    qsizetype p = pos + 6;
    if (!bytes::fits(size, p, nameBytes + 4)) return std::nullopt;
    p += nameBytes;
    r.dataSize = bytes::be32(d + p);
    p += 4;
    if (r.dataSize > size - p) return std::nullopt;
    r.dataOffset = p;
    p += r.dataSize;
    // The data is padded to an even length; a writer may leave the pad off the last record.
    if ((r.dataSize & 1) && p < size && d[p] == 0) ++p;
    r.end = p;
    return r;
}

constexpr QByteArrayView kIptcRecord("8BIM\x04\x04", 6);

}  // namespace

ResourceStream walkResources(QByteArrayView stream) {
    ResourceStream out;
    qsizetype pos = 0;
    while (stream.size() - pos >= 4) {
        if (!isResourceType(stream.sliced(pos, 4))) {
            // Bytes that are no record: the reader looks for the IPTC record further on, and so do
            // we, so that both see the same records; the bytes between are kept as they are.
            const qsizetype at = stream.indexOf(kIptcRecord, pos + 1);
            if (at < 0) break;
            pos = at;
            continue;
        }
        const std::optional<Resource> r = resourceAt(stream, pos);
        if (!r) break;  // not complete: the reader reads no further either
        out.resources.push_back(*r);
        pos = r->end;
        out.parsedEnd = pos;
    }
    return out;
}

namespace {

void appendResource(QByteArray& out, QByteArrayView header, QByteArrayView data) {
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
    qsizetype copied = 0;  // bytes between records are copied as they stand
    qsizetype lastEnd = 0;
    for (const Resource& r : walked.resources) {
        out.append(stream.sliced(copied, r.start - copied));
        copied = r.end;
        if (r.id != kIptcId) {
            lastEnd = r.end;
            out.append(stream.sliced(r.start, r.end - r.start));
            continue;
        }
        const QByteArrayView header = stream.sliced(r.start, r.dataOffset - 4 - r.start);
        // A record after bytes that are no record is where a walk picks the stream up again: without
        // it, the records behind it would vanish from every reader's view. It stays, emptied when its
        // data has gone elsewhere.
        const bool resumesWalk = r.start > lastEnd;
        lastEnd = r.end;
        if (!placed && !iptcData.isEmpty()) {
            placed = true;
            // Type, id and name as they were; only the size and data are new.
            appendResource(out, header, iptcData);
        } else if (resumesWalk) {
            appendResource(out, header, {});
        }
        placed = true;
    }
    if (!placed && !iptcData.isEmpty()) appendResource(out, QByteArrayView("8BIM\x04\x04\x00\x00", 8), iptcData);
    out.append(stream.sliced(copied));
    return out;
}

std::optional<QByteArray> resourceData(QByteArrayView stream, int id) {
    for (const Resource& r : walkResources(stream).resources)
        if (r.id == id) return stream.sliced(r.dataOffset, r.dataSize).toByteArray();
    return std::nullopt;
}

QByteArray setResource(QByteArrayView stream, int id, QByteArrayView data) {
    const ResourceStream walked = walkResources(stream);
    for (const Resource& r : walked.resources) {
        if (r.id != id) continue;
        QByteArray out = stream.first(r.start).toByteArray();
        appendResource(out, stream.sliced(r.start, r.dataOffset - 4 - r.start), data);
        out.append(stream.sliced(r.end));
        return out;
    }
    // A new resource follows the last whole one: bytes after it that are no record stay behind it,
    // where no reader's walk reaches.
    QByteArray out = stream.first(walked.parsedEnd).toByteArray();
    QByteArray header("8BIM", 4);
    bytes::putBe16(header, uint16_t(id));
    header.append("\0\0", 2);  // an empty name, padded to an even length
    appendResource(out, header, data);
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

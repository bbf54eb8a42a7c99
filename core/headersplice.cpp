#include "headersplice.h"

#include "bytes.h"
#include "jpegstructure.h"
#include "photoshopresources.h"

#include <QCryptographicHash>
#include <vector>

namespace {

// Offset of a segment's payload (after marker and length) in the buffer.
qsizetype payloadStart(QByteArrayView data, const JpegSegmentSpan& s) {
    qsizetype p = s.start;
    while (p < s.end && uint8_t(data[p]) == 0xFF) ++p;
    return p + 1 + 2;
}

bool isPhotoshop(QByteArrayView data, const JpegSegmentSpan& s) {
    if (s.code != 0xED) return false;
    const qsizetype p = payloadStart(data, s);
    return s.end - p >= psd::kSignature.size() && data.sliced(p, psd::kSignature.size()) == psd::kSignature;
}

bool isMpf(QByteArrayView data, const JpegSegmentSpan& s) {
    if (s.code != 0xE2) return false;
    const qsizetype p = payloadStart(data, s);
    return mpf::isMpfPayload(data.sliced(p, s.end - p));
}

bool isXmp(QByteArrayView data, const JpegSegmentSpan& s) {
    if (s.code != 0xE1) return false;
    const qsizetype p = payloadStart(data, s);
    return s.end - p >= kXmpName.size() && data.sliced(p, kXmpName.size()) == kXmpName;
}

QByteArray md5(QByteArrayView data) { return QCryptographicHash::hash(data, QCryptographicHash::Md5); }

// The Photoshop stream with the digest renewed, when the one as read matched its IPTC data or
// there was none.
QByteArray withDigest(QByteArrayView stream, QByteArray newStream, QByteArrayView datasetList) {
    const std::optional<QByteArray> digest = psd::resourceData(stream, psd::kIptcDigestId);
    if (digest && *digest != md5(psd::resourceData(stream, psd::kIptcId).value_or(QByteArray()))) return newStream;
    return psd::setResource(newStream, psd::kIptcDigestId, md5(datasetList));
}

}  // namespace

std::optional<QByteArrayView> findXmpPacket(QByteArrayView header) {
    const std::optional<std::vector<JpegSegmentSpan>> walked = walkJpegStructure(header);
    if (!walked) return std::nullopt;
    for (const JpegSegmentSpan& s : *walked) {
        if (!isXmp(header, s)) continue;
        const qsizetype p = payloadStart(header, s) + kXmpName.size();
        return header.sliced(p, s.end - p);
    }
    return std::nullopt;
}

std::optional<SplicedHeader> spliceHeader(QByteArrayView header, QByteArrayView datasetList,
                                         const SpliceExtras& extras) {
    const std::optional<std::vector<JpegSegmentSpan>> walked = walkJpegStructure(header);
    if (!walked) return std::nullopt;
    const std::vector<JpegSegmentSpan>& segments = *walked;
    SplicedHeader out;
    out.scanStart = segments.back().start;
    const QByteArrayView data = header.first(out.scanStart);

    QByteArray stream;
    qsizetype firstPs = -1, firstMpf = -1, firstDqt = -1, firstXmp = -1;
    const qsizetype scan = qsizetype(segments.size()) - 1;
    for (qsizetype i = 0; i < scan; ++i) {
        const JpegSegmentSpan& s = segments[i];
        if (isPhotoshop(data, s)) {
            if (firstPs < 0) firstPs = i;
            stream.append(data.sliced(payloadStart(data, s) + psd::kSignature.size(),
                                      s.end - payloadStart(data, s) - psd::kSignature.size()));
        } else if (firstMpf < 0 && isMpf(data, s)) {
            firstMpf = i;
        } else if (firstXmp < 0 && isXmp(data, s)) {
            firstXmp = i;
        } else if (firstDqt < 0 && s.code == 0xDB) {
            firstDqt = i;
        }
    }
    QByteArray newStream = psd::replaceIptc(stream, datasetList);
    if (extras.renewDigest) newStream = withDigest(stream, std::move(newStream), datasetList);
    const QByteArray psSegments = psd::segmentsFor(newStream);
    // The new segments take the place of the first Photoshop segment, or stand before the first
    // DQT, and before the scan at the latest. A multi-picture index counts its offsets from inside
    // its own APP2 segment: the new segments go before it so those offsets stay right.
    qsizetype at = firstPs >= 0 ? firstPs : (firstDqt >= 0 ? firstDqt : scan);
    if (firstMpf >= 0 && firstMpf < at) at = firstMpf;

    QByteArray& newHeader = out.bytes;
    qsizetype mpfOld = -1, mpfNew = -1, mpfSize = 0;  // payload offsets of the MPF index, old and new
    newHeader.reserve(data.size() + psSegments.size());
    newHeader.append(data.first(2));
    for (qsizetype i = 0; i < scan; ++i) {
        const JpegSegmentSpan& s = segments[i];
        if (i == at) newHeader.append(psSegments);
        if (isPhotoshop(data, s)) continue;
        if (i == firstMpf) {
            mpfOld = payloadStart(data, s);
            mpfNew = newHeader.size() + (mpfOld - s.start);
            mpfSize = s.end - mpfOld;
        }
        if (i == firstXmp && extras.xmpPacket) {
            if (extras.xmpPacket->size() > kMaxXmpPacket) return std::nullopt;
            newHeader.append("\xFF\xE1", 2);
            snaplore::bytes::putBe16(newHeader, uint16_t(2 + kXmpName.size() + extras.xmpPacket->size()));
            newHeader.append(kXmpName);
            newHeader.append(*extras.xmpPacket);
            continue;
        }
        newHeader.append(data.sliced(s.start, s.end - s.start));
    }
    if (at == scan) newHeader.append(psSegments);

    // Correct the multi-picture index for the bytes the header gained or lost.
    if (mpfOld >= 0) {
        out.oldIndex = mpf::parse(data, mpfOld, mpfSize);
        out.newIndex = mpf::parse(newHeader, mpfNew, mpfSize);
        if (out.oldIndex && out.newIndex) {
            const qint64 gained = newHeader.size() - data.size();
            const qint64 gainedAfter = (newHeader.size() - (mpfNew + mpfSize)) - (data.size() - (mpfOld + mpfSize));
            for (size_t i = 0; i < out.newIndex->entries.size(); ++i) {
                mpf::Entry& e = out.newIndex->entries[i];
                if (i == 0)
                    e.size = quint32(qint64(e.size) + gained);
                else if (e.offset != 0)
                    e.offset = quint32(qint64(e.offset) + gainedAfter);
                mpf::put32(newHeader.data() + e.fieldOffset + 4, e.size, out.newIndex->bigEndian);
                mpf::put32(newHeader.data() + e.fieldOffset + 8, e.offset, out.newIndex->bigEndian);
            }
        }
    }
    return out;
}

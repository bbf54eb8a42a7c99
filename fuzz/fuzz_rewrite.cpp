// Saves a picture with a new headline, as the program does, and checks that nothing else of the file
// was lost on the way: the other datasets, the other Photoshop image resources, every other segment
// (the multi-picture index's sizes and offsets aside, which follow the header) and all of the scan
// data must come out as they went in. The XMP packet may change only in the mapped fields, which
// must then hold the saved values, and the IPTC digest only as the rules say. A save that fails must leave the picture as it was and write
// nothing.

#include "fuzzsupport.h"
#include "headersplice.h"
#include "iptcwalk.h"
#include "iptcblock.h"
#include "mpfindex.h"
#include "photoshopresources.h"
#include "picturerecord.h"
#include "textcodec.h"
#include "xmppacket.h"

#include <QCryptographicHash>

#include <QByteArrayView>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

using namespace snaplore::fuzz;

// Hex of up to 48 bytes from `at`, enough to see a difference without flooding the report.
QByteArray excerpt(QByteArrayView bytes, qsizetype at) {
    if (at >= bytes.size()) return "(ends at " + QByteArray::number(bytes.size()) + ")";
    const qsizetype n = std::min<qsizetype>(48, bytes.size() - at);
    return bytes.sliced(at, n).toByteArray().toHex(' ') + (at + n < bytes.size() ? " ..." : "");
}

[[noreturn]] void violation(const char* what, QByteArrayView before, QByteArrayView after) {
    qsizetype at = 0;
    while (at < before.size() && at < after.size() && before[at] == after[at]) ++at;
    fprintf(stderr, "Rewrite changed %s (%lld bytes before, %lld after; first difference at %lld)\n",
            what, qlonglong(before.size()), qlonglong(after.size()), qlonglong(at));
    fprintf(stderr, "  before: %s\n  after:  %s\n", excerpt(before, at).constData(), excerpt(after, at).constData());
    __builtin_trap();
}

void requireSame(const char* what, QByteArrayView before, QByteArrayView after) {
    if (before != after) violation(what, before, after);
}

// The strict walk a save makes, written out again here so that a wrong span in the program's own
// walk shows as a difference instead of being agreed with.
struct Segment {
    qsizetype start = 0;    // fill bytes included
    qsizetype payload = 0;  // after the marker and the length
    qsizetype end = 0;
    int code = 0;
};
struct Layout {
    std::vector<Segment> segments;  // SOI and SOS not among them
    qsizetype scan = 0;             // where the SOS segment starts
};

std::optional<Layout> walk(QByteArrayView file) {
    const auto* d = reinterpret_cast<const uint8_t*>(file.data());
    const qsizetype size = file.size();
    if (size < 4 || d[0] != 0xFF || d[1] != 0xD8) return std::nullopt;
    Layout layout;
    qsizetype pos = 2;
    while (pos < size && d[pos] == 0xFF) {
        Segment s;
        s.start = pos;
        while (pos < size && d[pos] == 0xFF) ++pos;
        if (pos >= size) return std::nullopt;
        s.code = d[pos++];
        if (s.code == 0x00 || s.code == 0xD8 || s.code == 0xD9) return std::nullopt;
        if ((s.code >= 0xD0 && s.code <= 0xD7) || s.code == 0x01) {
            s.payload = s.end = pos;
            layout.segments.push_back(s);
            continue;
        }
        if (size - pos < 2) return std::nullopt;
        const qsizetype length = (d[pos] << 8) | d[pos + 1];
        if (length < 2 || length > size - pos) return std::nullopt;
        if (s.code == 0xDA) {
            layout.scan = s.start;
            return layout;
        }
        s.payload = pos + 2;
        s.end = pos + length;
        layout.segments.push_back(s);
        pos = s.end;
    }
    return std::nullopt;
}

bool isPhotoshop(QByteArrayView file, const Segment& s) {
    return s.code == 0xED && file.sliced(s.payload, s.end - s.payload).startsWith(psd::kSignature);
}

bool isXmp(QByteArrayView file, const Segment& s) {
    return s.code == 0xE1 && file.sliced(s.payload, s.end - s.payload).startsWith(kXmpName);
}

bool isMpf(QByteArrayView file, const Segment& s) {
    return s.code == 0xE2 && mpf::isMpfPayload(file.sliced(s.payload, s.end - s.payload));
}

// The resource stream of all Photoshop segments, joined in file order.
QByteArray photoshopStream(QByteArrayView file, const Layout& layout) {
    QByteArray stream;
    for (const Segment& s : layout.segments)
        if (isPhotoshop(file, s))
            stream.append(file.sliced(s.payload + psd::kSignature.size(), s.end - s.payload - psd::kSignature.size()));
    return stream;
}

// Every segment but the Photoshop ones, whole. Only the first multi-picture index is corrected by a
// save, so only its entries' size and offset fields are blanked; the first standard XMP packet is
// checked on its own.
std::vector<QByteArray> otherSegments(QByteArrayView file, const Layout& layout) {
    std::vector<QByteArray> out;
    bool mpfSeen = false, xmpSeen = false;
    for (const Segment& s : layout.segments) {
        if (isPhotoshop(file, s)) continue;
        if (!xmpSeen && isXmp(file, s)) {
            xmpSeen = true;
            out.push_back("the XMP segment");
            continue;
        }
        QByteArray bytes = file.sliced(s.start, s.end - s.start).toByteArray();
        if (!mpfSeen && isMpf(file, s)) {
            mpfSeen = true;
            if (const auto index = mpf::parse(file, s.payload, s.end - s.payload))
                for (const mpf::Entry& e : index->entries) bytes.replace(e.fieldOffset - s.start + 4, 8, QByteArray(8, '\0'));
        }
        out.push_back(bytes);
    }
    return out;
}

// The first multi-picture index outside the Photoshop segments, as a save finds it.
std::optional<mpf::Index> firstMpf(QByteArrayView file, const Layout& layout) {
    for (const Segment& s : layout.segments)
        if (!isPhotoshop(file, s) && isMpf(file, s)) return mpf::parse(file, s.payload, s.end - s.payload);
    return std::nullopt;
}

// The datasets of every IPTC resource of a stream, in file order, split by record: a save writes the
// records before 2, then record 2, then the later ones. The headline datasets are left out.
struct Datasets {
    QByteArray before, record2, after;
};
Datasets datasetsBesidesHeadline(QByteArrayView stream) {
    std::vector<Dataset> all;
    for (const psd::Resource& r : psd::walkResources(stream).resources)
        if (r.id == psd::kIptcId) appendDatasets(stream.sliced(r.dataOffset, r.dataSize), all);
    Datasets out;
    for (const Dataset& ds : all) {
        if (ds.record < 2)
            out.before.append(ds.whole);
        else if (ds.record > 2)
            out.after.append(ds.whole);
        else if (ds.extended || ds.number != 105)
            out.record2.append(ds.whole);
    }
    return out;
}

void requireSameBlock(const IptcBlock& expected, const IptcBlock& actual) {
    for (const Field& f : kFields)
        if (expected.*(f.member) != actual.*(f.member))
            violation(f.name, (expected.*(f.member)).toUtf8(), (actual.*(f.member)).toUtf8());
    if (expected.supplementalCategories != actual.supplementalCategories)
        violation("supplementalCategories", expected.supplementalCategories.join('|').toUtf8(),
                  actual.supplementalCategories.join('|').toUtf8());
    if (expected.people != actual.people)
        violation("people", expected.people.join('|').toUtf8(), actual.people.join('|').toUtf8());
}

// Checks a save that succeeded: `in` was saved as `out` with `block` (as read, plus the new headline).
void checkSaved(const QByteArray& in, const QByteArray& out, const IptcBlock& asRead, const IptcBlock& block,
                const QString& outPath) {
    const std::optional<Layout> inLayout = walk(in);
    if (!inLayout) violation("a picture whose segments do not walk, and saved it", in, out);
    const std::optional<Layout> outLayout = walk(out);
    if (!outLayout) violation("the segments into ones that do not walk", in, out);

    // The scan data is copied, never read.
    requireSame("the scan data", QByteArrayView(in).sliced(inLayout->scan), QByteArrayView(out).sliced(outLayout->scan));

    const std::vector<QByteArray> inSegments = otherSegments(in, *inLayout);
    const std::vector<QByteArray> outSegments = otherSegments(out, *outLayout);
    for (size_t i = 0; i < std::min(inSegments.size(), outSegments.size()); ++i)
        requireSame("a segment outside the Photoshop segments", inSegments[i], outSegments[i]);
    if (inSegments.size() != outSegments.size())
        violation("the number of segments outside the Photoshop segments",
                  inSegments.size() > outSegments.size() ? inSegments[outSegments.size()] : QByteArray(),
                  outSegments.size() > inSegments.size() ? outSegments[inSegments.size()] : QByteArray());

    // A later picture of a multi-picture file that started in the copied scan data must be found by
    // the corrected index at the same bytes.
    const auto inIndex = firstMpf(in, *inLayout);
    const auto outIndex = firstMpf(out, *outLayout);
    if (inIndex.has_value() != outIndex.has_value() ||
        (inIndex && inIndex->entries.size() != outIndex->entries.size()))
        violation("the multi-picture index", in, out);
    if (inIndex) {
        for (size_t i = 1; i < inIndex->entries.size(); ++i) {
            const qint64 target = inIndex->mpHeader + qint64(inIndex->entries[i].offset);
            if (inIndex->entries[i].offset == 0 || target < inLayout->scan || target >= in.size()) continue;
            const qint64 moved = outIndex->mpHeader + qint64(outIndex->entries[i].offset);
            if (moved != target - inLayout->scan + outLayout->scan) {
                fprintf(stderr, "Rewrite changed where the multi-picture index finds picture %zu: %lld bytes into the "
                        "scan data before, %lld after\n", i + 1, qlonglong(target - inLayout->scan),
                        qlonglong(moved - outLayout->scan));
                __builtin_trap();
            }
        }
    }

    // Other programs' image resources go back byte for byte and in order; bytes after the last
    // well-formed resource too.
    const QByteArray inStream = photoshopStream(in, *inLayout);
    const QByteArray outStream = photoshopStream(out, *outLayout);
    const psd::ResourceStream inResources = psd::walkResources(inStream);
    const psd::ResourceStream outResources = psd::walkResources(outStream);
    QByteArray inOthers, outOthers;
    for (const psd::Resource& r : inResources.resources)
        if (r.id != psd::kIptcId && r.id != psd::kIptcDigestId)
            inOthers.append(QByteArrayView(inStream).sliced(r.start, r.end - r.start));
    for (const psd::Resource& r : outResources.resources)
        if (r.id != psd::kIptcId && r.id != psd::kIptcDigestId)
            outOthers.append(QByteArrayView(outStream).sliced(r.start, r.end - r.start));
    requireSame("the other image resources", inOthers, outOthers);
    requireSame("the bytes after the image resources", QByteArrayView(inStream).sliced(inResources.parsedEnd),
                QByteArrayView(outStream).sliced(outResources.parsedEnd));

    // The XMP packet: one that parses holds the saved fields and every other property as it was, and
    // the digest follows the new IPTC data unless it did not match before; one that does not parse
    // stays byte for byte, and so does the digest.
    const auto md5 = [](QByteArrayView data) { return QCryptographicHash::hash(data, QCryptographicHash::Md5); };
    const std::optional<QByteArrayView> inPacket = findXmpPacket(in);
    const std::optional<QByteArrayView> outPacket = findXmpPacket(out);
    if (inPacket.has_value() != outPacket.has_value()) violation("whether the picture has XMP", in, out);
    const std::optional<xmp::Packet> parsedIn = inPacket ? xmp::Packet::parse(*inPacket) : std::nullopt;
    const std::optional<QByteArray> inDigest = psd::resourceData(inStream, psd::kIptcDigestId);
    const std::optional<QByteArray> outDigest = psd::resourceData(outStream, psd::kIptcDigestId);
    if (parsedIn) {
        const std::optional<xmp::Packet> parsedOut = xmp::Packet::parse(*outPacket);
        if (!parsedOut) violation("the XMP packet into one that does not parse", *inPacket, *outPacket);
        requireSame("the XMP properties outside the mapping", parsedIn->otherProperties().join('\n').toUtf8(),
                    parsedOut->otherProperties().join('\n').toUtf8());
        // The digest is renewed only when the packet holds every saved value as IPTC does.
        const xmp::Values saved = block.xmpValues(), held = parsedOut->values();
        const bool holds = saved.event == held.event && saved.headline == held.headline && saved.caption == held.caption &&
                           saved.location == held.location && saved.city == held.city && saved.state == held.state &&
                           saved.country == held.country && saved.urgency == held.urgency &&
                           saved.instructions == held.instructions && saved.byline == held.byline &&
                           saved.bylineTitle == held.bylineTitle && saved.credit == held.credit &&
                           saved.source == held.source && saved.copyright == held.copyright &&
                           saved.writer == held.writer && saved.category == held.category &&
                           saved.dateText == held.dateText && saved.timeText == held.timeText &&
                           saved.people == held.people && saved.supplementalCategories == held.supplementalCategories;
        const bool matched = !inDigest || *inDigest == md5(psd::resourceData(inStream, psd::kIptcId).value_or(QByteArray()));
        const QByteArray expected = matched && holds ? md5(psd::resourceData(outStream, psd::kIptcId).value_or(QByteArray()))
                                                     : inDigest.value_or(QByteArray("none"));
        requireSame("the IPTC digest", expected, outDigest.value_or(QByteArray("none")));
    } else {
        if (inPacket) requireSame("an XMP packet that does not parse", *inPacket, *outPacket);
        requireSame("the IPTC digest, without XMP written", inDigest.value_or(QByteArray("none")),
                    outDigest.value_or(QByteArray("none")));
    }

    // Read back, the saved file holds what was saved.
    PictureRecord saved(outPath);
    if (!saved.isJpeg()) violation("the picture into one that does not read", in, out);
    const IptcBlock& readBack = saved.iptc();
    requireSameBlock(block, readBack);
    requireSame("the thumbnail dataset", asRead.thumbnailJpeg(), readBack.thumbnailJpeg());
    requireSame("otherRecordsAfter", asRead.otherRecordsAfter, readBack.otherRecordsAfter);

    // An ASCII headline needs no character set: every other dataset goes back as it was. With other
    // text the list declares UTF-8 and kept Windows-1252 text is converted, which the fields above
    // already check. Fields XMP gave in place of their datasets go into IPTC with the save too, and
    // their text may need UTF-8 as well.
    bool fromXmp = false;
    for (int f = 0; f < xmp::kFieldCount; ++f) fromXmp = fromXmp || asRead.fromXmp(xmp::Field(f));
    if (snaplore::text::isAscii(block.headline) && !fromXmp) {
        requireSame("UnknownDatasets", asRead.UnknownDatasets, readBack.UnknownDatasets);
        requireSame("otherRecordsBefore", asRead.otherRecordsBefore, readBack.otherRecordsBefore);
        // Dataset for dataset, in the saved IPTC resource. Only where the resources are well formed to
        // their end: after stray bytes the reader looks for further IPTC resources that the walk
        // never reaches, and their datasets join the saved one.
        if (inResources.parsedEnd == inStream.size()) {
            const Datasets inDatasets = datasetsBesidesHeadline(inStream);
            const Datasets outDatasets = datasetsBesidesHeadline(outStream);
            requireSame("the datasets before record 2", inDatasets.before, outDatasets.before);
            requireSame("the record-2 datasets besides the headline", inDatasets.record2, outDatasets.record2);
            requireSame("the datasets after record 2", inDatasets.after, outDatasets.after);
        }
    } else if (asRead.sourceEncoding() != IptcBlock::TextEncoding::Windows1252) {
        requireSame("UnknownDatasets", asRead.UnknownDatasets, readBack.UnknownDatasets);
    }
}

QString folder;  // where each input is written and saved

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The folder must hold exactly these files: a save leaves no temporary behind.
void requireFolderHolds(const QStringList& names) {
    QStringList found = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    if (found != names) violation("the folder's files", names.join(' ').toUtf8(), found.join(' ').toUtf8());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    snaplore::fuzz::initQt(argc, argv);
    folder = snaplore::fuzz::makeScratchFolder("rewrite");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString inPath = folder + QStringLiteral("/in.jpg");
    static const QString outPath = folder + QStringLiteral("/out.jpg");
    const QByteArray in(reinterpret_cast<const char*>(data), qsizetype(size));
    QFile::remove(outPath);
    {
        QFile file(inPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(in) != in.size()) abort();
    }

    PictureRecord picture(inPath);
    if (!picture.isJpeg()) return 0;
    const IptcBlock asRead = picture.iptc();
    IptcBlock& block = picture.iptc();
    // The last byte picks the new headline: plain text, none, text that needs UTF-8 (and converts
    // kept Windows-1252 text), or the one already there (a save that must copy the file exactly).
    switch (size > 0 ? data[size - 1] & 3 : 0) {
        case 0: block.headline = QStringLiteral("fuzz"); break;
        case 1: block.headline.clear(); break;
        case 2: block.headline = QStringLiteral("Stra\u00DFe in Z\u00FCrich"); break;
        default: break;
    }
    const bool changed = block.headline != asRead.headline;

    const WriteResult result = block.WriteIptc(outPath);
    requireSame("the source file", in, readAll(inPath));
    if (!result) {
        if (QFile::exists(outPath)) violation("the output path, though the save failed", {}, readAll(outPath));
        requireFolderHolds({QStringLiteral("in.jpg")});
        return 0;
    }
    requireFolderHolds({QStringLiteral("in.jpg"), QStringLiteral("out.jpg")});
    const QByteArray out = readAll(outPath);
    if (!changed) {
        requireSame("a picture whose data did not change", in, out);
        return 0;
    }
    checkSaved(in, out, asRead, block, outPath);
    return 0;
}

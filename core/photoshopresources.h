#pragma once
// Photoshop image resources as they stand in APP13 "Photoshop 3.0" segments: a stream of records
// ("8BIM", a 16-bit id, a padded Pascal name, a 32-bit size, the data padded to an even length) that
// one segment may end in the middle of and the next continue. The IPTC data is the resource 0x0404;
// every other resource belongs to other programs and is carried over byte for byte.

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <vector>

namespace psd {

// The 14 bytes that open every Photoshop APP13 payload.
inline constexpr QByteArrayView kSignature("Photoshop 3.0\0", 14);
// The most resource bytes one APP13 segment carries after its signature.
inline constexpr qsizetype kMaxSegmentPayload = 65535 - 2 - 14;
inline constexpr int kIptcId = 0x0404;
// The MD5 digest of the IPTC resource's data, by which other programs tell whether XMP was written
// together with the IPTC data.
inline constexpr int kIptcDigestId = 0x0425;

struct Resource {
    int id = 0;
    qsizetype start = 0;       // offset of the record in the stream
    qsizetype end = 0;         // one past its last byte, padding included when present
    qsizetype dataOffset = 0;  // offset of its data
    qsizetype dataSize = 0;
};

struct ResourceStream {
    std::vector<Resource> resources;
    // Offset where the last record ends.
    qsizetype parsedEnd = 0;
};

// True when four bytes at `p` are one of the record types that Photoshop writes.
bool isResourceType(QByteArrayView fourBytes);

// Walks a joined resource stream. Bytes that are no record are stepped over up to the next IPTC
// record, as the reader does; a record that is not complete ends the walk.
ResourceStream walkResources(QByteArrayView stream);

// The stream with every IPTC resource replaced: the first takes `iptcData` (its type and name are
// kept), later ones are dropped, since most readers read only the first. Without one, a new resource
// is appended. Empty `iptcData` drops the IPTC resource altogether. An IPTC record that follows bytes
// that are no record is kept with empty data instead, so the records after it stay readable.
QByteArray replaceIptc(QByteArrayView stream, QByteArrayView iptcData);

// The data of the first resource with `id`; nothing when the stream has none.
std::optional<QByteArray> resourceData(QByteArrayView stream, int id);

// The stream with the data of the first resource with `id` replaced (its type and name kept), or a
// new resource of that id after the last whole record when there is none. Every other byte stays as
// it was.
QByteArray setResource(QByteArrayView stream, int id, QByteArrayView data);

// The segments (FF ED, length, signature, part of the stream) that carry `stream`, split where a
// segment is full; a record may continue in the next segment.
QByteArray segmentsFor(QByteArrayView stream);

}  // namespace psd

#pragma once
// The header of a picture rewritten with new IPTC data, built in memory from the header as read:
// new APP13 Photoshop segments carry the dataset list, the multi-picture index follows the bytes the
// header gained or lost, and every other byte stays as it was. No file is touched here.

#include "mpfindex.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

struct SplicedHeader {
    QByteArray bytes;         // the new header, from SOI up to the scan
    qsizetype scanStart = 0;  // where the scan starts in the header as read; from there on the picture is copied
    // The multi-picture index as read and as written, when the header has one that parses.
    std::optional<mpf::Index> oldIndex;
    std::optional<mpf::Index> newIndex;
};

// What a rewrite changes in the header besides the IPTC data.
struct SpliceExtras {
    // The new packet of the standard XMP segment (the bytes after its name); none leaves it as it is.
    // The caller sees that it fits one segment (kMaxXmpPacket).
    std::optional<QByteArray> xmpPacket;
    // The IPTC digest (Photoshop resource 0x0425) becomes the MD5 of the new IPTC data, added when
    // the header had none; a digest that did not match the IPTC data as read stays as it was.
    bool renewDigest = false;
};

// The XMP segment's name, and the largest packet one segment holds after it.
inline constexpr QByteArrayView kXmpName("http://ns.adobe.com/xap/1.0/\0", 29);
inline constexpr qsizetype kMaxXmpPacket = 65535 - 2 - 29;

// The packet of the header's first standard XMP segment (the bytes after its name); nothing when
// there is none or the strict walk of the header fails. Extended XMP segments are no standard ones.
std::optional<QByteArrayView> findXmpPacket(QByteArrayView header);

// `header` is the picture from its SOI, read at least up to the start of its scan (more is ignored);
// `datasetList` is the IPTC dataset list without its length prefix (empty drops the IPTC resource).
// The IPTC resource is replaced inside the Photoshop resources, which keep everything else byte for
// byte. Nothing when the strict walk of the header fails.
std::optional<SplicedHeader> spliceHeader(QByteArrayView header, QByteArrayView datasetList,
                                         const SpliceExtras& extras = {});

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

// `header` is the picture from its SOI, read at least up to the start of its scan (more is ignored);
// `datasetList` is the IPTC dataset list without its length prefix (empty drops the IPTC resource).
// The IPTC resource is replaced inside the Photoshop resources, which keep everything else byte for
// byte. Nothing when the strict walk of the header fails.
std::optional<SplicedHeader> spliceHeader(QByteArrayView header, QByteArrayView datasetList);

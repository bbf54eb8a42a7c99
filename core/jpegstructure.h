#pragma once
// A strict walk over a whole JPEG file held in memory, from SOI to the start of scan. A rewrite only
// goes ahead when this walk succeeds: a file that is cut short, has stray bytes between segments or
// no SOI is never rewritten.

#include <QByteArrayView>

#include <optional>
#include <vector>

struct JpegSegmentSpan {
    qsizetype start = 0;  // first byte, fill bytes (0xFF) before the marker included
    qsizetype end = 0;    // one past the last byte; for SOS the end of the file
    int code = 0;         // marker code
};

// The segments after SOI, the last one being SOS (which runs to the end of the data).
std::optional<std::vector<JpegSegmentSpan>> walkJpegStructure(QByteArrayView file);

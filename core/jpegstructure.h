#pragma once
// A strict walk over a whole JPEG file held in memory, from SOI to the start of scan. A rewrite only
// goes ahead when this walk succeeds: a file that is cut short, has stray bytes between segments or
// no SOI is never rewritten.

#include <QByteArrayView>
#include <QSize>

#include <optional>
#include <vector>

struct JpegSegmentSpan {
    qsizetype start = 0;  // first byte, fill bytes (0xFF) before the marker included
    qsizetype end = 0;    // one past the last byte; for SOS the end of the file
    int code = 0;         // marker code
};

// The segments after SOI, the last one being SOS (which runs to the end of the data).
std::optional<std::vector<JpegSegmentSpan>> walkJpegStructure(QByteArrayView file);

// The size a JPEG decoder reads from the header of an image held in memory, before any pixel: SOI,
// then segments up to the start of scan with one start of frame (baseline, extended, progressive or
// arithmetic, 8-bit samples, both sides set, 1 to 10 components with sampling factors 1 to 4), and a
// scan header naming each of its components once. Stray bytes before a marker are stepped over, as
// decoders do. An empty size when the header would not read; a few deliberately broken headers pass
// here and fail only in the decoder's deeper checks.
QSize jpegFrameSize(QByteArrayView jpeg);

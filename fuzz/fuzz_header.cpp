// Walks a picture header from arbitrary bytes, as the program does for every file it lists: the
// marker segments, the EXIF block and the Photoshop/IPTC segment, then the thumbnails.

#include "fuzzsupport.h"
#include "iptcblock.h"
#include "jpegsection.h"
#include "jpegstructure.h"
#include "pictureheader.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    snaplore::fuzz::initQt(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // No copy: ASan then sees any read past the fuzzer's own buffer.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);

    JpegSectionReader reader;
    reader.setVerbose(false);
    IptcBlock iptc;
    PictureHeader header;
    WalkPictureHeader(buffer, buffer.size(), reader, iptc, header);

    // The EXIF thumbnail is a range inside a kept section: read every byte so a bad range shows.
    const QByteArray thumbnail = reader.exifThumbnail();
    unsigned sum = 0;
    for (char c : thumbnail) sum += uint8_t(c);
    asm volatile("" : : "r"(sum));
    iptc.hasThumbnail();

    // The strict walk that gates every rewrite: its spans must tile the data it accepted.
    if (const auto segments = walkJpegStructure(bytes)) {
        qsizetype previous = 2;
        for (const JpegSegmentSpan& s : *segments) {
            if (s.start != previous || s.end <= s.start || s.end > bytes.size()) __builtin_trap();
            previous = s.end;
        }
        if (segments->empty() || segments->back().code != 0xDA || previous != bytes.size()) __builtin_trap();
    }
    return 0;
}

#pragma once
// The walk over one picture's header segments, from SOI to the start of scan, as the picture object
// runs it over a picture file or over a header copy inside a catalog.

#include <QIODevice>
#include <QString>

// Declared only: iptcblock.cpp runs this walk over what it writes, so this header must not lead
// back to iptcblock.h.
class IptcBlock;
class JpegSectionReader;

struct PictureHeader {
    int width = 0;
    int height = 0;
    quint64 headerSize = 0;      // bytes from the first byte through the SOS length field
    int app13Segments = 0;       // APP13 segments met, Photoshop or not
    bool reachedScan = false;    // the walk ended at a start of scan
};

// Walks the picture whose bytes start at the device's position and end at `end`. Fills `header`,
// the EXIF values (through `reader`) and the picture data (through `iptc`). Returns false only when
// the picture does not start with FF D8. `name` names the file in diagnostic output.
bool WalkPictureHeader(QIODevice& file, qint64 end, JpegSectionReader& reader, IptcBlock& iptc,
                       PictureHeader& header, const QString& name = {});

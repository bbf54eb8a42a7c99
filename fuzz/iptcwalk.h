#pragma once
// The IPTC pieces both IPTC fuzz targets check against: the block's text fields by name, and a walk
// over a dataset list written out apart from the program's own, so that a wrong span in the
// program's walk shows as a difference instead of being agreed with.

#include "iptcblock.h"

#include <QByteArrayView>

#include <cstdint>
#include <vector>

namespace snaplore::fuzz {

struct Field {
    QString IptcBlock::*member;
    const char* name;
};
inline const Field kFields[] = {
    {&IptcBlock::byline, "byline"},       {&IptcBlock::bylineTitle, "bylineTitle"},
    {&IptcBlock::credit, "credit"},       {&IptcBlock::source, "source"},
    {&IptcBlock::writer, "writer"},       {&IptcBlock::caption, "caption"},
    {&IptcBlock::headline, "headline"},   {&IptcBlock::instructions, "instructions"},
    {&IptcBlock::event, "event"},         {&IptcBlock::dateText, "dateText"},
    {&IptcBlock::timeText, "timeText"},   {&IptcBlock::location, "location"},
    {&IptcBlock::city, "city"},           {&IptcBlock::state, "state"},
    {&IptcBlock::country, "country"},     {&IptcBlock::rating, "rating"},
    {&IptcBlock::copyright, "copyright"}, {&IptcBlock::transmissionReference, "transmissionReference"},
    {&IptcBlock::category, "category"},
};

struct Dataset {
    int record = 0, number = 0;
    bool extended = false;  // the length is held in the extended form; never read as a field
    QByteArrayView whole, value;
};

// Appends the whole datasets at the start of `list` (1C rr nn LLLL value, or the extended length form
// where the high bit of LLLL is set and its low bits count the length bytes that follow). Stops where
// the list is no longer well formed, as the reader does, and returns that offset.
inline qsizetype appendDatasets(QByteArrayView list, std::vector<Dataset>& out) {
    const auto* d = reinterpret_cast<const uint8_t*>(list.data());
    qsizetype pos = 0;
    while (list.size() - pos >= 5 && d[pos] == 0x1C) {
        qsizetype length = (d[pos + 3] << 8) | d[pos + 4];
        qsizetype header = 5;
        const bool extended = length & 0x8000;
        if (extended) {
            const qsizetype count = length & 0x7FFF;
            if (count == 0 || count > 4 || list.size() - pos - 5 < count) break;
            length = 0;
            for (qsizetype i = 0; i < count; ++i) length = (length << 8) | d[pos + 5 + i];
            header += count;
        }
        if (length > list.size() - pos - header) break;
        out.push_back({d[pos + 1], d[pos + 2], extended, list.sliced(pos, header + length),
                       list.sliced(pos + header, length)});
        pos += header + length;
    }
    return pos;
}

}  // namespace snaplore::fuzz

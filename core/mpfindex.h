#pragma once
// The index of a multi-picture file: an APP2 "MPF" segment whose entries give each picture's size and
// its offset, counted from the MP header inside that segment. A rewrite that changes the header of
// the first picture must correct the first entry's size and, when bytes after the APP2 segment
// changed, the offsets of the others.

#include <QByteArrayView>

#include <optional>
#include <vector>

namespace mpf {

struct Entry {
    qsizetype fieldOffset = 0;  // where the entry's 16 bytes start, in the buffer given to parse()
    quint32 size = 0;
    quint32 offset = 0;  // from the MP header; 0 for the first picture
};

struct Index {
    qsizetype mpHeader = 0;  // offset of the MP header (the byte order mark), in the buffer
    bool bigEndian = false;
    std::vector<Entry> entries;
};

// True when a segment's payload (after its length field) is an MPF index.
bool isMpfPayload(QByteArrayView payload);

// Reads the index of an APP2 payload that starts at `payloadOffset` in `buffer`; nothing when it is
// not well formed.
std::optional<Index> parse(QByteArrayView buffer, qsizetype payloadOffset, qsizetype payloadSize);

// Writes a 32-bit value of the index's byte order at `at`.
void put32(char* at, quint32 value, bool bigEndian);

}  // namespace mpf

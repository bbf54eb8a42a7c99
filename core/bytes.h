#pragma once
// Bounds-checked access to big- and little-endian numbers in byte buffers. Every length or offset
// that comes from a file is checked against what remains before it is used: `size > end - pos`,
// never `pos + size > end`.

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <optional>

namespace snaplore::bytes {

// True when [offset, offset + size) lies inside a buffer of `total` bytes, without overflow.
constexpr bool fits(uint64_t total, uint64_t offset, uint64_t size) {
    return offset <= total && size <= total - offset;
}

inline uint16_t be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t le64(const uint8_t* p) { return uint64_t(le32(p)) | (uint64_t(le32(p + 4)) << 32); }

inline void putBe16(QByteArray& out, uint16_t v) {
    out.append(char(v >> 8));
    out.append(char(v & 0xFF));
}
inline void putBe32(QByteArray& out, uint32_t v) {
    putBe16(out, uint16_t(v >> 16));
    putBe16(out, uint16_t(v & 0xFFFF));
}
inline void putLe32(QByteArray& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.append(char((v >> (8 * i)) & 0xFF));
}
inline void putLe64(QByteArray& out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out.append(char((v >> (8 * i)) & 0xFF));
}

inline const uint8_t* u8(QByteArrayView v) { return reinterpret_cast<const uint8_t*>(v.data()); }

}  // namespace snaplore::bytes

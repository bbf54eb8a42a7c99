// EXIF reader: walks the TIFF directories of an APP1 segment and fills an ExifSummary.
//
// The block comes straight from a file, so every count, offset and link in it is untrusted. All
// positions are 64-bit offsets into the TIFF data, checked with bytes::fits() before any read; no
// pointer is formed outside the section.

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "bytes.h"
#include "diagnostics.h"
#include "jpegsection.h"

namespace {

namespace bytes = snaplore::bytes;

// The TIFF header follows the two length bytes and "Exif" 00 00.
constexpr qsizetype kTiffStart = 8;

// A real block nests three directories at most (IFD0, EXIF, interoperability) and chains two
// (IFD0, thumbnail). The limits only stop crafted blocks: a deep chain, or a few directories that
// each link to the next many times over, which would otherwise multiply the work.
constexpr size_t kMaxDepth = 8;
constexpr int kMaxDirectories = 64;

constexpr qsizetype kMaxUserComment = 199;

enum Tag : uint16_t {
    kMake = 0x010F,
    kModel = 0x0110,
    kOrientation = 0x0112,
    kXResolution = 0x011A,
    kYResolution = 0x011B,
    kResolutionUnit = 0x0128,
    kThumbnailOffset = 0x0201,
    kThumbnailLength = 0x0202,
    kExposureTime = 0x829A,
    kFNumber = 0x829D,
    kExifIfd = 0x8769,
    kExposureProgram = 0x8822,
    kIsoEquivalent = 0x8827,
    kExifVersion = 0x9000,
    kDateTimeOriginal = 0x9003,
    kCompressionLevel = 0x9102,
    kShutterSpeedValue = 0x9201,
    kApertureValue = 0x9202,
    kBrightness = 0x9203,
    kExposureBias = 0x9204,
    kMaxApertureValue = 0x9205,
    kDistance = 0x9206,
    kMeteringMode = 0x9207,
    kWhiteBalance = 0x9208,
    kFlash = 0x9209,
    kFocalLength = 0x920A,
    kMakerNote = 0x927C,
    kUserComment = 0x9286,
    kExifImageWidth = 0xA002,
    kExifImageHeight = 0xA003,
    kInteropIfd = 0xA005,
    kFocalPlaneXResolution = 0xA20E,
    kFocalPlaneYResolution = 0xA20F,
    kFocalPlaneUnits = 0xA210,
};

enum Format : uint16_t {
    kUByte = 1,
    kAscii = 2,
    kUShort = 3,
    kULong = 4,
    kURational = 5,
    kSByte = 6,
    kUndefined = 7,
    kSShort = 8,
    kSLong = 9,
    kSRational = 10,
    kFloat = 11,
    kDouble = 12,
};

constexpr int kFormatSize[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
constexpr uint16_t kMaxFormat = 12;

// The summary's fields are int and float; a crafted value must not turn into an out-of-range
// conversion.
int toInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= double(INT_MAX)) return INT_MAX;
    if (v <= double(INT_MIN)) return INT_MIN;
    return int(v);
}

float toFloat(double v) {
    if (std::isfinite(v)) v = std::clamp(v, -double(FLT_MAX), double(FLT_MAX));
    return float(v);
}

uint64_t toOffset(double v) {
    if (!(v >= 0)) return 0;  // negative or NaN: no usable offset
    if (v >= 18446744073709549568.0) return UINT64_MAX;
    return uint64_t(v);
}

// Inches per unit for the resolution-unit codes; single precision, as the fields are.
bool inchesPerUnit(int code, float& inches) {
    switch (code) {
        case 1:
        case 2:
            inches = 1.0f;
            return true;
        case 3:
            inches = 0.3937007784843445f;  // centimetre
            return true;
        case 4:
            inches = 0.03937007859349251f;  // millimetre
            return true;
        case 5:
            inches = 3.937007932108827e-05f;  // micrometre
            return true;
        default:
            return false;
    }
}

// Text fields are C strings in the file: take at most `limit` bytes and stop at the first NUL.
QByteArray cString(const uint8_t* p, uint64_t size, qsizetype limit) {
    const auto n = qsizetype(std::min<uint64_t>(size, uint64_t(limit)));
    const char* c = reinterpret_cast<const char*>(p);
    const void* nul = std::memchr(c, 0, size_t(n));
    return QByteArray(c, nul ? static_cast<const char*>(nul) - c : n);
}

// What a directory may give. The picture's values come from IFD0 and the directories it names; the
// directory chained after IFD0 describes the thumbnail, and cameras repeat picture tags there
// (orientation, resolution, even make and model) with the thumbnail's values.
enum class Role { First, Picture, Thumbnail };

class Walk {
public:
    Walk(const uint8_t* tiff, uint64_t size, bool motorola, int sectionIndex, ExifSummary& summary, QString& error)
        : tiff_(tiff), size_(size), motorola_(motorola), sectionIndex_(sectionIndex), s_(summary), error_(error) {}

    bool directory(uint64_t offset, Role role);

private:
    // Callers have checked that the bytes lie inside the TIFF data.
    uint16_t get16(uint64_t pos) const { return motorola_ ? bytes::be16(tiff_ + pos) : bytes::le16(tiff_ + pos); }
    uint32_t get32(uint64_t pos) const { return motorola_ ? bytes::be32(tiff_ + pos) : bytes::le32(tiff_ + pos); }
    uint64_t get64(uint64_t pos) const {
        const uint64_t first = get32(pos), second = get32(pos + 4);
        return motorola_ ? (first << 32) | second : (second << 32) | first;
    }

    double number(uint16_t format, uint64_t pos, uint64_t available) const;
    bool entry(uint16_t tag, uint16_t format, uint64_t pos, uint64_t byteCount, uint64_t available);
    void userComment(uint64_t pos, uint64_t byteCount);
    bool subdirectory(uint64_t offset, Role role);
    bool fail(const char* text) {
        error_ = QString::fromLatin1(text);
        qCDebug(lcExif, "%s", text);
        return false;
    }

    const uint8_t* tiff_;
    uint64_t size_;
    bool motorola_;
    int sectionIndex_;
    ExifSummary& s_;
    QString& error_;
    std::vector<uint64_t> path_;  // directories being walked, outermost first
    int directories_ = 0;
};

// The first component of a value as a number; 0 for text and opaque formats, or when the value's
// bytes cannot hold one component.
double Walk::number(uint16_t format, uint64_t pos, uint64_t available) const {
    if (format > kMaxFormat || uint64_t(kFormatSize[format]) > available) return 0;
    switch (format) {
        case kUByte:
            return tiff_[pos];
        case kSByte:
            return int8_t(tiff_[pos]);
        case kUShort:
            return get16(pos);
        case kSShort:
            return int16_t(get16(pos));
        case kULong:
            return get32(pos);
        case kSLong:
            return int32_t(get32(pos));
        case kURational:
        case kSRational: {
            // Both kinds are read as signed: an unsigned value with the top bit set is garbage in
            // any tag we use.
            const int32_t num = int32_t(get32(pos));
            const int32_t den = int32_t(get32(pos + 4));
            return den == 0 ? 0.0 : double(num) / double(den);
        }
        case kFloat: {
            const uint32_t bits = get32(pos);
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return f;
        }
        case kDouble: {
            const uint64_t bits = get64(pos);
            double d;
            std::memcpy(&d, &bits, sizeof d);
            return d;
        }
        default:
            return 0;
    }
}

bool Walk::subdirectory(uint64_t offset, Role role) {
    if (offset >= size_) {
        // A stale or garbled link loses that one directory; what the others hold is still good.
        fail("Illegal subdirectory link");
        return true;
    }
    return directory(offset, role);
}

bool Walk::directory(uint64_t offset, Role role) {
    // Two tags may name the same directory, so only a directory already on the current path is a
    // loop.
    if (path_.size() >= kMaxDepth || ++directories_ > kMaxDirectories ||
        std::find(path_.begin(), path_.end(), offset) != path_.end())
        return fail("Illegal subdirectory link");

    if (!bytes::fits(size_, offset, 2)) return fail("Illegally sized directory");
    const uint64_t count = get16(offset);
    if (!bytes::fits(size_, offset, 2 + 12 * count)) return fail("Illegally sized directory");
    path_.push_back(offset);

    uint64_t thumbOffset = 0;
    uint64_t thumbLength = 0;
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t at = offset + 2 + 12 * i;
        const uint16_t tag = get16(at);
        const uint16_t format = get16(at + 2);
        const uint32_t components = get32(at + 4);
        if (format > kMaxFormat) return fail("Illegal format code in EXIF dir");

        const uint64_t byteCount = uint64_t(components) * uint64_t(kFormatSize[format]);
        uint64_t pos = at + 8;
        uint64_t available = 4;
        if (byteCount > 4) {
            pos = get32(at + 8);
            if (!bytes::fits(size_, pos, byteCount)) return fail("Illegal pointer offset value in EXIF.");
            available = byteCount;
        }
        qCDebug(lcExif, "tag 0x%04x format %u count %u", tag, format, components);
        if (role != Role::Thumbnail) {
            if (!entry(tag, format, pos, byteCount, available)) return false;
        } else if (tag == kThumbnailOffset) {
            thumbOffset = toOffset(number(format, pos, available));
        } else if (tag == kThumbnailLength) {
            thumbLength = toOffset(number(format, pos, available));
        }
    }

    // IFD0 chains to the thumbnail directory, and nothing chained after that is used. A
    // sub-directory's own link, normally 0, keeps the sub-directory's role.
    const uint64_t linkPos = offset + 2 + 12 * count;
    if (role != Role::Thumbnail && bytes::fits(size_, linkPos, 4)) {
        const uint32_t link = get32(linkPos);
        if (link != 0 && !subdirectory(link, role == Role::First ? Role::Thumbnail : role)) return false;
    }

    if (thumbOffset != 0 && thumbLength != 0 && bytes::fits(size_, thumbOffset, thumbLength)) {
        s_.thumbnailSection = sectionIndex_;
        s_.thumbnailOffset = kTiffStart + qsizetype(thumbOffset);
        s_.thumbnailLength = qsizetype(thumbLength);
        qCDebug(lcExif, "thumbnail at %lld, %lld bytes", qlonglong(s_.thumbnailOffset), qlonglong(thumbLength));
    }
    path_.pop_back();
    return true;
}

bool Walk::entry(uint16_t tag, uint16_t format, uint64_t pos, uint64_t byteCount, uint64_t available) {
    const auto value = [&] { return number(format, pos, available); };
    const uint8_t* text = tiff_ + pos;
    switch (tag) {
        case kMake:
            s_.cameraMake = cString(text, byteCount, 31);
            break;
        case kModel:
            s_.cameraModel = cString(text, byteCount, 39);
            break;
        case kDateTimeOriginal:
            s_.dateTimeOriginal = cString(text, byteCount, 19);
            break;
        case kExifVersion:
            s_.exifVersion = cString(text, byteCount, 4);
            break;
        case kUserComment:
            userComment(pos, byteCount);
            break;
        case kOrientation: {
            const int o = toInt(value());
            if (o >= 1 && o <= 8) {
                s_.orientation = o;
            } else {
                // Not worth dropping the other values for: the picture is simply shown unturned.
                s_.orientation = 0;
                error_ = QStringLiteral("Undefined rotation value");
                qCDebug(lcExif, "Undefined rotation value %d", o);
            }
            break;
        }
        case kFlash:
            s_.flashUsed = (toInt(value()) & 7) ? 1 : 0;
            break;
        case kFocalLength:
            s_.focalLength = toFloat(value());
            break;
        case kExposureTime:
            s_.exposureTime = toFloat(value());
            break;
        case kShutterSpeedValue:
            // APEX value; only a stand-in when the camera gave no exposure time.
            if (s_.exposureTime == 0) s_.exposureTime = toFloat(1.0 / std::exp2(value()));
            break;
        case kFNumber:
            s_.apertureFNumber = toFloat(value());
            break;
        case kApertureValue:
        case kMaxApertureValue:
            if (s_.apertureFNumber == 0) s_.apertureFNumber = toFloat(std::exp2(value() / 2));
            break;
        case kDistance:
            s_.distance = toFloat(value());
            break;
        case kExposureBias:
            s_.exposureBias = toFloat(value());
            break;
        case kWhiteBalance:
            s_.whiteBalance = toInt(value());
            break;
        case kMeteringMode:
            s_.meteringMode = toInt(value());
            break;
        case kExposureProgram:
            s_.exposureProgram = toInt(value());
            break;
        case kIsoEquivalent: {
            // Some older cameras write a speed step (1, 2, 4...) rather than the speed.
            double iso = std::trunc(value());
            if (iso < 50) iso *= 200;
            s_.isoEquivalent = toInt(iso);
            break;
        }
        case kCompressionLevel:
            s_.compressionLevel = toInt(value());
            break;
        case kXResolution:
            s_.xResolution = toFloat(value());
            break;
        case kYResolution:
            s_.yResolution = toFloat(value());
            break;
        case kResolutionUnit:
            inchesPerUnit(toInt(value()), s_.resolutionUnit);
            break;
        case kFocalPlaneXResolution:
            s_.focalPlaneXResolution = toFloat(value());
            break;
        case kFocalPlaneYResolution:
            s_.focalPlaneYResolution = toFloat(value());
            break;
        case kFocalPlaneUnits:
            inchesPerUnit(toInt(value()), s_.focalPlaneUnits);
            break;
        case kBrightness:
            s_.brightness = toFloat(value());
            break;
        case kExifImageWidth:
        case kExifImageHeight:
            s_.exifImageWidth = std::max(s_.exifImageWidth, toInt(value()));
            break;
        case kExifIfd:
        case kInteropIfd:
            return subdirectory(get32(pos), Role::Picture);
        case kMakerNote:
            break;  // vendor-specific layout, often with offsets of its own: not ours to walk
        default:
            break;
    }
    return true;
}

void Walk::userComment(uint64_t pos, uint64_t byteCount) {
    // Work on a copy: the section is the caller's.
    QByteArray value(reinterpret_cast<const char*>(tiff_ + pos), qsizetype(byteCount));
    for (qsizetype i = value.size() - 1; i >= 0 && value[i] == ' '; --i) value[i] = '\0';

    const auto* p = reinterpret_cast<const uint8_t*>(value.constData());
    const auto size = uint64_t(value.size());
    if (value.startsWith("ASCII")) {
        // The eight-byte character code is often followed by padding before the text.
        for (qsizetype a = 5; a < 10 && a < value.size(); ++a) {
            if (value[a] != '\0' && value[a] != ' ') {
                s_.comment = cString(p + a, size - uint64_t(a), kMaxUserComment);
                return;
            }
        }
        return;
    }
    s_.comment = cString(p, size, kMaxUserComment);
}

}  // namespace

bool ProcessExif(const QByteArray& section, int sectionIndex, ExifSummary& summary, QString& error) {
    error.clear();
    const auto fail = [&error](const char* text) {
        error = QString::fromLatin1(text);
        qCDebug(lcExif, "%s", text);
        return false;
    };

    static constexpr char kSignature[] = {'E', 'x', 'i', 'f', 0, 0};
    if (section.size() < 2 + qsizetype(sizeof kSignature) ||
        std::memcmp(section.constData() + 2, kSignature, sizeof kSignature) != 0)
        return fail("Incorrect Exif header");

    // The TIFF data runs from its header to the end of the section.
    const uint8_t* tiff = bytes::u8(section) + kTiffStart;
    const auto size = uint64_t(section.size() - kTiffStart);

    bool motorola;
    if (size >= 2 && tiff[0] == 'I' && tiff[1] == 'I')
        motorola = false;
    else if (size >= 2 && tiff[0] == 'M' && tiff[1] == 'M')
        motorola = true;
    else
        return fail("Invalid Exif alignment marker.");

    const auto get16 = [&](int pos) { return motorola ? bytes::be16(tiff + pos) : bytes::le16(tiff + pos); };
    const auto get32 = [&](int pos) { return motorola ? bytes::be32(tiff + pos) : bytes::le32(tiff + pos); };
    if (size < 4 || get16(2) != 42) return fail("Invalid Exif start (1)");

    // Cameras put the first directory right after the header, but editors may write it anywhere
    // in the data. Below 8 it would overlap the header.
    if (size < 8) return fail("Suspicious offset of first IFD value");
    const uint32_t firstOffset = get32(4);
    if (firstOffset < 8 || !bytes::fits(size, firstOffset, 2)) return fail("Suspicious offset of first IFD value");

    summary.comment.clear();
    summary.flashUsed = 0;
    summary.exifImageWidth = 0;

    Walk walk(tiff, size, motorola, sectionIndex, summary, error);
    if (!walk.directory(firstOffset, Role::First)) return false;

    if (summary.focalPlaneXResolution != 0) {
        summary.ccdWidth =
            toFloat(double(summary.exifImageWidth) * summary.focalPlaneUnits / summary.focalPlaneXResolution);
    }
    return true;
}

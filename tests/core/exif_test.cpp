// Tests of the EXIF reader: small blocks built in memory in both byte orders, and two camera files.

#include <gtest/gtest.h>

#include <QDir>
#include <QHash>
#include <QTextStream>
#include <bit>
#include <climits>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "jpegsection.h"
#include "testsupport.h"

namespace {

// Tags used by the tests.
constexpr uint16_t kMake = 0x010F, kModel = 0x0110, kOrientation = 0x0112, kXRes = 0x011A, kYRes = 0x011B,
                   kResUnit = 0x0128, kThumbOffset = 0x0201, kThumbLength = 0x0202, kExposureTime = 0x829A,
                   kFNumber = 0x829D, kExifIfd = 0x8769, kProgram = 0x8822, kIso = 0x8827, kVersion = 0x9000,
                   kDateTimeOriginal = 0x9003, kCompression = 0x9102, kShutter = 0x9201, kAperture = 0x9202,
                   kBrightness = 0x9203, kBias = 0x9204, kMaxAperture = 0x9205, kDistance = 0x9206, kMetering = 0x9207,
                   kWhiteBalance = 0x9208, kFlash = 0x9209, kFocalLength = 0x920A, kUserComment = 0x9286,
                   kImageWidth = 0xA002, kImageHeight = 0xA003, kInteropIfd = 0xA005, kPlaneXRes = 0xA20E,
                   kPlaneYRes = 0xA20F, kPlaneUnits = 0xA210;

// ---- A tiny EXIF block builder -------------------------------------------------------------------

// One directory entry. The value is a list of (width, number) words written in the block's byte
// order; `dir` makes the value the offset of another directory; `field` writes the entry's last four
// bytes as given, for crafted entries.
struct Entry {
    uint16_t tag = 0;
    uint16_t format = 0;
    uint32_t count = 0;
    std::vector<std::pair<int, uint64_t>> words;
    int dir = -1;
    std::optional<uint32_t> field;
};

Entry make(uint16_t tag, uint16_t format, uint32_t count) {
    Entry e;
    e.tag = tag;
    e.format = format;
    e.count = count;
    return e;
}

Entry numbers(uint16_t tag, uint16_t format, int width, std::vector<uint64_t> values) {
    Entry e = make(tag, format, uint32_t(values.size()));
    for (uint64_t v : values) e.words.emplace_back(width, v);
    return e;
}
Entry ubyte(uint16_t tag, uint8_t v) { return numbers(tag, 1, 1, {v}); }
Entry sbyte(uint16_t tag, int8_t v) { return numbers(tag, 6, 1, {uint8_t(v)}); }
Entry ushort(uint16_t tag, uint16_t v) { return numbers(tag, 3, 2, {v}); }
Entry sshort(uint16_t tag, int16_t v) { return numbers(tag, 8, 2, {uint16_t(v)}); }
Entry ulong(uint16_t tag, uint32_t v) { return numbers(tag, 4, 4, {v}); }
Entry slong(uint16_t tag, int32_t v) { return numbers(tag, 9, 4, {uint32_t(v)}); }
Entry rational(uint16_t tag, uint32_t num, uint32_t den) {
    Entry e = numbers(tag, 5, 4, {num, den});
    e.count = 1;
    return e;
}
Entry srational(uint16_t tag, int32_t num, int32_t den) {
    Entry e = rational(tag, uint32_t(num), uint32_t(den));
    e.format = 10;
    return e;
}
Entry float32(uint16_t tag, float v) { return numbers(tag, 11, 4, {std::bit_cast<uint32_t>(v)}); }
Entry float64(uint16_t tag, double v) { return numbers(tag, 12, 8, {std::bit_cast<uint64_t>(v)}); }
Entry bytesOf(uint16_t tag, uint16_t format, const QByteArray& text) {
    Entry e = make(tag, format, uint32_t(text.size()));
    for (char c : text) e.words.emplace_back(1, uint8_t(c));
    return e;
}
Entry ascii(uint16_t tag, const QByteArray& text) { return bytesOf(tag, 2, text); }
Entry undefined(uint16_t tag, const QByteArray& data) { return bytesOf(tag, 7, data); }
Entry link(uint16_t tag, int dir) {
    Entry e = make(tag, 4, 1);
    e.dir = dir;
    return e;
}
Entry crafted(uint16_t tag, uint16_t format, uint32_t count, uint32_t field) {
    Entry e = make(tag, format, count);
    e.field = field;
    return e;
}

struct Dir {
    std::vector<Entry> entries;
    int next = -1;                    // index of the directory the link names
    std::optional<uint32_t> rawNext;  // or the link as given
    std::optional<uint16_t> rawCount;
    QByteArray thumbnail;  // appended at the end of the block, named by 0201/0202 entries
    int thumbLengthDelta = 0;
};

QByteArray encode(int width, uint64_t v, bool motorola) {
    QByteArray out;
    for (int i = 0; i < width; ++i) {
        const int shift = 8 * (motorola ? width - 1 - i : i);
        out.append(char((v >> shift) & 0xFF));
    }
    return out;
}

size_t valueBytes(const Entry& e) {
    size_t n = 0;
    for (const auto& word : e.words) n += size_t(word.first);
    return n;
}

struct Block {
    std::vector<Dir> dirs = std::vector<Dir>(1);
    uint32_t gap = 0;                     // bytes 0xEE between the TIFF header and the first directory
    std::optional<uint32_t> firstOffset;  // the header's offset of IFD0; by default where it is

    // The APP1 section: length bytes, "Exif" 00 00, then the TIFF data: header, directories, the
    // values longer than four bytes, thumbnails.
    QByteArray build(bool motorola) const {
        std::vector<Dir> ds = dirs;
        for (Dir& d : ds) {
            if (d.thumbnail.isEmpty()) continue;
            d.entries.push_back(ulong(kThumbOffset, 0));  // filled in below
            d.entries.push_back(ulong(kThumbLength, uint32_t(d.thumbnail.size() + d.thumbLengthDelta)));
        }
        std::vector<uint32_t> dirAt;
        uint32_t pos = 8 + gap;
        for (const Dir& d : ds) {
            dirAt.push_back(pos);
            pos += 2 + 12 * uint32_t(d.entries.size()) + 4;
        }
        QByteArray data;
        std::vector<std::vector<uint32_t>> valueAt(ds.size());
        for (size_t i = 0; i < ds.size(); ++i) {
            for (const Entry& e : ds[i].entries) {
                valueAt[i].push_back(pos + uint32_t(data.size()));
                if (e.field || e.dir >= 0 || valueBytes(e) <= 4) continue;
                for (auto [w, v] : e.words) data += encode(w, v, motorola);
                if (data.size() % 2) data += '\0';  // values start on a word boundary
            }
        }
        uint32_t thumbAt = pos + uint32_t(data.size());

        QByteArray tiff = motorola ? "MM" : "II";
        tiff += encode(2, 42, motorola) + encode(4, firstOffset.value_or(8 + gap), motorola);
        tiff += QByteArray(gap, char(0xEE));
        for (size_t i = 0; i < ds.size(); ++i) {
            const Dir& d = ds[i];
            tiff += encode(2, d.rawCount.value_or(uint16_t(d.entries.size())), motorola);
            for (size_t k = 0; k < d.entries.size(); ++k) {
                const Entry& e = d.entries[k];
                tiff += encode(2, e.tag, motorola) + encode(2, e.format, motorola) + encode(4, e.count, motorola);
                QByteArray value;
                if (e.field) {
                    value = encode(4, *e.field, motorola);
                } else if (e.dir >= 0) {
                    value = encode(4, dirAt[e.dir], motorola);
                } else if (e.tag == kThumbOffset && !d.thumbnail.isEmpty()) {
                    value = encode(4, thumbAt, motorola);
                } else if (valueBytes(e) > 4) {
                    value = encode(4, valueAt[i][k], motorola);
                } else {
                    for (auto [w, v] : e.words) value += encode(w, v, motorola);
                    value += QByteArray(4 - value.size(), 0);
                }
                tiff += value;
            }
            tiff += encode(4, d.rawNext.value_or(d.next >= 0 ? dirAt[d.next] : 0), motorola);
            thumbAt += uint32_t(d.thumbnail.size());
        }
        tiff += data;
        for (const Dir& d : ds) tiff += d.thumbnail;

        QByteArray section = encode(2, std::min<qsizetype>(0xFFFF, 8 + tiff.size()), true);
        section += QByteArray("Exif\0\0", 6) + tiff;
        return section;
    }
};

struct Outcome {
    bool ok = false;
    QString error;
    ExifSummary s;
};

Outcome run(const QByteArray& section, ExifSummary start = {}, int sectionIndex = 3) {
    Outcome r{false, {}, std::move(start)};
    r.ok = ProcessExif(section, sectionIndex, r.s, r.error);
    return r;
}

// Every field, for comparing whole summaries with a readable difference.
QString describe(const ExifSummary& s) {
    QString out;
    QTextStream t(&out);
    t << "version=" << s.exifVersion << " make=" << s.cameraMake << " model=" << s.cameraModel
      << " date=" << s.dateTimeOriginal << " h=" << s.height << " w=" << s.width << " orient=" << s.orientation
      << " colour=" << s.isColour << " process=" << s.process << " flash=" << s.flashUsed << " focal=" << s.focalLength
      << " exposure=" << s.exposureTime << " f=" << s.apertureFNumber << " distance=" << s.distance
      << " ccd=" << s.ccdWidth << " bias=" << s.exposureBias << " wb=" << s.whiteBalance
      << " metering=" << s.meteringMode << " program=" << s.exposureProgram << " iso=" << s.isoEquivalent
      << " compression=" << s.compressionLevel << " fpx=" << s.focalPlaneXResolution
      << " fpy=" << s.focalPlaneYResolution << " fpu=" << s.focalPlaneUnits << " xres=" << s.xResolution
      << " yres=" << s.yResolution << " unit=" << s.resolutionUnit << " brightness=" << s.brightness
      << " comment=" << s.comment << " thumb=" << s.thumbnailSection << ":" << s.thumbnailOffset << "+"
      << s.thumbnailLength << " exifWidth=" << s.exifImageWidth;
    return out;
}

const QByteArray kThumb = QByteArray::fromHex("FFD8FFDB0004") + QByteArray(30, 'x') + QByteArray::fromHex("FFD9");

// A block with every tag the reader takes, spread over IFD0, the EXIF and interoperability
// directories and the thumbnail directory, as cameras lay them out.
Block cameraBlock() {
    Block b;
    b.dirs.resize(4);
    b.dirs[0].entries = {ascii(kMake, QByteArray("Canon\0", 6)),
                         ascii(kModel, QByteArray("Canon EOS 40D\0", 14)),
                         ushort(kOrientation, 6),
                         rational(kXRes, 72, 1),
                         rational(kYRes, 300, 1),
                         ushort(kResUnit, 3),
                         link(kExifIfd, 1)};
    b.dirs[0].next = 3;
    b.dirs[1].entries = {rational(kExposureTime, 1, 160),
                         rational(kFNumber, 71, 10),
                         ushort(kProgram, 2),
                         ushort(kIso, 400),
                         undefined(kVersion, "0221"),
                         ascii(kDateTimeOriginal, QByteArray("2008:05:30 15:56:01\0", 20)),
                         rational(kCompression, 3, 1),
                         srational(kShutter, 483328, 65536),
                         rational(kAperture, 368640, 65536),
                         float32(kBrightness, 1.5f),
                         srational(kBias, -2, 3),
                         rational(kMaxAperture, 4, 1),
                         float64(kDistance, 2.25),
                         ushort(kMetering, 5),
                         ushort(kWhiteBalance, 1),
                         ushort(kFlash, 0x19),
                         rational(kFocalLength, 135, 1),
                         undefined(kUserComment, QByteArray("ASCII\0\0\0Hello world   ", 22)),
                         ulong(kImageWidth, 3888),
                         ushort(kImageHeight, 2592),
                         link(kInteropIfd, 2),
                         rational(kPlaneXRes, 3888000, 876),
                         rational(kPlaneYRes, 2592000, 583),
                         ushort(kPlaneUnits, 2)};
    b.dirs[2].entries = {ascii(0x0001, QByteArray("R98\0", 4))};
    b.dirs[3].entries = {ushort(0x0103, 6), rational(kXRes, 180, 1)};
    b.dirs[3].thumbnail = kThumb;
    return b;
}

class ExifOrder : public ::testing::TestWithParam<bool> {
protected:
    bool motorola() const { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(ByteOrder, ExifOrder, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Motorola" : "Intel"; });

// ---- The whole walk ------------------------------------------------------------------------------

TEST(Exif, IntelAndMotorolaGiveTheSameSummary) {
    const Outcome intel = run(cameraBlock().build(false));
    const Outcome motorola = run(cameraBlock().build(true));
    ASSERT_TRUE(intel.ok) << intel.error.toStdString();
    ASSERT_TRUE(motorola.ok) << motorola.error.toStdString();
    EXPECT_EQ(describe(intel.s), describe(motorola.s));

    const ExifSummary& s = intel.s;
    EXPECT_EQ(s.cameraMake, "Canon");
    EXPECT_EQ(s.cameraModel, "Canon EOS 40D");
    EXPECT_EQ(s.dateTimeOriginal, "2008:05:30 15:56:01");
    EXPECT_EQ(s.exifVersion, "0221");
    EXPECT_EQ(s.orientation, 6);
    EXPECT_FLOAT_EQ(s.xResolution, 72);  // not the thumbnail directory's 180
    EXPECT_FLOAT_EQ(s.yResolution, 300);
    EXPECT_FLOAT_EQ(s.resolutionUnit, 0.3937007784843445f);
    EXPECT_FLOAT_EQ(s.exposureTime, 1.0f / 160);  // not the shutter speed value met after it
    EXPECT_FLOAT_EQ(s.apertureFNumber, 7.1f);     // nor the aperture values
    EXPECT_EQ(s.exposureProgram, 2);
    EXPECT_EQ(s.isoEquivalent, 400);
    EXPECT_EQ(s.compressionLevel, 3);
    EXPECT_FLOAT_EQ(s.brightness, 1.5f);  // float and double in the block's own byte order
    EXPECT_FLOAT_EQ(s.distance, 2.25f);
    EXPECT_FLOAT_EQ(s.exposureBias, -2.0f / 3);
    EXPECT_EQ(s.meteringMode, 5);
    EXPECT_EQ(s.whiteBalance, 1);
    EXPECT_EQ(s.flashUsed, 1);
    EXPECT_FLOAT_EQ(s.focalLength, 135);
    EXPECT_EQ(s.comment, "Hello world");
    EXPECT_EQ(s.exifImageWidth, 3888);
    EXPECT_FLOAT_EQ(s.focalPlaneXResolution, 3888000.0f / 876);
    EXPECT_FLOAT_EQ(s.focalPlaneYResolution, 2592000.0f / 583);
    EXPECT_FLOAT_EQ(s.focalPlaneUnits, 1);
    EXPECT_FLOAT_EQ(s.ccdWidth, 0.876f);  // 3888 px at 4438.36 px per inch
    EXPECT_EQ(s.thumbnailSection, 3);
    EXPECT_EQ(s.thumbnailLength, kThumb.size());
}

TEST_P(ExifOrder, ThumbnailPointsIntoTheSection) {
    const QByteArray section = cameraBlock().build(motorola());
    const Outcome r = run(section, {}, 7);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.s.thumbnailSection, 7);
    EXPECT_EQ(section.mid(r.s.thumbnailOffset, r.s.thumbnailLength), kThumb);
}

// ---- Failures ------------------------------------------------------------------------------------

TEST_P(ExifOrder, HeaderFaultsStopBeforeAnyValue) {
    const auto put = [this](QByteArray& s, int pos, int width, uint32_t v) {
        s.replace(pos, width, encode(width, v, motorola()));
    };
    struct Case {
        const char* name;
        std::function<void(QByteArray&)> damage;
        const char* error;  // empty: accepted
    };
    const Case cases[] = {
        {"not Exif", [](QByteArray& s) { s[5] = 'F'; }, "Incorrect Exif header"},
        {"ends in the signature", [](QByteArray& s) { s.truncate(7); }, "Incorrect Exif header"},
        {"ends before the TIFF header", [](QByteArray& s) { s.truncate(8); }, "Invalid Exif alignment marker."},
        {"mixed alignment", [](QByteArray& s) { s[9] = s[8] == 'I' ? 'M' : 'I'; }, "Invalid Exif alignment marker."},
        {"magic 43", [&](QByteArray& s) { put(s, 10, 2, 43); }, "Invalid Exif start (1)"},
        {"ends in the magic", [](QByteArray& s) { s.truncate(11); }, "Invalid Exif start (1)"},
        {"first offset 7", [&](QByteArray& s) { put(s, 12, 4, 7); }, "Suspicious offset of first IFD value"},
        {"first offset 0", [&](QByteArray& s) { put(s, 12, 4, 0); }, "Suspicious offset of first IFD value"},
        {"ends in the first offset", [](QByteArray& s) { s.truncate(15); }, "Suspicious offset of first IFD value"},
        // The TIFF data is the section less its first 8 bytes.
        {"first offset at the end of the data", [&](QByteArray& s) { put(s, 12, 4, uint32_t(s.size() - 8)); },
         "Suspicious offset of first IFD value"},
        {"first offset on the last byte: no room for a count",
         [&](QByteArray& s) { put(s, 12, 4, uint32_t(s.size() - 9)); }, "Suspicious offset of first IFD value"},
        {"first offset 0xFFFFFFFF", [&](QByteArray& s) { put(s, 12, 4, 0xFFFFFFFF); },
         "Suspicious offset of first IFD value"},
        {"first offset 8", [&](QByteArray& s) { put(s, 12, 4, 8); }, ""},
    };
    ExifSummary start;
    start.comment = "from the COM segment";
    start.flashUsed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray section = cameraBlock().build(motorola());
        c.damage(section);
        const Outcome r = run(section, start);
        EXPECT_EQ(r.error, QString::fromLatin1(c.error));
        if (*c.error) {
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(describe(r.s), describe(start));
        } else {
            EXPECT_TRUE(r.ok);
            EXPECT_EQ(r.s.cameraMake, "Canon");
        }
    }
}

// The first directory is read where the header says, not at 8: editors move it. The bytes before
// it (0xEE) read as a directory of 0xEEEE entries, too many for the block.
TEST_P(ExifOrder, FirstDirectoryIsReadWhereTheHeaderPutsIt) {
    for (const uint32_t gap : {0u, 2u, 12u, 1000u}) {
        SCOPED_TRACE(testing::Message() << "first directory at " << 8 + gap);
        Block b = cameraBlock();
        b.gap = gap;
        const QByteArray section = b.build(motorola());
        Outcome r = run(section);
        EXPECT_TRUE(r.ok) << r.error.toStdString();
        EXPECT_EQ(section.mid(r.s.thumbnailOffset, r.s.thumbnailLength), kThumb);
        ExifSummary expected = run(cameraBlock().build(motorola())).s;
        r.s.thumbnailOffset = expected.thumbnailOffset = 0;
        EXPECT_EQ(describe(r.s), describe(expected));
    }

    // An offset inside the data that names no directory is a damaged one, not a suspicious offset.
    Block b;
    b.gap = 12;
    b.firstOffset = 8;
    const Outcome r = run(b.build(motorola()));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Illegally sized directory");
}

TEST_P(ExifOrder, DirectoryFaultsEndTheWalkButKeepEarlierValues) {
    struct Case {
        const char* name;
        std::function<void(Block&)> damage;
        const char* error;
    };
    const Case cases[] = {
        {"entries past the end", [](Block& b) { b.dirs[1].rawCount = 0xFFFF; }, "Illegally sized directory"},
        {"format 13", [](Block& b) { b.dirs[1].entries.push_back(crafted(kFlash, 13, 1, 0)); },
         "Illegal format code in EXIF dir"},
        {"value past the end", [](Block& b) { b.dirs[1].entries.push_back(crafted(kModel, 2, 8, 0x7FF0)); },
         "Illegal pointer offset value in EXIF."},
        // A 32-bit offset + size would wrap to 4 and pass.
        {"offset + size wraps", [](Block& b) { b.dirs[1].entries.push_back(crafted(kModel, 2, 8, 0xFFFFFFFC)); },
         "Illegal pointer offset value in EXIF."},
        // A 32-bit count x size would wrap to 0 and look like a value inside the entry.
        {"count x size wraps", [](Block& b) { b.dirs[1].entries.push_back(crafted(kFocalLength, 5, 0x20000000, 8)); },
         "Illegal pointer offset value in EXIF."},
        {"directory links to itself", [](Block& b) { b.dirs[1].next = 1; }, "Illegal subdirectory link"},
        {"sub-directory names its parent", [](Block& b) { b.dirs[1].entries.push_back(link(kInteropIfd, 0)); },
         "Illegal subdirectory link"},
        {"loop through links and sub-directories", [](Block& b) { b.dirs[2].next = 1; }, "Illegal subdirectory link"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Block b;
        b.dirs.resize(3);
        b.dirs[0].entries = {ascii(kMake, QByteArray("Canon\0", 6)), link(kExifIfd, 1)};
        b.dirs[1].entries = {ushort(kMetering, 5), link(kInteropIfd, 2)};
        c.damage(b);
        const Outcome r = run(b.build(motorola()));
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, QString::fromLatin1(c.error));
        EXPECT_EQ(r.s.cameraMake, "Canon");
    }
}

// A link that leads out of the data loses the directory it names, and only that: the error is
// reported, the walk goes on.
TEST_P(ExifOrder, LinkOutOfTheDataLosesOnlyItsDirectory) {
    struct Case {
        const char* name;
        std::function<void(Block&)> damage;
        bool exifKept;
        bool thumbnailKept;
    };
    const auto outOfData = [](uint32_t value) {
        return [value](std::vector<Entry>& entries, uint16_t tag) {
            for (Entry& e : entries)
                if (e.tag == tag) e = crafted(tag, 4, 1, value);
        };
    };
    const Case cases[] = {
        {"EXIF link", [&](Block& b) { outOfData(0x7FFF)(b.dirs[0].entries, kExifIfd); }, false, true},
        {"EXIF link 0xFFFFFFFF", [&](Block& b) { outOfData(0xFFFFFFFF)(b.dirs[0].entries, kExifIfd); }, false, true},
        {"interoperability link", [&](Block& b) { outOfData(0x7FFF)(b.dirs[1].entries, kInteropIfd); }, true, true},
        {"link to the thumbnail directory", [](Block& b) { b.dirs[0].rawNext = 0x7FFF; }, true, false},
        {"EXIF directory's own link", [](Block& b) { b.dirs[1].rawNext = 0xFFFFFFFF; }, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Block b;
        b.dirs.resize(4);
        b.dirs[0].entries = {ascii(kMake, QByteArray("Canon\0", 6)), link(kExifIfd, 1), ushort(kOrientation, 6)};
        b.dirs[0].next = 3;
        b.dirs[1].entries = {ushort(kMetering, 5), link(kInteropIfd, 2), ushort(kWhiteBalance, 1)};
        b.dirs[2].entries = {ascii(0x0001, QByteArray("R98\0", 4))};
        b.dirs[3].thumbnail = kThumb;
        c.damage(b);
        const QByteArray section = b.build(motorola());
        const Outcome r = run(section);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.error, "Illegal subdirectory link");
        EXPECT_EQ(r.s.cameraMake, "Canon");
        EXPECT_EQ(r.s.orientation, 6);  // after the EXIF link in IFD0
        EXPECT_EQ(r.s.meteringMode, c.exifKept ? 5 : 0);
        EXPECT_EQ(r.s.whiteBalance, c.exifKept ? 1 : 0);  // after the interoperability link
        EXPECT_EQ(section.mid(r.s.thumbnailOffset, r.s.thumbnailLength), c.thumbnailKept ? kThumb : QByteArray());
    }
}

TEST_P(ExifOrder, DirectoryNamedTwiceIsNotALoop) {
    Block b;
    b.dirs.resize(3);
    b.dirs[0].entries = {link(kExifIfd, 1), link(kInteropIfd, 1)};
    b.dirs[0].next = 2;
    b.dirs[1].entries = {ulong(kImageWidth, 640)};
    b.dirs[2].entries = {link(kExifIfd, 1)};
    const Outcome r = run(b.build(motorola()));
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.error.isEmpty());
    EXPECT_EQ(r.s.exifImageWidth, 640);
}

TEST(Exif, ManyLinksToTheSameChainDoNotMultiplyTheWork) {
    // Eight directories, each naming the next one 200 times: walked in full that is 200^7 visits.
    Block b;
    b.dirs.resize(8);
    for (int d = 0; d + 1 < 8; ++d) b.dirs[d].entries.assign(200, link(kExifIfd, d + 1));
    const Outcome r = run(b.build(false));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Illegal subdirectory link");
}

// The thumbnail directory repeats picture tags with the thumbnail's values. They change nothing:
// the summary is the one of the same block without them, and an orientation of 9 there raises no
// error.
TEST_P(ExifOrder, ThumbnailDirectoryGivesOnlyTheThumbnail) {
    Block plain = cameraBlock();
    plain.dirs[3].entries = {ushort(0x0103, 6)};
    Block repeated = plain;
    repeated.dirs.resize(6);
    repeated.dirs[3].entries = {ushort(0x0103, 6),
                                ascii(kMake, QByteArray("Thumbnail maker\0", 16)),
                                ascii(kModel, QByteArray("Thumbnail model\0", 16)),
                                ushort(kOrientation, 8),
                                rational(kXRes, 180, 1),
                                rational(kYRes, 180, 1),
                                ushort(kResUnit, 3),
                                ascii(kDateTimeOriginal, QByteArray("1999:01:01 00:00:00\0", 20)),
                                rational(kFocalLength, 5, 1),
                                ushort(kImageWidth, 9999),
                                link(kExifIfd, 4)};
    repeated.dirs[3].next = 5;
    repeated.dirs[4].entries = {rational(kExposureTime, 1, 2), ushort(kIso, 3200)};
    // A third directory in the chain, with a thumbnail of its own.
    repeated.dirs[5].entries = {ushort(kOrientation, 3)};
    repeated.dirs[5].thumbnail = QByteArray::fromHex("FFD8FFD9");

    const QByteArray section = repeated.build(motorola());
    Outcome r = run(section);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_TRUE(r.error.isEmpty());
    EXPECT_EQ(section.mid(r.s.thumbnailOffset, r.s.thumbnailLength), kThumb);
    r.s.thumbnailOffset = 0;
    ExifSummary expected = run(plain.build(motorola())).s;
    expected.thumbnailOffset = 0;
    EXPECT_EQ(describe(r.s), describe(expected));
    EXPECT_EQ(r.s.orientation, 6);

    repeated.dirs[3].entries = {ushort(kOrientation, 9)};
    const Outcome undefined = run(repeated.build(motorola()));
    EXPECT_TRUE(undefined.error.isEmpty());
    EXPECT_EQ(undefined.s.orientation, 6);
}

// ---- Values --------------------------------------------------------------------------------------

struct ValueCase {
    const char* name;
    std::vector<Entry> entries;
    std::function<double(const ExifSummary&)> field;
    double expected;
    const char* error = "";
};

double iso(const ExifSummary& s) { return s.isoEquivalent; }
double orientation(const ExifSummary& s) { return s.orientation; }
double flash(const ExifSummary& s) { return s.flashUsed; }
double focal(const ExifSummary& s) { return s.focalLength; }
double exposure(const ExifSummary& s) { return s.exposureTime; }
double aperture(const ExifSummary& s) { return s.apertureFNumber; }
double ccd(const ExifSummary& s) { return s.ccdWidth; }

void checkValues(const std::vector<ValueCase>& cases, bool motorola) {
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.name);
        Block b;
        b.dirs[0].entries = c.entries;
        b.dirs[0].entries.push_back(ascii(kModel, QByteArray("after\0", 6)));
        const Outcome r = run(b.build(motorola));
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.error, QString::fromLatin1(c.error));
        EXPECT_FLOAT_EQ(float(c.field(r.s)), float(c.expected));
        EXPECT_EQ(r.s.cameraModel, "after");  // the walk went on
    }
}

TEST_P(ExifOrder, TagRules) {
    checkValues(
        {
            {"ISO speed step 1", {ushort(kIso, 1)}, iso, 200},
            {"ISO speed step 49", {ushort(kIso, 49)}, iso, 9800},
            {"ISO 50", {ushort(kIso, 50)}, iso, 50},
            {"orientation 1", {ushort(kOrientation, 1)}, orientation, 1},
            {"orientation 8", {ushort(kOrientation, 8)}, orientation, 8},
            {"orientation 9", {ushort(kOrientation, 9)}, orientation, 0, "Undefined rotation value"},
            {"orientation 0", {ushort(kOrientation, 0)}, orientation, 0, "Undefined rotation value"},
            {"flash fired", {ushort(kFlash, 0x0F)}, flash, 1},
            {"flash off, auto mode", {ushort(kFlash, 0x18)}, flash, 0},
            {"millimetre", {ushort(kPlaneUnits, 4)}, [](auto& s) { return s.focalPlaneUnits; }, 0.03937007859349251},
            {"micrometre", {ushort(kResUnit, 5)}, [](auto& s) { return s.resolutionUnit; }, 3.937007932108827e-05},
            {"unknown unit", {ushort(kResUnit, 7)}, [](auto& s) { return s.resolutionUnit; }, 0},
            {"image height above width",
             {ulong(kImageWidth, 480), ushort(kImageHeight, 640)},
             [](auto& s) { return s.exifImageWidth; },
             640},
            {"width after height",
             {ushort(kImageHeight, 480), ushort(kImageWidth, 640), ushort(kImageHeight, 10)},
             [](auto& s) { return s.exifImageWidth; },
             640},
            {"CCD width",
             {ushort(kImageWidth, 1000), ushort(kPlaneUnits, 3), rational(kPlaneXRes, 500, 1)},
             ccd,
             0.7874015569686890},
            {"CCD width without resolution", {ushort(kImageWidth, 1000), rational(kPlaneXRes, 500, 0)}, ccd, 0},
        },
        motorola());
}

TEST_P(ExifOrder, NumericFormats) {
    checkValues(
        {
            {"unsigned byte", {ubyte(kFocalLength, 200)}, focal, 200},
            {"signed byte", {sbyte(kFocalLength, -56)}, focal, -56},
            {"unsigned short", {ushort(kFocalLength, 65535)}, focal, 65535},
            {"signed short", {sshort(kFocalLength, -1)}, focal, -1},
            {"unsigned long", {ulong(kFocalLength, 0xFFFFFFFF)}, focal, 4294967295.0},
            {"signed long", {slong(kFocalLength, -5)}, focal, -5},
            {"rational", {rational(kFocalLength, 1, 3)}, focal, 1.0 / 3},
            {"signed rational", {srational(kBias, -7, 2)}, [](auto& s) { return s.exposureBias; }, -3.5},
            {"rational over 0", {rational(kFocalLength, 50, 0)}, focal, 0},
            {"signed rational over 0", {srational(kBias, -1, 0)}, [](auto& s) { return s.exposureBias; }, 0},
            {"float", {float32(kFocalLength, 1.5f)}, focal, 1.5},
            {"double", {float64(kFocalLength, -2.25)}, focal, -2.25},
            {"text is not a number", {ascii(kFocalLength, "12")}, focal, 0},
            {"first of several", {numbers(kFocalLength, 3, 2, {35, 70})}, focal, 35},
            {"rational with no components", {crafted(kFocalLength, 5, 0, 0x12345678)}, focal, 0},
            {"too large for int",
             {ulong(kWhiteBalance, 0xFFFFFFFF)},
             [](auto& s) { return s.whiteBalance; },
             double(INT_MAX)},
            {"double too large for float", {float64(kFocalLength, 1e300)}, focal, 3.4028234663852886e38},
            {"ISO far below 50", {slong(kIso, INT_MIN)}, iso, double(INT_MIN)},
        },
        motorola());
}

// A real exposure time or f-number wins over the APEX values only when it comes first; a zero one
// (a rational over 0) counts as missing.
TEST_P(ExifOrder, DerivedExposureAndAperture) {
    checkValues(
        {
            {"shutter speed alone", {srational(kShutter, 8, 1)}, exposure, 1.0 / 256},
            {"negative shutter speed", {srational(kShutter, -1, 1)}, exposure, 2},
            {"exposure time first", {rational(kExposureTime, 1, 60), srational(kShutter, 8, 1)}, exposure, 1.0 / 60},
            {"exposure time later", {srational(kShutter, 8, 1), rational(kExposureTime, 1, 60)}, exposure, 1.0 / 60},
            {"exposure time over 0", {rational(kExposureTime, 1, 0), srational(kShutter, 8, 1)}, exposure, 1.0 / 256},
            {"aperture value alone", {rational(kAperture, 4, 1)}, aperture, 4},
            {"maximum aperture first", {rational(kMaxAperture, 6, 1), rational(kAperture, 4, 1)}, aperture, 8},
            {"f-number first", {rational(kFNumber, 28, 10), rational(kAperture, 4, 1)}, aperture, 2.8},
            {"f-number later", {rational(kAperture, 4, 1), rational(kFNumber, 28, 10)}, aperture, 2.8},
        },
        motorola());
}

TEST(Exif, UserComment) {
    struct Case {
        const char* name;
        QByteArray value;
        QByteArray expected;
    };
    const Case cases[] = {
        {"ASCII, NULs, word, spaces", QByteArray("ASCII\0\0\0word   ", 15), "word"},
        {"ASCII padded with spaces", "ASCII   word", "word"},
        {"ASCII with only padding", QByteArray("ASCII\0\0\0     ", 13), ""},
        {"ASCII with text past the padding window", QByteArray("ASCII\0\0\0\0\0late", 14), ""},
        {"ASCII alone", "ASCII", ""},
        {"undefined character code", QByteArray("\0\0\0\0\0\0\0\0text", 12), ""},
        {"other character code", QByteArray("UNICODE\0h\0i\0", 12), "UNICODE"},
        {"no character code", "plain  text  ", "plain  text"},
        {"inside the entry", "ab  ", "ab"},
        {"long", QByteArray("ASCII\0\0\0", 8) + QByteArray(300, 'x'), QByteArray(199, 'x')},
        {"spaces only", QByteArray(12, ' '), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Block b;
        b.dirs[0].entries = {undefined(kUserComment, c.value)};
        const QByteArray section = b.build(false);
        const QByteArray before(section.constData(), section.size());
        const Outcome r = run(section);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.s.comment, c.expected);
        EXPECT_EQ(section, before);  // the caller's bytes stay as they were
    }

    ExifSummary start;
    start.comment = "from the COM segment";
    EXPECT_EQ(run(Block().build(false), start).s.comment, "");
}

TEST_P(ExifOrder, ThumbnailOnlyWhenWhollyInside) {
    struct Case {
        const char* name;
        std::function<void(Dir&)> setup;
        bool found;
    };
    const Case cases[] = {
        {"ends at the end of the section", [](Dir& d) { d.thumbnail = kThumb; }, true},
        {"one byte past the end",
         [](Dir& d) {
             d.thumbnail = kThumb;
             d.thumbLengthDelta = 1;
         },
         false},
        {"length 0",
         [](Dir& d) {
             d.entries = {ulong(kThumbOffset, 8), ulong(kThumbLength, 0)};
         },
         false},
        {"offset alone", [](Dir& d) { d.entries = {ulong(kThumbOffset, 8)}; }, false},
        {"offset + length wraps",
         [](Dir& d) {
             d.entries = {ulong(kThumbOffset, 0xFFFFFFFF), ulong(kThumbLength, 2)};
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Block b;
        b.dirs.resize(2);
        b.dirs[0].next = 1;
        c.setup(b.dirs[1]);
        const QByteArray section = b.build(motorola());
        const Outcome r = run(section);
        EXPECT_TRUE(r.ok);
        if (c.found) {
            EXPECT_EQ(section.mid(r.s.thumbnailOffset, r.s.thumbnailLength), kThumb);
        } else {
            EXPECT_EQ(r.s.thumbnailSection, -1);
        }
    }
}

// ---- Camera files --------------------------------------------------------------------------------

// The first APP1 segment carrying EXIF, from its first length byte on.
QByteArray exifSection(const QByteArray& jpeg) {
    qsizetype p = 2;
    while (p + 4 <= jpeg.size() && uint8_t(jpeg[p]) == 0xFF) {
        const int code = uint8_t(jpeg[p + 1]);
        const int length = (uint8_t(jpeg[p + 2]) << 8) | uint8_t(jpeg[p + 3]);
        if (code == 0xDA) break;
        if (code == 0xE1 && jpeg.mid(p + 4, 6) == QByteArray("Exif\0\0", 6)) return jpeg.mid(p + 2, length);
        p += 2 + length;
    }
    return {};
}

TEST(Exif, CameraFileIntel) {
    const QByteArray section = exifSection(testsupport::readAll(testsupport::dataPath("Canon_40D.jpg")));
    ASSERT_FALSE(section.isEmpty());
    const Outcome r = run(section, {}, 1);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    const ExifSummary& s = r.s;
    EXPECT_EQ(s.cameraMake, "Canon");
    EXPECT_EQ(s.cameraModel, "Canon EOS 40D");
    EXPECT_EQ(s.dateTimeOriginal, "2008:05:30 15:56:01");
    EXPECT_EQ(s.exifVersion, "0221");
    EXPECT_EQ(s.orientation, 1);
    EXPECT_FLOAT_EQ(s.exposureTime, 1.0f / 160);
    EXPECT_FLOAT_EQ(s.apertureFNumber, 7.1f);
    EXPECT_EQ(s.isoEquivalent, 100);
    EXPECT_FLOAT_EQ(s.focalLength, 135);
    EXPECT_EQ(s.flashUsed, 1);
    EXPECT_EQ(s.comment, "");  // 264 NUL bytes
    EXPECT_EQ(s.exifImageWidth, 100);
    EXPECT_FLOAT_EQ(s.ccdWidth, 100 * 876 / 3888000.0f);
    EXPECT_EQ(s.thumbnailSection, 1);
    EXPECT_EQ(s.thumbnailLength, 1378);
    EXPECT_TRUE(section.mid(s.thumbnailOffset, 2) == "\xFF\xD8");
}

TEST(Exif, CameraFileMotorola) {
    const QByteArray section =
        exifSection(testsupport::readAll(testsupport::dataPath("Canon_40D_photoshop_import.jpg")));
    ASSERT_FALSE(section.isEmpty());
    const Outcome r = run(section);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.s.orientation, 1);
    EXPECT_FLOAT_EQ(r.s.xResolution, 300);  // IFD0's, not the thumbnail directory's 72
    EXPECT_FLOAT_EQ(r.s.yResolution, 300);
    EXPECT_FLOAT_EQ(r.s.resolutionUnit, 1);
    EXPECT_EQ(r.s.exifImageWidth, 100);
    EXPECT_EQ(r.s.thumbnailLength, 2022);
    EXPECT_TRUE(section.mid(r.s.thumbnailOffset, 2) == "\xFF\xD8");
}

// IFD0 says orientation 1, the thumbnail directory 8: the picture is not turned.
TEST(Exif, CameraFileWithATurnedThumbnail) {
    const QByteArray section = exifSection(testsupport::readAll(testsupport::dataPath("Panasonic_DMC-FZ30.jpg")));
    ASSERT_FALSE(section.isEmpty());
    const Outcome r = run(section);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.s.orientation, 1);
    EXPECT_EQ(r.s.cameraModel, "DMC-FZ30");
    EXPECT_EQ(r.s.dateTimeOriginal, "2008:07:16 11:33:20");
    EXPECT_EQ(r.s.thumbnailLength, 1607);
}

// Blocks from real files whose first directory is not at 8.
TEST(Exif, CameraFilesWithTheFirstDirectoryElsewhere) {
    // A photo editor's block with IFD0 at 10. Its thumbnail directory is damaged and ends the walk.
    const Outcome offset10 = run(exifSection(testsupport::readAll(testsupport::dataPath("exif-ifd-offset.jpg"))));
    EXPECT_EQ(offset10.error, "Illegal pointer offset value in EXIF.");
    EXPECT_EQ(offset10.s.orientation, 1);
    EXPECT_FLOAT_EQ(offset10.s.xResolution, 200);
    EXPECT_FLOAT_EQ(offset10.s.resolutionUnit, 0.3937007784843445f);  // centimetre
    EXPECT_EQ(offset10.s.exifImageWidth, 200);

    // Canon_40D.jpg patched: its IFD0 (11 entries, 138 bytes at TIFF offset 8) copied to the end
    // of the block, the header's offset set to the copy and the segment length grown to match. The
    // bytes at 8 are set to 0xFF so that a reader going there gets nothing.
    const QByteArray original = exifSection(testsupport::readAll(testsupport::dataPath("Canon_40D.jpg")));
    ASSERT_FALSE(original.isEmpty());
    QByteArray moved = original;
    const auto tiffSize = uint32_t(moved.size() - 8);
    moved += moved.mid(8 + 8, 138);
    moved.replace(8 + 8, 138, QByteArray(138, char(0xFF)));
    moved.replace(0, 2, encode(2, uint64_t(moved.size()), true));
    moved.replace(8 + 4, 4, encode(4, tiffSize, false));
    const Outcome far = run(moved);
    ASSERT_TRUE(far.ok) << far.error.toStdString();
    EXPECT_EQ(describe(far.s), describe(run(original).s));
    EXPECT_EQ(far.s.dateTimeOriginal, "2008:05:30 15:56:01");

    const QString corpus = testsupport::corpusDir();
    if (corpus.isEmpty()) return;
    // A camera block whose IFD0 stands after everything else, at 29448.
    const Outcome nikon = run(exifSection(testsupport::readAll(corpus + "/exif-samples/tests/87_OSError.jpg")));
    EXPECT_TRUE(nikon.ok) << nikon.error.toStdString();
    EXPECT_EQ(nikon.s.cameraModel, "NIKON D70s");
    EXPECT_EQ(nikon.s.dateTimeOriginal, "2005:12:14 14:39:47");
}

// Canon_40D.jpg patched: the EXIF link in IFD0 (its tenth entry, value at TIFF offset 126) set to
// 0x7FFF0000. The date taken is lost with the EXIF directory; IFD0 and the thumbnail are not.
TEST(Exif, CameraFileWithABrokenExifLink) {
    QByteArray section = exifSection(testsupport::readAll(testsupport::dataPath("Canon_40D.jpg")));
    ASSERT_EQ(section.mid(8 + 118, 2), QByteArray("\x69\x87", 2));
    section.replace(8 + 126, 4, encode(4, 0x7FFF0000, false));
    const Outcome r = run(section);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.error, "Illegal subdirectory link");
    EXPECT_EQ(r.s.cameraModel, "Canon EOS 40D");
    EXPECT_EQ(r.s.orientation, 1);
    EXPECT_EQ(r.s.dateTimeOriginal, "");
    EXPECT_EQ(r.s.thumbnailLength, 1378);
}

// Every prefix and every single-byte corruption of a real block: the reader must stay inside the
// bytes it was given (run under the sanitizers) and never point the thumbnail outside them.
TEST(Exif, DamagedCameraBlocksStayInBounds) {
    for (const char* name : {"Canon_40D.jpg", "Canon_40D_photoshop_import.jpg"}) {
        SCOPED_TRACE(name);
        const QByteArray section = exifSection(testsupport::readAll(testsupport::dataPath(name)));
        ASSERT_FALSE(section.isEmpty());
        const auto check = [](const QByteArray& bytes) {
            const Outcome r = run(bytes);
            if (r.s.thumbnailSection >= 0) {
                ASSERT_GE(r.s.thumbnailOffset, 0);
                ASSERT_LE(r.s.thumbnailOffset + r.s.thumbnailLength, bytes.size());
            }
        };
        for (qsizetype n = 0; n < section.size(); ++n) check(section.left(n));
        for (qsizetype i = 8; i < section.size(); ++i) {
            for (char v : {'\x00', '\xFF'}) {
                QByteArray damaged(section.constData(), section.size());
                damaged[i] = v;
                check(damaged);
            }
        }
    }
}

// Every block in the corpus that reads without error names the thumbnail the manifest lists (its
// length, or none), and keeps it inside the section.
TEST(Exif, CorpusThumbnailsMatchTheManifest) {
    const QString dir = testsupport::corpusDir();
    if (dir.isEmpty()) GTEST_SKIP() << "no corpus on this machine";
    QHash<QString, qsizetype> thumbnailLength;  // path -> length, 0 for none
    for (const QByteArray& line : testsupport::readAll(dir + "/MANIFEST.tsv").split('\n')) {
        const QList<QByteArray> columns = line.split('\t');
        if (columns.size() < 6) continue;
        const QByteArray thumb = columns[5];  // "yes(1378)" or "no"
        thumbnailLength[QString::fromUtf8(columns[0])] =
            thumb.startsWith("yes(") ? thumb.mid(4, thumb.size() - 5).toLongLong() : 0;
    }
    int read = 0;
    for (const QString& file : testsupport::corpusFiles()) {
        SCOPED_TRACE(file.toStdString());
        const QByteArray section = exifSection(testsupport::readAll(file));
        if (section.isEmpty()) continue;
        const Outcome r = run(section);
        if (r.s.thumbnailSection >= 0) {
            EXPECT_LE(r.s.thumbnailOffset + r.s.thumbnailLength, section.size());
        }
        const QString name = QDir(dir).relativeFilePath(file);
        if (!r.ok || !thumbnailLength.contains(name)) continue;
        ++read;
        EXPECT_EQ(r.s.thumbnailLength, thumbnailLength[name]);
    }
    EXPECT_GT(read, 100);
}

}  // namespace

#include "iptcblock.h"

#include "bytes.h"
#include "diagnostics.h"
#include "jpegstructure.h"
#include "pictureheader.h"
#include "safewrite.h"
#include "textcodec.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>

#include <sys/stat.h>

using namespace snaplore;

namespace {

constexpr QByteArrayView kSignature("Photoshop 3.0\0", 14);
constexpr QByteArrayView kIptcResource("8BIM\x04\x04", 6);
// 1:90 with ESC % G: the datasets' text is UTF-8.
constexpr QByteArrayView kUtf8CharacterSet("\x1C\x01\x5A\x00\x03\x1B\x25\x47", 8);
// The largest dataset list a single APP13 segment holds: L = T + 28 <= 65535.
constexpr qsizetype kMaxListLength = 65535 - 28;

// Record-2 datasets that hold binary data rather than text; never transcoded.
bool isBinaryDataset(int number) {
    return number == 0 || number == 125 || (number >= 150 && number <= 154) || (number >= 200 && number <= 202) ||
           number == 224;
}

// The text fields in the order they are written.
struct TextField {
    int number;
    QString IptcBlock::*member;
    const char* name;
};
const TextField kTextFields[] = {
    {80, &IptcBlock::byline, "byline"},
    {85, &IptcBlock::bylineTitle, "byline title"},
    {110, &IptcBlock::credit, "credit"},
    {115, &IptcBlock::source, "source"},
    {5, &IptcBlock::event, "event"},
    {55, &IptcBlock::dateText, "date"},
    {60, &IptcBlock::timeText, "time"},
    {90, &IptcBlock::city, "city"},
    {95, &IptcBlock::state, "state"},
    {101, &IptcBlock::country, "country"},
    {103, &IptcBlock::transmissionReference, "transmission reference"},
    {120, &IptcBlock::caption, "caption"},
    {122, &IptcBlock::writer, "writer"},
    {105, &IptcBlock::headline, "headline"},
    {40, &IptcBlock::instructions, "instructions"},
    {116, &IptcBlock::copyright, "copyright"},
    {10, &IptcBlock::rating, "rating"},
    {15, &IptcBlock::category, "category"},
    {92, &IptcBlock::location, "location"},
};

const TextField* textField(int number) {
    for (const TextField& f : kTextFields)
        if (f.number == number) return &f;
    return nullptr;
}

// Walks whole datasets (1C rr nn LLLL data) of a buffer; stops at the first that is not well formed.
template <typename F>
void forEachDataset(QByteArrayView data, F&& visit) {
    const uint8_t* d = bytes::u8(data);
    qsizetype pos = 0;
    while (data.size() - pos >= 5) {
        if (d[pos] != 0x1C) break;
        const int record = d[pos + 1];
        const int number = d[pos + 2];
        const qsizetype length = bytes::be16(d + pos + 3);
        if (length & 0x8000) break;  // the extended length form is not used by anyone we read
        if (length > data.size() - pos - 5) break;
        visit(record, number, data.sliced(pos, 5 + length), data.sliced(pos + 5, length));
        pos += 5 + length;
    }
}

bool appendDataset(QByteArray& out, int record, int number, const QByteArray& value) {
    if (value.size() > 0x7FFF) return false;  // larger values would need the extended length form
    out.append(char(0x1C));
    out.append(char(record));
    out.append(char(number));
    bytes::putBe16(out, uint16_t(value.size()));
    out.append(value);
    return true;
}

// Removes every 1:90 dataset from a run of record-1 datasets.
QByteArray withoutCharacterSet(const QByteArray& records) {
    QByteArray out;
    forEachDataset(records, [&](int record, int number, QByteArrayView whole, QByteArrayView) {
        if (!(record == 1 && number == 90)) out.append(whole);
    });
    return out;
}

bool declaresUtf8(const QByteArray& records) {
    bool utf8 = false;
    forEachDataset(records, [&](int record, int number, QByteArrayView, QByteArrayView value) {
        if (record == 1 && number == 90) utf8 = value == QByteArrayView("\x1B\x25\x47", 3);
    });
    return utf8;
}

bool declaresCharacterSet(const QByteArray& records) {
    bool found = false;
    forEachDataset(records, [&](int record, int number, QByteArrayView, QByteArrayView) {
        found = found || (record == 1 && number == 90);
    });
    return found;
}

int leadingNumber(const QString& text, qsizetype from, qsizetype count) { return text.mid(from, count).toInt(); }

}  // namespace

int IptcBlock::ReadIptcSegment(QIODevice& file) {
    for (;;) {
        char head[4];
        if (file.read(head, 4) != 4) break;
        const int code = uint8_t(head[1]);
        const qsizetype length = (uint8_t(head[2]) << 8) | uint8_t(head[3]);
        if (length & 1) oddLengthSeen = true;
        if (code == 0xED) {
            if (length < 16) break;
            const QByteArray signature = file.read(14);
            if (signature != kSignature) break;
            HasPhotoshopSegment = true;
            const QByteArray payload = file.read(length - 16);
            // Image resources: "8BIM", id, padded Pascal name, 4-byte size, data padded to even.
            qsizetype pos = 0;
            if (pendingNeeded_ > 0) {
                // The IPTC resource of the previous segment continues here.
                const qsizetype take = std::min(pendingNeeded_, payload.size());
                pendingResource_.append(payload.first(take));
                pendingNeeded_ -= take;
                pos = take;
                if (pendingNeeded_ == 0) {
                    ParseDatasetList(pendingResource_);
                    pendingResource_.clear();
                }
            }
            const qsizetype at = payload.indexOf(kIptcResource, pos);
            if (at >= 0) {
                const uint8_t* d = bytes::u8(payload);
                qsizetype p = at + 6;
                if (p < payload.size()) {
                    const qsizetype nameLength = (1 + d[p] + 1) & ~qsizetype(1);
                    p += nameLength;
                    if (bytes::fits(payload.size(), p, 4)) {
                        const qsizetype size = bytes::be32(d + p);
                        p += 4;
                        const qsizetype available = payload.size() - p;
                        if (size <= available) {
                            ParseDatasetList(QByteArrayView(payload).sliced(p, size));
                        } else {
                            pendingResource_ = payload.sliced(p);
                            pendingNeeded_ = size - available;
                        }
                    }
                }
            }
            break;
        }
        if (code == 0xDA || length < 2) break;
        if (!file.skip(length - 2)) break;
    }
    return 1;
}

void IptcBlock::ParseDatasetList(QByteArrayView list) {
    struct Raw {
        int number;
        QByteArrayView whole, value;
    };
    std::vector<Raw> record2;
    forEachDataset(list, [&](int record, int number, QByteArrayView whole, QByteArrayView value) {
        if (value.isEmpty()) return;  // an empty value: nothing to keep
        if (record == 2)
            record2.push_back({number, whole, value});
        else if (record < 2)
            otherRecordsBefore.append(whole);
        else
            otherRecordsAfter.append(whole);
    });
    // A dataset that is not well formed ends the list; one that does not start 1C ends it too.

    // Decide how the text is stored: the character-set dataset decides; without one, valid UTF-8 is
    // taken as UTF-8 and anything else as Windows-1252.
    bool utf8 = declaresUtf8(otherRecordsBefore);
    bool anyNonAscii = false;
    if (!utf8) {
        bool valid = true;
        for (const Raw& r : record2) {
            if (isBinaryDataset(r.number)) continue;
            if (!text::isAscii(r.value)) {
                anyNonAscii = true;
                valid = valid && text::isValidUtf8(r.value);
            }
        }
        utf8 = valid && !declaresCharacterSet(otherRecordsBefore);
    } else {
        for (const Raw& r : record2)
            if (!isBinaryDataset(r.number) && !text::isAscii(r.value)) anyNonAscii = true;
    }
    if (anyNonAscii) sourceEncoding_ = utf8 ? TextEncoding::Utf8 : TextEncoding::Windows1252;
    auto decode = [utf8](QByteArrayView v) { return utf8 ? QString::fromUtf8(v) : text::fromWindows1252(v); };

    for (const Raw& r : record2) {
        if (const TextField* f = textField(r.number)) {
            this->*(f->member) = decode(r.value);
            if (r.number == 55 || r.number == 60) setDateTimeFromTexts();
        } else if (r.number == 20) {
            supplementalCategories.append(decode(r.value));
        } else if (r.number == 25) {
            people.append(decode(r.value));
        } else if (r.number == 224) {
            thumbnailJpeg_ = r.value.toByteArray();
            thumbnailImage_ = QImage();
            thumbnailDecoded_ = false;
            thumbnailReplaced_ = false;
        } else {
            qCDebug(lcIptc, "Unknown Type %d", r.number);
            UnknownDatasets.append(r.whole);
        }
    }
}

void IptcBlock::setDateTimeFromTexts() {
    if (dateText.isEmpty() || timeText.isEmpty()) return;
    const QDate date(leadingNumber(dateText, 0, 4), leadingNumber(dateText, 4, 2), leadingNumber(dateText, 6, 2));
    const QTime time(leadingNumber(timeText, 0, 2), leadingNumber(timeText, 2, 2), leadingNumber(timeText, 4, 2));
    dateTime = date.isValid() && time.isValid() ? QDateTime(date, time) : QDateTime();
}

void IptcBlock::RefreshDateTexts() {
    if (!dateTime.isValid()) return;
    const QString date = dateTime.toString(QStringLiteral("yyyyMMdd"));
    const QString time = dateTime.toString(QStringLiteral("HHmmss"));
    if (dateText != date) dateText = date;
    // Keep a zone suffix ("+0200") that came with an unchanged time.
    if (timeText.left(6) != time) timeText = time;
}

QImage IptcBlock::thumbnail() const {
    if (!thumbnailDecoded_) {
        thumbnailDecoded_ = true;
        if (!thumbnailJpeg_.isEmpty()) thumbnailImage_.loadFromData(thumbnailJpeg_, "JPEG");
    }
    return thumbnailImage_;
}

bool IptcBlock::hasThumbnail() const {
    if (thumbnailDecoded_ || thumbnailJpeg_.isEmpty()) return !thumbnailImage_.isNull();
    // Reading the JPEG header is enough to know; the pixels are decoded when drawn.
    QBuffer buffer(const_cast<QByteArray*>(&thumbnailJpeg_));
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer, "jpeg").size().isValid();
}

void IptcBlock::setThumbnail(const QImage& image) {
    thumbnailImage_ = image;
    thumbnailDecoded_ = true;
    thumbnailReplaced_ = true;
    thumbnailJpeg_.clear();
}

QByteArray IptcBlock::BuildDatasetList(WriteError* error) const {
    if (error) *error = WriteError::None;
    const bool utf8 = [&] {
        for (const TextField& f : kTextFields)
            if (!text::isAscii(this->*(f.member))) return true;
        for (const QStringList* list : {&supplementalCategories, &people})
            for (const QString& s : *list)
                if (!text::isAscii(s)) return true;
        return false;
    }();

    QByteArray body;
    bool fits = true;
    if (utf8) {
        body = withoutCharacterSet(otherRecordsBefore);
        body.append(kUtf8CharacterSet);
    } else {
        body = otherRecordsBefore;
    }
    for (const TextField& f : kTextFields) {
        const QString& value = this->*(f.member);
        if (!value.isEmpty()) fits = appendDataset(body, 2, f.number, value.toUtf8()) && fits;
    }
    for (const QString& s : supplementalCategories)
        if (!s.isEmpty()) fits = appendDataset(body, 2, 20, s.toUtf8()) && fits;
    for (const QString& s : people)
        if (!s.isEmpty()) fits = appendDataset(body, 2, 25, s.toUtf8()) && fits;

    QByteArray thumb;
    if (thumbnailReplaced_) {
        if (!thumbnailImage_.isNull()) {
            QBuffer buffer(&thumb);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "jpeg");
            if (!writer.write(thumbnailImage_)) thumb.clear();
        }
    } else if (!thumbnailJpeg_.isEmpty()) {
        // The stored thumbnail goes back unchanged when it is a picture at all.
        QBuffer buffer(const_cast<QByteArray*>(&thumbnailJpeg_));
        buffer.open(QIODevice::ReadOnly);
        if (QImageReader(&buffer, "jpeg").canRead()) thumb = thumbnailJpeg_;
    }

    QByteArray tail;
    if (utf8 && sourceEncoding_ == TextEncoding::Windows1252) {
        // The file is going to declare UTF-8: text datasets we keep without reading them were
        // Windows-1252 and must follow, or other programs would show them garbled.
        forEachDataset(UnknownDatasets, [&](int, int number, QByteArrayView whole, QByteArrayView value) {
            if (isBinaryDataset(number) || text::isAscii(value))
                tail.append(whole);
            else
                fits = appendDataset(tail, 2, number, text::fromWindows1252(value).toUtf8()) && fits;
        });
    } else {
        tail = UnknownDatasets;
    }
    tail.append(otherRecordsAfter);

    if (!fits) {
        if (error) *error = WriteError::TooLarge;
        return {};
    }
    // The thumbnail can be made again; it is the first thing to give up when the segment is full.
    if (!thumb.isEmpty() && body.size() + tail.size() + 5 + thumb.size() + 1 <= kMaxListLength &&
        thumb.size() <= 0x7FFF)
        appendDataset(body, 2, 224, thumb);
    body.append(tail);
    if (body.size() & 1) body.append('\0');
    if (body.size() > kMaxListLength) {
        if (error) *error = WriteError::TooLarge;
        return {};
    }
    QByteArray list;
    list.reserve(body.size() + 2);
    bytes::putBe16(list, uint16_t(body.size()));
    list.append(body);
    return list;
}

void IptcBlock::Clear() {
    for (const TextField& f : kTextFields) (this->*(f.member)).clear();
    supplementalCategories.clear();
    people.clear();
    dateTime = QDateTime();
}

void IptcBlock::Copy(const IptcBlock& other) {
    for (const TextField& f : kTextFields) this->*(f.member) = other.*(f.member);
    supplementalCategories = other.supplementalCategories;
    people = other.people;
    dateTime = other.dateTime;
}

bool IptcBlock::sameData(const IptcBlock& other) const {
    for (const TextField& f : kTextFields)
        if (this->*(f.member) != other.*(f.member)) return false;
    return supplementalCategories == other.supplementalCategories && people == other.people &&
           UnknownDatasets == other.UnknownDatasets && otherRecordsBefore == other.otherRecordsBefore &&
           otherRecordsAfter == other.otherRecordsAfter;
}

QString IptcBlock::EventTitle() const {
    if (event.isEmpty()) return QStringLiteral("Unknown");
    if (!event.contains(QLatin1String(":::")) || event.startsWith(QLatin1String("-->")))
        return dateText.mid(4, 2) + "/" + dateText.mid(6, 2) + "/" + dateText.left(4) + " " + event;
    const qsizetype arrow = event.indexOf(QLatin1String("-->"));
    const QString start = arrow < 0 ? event : event.left(arrow);
    const QString rest = arrow < 0 ? QString() : event.mid(arrow + 3);
    const qsizetype colons = rest.indexOf(QLatin1String(":::"));
    const QString end = colons < 0 ? rest : rest.left(colons);
    const QString name = colons < 0 ? QString() : rest.mid(colons + 3);
    if (start == end) return start + " " + name;
    if (start.left(2) == end.left(2) && start.right(4) == end.right(4))
        return start.left(2) + "/" + start.mid(3, 2) + "-" + end.mid(3, 2) + "/" + start.mid(6) + " " + name;
    if (start.right(4) == end.right(4)) return start.left(5) + " - " + end.left(5) + "/" + start.right(4) + " " + name;
    return start + " - " + end + " " + name;
}

WriteResult IptcBlock::WriteIptc(const QString& outputPath, SafeWriteBatch* batch, bool keepFileTimes) {
    RefreshDateTexts();

    struct stat before {};
    const bool haveTimes = ::stat(QFile::encodeName(path_).constData(), &before) == 0;
    QFile source(path_);
    if (!source.open(QIODevice::ReadOnly)) return {WriteError::OpenFailed, source.errorString()};
    const qint64 expected = source.size();
    const QByteArray data = source.readAll();
    source.close();
    if (data.size() != expected) return {WriteError::ShortRead, path_};

    const auto segments = walkJpegStructure(data);
    if (!segments) return {WriteError::NotWalkable, path_};

    WriteError buildError;
    const QByteArray list = BuildDatasetList(&buildError);
    if (buildError != WriteError::None) return {buildError, path_};
    const qsizetype total = list.size() - 2;  // T

    QByteArray segment;
    if (total > 1) {
        segment.reserve(total + 32);
        segment.append("\xFF\xED", 2);
        bytes::putBe16(segment, uint16_t(total + 28));
        segment.append(kSignature);
        segment.append("8BIM\x04\x04\x00\x00\x00\x00", 10);
        segment.append(list);
    }

    // Write the picture from the source buffer, segment by segment: every APP13 is dropped and the new
    // one takes the place of the first (or stands before the first DQT when there was no Photoshop
    // segment, and before the scan at the latest).
    qint64 written = 0;
    auto produce = [&](QFile& out) {
        bool placed = segment.isEmpty();
        bool dqtSeen = false;
        auto put = [&](QByteArrayView bytes) {
            written += bytes.size();
            return out.write(bytes.data(), bytes.size()) == bytes.size();
        };
        if (!put(QByteArrayView(data).first(2))) return false;
        for (const JpegSegmentSpan& s : *segments) {
            const bool firstDqt = s.code == 0xDB && !dqtSeen;
            if (s.code == 0xDB) dqtSeen = true;
            if (!placed && (s.code == 0xED || s.code == 0xDA || (!HasPhotoshopSegment && firstDqt))) {
                if (!put(segment)) return false;
                placed = true;
            }
            if (s.code == 0xED) continue;
            if (!put(QByteArrayView(data).sliced(s.start, s.end - s.start))) return false;
        }
        return true;
    };

    // What the new file must read back as: exactly the list that was built.
    IptcBlock expectedBlock;
    expectedBlock.ParseDatasetList(QByteArrayView(list).sliced(2));
    auto verify = [&](const QString& tempPath) -> WriteResult {
        QFile check(tempPath);
        if (!check.open(QIODevice::ReadOnly) || check.size() != written)
            return {WriteError::VerifyFailed, tempPath};
        PictureHeader header;
        JpegSectionReader reader;
        IptcBlock actual;
        if (!WalkPictureHeader(check, check.size(), reader, actual, header) ||
            !actual.sameData(expectedBlock) || actual.thumbnailJpeg() != expectedBlock.thumbnailJpeg())
            return {WriteError::VerifyFailed, tempPath};
        return {};
    };

    SafeWriteOptions options;
    options.timesFrom = path_;
    options.keepTimes = keepFileTimes;
    if (haveTimes) options.timesBefore = before;
    options.batch = batch;
    const WriteResult result = safeWrite(outputPath.isEmpty() ? path_ : outputPath, produce, verify, options);
    if (result && outputPath.isEmpty() && !batch) {
        // The block now describes the file as written.
        UnknownDatasets = expectedBlock.UnknownDatasets;
        otherRecordsBefore = expectedBlock.otherRecordsBefore;
        otherRecordsAfter = expectedBlock.otherRecordsAfter;
        sourceEncoding_ = expectedBlock.sourceEncoding_;
        HasPhotoshopSegment = total > 1;
        if (!thumbnailReplaced_ && expectedBlock.thumbnailJpeg_.isEmpty()) {
            thumbnailJpeg_.clear();
            thumbnailImage_ = QImage();
        }
    }
    return result;
}

bool IptcBlock::hasChanges() const { return true; }

void IptcBlock::ApplyChangesTo(IptcBlock& fresh) const { fresh.Copy(*this); }

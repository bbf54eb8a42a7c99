#include "iptcblock.h"

#include "bytes.h"
#include "diagnostics.h"
#include "headersplice.h"
#include "iptcdatasets.h"
#include "jpegsection.h"
#include "jpegstructure.h"
#include "mpfindex.h"
#include "photoshopresources.h"
#include "picturechange.h"
#include "pictureheader.h"
#include "safewrite.h"
#include "textcodec.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#ifndef SNAPLORE_NO_PIXELS
#include <QImageReader>
#include <QImageWriter>
#endif

#include <sys/stat.h>

using namespace snaplore;

namespace {

constexpr QByteArrayView kSignature = psd::kSignature;
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

// The text fields of the XMP mapping, with the dataset each mirrors.
struct XmpText {
    xmp::Field field;
    QString IptcBlock::*member;
    QString xmp::Values::*value;
    int number;
};
const XmpText kXmpTexts[] = {
    {xmp::Field::Event, &IptcBlock::event, &xmp::Values::event, 5},
    {xmp::Field::Headline, &IptcBlock::headline, &xmp::Values::headline, 105},
    {xmp::Field::Caption, &IptcBlock::caption, &xmp::Values::caption, 120},
    {xmp::Field::Location, &IptcBlock::location, &xmp::Values::location, 92},
    {xmp::Field::City, &IptcBlock::city, &xmp::Values::city, 90},
    {xmp::Field::State, &IptcBlock::state, &xmp::Values::state, 95},
    {xmp::Field::Country, &IptcBlock::country, &xmp::Values::country, 101},
    {xmp::Field::Urgency, &IptcBlock::rating, &xmp::Values::urgency, 10},
    {xmp::Field::Instructions, &IptcBlock::instructions, &xmp::Values::instructions, 40},
    {xmp::Field::Byline, &IptcBlock::byline, &xmp::Values::byline, 80},
    {xmp::Field::BylineTitle, &IptcBlock::bylineTitle, &xmp::Values::bylineTitle, 85},
    {xmp::Field::Credit, &IptcBlock::credit, &xmp::Values::credit, 110},
    {xmp::Field::Source, &IptcBlock::source, &xmp::Values::source, 115},
    {xmp::Field::Copyright, &IptcBlock::copyright, &xmp::Values::copyright, 116},
    {xmp::Field::Writer, &IptcBlock::writer, &xmp::Values::writer, 122},
    {xmp::Field::Category, &IptcBlock::category, &xmp::Values::category, 15},
};
struct XmpList {
    xmp::Field field;
    QStringList IptcBlock::*member;
    QStringList xmp::Values::*value;
    int number;
};
const XmpList kXmpLists[] = {
    {xmp::Field::People, &IptcBlock::people, &xmp::Values::people, 25},
    {xmp::Field::SupplementalCategories, &IptcBlock::supplementalCategories, &xmp::Values::supplementalCategories, 20},
};

constexpr int kFieldCount = int(sizeof(kTextFields) / sizeof(kTextFields[0]));

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
    forEachDataset(records, [&](int record, int number, QByteArrayView whole, QByteArrayView, bool) {
        if (!(record == 1 && number == 90)) out.append(whole);
    });
    return out;
}

bool declaresUtf8(const QByteArray& records) {
    bool utf8 = false;
    forEachDataset(records, [&](int record, int number, QByteArrayView, QByteArrayView value, bool) {
        if (record == 1 && number == 90) utf8 = value == QByteArrayView("\x1B\x25\x47", 3);
    });
    return utf8;
}

bool declaresCharacterSet(const QByteArray& records) {
    bool found = false;
    forEachDataset(records, [&](int record, int number, QByteArrayView, QByteArrayView, bool) {
        found = found || (record == 1 && number == 90);
    });
    return found;
}

// A kept record-2 dataset, in UTF-8 when the list switches to it from Windows-1252.
bool appendKept(QByteArray& out, QByteArrayView whole, int number, QByteArrayView value, bool extended,
                bool transcode) {
    if (!transcode || extended || isBinaryDataset(number) || text::isAscii(value)) {
        out.append(whole);
        return true;
    }
    return appendDataset(out, 2, number, text::fromWindows1252(value).toUtf8());
}

QByteArray transcodedRun(const QByteArray& run, bool transcode, bool* fits) {
    if (!transcode) return run;
    QByteArray out;
    forEachDataset(run, [&](int record, int number, QByteArrayView whole, QByteArrayView value, bool extended) {
        if (record != 2)
            out.append(whole);
        else
            *fits = appendKept(out, whole, number, value, extended, true) && *fits;
    });
    return out;
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
            // Resources may continue from one Photoshop segment into the next: join them.
            psPending_.append(file.read(length - 16));
            consumeResources();
            break;
        }
        if (code == 0xDA || length < 2) break;
        if (!file.skip(length - 2)) break;
    }
    return 1;
}

void IptcBlock::consumeResources() {
    const uint8_t* d = bytes::u8(psPending_);
    qsizetype pos = 0;
    while (psPending_.size() - pos >= 4) {
        if (!psd::isResourceType(QByteArrayView(psPending_).sliced(pos, 4))) {
            // Not a resource record where one should start: look for the IPTC resource further on.
            const qsizetype at = psPending_.indexOf(kIptcResource, pos + 1);
            if (at < 0) {
                pos = std::max(pos, psPending_.size() - qsizetype(kIptcResource.size()) + 1);
                break;
            }
            pos = at;
            continue;
        }
        if (psPending_.size() - pos < 7) break;
        const int id = bytes::be16(d + pos + 4);
        const qsizetype nameBytes = (1 + d[pos + 6] + 1) & ~qsizetype(1);
        const qsizetype sizeAt = pos + 6 + nameBytes;
        if (!bytes::fits(psPending_.size(), sizeAt, 4)) break;  // continues in the next segment
        const qsizetype size = bytes::be32(d + sizeAt);
        const qsizetype dataAt = sizeAt + 4;
        if (size > psPending_.size() - dataAt) break;  // continues in the next segment
        if (id == psd::kIptcId) {
            const QByteArrayView data = QByteArrayView(psPending_).sliced(dataAt, size);
            if (iptcResources_++ == 0) originalList_ = data.toByteArray();
            ParseDatasetList(data);
        } else if (id == psd::kIptcDigestId && !digest_) {
            digest_ = QByteArrayView(psPending_).sliced(dataAt, size).toByteArray();
        }
        pos = dataAt + size + (size & 1);
    }
    psPending_.remove(0, std::min(pos, psPending_.size()));
}

void IptcBlock::ParseDatasetList(QByteArrayView list) {
    struct Raw {
        int number;
        QByteArrayView whole, value;
        bool extended;
    };
    std::vector<Raw> record2;
    forEachDataset(list, [&](int record, int number, QByteArrayView whole, QByteArrayView value, bool extended) {
        raw_.push_back({record, number, extended, whole.toByteArray(), whole.size() - value.size()});
        if (record == 2)
            record2.push_back({number, whole, value, extended});
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
            if (isBinaryDataset(r.number) || r.extended) continue;
            if (!text::isAscii(r.value)) {
                anyNonAscii = true;
                valid = valid && text::isValidUtf8(r.value);
            }
        }
        utf8 = valid && !declaresCharacterSet(otherRecordsBefore);
    } else {
        for (const Raw& r : record2)
            if (!isBinaryDataset(r.number) && !r.extended && !text::isAscii(r.value)) anyNonAscii = true;
    }
    if (anyNonAscii) sourceEncoding_ = utf8 ? TextEncoding::Utf8 : TextEncoding::Windows1252;
    auto decode = [utf8](QByteArrayView v) { return utf8 ? QString::fromUtf8(v) : text::fromWindows1252(v); };

    for (const Raw& r : record2) {
        const TextField* f = r.extended ? nullptr : textField(r.number);
        if (f) {
            if (r.value.isEmpty()) continue;  // an empty dataset leaves the field as it is
            this->*(f->member) = decode(r.value);
            if (r.number == 55 || r.number == 60) setDateTimeFromTexts();
        } else if (!r.extended && r.number == 20) {
            if (!r.value.isEmpty()) supplementalCategories.append(decode(r.value));
        } else if (!r.extended && r.number == 25) {
            if (!r.value.isEmpty()) people.append(decode(r.value));
        } else if (!r.extended && r.number == 224) {
            if (r.value.isEmpty()) continue;
            thumbnailJpeg_ = r.value.toByteArray();
#ifndef SNAPLORE_NO_PIXELS
            thumbnailImage_ = QImage();
#endif
            thumbnailDecoded_ = false;
            thumbnailReplaced_ = false;
        } else {
            qCDebug(lcIptc, "Unknown Type %d", r.number);
            UnknownDatasets.append(r.whole);
        }
    }
    snapshotAsRead();
}

namespace {

// True when a packet read back gives every mapped field as `values` do.
bool sameXmpValues(const xmp::Values& back, const xmp::Values& values) {
    for (const XmpText& f : kXmpTexts)
        if (back.*(f.value) != values.*(f.value)) return false;
    for (const XmpList& f : kXmpLists)
        if (back.*(f.value) != values.*(f.value)) return false;
    return back.dateText == values.dateText && back.timeText == values.timeText;
}

}  // namespace

xmp::Values IptcBlock::xmpValues() const {
    xmp::Values values;
    for (const XmpText& f : kXmpTexts) values.*(f.value) = this->*(f.member);
    for (const XmpList& f : kXmpLists) values.*(f.value) = this->*(f.member);
    values.dateText = dateText;
    values.timeText = timeText;
    return values;
}

void IptcBlock::ResolveXmp() {
    // The walk is over: resource bytes still waiting for a next Photoshop segment will not see one.
    psPending_ = QByteArray();
    xmpFrom_ = 0;
    xmpStale_.clear();
    xmpState_ = XmpState::None;
    // A block that only checks the IPTC data does not parse the packet at all: parsing is most of
    // what XMP costs a save.
    if (xmpPacket_.isEmpty() || !readsXmp_) return;
    const std::optional<xmp::Packet> packet = xmp::Packet::parse(xmpPacket_);
    if (!packet) {
        xmpState_ = XmpState::Unreadable;
        return;
    }
    xmpState_ = XmpState::Read;
    const bool digestMatches =
        digest_ && *digest_ == QCryptographicHash::hash(originalList_, QCryptographicHash::Md5);
    if (digest_ && !digestMatches) return;  // IPTC was changed after the XMP: it holds
    const xmp::Values values = packet->values();
    // With a matching digest XMP holds where it has the property; without one, only where IPTC is empty.
    const auto takes = [&](xmp::Field field, bool iptcEmpty) {
        return packet->has(field) && (digestMatches || iptcEmpty);
    };
    const auto taken = [&](xmp::Field field, bool differs, std::initializer_list<int> numbers) {
        xmpFrom_ |= 1u << int(field);
        if (differs) xmpStale_.insert(xmpStale_.end(), numbers);
    };
    for (const XmpText& f : kXmpTexts) {
        QString& mine = this->*(f.member);
        if (!takes(f.field, mine.isEmpty())) continue;
        taken(f.field, mine != values.*(f.value), {f.number});
        mine = values.*(f.value);
    }
    for (const XmpList& f : kXmpLists) {
        QStringList& mine = this->*(f.member);
        if (!takes(f.field, mine.isEmpty())) continue;
        taken(f.field, mine != values.*(f.value), {f.number});
        mine = values.*(f.value);
    }
    // XMP often holds the same moment with less: no zone, or no time. That is no other date.
    const bool sameDate = !dateText.isEmpty() && values.dateText == dateText &&
                          (values.timeText.isEmpty() || values.timeText == timeText ||
                           (values.timeText.size() == 6 && timeText.startsWith(values.timeText)));
    if (!sameDate && takes(xmp::Field::DateCreated, dateText.isEmpty())) {
        taken(xmp::Field::DateCreated, dateText != values.dateText || timeText != values.timeText, {55, 60});
        dateText = values.dateText;
        timeText = values.timeText;
        dateTime = QDateTime();
        setDateTimeFromTexts();
    }
    snapshotAsRead();
}

void IptcBlock::snapshotAsRead() {
    originalText_.clear();
    for (const TextField& f : kTextFields) originalText_.append(this->*(f.member));
    originalSupplemental_ = supplementalCategories;
    originalPeople_ = people;
    originalDateTime_ = dateTime;
    originalUnknown_ = UnknownDatasets;
    originalBefore_ = otherRecordsBefore;
    originalAfter_ = otherRecordsAfter;
}

std::vector<int> IptcBlock::changedFields() const {
    std::vector<int> changed;
    for (int i = 0; i < kFieldCount; ++i) {
        const QString original = i < originalText_.size() ? originalText_[i] : QString();
        if (this->*(kTextFields[i].member) != original) changed.push_back(kTextFields[i].number);
    }
    if (supplementalCategories != originalSupplemental_) changed.push_back(20);
    if (people != originalPeople_) changed.push_back(25);
    if (UnknownDatasets != originalUnknown_) changed.push_back(-1);
    if (otherRecordsBefore != originalBefore_) changed.push_back(-2);
    if (otherRecordsAfter != originalAfter_) changed.push_back(-3);
    return changed;
}

bool IptcBlock::fieldsChanged() const { return !changedFields().empty() || dateTime != originalDateTime_; }

bool IptcBlock::hasChanges() const { return fieldsChanged(); }

void IptcBlock::ApplyChangesTo(IptcBlock& fresh) const {
    for (int i = 0; i < kFieldCount; ++i) {
        const QString original = i < originalText_.size() ? originalText_[i] : QString();
        if (this->*(kTextFields[i].member) != original) fresh.*(kTextFields[i].member) = this->*(kTextFields[i].member);
    }
    if (supplementalCategories != originalSupplemental_) fresh.supplementalCategories = supplementalCategories;
    if (people != originalPeople_) fresh.people = people;
    if (dateTime != originalDateTime_) fresh.dateTime = dateTime;
    if (UnknownDatasets != originalUnknown_) fresh.UnknownDatasets = UnknownDatasets;
    if (otherRecordsBefore != originalBefore_) fresh.otherRecordsBefore = otherRecordsBefore;
    if (otherRecordsAfter != originalAfter_) fresh.otherRecordsAfter = otherRecordsAfter;
#ifndef SNAPLORE_NO_PIXELS
    if (thumbnailReplaced_) fresh.setThumbnail(thumbnailImage_);
#endif
}

void IptcBlock::setDateTimeFromTexts() {
    if (dateText.isEmpty() || timeText.isEmpty()) return;
    const QDate date(leadingNumber(dateText, 0, 4), leadingNumber(dateText, 4, 2), leadingNumber(dateText, 6, 2));
    const QTime time(leadingNumber(timeText, 0, 2), leadingNumber(timeText, 2, 2), leadingNumber(timeText, 4, 2));
    dateTime = date.isValid() && time.isValid() ? QDateTime(date, time) : QDateTime();
}

void IptcBlock::RefreshDateTexts() {
    // Only a date that was changed is written anew: what another program stored (a date without a
    // time, a time with a zone) stays as it was.
    if (!dateTime.isValid() || dateTime == originalDateTime_) return;
    const QString date = dateTime.toString(QStringLiteral("yyyyMMdd"));
    const QString time = dateTime.toString(QStringLiteral("HHmmss"));
    if (dateText != date) dateText = date;
    // Keep a zone suffix ("+0200") that came with an unchanged time.
    if (timeText.left(6) != time) timeText = time;
}

#ifndef SNAPLORE_NO_PIXELS
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
#else
// Without the image code the header tells as much: the decoder reads no more to know the size.
bool IptcBlock::hasThumbnail() const { return jpegFrameSize(thumbnailJpeg_).isValid(); }
#endif

QByteArray IptcBlock::BuildDatasetList(WriteError* error) const {
    QString field;
    const QByteArray body = buildList(error, &field);
    if (error && *error != WriteError::None) return {};
    if (body.size() > 0xFFFF) {
        if (error) *error = WriteError::TooLarge;
        return {};
    }
    QByteArray list;
    list.reserve(body.size() + 2);
    bytes::putBe16(list, uint16_t(body.size()));
    list.append(body);
    return list;
}

QByteArray IptcBlock::buildList(WriteError* error, QString* tooLarge, bool switchToUtf8, bool* transcoded) const {
    if (error) *error = WriteError::None;
    if (transcoded) *transcoded = false;
    // Nothing changed: the data goes back exactly as it was read.
    if (!fieldsChanged() && iptcResources_ == 1) return originalList_;

    std::vector<int> changedList = changedFields();
    // Values XMP gave in place of the stored datasets go into IPTC with the change, so both agree.
    changedList.insert(changedList.end(), xmpStale_.begin(), xmpStale_.end());
    const bool dateChanged = dateTime != originalDateTime_;
    auto changed = [&](int number) {
        return std::find(changedList.begin(), changedList.end(), number) != changedList.end();
    };

    // The text of changed fields decides whether the list must declare UTF-8.
    bool newNonAscii = false;
    for (const TextField& f : kTextFields)
        if (changed(f.number) && !text::isAscii(this->*(f.member))) newNonAscii = true;
    if (changed(20))
        for (const QString& s : supplementalCategories) newNonAscii = newNonAscii || !text::isAscii(s);
    if (changed(25))
        for (const QString& s : people) newNonAscii = newNonAscii || !text::isAscii(s);
    const bool declaredUtf8 = declaresUtf8(otherRecordsBefore);
    const bool addUtf8 = (newNonAscii || switchToUtf8) && !declaredUtf8;
    // Text kept from a Windows-1252 list must follow it into UTF-8, or other programs would show it
    // garbled.
    const bool transcode = addUtf8 && sourceEncoding_ == TextEncoding::Windows1252;
    Q_UNUSED(dateChanged);

    bool fits = true;
    auto fail = [&](const char* name) {
        if (fits && tooLarge) *tooLarge = QString::fromLatin1(name);
        fits = false;
    };

    // Records before 2.
    QByteArray front;
    bool frontDone = false;
    auto putFront = [&] {
        if (frontDone) return;
        frontDone = true;
        QByteArray run = otherRecordsBefore;
        if (addUtf8) run = withoutCharacterSet(run) + QByteArray(kUtf8CharacterSet.data(), kUtf8CharacterSet.size());
        front.append(run);
    };

    QByteArray thumb;
    const bool writeThumb = thumbnailReplaced_;
#ifndef SNAPLORE_NO_PIXELS
    if (writeThumb && !thumbnailImage_.isNull()) {
        QBuffer buffer(&thumb);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        if (!writer.write(thumbnailImage_)) thumb.clear();
    }
#endif

    // Record 2, in the order read: a changed field takes the place of its first dataset.
    QByteArray middle;
    QByteArray back;
    std::vector<int> placed;
    auto isPlaced = [&](int key) { return std::find(placed.begin(), placed.end(), key) != placed.end(); };
    auto putField = [&](int number) {
        placed.push_back(number);
        if (const TextField* f = textField(number)) {
            const QString& value = this->*(f->member);
            if (!value.isEmpty() && !appendDataset(middle, 2, number, value.toUtf8())) fail(f->name);
        } else if (number == 20 || number == 25) {
            for (const QString& s : number == 20 ? supplementalCategories : people)
                if (!s.isEmpty() && !appendDataset(middle, 2, number, s.toUtf8())) fail(number == 20 ? "category" : "people");
        } else if (number == 224) {
            if (!thumb.isEmpty() && thumb.size() <= 0x7FFF) appendDataset(middle, 2, 224, thumb);
        } else if (number == -1) {
            middle.append(transcodedRun(UnknownDatasets, transcode, &fits));
        }
    };
    const bool unknownChanged = changed(-1);
    for (const RawDataset& r : raw_) {
        if (r.record < 2) {
            if (changed(-2) || addUtf8)
                putFront();
            else
                front.append(r.whole);
            continue;
        }
        if (r.record > 2) {
            if (changed(-3)) {
                if (!isPlaced(-3)) {
                    placed.push_back(-3);
                    back.append(otherRecordsAfter);
                }
            } else {
                back.append(r.whole);
            }
            continue;
        }
        const QByteArrayView value = QByteArrayView(r.whole).sliced(r.valueOffset);
        const bool known = !r.extended && (textField(r.number) || r.number == 20 || r.number == 25 || r.number == 224);
        const int key = known ? r.number : -1;
        const bool replace = key == 224 ? writeThumb : (key == -1 ? unknownChanged : changed(key));
        if (!replace) {
            if (!appendKept(middle, r.whole, r.number, value, r.extended, transcode)) fail("kept dataset");
        } else if (!isPlaced(key)) {
            putField(key);
        }
    }
    // Fields that had no dataset yet, in the order the list has always been written.
    if (!frontDone && (changed(-2) || addUtf8)) putFront();
    for (const TextField& f : kTextFields)
        if (changed(f.number) && !isPlaced(f.number)) putField(f.number);
    for (int number : {20, 25})
        if (changed(number) && !isPlaced(number)) putField(number);
    if (unknownChanged && !isPlaced(-1)) putField(-1);
    if (changed(-3) && !isPlaced(-3)) back.append(otherRecordsAfter);

    if (!fits) {
        if (error) *error = WriteError::TooLarge;
        return {};
    }
    QByteArray body = front + middle;
    // The thumbnail can be made again; it is the first thing to give up when the segment is full.
    if (writeThumb && !isPlaced(224) && !thumb.isEmpty() && thumb.size() <= 0x7FFF &&
        body.size() + back.size() + 5 + thumb.size() + 1 <= kMaxListLength)
        appendDataset(body, 2, 224, thumb);
    body.append(back);
    if (body.size() > kMaxListLength && isPlaced(224) && !thumb.isEmpty()) {
        // Drop the thumbnail that was put in place of the old one.
        QByteArray withoutThumb;
        forEachDataset(body, [&](int record, int number, QByteArrayView whole, QByteArrayView, bool extended) {
            if (!(record == 2 && number == 224 && !extended)) withoutThumb.append(whole);
        });
        body = withoutThumb;
    }
    if (!addUtf8 && sourceEncoding_ == TextEncoding::Windows1252 && !declaresCharacterSet(otherRecordsBefore)) {
        // Text read as Windows-1252 because some value was not UTF-8: once that value is replaced,
        // what is left may all be valid UTF-8, and would read back as something else. Such a list
        // goes into declared UTF-8, its kept text converted, so that every value keeps its meaning.
        bool anyNonAscii = false, allUtf8 = true;
        forEachDataset(body, [&](int record, int number, QByteArrayView, QByteArrayView value, bool extended) {
            if (record != 2 || extended || isBinaryDataset(number) || text::isAscii(value)) return;
            anyNonAscii = true;
            allUtf8 = allUtf8 && text::isValidUtf8(value);
        });
        if (anyNonAscii && allUtf8) return buildList(error, tooLarge, true, transcoded);
    }
    if (transcoded) *transcoded = transcode;
    if (body.size() & 1) body.append('\0');
    if (body.size() > kMaxListLength) {
        if (error) *error = WriteError::TooLarge;
        if (tooLarge) *tooLarge = QStringLiteral("picture data");
        return {};
    }
    return body;
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

namespace {

const QString kUnknownEvent = QStringLiteral("Unknown");
// The key of a dateless event called "Unknown". It starts with a lone surrogate, which no decoded
// picture text holds, so no event's title can take it.
const QString kDatelessUnknownKey = QChar(0xDC00) + kUnknownEvent;

bool isPlainEventName(const QString& event) {
    return !event.contains(QLatin1String(":::")) || event.startsWith(QLatin1String("-->"));
}

}  // namespace

QString IptcBlock::EventKey() const {
    if (event == kUnknownEvent && dateText.trimmed().isEmpty()) return kDatelessUnknownKey;
    return EventTitle();
}

QString IptcBlock::EventTitleOfKey(const QString& key) { return key == kDatelessUnknownKey ? kUnknownEvent : key; }

QString IptcBlock::EventTitle() const {
    if (event.isEmpty()) return kUnknownEvent;
    if (isPlainEventName(event)) {
        // Another program may give the name without a date: then the name stands alone.
        if (dateText.trimmed().isEmpty()) return event;
        return dateText.mid(4, 2) + "/" + dateText.mid(6, 2) + "/" + dateText.left(4) + " " + event;
    }
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

namespace {

// The largest header (everything before the scan) a rewrite takes into memory.
constexpr qint64 kMaxHeaderBytes = 64 * 1024 * 1024;
constexpr qint64 kStreamChunk = 1024 * 1024;

struct SourceHeader {
    QByteArray bytes;  // from SOI up to the scan, perhaps a little more
    qsizetype scanStart = 0;  // where the SOS segment starts; everything from here is copied as it is
};

// Reads the source from its start until the strict walk reaches the start of scan; only the header
// is held in memory, the picture data is streamed later.
std::optional<SourceHeader> readHeader(QFile& source, qint64 size) {
    SourceHeader h;
    qint64 want = std::min<qint64>(size, 256 * 1024);
    for (;;) {
        while (h.bytes.size() < want) {
            const QByteArray more = source.read(want - h.bytes.size());
            if (more.isEmpty()) return std::nullopt;
            h.bytes.append(more);
        }
        if (auto walked = walkJpegStructure(h.bytes)) {
            h.scanStart = walked->back().start;
            return h;
        }
        if (want >= size || want >= kMaxHeaderBytes) return std::nullopt;
        want = std::min<qint64>({size, want * 4, kMaxHeaderBytes});
    }
}

}  // namespace

std::optional<IptcBlock> IptcBlock::readCurrent(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    std::optional<SourceHeader> header = readHeader(file, file.size());
    if (!header) return std::nullopt;
    QBuffer buffer(&header->bytes);
    buffer.open(QIODevice::ReadOnly);
    IptcBlock current;
    current.setReadsXmp(false);  // compared by its datasets; taken up only when merged
    PictureHeader ignored;
    JpegSectionReader reader;
    reader.setVerbose(false);
    if (!WalkPictureHeader(buffer, header->bytes.size(), reader, current, ignored)) return std::nullopt;
    return current;
}

namespace {

// Enough to tell a packet from another one: its length and a 64-bit hash of its bytes. Cheap, as it
// is taken for every picture a catalog shows.
QByteArray packetIdentity(const QByteArray& packet) {
    if (packet.isEmpty()) return {};
    QByteArray identity;
    bytes::putLe64(identity, quint64(packet.size()));
    bytes::putLe64(identity, quint64(qHash(QByteArrayView(packet), 0)));
    return identity;
}

}  // namespace

void IptcBlock::releaseXmpPacket() {
    if (xmpPacket_.isEmpty()) return;
    releasedXmp_ = packetIdentity(xmpPacket_);
    xmpPacket_ = QByteArray();
}

bool IptcBlock::readFromSameData(const IptcBlock& other) const {
    // XMP written meanwhile by another program counts as well: its values may hold on reading.
    const auto identity = [](const IptcBlock& block) {
        return block.releasedXmp_.isEmpty() ? packetIdentity(block.xmpPacket_) : block.releasedXmp_;
    };
    if (identity(*this) != identity(other) || digest_ != other.digest_) return false;
    if (raw_.size() != other.raw_.size()) return false;
    for (size_t i = 0; i < raw_.size(); ++i)
        if (raw_[i].record != other.raw_[i].record || raw_[i].whole != other.raw_[i].whole) return false;
    return true;
}

WriteResult IptcBlock::WriteIptc(const QString& outputPath, SafeWriteBatch* batch, bool keepFileTimes,
                                 PictureChange* written) {
    RefreshDateTexts();
    // The times before anything here reads the file (reading moves its access time).
    struct stat before {};
    const bool haveTimes = ::stat(QFile::encodeName(path_).constData(), &before) == 0;
    const struct stat* timesBefore = haveTimes ? &before : nullptr;
    if (!outputPath.isEmpty()) return writeLocked(outputPath, batch, keepFileTimes, nullptr, timesBefore, written);

    // The picture stays locked from this reading until the new file is in its place: another writer
    // of this program waits, and then reads what this one wrote.
    WriteResult locking;
    std::shared_ptr<PictureLock> lock = lockTarget(path_, batch, locking);
    if (!locking) return locking;
    // Changed since this block was read (by another writer, or the window's form was open while
    // another run wrote): the changes made here go onto what is there now, so nothing written
    // meanwhile is lost.
    if (std::optional<IptcBlock> current = readCurrent(path_); current && !current->readFromSameData(*this)) {
        IptcBlock merged = std::move(*current);
        merged.setReadsXmp(true);
        merged.ResolveXmp();
        ApplyChangesTo(merged);
        merged.path_ = path_;
        const WriteResult result =
            merged.writeLocked({}, batch, keepFileTimes, std::move(lock), timesBefore, written);
        if (result && !batch) *this = std::move(merged);  // now describes the file as written
        return result;
    }
    return writeLocked({}, batch, keepFileTimes, std::move(lock), timesBefore, written);
}

WriteResult IptcBlock::writeLocked(const QString& outputPath, SafeWriteBatch* batch, bool keepFileTimes,
                                   std::shared_ptr<PictureLock> lock, const struct stat* timesBefore,
                                   PictureChange* written) {
    QFile source(path_);
    if (!source.open(QIODevice::ReadOnly)) return {WriteError::OpenFailed, source.errorString()};
    const qint64 size = source.size();
    const std::optional<SourceHeader> header = readHeader(source, size);
    if (!header) {
        return {source.error() != QFileDevice::NoError ? WriteError::ShortRead : WriteError::NotWalkable, path_};
    }
    // A save that changes no field keeps every APP13 segment as it was.
    const bool changed = fieldsChanged();
    QString xmpNote;  // why the XMP data was not written in step
    SplicedHeader spliced;
    if (!changed) {
        spliced.bytes = header->bytes.first(header->scanStart);
        spliced.scanStart = header->scanStart;
    } else {
        WriteError buildError;
        QString field;
        const QByteArray body = buildList(&buildError, &field);
        if (buildError != WriteError::None) return {buildError, field.isEmpty() ? path_ : field};
        // A picture with XMP gets the fields there too, so that programs that read XMP first show what
        // was saved. A packet that does not parse is left as it was, and so is the digest.
        SpliceExtras extras;
        if (const std::optional<QByteArrayView> packetBytes = findXmpPacket(header->bytes)) {
            if (std::optional<xmp::Packet> packet = xmp::Packet::parse(*packetBytes)) {
                const xmp::Values values = xmpValues();
                packet->set(values);
                // Serialised packets are parsed again: what they read back as decides the digest.
                xmp::Values back;
                std::optional<QByteArray> fresh = packet->serializeExactly(packetBytes->size(), &back);
                if (!fresh) fresh = packet->serialize(2048, &back);
                if (fresh->size() > kMaxXmpPacket) fresh = packet->serialize(0, &back);
                if (fresh->isEmpty()) {
                    xmpNote = QStringLiteral("its XMP data could not be written and was left as it was");
                } else if (fresh->size() > kMaxXmpPacket) {
                    return {WriteError::TooLarge,
                            QStringLiteral("the XMP data would no longer fit one segment; nothing was written")};
                } else {
                    extras.xmpPacket = std::move(*fresh);
                    // XML cannot hold every character IPTC can (control characters): where the packet
                    // reads back otherwise, the digest is not renewed, so that IPTC keeps holding.
                    extras.renewDigest = sameXmpValues(back, values);
                }
            } else {
                xmpNote = QStringLiteral("its XMP data could not be read and was left as it was");
            }
        }
        std::optional<SplicedHeader> built = spliceHeader(header->bytes, body, extras);
        if (!built) return {WriteError::NotWalkable, path_};
        spliced = std::move(*built);
    }
    QByteArray& newHeader = spliced.bytes;
    const std::optional<mpf::Index>& oldIndex = spliced.oldIndex;
    const std::optional<mpf::Index>& newIndex = spliced.newIndex;

    const qint64 total = newHeader.size() + (size - header->scanStart);
    bool shortRead = false;
    auto produce = [&](QFile& out) {
        if (out.write(newHeader) != newHeader.size()) return false;
        if (!source.seek(header->scanStart)) return shortRead = true, false;
        QByteArray chunk;
        for (qint64 left = size - header->scanStart; left > 0;) {
            chunk = source.read(std::min(left, kStreamChunk));
            if (chunk.isEmpty()) return shortRead = true, false;
            if (out.write(chunk) != chunk.size()) return false;
            left -= chunk.size();
        }
        return true;
    };

    // What the new file must read back as: the header built here, and the picture data it says.
    IptcBlock expectedBlock;
    expectedBlock.setReadsXmp(false);  // what the IPTC data alone says
    {
        QBuffer buffer(&newHeader);
        buffer.open(QIODevice::ReadOnly);
        PictureHeader ignored;
        JpegSectionReader reader;
        reader.setVerbose(false);
        WalkPictureHeader(buffer, newHeader.size(), reader, expectedBlock, ignored);
    }
    auto sameFields = [](const IptcBlock& a, const IptcBlock& b) {
        for (const TextField& f : kTextFields)
            if (a.*(f.member) != b.*(f.member)) return false;
        return a.supplementalCategories == b.supplementalCategories && a.people == b.people;
    };
    if (changed && !sameFields(expectedBlock, *this)) return {WriteError::VerifyFailed, path_};

    // What a catalog keeps of the new file: taken from the verified temporary, so that it is exactly
    // what reading the written picture would give. It is handed over here, before a batch may commit
    // inside the safe write, so that the batch's outcome finds it in place.
    auto verify = [&](const QString& tempPath) -> WriteResult {
        QFile check(tempPath);
        if (!check.open(QIODevice::ReadOnly) || check.size() != total) return {WriteError::VerifyFailed, path_};
        if (check.read(newHeader.size()) != newHeader) return {WriteError::VerifyFailed, path_};
        check.seek(0);
        PictureHeader readBack;
        JpegSectionReader reader;
        reader.setVerbose(false);
        IptcBlock actual;
        actual.setReadsXmp(false);
        if (!WalkPictureHeader(check, check.size(), reader, actual, readBack) || !actual.sameData(expectedBlock) ||
            actual.thumbnailJpeg() != expectedBlock.thumbnailJpeg())
            return {WriteError::VerifyFailed, path_};
        // Every further picture of a multi-picture file must still start where the index says.
        if (oldIndex && newIndex) {
            for (size_t i = 1; i < newIndex->entries.size() && i < oldIndex->entries.size(); ++i) {
                if (newIndex->entries[i].offset == 0) continue;
                if (!source.seek(oldIndex->mpHeader + oldIndex->entries[i].offset) || source.read(2) != "\xFF\xD8")
                    continue;  // already wrong in the original: nothing to keep
                if (!check.seek(newIndex->mpHeader + newIndex->entries[i].offset) || check.read(2) != "\xFF\xD8")
                    return {WriteError::VerifyFailed, path_};
            }
        }
        if (written) {
            written->path = outputPath.isEmpty() ? path_ : outputPath;
            written->removed = false;
            written->fileSize = quint64(total);
            written->header = check.seek(0) ? check.read(qint64(readBack.headerSize)) : QByteArray();
            if (written->header.size() != qsizetype(readBack.headerSize)) written->header.clear();
            written->note = xmpNote;
        }
        return {};
    };

    SafeWriteOptions options;
    options.timesFrom = path_;
    options.keepTimes = keepFileTimes;
    if (timesBefore) options.timesBefore = *timesBefore;
    options.batch = batch;
    options.targetLock = std::move(lock);
    WriteResult result = safeWrite(outputPath.isEmpty() ? path_ : outputPath, produce, verify, options);
    if (!result && shortRead) result = {WriteError::ShortRead, path_};
    if (result && outputPath.isEmpty() && !batch && changed) {
        // The block now describes the file as written.
        raw_ = expectedBlock.raw_;
        originalList_ = expectedBlock.originalList_;
        iptcResources_ = expectedBlock.iptcResources_;
        UnknownDatasets = expectedBlock.UnknownDatasets;
        otherRecordsBefore = expectedBlock.otherRecordsBefore;
        otherRecordsAfter = expectedBlock.otherRecordsAfter;
        sourceEncoding_ = expectedBlock.sourceEncoding_;
        HasPhotoshopSegment = expectedBlock.HasPhotoshopSegment;
        digest_ = expectedBlock.digest_;
        xmpPacket_ = expectedBlock.xmpPacket_;
        releasedXmp_ = expectedBlock.releasedXmp_;
        thumbnailJpeg_ = expectedBlock.thumbnailJpeg_;
        if (!thumbnailJpeg_.isEmpty())
            thumbnailReplaced_ = false;
        else if (!thumbnailReplaced_) {
#ifndef SNAPLORE_NO_PIXELS
            thumbnailImage_ = QImage();
#endif
            thumbnailDecoded_ = true;
        }
        snapshotAsRead();
        ResolveXmp();
    }
    return result;
}



#pragma once
// The picture data of one picture: IPTC record-2 datasets inside the Photoshop APP13 segment.
// Reads them, holds them for the views, serialises them, and rewrites the picture with a freshly
// built APP13 segment. Every dataset it does not interpret is kept and written back.

#include "writeerror.h"
#include "xmppacket.h"

#include <QByteArray>
#include <QDateTime>
#ifndef SNAPLORE_NO_PIXELS
#include <QImage>
#endif
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class PictureLock;
struct PictureChange;
struct stat;
class SafeWriteBatch;

class IptcBlock {
public:
    // How the text of the block was stored in the file it came from.
    enum class TextEncoding { Ascii, Utf8, Windows1252 };

    // The fields, in the order of the record they mirror.
    QString byline;                 // 2:80
    QString bylineTitle;            // 2:85
    QString credit;                 // 2:110
    QString source;                 // 2:115
    QString writer;                 // 2:122
    QString caption;                // 2:120
    QString headline;               // 2:105
    QString instructions;           // 2:40, the rotation and crop instruction text
    QString event;                  // 2:5, "name" or "MM/DD/YYYY-->MM/DD/YYYY:::name"
    QString dateText;               // 2:55, "YYYYMMDD"
    QString timeText;               // 2:60, "HHMMSS", perhaps with a zone suffix
    QDateTime dateTime;             // from 2:55 and 2:60; invalid means not set
    QString location;               // 2:92
    QString city;                   // 2:90
    QString state;                  // 2:95
    QString country;                // 2:101
    QString rating;                 // 2:10, decimal text
    QString transmissionReference;  // 2:103
    QString category;               // 2:15
    QStringList supplementalCategories;  // 2:20, repeated
    QStringList people;                  // 2:25, repeated
    QString copyright;                   // 2:116

    // Every record-2 dataset with a number not listed above, whole (header and data), in read order.
    QByteArray UnknownDatasets;
    // Datasets of other records (1:90 and the like), whole; written back around record 2.
    QByteArray otherRecordsBefore;
    QByteArray otherRecordsAfter;
    bool HasPhotoshopSegment = false;
    bool oddLengthSeen = false;

    // Reads one segment from the device's position (an APP13 marker). Returns 1.
    int ReadIptcSegment(QIODevice& file);
    // Parses the datasets of an IPTC resource (without the two-byte length that BuildDatasetList puts in front).
    void ParseDatasetList(QByteArrayView list);

    // The two-byte length and the datasets, as the new APP13 segment carries them. Fails with
    // WriteError::TooLarge when a value or the list cannot be held (the thumbnail is left out first).
    QByteArray BuildDatasetList(WriteError* error = nullptr) const;

    // Rewrites the picture at path() with this block. With an output path the new picture goes there
    // and path() is only read; without one, path() is replaced safely. The file times are kept.
    // With a batch the new picture only waits in it (the result says whether it could be staged):
    // the batch's commit puts it in place, and the block is left as it was, not as written.
    // Without an output path the picture is locked (picturelock.h) from reading it until it is
    // replaced (in a batch: until the commit), and read again under the lock: when its picture data
    // is no longer what this block was read from, only the fields changed here are put onto what is
    // there now. A picture that another writer holds longer than PictureLock::kWaitMs is not
    // written (WriteError::Busy).
    // `written`, when given, receives what a catalog keeps of the new file (its size and header) once
    // it is verified, before the write ends: it holds only when the result (in a batch, the commit's
    // outcome) says the file is in place.
    WriteResult WriteIptc(const QString& outputPath = {}, SafeWriteBatch* batch = nullptr, bool keepFileTimes = true,
                          PictureChange* written = nullptr);

    // True when a field (lists, date and kept datasets included) differs from what was read. A new
    // thumbnail alone is no change: it goes into the file with the next change of the data.
    bool hasChanges() const;
    // The fields changed since reading, applied onto `fresh` (the same file read again): what another
    // program wrote meanwhile stays, the edits made here win.
    void ApplyChangesTo(IptcBlock& fresh) const;

    // Empties every text field and both lists and unsets the date; thumbnail, kept datasets, flags and
    // path stay.
    void Clear();
    // Takes every field (lists and date included) from `other`; thumbnail, kept datasets, flags and
    // path stay.
    void Copy(const IptcBlock& other);

    // The event's title wherever it is shown or written: "Unknown" without an event; a plain name
    // after the picture's date (month/day/year), or alone when the picture has no date; a range's
    // dates before its name.
    QString EventTitle() const;
    // What pictures are grouped into events by: the title, except for a dateless event called
    // "Unknown", which stays apart from the pictures without an event.
    QString EventKey() const;
    // The title of the event grouped by `key`.
    static QString EventTitleOfKey(const QString& key);

    // The 2:224 thumbnail: decoded on first use from the stored JPEG bytes.
#ifndef SNAPLORE_NO_PIXELS
    QImage thumbnail() const;
    void setThumbnail(const QImage& image);
#endif
    bool hasThumbnail() const;
    const QByteArray& thumbnailJpeg() const { return thumbnailJpeg_; }

    const QString& path() const { return path_; }
    void setPath(const QString& path) { path_ = path; }
    TextEncoding sourceEncoding() const { return sourceEncoding_; }

    // Sets dateText and timeText from dateTime when it is set; a zone suffix of an unchanged time
    // stays.
    void RefreshDateTexts();
    // True when the fields (lists, date and the kept datasets included) equal those of `other`.
    bool sameData(const IptcBlock& other) const;

    // The fields whose values differ from what was read (2:n numbers; 20 and 25 for the lists). The
    // kept datasets are named by -1 (record 2), -2 (records before 2) and -3 (records after 2).
    std::vector<int> changedFields() const;

    // XMP, read with the header. The fields of the XMP mapping (xmppacket.h) take the packet's values
    // by these rules: with an IPTC digest (Photoshop resource 0x0425) that matches the IPTC data, XMP
    // holds where it has the property; without a digest, XMP fills only the fields the IPTC data
    // leaves empty (earlier saves of this program and other IPTC-only editors changed IPTC alone);
    // with a digest that does not match, or a packet that does not parse, the IPTC data holds. A
    // save writes the fields into the packet as well and renews a digest that matched.
    enum class XmpState { None, Unreadable, Read };
    XmpState xmpState() const { return xmpState_; }
    // True when the field's value was taken from the XMP packet.
    bool fromXmp(xmp::Field field) const { return (xmpFrom_ >> int(field)) & 1u; }
    // The header walk hands over the packet of the standard XMP segment (the bytes after its name)
    // and, once every segment was read, applies the rules.
    void setXmpPacket(QByteArray packet) {
        xmpPacket_ = std::move(packet);
        releasedXmp_.clear();
    }
    const QByteArray& xmpPacket() const { return xmpPacket_; }
    // Lets go of the packet's bytes once the rules were applied (a picture kept by the thousand from
    // a catalog), keeping what identifies it: a save still tells whether the file's packet is the one
    // read.
    void releaseXmpPacket();
    void ResolveXmp();
    // A block that does not take the fields from XMP: a read that checks what the IPTC data says.
    void setReadsXmp(bool reads) { readsXmp_ = reads; }
    // The fields as the XMP mapping holds them.
    xmp::Values xmpValues() const;

private:
    struct RawDataset {
        int record = 0;
        int number = 0;
        bool extended = false;  // the extended length form: kept as it is, never read as a field
        QByteArray whole;       // header and value, as read
        qsizetype valueOffset = 0;
    };
    struct Written;

    WriteResult writeLocked(const QString& outputPath, SafeWriteBatch* batch, bool keepFileTimes,
                            std::shared_ptr<PictureLock> lock, const struct stat* timesBefore,
                            PictureChange* written);
    // The picture data of the file at `path` as it is now; nothing when it cannot be read.
    static std::optional<IptcBlock> readCurrent(const QString& path);
    // True when both were read from the same datasets, XMP packet and digest, byte for byte.
    bool readFromSameData(const IptcBlock& other) const;

    void setDateTimeFromTexts();
    void consumeResources();
    void snapshotAsRead();
    // Everything but the thumbnail; the thumbnail alone never makes a save rewrite the data.
    bool fieldsChanged() const;
    // The dataset list without its length prefix; the field that does not fit goes to `tooLarge`.
    // `switchToUtf8` forces the list into declared UTF-8; `transcoded` tells whether kept text was
    // converted on the way.
    QByteArray buildList(WriteError* error, QString* tooLarge, bool switchToUtf8 = false,
                         bool* transcoded = nullptr) const;

    QString path_;
    QByteArray thumbnailJpeg_;        // the stored 2:224 bytes, written back unchanged
#ifndef SNAPLORE_NO_PIXELS
    mutable QImage thumbnailImage_;   // decoded from thumbnailJpeg_, or set by setThumbnail
#endif
    mutable bool thumbnailDecoded_ = false;
    bool thumbnailReplaced_ = false;  // setThumbnail was called: encode the image on write
    TextEncoding sourceEncoding_ = TextEncoding::Ascii;
    QByteArray psPending_;            // resource bytes that continue in the next APP13 segment

    // The datasets of every IPTC resource, in file order, as read.
    std::vector<RawDataset> raw_;
    QByteArray originalList_;  // the data of the first IPTC resource, byte for byte
    int iptcResources_ = 0;
    std::optional<QByteArray> digest_;  // the first IPTC digest resource, as read
    QByteArray xmpPacket_;              // the standard XMP packet, as read
    QByteArray releasedXmp_;            // what identifies the packet let go by releaseXmpPacket
    XmpState xmpState_ = XmpState::None;
    bool readsXmp_ = true;
    unsigned xmpFrom_ = 0;        // one bit for each xmp::Field taken from the packet
    std::vector<int> xmpStale_;   // datasets whose values XMP replaced: written anew with any change
    // The values as read, to tell what was changed since.
    QStringList originalText_;
    QStringList originalSupplemental_;
    QStringList originalPeople_;
    QDateTime originalDateTime_;
    QByteArray originalUnknown_;
    QByteArray originalBefore_;
    QByteArray originalAfter_;
};

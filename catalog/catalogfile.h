#pragma once
// The catalog file: one binary file in a picture folder with, for every picture, its name, where it
// is archived, its size and a verbatim copy of its JPEG header. This header holds the format only:
// the names, the version check, and reading and writing headers and entries. Catalogs come from
// discs and other machines, so the reader trusts no count or length it finds.

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <algorithm>
#include <atomic>
#include <cstdint>

// Why a catalog, or the rest of it, could not be read. Translated into words where a person sees it.
enum class CatalogError {
    None,
    NoCatalog,         // no file, or not a whole version 2 or 3 header with the file's real length
    NegativeCount,     // the entry count is below zero
    LineWithoutEnd,    // a text line runs to the end of the file without its line feed
    NumbersCutShort,   // the file ends inside an entry's file size or header length
    HeaderBeyondFile,  // an entry's header length reaches past the end of the file
    MissingEntries,    // the file ends before the entry count is reached
    Link,              // the catalog's name is a symbolic link: it is neither read nor written
    ReadFailed,        // the file shrank while it was read, or its disc went away
};

QString describe(CatalogError error);

struct CatalogHeader {
    int version = 3;
    quint8 flagA = 1;
    quint8 flagB = 0;
    quint64 length = 0;  // the recorded length of the whole file
    qint32 count = 0;
    quint64 totalSize = 0;
};

// One entry as it is stored. The views point into the bytes the reader was given.
struct CatalogEntry {
    QByteArrayView name;  // UTF-8; a subfolder and a file name are joined by a backslash
    QByteArrayView archiveName;
    QByteArrayView archiveLocation;
    quint64 fileSize = 0;
    QByteArrayView header;  // the picture's first bytes through the SOS length field; may be empty
};

class CatalogFile {
public:
    static constexpr char kFileName[] = "Snaplore.sidx";
    static constexpr char kOldFileName[] = "Snaplore.idx";

    static constexpr qsizetype kV2HeaderSize = 34;
    static constexpr qsizetype kV3HeaderSize = 62;
    static constexpr qsizetype kV3LengthOffset = 42;
    // Three line feeds and two 8-byte numbers: no entry is shorter.
    static constexpr qsizetype kMinEntrySize = 19;

    // The 40-byte signature that opens a version 3 catalog, and the 14 bytes of a version 2 one.
    static QByteArrayView v3Signature();
    static QByteArrayView v2Signature();

    // The catalog file of a folder ("Snaplore.sidx", else "Snaplore.idx"), or a path ending in ".sidx",
    // with its version: 0 (none), 2 or 3. A name that is a symbolic link ends the look-up: it is no
    // catalog, and `link` says why.
    struct Located {
        QString path;
        int version = 0;
        bool link = false;
    };
    static Located locate(const QString& folderOrFile);
    static int version(const QString& folderOrFile) { return locate(folderOrFile).version; }
    // The version that a file's first bytes announce, given the file's real length. A recorded length
    // that disagrees with the real one (a catalog cut short or still being written) means none.
    static int versionOf(QByteArrayView head, quint64 fileLength);

    // Opens a catalog for reading without following a symbolic link in its last name and without
    // waiting on a pipe or device: the descriptor of a regular file, else -1 with errno set (ELOOP
    // for a link). The caller closes it.
    static int openRegular(const QString& path);

    // A name that a catalog line can hold and that the loader will take: no line feed, and no backslash,
    // which a catalog reads as a folder separator.
    static bool canHoldName(const QString& name);
    // The relative path that an entry's name line gives, with "/" between folders; empty when the name
    // could lead out of the catalogued folder (absolute, "..", NUL) or names nothing.
    static QString safeRelativePath(QByteArrayView nameLine);
};

// A catalog file mapped for reading: its bytes come from the page cache as they are touched, so a
// catalog of gigabytes is walked without a copy in the program's own memory, and only the entries
// looked at are read from the disk. Shared by the pictures that read their stored headers from it
// later. This program replaces catalogs whole (a new file renamed over the old one); should the file
// shrink under the mapping all the same, or its disc go away, the pages that can no longer be read
// read as zeros instead of ending the program, and faulted() tells: nothing may be written from what
// was read then.
class MappedCatalog {
public:
    MappedCatalog() = default;
    ~MappedCatalog();
    MappedCatalog(const MappedCatalog&) = delete;
    MappedCatalog& operator=(const MappedCatalog&) = delete;

    // Maps the regular file at `path` (never through a symbolic link in its last name); false with
    // errno when it cannot be opened or mapped. An empty file maps as no bytes.
    bool open(const QString& path);
    QByteArrayView bytes() const { return {static_cast<const char*>(data_), qsizetype(size_)}; }
    // The descriptor the file was opened with, open as long as the mapping.
    int descriptor() const { return fd_; }
    // Some of the bytes could not be read from the file and read as zeros.
    bool faulted() const { return faulted_.load(std::memory_order_acquire); }

private:
    void unmap();

    void* data_ = nullptr;
    size_t size_ = 0;
    int fd_ = -1;
    int slot_ = -1;  // where the mapping is registered for the bus-error handler
    std::atomic<bool> faulted_{false};
};

// Walks a catalog held in memory or mapped. Every count and length is checked against the bytes that remain
// before it is used, so a damaged catalog yields its entries up to the damage and then an error.
class CatalogReader {
public:
    explicit CatalogReader(QByteArrayView bytes) : bytes_(bytes) {}

    CatalogError readHeader(CatalogHeader& header);
    // The next entry; after an error the reader stays where it was.
    CatalogError readEntry(CatalogEntry& entry);
    // How many more entries the remaining bytes could hold at most.
    qsizetype maxEntriesLeft() const { return (bytes_.size() - pos_) / CatalogFile::kMinEntrySize; }
    // Room worth setting aside for `count` entries: what the bytes could hold, and no more than a
    // first share, since a count the file only claims must not claim the memory too.
    qsizetype entriesToReserve(qint32 count) const {
        return std::min<qsizetype>({qsizetype(std::max(count, 0)), maxEntriesLeft(), qsizetype(1) << 16});
    }
    qsizetype position() const { return pos_; }

private:
    bool readLine(QByteArrayView& line);
    bool readLe64(quint64& value);

    QByteArrayView bytes_;
    qsizetype pos_ = 0;
};

// Writes a version 3 catalog: a header with placeholders, the entries, then the real count, total
// and length. The count and total are those of the entries written, so they always agree.
class CatalogWriter {
public:
    explicit CatalogWriter(QIODevice& out) : out_(out) {}

    bool begin(quint8 flagA, quint8 flagB);
    // False, with nothing written, for a line that holds a line feed or a count that would overflow;
    // false after a device error too (then failed() tells).
    bool writeEntry(QByteArrayView name, QByteArrayView archiveName, QByteArrayView archiveLocation, quint64 fileSize,
                    QByteArrayView header);
    // Puts the real count, total and length into the header; the device ends after the last entry.
    // Until then entries may wait in the writer: a device error can show only here.
    bool finish();

    bool failed() const { return !ok_; }
    qint32 count() const { return count_; }
    quint64 totalSize() const { return total_; }

private:
    static constexpr qsizetype kFlushSize = 1024 * 1024;
    bool put(QByteArrayView bytes);
    bool flush();

    QIODevice& out_;
    QByteArray pending_;
    qint64 start_ = 0;
    qint32 count_ = 0;
    quint64 total_ = 0;
    bool ok_ = true;
};

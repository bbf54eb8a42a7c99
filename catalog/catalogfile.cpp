#include "catalogfile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <mutex>

#include "bytes.h"

namespace {

using namespace snaplore::bytes;

// 24 characters of fixed text, then the bytes that every version shares.
constexpr char kV3Signature[] = "Snaplore Picture Catalog\x00\x1A\xAA\xFF-SnaploreV03";
constexpr char kV2Signature[] = "\xAA\xFF-SnaploreV02";
static_assert(sizeof(kV3Signature) - 1 == 40);
static_assert(sizeof(kV2Signature) - 1 == 14);

constexpr qsizetype kV2LengthOffset = 14;

}  // namespace

QString describe(CatalogError error) {
    switch (error) {
        case CatalogError::None:
            return QStringLiteral("no error");
        case CatalogError::NoCatalog:
            return QStringLiteral("not a catalog");
        case CatalogError::NegativeCount:
            return QStringLiteral("the entry count is negative");
        case CatalogError::LineWithoutEnd:
            return QStringLiteral("a text line has no end");
        case CatalogError::NumbersCutShort:
            return QStringLiteral("an entry is cut short");
        case CatalogError::HeaderBeyondFile:
            return QStringLiteral("a picture header reaches past the end of the file");
        case CatalogError::MissingEntries:
            return QStringLiteral("the file ends before its last entry");
        case CatalogError::Link:
            return QStringLiteral("the catalog is a symbolic link; only a file in its own folder is used");
        case CatalogError::ReadFailed:
            return QStringLiteral("the file could not be read to its end: it shrank, or its disc went away");
    }
    return {};
}

QByteArrayView CatalogFile::v3Signature() { return QByteArrayView(kV3Signature, sizeof(kV3Signature) - 1); }
QByteArrayView CatalogFile::v2Signature() { return QByteArrayView(kV2Signature, sizeof(kV2Signature) - 1); }

int CatalogFile::versionOf(QByteArrayView head, quint64 fileLength) {
    // A file shorter than its version's whole header is not taken for a catalog: the count and total
    // would be read from beyond its end.
    if (fileLength >= quint64(kV2HeaderSize) && head.size() >= kV2LengthOffset + 8 &&
        head.first(kV2LengthOffset) == v2Signature() && le64(u8(head) + kV2LengthOffset) == fileLength)
        return 2;
    if (fileLength >= quint64(kV3HeaderSize) && head.size() >= kV3LengthOffset + 8 &&
        head.first(v3Signature().size()) == v3Signature() && le64(u8(head) + kV3LengthOffset) == fileLength)
        return 3;
    return 0;
}

int CatalogFile::openRegular(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    return fd;
}

namespace {

// Appends from `fd` until `bytes` holds `limit` bytes (no limit when negative) or the file ends;
// -1 with errno on an error.
qsizetype readUpTo(int fd, QByteArray& bytes, qsizetype limit) {
    for (;;) {
        const qsizetype want = limit >= 0 ? limit - bytes.size() : qsizetype(1) << 16;
        if (want <= 0) return bytes.size();
        const qsizetype at = bytes.size();
        bytes.resize(at + want);
        const ssize_t n = ::read(fd, bytes.data() + at, size_t(want));
        if (n < 0 && errno == EINTR) {
            bytes.resize(at);
            continue;
        }
        bytes.resize(at + std::max<qsizetype>(n, 0));
        if (n < 0) return -1;
        if (n == 0) return bytes.size();
    }
}

}  // namespace

namespace {

// The mappings the bus-error handler may mend. A slot is claimed, filled, and shown to the handler by
// storing its start last; it is given back by clearing the start first, so the handler never sees
// half a registration.
struct MappedRegion {
    std::atomic<bool> claimed{false};
    std::atomic<uintptr_t> start{0};
    std::atomic<size_t> size{0};
    std::atomic<std::atomic<bool>*> faulted{nullptr};
};
constexpr int kRegions = 256;
MappedRegion regions[kRegions];
struct sigaction previousBusError {};
uintptr_t pageSize = 4096;

void onBusError(int signal, siginfo_t* info, void* context) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(info->si_addr);
    for (MappedRegion& region : regions) {
        const uintptr_t start = region.start.load(std::memory_order_acquire);
        if (start == 0 || at < start || at - start >= region.size.load(std::memory_order_relaxed)) continue;
        // The file shrank under the mapping, or its disc went away: the page reads as zeros from now on.
        void* page = reinterpret_cast<void*>(at & ~(pageSize - 1));
        const long mended = ::syscall(SYS_mmap, page, pageSize, PROT_READ, MAP_PRIVATE | MAP_FIXED | MAP_ANONYMOUS, -1, 0);
        if (mended == -1) break;
        if (std::atomic<bool>* faulted = region.faulted.load(std::memory_order_relaxed)) faulted->store(true);
        return;
    }
    // Not a catalog's: as it would have been without this handler.
    if ((previousBusError.sa_flags & SA_SIGINFO) && previousBusError.sa_sigaction) {
        previousBusError.sa_sigaction(signal, info, context);
    } else if (previousBusError.sa_handler != SIG_IGN && previousBusError.sa_handler != SIG_DFL &&
               previousBusError.sa_handler) {
        previousBusError.sa_handler(signal);
    } else {
        ::signal(SIGBUS, SIG_DFL);  // the access runs again and ends the program as it would have
    }
}

void installBusErrorHandler() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        pageSize = uintptr_t(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previousBusError);
    });
}

}  // namespace

MappedCatalog::~MappedCatalog() {
    unmap();
    if (fd_ >= 0) ::close(fd_);
}

void MappedCatalog::unmap() {
    if (slot_ >= 0) {
        regions[slot_].start.store(0, std::memory_order_release);
        regions[slot_].faulted.store(nullptr, std::memory_order_relaxed);
        regions[slot_].claimed.store(false, std::memory_order_release);
        slot_ = -1;
    }
    if (data_) ::munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

bool MappedCatalog::open(const QString& path) {
    installBusErrorHandler();
    const int fd = CatalogFile::openRegular(path);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < 0 || quint64(st.st_size) > quint64(std::numeric_limits<qsizetype>::max())) {
        const int error = errno;
        ::close(fd);
        errno = error ? error : EFBIG;
        return false;
    }
    void* data = nullptr;
    int slot = -1;
    if (st.st_size > 0) {
        data = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (data == MAP_FAILED) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
        // Only a mapping the handler knows is safe to read.
        for (int i = 0; i < kRegions && slot < 0; ++i) {
            bool taken = false;
            if (!regions[i].claimed.compare_exchange_strong(taken, true, std::memory_order_acquire)) continue;
            regions[i].size.store(size_t(st.st_size), std::memory_order_relaxed);
            regions[i].faulted.store(&faulted_, std::memory_order_relaxed);
            regions[i].start.store(reinterpret_cast<uintptr_t>(data), std::memory_order_release);
            slot = i;
        }
        if (slot < 0) {
            ::munmap(data, size_t(st.st_size));
            ::close(fd);
            errno = EMFILE;
            return false;
        }
    }
    unmap();
    if (fd_ >= 0) ::close(fd_);
    data_ = data;
    size_ = size_t(st.st_size);
    fd_ = fd;
    slot_ = slot;
    faulted_.store(false);
    return true;
}

CatalogFile::Located CatalogFile::locate(const QString& folderOrFile) {
    const QString cleaned = QDir::cleanPath(folderOrFile);
    QStringList candidates;
    if (cleaned.endsWith(QLatin1String(".sidx"), Qt::CaseInsensitive))
        candidates << cleaned;
    else
        candidates << cleaned + '/' + kFileName << cleaned + '/' + kOldFileName;
    for (const QString& path : candidates) {
        struct stat st {};
        if (::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode)) return {path, 0, true};
        // Only a file that cannot be opened sends the look-up on to the older name: an emptied
        // "Snaplore.sidx" means the catalog was removed.
        const int fd = openRegular(path);
        if (fd < 0) continue;
        QByteArray head;
        const bool read = readUpTo(fd, head, kV3HeaderSize) >= 0 && ::fstat(fd, &st) == 0;
        ::close(fd);
        return {path, read ? versionOf(head, quint64(st.st_size)) : 0};
    }
    return {};
}

bool CatalogFile::canHoldName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('\n')) && !name.contains(QLatin1Char('\\'));
}

QString CatalogFile::safeRelativePath(QByteArrayView nameLine) {
    QString name = QString::fromUtf8(nameLine);
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QChar(0))) return {};
    const QStringList parts = name.split(QLatin1Char('/'));
    for (const QString& part : parts)
        if (part == QLatin1String("..")) return {};
    if (parts.last().isEmpty() || parts.last() == QLatin1String(".")) return {};
    return name;
}

CatalogError CatalogReader::readHeader(CatalogHeader& header) {
    header = CatalogHeader();
    header.version = CatalogFile::versionOf(bytes_, quint64(bytes_.size()));
    const uint8_t* p = u8(bytes_);
    if (header.version == 2) {
        header.length = le64(p + 14);
        header.count = qint32(le32(p + 22));
        header.totalSize = le64(p + 26);
        pos_ = CatalogFile::kV2HeaderSize;
    } else if (header.version == 3) {
        header.flagA = p[40];
        header.flagB = p[41];
        header.length = le64(p + 42);
        header.count = qint32(le32(p + 50));
        header.totalSize = le64(p + 54);
        pos_ = CatalogFile::kV3HeaderSize;
    } else {
        return CatalogError::NoCatalog;
    }
    return header.count < 0 ? CatalogError::NegativeCount : CatalogError::None;
}

bool CatalogReader::readLine(QByteArrayView& line) {
    const void* end = std::memchr(bytes_.data() + pos_, '\n', size_t(bytes_.size() - pos_));
    if (!end) return false;
    const qsizetype length = static_cast<const char*>(end) - (bytes_.data() + pos_);
    line = bytes_.sliced(pos_, length);
    pos_ += length + 1;
    return true;
}

bool CatalogReader::readLe64(quint64& value) {
    if (!fits(quint64(bytes_.size()), quint64(pos_), 8)) return false;
    value = le64(u8(bytes_) + pos_);
    pos_ += 8;
    return true;
}

CatalogError CatalogReader::readEntry(CatalogEntry& entry) {
    const qsizetype start = pos_;
    CatalogEntry e;
    CatalogError error = CatalogError::None;
    quint64 headerLength = 0;
    if (!readLine(e.name) || !readLine(e.archiveName) || !readLine(e.archiveLocation))
        error = start == bytes_.size() ? CatalogError::MissingEntries : CatalogError::LineWithoutEnd;
    else if (!readLe64(e.fileSize) || !readLe64(headerLength))
        error = CatalogError::NumbersCutShort;
    else if (headerLength > quint64(bytes_.size() - pos_))
        error = CatalogError::HeaderBeyondFile;
    if (error != CatalogError::None) {
        pos_ = start;
        return error;
    }
    e.header = bytes_.sliced(pos_, qsizetype(headerLength));
    pos_ += qsizetype(headerLength);
    entry = e;
    return CatalogError::None;
}

bool CatalogWriter::put(QByteArrayView bytes) {
    if (!ok_) return false;
    // Entries are many small pieces: they go to the device in large writes.
    pending_.append(bytes);
    return pending_.size() < kFlushSize || flush();
}

bool CatalogWriter::flush() {
    if (ok_ && !pending_.isEmpty() && out_.write(pending_) != pending_.size()) ok_ = false;
    pending_.truncate(0);  // the buffer is kept for the next entries
    return ok_;
}

bool CatalogWriter::begin(quint8 flagA, quint8 flagB) {
    start_ = out_.pos();
    count_ = 0;
    total_ = 0;
    QByteArray header = CatalogFile::v3Signature().toByteArray();
    header.append(char(flagA));
    header.append(char(flagB));
    putLe64(header, 0);  // length, count and total are put in by finish()
    putLe32(header, 0);
    putLe64(header, 0);
    return put(header);
}

bool CatalogWriter::writeEntry(QByteArrayView name, QByteArrayView archiveName, QByteArrayView archiveLocation,
                               quint64 fileSize, QByteArrayView header) {
    // A line feed inside a line would shift every entry after it.
    for (QByteArrayView line : {name, archiveName, archiveLocation})
        if (line.contains('\n')) return false;
    if (count_ == std::numeric_limits<qint32>::max()) return false;
    QByteArray numbers;
    putLe64(numbers, fileSize);
    putLe64(numbers, quint64(header.size()));
    const char lf = '\n';
    const bool written = put(name) && put({&lf, 1}) && put(archiveName) && put({&lf, 1}) && put(archiveLocation) &&
                         put({&lf, 1}) && put(numbers) && put(header);
    if (written) {
        ++count_;
        total_ += fileSize;
    }
    return written;
}

bool CatalogWriter::finish() {
    if (!flush()) return false;
    const qint64 end = out_.pos();
    QByteArray numbers;
    putLe64(numbers, quint64(end - start_));
    putLe32(numbers, quint32(count_));
    putLe64(numbers, total_);
    return out_.seek(start_ + CatalogFile::kV3LengthOffset) && out_.write(numbers) == numbers.size() && out_.seek(end);
}

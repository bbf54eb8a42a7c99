// Loads arbitrary bytes as a folder's catalog, as the program does with a catalog from a disc or
// another machine, then writes it on the two ways the program does: taken over by the parent
// folder's catalog, and archived. Whatever the program writes must load again whole.

#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "catalog.h"
#include "catalogfile.h"
#include "fuzzsupport.h"

namespace {

QString workDir;

QString folder(const char* name) { return workDir + '/' + QString::fromLatin1(name); }

// Touches every byte a loaded picture keeps, so that a bad range shows under the sanitizers.
void readEverything(const Catalog& catalog) {
    unsigned sum = 0;
    for (const auto& picture : catalog.pictures()) {
        for (char c : picture->exifThumbnail()) sum += uint8_t(c);
        sum += unsigned(picture->iptc().headline.size() + picture->filePath().size());
    }
    asm volatile("" : : "r"(sum));
}

// A catalog the program wrote must load in full: every entry, no damage.
void requireWhole(const QString& path, qint32 written) {
    Catalog again;
    if (!again.load(path) || again.fault() != CatalogError::None || again.count() != written) __builtin_trap();
    readEverything(again);
}

// Random bytes almost never carry their own length at the right place; put it there, so the fuzzer
// spends its time on the entries.
QByteArray withRecordedLength(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto put = [&](qsizetype offset) {
        quint64 length = quint64(bytes.size());
        for (int i = 0; i < 8; ++i, length >>= 8) bytes[offset + i] = char(length & 0xFF);
    };
    if (bytes.size() >= CatalogFile::kV3HeaderSize && bytes.startsWith(CatalogFile::v3Signature()))
        put(CatalogFile::kV3LengthOffset);
    else if (bytes.size() >= CatalogFile::kV2HeaderSize && bytes.startsWith(CatalogFile::v2Signature()))
        put(CatalogFile::v2Signature().size());
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    snaplore::fuzz::initQt(argc, argv);
    // Every input is written and synced several times: memory-backed when possible.
    workDir = snaplore::fuzz::makeScratchFolder("catalog");
    QDir(workDir).mkpath(QStringLiteral("parent/sub"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString sub = folder("parent/sub");
    const QString parent = folder("parent");
    QFile::remove(parent + QStringLiteral("/Snaplore.sidx"));
    {
        QFile file(sub + QStringLiteral("/Snaplore.sidx"));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) abort();
        file.write(withRecordedLength(data, size));
    }

    Catalog catalog;
    catalog.load(sub, true);
    readEverything(catalog);
    // Read entry by entry, the catalog gives the same pictures.
    Catalog entries;
    if (entries.open(sub) != !catalog.catalogPath().isEmpty() || entries.entryCount() != qsizetype(catalog.pictures().size()))
        __builtin_trap();
    qsizetype at = 0;
    entries.forEachPicture([&](const PictureRecord& picture) {
        const PictureRecord& loaded = *catalog.pictures()[size_t(at++)];
        if (picture.filePath() != loaded.filePath() || picture.headerSize() != loaded.headerSize() ||
            picture.iptc().headline != loaded.iptc().headline || picture.exifThumbnail() != loaded.exifThumbnail())
            __builtin_trap();
    });
    catalog.destroyPictures();
    if (Catalog::version(sub) == 0) return 0;

    const CatalogCreateReport taken = catalog.create(parent, true);
    // A damaged catalog is refused whole, never taken in part: then nothing may have been written.
    if (!taken.refusedCatalog.isEmpty()) {
        if (taken.ok() || QFile::exists(parent + QStringLiteral("/Snaplore.sidx"))) __builtin_trap();
        return 0;
    }
    if (!taken.ok()) {
        fprintf(stderr, "catalog create failed: %s\n", qPrintable(describe(taken.write)));
        abort();  // an environment failure, not a finding
    }
    requireWhole(parent, taken.count);

    if (!catalog.rewriteArchive(sub, QStringLiteral("Disc"), QStringLiteral("/media/disc")).ok()) abort();
    Catalog archived;
    archived.load(sub, false);
    requireWhole(sub, archived.count());
    return 0;
}

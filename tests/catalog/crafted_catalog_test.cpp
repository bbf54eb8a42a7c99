// Catalogs made byte by byte: older versions, and damaged or hostile files as they may come from a
// disc or another machine. Each loads the entries before the damage, never reads past an entry and
// never leads outside the catalogued folder.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <limits>
#include <memory>
#include <optional>

#include "bytes.h"
#include "catalog.h"
#include "catalogfile.h"
#include "testsupport.h"

using testsupport::dataPath;
using testsupport::readAll;
using testsupport::SandBox;
using testsupport::writeAll;
namespace bytes = snaplore::bytes;

namespace {

struct CliRun {
    int status = -1;
    QByteArray out, err;
};

CliRun runCli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(SNAPLORE_CLI_PATH), args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// The header bytes a catalog holds for a picture file.
QByteArray headerOf(const QString& path) {
    const QByteArray file = readAll(path);
    return file.first(qsizetype(PictureRecord(path).headerSize()));
}

struct Entry {
    Entry(QByteArray n, QByteArray disc, QByteArray location, quint64 size, QByteArray h)
        : name(n), archiveName(disc), archiveLocation(location), fileSize(size), header(h) {}
    QByteArray name;
    QByteArray archiveName;
    QByteArray archiveLocation;
    quint64 fileSize;
    QByteArray header;
    std::optional<quint64> headerLength;  // the recorded length, when it is to lie
};

QByteArray entryBytes(const Entry& e) {
    QByteArray out = e.name + '\n' + e.archiveName + '\n' + e.archiveLocation + '\n';
    bytes::putLe64(out, e.fileSize);
    bytes::putLe64(out, e.headerLength.value_or(quint64(e.header.size())));
    return out + e.header;
}

// A whole catalog with a recorded length that matches, unless told otherwise.
QByteArray catalogBytes(int version, const std::vector<Entry>& entries, std::optional<qint32> count = {},
                        quint8 flagA = 1, quint8 flagB = 0) {
    QByteArray body;
    quint64 total = 0;
    for (const Entry& e : entries) {
        body += entryBytes(e);
        total += e.fileSize;
    }
    QByteArray out = version == 2 ? CatalogFile::v2Signature().toByteArray() : CatalogFile::v3Signature().toByteArray();
    if (version == 3) {
        out.append(char(flagA));
        out.append(char(flagB));
    }
    const qsizetype lengthAt = out.size();
    bytes::putLe64(out, 0);
    bytes::putLe32(out, quint32(count.value_or(qint32(entries.size()))));
    bytes::putLe64(out, total);
    out += body;
    QByteArray length;
    bytes::putLe64(length, quint64(out.size()));
    out.replace(lengthAt, 8, length);
    return out;
}

// Makes the recorded length agree with the bytes again, so that the loader, not the version check,
// meets the damage.
QByteArray withTrueLength(QByteArray catalog) {
    QByteArray length;
    bytes::putLe64(length, quint64(catalog.size()));
    return catalog.replace(CatalogFile::kV3LengthOffset, 8, length);
}

class CraftedCatalog : public ::testing::Test {
protected:
    void SetUp() override {
        canon = headerOf(dataPath("Canon_40D.jpg"));
        fields = headerOf(dataPath("iptc_fields.jpg"));
        fieldsHeadline = PictureRecord(dataPath("iptc_fields.jpg")).iptc().headline;
        ASSERT_FALSE(fieldsHeadline.isEmpty());
    }
    // Writes the catalog into the sandbox and loads it.
    Catalog& load(const QByteArray& bytes, const char* file = "Snaplore.sidx") {
        EXPECT_TRUE(writeAll(box.filePath(file), bytes));
        loaded = std::make_unique<Catalog>();
        loaded->load(box.path());
        return *loaded;
    }
    QStringList names() const {
        QStringList n;
        for (const auto& p : loaded->pictures()) n << p->fileName();
        return n;
    }

    SandBox box;
    QByteArray canon, fields;
    QString fieldsHeadline;
    std::unique_ptr<Catalog> loaded;
};

}  // namespace

TEST_F(CraftedCatalog, VersionTwoFileIsReadWithTheDefaultFlags) {
    const QByteArray v2 = catalogBytes(2, {{"a.jpg", {}, {}, 1234, fields}, {"b.jpg", "CD", "/cd", 99, canon}});
    ASSERT_EQ(v2.first(14), CatalogFile::v2Signature());
    ASSERT_TRUE(writeAll(box.filePath("Snaplore.idx"), v2));
    EXPECT_EQ(Catalog::version(box.path()), 2);
    QByteArray cut = v2;
    cut.chop(1);
    ASSERT_TRUE(writeAll(box.filePath("short.sidx"), cut));
    EXPECT_EQ(Catalog::version(box.filePath("short.sidx")), 0);

    Catalog catalog;
    ASSERT_TRUE(catalog.load(box.path()));
    EXPECT_EQ(catalog.flagA(), 1);
    EXPECT_EQ(catalog.flagB(), 0);
    EXPECT_EQ(catalog.count(), 2);
    EXPECT_EQ(catalog.totalSize(), 1333u);
    EXPECT_EQ(catalog.fileLength(), quint64(v2.size()));
    ASSERT_EQ(catalog.pictures().size(), 2u);
    EXPECT_EQ(catalog.pictures()[0]->fileSize(), 1234u);
    EXPECT_EQ(catalog.pictures()[0]->iptc().headline, fieldsHeadline);
    EXPECT_EQ(catalog.pictures()[0]->filePath(), box.filePath("a.jpg"));
    EXPECT_EQ(catalog.pictures()[1]->filePath(), "/cd/b.jpg");
    EXPECT_EQ(catalog.pictures()[1]->archiveName, "CD");

    // An archive rewrite of an old catalog writes the current version under the current name.
    box.copy(dataPath("iptc_fields.jpg"), "a.jpg");
    ASSERT_TRUE(catalog.rewriteArchive(box.path(), "Disc", "/media/disc/").ok());
    EXPECT_EQ(Catalog::version(box.filePath("Snaplore.sidx")), 3);
    EXPECT_FALSE(QFileInfo::exists(box.filePath("Snaplore.idx")));
    ASSERT_TRUE(catalog.load(box.path()));
    ASSERT_EQ(catalog.pictures().size(), 2u);
    EXPECT_EQ(catalog.pictures()[0]->filePath(), "/media/disc/a.jpg");
}

TEST_F(CraftedCatalog, ArchiveLocationDecidesThePath) {
    const struct {
        QByteArray name, location;
        QString path;
    } cases[] = {
        {"a.jpg", "", box.filePath("a.jpg")},
        {"b.jpg", "/media/cd/Photos", "/media/cd/Photos/b.jpg"},
        {"c.jpg", "/media/cd/Photos/", "/media/cd/Photos/c.jpg"},
        {"sub\\d.jpg", "", box.filePath("sub/d.jpg")},
        {"sub/e.jpg", "/media/cd", "/media/cd/sub/e.jpg"},
    };
    std::vector<Entry> entries;
    for (const auto& c : cases) entries.push_back({c.name, "CD", c.location, 10, canon});
    Catalog& catalog = load(catalogBytes(3, entries));
    ASSERT_EQ(catalog.pictures().size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(catalog.pictures()[i]->filePath(), cases[i].path) << cases[i].name.constData();
        EXPECT_EQ(catalog.pictures()[i]->archiveLocation, QString::fromUtf8(cases[i].location));
    }
}

TEST_F(CraftedCatalog, NamesLeadingOutOfTheFolderAreSkipped) {
    const QByteArray hostile[] = {"../escape.jpg",
                                  "..\\escape.jpg",
                                  "sub\\..\\..\\escape.jpg",
                                  "/etc/passwd",
                                  "\\etc\\passwd",
                                  "sub/..",
                                  "",
                                  "sub/",
                                  QByteArray("nul\0.jpg", 8)};
    std::vector<Entry> entries;
    for (const QByteArray& name : hostile) entries.push_back({name, {}, {}, 10, canon});
    entries.push_back({"fine.jpg", {}, {}, 10, fields});
    entries.push_back({"x/../y.jpg", {}, {}, 10, canon});  // stays inside, but is refused all the same
    Catalog& catalog = load(catalogBytes(3, entries));
    EXPECT_EQ(names(), QStringList({"fine.jpg"}));
    EXPECT_EQ(catalog.unsafeNames(), int(std::size(hostile)) + 1);
    EXPECT_EQ(catalog.fault(), CatalogError::None);
    EXPECT_EQ(catalog.pictures()[0]->iptc().headline, fieldsHeadline);

    // Taken over by a parent's catalog or archived, they are not passed on.
    ASSERT_TRUE(catalog.rewriteArchive(box.path(), "CD", "/cd").ok());
    ASSERT_TRUE(catalog.load(box.path()));
    EXPECT_EQ(catalog.count(), 1);
    EXPECT_EQ(catalog.unsafeNames(), 0);
}

TEST_F(CraftedCatalog, DamagedCatalogGivesTheEntriesBeforeTheDamage) {
    const Entry good1{"one.jpg", {}, {}, 10, fields};
    const Entry good2{"two.jpg", {}, {}, 20, canon};
    const QByteArray two = catalogBytes(3, {good1, good2});
    const qsizetype afterFirst = CatalogFile::kV3HeaderSize + entryBytes(good1).size();
    Entry beyond = good2;
    beyond.headerLength = quint64(canon.size()) + 1;
    Entry huge = good2;
    huge.headerLength = std::numeric_limits<quint64>::max();

    const struct {
        const char* what;
        QByteArray bytes;
        QStringList names;
        CatalogError fault;
    } cases[] = {
        {"count far beyond the file",
         catalogBytes(3, {good1, good2}, std::numeric_limits<qint32>::max()),
         {"one.jpg", "two.jpg"},
         CatalogError::MissingEntries},
        {"negative count", catalogBytes(3, {good1, good2}, -5), {}, CatalogError::NegativeCount},
        {"header length one beyond the file",
         catalogBytes(3, {good1, beyond}),
         {"one.jpg"},
         CatalogError::HeaderBeyondFile},
        {"header length the largest number",
         catalogBytes(3, {good1, huge}),
         {"one.jpg"},
         CatalogError::HeaderBeyondFile},
        {"line without its end",
         withTrueLength(two.first(afterFirst) + "two.jpg"),
         {"one.jpg"},
         CatalogError::LineWithoutEnd},
        {"numbers cut short",
         withTrueLength(two.first(afterFirst) + "two.jpg\n\n\n\x01\x02"),
         {"one.jpg"},
         CatalogError::NumbersCutShort},
        {"second entry missing", withTrueLength(two.first(afterFirst)), {"one.jpg"}, CatalogError::MissingEntries},
        {"bytes after the last entry", withTrueLength(two + "rubbish"), {"one.jpg", "two.jpg"}, CatalogError::None},
    };
    for (const auto& c : cases) {
        Catalog& catalog = load(c.bytes);
        EXPECT_EQ(names(), c.names) << c.what;
        EXPECT_EQ(catalog.fault(), c.fault) << c.what << ": " << describe(catalog.fault()).toStdString();
        if (!catalog.pictures().empty()) {
            EXPECT_EQ(catalog.pictures()[0]->iptc().headline, fieldsHeadline) << c.what;
        }
    }
}

TEST_F(CraftedCatalog, EveryCutOfACatalogLoadsWithoutHarm) {
    const Entry one{"one.jpg", {}, {}, 10, fields};
    const QByteArray whole = catalogBytes(3, {one, {"two.jpg", "CD", "/cd", 20, canon}});
    // Every byte near the places where lines and numbers stand, a sample inside the header copies.
    const qsizetype boundaries[] = {CatalogFile::kV3HeaderSize, CatalogFile::kV3HeaderSize + entryBytes(one).size(),
                                    whole.size()};
    const auto nearBoundary = [&](qsizetype size) {
        return std::any_of(std::begin(boundaries), std::end(boundaries),
                           [&](qsizetype b) { return size >= b - 40 && size < b + 64; });
    };
    for (qsizetype size = CatalogFile::kV3HeaderSize; size <= whole.size(); size += nearBoundary(size) ? 1 : 37) {
        Catalog& catalog = load(withTrueLength(whole.first(size)));
        ASSERT_LE(catalog.pictures().size(), 2u) << size;
        EXPECT_EQ(catalog.fault() == CatalogError::None, size == whole.size()) << size;
    }
}

TEST_F(CraftedCatalog, HeaderThatRunsOnStopsAtItsEntry) {
    // The first entry's header is cut inside a segment whose length promises more: the bytes that
    // follow belong to the next entry and must not be read as part of it.
    const struct {
        const char* what;
        QByteArray header;
    } cases[] = {
        {"cut inside the EXIF segment", canon.first(20 + 1200)},
        {"cut inside the Photoshop segment", fields.first(20 + 4000)},
    };
    for (const auto& c : cases) {
        load(catalogBytes(3, {{"cut.jpg", {}, {}, 10, c.header}, {"whole.jpg", {}, {}, 20, fields}}));
        ASSERT_EQ(names(), QStringList({"cut.jpg", "whole.jpg"})) << c.what;
        const PictureRecord& cut = *loaded->pictures()[0];
        qsizetype read = 0;
        for (const JpegSection& s : cut.reader().sections()) read += s.data.size();
        EXPECT_LE(read, c.header.size()) << c.what;
        EXPECT_TRUE(cut.exifThumbnail().isEmpty()) << c.what;
        EXPECT_EQ(loaded->pictures()[1]->iptc().headline, fieldsHeadline) << c.what;
    }
}

TEST_F(CraftedCatalog, SubfolderEntriesLoadingWouldSkipAreNotTakenOver) {
    ASSERT_TRUE(QDir(box.path()).mkdir("sub"));
    const QByteArray sub = catalogBytes(
        3, {{"one.jpg", {}, {}, 10, fields}, {"../out.jpg", {}, {}, 5, canon}, {"two.jpg", {}, {}, 20, canon}});
    ASSERT_TRUE(writeAll(box.filePath("sub/Snaplore.sidx"), sub));
    const CatalogCreateReport report = Catalog().create(box.path(), true);
    ASSERT_TRUE(report.ok()) << describe(report.write).toStdString();
    // The header tells what was written, not what the subfolder's catalog claimed.
    EXPECT_EQ(report.count, 2);
    EXPECT_EQ(report.totalSize, 30u);
    Catalog& catalog = load(readAll(box.filePath("Snaplore.sidx")));
    EXPECT_EQ(catalog.fault(), CatalogError::None);
    EXPECT_EQ(catalog.count(), 2);
    EXPECT_EQ(names(), QStringList({"sub/one.jpg", "sub/two.jpg"}));
}

// A catalog that does not load whole is never rewritten from the part that does: neither archived
// nor taken over by its parent. The user is told, and every catalog stays as it was, byte for byte.
TEST_F(CraftedCatalog, DamagedCatalogIsNeitherArchivedNorTakenOver) {
    const Entry one{"one.jpg", {}, {}, 10, fields};
    const Entry two{"two.jpg", {}, {}, 20, canon};
    const QByteArray whole = catalogBytes(3, {one, two});
    const qsizetype insideSecond = CatalogFile::kV3HeaderSize + entryBytes(one).size() + 30;
    const struct {
        const char* what;
        QByteArray bytes;
        bool stillACatalog;  // the version check passes, the damage shows only on reading
    } cases[] = {
        {"cut inside the second entry, length fixed up", withTrueLength(whole.first(insideSecond)), true},
        {"count beyond the entries", catalogBytes(3, {one, two}, 3), true},
        {"negative count", catalogBytes(3, {one, two}, -1), true},
        {"cut inside the second entry", whole.first(insideSecond), false},
    };
    for (const auto& c : cases) {
        SandBox parent;
        const QString folder = parent.filePath("sub");
        ASSERT_TRUE(QDir(parent.path()).mkdir("sub"));
        const QString catalogPath = folder + "/Snaplore.sidx";
        ASSERT_TRUE(writeAll(catalogPath, c.bytes));
        const auto untouched = [&](const char* step) {
            EXPECT_EQ(readAll(catalogPath), c.bytes) << c.what << ", " << step;
            EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList({"Snaplore.sidx"}))
                << c.what << ", " << step << ": a temporary file stayed";
        };

        Catalog catalog;
        const WriteResult archived = catalog.rewriteArchive(folder, "CD", "/cd");
        EXPECT_FALSE(archived.ok()) << c.what;
        if (c.stillACatalog) {
            EXPECT_TRUE(describe(archived).contains("damaged")) << c.what << ": " << describe(archived).toStdString();
        }
        EXPECT_TRUE(describe(archived).contains(catalogPath) || describe(archived).contains("no catalog"))
            << c.what << ": " << describe(archived).toStdString();
        untouched("archive");

        const CliRun run = runCli({"catalog", "archive", folder, "--cd-name", "CD", "--location", "/cd"});
        EXPECT_EQ(run.status, 1) << c.what;
        EXPECT_FALSE(run.out.contains("Archived")) << c.what;
        EXPECT_TRUE(run.err.contains(QFile::encodeName(folder))) << c.what << "\n" << run.err.constData();
        untouched("archive from the command line");

        // The parent's catalog, older, stays as it is when a create would take in part of the damaged one.
        parent.copy(dataPath("Canon_40D.jpg"), "own.jpg");
        ASSERT_TRUE(catalog.create(parent.path(), false).ok());
        const QByteArray parentBefore = readAll(parent.filePath("Snaplore.sidx"));
        const CatalogCreateReport report = catalog.create(parent.path(), true);
        if (c.stillACatalog) {
            EXPECT_FALSE(report.ok()) << c.what;
            EXPECT_EQ(report.refusedCatalog, catalogPath) << c.what;
            EXPECT_TRUE(describe(report.write).contains(catalogPath)) << c.what;
            EXPECT_EQ(readAll(parent.filePath("Snaplore.sidx")), parentBefore) << c.what;
            const CliRun created = runCli({"catalog", "create", parent.path(), "--subfolders"});
            EXPECT_EQ(created.status, 1) << c.what;
            EXPECT_FALSE(created.out.contains("Created")) << c.what;
            EXPECT_TRUE(created.err.contains("damaged")) << c.what << "\n" << created.err.constData();
            EXPECT_EQ(readAll(parent.filePath("Snaplore.sidx")), parentBefore) << c.what;
            // A refresh that a newer subfolder catalog sets off stops the same way.
            const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(parent.filePath("Snaplore.sidx")).constData(), old, 0), 0);
            const CatalogRefreshReport refreshed = catalog.refresh(parent.path());
            EXPECT_TRUE(refreshed.rebuilt && !refreshed.create.ok()) << c.what;
            EXPECT_EQ(readAll(parent.filePath("Snaplore.sidx")), parentBefore) << c.what;
        } else {
            // Not a catalog at all: the subfolder simply has none.
            EXPECT_TRUE(report.ok()) << c.what;
        }
        untouched("create");
    }
}

// Read entry by entry from the mapped catalog, every shape of catalog gives what loading it whole
// gives: the same pictures in the same order, the same damage, the same thumbnails.
TEST_F(CraftedCatalog, EntryByEntryReadingGivesWhatLoadingGives) {
    Entry lying("c.jpg", {}, {}, 7, canon);
    lying.headerLength = quint64(canon.size()) + (1 << 20);
    const struct {
        const char* shape;
        QByteArray bytes;
        int pictures;
    } cases[] = {
        {"version 2", catalogBytes(2, {{"a.jpg", {}, {}, 1234, fields}, {"b.jpg", {}, {}, 99, canon}}), 2},
        {"archived", catalogBytes(3, {{"a.jpg", "Disc 1", "/media/disc/2004", 1234, fields}, {"b.jpg", {}, {}, 99, canon}}), 2},
        {"subfolder entries", catalogBytes(3, {{"sub\\a.jpg", {}, {}, 1, fields}, {"b.jpg", {}, {}, 2, canon}}), 2},
        {"no header, unsafe name", catalogBytes(3, {{"a.jpg", {}, {}, 1, {}}, {"../x.jpg", {}, {}, 1, canon}, {"b.jpg", {}, {}, 2, fields}}), 1},
        {"fewer entries than counted", catalogBytes(3, {{"a.jpg", {}, {}, 1, fields}}, 3), 1},
        {"header beyond the file", withTrueLength(catalogBytes(3, {{"a.jpg", {}, {}, 1, canon}, lying})), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shape);
        QFile::remove(box.filePath("Snaplore.sidx"));
        QFile::remove(box.filePath("Snaplore.idx"));
        const Catalog& whole = load(c.bytes, c.shape == std::string("version 2") ? "Snaplore.idx" : "Snaplore.sidx");
        ASSERT_EQ(int(whole.pictures().size()), c.pictures);
        Catalog entries;
        ASSERT_TRUE(entries.open(box.path()));
        ASSERT_EQ(entries.entryCount(), c.pictures);
        EXPECT_EQ(entries.damage(), whole.damage());
        EXPECT_EQ(entries.withoutHeader(), whole.withoutHeader());
        EXPECT_EQ(entries.unsafeNames(), whole.unsafeNames());
        EXPECT_TRUE(entries.pictures().empty()) << "opening builds no picture";
        const auto same = [](const PictureRecord& a, const PictureRecord& b) {
            EXPECT_EQ(a.filePath(), b.filePath());
            EXPECT_EQ(a.fileSize(), b.fileSize());
            EXPECT_EQ(a.headerSize(), b.headerSize());
            EXPECT_EQ(a.archiveName, b.archiveName);
            EXPECT_EQ(a.archiveLocation, b.archiveLocation);
            EXPECT_EQ(a.iptc().headline, b.iptc().headline);
            EXPECT_EQ(a.frameWidth(), b.frameWidth());
            EXPECT_EQ(a.exifThumbnail(), b.exifThumbnail());
        };
        qsizetype at = 0;
        entries.forEachPicture([&](const PictureRecord& picture) { same(picture, *whole.pictures()[size_t(at++)]); });
        EXPECT_EQ(at, c.pictures);
        for (qsizetype i = 0; i < c.pictures; ++i) same(*entries.readPicture(i), *whole.pictures()[size_t(i)]);
        EXPECT_EQ(entries.readPicture(c.pictures), nullptr);
    }
    // The camera thumbnail of a picture read from a catalog comes from the catalog's bytes.
    const Catalog& archived = load(catalogBytes(3, {{"b.jpg", "Disc", "/nowhere", 99, canon}}));
    EXPECT_EQ(archived.pictures().front()->exifThumbnail(), PictureRecord(dataPath("Canon_40D.jpg")).exifThumbnail());
    EXPECT_FALSE(archived.pictures().front()->exifThumbnail().isEmpty());
}

// A catalog beyond 4 GB, on a sparse file: 64-bit lengths are taken whole, and a count or a length
// that the file cannot hold is refused without reading or setting memory aside for it.
TEST_F(CraftedCatalog, LengthsAndCountsOfACatalogBeyondFourGigabytes) {
    const quint64 big = (quint64(1) << 32) + 12345;  // a header length that 32 bits would cut
    const QString path = box.filePath("Snaplore.sidx");
    const auto build = [&](qint32 count, quint64 recordedHeader, bool second) {
        QByteArray head = catalogBytes(3, {}, count);
        Entry first("big.jpg", {}, {}, 5, {});
        first.headerLength = recordedHeader;
        head += entryBytes(first);
        const QByteArray tail = second ? entryBytes({"b.jpg", {}, {}, 99, canon}) : QByteArray();
        const quint64 length = quint64(head.size()) + big + quint64(tail.size());
        QByteArray recorded;
        bytes::putLe64(recorded, length);
        head.replace(CatalogFile::kV3LengthOffset, 8, recorded);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(head) != head.size() ||
            !file.resize(qint64(length)) || !file.seek(qint64(head.size() + big)) || file.write(tail) != tail.size())
            return false;
        return true;
    };

    ASSERT_TRUE(build(2, big, true));
    MappedCatalog map;
    ASSERT_TRUE(map.open(path));
    ASSERT_GT(quint64(map.bytes().size()), quint64(1) << 32);
    CatalogReader reader(map.bytes());
    CatalogHeader header;
    ASSERT_EQ(reader.readHeader(header), CatalogError::None);
    EXPECT_EQ(header.length, quint64(map.bytes().size()));
    CatalogEntry first, second, none;
    ASSERT_EQ(reader.readEntry(first), CatalogError::None);
    EXPECT_EQ(quint64(first.header.size()), big);
    ASSERT_EQ(reader.readEntry(second), CatalogError::None);
    EXPECT_EQ(second.name, "b.jpg");
    EXPECT_EQ(second.header, canon);
    EXPECT_EQ(reader.readEntry(none), CatalogError::MissingEntries);

    Catalog catalog;
    ASSERT_TRUE(catalog.open(box.path()));
    ASSERT_EQ(catalog.entryCount(), 2);
    EXPECT_EQ(catalog.readPicture(1)->exifThumbnail(), PictureRecord(dataPath("Canon_40D.jpg")).exifThumbnail());
    EXPECT_FALSE(catalog.damaged());

    // Counts and lengths that do not fit: the entries before them, and the damage named.
    const struct {
        const char* what;
        qint32 count;
        quint64 headerLength;
        CatalogError fault;
        qsizetype entries;
    } refused[] = {
        {"a count no file could hold", std::numeric_limits<qint32>::max(), big, CatalogError::MissingEntries, 2},
        {"a length past the end", 2, big + (1 << 20), CatalogError::HeaderBeyondFile, 0},
        {"a length beyond 64-bit positions", 2, std::numeric_limits<quint64>::max(), CatalogError::HeaderBeyondFile, 0},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.what);
        ASSERT_TRUE(build(r.count, r.headerLength, true));
        Catalog damaged;
        ASSERT_TRUE(damaged.open(box.path()));
        EXPECT_EQ(damaged.fault(), r.fault);
        EXPECT_EQ(damaged.entryCount(), r.entries);
        EXPECT_TRUE(damaged.damaged());
    }
}

// A catalog that shrinks under its reader (another program cut it, or its disc went away) reads as
// zeros where its bytes are gone, never ends the program, and says so.
TEST_F(CraftedCatalog, ACatalogThatShrinksUnderItsReaderReadsAsZerosAndSaysSo) {
    QByteArray bytes = catalogBytes(3, {{"a.jpg", "Disc", "/nowhere", 1, canon}, {"b.jpg", "Disc", "/nowhere", 2, fields}});
    bytes.append(QByteArray(3 * 4096, 'x'));  // pages past the entries, so that a cut takes whole pages
    const QString path = box.filePath("Snaplore.sidx");
    ASSERT_TRUE(writeAll(path, withTrueLength(bytes)));

    MappedCatalog map;
    ASSERT_TRUE(map.open(path));
    ASSERT_TRUE(QFile::resize(path, 0));
    quint64 sum = 0;
    for (const char c : map.bytes()) sum += uchar(c);
    EXPECT_EQ(sum, 0u);
    EXPECT_TRUE(map.faulted());

    // Pictures read before the cut ask the catalog for their thumbnails afterwards.
    ASSERT_TRUE(writeAll(path, withTrueLength(bytes)));
    Catalog catalog;
    ASSERT_TRUE(catalog.load(box.path()));
    ASSERT_EQ(catalog.pictures().size(), 2u);
    ASSERT_TRUE(QFile::resize(path, 100));
    EXPECT_TRUE(catalog.pictures()[0]->exifThumbnail().isEmpty());
    const std::unique_ptr<PictureRecord> again = catalog.readPicture(1);
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(again->isJpeg());
}

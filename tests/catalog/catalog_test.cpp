// Catalogs as the program writes and reads them: created from a folder's pictures and its subfolders'
// catalogs, archived, refreshed and removed, and every write leaving a whole catalog behind.

#include "catalog.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <csignal>
#include <cstdio>
#include <map>
#include <vector>

#include "catalogcut.h"
#include "catalogfile.h"
#include "catalogupdate.h"
#include "picturerecord.h"
#include "testsupport.h"

using testsupport::dataPath;
using testsupport::readAll;
using testsupport::SandBox;

namespace {

struct CliRun {
    int status = -1;
    QByteArray out, err;
};

CliRun cli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(SNAPLORE_CLI_PATH), args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

QString catalogOf(const QString& folder) { return folder + "/Snaplore.sidx"; }

struct RawEntry {
    QByteArray name, archiveName, archiveLocation, header;
    quint64 fileSize = 0;
};

// The entries exactly as they stand in the file.
std::vector<RawEntry> rawEntries(const QByteArray& bytes, CatalogHeader* headerOut = nullptr) {
    CatalogReader reader(bytes);
    CatalogHeader header;
    EXPECT_EQ(reader.readHeader(header), CatalogError::None);
    if (headerOut) *headerOut = header;
    std::vector<RawEntry> entries;
    for (qint32 i = 0; i < header.count; ++i) {
        CatalogEntry e;
        EXPECT_EQ(reader.readEntry(e), CatalogError::None) << "entry " << i;
        entries.push_back({e.name.toByteArray(), e.archiveName.toByteArray(), e.archiveLocation.toByteArray(),
                           e.header.toByteArray(), e.fileSize});
    }
    EXPECT_EQ(reader.position(), bytes.size()) << "bytes after the last entry";
    return entries;
}

QStringList pictureNames(const Catalog& catalog) {
    QStringList names;
    for (const auto& p : catalog.pictures()) names << p->fileName();
    return names;
}

QStringList leftOutNames(const CatalogCreateReport& report) {
    QStringList names;
    for (const CatalogLeftOut& left : report.leftOut) names << left.name;
    names.sort();
    return names;
}

// Removes, last first, what was made under names given as bytes: the sandbox cannot spell them to
// remove them itself.
struct RawNames {
    std::vector<QByteArray> paths;
    const char* add(const QByteArray& path) {
        paths.push_back(path);
        return paths.back().constData();
    }
    ~RawNames() {
        for (auto it = paths.rbegin(); it != paths.rend(); ++it) std::remove(it->constData());
    }
};

// Makes a file under a name given as bytes, which QFile cannot spell when they are not UTF-8.
bool writeRaw(const QByteArray& path, const QByteArray& bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written;
}

// The folder's files, hidden ones too: what a write left behind.
QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

bool runningAsRoot() { return ::geteuid() == 0; }

using testsupport::FileSizeLimit;

void setModificationTime(const QString& path, time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

}  // namespace

TEST(CatalogFile, SignatureIsFixedTextThenTheMarkerBytes) {
    const QByteArrayView signature = CatalogFile::v3Signature();
    ASSERT_EQ(signature.size(), 40);
    for (char c : signature.first(24)) EXPECT_TRUE(c >= 0x20 && c < 0x7F);
    EXPECT_EQ(signature.sliced(24), QByteArrayView("\x00\x1A\xAA\xFF-SnaploreV03", 16));
    EXPECT_EQ(CatalogFile::v2Signature(), QByteArrayView("\xAA\xFF-SnaploreV02", 14));
}

TEST(CatalogFile, EmptyFolderGivesTheBareHeader) {
    SandBox box;
    Catalog catalog;
    const CatalogCreateReport report = catalog.create(box.path(), true);
    ASSERT_TRUE(report.ok()) << describe(report.write).toStdString();
    const QByteArray bytes = readAll(catalogOf(box.path()));
    QByteArray expected = CatalogFile::v3Signature().toByteArray();
    expected += QByteArray("\x01\x00", 2);                          // flag bytes of a new catalog
    expected += QByteArray("\x3E\x00\x00\x00\x00\x00\x00\x00", 8);  // length 62
    expected += QByteArray(4 + 8, '\0');                            // count and total
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(Catalog::version(box.path()), 3);

    ASSERT_TRUE(catalog.load(box.path()));
    EXPECT_EQ(catalog.count(), 0);
    EXPECT_EQ(catalog.totalSize(), 0u);
    EXPECT_EQ(catalog.fileLength(), 62u);
    EXPECT_EQ(catalog.fault(), CatalogError::None);
}

TEST(CatalogFile, RecordedLengthMustBeTheRealLength) {
    SandBox box;
    box.copy(dataPath("Canon_40D.jpg"));
    Catalog catalog;
    ASSERT_TRUE(catalog.create(box.path(), false).ok());
    const QByteArray good = readAll(catalogOf(box.path()));
    const struct {
        const char* what;
        QByteArray bytes;
        int version;
    } cases[] = {
        {"as written", good, 3},
        {"one byte more", good + 'x', 0},
        {"one byte less", good.chopped(1), 0},
        {"signature changed", QByteArray(good).replace(3, 1, "?"), 0},
        {"only the header's first 50 bytes", good.first(50), 0},
        {"empty", QByteArray(), 0},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(testsupport::writeAll(catalogOf(box.path()), c.bytes));
        EXPECT_EQ(Catalog::version(box.path()), c.version) << c.what;
        EXPECT_EQ(Catalog::version(catalogOf(box.path())), c.version) << c.what << " (by the file's path)";
        EXPECT_EQ(Catalog().load(box.path()), c.version != 0) << c.what;
    }
}

TEST(Catalog, EntryHoldsNameSizeAndTheTrueHeaderBytes) {
    SandBox box;
    const QStringList names = {"Canon_40D.jpg", "iptc_fields.jpg", "app13_split.jpg"};
    for (const QString& n : names) box.copy(dataPath(n));
    ASSERT_TRUE(testsupport::writeAll(box.filePath("empty.jpg"), {}));
    ASSERT_TRUE(testsupport::writeAll(box.filePath("text.jpg"), "not a picture"));
    Catalog catalog;
    const CatalogCreateReport report = catalog.create(box.path(), false);
    ASSERT_TRUE(report.ok());

    CatalogHeader header;
    const auto entries = rawEntries(readAll(catalogOf(box.path())), &header);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(header.count, 5);
    quint64 total = 0;
    for (const RawEntry& e : entries) {
        const QString path = box.filePath(QString::fromUtf8(e.name));
        const QByteArray file = readAll(path);
        EXPECT_EQ(e.fileSize, quint64(file.size())) << e.name.constData();
        EXPECT_TRUE(e.archiveName.isEmpty() && e.archiveLocation.isEmpty());
        // The copy is the file's own first bytes, as many as its header walk covers.
        EXPECT_EQ(quint64(e.header.size()), PictureRecord(path).headerSize()) << e.name.constData();
        EXPECT_TRUE(file.startsWith(e.header)) << e.name.constData();
        total += e.fileSize;
    }
    EXPECT_EQ(header.totalSize, total);
    EXPECT_EQ(report.count, 5);
    EXPECT_EQ(report.totalSize, total);

    // Entries without a header are skipped when loading, and the rest read as the files themselves.
    ASSERT_TRUE(catalog.load(box.path()));
    EXPECT_EQ(catalog.count(), 5);
    EXPECT_EQ(pictureNames(catalog), QStringList({"Canon_40D.jpg", "app13_split.jpg", "iptc_fields.jpg"}));
    for (const auto& p : catalog.pictures()) {
        const PictureRecord original(box.filePath(p->fileName()));
        EXPECT_EQ(p->filePath(), box.filePath(p->fileName()));
        EXPECT_TRUE(p->fileExists());
        EXPECT_TRUE(p->fromCatalog());
        EXPECT_EQ(p->fileSize(), original.fileSize());
        EXPECT_EQ(p->iptc().headline, original.iptc().headline);
        EXPECT_EQ(p->exifThumbnail(), original.exifThumbnail());
        EXPECT_EQ(p->rotation(), original.rotation());
    }
}

TEST(Catalog, UnreadablePictureGetsAnEntryWithoutHeader) {
    if (runningAsRoot()) GTEST_SKIP() << "the superuser reads files without read permission";
    SandBox box;
    box.copy(dataPath("Canon_40D.jpg"), "a.jpg");
    const QString hidden = box.copy(dataPath("Canon_40D.jpg"), "b.jpg");
    box.copy(dataPath("iptc_fields.jpg"), "c.jpg");
    ASSERT_EQ(::chmod(QFile::encodeName(hidden).constData(), 0), 0);
    Catalog catalog;
    ASSERT_TRUE(catalog.create(box.path(), false).ok());
    ::chmod(QFile::encodeName(hidden).constData(), 0644);
    const auto entries = rawEntries(readAll(catalogOf(box.path())));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_TRUE(entries[1].header.isEmpty());
    ASSERT_TRUE(catalog.load(box.path()));
    EXPECT_EQ(pictureNames(catalog), QStringList({"a.jpg", "c.jpg"}));
    EXPECT_EQ(catalog.withoutHeader(), QStringList{"b.jpg"});
    EXPECT_EQ(catalog.pictures()[1]->iptc().headline, PictureRecord(box.filePath("c.jpg")).iptc().headline);
}

TEST(Catalog, ListsEveryJpgNameAndNothingElse) {
    SandBox box;
    for (const QString& name :
         {QString("a.jpg"), QString("B.JPG"), QString("e.Jpg"), QString("c.jpeg"), QString("d.jpg.txt"),
          QString("notes.txt"), QString(".hidden.jpg"), QString::fromUtf8("Grüße.jpg")})
        box.copy(dataPath("Canon_40D.jpg"), name);
    QDir(box.path()).mkdir("folder.jpg");
    Catalog catalog;
    ASSERT_TRUE(catalog.create(box.path(), false).ok());
    ASSERT_TRUE(catalog.load(box.path()));
    QStringList names = pictureNames(catalog);
    QStringList expected = {".hidden.jpg", "B.JPG", "a.jpg", "e.Jpg", QString::fromUtf8("Grüße.jpg")};
    names.sort();
    expected.sort();
    EXPECT_EQ(names, expected);
    // Text lines are UTF-8.
    bool found = false;
    for (const RawEntry& e : rawEntries(readAll(catalogOf(box.path()))))
        found = found || e.name == QByteArray(
                                       "Gr\xC3\xBC\xC3\x9F"
                                       "e.jpg");
    EXPECT_TRUE(found);
}

TEST(Catalog, NameThatNoLineCanHoldIsLeftOutAndNamed) {
    SandBox box;
    box.copy(dataPath("Canon_40D.jpg"), "a.jpg");
    box.copy(dataPath("Canon_40D.jpg"), "line\nfeed.jpg");
    box.copy(dataPath("Canon_40D.jpg"), "back\\slash.jpg");
    box.copy(dataPath("iptc_fields.jpg"), "z.jpg");
    Catalog catalog;
    const CatalogCreateReport report = catalog.create(box.path(), false);
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(leftOutNames(report), QStringList({"back\\slash.jpg", "line\nfeed.jpg"}));
    EXPECT_EQ(report.count, 2);
    ASSERT_TRUE(catalog.load(box.path()));
    EXPECT_EQ(catalog.fault(), CatalogError::None);
    EXPECT_EQ(pictureNames(catalog), QStringList({"a.jpg", "z.jpg"}));
    EXPECT_EQ(catalog.pictures()[1]->iptc().headline, PictureRecord(box.filePath("z.jpg")).iptc().headline);

    // Pictures left out are files skipped: the catalog is written, and the status says not all went in.
    const CliRun run = cli({"catalog", "create", box.path()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.contains("Catalog Created: 2 entries")) << run.out.constData();
    EXPECT_TRUE(run.err.contains("line\\nfeed.jpg")) << run.err.constData();
    EXPECT_TRUE(run.err.contains("back\\slash.jpg")) << run.err.constData();
}

// Names that are not UTF-8 cannot go into a catalog line, and a pipe with a picture's name is no
// picture: each is named, none stops the rest or makes the create wait.
TEST(Catalog, NamesNotUtf8AndSpecialFilesAreLeftOutAndNamed) {
    SandBox box;
    box.copy(dataPath("Canon_40D.jpg"), "a.jpg");
    const QByteArray folder = QFile::encodeName(box.path());
    const QByteArray picture = readAll(dataPath("iptc_fields.jpg"));
    RawNames made;
    ASSERT_TRUE(writeRaw(made.add(folder + "/b\xE9.jpg"), picture));  // Latin-1
    ASSERT_TRUE(writeRaw(made.add(folder + "/c\xFF.txt"), picture));  // not a picture name: no word about it
    ASSERT_EQ(::mkdir(made.add(folder + "/sub\xFE"), 0755), 0);
    ASSERT_EQ(::mkdir(made.add(folder + "/plain\xFE"), 0755), 0);  // no catalog in it: nothing left out
    ASSERT_EQ(::mkfifo((folder + "/pipe.jpg").constData(), 0644), 0);
    {
        SandBox other;
        other.copy(dataPath("Canon_40D.jpg"), "inner.jpg");
        ASSERT_TRUE(Catalog().create(other.path(), false).ok());
        ASSERT_TRUE(writeRaw(made.add(folder + "/sub\xFE/Snaplore.sidx"), readAll(catalogOf(other.path()))));
    }

    QProcess p;
    p.start(QStringLiteral(SNAPLORE_CLI_PATH), {"catalog", "create", box.path(), "--subfolders"});
    ASSERT_TRUE(p.waitForFinished(10000)) << "the create waited on the pipe";
    const QByteArray err = p.readAllStandardError();
    EXPECT_EQ(p.exitCode(), 1) << err.constData();
    EXPECT_TRUE(p.readAllStandardOutput().contains("Catalog Created: 1 entries"));
    EXPECT_TRUE(err.contains("b\\xE9.jpg: the name is not valid UTF-8 and was left out")) << err.constData();
    EXPECT_TRUE(err.contains("sub\\xFE: the name is not valid UTF-8 and was left out")) << err.constData();
    EXPECT_TRUE(err.contains("pipe.jpg: not a regular file")) << err.constData();
    EXPECT_FALSE(err.contains("c\\xFF")) << err.constData();
    EXPECT_FALSE(err.contains("plain")) << err.constData();

    Catalog catalog;
    const CatalogCreateReport report = catalog.create(box.path(), true);
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(leftOutNames(report), QStringList({"b\\xE9.jpg", "pipe.jpg", "sub\\xFE"}));
    ASSERT_TRUE(catalog.load(box.path()));
    EXPECT_EQ(pictureNames(catalog), QStringList({"a.jpg"}));
}

TEST(Catalog, SubfolderEntriesFollowTheFolderOwnWithTheSubfolderName) {
    SandBox box;
    QDir root(box.path());
    for (const char* sub : {"alpha", "beta", "plain"}) root.mkdir(sub);
    box.copy(dataPath("Canon_40D.jpg"), "own.jpg");
    box.copy(dataPath("iptc_fields.jpg"), "alpha/one.jpg");
    box.copy(dataPath("Canon_40D.jpg"), "beta/two.jpg");
    box.copy(dataPath("Canon_40D.jpg"), "beta/three.jpg");
    box.copy(dataPath("Canon_40D.jpg"), "plain/uncatalogued.jpg");
    Catalog catalog;
    ASSERT_TRUE(catalog.create(box.filePath("alpha"), false).ok());
    ASSERT_TRUE(catalog.create(box.filePath("beta"), false).ok());
    // One of beta's pictures was archived: it keeps its own name, disc and place.
    ASSERT_TRUE(catalog.rewriteArchive(box.filePath("beta"), "Disc 7", "/media/cdrom/beta").ok());

    const CatalogCreateReport report = catalog.create(box.path(), true);
    ASSERT_TRUE(report.ok());
    const auto entries = rawEntries(readAll(catalogOf(box.path())));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, "own.jpg");
    EXPECT_EQ(entries[1].name, "alpha\\one.jpg");
    EXPECT_EQ(entries[2].name, "three.jpg");
    EXPECT_EQ(entries[2].archiveName, "Disc 7");
    EXPECT_EQ(entries[2].archiveLocation, "/media/cdrom/beta");
    EXPECT_EQ(entries[3].name, "two.jpg");
    EXPECT_EQ(entries[1].header, rawEntries(readAll(catalogOf(box.filePath("alpha"))))[0].header);

    ASSERT_TRUE(catalog.load(box.path()));
    ASSERT_EQ(catalog.pictures().size(), 4u);
    const PictureRecord& one = *catalog.pictures()[1];
    EXPECT_EQ(one.fileName(), "alpha/one.jpg");
    EXPECT_EQ(one.filePath(), box.filePath("alpha/one.jpg"));
    EXPECT_TRUE(one.fileExists());
    EXPECT_EQ(one.iptc().headline, PictureRecord(box.filePath("alpha/one.jpg")).iptc().headline);
    // An entry with an archive location takes its path from there, one without from the folder.
    EXPECT_EQ(catalog.pictures()[2]->filePath(), "/media/cdrom/beta/three.jpg");
    EXPECT_EQ(catalog.pictures()[0]->filePath(), box.filePath("own.jpg"));

    // Without subfolders only the folder's own pictures are catalogued.
    ASSERT_TRUE(catalog.create(box.path(), false).ok());
    EXPECT_EQ(rawEntries(readAll(catalogOf(box.path()))).size(), 1u);
}

TEST(Catalog, LinkBackToTheFolderIsNoSubfolder) {
    SandBox box;
    QDir(box.path()).mkdir("real");
    box.copy(dataPath("Canon_40D.jpg"), "own.jpg");
    box.copy(dataPath("Canon_40D.jpg"), "real/inner.jpg");
    ASSERT_TRUE(QFile::link(box.path(), box.filePath("self")));
    ASSERT_TRUE(QFile::link("..", box.filePath("real/up")));
    Catalog catalog;
    ASSERT_TRUE(catalog.create(box.filePath("real"), true).ok());
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(catalog.create(box.path(), true).ok());
        ASSERT_TRUE(catalog.create(box.filePath("real"), true).ok());
    }
    ASSERT_TRUE(catalog.load(box.path()));
    EXPECT_EQ(pictureNames(catalog), QStringList({"own.jpg", "real/inner.jpg"}));
}

TEST(Catalog, OlderFileNameIsReadAndReplacedOnCreate) {
    SandBox box;
    box.copy(dataPath("iptc_fields.jpg"), "a.jpg");
    Catalog catalog;
    ASSERT_TRUE(catalog.create(box.path(), false).ok());
    ASSERT_TRUE(QFile::rename(catalogOf(box.path()), box.filePath("Snaplore.idx")));

    EXPECT_EQ(Catalog::version(box.path()), 3);
    ASSERT_TRUE(catalog.load(box.path()));
    EXPECT_EQ(catalog.catalogPath(), box.filePath("Snaplore.idx"));
    EXPECT_EQ(pictureNames(catalog), QStringList({"a.jpg"}));

    ASSERT_TRUE(catalog.create(box.path(), false).ok());
    EXPECT_TRUE(QFileInfo::exists(catalogOf(box.path())));
    EXPECT_FALSE(QFileInfo::exists(box.filePath("Snaplore.idx")));
    ASSERT_TRUE(catalog.load(box.path()));
    EXPECT_EQ(catalog.catalogPath(), catalogOf(box.path()));
}

TEST(Catalog, ArchivedCatalogKeepsDataAndThumbnailsWithoutThePictures) {
    SandBox box;
    QStringList names;
    for (const char* n : {"Canon_40D.jpg", "iptc_fields.jpg", "Canon_40D_photoshop_import.jpg"})
        names << QFileInfo(box.copy(dataPath(n))).fileName();
    QDir(box.path()).mkdir("sub");
    box.copy(dataPath("iptc_utf8_tz.jpg"), "sub/inner.jpg");
    Catalog catalog;
    ASSERT_TRUE(catalog.create(box.filePath("sub"), false).ok());
    ASSERT_TRUE(catalog.create(box.path(), true).ok());
    names << "sub/inner.jpg";

    std::map<QString, std::unique_ptr<PictureRecord>> originals;
    for (const QString& n : names) {
        originals[n] = std::make_unique<PictureRecord>(box.filePath(n));
        originals[n]->makeThumbnail();
    }
    const QByteArray before = readAll(catalogOf(box.path()));
    ASSERT_EQ(::chmod(QFile::encodeName(catalogOf(box.path())).constData(), 0640), 0);

    const CliRun run =
        cli({"catalog", "archive", box.path(), "--cd-name", "Holiday 2004", "--location", "/media/cdrom/Photos"});
    ASSERT_EQ(run.status, 0) << run.err.constData();
    EXPECT_FALSE(QFileInfo::exists(box.filePath("temp.sidx")));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(catalogOf(box.path())).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // Only the two archive lines of each entry changed.
    CatalogHeader oldHeader, newHeader;
    const auto oldEntries = rawEntries(before, &oldHeader);
    const auto newEntries = rawEntries(readAll(catalogOf(box.path())), &newHeader);
    ASSERT_EQ(newEntries.size(), oldEntries.size());
    EXPECT_EQ(newHeader.count, oldHeader.count);
    EXPECT_EQ(newHeader.totalSize, oldHeader.totalSize);
    for (size_t i = 0; i < newEntries.size(); ++i) {
        EXPECT_EQ(newEntries[i].name, oldEntries[i].name);
        EXPECT_EQ(newEntries[i].archiveName, "Holiday 2004");
        EXPECT_EQ(newEntries[i].archiveLocation, "/media/cdrom/Photos");
        EXPECT_EQ(newEntries[i].fileSize, oldEntries[i].fileSize);
        EXPECT_EQ(newEntries[i].header, oldEntries[i].header);
    }

    for (const QString& n : names) ASSERT_TRUE(QFile::remove(box.filePath(n)));
    ASSERT_TRUE(catalog.load(box.path()));
    ASSERT_EQ(catalog.pictures().size(), size_t(names.size()));
    for (const auto& p : catalog.pictures()) {
        const PictureRecord& original = *originals.at(p->fileName());
        EXPECT_EQ(p->filePath(), "/media/cdrom/Photos/" + p->fileName());
        EXPECT_FALSE(p->fileExists());
        EXPECT_EQ(p->archiveName, "Holiday 2004");
        EXPECT_EQ(p->archiveLocation, "/media/cdrom/Photos");
        EXPECT_EQ(p->iptc().headline, original.iptc().headline);
        EXPECT_EQ(p->iptc().caption, original.iptc().caption);
        EXPECT_EQ(p->iptc().people, original.iptc().people);
        EXPECT_EQ(p->exifThumbnail(), original.exifThumbnail());
        // The thumbnail comes from the catalog's bytes; a catalog picture is never decoded.
        p->makeThumbnail();
        if (original.thumbnailSource() == PictureRecord::ThumbnailSource::Decoded) {
            EXPECT_EQ(p->thumbnailSource(), PictureRecord::ThumbnailSource::None) << p->fileName().toStdString();
        } else {
            EXPECT_EQ(p->thumbnailSource(), original.thumbnailSource()) << p->fileName().toStdString();
            EXPECT_EQ(p->thumbnailImage(), original.thumbnailImage()) << p->fileName().toStdString();
        }
    }
}

TEST(Catalog, ArchiveKeepsTheFlagBytesAndRefusesLineFeeds) {
    SandBox box;
    box.copy(dataPath("Canon_40D.jpg"));
    Catalog catalog;
    ASSERT_TRUE(catalog.create(box.path(), false).ok());
    QByteArray bytes = readAll(catalogOf(box.path()));
    bytes[40] = char(7);
    bytes[41] = char(9);
    ASSERT_TRUE(testsupport::writeAll(catalogOf(box.path()), bytes));
    ASSERT_TRUE(catalog.rewriteArchive(box.path(), "CD", "/mnt").ok());
    ASSERT_TRUE(catalog.load(box.path()));
    EXPECT_EQ(catalog.flagA(), 7);
    EXPECT_EQ(catalog.flagB(), 9);

    const QByteArray archived = readAll(catalogOf(box.path()));
    EXPECT_EQ(catalog.rewriteArchive(box.path(), "CD", "/mnt\n/x").error, WriteError::TooLarge);
    EXPECT_EQ(catalog.rewriteArchive(box.path(), "C\nD", "/mnt").error, WriteError::TooLarge);
    EXPECT_EQ(readAll(catalogOf(box.path())), archived);
    EXPECT_FALSE(catalog.rewriteArchive(box.filePath("nowhere"), "CD", "/mnt").ok());
}

TEST(Catalog, FailedWriteLeavesTheOldCatalogWhole) {
    SandBox box;
    box.copy(dataPath("Canon_40D.jpg"), "a.jpg");
    Catalog catalog;
    ASSERT_TRUE(catalog.create(box.path(), false).ok());
    const QByteArray before = readAll(catalogOf(box.path()));
    for (int i = 0; i < 4; ++i) box.copy(dataPath("iptc_fields.jpg"), QString("more%1.jpg").arg(i));
    const auto unchanged = [&](const char* what) {
        EXPECT_EQ(readAll(catalogOf(box.path())), before) << what;
        EXPECT_EQ(Catalog::version(box.path()), 3) << what;
        EXPECT_EQ(QDir(box.path()).entryList({"*.sidx*", ".*sidx*"}, QDir::Files | QDir::Hidden),
                  QStringList({"Snaplore.sidx"}))
            << what << ": a scratch file stayed";
    };
    {
        // A disk that fills up halfway through the new catalog.
        FileSizeLimit limit(4096);
        EXPECT_EQ(catalog.create(box.path(), false).write.error, WriteError::WriteFailed);
        EXPECT_EQ(catalog.rewriteArchive(box.path(), "CD", "/mnt").error, WriteError::WriteFailed);
    }
    unchanged("disk full");

    // A catalog its owner locked is not replaced, not even by the superuser.
    ASSERT_TRUE(QFile::setPermissions(catalogOf(box.path()), QFile::ReadOwner | QFile::ReadGroup));
    EXPECT_EQ(catalog.create(box.path(), false).write.error, WriteError::Locked);
    EXPECT_EQ(catalog.rewriteArchive(box.path(), "CD", "/mnt").error, WriteError::Locked);
    EXPECT_EQ(Catalog::createEmpty(box.path()).error, WriteError::Locked);
    unchanged("locked");
}

TEST(Catalog, RefreshRebuildsOnlyWhenASubfolderCatalogIsNewer) {
    SandBox box;
    QDir(box.path()).mkdir("sub");
    QDir(box.path()).mkdir("nocatalog");
    box.copy(dataPath("Canon_40D.jpg"), "own.jpg");
    box.copy(dataPath("iptc_fields.jpg"), "sub/a.jpg");
    Catalog catalog;
    ASSERT_TRUE(catalog.create(box.filePath("sub"), false).ok());
    ASSERT_TRUE(catalog.create(box.path(), false).ok());  // without the subfolder, on purpose
    const QString own = catalogOf(box.path());
    const QString sub = catalogOf(box.filePath("sub"));

    const struct {
        const char* what;
        time_t ownTime, subTime;
        bool rebuilt;
    } cases[] = {
        {"subfolder older", 1500000000, 1000000000, false},
        {"same time", 1200000000, 1200000000, false},
        {"subfolder newer", 1000000000, 1500000000, true},
    };
    for (const auto& c : cases) {
        setModificationTime(own, c.ownTime);
        setModificationTime(sub, c.subTime);
        const CatalogRefreshReport report = catalog.refresh(box.path());
        EXPECT_EQ(report.rebuilt, c.rebuilt) << c.what;
        EXPECT_EQ(report.create.ok(), true) << c.what;
    }
    // The rebuilt catalog takes the subfolder in and has a time of its own, later than the subfolder's.
    ASSERT_TRUE(catalog.load(box.path()));
    EXPECT_EQ(pictureNames(catalog), QStringList({"own.jpg", "sub/a.jpg"}));
    EXPECT_GT(QFileInfo(own).lastModified(), QFileInfo(sub).lastModified());
    EXPECT_FALSE(catalog.refresh(box.path()).rebuilt);

    // A removed subfolder catalog is no catalog: it never triggers a rebuild.
    ASSERT_TRUE(Catalog::createEmpty(box.filePath("sub")).ok());
    setModificationTime(own, 1000000000);
    EXPECT_FALSE(catalog.refresh(box.path()).rebuilt);
    // Nor is there anything to refresh in a folder without a catalog.
    EXPECT_FALSE(catalog.refresh(box.filePath("nocatalog")).rebuilt);
}

TEST(Catalog, RemovedCatalogIsAnEmptyFileThatCountsAsNone) {
    SandBox box;
    box.copy(dataPath("Canon_40D.jpg"));
    Catalog catalog;
    ASSERT_TRUE(catalog.create(box.path(), false).ok());
    // An older catalog beside it stays hidden: only a file that cannot be opened sends the look-up on.
    ASSERT_TRUE(QFile::copy(catalogOf(box.path()), box.filePath("Snaplore.idx")));

    const CliRun run = cli({"catalog", "remove", box.path()});
    EXPECT_EQ(run.status, 0) << run.err.constData();
    EXPECT_EQ(run.out.trimmed(), "Catalog Removed");
    EXPECT_EQ(QFileInfo(catalogOf(box.path())).size(), 0);
    EXPECT_EQ(Catalog::version(box.path()), 0);
    EXPECT_FALSE(catalog.load(box.path()));
    EXPECT_EQ(catalog.fault(), CatalogError::NoCatalog);
    EXPECT_EQ(cli({"catalog", "version", box.path()}).out.trimmed(), "0");
    EXPECT_EQ(cli({"catalog", "remove", box.path()}).status, 1);
    EXPECT_EQ(cli({"catalog", "list", box.path()}).status, 1);
}

// A catalog name that is a symbolic link would have every write land on the file it names, outside
// the folder. Every command refuses it with a message and leaves link and file as they are.
TEST(Catalog, CatalogNameThatIsALinkIsRefused) {
    SandBox elsewhere;
    elsewhere.copy(dataPath("Canon_40D.jpg"));
    ASSERT_TRUE(Catalog().create(elsewhere.path(), false).ok());
    const QString target = catalogOf(elsewhere.path());
    const QByteArray targetBytes = readAll(target);

    for (const char* linkName : {"Snaplore.sidx", "Snaplore.idx"}) {
        SandBox box;
        box.copy(dataPath("iptc_fields.jpg"), "a.jpg");
        const QString link = box.filePath(linkName);
        ASSERT_TRUE(QFile::link(target, link));
        const auto untouched = [&](const std::string& what) {
            EXPECT_EQ(readAll(target), targetBytes) << linkName << ", " << what;
            EXPECT_EQ(QFileInfo(link).symLinkTarget(), target) << linkName << ", " << what;
            EXPECT_EQ(filesIn(box.path()), QStringList({QString(linkName), "a.jpg"})) << linkName << ", " << what;
        };

        Catalog catalog;
        EXPECT_EQ(Catalog::version(box.path()), 0) << linkName;
        EXPECT_FALSE(catalog.load(box.path())) << linkName;
        EXPECT_EQ(catalog.fault(), CatalogError::Link) << linkName;
        const struct {
            const char* what;
            WriteResult result;
        } calls[] = {
            {"create", catalog.create(box.path(), true).write},
            {"archive", catalog.rewriteArchive(box.path(), "CD", "/cd")},
            {"remove", Catalog::createEmpty(box.path())},
        };
        for (const auto& c : calls) {
            EXPECT_FALSE(c.result.ok()) << linkName << ", " << c.what;
            EXPECT_TRUE(c.result.detail.contains("symbolic link")) << linkName << ", " << c.what;
            untouched(c.what);
        }

        const QStringList commands[] = {
            {"catalog", "create", box.path()},
            {"catalog", "archive", box.path(), "--cd-name", "CD", "--location", "/cd"},
            {"catalog", "remove", box.path()},
            {"catalog", "list", box.path()},
        };
        for (const QStringList& args : commands) {
            const CliRun run = cli(args);
            EXPECT_EQ(run.status, 1) << args.join(' ').toStdString();
            EXPECT_TRUE(run.err.contains("symbolic link")) << args.join(' ').toStdString() << "\n" << run.err.constData();
            EXPECT_FALSE(run.out.contains("Catalog")) << args.join(' ').toStdString() << "\n" << run.out.constData();
            untouched(args.join(' ').toStdString());
        }
    }

    // A subfolder's catalog that is a link stops the parent's create: the parent's catalog stays.
    SandBox box;
    box.copy(dataPath("iptc_fields.jpg"), "a.jpg");
    ASSERT_TRUE(QDir(box.path()).mkdir("sub"));
    Catalog catalog;
    ASSERT_TRUE(catalog.create(box.path(), false).ok());
    const QByteArray before = readAll(catalogOf(box.path()));
    ASSERT_TRUE(QFile::link(target, box.filePath("sub/Snaplore.sidx")));
    const CatalogCreateReport report = catalog.create(box.path(), true);
    EXPECT_FALSE(report.ok());
    EXPECT_EQ(report.refusedCatalog, box.filePath("sub/Snaplore.sidx"));
    EXPECT_EQ(readAll(catalogOf(box.path())), before);
    EXPECT_EQ(readAll(target), targetBytes);
    EXPECT_EQ(filesIn(box.path()), QStringList({"Snaplore.sidx", "a.jpg"}));
}

// The archive rewrite makes its own temporary file: a file of the user's that happens to bear a
// likely name is neither read, removed nor replaced.
TEST(Catalog, ArchiveLeavesFilesItDidNotMakeAlone) {
    SandBox box;
    box.copy(dataPath("Canon_40D.jpg"), "a.jpg");
    ASSERT_TRUE(Catalog().create(box.path(), false).ok());
    const QByteArray mine = "the user's own notes";
    for (const char* name : {"temp.sidx", ".Snaplore.sidx", "Snaplore.sidx.tmp"})
        ASSERT_TRUE(testsupport::writeAll(box.filePath(name), mine));
    const QStringList before = filesIn(box.path());

    const CliRun run = cli({"catalog", "archive", box.path(), "--cd-name", "CD", "--location", "/cd"});
    ASSERT_EQ(run.status, 0) << run.err.constData();
    EXPECT_EQ(filesIn(box.path()), before);
    for (const char* name : {"temp.sidx", ".Snaplore.sidx", "Snaplore.sidx.tmp"})
        EXPECT_EQ(readAll(box.filePath(name)), mine) << name;
    Catalog catalog;
    ASSERT_TRUE(catalog.load(box.path()));
    ASSERT_EQ(catalog.pictures().size(), 1u);
    EXPECT_EQ(catalog.pictures()[0]->archiveName, "CD");
}

TEST(Catalog, ClearHandsThePicturesOverAndDestroyDeletesThem) {
    SandBox box;
    box.copy(dataPath("Canon_40D.jpg"), "a.jpg");
    box.copy(dataPath("iptc_fields.jpg"), "b.jpg");
    Catalog catalog;
    ASSERT_TRUE(catalog.create(box.path(), false).ok());

    ASSERT_TRUE(catalog.load(box.path(), false));
    EXPECT_EQ(catalog.count(), 2);
    EXPECT_TRUE(catalog.pictures().empty());

    ASSERT_TRUE(catalog.load(box.path()));
    const PictureRecord* first = catalog.pictures()[0].get();
    PictureList taken = catalog.clear();
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0].get(), first);
    EXPECT_EQ(taken[0]->fileName(), "a.jpg");  // still alive, now the caller's
    EXPECT_TRUE(catalog.pictures().empty());
    EXPECT_EQ(catalog.count(), 0);
    EXPECT_EQ(catalog.totalSize(), 0u);
    EXPECT_EQ(catalog.fileLength(), 0u);
    EXPECT_TRUE(catalog.catalogPath().isEmpty());
    EXPECT_TRUE(catalog.folder().isEmpty());

    ASSERT_TRUE(catalog.load(box.path()));
    EXPECT_EQ(catalog.takePictures().size(), 2u);
    EXPECT_EQ(catalog.count(), 2);
    ASSERT_TRUE(catalog.load(box.path()));
    catalog.destroyPictures();
    EXPECT_TRUE(catalog.pictures().empty());
    EXPECT_EQ(catalog.count(), 2);
}

TEST(CatalogCli, ListGivesWhatInfoGivesForEachFile) {
    const QStringList corpus = testsupport::corpusFiles();
    if (corpus.isEmpty()) GTEST_SKIP() << "no corpus on this machine";
    SandBox box;
    QStringList jpgs;
    const QString corpusDir = testsupport::corpusDir();
    for (const QString& file : corpus) {
        // Flat, with the corpus path in the name, so that names are unique; other extensions stay
        // as they are and must be ignored.
        const QString name = file.mid(corpusDir.size() + 1).replace('/', '_');
        box.copy(file, name);
        if (name.right(4).toLower() == ".jpg") jpgs << name;
    }
    ASSERT_FALSE(jpgs.isEmpty());
    ASSERT_EQ(cli({"catalog", "create", box.path()}).status, 0);

    const CliRun listed = cli({"catalog", "list", box.path(), "--json"});
    const QJsonArray entries = QJsonDocument::fromJson(listed.out).array();
    QStringList listedNames;
    std::map<QString, QJsonObject> byName;
    for (const QJsonValue& v : entries) {
        const QJsonObject o = v.toObject();
        for (const char* key : {"name", "path", "archiveName", "archiveLocation", "fileSize", "headerLength", "width",
                                "height", "hasData", "exif", "iptc"})
            EXPECT_TRUE(o.contains(key)) << key;
        listedNames << o["name"].toString();
        byName[o["name"].toString()] = o;
    }

    QStringList paths;
    for (const QString& n : jpgs) paths << box.filePath(n);
    const CliRun info = cli(QStringList({"info", "--json"}) + paths);
    const QJsonArray infos = QJsonDocument::fromJson(info.out).array();
    ASSERT_EQ(infos.size(), jpgs.size());
    QStringList expected;
    for (qsizetype i = 0; i < jpgs.size(); ++i) {
        const QJsonObject fromFile = infos[i].toObject();
        // A file whose header cannot be walked has no header copy and no catalog picture; the list
        // names it, and its status says that not every entry was shown.
        if (fromFile["headerSize"].toInteger() == 0) {
            EXPECT_TRUE(listed.err.contains(jpgs[i].toUtf8() + ": the catalog holds no picture header"))
                << jpgs[i].toStdString();
            continue;
        }
        expected << jpgs[i];
        const auto it = byName.find(jpgs[i]);
        if (it == byName.end()) continue;
        const QJsonObject& fromCatalog = it->second;
        EXPECT_EQ(fromCatalog["exif"], fromFile["exif"]) << jpgs[i].toStdString();
        EXPECT_EQ(fromCatalog["iptc"], fromFile["iptc"]) << jpgs[i].toStdString();
        EXPECT_EQ(fromCatalog["fileSize"], fromFile["fileSize"]) << jpgs[i].toStdString();
        EXPECT_EQ(fromCatalog["headerLength"], fromFile["headerSize"]) << jpgs[i].toStdString();
        EXPECT_EQ(fromCatalog["width"], fromFile["width"]) << jpgs[i].toStdString();
        EXPECT_EQ(fromCatalog["path"].toString(), box.filePath(jpgs[i]));
    }
    listedNames.sort();
    expected.sort();
    EXPECT_EQ(listedNames, expected);
    EXPECT_EQ(listed.status, expected.size() == jpgs.size() ? 0 : 1) << listed.err.constData();
}

TEST(CatalogCli, CommandsAndTheirMistakes) {
    SandBox box;
    QDir(box.path()).mkdir("sub");
    box.copy(dataPath("iptc_fields.jpg"), "sub/a.jpg");
    box.copy(dataPath("Canon_40D.jpg"), "b.jpg");
    const struct {
        QStringList args;
        int status;
        const char* out;
    } cases[] = {
        {{"catalog", "version", box.path()}, 0, "0"},
        {{"catalog", "create", box.filePath("sub")}, 0, "Catalog Created: 1 entries"},
        {{"catalog", "create", box.path(), "--subfolders"}, 0, "Catalog Created: 2 entries"},
        {{"catalog", "version", box.path()}, 0, "3"},
        {{"catalog", "refresh", box.path()}, 0, "Catalog up to date"},
        {{"catalog", "list", box.path()}, 0, "sub/a.jpg"},
        {{"catalog", "archive", box.path(), "--cd-name", "X"}, 2, ""},
        {{"catalog", "create"}, 2, ""},
        {{"catalog", "create", box.path(), "--bogus"}, 2, ""},
        {{"catalog", "frobnicate", box.path()}, 2, ""},
        {{"catalog", "create", box.filePath("missing")}, 1, ""},
    };
    for (const auto& c : cases) {
        const CliRun run = cli(c.args);
        EXPECT_EQ(run.status, c.status) << c.args.join(' ').toStdString() << "\n" << run.err.constData();
        EXPECT_TRUE(run.out.contains(c.out)) << c.args.join(' ').toStdString() << "\n" << run.out.constData();
    }
}


// Every writer refuses a catalog that does not load whole, and leaves it byte for byte; the readers
// say so and name it.
TEST(Catalog, CatalogCutShortIsNeitherRefreshedNorCreatedAgain) {
    SandBox box;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) box.copy(dataPath("Canon_40D.jpg"), name);
    ASSERT_TRUE(Catalog().create(box.path(), true).ok());
    const QByteArray cut = cutAfterFirstEntry(readAll(catalogOf(box.path())));
    ASSERT_TRUE(testsupport::writeAll(catalogOf(box.path()), cut));

    Catalog loaded;
    ASSERT_TRUE(loaded.load(box.path()));
    EXPECT_TRUE(loaded.damaged());
    EXPECT_EQ(pictureNames(loaded), QStringList{"a.jpg"});
    EXPECT_TRUE(loaded.damage().contains(catalogOf(box.path()))) << loaded.damage().toStdString();

    const CatalogCreateReport created = Catalog().create(box.path(), true);
    EXPECT_FALSE(created.ok());
    EXPECT_EQ(created.refusedCatalog, catalogOf(box.path()));
    const CatalogRefreshReport refreshed = Catalog().refresh(box.path());
    EXPECT_FALSE(refreshed.ok());
    EXPECT_FALSE(refreshed.rebuilt);
    EXPECT_TRUE(describe(refreshed.create.write).contains(catalogOf(box.path())));
    EXPECT_EQ(readAll(catalogOf(box.path())), cut);

    const struct {
        QStringList args;
        const char* says;
    } cases[] = {
        {{"catalog", "create", box.path(), "--subfolders"}, "damaged after 1 whole entries"},
        {{"catalog", "refresh", box.path()}, "damaged after 1 whole entries"},
        {{"catalog", "list", box.path()}, "damaged after 1 whole entries"},
    };
    for (const auto& c : cases) {
        const CliRun run = cli(c.args);
        EXPECT_EQ(run.status, 1) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QFile::encodeName(catalogOf(box.path())))) << run.err.constData();
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.constData();
        EXPECT_FALSE(run.out.contains("Created") || run.out.contains("up to date")) << run.out.constData();
        EXPECT_EQ(readAll(catalogOf(box.path())), cut) << c.args.join(' ').toStdString();
    }
}

// Pictures moved to a disc are known only by their entries: a create keeps them as they were, and an
// archive names the disc only for the pictures that are here.
TEST(Catalog, ArchivedEntriesOutliveTheirFiles) {
    SandBox box;
    QDir(box.path()).mkdir("sub");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) box.copy(dataPath("Canon_40D.jpg"), name);
    box.copy(dataPath("Canon_40D.jpg"), "sub/s.jpg");
    Catalog catalog;
    ASSERT_TRUE(catalog.create(box.filePath("sub"), false).ok());
    ASSERT_TRUE(catalog.create(box.path(), true).ok());
    CatalogArchiveCounts counts;
    ASSERT_TRUE(catalog.rewriteArchive(box.path(), "Disc 1", "/media/disc1/", &counts).ok());
    EXPECT_EQ(counts.labelled, 4);
    EXPECT_EQ(counts.kept, 0);
    const auto archived = rawEntries(readAll(catalogOf(box.path())));
    ASSERT_EQ(archived.size(), 4u);

    // b and c go to the disc only; d is new.
    ASSERT_TRUE(QFile::remove(box.filePath("b.jpg")));
    ASSERT_TRUE(QFile::remove(box.filePath("c.jpg")));
    box.copy(dataPath("iptc_fields.jpg"), "d.jpg");
    const CatalogCreateReport report = catalog.create(box.path(), true);
    ASSERT_TRUE(report.ok()) << describe(report.write).toStdString();
    EXPECT_EQ(report.keptArchived, 2);
    const auto kept = rawEntries(readAll(catalogOf(box.path())));
    const auto find = [](const std::vector<RawEntry>& entries, const char* name) {
        const auto it = std::find_if(entries.begin(), entries.end(), [&](const RawEntry& e) { return e.name == name; });
        return it == entries.end() ? RawEntry{"missing", {}, {}, {}, 0} : *it;
    };
    const struct {
        const char* name;
        const char* disc;
        const char* location;
    } expected[] = {
        {"a.jpg", "Disc 1", "/media/disc1/"},  // still here: read again, its disc kept
        {"d.jpg", "", ""},
        {"sub\\s.jpg", "Disc 1", "/media/disc1/"},  // its subfolder's catalog never was, this one's was
        {"b.jpg", "Disc 1", "/media/disc1/"},
        {"c.jpg", "Disc 1", "/media/disc1/"},
    };
    ASSERT_EQ(kept.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(kept[i].name, expected[i].name) << i;
        EXPECT_EQ(kept[i].archiveName, expected[i].disc) << expected[i].name;
        EXPECT_EQ(kept[i].archiveLocation, expected[i].location) << expected[i].name;
    }
    // Gone pictures keep their entries byte for byte.
    EXPECT_EQ(find(kept, "b.jpg").header, find(archived, "b.jpg").header);
    EXPECT_EQ(find(kept, "c.jpg").fileSize, find(archived, "c.jpg").fileSize);

    // c comes back, another picture now: its entry is read from it and keeps its disc.
    const QString back = box.copy(dataPath("iptc_fields.jpg"), "c.jpg");
    const CatalogCreateReport again = catalog.create(box.path(), true);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.keptArchived, 1);
    const auto renewed = rawEntries(readAll(catalogOf(box.path())));
    ASSERT_EQ(renewed.size(), 5u);
    const RawEntry c = find(renewed, "c.jpg");
    EXPECT_EQ(c.archiveName, "Disc 1");
    EXPECT_EQ(c.archiveLocation, "/media/disc1/");
    EXPECT_EQ(c.fileSize, quint64(QFileInfo(back).size()));
    EXPECT_EQ(c.header, readAll(back).first(c.header.size()));
    EXPECT_NE(c.header, find(archived, "c.jpg").header);

    // A second disc gets the picture whose entry leads into the folder; the entries that lead to the
    // first disc, b's whose file is gone among them, keep it.
    ASSERT_TRUE(catalog.rewriteArchive(box.path(), "Disc 2", "/media/disc2/", &counts).ok());
    EXPECT_EQ(counts.labelled, 1);
    EXPECT_EQ(counts.kept, 4);
    const auto second = rawEntries(readAll(catalogOf(box.path())));
    EXPECT_EQ(find(second, "d.jpg").archiveName, "Disc 2");
    EXPECT_EQ(find(second, "d.jpg").archiveLocation, "/media/disc2/");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "sub\\s.jpg"}) {
        EXPECT_EQ(find(second, name).archiveName, "Disc 1") << name;
        EXPECT_EQ(find(second, name).archiveLocation, "/media/disc1/") << name;
    }

    // The command line says how many entries it kept.
    const CliRun run = cli({"catalog", "create", box.path(), "--subfolders"});
    EXPECT_EQ(run.status, 0) << run.err.constData();
    EXPECT_TRUE(run.out.contains("Kept 1 archived entries")) << run.out.constData();
}

// ---- Upkeep after writes ----

namespace {

// Writes a headline into the picture as every writer does, and hands over what the catalog keeps.
PictureChange writeHeadline(const QString& path, const QString& headline) {
    PictureRecord picture(path);
    picture.iptc().headline = headline;
    PictureChange change;
    EXPECT_TRUE(picture.iptc().WriteIptc({}, nullptr, true, &change).ok()) << path.toStdString();
    EXPECT_FALSE(change.header.isEmpty());
    return change;
}

}  // namespace

// The catalog after an update is, byte for byte, the one creating it afresh from the files gives:
// pictures written, added, removed, a header the writer could not hand over, archived entries whose
// files are here or gone, and a subfolder's entries taken in.
TEST(CatalogUpdate, WrittenAddedAndRemovedPicturesGiveWhatACreateWrites) {
    SandBox box;
    for (const char* name : {"a.jpg", "c.jpg", "d.jpg"}) box.copy(dataPath("Canon_40D.jpg"), name);
    ASSERT_TRUE(QDir(box.path()).mkdir("sub"));
    box.copy(dataPath("iptc_fields.jpg"), "sub/s.jpg");
    ASSERT_TRUE(Catalog().create(box.filePath("sub"), false).ok());
    ASSERT_TRUE(Catalog().create(box.path(), true).ok());
    const QString catalog = catalogOf(box.path());

    const auto expectAsCreated = [&](const char* step) {
        const QByteArray updated = readAll(catalog);
        ASSERT_TRUE(Catalog().create(box.path(), true).ok()) << step;
        EXPECT_EQ(updated, readAll(catalog)) << step;
    };
    const auto update = [&](PictureChanges changes) {
        const std::vector<CatalogUpdateReport> reports = catalogupdate::apply(changes);
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_TRUE(reports[0].ok()) << describe(reports[0].write).toStdString();
        EXPECT_TRUE(reports[0].written);
    };

    update({writeHeadline(box.filePath("a.jpg"), "First")});
    expectAsCreated("written");

    box.copy(dataPath("iptc_photomech.jpg"), "b.jpg");  // new to the catalog: between a and c
    box.copy(dataPath("iptc_utf8_tz.jpg"), "e.jpg");    // and after the last
    update({writeHeadline(box.filePath("e.jpg"), "Last"), writeHeadline(box.filePath("b.jpg"), "Between")});
    expectAsCreated("added");

    PictureChange unknownHeader = writeHeadline(box.filePath("c.jpg"), "Header read back");
    unknownHeader.header.clear();
    ASSERT_TRUE(QFile::remove(box.filePath("d.jpg")));
    PictureChange removed;
    removed.path = box.filePath("d.jpg");
    removed.removed = true;
    update({unknownHeader, removed});
    expectAsCreated("removed, header read");

    // Archived to a disc: the entries keep the disc while their files are here, and one whose file
    // goes stays as the only record of its picture.
    ASSERT_TRUE(Catalog().rewriteArchive(box.path(), "Disc 1", "/media/disc").ok());
    update({writeHeadline(box.filePath("b.jpg"), "On a disc")});
    expectAsCreated("archived, written");
    ASSERT_TRUE(QFile::remove(box.filePath("a.jpg")));
    removed.path = box.filePath("a.jpg");
    update({removed});
    expectAsCreated("archived, removed");
    Catalog loaded;
    ASSERT_TRUE(loaded.load(box.path()));
    EXPECT_EQ(pictureNames(loaded), QStringList({"b.jpg", "c.jpg", "e.jpg", "sub/s.jpg", "a.jpg"}));

    // A folder without a catalog gets none, and pictures elsewhere leave this one alone.
    SandBox plain;
    plain.copy(dataPath("Canon_40D.jpg"), "p.jpg");
    const QByteArray before = readAll(catalog);
    EXPECT_TRUE(catalogupdate::apply({writeHeadline(plain.filePath("p.jpg"), "No catalog")}).empty());
    EXPECT_FALSE(QFile::exists(catalogOf(plain.path())));
    EXPECT_EQ(readAll(catalog), before);
}

TEST(CatalogUpdate, ACatalogThatDoesNotLoadWholeIsNotWritten) {
    SandBox box;
    for (const char* name : {"a.jpg", "b.jpg"}) box.copy(dataPath("Canon_40D.jpg"), name);
    ASSERT_TRUE(Catalog().create(box.path(), true).ok());
    const QByteArray cut = cutAfterFirstEntry(readAll(catalogOf(box.path())));
    ASSERT_TRUE(testsupport::writeAll(catalogOf(box.path()), cut));

    const CatalogUpdateReport report =
        catalogupdate::applyToFolder(box.path(), {writeHeadline(box.filePath("b.jpg"), "Kept out")});
    EXPECT_FALSE(report.ok());
    EXPECT_FALSE(report.written);
    EXPECT_EQ(report.refusedCatalog, catalogOf(box.path()));
    EXPECT_TRUE(describe(report.write).contains("damaged after 1 whole entries")) << describe(report.write).toStdString();
    EXPECT_EQ(readAll(catalogOf(box.path())), cut);
}

// A catalog entry holds the picture's header, XMP included: a picture captioned only in XMP shows its
// data from the catalog as from the file.
TEST(Catalog, APictureCaptionedOnlyInXmpShowsItsDataFromTheCatalog) {
    SandBox box;
    box.copy(dataPath("xmp_utf16.jpg"), "x.jpg");
    ASSERT_TRUE(Catalog().create(box.path(), false).ok());
    Catalog catalog;
    ASSERT_TRUE(catalog.load(box.path()));
    ASSERT_EQ(catalog.pictures().size(), 1u);
    const IptcBlock& data = catalog.pictures()[0]->iptc();
    EXPECT_EQ(data.headline, "No headline");
    EXPECT_EQ(data.city, "Kingston");
    EXPECT_EQ(data.people, QStringList({"ExifTool", "Test", "XMP"}));
    EXPECT_TRUE(data.fromXmp(xmp::Field::Headline));
}

// A picture from a catalog lets go of its XMP packet once it was read. Saved after another program
// wrote the file's XMP anew, it still sees that the packet changed and applies only its own change.
TEST(Catalog, APictureFromTheCatalogKeepsXmpWrittenMeanwhileByAnotherProgram) {
    SandBox box;
    const QByteArray camera = testsupport::readAll(dataPath("Canon_40D.jpg"));
    const auto packet = [](const char* headline) {
        return QByteArray("<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'>"
                          "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description "
                          "rdf:about='' xmlns:photoshop='http://ns.adobe.com/photoshop/1.0/' photoshop:Headline='") +
               headline + "'/></rdf:RDF></x:xmpmeta><?xpacket end='w'?>";
    };
    const QString path = box.filePath("x.jpg");
    ASSERT_TRUE(testsupport::writeAll(path, testsupport::withXmpPacket(camera, packet("As catalogued"))));
    ASSERT_TRUE(Catalog().create(box.path(), false).ok());
    Catalog catalog;
    ASSERT_TRUE(catalog.load(box.path()));
    PictureRecord& picture = *catalog.pictures()[0];
    ASSERT_EQ(picture.iptc().headline, "As catalogued");
    EXPECT_TRUE(picture.iptc().xmpPacket().isEmpty()) << "the packet's bytes stay in the catalog";
    EXPECT_EQ(picture.iptc().xmpState(), IptcBlock::XmpState::Read);

    // Another program writes the packet anew, or takes it away.
    const struct {
        QByteArray file;
        const char* headline;
    } meanwhile[] = {{testsupport::withXmpPacket(camera, packet("Written elsewhere")), "Written elsewhere"},
                     {camera, ""}};
    for (const auto& m : meanwhile) {
        SCOPED_TRACE(m.headline);
        Catalog again;
        ASSERT_TRUE(again.load(box.path()));
        PictureRecord& mine = *again.pictures()[0];
        ASSERT_TRUE(mine.iptc().xmpPacket().isEmpty());
        ASSERT_TRUE(testsupport::writeAll(path, m.file));
        mine.iptc().caption = QStringLiteral("Mine");
        ASSERT_TRUE(mine.save().ok());
        const PictureRecord saved(path);
        EXPECT_EQ(saved.iptc().headline, m.headline);
        EXPECT_EQ(saved.iptc().caption, "Mine");
        ASSERT_TRUE(testsupport::writeAll(path, testsupport::withXmpPacket(camera, packet("As catalogued"))));
    }
}

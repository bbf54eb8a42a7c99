// snaplore-cli as users script it: the JSON of info, and set writing what other programs read back.

#include "picturerecord.h"
#include "snaploreversion.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <fcntl.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::dataPath;
using testsupport::readAll;
using testsupport::SandBox;

namespace {

struct CliRun {
    int status = -1;  // -1 when it crashed or did not finish in time (then it was killed)
    QByteArray out, err;
};

CliRun finished(QProcess& p, int timeoutMs) {
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        return {-1, p.readAllStandardOutput(), p.readAllStandardError()};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
}

CliRun cli(const QStringList& args, int timeoutMs = 60000) {
    QProcess p;
    p.start(QStringLiteral(SNAPLORE_CLI_PATH), args);
    return finished(p, timeoutMs);
}

// Runs the tool with arguments given as bytes: QProcess passes only text, and a name that is not
// UTF-8 has to reach the tool as it is. The shell's printf makes each argument from octal escapes.
CliRun cliBytes(const QList<QByteArray>& args, int timeoutMs = 60000) {
    QString script = QStringLiteral("exec \"$0\"");
    for (const QByteArray& a : args) {
        QString octal;
        for (const char c : a) octal += QStringLiteral("\\%1").arg(uint(uchar(c)), 3, 8, QLatin1Char('0'));
        script += QStringLiteral(" \"$(printf '%1')\"").arg(octal);
    }
    QProcess p;
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, QStringLiteral(SNAPLORE_CLI_PATH)});
    return finished(p, timeoutMs);
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

}  // namespace

TEST(Cli, InfoJsonCarriesEveryKey) {
    const CliRun r = cli({"info", "--json", testsupport::dataPath("Canon_40D.jpg"), testsupport::dataPath("LICENSES.md")});
    EXPECT_EQ(r.status, 1);  // the second file is not a picture
    const QJsonArray all = QJsonDocument::fromJson(r.out).array();
    ASSERT_EQ(all.size(), 2);
    const QJsonObject canon = all[0].toObject();
    for (const char* key : {"file", "fileSize", "headerSize", "width", "height", "exif", "iptc", "error"})
        EXPECT_TRUE(canon.contains(key)) << key;
    EXPECT_EQ(canon["width"].toInt(), 100);
    EXPECT_EQ(canon["exif"].toObject()["model"].toString(), "Canon EOS 40D");
    EXPECT_EQ(canon["exif"].toObject().size(), 25);
    EXPECT_EQ(canon["iptc"].toObject().size(), 26);
    EXPECT_EQ(all[1].toObject()["error"].toString(), "not a JPEG file");
}

TEST(Cli, SetWritesWhatAnotherProgramReadsBack) {
    testsupport::SandBox box;
    const QString path = box.copy(testsupport::dataPath("iptc_fields.jpg"));
    const CliRun r = cli({"set", "--headline", QString::fromUtf8("Grüße aus Köln"), "--person", QString::fromUtf8("Zoë"),
                       "--person", QString::fromUtf8("Иван"), "--city", QString::fromUtf8("São Paulo"),
                       "--datetime", "2021-05-06 07:08:09", path});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();

    const CliRun info = cli({"info", "--json", path});
    const QJsonObject iptc = QJsonDocument::fromJson(info.out).array()[0].toObject()["iptc"].toObject();
    EXPECT_EQ(iptc["headline"].toString(), QString::fromUtf8("Grüße aus Köln"));
    EXPECT_EQ(iptc["caption"].toString(), "A witty caption");  // written by another tool, untouched
    EXPECT_EQ(iptc["dateText"].toString(), "20210506");

    const QString exiftool = QStandardPaths::findExecutable("exiftool");
    if (exiftool.isEmpty()) GTEST_SKIP() << "exiftool is not installed";
    QProcess p;
    p.start(exiftool, {"-j", "-IPTC:Headline", "-IPTC:Keywords", "-IPTC:City", "-IPTC:Caption-Abstract", path});
    p.waitForFinished(60000);
    const QJsonObject seen = QJsonDocument::fromJson(p.readAllStandardOutput()).array()[0].toObject();
    EXPECT_EQ(seen["Headline"].toString(), QString::fromUtf8("Grüße aus Köln"));
    EXPECT_EQ(seen["City"].toString(), QString::fromUtf8("São Paulo"));
    EXPECT_EQ(seen["Keywords"].toArray(), QJsonArray({QString::fromUtf8("Zoë"), QString::fromUtf8("Иван")}));
    EXPECT_EQ(seen["Caption-Abstract"].toString(), "A witty caption");
}

TEST(Cli, SetNamesTheFilesItCannotWriteAndWritesTheRest) {
    testsupport::SandBox box;
    const QString locked = box.copy(testsupport::dataPath("Canon_40D.jpg"), "locked.jpg");
    const QString open = box.copy(testsupport::dataPath("Canon_40D.jpg"), "open.jpg");
    ::chmod(QFile::encodeName(locked), 0444);
    const QByteArray before = testsupport::readAll(locked);
    const CliRun r = cli({"set", "--headline", "Hi", locked, open, box.filePath("missing.jpg")});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains("locked.jpg")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("missing.jpg"));
    EXPECT_FALSE(r.err.contains("open.jpg"));
    EXPECT_EQ(testsupport::readAll(locked), before);
    const CliRun info = cli({"info", "--json", open});
    EXPECT_EQ(QJsonDocument::fromJson(info.out).array()[0].toObject()["iptc"].toObject()["headline"].toString(), "Hi");
}

// A catalogued folder's catalog keeps up with set: afterwards it is what creating it afresh writes,
// also over more pictures than one batch holds and with a picture named twice; a catalog that does
// not load whole is left as it is and named, while the pictures are written.
TEST(Cli, SetKeepsTheFoldersCatalogAsACreateWouldWriteIt) {
    testsupport::SandBox box;
    const char* sources[] = {"Canon_40D.jpg", "iptc_fields.jpg", "iptc_photomech.jpg", "iptc_utf8_tz.jpg"};
    QStringList pictures;
    for (int i = 0; i < 70; ++i)
        pictures << box.copy(testsupport::dataPath(sources[i % 4]), QStringLiteral("p%1.jpg").arg(i, 2, 10, QChar('0')));
    ASSERT_TRUE(QDir(box.path()).mkdir("sub"));
    box.copy(testsupport::dataPath("Canon_40D.jpg"), "sub/s.jpg");
    ASSERT_EQ(cli({"catalog", "create", box.filePath("sub")}).status, 0);
    ASSERT_EQ(cli({"catalog", "create", box.path(), "--subfolders"}).status, 0);
    const QString catalog = box.filePath("Snaplore.sidx");
    const QByteArray subCatalog = readAll(box.filePath("sub/Snaplore.sidx"));

    const CliRun one = cli({"set", "--headline", "New one", pictures[3]});
    ASSERT_EQ(one.status, 0) << one.err.toStdString();
    QStringList many = pictures;
    many << pictures[0];
    const CliRun all = cli(QStringList{"set", "--caption", "Every one"} + many);
    ASSERT_EQ(all.status, 0) << all.err.toStdString();
    const QByteArray updated = readAll(catalog);
    EXPECT_EQ(readAll(box.filePath("sub/Snaplore.sidx")), subCatalog);  // no other catalog is written
    ASSERT_EQ(cli({"catalog", "create", box.path(), "--subfolders"}).status, 0);
    EXPECT_EQ(updated, readAll(catalog));
    const CliRun list = cli({"catalog", "list", box.path()});
    EXPECT_TRUE(list.out.contains("New one")) << list.out.left(300).toStdString();

    // Cut after its first entry, with its recorded length made to agree.
    QByteArray cut = readAll(catalog);
    const qsizetype firstEnd = cut.indexOf("p01.jpg\n");
    ASSERT_GT(firstEnd, 0);
    cut.truncate(firstEnd);
    for (int i = 0; i < 8; ++i) cut[42 + i] = char((quint64(cut.size()) >> (8 * i)) & 0xFF);
    ASSERT_TRUE(testsupport::writeAll(catalog, cut));
    const CliRun refused = cli({"set", "--headline", "Still written", pictures[5]});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains("the catalog could not be written again")) << refused.err.toStdString();
    EXPECT_EQ(readAll(catalog), cut);
    EXPECT_EQ(PictureRecord(pictures[5]).iptc().headline, "Still written");
}

// XMP: info names each field's source; set writes both sides, and of a packet that does not parse it
// warns and still succeeds.
TEST(Cli, XmpSourcesAndAPacketThatDoesNotParse) {
    testsupport::SandBox box;
    const QString xmpOnly = box.copy(testsupport::dataPath("xmp_utf16.jpg"), "x.jpg");
    const QJsonObject sources = QJsonDocument::fromJson(cli({"info", "--json", xmpOnly}).out)
                                    .array()[0].toObject()["iptc"].toObject()["sources"].toObject();
    EXPECT_EQ(sources["headline"].toString(), "xmp");
    EXPECT_EQ(sources["city"].toString(), "xmp");

    const QByteArray packet = "<x:xmpmeta><rdf:RDF <<<";
    const QString broken = box.filePath("broken.jpg");
    ASSERT_TRUE(testsupport::writeAll(broken, testsupport::withXmpPacket(readAll(testsupport::dataPath("Canon_40D.jpg")), packet)));
    const CliRun r = cli({"set", "--headline", "Still saved", broken, xmpOnly});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("broken.jpg: warning: its XMP data could not be read")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("x.jpg"));
    EXPECT_TRUE(readAll(broken).contains(packet));
    EXPECT_EQ(PictureRecord(broken).iptc().headline, "Still saved");
    EXPECT_EQ(PictureRecord(xmpOnly).iptc().headline, "Still saved");
}

TEST(Cli, SpecialFilesAreRefusedWithoutWaiting) {
    SandBox box;
    const QString fifo = box.filePath("x.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    ASSERT_TRUE(QDir(box.path()).mkdir("folder.jpg"));
    const QString good = box.copy(dataPath("Canon_40D.jpg"), "good.jpg");
    const QString outDir = box.filePath("thumbs");
    const QStringList commands[] = {
        {"info"}, {"info", "--json"}, {"set", "--headline", "Hi"}, {"thumbs", "--out", outDir}};
    for (const QString& special : {fifo, box.filePath("folder.jpg")}) {
        for (const QStringList& command : commands) {
            const QString what = (command + QStringList{special}).join(' ');
            // The picture after the special file is still done: one bad name does not stop the rest.
            const CliRun r = cli(command + QStringList{special, good}, 5000);
            ASSERT_NE(r.status, -1) << what.toStdString() << ": did not finish";
            EXPECT_EQ(r.status, 1) << what.toStdString() << "\n" << r.err.constData();
            EXPECT_TRUE(r.err.contains(QFile::encodeName(special) + ": not a regular file"))
                << what.toStdString() << "\n" << r.err.constData();
            EXPECT_FALSE(r.err.contains("good.jpg")) << what.toStdString() << "\n" << r.err.constData();
        }
    }
    EXPECT_TRUE(QFileInfo(outDir + "/good.png").isFile());
    EXPECT_FALSE(QFileInfo::exists(outDir + "/x.png"));
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));  // not replaced by a picture
}

TEST(Cli, NameThatIsNotUtf8IsNamedAndLeftAlone) {
    SandBox box;
    const QByteArray name = "b\xFF\xFE.jpg";
    RawNames made;
    const QByteArray path = made.add(QFile::encodeName(box.path()) + '/' + name);
    const QByteArray picture = readAll(dataPath("Canon_40D.jpg"));
    ASSERT_TRUE(writeRaw(path, picture));
    const QByteArray good = QFile::encodeName(box.copy(dataPath("Canon_40D.jpg"), "good.jpg"));
    const QList<QByteArray> commands[] = {
        {"info"}, {"info", "--json"}, {"set", "--headline", "Hi"}, {"thumbs", "--out", QFile::encodeName(box.filePath("t"))}};
    for (const QList<QByteArray>& command : commands) {
        const CliRun r = cliBytes(command + QList<QByteArray>{path, good});
        const std::string what = command.first().toStdString();
        EXPECT_EQ(r.status, 1) << what << "\n" << r.err.constData();
        EXPECT_TRUE(r.err.contains("b\\xFF\\xFE.jpg: the name is not valid UTF-8 and was left out"))
            << what << "\n" << r.err.constData();
        EXPECT_FALSE(r.err.contains("good.jpg")) << what << "\n" << r.err.constData();
    }
    QFile file(QFile::decodeName(path));
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    EXPECT_EQ(file.readAll(), picture);

    // The locale the tool is started in does not matter: names are UTF-8 either way, and Qt has
    // nothing to warn about.
    for (const char* locale : {"C", "POSIX", "en_US.ISO-8859-1", "xx_XX"}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("LANG");
        env.insert("LC_ALL", locale);
        p.setProcessEnvironment(env);
        const QString umlaut = box.copy(dataPath("iptc_fields.jpg"), QString::fromUtf8("Grüße.jpg"));
        p.start(QStringLiteral(SNAPLORE_CLI_PATH), {"info", "--json", umlaut});
        const CliRun r = finished(p, 60000);
        EXPECT_EQ(r.status, 0) << locale << "\n" << r.err.constData();
        EXPECT_TRUE(r.err.isEmpty()) << locale << "\n" << r.err.constData();
        EXPECT_EQ(QJsonDocument::fromJson(r.out).array()[0].toObject()["file"].toString(), umlaut) << locale;
    }
}

TEST(Cli, OutputThatCannotBeWrittenIsAFailure) {
    if (!QFileInfo::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    SandBox box;
    const QString picture = box.copy(dataPath("Canon_40D.jpg"));
    ASSERT_EQ(cli({"catalog", "create", box.path()}).status, 0);
    const QStringList cases[] = {
        {"info", picture},
        {"info", "--json", picture},
        {"catalog", "list", box.path()},
        {"catalog", "list", box.path(), "--json"},
        {"--help"},
        {"set", "--help"},
    };
    for (const QStringList& args : cases) {
        QProcess p;
        p.setStandardOutputFile(QStringLiteral("/dev/full"));
        p.start(QStringLiteral(SNAPLORE_CLI_PATH), args);
        const CliRun r = finished(p, 60000);
        EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("standard output: ")) << args.join(' ').toStdString() << "\n" << r.err.constData();
        EXPECT_TRUE(r.err.contains(std::strerror(ENOSPC))) << args.join(' ').toStdString() << "\n" << r.err.constData();
    }
}

TEST(Cli, SetRefusesValuesItsFieldsCannotHold) {
    SandBox box;
    const QString path = box.copy(dataPath("iptc_fields.jpg"));
    const QByteArray before = readAll(path);
    const QList<QByteArray> refused[] = {
        {"--rating", "abc"},
        {"--rating", "99"},
        {"--rating", "-1"},
        {"--rating", " 5"},
        {"--rating=10"},
        {"--rating", "\xEF\xBC\x95"},  // a full-width digit five
        {"--headline", "a\x01z"},
        {"--caption", "\x1B[31mred"},
        {"--person", "Zo\x7F"},
        {"--city", "\xC2\x85"},  // NEL, a control character of the second set
        {"--instructions", "a\rb"},
        {"--headline", "caf\xE9"},  // Latin-1, not UTF-8
        {"--headline=\xFF"},
        {"--country", "\xED\xA0\x80"},  // an encoded surrogate
        {"--datetime", "2021-13-01 00:00:00"},
        {"--datetime", "yesterday"},
        {"--headline"},
        {"--bogus", "x"},
    };
    for (const QList<QByteArray>& options : refused) {
        const QByteArray what = options.join(' ');
        const CliRun r = cliBytes(QList<QByteArray>{"set"} + options + QList<QByteArray>{QFile::encodeName(path)});
        EXPECT_EQ(r.status, 2) << what.toStdString() << "\n" << r.err.constData();
        EXPECT_TRUE(r.err.contains("Usage: snaplore-cli set")) << what.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << what.toStdString();
        EXPECT_EQ(readAll(path), before) << what.toStdString();
        EXPECT_EQ(QDir(box.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << what.toStdString();
    }

    // What the fields can hold is written: any digit, no rating, line feeds and tabs in text.
    const struct {
        QStringList options;
        const char* key;
        QJsonValue value;
    } accepted[] = {
        {{"--rating", "0"}, "rating", "0"},
        {{"--rating", "9"}, "rating", "9"},
        {{"--rating="}, "rating", ""},
        {{"--caption", "line one\nline two\tand a tab"}, "caption", "line one\nline two\tand a tab"},
        {{"--headline", QString::fromUtf8("Grüße \u2603 \U0001F600")}, "headline", QString::fromUtf8("Grüße \u2603 \U0001F600")},
    };
    for (const auto& c : accepted) {
        const CliRun r = cli(QStringList{"set"} + c.options + QStringList{path});
        EXPECT_EQ(r.status, 0) << c.options.join(' ').toStdString() << "\n" << r.err.constData();
        const QJsonObject iptc =
            QJsonDocument::fromJson(cli({"info", "--json", path}).out).array()[0].toObject()["iptc"].toObject();
        EXPECT_EQ(iptc[c.key], c.value) << c.options.join(' ').toStdString();
    }
}

TEST(Cli, TooLargeNamesTheField) {
    SandBox box;
    const QString path = box.copy(dataPath("iptc_fields.jpg"));
    const QByteArray before = readAll(path);
    const CliRun r = cli({"set", "--headline", QString(70000, QLatin1Char('h')), path});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QFile::encodeName(path))) << r.err.constData();
    EXPECT_TRUE(r.err.contains("too large")) << r.err.constData();
    EXPECT_TRUE(r.err.toLower().contains("headline")) << r.err.constData();
    EXPECT_EQ(readAll(path), before);
}

TEST(Cli, HelpOfEveryCommandIsNoMistake) {
    for (const QStringList& args : {QStringList{"info", "--help"}, QStringList{"set", "--help"},
                                    QStringList{"thumbs", "--help"}, QStringList{"catalog", "--help"},
                                    QStringList{"catalog", "create", "--help"}}) {
        const CliRun r = cli(args);
        EXPECT_EQ(r.status, 0) << args.join(' ').toStdString() << "\n" << r.err.constData();
        EXPECT_TRUE(r.out.startsWith("Usage: snaplore-cli")) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.isEmpty()) << args.join(' ').toStdString();
    }
    for (const QStringList& args : {QStringList{"info", "--bogus", "x.jpg"}, QStringList{"thumbs", "x.jpg"},
                                    QStringList{"catalog", "list", "/tmp", "--bogus"}, QStringList{"bogus"}}) {
        const CliRun r = cli(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("Usage: snaplore-cli")) << args.join(' ').toStdString() << "\n" << r.err.constData();
    }
}

TEST(Cli, VersionIsTheProjectVersion) {
    const CliRun r = cli({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, QByteArray("snaplore-cli " SNAPLORE_VERSION "\n"));
    EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
}

// A small file system of its own that fills up: what thumbs reports as written must be there whole,
// and nothing cut short may stay behind.
TEST(Cli, ThumbsOnAFullDiskReportOnlyWhatWasWritten) {
    SandBox box;
    const QString mountPoint = box.filePath("small");
    ASSERT_TRUE(QDir(box.path()).mkdir("small"));
    QProcess mount;
    mount.start(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mountPoint});
    if (!mount.waitForFinished(10000) || mount.exitStatus() != QProcess::NormalExit || mount.exitCode() != 0)
        GTEST_SKIP() << "cannot mount a small file system here: " << mount.readAllStandardError().constData();
    struct Unmount {
        QString path;
        ~Unmount() { QProcess::execute(QStringLiteral("umount"), {path}); }
    } unmount{mountPoint};

    QStringList pictures;
    for (int i = 0; i < 12; ++i) {
        const char* source = i % 2 ? "iptc_fields.jpg" : "Canon_40D.jpg";
        pictures << box.copy(dataPath(source), QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
    }
    const CliRun r = cli(QStringList{"thumbs", "--no-exif-thumbnails", "--out", mountPoint} + pictures);
    EXPECT_EQ(r.status, 1) << r.err.constData();
    QStringList reported;
    for (const QString& line : QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = QRegularExpression(" -> (\\S+) (\\d+)x(\\d+) ").match(line);
        ASSERT_TRUE(m.hasMatch()) << line.toStdString();
        const QImage image(m.captured(1), "png");
        EXPECT_EQ(image.width(), m.captured(2).toInt()) << line.toStdString();
        EXPECT_EQ(image.height(), m.captured(3).toInt()) << line.toStdString();
        reported << QFileInfo(m.captured(1)).fileName();
    }
    EXPECT_LT(reported.size(), pictures.size());
    // Every picture not reported is named on stderr, with the system's reason.
    for (int i = 0; i < pictures.size(); ++i) {
        const QString png = QStringLiteral("p%1.png").arg(i, 2, 10, QLatin1Char('0'));
        if (!reported.contains(png)) {
            EXPECT_TRUE(r.err.contains(QFile::encodeName(mountPoint + '/' + png) + ": "))
                << png.toStdString() << "\n" << r.err.constData();
        }
    }
    EXPECT_TRUE(r.err.contains(std::strerror(ENOSPC))) << r.err.constData();
    QStringList present = QDir(mountPoint).entryList(QDir::Files | QDir::Hidden | QDir::System);
    present.sort();
    reported.sort();
    EXPECT_EQ(present, reported) << "a temporary or cut-short file stayed";
}

// info and set start without the image libraries; the pixel commands go to snaplore-cli-image, and
// when that cannot be found the user is told so instead of getting an unknown command.
TEST(Cli, PictureDataCommandsStartWithoutTheImageLibraries) {
    QProcess readelf;
    readelf.start(QStringLiteral("readelf"), {QStringLiteral("-d"), QStringLiteral(SNAPLORE_CLI_PATH)});
    const CliRun needed = finished(readelf, 30000);
    if (needed.status != 0) GTEST_SKIP() << "readelf is not available";
    EXPECT_TRUE(needed.out.contains("libQt6Core.so")) << needed.out.constData();
    EXPECT_FALSE(needed.out.contains("libQt6Gui.so")) << needed.out.constData();

    SandBox box;
    const QString alone = box.filePath("snaplore-cli");
    ASSERT_TRUE(QFile::copy(QStringLiteral(SNAPLORE_CLI_PATH), alone));
    QProcess p;
    p.start(alone, {QStringLiteral("thumbs"), QStringLiteral("--out"), box.filePath("t"), dataPath("Canon_40D.jpg")});
    const CliRun run = finished(p, 30000);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.startsWith("snaplore-cli: cannot start snaplore-cli-image for 'thumbs'")) << run.err.constData();
    EXPECT_FALSE(QFileInfo::exists(box.filePath("t")));
}

TEST(Cli, ThumbsKeepWhatStandsAtTheirNamesUnlessToldAndNeverWriteThroughALink) {
    SandBox box;
    const QString a = box.copy(dataPath("Canon_40D.jpg"), "a.jpg");
    const QString b = box.copy(dataPath("iptc_fields.jpg"), "b.jpg");
    const QString elsewhere = box.filePath("elsewhere.txt");
    ASSERT_TRUE(testsupport::writeAll(elsewhere, "precious"));
    const QString out = box.filePath("thumbs");
    ASSERT_TRUE(QDir().mkpath(out));
    ASSERT_TRUE(testsupport::writeAll(out + "/a.png", "mine"));
    ASSERT_EQ(::symlink(QFile::encodeName(elsewhere).constData(), QFile::encodeName(out + "/b.png").constData()), 0);

    const CliRun kept = cli({"thumbs", "--out", out, a, b});
    EXPECT_EQ(kept.status, 1);
    EXPECT_TRUE(kept.out.isEmpty()) << kept.out.constData();
    for (const char* name : {"/a.png", "/b.png"})
        EXPECT_TRUE(kept.err.contains(QFile::encodeName(out + name) + ": exists, left as it is")) << kept.err.constData();
    EXPECT_EQ(readAll(out + "/a.png"), "mine");
    EXPECT_TRUE(QFileInfo(out + "/b.png").isSymLink());
    EXPECT_EQ(readAll(elsewhere), "precious");

    // --overwrite replaces the file, and the link itself: what it led to is untouched.
    const CliRun replaced = cli({"thumbs", "--overwrite", "--out", out, a, b});
    EXPECT_EQ(replaced.status, 0) << replaced.err.constData();
    for (const char* name : {"/a.png", "/b.png"}) {
        EXPECT_FALSE(QFileInfo(out + name).isSymLink()) << name;
        EXPECT_FALSE(QImage(out + name, "png").isNull()) << name;
    }
    EXPECT_EQ(readAll(elsewhere), "precious");
}

TEST(Cli, ControlCharactersOfPictureDataAndNamesArePrintedEscaped) {
    SandBox box;
    const QString path = box.copy(dataPath("iptc_fields.jpg"), QString::fromUtf8("a\x1b[2Jb.jpg"));
    {
        PictureRecord picture(path);
        picture.iptc().headline = QString::fromUtf8("Red\x1b]0;owned\x07\tText\xc2\x9b" "1m");
        picture.iptc().caption = QStringLiteral("two\nlines\r");
        ASSERT_TRUE(picture.iptc().WriteIptc());
    }
    const CliRun text = cli({"info", path});
    EXPECT_EQ(text.status, 0) << text.err.constData();
    for (const char c : {'\x1b', '\x07', '\r', '\t'}) EXPECT_FALSE(text.out.contains(c)) << int(c) << "\n" << text.out.constData();
    EXPECT_FALSE(text.out.contains("\xc2\x9b"));
    EXPECT_TRUE(text.out.contains("a\\x1B[2Jb.jpg\n")) << text.out.constData();
    EXPECT_TRUE(text.out.contains("headline: Red\\x1B]0;owned\\x07\\x09Text\\u009B1m\n")) << text.out.constData();
    EXPECT_TRUE(text.out.contains("caption: two\nlines\\x0D\n")) << text.out.constData();

    // JSON stays valid and carries the text as it is.
    const CliRun json = cli({"info", "--json", path});
    EXPECT_EQ(json.status, 0) << json.err.constData();
    EXPECT_FALSE(json.out.contains('\x1b'));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json.out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.constData();
    EXPECT_EQ(doc.array()[0].toObject()["iptc"].toObject()["headline"].toString(),
              QString::fromUtf8("Red\x1b]0;owned\x07\tText\xc2\x9b" "1m"));

    // The catalog's listing: one line a picture, whatever its texts hold.
    ASSERT_EQ(cli({"catalog", "create", box.path()}).status, 0);
    const CliRun list = cli({"catalog", "list", box.path()});
    EXPECT_EQ(list.status, 0) << list.err.constData();
    EXPECT_FALSE(list.out.contains('\x1b')) << list.out.constData();
    EXPECT_TRUE(list.out.contains("a\\x1B[2Jb.jpg\t")) << list.out.constData();
    EXPECT_EQ(list.out.count('\n'), 2) << list.out.constData();
}

// snaplore-cli index, report and html: what they write and the exit status that tells a script
// whether everything was written.

#include "programrun.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <unistd.h>

using testsupport::dataPath;
using testsupport::SandBox;

namespace {

using CliRun = testsupport::ProgramRun;

CliRun cli(const QStringList& args) { return testsupport::runCli(args); }

}  // namespace

TEST(CliExports, StatusTellsWhetherEverythingWasWritten) {
    SandBox box;
    QDir(box.path()).mkdir("pics");
    box.copy(dataPath("Canon_40D.jpg"), "pics/a.jpg");
    box.copy(dataPath("iptc_fields.jpg"), "pics/b.jpg");
    const QString pics = box.filePath("pics");
    QDir(box.path()).mkdir("empty");
    const QString tmpl = box.filePath("t.html");
    testsupport::writeAll(tmpl, "<a href=\"<!--EventPage-->\">x</a>\n<!--BeginPictures-->\n<!--PictureImg-->\n<!--EndPictures-->\n");
    // A link that leads nowhere stands at a name as a file does.
    const QString dangling = box.filePath("dangling");
    ASSERT_EQ(::symlink("nowhere/at/all", QFile::encodeName(dangling).constData()), 0);
    struct Case {
        const char* name;
        QStringList args;
        int status;
        const char* written;  // a file that must exist afterwards, or "" for none checked
    } cases[] = {
        {"index of a folder", {"index", "--out", box.filePath("s.jpg"), "--cols", "2", pics}, 0, "s.jpg"},
        {"an existing sheet is kept", {"index", "--out", box.filePath("s.jpg"), pics}, 1, ""},
        {"a dangling link is kept by index", {"index", "--out", dangling, pics}, 1, ""},
        {"and by report", {"report", "--out", dangling, "--kind", "summary", pics}, 1, ""},
        {"index of nothing", {"index", "--out", box.filePath("none.jpg"), box.filePath("empty")}, 1, ""},
        {"columns out of range", {"index", "--out", box.filePath("c.jpg"), "--cols", "101", pics}, 2, ""},
        {"unknown colour", {"index", "--out", box.filePath("c.jpg"), "--line", "mauve", pics}, 2, ""},
        {"report", {"report", "--out", box.filePath("r.txt"), "--kind", "all", pics}, 0, "r.txt"},
        {"report of an unknown kind", {"report", "--out", box.filePath("q.txt"), "--kind", "some", pics}, 2, ""},
        {"html", {"html", "--main", tmpl, "--event", tmpl, "--out", box.filePath("site"), pics}, 0, "site/pics_0/a.jpg"},
        {"html again keeps what is there", {"html", "--main", tmpl, "--event", tmpl, "--out", box.filePath("site"), pics}, 1, ""},
        {"html with a missing template",
         {"html", "--main", box.filePath("no.html"), "--event", tmpl, "--out", box.filePath("site2"), pics}, 1, ""},
    };
    for (const Case& c : cases) {
        const CliRun run = cli(c.args);
        EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.err.toStdString();
        if (c.status != 0) {
            EXPECT_FALSE(run.err.isEmpty()) << c.name;
        }
        if (*c.written) {
            EXPECT_TRUE(QFileInfo::exists(box.filePath(c.written))) << c.name;
        }
    }
    EXPECT_EQ(QImageReader(box.filePath("s.jpg")).size(), QSize(320, 120));
    EXPECT_FALSE(QFileInfo::exists(box.filePath("none.jpg")));
    EXPECT_TRUE(QFileInfo(dangling).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(box.filePath("nowhere")));
    EXPECT_FALSE(QFileInfo::exists(box.filePath("site2/index.html")));
}

namespace {

quint64 le64At(const QByteArray& bytes, qsizetype at) {
    quint64 value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

// A version 3 catalog cut short after its first entry, its recorded length made to agree, so that it
// still passes for a catalog and only reading it shows the missing entries.
QByteArray cutAfterFirstEntry(QByteArray catalog) {
    qsizetype at = 62;
    for (int line = 0; line < 3; ++line) at = catalog.indexOf('\n', at) + 1;
    at += 16 + qsizetype(le64At(catalog, at + 8));
    catalog.truncate(at);
    for (int i = 0; i < 8; ++i) catalog[42 + i] = char((quint64(at) >> (8 * i)) & 0xFF);
    return catalog;
}

}  // namespace

// A folder read without all of its pictures still gives its output, but names what is missing and
// ends with status 1: a catalog that did not load whole, a ".jpg" that is no file to read.
TEST(CliExports, FolderReadWithoutAllItsPicturesSaysSo) {
    SandBox box;
    QDir(box.path()).mkdir("cut");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        box.copy(dataPath("Canon_40D.jpg"), QStringLiteral("cut/") + name);
    ASSERT_EQ(cli({"catalog", "create", box.filePath("cut")}).status, 0);
    const QString catalog = box.filePath("cut/Snaplore.sidx");
    const QByteArray cut = cutAfterFirstEntry(testsupport::readAll(catalog));
    ASSERT_TRUE(testsupport::writeAll(catalog, cut));
    for (const char* name : {"b.jpg", "c.jpg"}) QFile::remove(box.filePath(QStringLiteral("cut/") + name));
    QDir(box.path()).mkdir("piped");
    box.copy(dataPath("Canon_40D.jpg"), "piped/a.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(box.filePath("piped/pipe.jpg")).constData(), 0644), 0);
    const QString tmpl = box.filePath("t.html");
    testsupport::writeAll(tmpl, "<!--EventTitle-->\n<!--BeginPictures-->\n<!--PictureImg-->\n<!--EndPictures-->\n");

    const struct {
        const char* name;
        QStringList args;
        const char* says;
        const char* written;
    } cases[] = {
        {"index",
         {"index", "--cols", "1", "--out", box.filePath("i.jpg"), box.filePath("cut")},
         "damaged after 1 whole entries",
         "i.jpg"},
        {"report",
         {"report", "--out", box.filePath("r.txt"), "--kind", "all", box.filePath("cut")},
         "damaged",
         "r.txt"},
        {"html",
         {"html", "--main", tmpl, "--event", tmpl, "--out", box.filePath("site"), box.filePath("cut")},
         "damaged",
         "site/index.html"},
        {"print", {"print", "--pdf", box.filePath("p.pdf"), box.filePath("cut")}, "damaged", "p.pdf"},
        {"index of a folder with a pipe",
         {"index", "--out", box.filePath("j.jpg"), box.filePath("piped")},
         "pipe.jpg: not a regular file",
         "j.jpg"},
    };
    for (const auto& c : cases) {
        const CliRun run = cli(c.args);
        EXPECT_EQ(run.status, 1) << c.name << "\n" << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.says)) << c.name << "\n" << run.err.toStdString();
        if (QString(c.says).startsWith("damaged")) {
            EXPECT_TRUE(run.err.contains(catalog)) << c.name << "\n" << run.err.toStdString();
        }
        EXPECT_TRUE(QFileInfo::exists(box.filePath(c.written))) << c.name;
    }
    // The sheet holds the one picture the catalog gave.
    EXPECT_EQ(QImageReader(box.filePath("i.jpg")).size(), QSize(160, 120));
    EXPECT_EQ(testsupport::readAll(catalog), cut);
}

// An output is never written over a picture it is made of, whatever name leads to that picture.
TEST(CliExports, OutputThatIsAnInputPictureIsRefused) {
    SandBox box;
    QDir(box.path()).mkdir("pics");
    const QString picture = box.copy(dataPath("Canon_40D.jpg"), "pics/a.jpg");
    const QByteArray before = testsupport::readAll(picture);
    ASSERT_EQ(::link(QFile::encodeName(picture).constData(), QFile::encodeName(box.filePath("hard.jpg")).constData()),
              0);
    ASSERT_TRUE(QFile::link(picture, box.filePath("sym.jpg")));
    const QString pics = box.filePath("pics");
    const QString hard = box.filePath("hard.jpg"), sym = box.filePath("sym.jpg");
    const struct {
        const char* name;
        QStringList args;
    } cases[] = {
        {"index over a hard link", {"index", "--overwrite", "--out", hard, pics}},
        {"index over a symbolic link", {"index", "--overwrite", "--out", sym, pics}},
        {"index over the picture, without --overwrite", {"index", "--out", picture, pics}},
        {"index of the file named", {"index", "--overwrite", "--out", sym, picture}},
        {"report over a symbolic link", {"report", "--overwrite", "--kind", "all", "--out", sym, pics}},
        {"print over a hard link", {"print", "--overwrite", "--pdf", hard, pics}},
        {"print of the file named", {"print", "--overwrite", "--pdf", sym, hard}},
        {"cd over a symbolic link", {"cd", "--overwrite", "--iso", sym, pics}},
        {"cd over a hard link", {"cd", "--overwrite", "--iso", hard, picture}},
    };
    for (const auto& c : cases) {
        const CliRun run = cli(c.args);
        EXPECT_EQ(run.status, 1) << c.name << "\n" << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("itself")) << c.name << "\n" << run.err.toStdString();
        EXPECT_EQ(testsupport::readAll(picture), before) << c.name;
    }
    EXPECT_TRUE(QFileInfo(sym).isSymLink());
}

// snaplore-cli index, report and html: what they write and the exit status that tells a script
// whether everything was written.

#include "programrun.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>

#include <gtest/gtest.h>

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

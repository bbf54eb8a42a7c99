// snaplore-cli cd end to end: the ISO image read back with xorriso, in dated folders and at the root,
// with and without catalogs and autorun; the arguments it refuses.
#include "programrun.h"
#include "testsupport.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

using testsupport::SandBox;

namespace {

using testsupport::ProgramRun;
using ToolRun = ProgramRun;

ToolRun runTool(const QString& program, const QStringList& args) { return testsupport::runProgram(program, args); }

ToolRun cd(const QStringList& args) { return runTool(QStringLiteral(SNAPLORE_CLI_PATH), QStringList{"cd"} + args); }

// Every path in the image, sorted, separated by spaces.
std::string listing(const QString& iso) {
    const ToolRun run = runTool("xorriso", {"-indev", iso, "-find", "/"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    QStringList paths;
    for (QString line : run.out.split('\n', Qt::SkipEmptyParts)) {
        line = line.trimmed();
        if (line.startsWith('\'') && line.endsWith('\'')) paths << line.mid(1, line.size() - 2);
    }
    paths.sort();
    return paths.join(' ').toStdString();
}

std::string names(const QStringList& paths) { return paths.join(' ').toStdString(); }

class CdCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("xorriso").isEmpty()) GTEST_SKIP() << "xorriso is not installed";
        QDir().mkpath(box_.filePath("in"));
        // Taken on 30 May 2008, 16 July 2008 and 8 July 2006.
        for (const char* name : {"Canon_40D.jpg", "Panasonic_DMC-FZ30.jpg", "iptc_no_date_camera_date.jpg"})
            pictures_ << box_.copy(testsupport::dataPath(name), QStringLiteral("in/") + name);
    }

    SandBox box_;
    QStringList pictures_;
};

}  // namespace

TEST_F(CdCliTest, TheImageHoldsDatedFoldersWithCatalogsAndTheAutorunScript) {
    const QString iso = box_.filePath("disc.iso");
    const ToolRun run = cd({"--iso", iso, "--volume", "HOLIDAY_2008", box_.filePath("in")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed(), iso);
    EXPECT_EQ(listing(iso), names({"/", "/2006_07_08", "/2006_07_08/Snaplore.sidx", "/2006_07_08/iptc_no_date_camera_date.jpg",
                                         "/2008_05_30", "/2008_05_30/Canon_40D.jpg", "/2008_05_30/Snaplore.sidx",
                                         "/2008_07_16", "/2008_07_16/Panasonic_DMC-FZ30.jpg",
                                         "/2008_07_16/Snaplore.sidx", "/Snaplore.sidx", "/autorun"}));
    const ToolRun toc = runTool("xorriso", {"-indev", iso, "-toc"});
    EXPECT_TRUE(toc.err.contains("Rock_Ridge Joliet") || toc.out.contains("Rock_Ridge Joliet")) << toc.err.toStdString();
    EXPECT_TRUE((toc.out + toc.err).contains("Volume id    : 'HOLIDAY_2008'")) << toc.out.toStdString();

    // The pictures are the files themselves, and the script can be run from the disc.
    const QString out = box_.filePath("out");
    const ToolRun extract = runTool("xorriso", {"-osirrox", "on", "-indev", iso, "-extract", "/", out});
    ASSERT_EQ(extract.status, 0) << extract.err.toStdString();
    EXPECT_EQ(testsupport::readAll(out + "/2008_05_30/Canon_40D.jpg"), testsupport::readAll(pictures_[0]));
    EXPECT_TRUE(QFileInfo(out + "/autorun").isExecutable());
    // No staging folder is left behind.
    EXPECT_EQ(QDir(box_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList({"disc.iso", "in", "out"}));
}

TEST_F(CdCliTest, RootWithoutCatalogsOrAutorunHoldsOnlyThePictures) {
    const QString iso = box_.filePath("plain.iso");
    const ToolRun run = cd({"--root", "--no-catalogs", "--no-autorun", "--iso", iso, pictures_[0], pictures_[1]});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(listing(iso), names({"/", "/Canon_40D.jpg", "/Panasonic_DMC-FZ30.jpg"}));
    const ToolRun toc = runTool("xorriso", {"-indev", iso, "-toc"});
    EXPECT_TRUE((toc.out + toc.err).contains("Volume id    : 'SNAPLORE_" + QDate::currentDate().toString("yyyyMMdd") + "'"))
        << toc.out.toStdString();

    // An existing image is replaced only when asked.
    const ToolRun again = cd({"--iso", iso, pictures_[2]});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.contains("exists")) << again.err.toStdString();
    EXPECT_EQ(listing(iso), names({"/", "/Canon_40D.jpg", "/Panasonic_DMC-FZ30.jpg"}));
    ASSERT_EQ(cd({"--overwrite", "--root", "--no-catalogs", "--no-autorun", "--iso", iso, pictures_[2]}).status, 0);
    EXPECT_EQ(listing(iso), names({"/", "/iptc_no_date_camera_date.jpg"}));
}

TEST_F(CdCliTest, MistakesAndMissingPictures) {
    const QString iso = box_.filePath("x.iso");
    const struct {
        QStringList args;
        int status;
        const char* says;
    } cases[] = {
        {{pictures_[0]}, 2, "no --iso given"},
        {{"--iso", iso}, 2, "no folder or file given"},
        {{"--iso", iso, "--volume", QString(33, 'A'), pictures_[0]}, 2, "longer than 32"},
        {{"--iso", iso, "--volume", "a/b", pictures_[0]}, 2, "may hold only"},
        {{"--iso", iso, "--bogus", pictures_[0]}, 2, "unknown option"},
        {{"--iso"}, 2, "needs a value"},
        {{"--iso", iso, box_.filePath("missing.jpg")}, 1, "no image was written"},
        {{"--iso", iso, box_.filePath("in/empty")}, 1, "no image was written"},
    };
    QDir().mkpath(box_.filePath("in/empty"));
    for (const auto& c : cases) {
        const ToolRun run = cd(c.args);
        EXPECT_EQ(run.status, c.status) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(iso));

    // A picture that cannot be read is named; the others still make the image, and the status says so.
    const ToolRun partly = cd({"--iso", iso, pictures_[0], box_.filePath("missing.jpg")});
    EXPECT_EQ(partly.status, 1);
    EXPECT_TRUE(partly.err.contains("missing.jpg")) << partly.err.toStdString();
    EXPECT_EQ(listing(iso), names({"/", "/2008_05_30", "/2008_05_30/Canon_40D.jpg", "/2008_05_30/Snaplore.sidx",
                                         "/Snaplore.sidx", "/autorun"}));
}

TEST_F(CdCliTest, CatalogCutShortGivesTheImageButSaysSo) {
    // The catalog keeps the first picture only, its length made to agree with the cut.
    ASSERT_EQ(runTool(QStringLiteral(SNAPLORE_CLI_PATH), {"catalog", "create", box_.filePath("in")}).status, 0);
    const QString catalog = box_.filePath("in/Snaplore.sidx");
    QByteArray bytes = testsupport::readAll(catalog);
    qsizetype at = 62;
    for (int line = 0; line < 3; ++line) at = bytes.indexOf('\n', at) + 1;
    quint64 headerLength = 0;
    for (int i = 7; i >= 0; --i) headerLength = (headerLength << 8) | quint8(bytes[at + 8 + i]);
    bytes.truncate(at + 16 + qsizetype(headerLength));
    for (int i = 0; i < 8; ++i) bytes[42 + i] = char((quint64(bytes.size()) >> (8 * i)) & 0xFF);
    ASSERT_TRUE(testsupport::writeAll(catalog, bytes));

    const QString iso = box_.filePath("cut.iso");
    const ToolRun run = cd({"--root", "--no-autorun", "--iso", iso, box_.filePath("in")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(catalog) && run.err.contains("damaged after 1 whole entries"))
        << run.err.toStdString();
    EXPECT_EQ(listing(iso), names({"/", "/Canon_40D.jpg", "/Snaplore.sidx"}));
    EXPECT_EQ(testsupport::readAll(catalog), bytes);
}

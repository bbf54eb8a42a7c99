// snaplore-cli saveas as scripts use it: folder rules, what goes to standard output and error, the
// exit status, skipped and replaced files, and the plain copy.

#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QProcess>

#include <gtest/gtest.h>

using testsupport::dataPath;
using testsupport::readAll;
using testsupport::SandBox;
using testsupport::writeAll;

namespace {

struct SaveAsRunResult {
    int status = -1;
    QString out, err;
};

SaveAsRunResult saveas(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(SNAPLORE_CLI_PATH), QStringList{"saveas"} + args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QSize sizeOf(const QString& path) { return QImageReader(path).size(); }

}  // namespace

TEST(CliSaveAs, SeveralFilesGoToAFolderThatIsMade) {
    SandBox box;
    const QString a = box.copy(dataPath("iptc_no_date_camera_date.jpg"), "a.jpg");
    const QString b = box.copy(dataPath("Canon_40D.jpg"), "b.jpg");
    const QString out = box.filePath("new/out");
    const SaveAsRunResult run = saveas({"--out", out, "--size", "thumbnail", "--ratio", "3x4", a, b});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, out + "/a.jpg\n" + out + "/b.jpg\n");
    EXPECT_EQ(sizeOf(out + "/a.jpg"), QSize(160, 120));
    EXPECT_EQ(sizeOf(out + "/b.jpg"), QSize(160, 120));

    // Existing files are skipped, named on standard error, and the status says not all was written.
    writeAll(out + "/a.jpg", "mine");
    const SaveAsRunResult again = saveas({"--out", out, "--size", "thumbnail", a, b});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.out.isEmpty());
    EXPECT_TRUE(again.err.contains(out + "/a.jpg exists, skipped")) << again.err.toStdString();
    EXPECT_EQ(readAll(out + "/a.jpg"), "mine");
    const SaveAsRunResult replaced = saveas({"--out", out + "/", "--size", "thumbnail", "--overwrite", a});
    EXPECT_EQ(replaced.status, 0) << replaced.err.toStdString();
    EXPECT_EQ(sizeOf(out + "/a.jpg"), QSize(160, 120));
}

TEST(CliSaveAs, OneFileToAFileOrAFolder) {
    SandBox box;
    const QString a = box.copy(dataPath("iptc_no_date_camera_date.jpg"), "a.jpg");
    SaveAsRunResult run = saveas({"--out", box.filePath("copy.jpg"), "--size", ".5mp", "--ratio", "4x6", a});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, box.filePath("copy.jpg") + "\n");
    EXPECT_EQ(sizeOf(box.filePath("copy.jpg")), QSize(640, 426));
    // A path ending in "/" is a folder, made when missing; the copy keeps its name.
    run = saveas({"--out", box.filePath("dir") + "/", "--size", "thumbnail", a});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(QFileInfo(box.filePath("dir/a.jpg")).isFile());
    // The info strip.
    run = saveas({"--out", box.filePath("info.jpg"), "--size", "thumbnail", "--info", a});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(sizeOf(box.filePath("info.jpg")), QSize(160, 120 + 56));
}

TEST(CliSaveAs, PlainCopyAndKeptPictureData) {
    SandBox box;
    const QString a = box.copy(dataPath("iptc_fields.jpg"), "a.jpg");
    SaveAsRunResult run = saveas({"--out", box.filePath("plain.jpg"), "--size", "original", "--ratio", "orginal", "--no-crop", a});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(readAll(box.filePath("plain.jpg")), readAll(a));
    EXPECT_EQ(QFileInfo(box.filePath("plain.jpg")).lastModified(), QFileInfo(a).lastModified());

    run = saveas({"--out", box.filePath("kept.jpg"), "--ratio", "3x4", "--keep-picture-data", "--no-original-dates", a});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    QProcess info;
    info.start(QStringLiteral(SNAPLORE_CLI_PATH), {"info", box.filePath("kept.jpg")});
    ASSERT_TRUE(info.waitForFinished(30000));
    const QString text = QString::fromUtf8(info.readAllStandardOutput());
    EXPECT_TRUE(text.contains("headline: No headline")) << text.toStdString();
    EXPECT_FALSE(text.contains("instructions:")) << text.toStdString();
    EXPECT_NE(QFileInfo(box.filePath("kept.jpg")).lastModified(), QFileInfo(a).lastModified());
}

TEST(CliSaveAs, SameNamesSourceRefusedAndFailuresNamed) {
    SandBox box;
    QDir().mkpath(box.filePath("cam1"));
    QDir().mkpath(box.filePath("cam2"));
    const QString one = box.copy(dataPath("Canon_40D.jpg"), "cam1/IMG_0001.JPG");
    const QString two = box.copy(dataPath("Panasonic_DMC-FZ30.jpg"), "cam2/IMG_0001.JPG");
    const QByteArray original = readAll(one);
    const QString missing = box.filePath("missing.jpg");
    // Into cam1 itself: the first would replace its own source.
    const SaveAsRunResult run = saveas({"--out", box.filePath("cam1"), "--size", "thumbnail", one, two, missing});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(readAll(one), original);
    EXPECT_EQ(run.out, box.filePath("cam1/IMG_0001_2.JPG") + "\n");
    EXPECT_TRUE(run.err.contains("is the picture itself")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("missing.jpg: No such file or directory")) << run.err.toStdString();

    // A copy that cannot be written names where it was to go.
    QDir().mkpath(box.filePath("out/IMG_0001.JPG"));
    const SaveAsRunResult blocked = saveas({"--out", box.filePath("out") + "/", "--overwrite", "--size", "thumbnail", one});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_TRUE(blocked.err.contains("IMG_0001.JPG: not written to " + box.filePath("out/IMG_0001.JPG") + ": "))
        << blocked.err.toStdString();
}

TEST(CliSaveAs, RefusedArguments) {
    SandBox box;
    const QString a = box.copy(dataPath("Canon_40D.jpg"), "a.jpg");
    const QStringList bad[] = {
        {"--out", box.filePath("x.jpg"), "--quality", "101", a},
        {"--out", box.filePath("x.jpg"), "--quality", "high", a},
        {"--out", box.filePath("x.jpg"), "--size", "7mp", a},
        {"--out", box.filePath("x.jpg"), "--ratio", "1x1", a},
        {"--size", "1mp", a},
        {"--out", box.filePath("x.jpg")},
        {"--out", box.filePath("x.jpg"), "--bogus", a},
    };
    for (const QStringList& args : bad) {
        const SaveAsRunResult run = saveas(args);
        EXPECT_EQ(run.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("Usage: snaplore-cli saveas"));
    }
    EXPECT_FALSE(QFileInfo::exists(box.filePath("x.jpg")));
    // The quality's ends are accepted.
    EXPECT_EQ(saveas({"--out", box.filePath("q0.jpg"), "--quality=0", "--size=thumbnail", a}).status, 0);
    EXPECT_EQ(saveas({"--out", box.filePath("q100.jpg"), "--quality", "100", "--size", "Thumbnail", a}).status, 0);
}

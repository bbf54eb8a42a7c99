// snaplore-cli as users script it: the JSON of info, and set writing what other programs read back.

#include "testsupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct CliRun {
    int status = -1;
    QByteArray out, err;
};

CliRun cli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(SNAPLORE_CLI_PATH), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
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
    EXPECT_EQ(canon["iptc"].toObject().size(), 24);
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

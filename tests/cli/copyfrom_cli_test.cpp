// set --copy-from: the window's Copy to All from the command line, over a folder with its catalog.

#include "programrun.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using testsupport::runCli;

QJsonObject iptcOf(const QString& path) {
    const auto r = runCli({"info", "--json", path});
    return QJsonDocument::fromJson(r.out.toUtf8()).array()[0].toObject()["iptc"].toObject();
}

}  // namespace

TEST(CliCopyFrom, CopiesAsTheDialogKeepsHiddenValuesSkipsArchivedAndKeepsTheCatalogCurrent) {
    testsupport::SandBox box;
    ASSERT_TRUE(QDir(box.path()).mkpath("f"));
    const QString folder = box.filePath("f");
    // A picture archived to a disc and gone from the folder: only the catalog holds it.
    const QString gone = box.copy(testsupport::dataPath("Canon_40D.jpg"), "f/gone.jpg");
    ASSERT_EQ(runCli({"catalog", "create", folder}).status, 0);
    ASSERT_EQ(runCli({"catalog", "archive", folder, "--cd-name", "DISC1", "--location", "/media/disc1"}).status, 0);
    ASSERT_TRUE(QFile::remove(gone));
    const QString source = box.copy(testsupport::dataPath("Canon_40D.jpg"), "f/source.jpg");
    // Captioned by another program: a by-line, credit and copyright notice the source does not have.
    const QString captioned = box.copy(testsupport::dataPath("iptc_rating5_camera_date.jpg"), "f/captioned.jpg");
    ASSERT_EQ(runCli({"set", "--event", "Harbour day", "--headline", "Source headline", "--caption", "Boats",
                      "--city", "Halifax", source})
                  .status,
              0);
    const QJsonObject before = iptcOf(captioned);
    ASSERT_FALSE(before["copyright"].toString().isEmpty());
    // Created again, the catalog holds the folder's pictures and the archived one only it knows.
    ASSERT_EQ(runCli({"catalog", "create", folder}).status, 0);
    const QByteArray sourceBytes = testsupport::readAll(source);

    const auto r = runCli({"set", "--copy-from", source, folder});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("gone.jpg") && r.err.contains("DISC1")) << r.err.toStdString();
    const QJsonObject got = iptcOf(captioned);
    EXPECT_EQ(got["event"].toString(), "Harbour day");
    EXPECT_EQ(got["caption"].toString(), "Boats");
    EXPECT_EQ(got["city"].toString(), "Halifax");
    EXPECT_EQ(got["headline"].toString(), before["headline"].toString());  // not chosen
    for (const char* hidden : {"byline", "credit", "source", "copyright", "writer", "category"})
        EXPECT_EQ(got[hidden], before[hidden]) << hidden;
    EXPECT_EQ(got["dateText"], before["dateText"]);
    EXPECT_EQ(testsupport::readAll(source), sourceBytes);  // the source is no target

    // The catalog shows the new data.
    const auto list = runCli({"catalog", "list", folder, "--json"});
    EXPECT_TRUE(list.out.contains("Boats")) << list.out.toStdString();
}

TEST(CliCopyFrom, ChoicesMistakesAndFailures) {
    testsupport::SandBox box;
    const QString source = box.copy(testsupport::dataPath("iptc_fields.jpg"), "source.jpg");
    const QString target = box.copy(testsupport::dataPath("Canon_40D.jpg"), "target.jpg");
    const QString locked = box.copy(testsupport::dataPath("Canon_40D.jpg"), "locked.jpg");
    const QString notJpeg = box.filePath("notes.jpg");
    {
        QFile f(notJpeg);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a picture");
    }
    const QByteArray targetBytes = testsupport::readAll(target);
    // An unknown word, a source that is no picture, or --copy-from mixed with field options: 2, nothing written.
    for (const QStringList& args : {QStringList{"set", "--copy-from", source, "--copy", "event,places", target},
                                    QStringList{"set", "--copy-from", notJpeg, target},
                                    QStringList{"set", "--copy-from", source, "--headline", "x", target},
                                    QStringList{"set", "--copy", "event", target}}) {
        const auto r = runCli(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_EQ(testsupport::readAll(target), targetBytes);
    }

    ::chmod(QFile::encodeName(locked).constData(), 0444);
    const QByteArray lockedBytes = testsupport::readAll(locked);
    const auto r = runCli({"set", "--copy-from", source, "--copy", "headline, people", locked, target});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("locked.jpg")) << r.err.toStdString();
    EXPECT_EQ(testsupport::readAll(locked), lockedBytes);
    const QJsonObject got = iptcOf(target);
    EXPECT_EQ(got["headline"].toString(), "No headline");
    EXPECT_EQ(got["people"].toArray().size(), 3);
    EXPECT_EQ(got["caption"].toString(), "");              // not chosen
    EXPECT_EQ(got["copyright"].toString(), "Copyright 2004 Phil Harvey");  // hidden, the source has it
}

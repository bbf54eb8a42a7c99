// snaplore-cli set where others write too: two runs on one picture keep both edits, and a journal
// that another user left in a shared folder is never followed.

#include "testsupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using testsupport::readAll;

namespace {

struct SetRun {
    int status = -1;
    QByteArray err;
};

SetRun waitFor(QProcess& p) {
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(5000);
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardError()};
}

SetRun cli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(SNAPLORE_CLI_PATH), args);
    return waitFor(p);
}

QJsonObject iptcOf(const QString& path) {
    QProcess p;
    p.start(QStringLiteral(SNAPLORE_CLI_PATH), {"info", "--json", path});
    p.waitForFinished(60000);
    return QJsonDocument::fromJson(p.readAllStandardOutput()).array()[0].toObject()["iptc"].toObject();
}

}  // namespace

TEST(CliSet, TwoRunsOnOnePictureKeepBothEdits) {
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        testsupport::SandBox box;
        const QString path = box.copy(testsupport::dataPath("iptc_fields.jpg"));
        QProcess first, second;
        first.start(QStringLiteral(SNAPLORE_CLI_PATH), {"set", "--headline", "First", path});
        second.start(QStringLiteral(SNAPLORE_CLI_PATH), {"set", "--city", "Second", path});
        const SetRun a = waitFor(first), b = waitFor(second);
        ASSERT_EQ(a.status, 0) << a.err.toStdString();
        ASSERT_EQ(b.status, 0) << b.err.toStdString();
        const QJsonObject iptc = iptcOf(path);
        EXPECT_EQ(iptc["headline"].toString(), "First");
        EXPECT_EQ(iptc["city"].toString(), "Second");
    }
}

// A folder shared by a group (sticky, pictures group-writable). Another user puts a journal there
// that names a picture, with a temporary holding other bytes (well formed, with the right checksum).
// A run by the superuser on another file of the folder writes that file, leaves the picture alone and
// says which picture may be half written; a run on the picture itself refuses it.
TEST(CliSet, AnotherUsersJournalInASharedFolderIsNeverFollowed) {
    if (::geteuid() != 0) GTEST_SKIP() << "only the superuser can give files to another user";
    testsupport::SandBox box;
    ASSERT_EQ(::chmod(QFile::encodeName(box.path()).constData(), 01777), 0);
    const QString victim = box.copy(testsupport::dataPath("iptc_fields.jpg"), "victim.jpg");
    const QString other = box.copy(testsupport::dataPath("iptc_fields.jpg"), "other.jpg");
    ASSERT_EQ(::chmod(QFile::encodeName(victim).constData(), 0664), 0);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(victim).constData(), &st), 0);
    const QString temp = box.filePath(".snaplore-x.tmp");
    const QString journal = box.filePath(".snaplore-x.journal");
    ASSERT_TRUE(testsupport::writeAll(temp, "EVIL"));
    ASSERT_TRUE(testsupport::writeAll(
        journal, "snaplore in-place 2\ntarget victim.jpg\ntemp .snaplore-x.tmp\ndevice " +
                     QByteArray::number(quint64(st.st_dev)) + "\ninode " + QByteArray::number(quint64(st.st_ino)) +
                     "\nsize 4\nsha256 " + QCryptographicHash::hash("EVIL", QCryptographicHash::Sha256).toHex() +
                     "\n"));
    for (const QString& planted : {temp, journal}) {
        ASSERT_EQ(::chmod(QFile::encodeName(planted).constData(), 0600), 0);
        ASSERT_EQ(::chown(QFile::encodeName(planted).constData(), 65534, 65534), 0);
    }
    const QByteArray before = readAll(victim);

    for (int run = 0; run < 2; ++run) {
        const SetRun r = cli({"set", "--headline", "Mine", other});
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("victim.jpg may be half written")) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(".snaplore-x.tmp"));
        EXPECT_EQ(readAll(victim), before);
    }
    EXPECT_EQ(iptcOf(other)["headline"].toString(), "Mine");

    const SetRun onVictim = cli({"set", "--headline", "Mine", victim});
    EXPECT_NE(onVictim.status, 0);
    EXPECT_TRUE(onVictim.err.contains("victim.jpg")) << onVictim.err.toStdString();
    EXPECT_EQ(readAll(victim), before);
    EXPECT_EQ(readAll(temp), "EVIL");
    EXPECT_TRUE(QFile::exists(journal));
}

// Safe writes made durable together: nothing changes before commit, every member is replaced on
// commit, a failing member stays byte for byte as it was, and no temporary file is left behind.

#include "picturerecord.h"
#include "safewrite.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using testsupport::readAll;

namespace {

class SafeWriteBatchTest : public ::testing::Test {
protected:
    testsupport::SandBox box;

    // Stages a new headline for the picture at `path`; the staging result.
    static WriteResult stage(const QString& path, const QString& headline, SafeWriteBatch& batch) {
        PictureRecord picture(path);
        picture.iptc().headline = headline;
        return picture.iptc().WriteIptc({}, &batch);
    }
    static QString headlineOf(const QString& path) { return PictureRecord(path).iptc().headline; }
    // Every entry of the folder, hidden ones (the temporaries) included.
    static QStringList entries(const QString& folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
};

}  // namespace

TEST_F(SafeWriteBatchTest, CommitReplacesEveryMember) {
    QDir(box.path()).mkdir("sub");
    const QStringList paths = {box.copy(testsupport::dataPath("Canon_40D.jpg")),
                               box.copy(testsupport::dataPath("iptc_fields.jpg")),
                               box.copy(testsupport::dataPath("iptc_utf8_tz.jpg"), "sub/tz.jpg")};
    QList<QByteArray> before;
    for (const QString& p : paths) before << readAll(p);

    SafeWriteBatch batch;
    for (const QString& p : paths) ASSERT_TRUE(stage(p, "Batched " + p, batch)) << p.toStdString();
    EXPECT_EQ(batch.size(), 3);
    EXPECT_TRUE(batch.holds(paths[1]));
    for (int i = 0; i < paths.size(); ++i) EXPECT_EQ(readAll(paths[i]), before[i]) << "replaced before commit";

    const std::vector<SafeWriteBatch::Outcome> outcomes = batch.commit();
    ASSERT_EQ(outcomes.size(), 3u);
    for (int i = 0; i < paths.size(); ++i) {
        EXPECT_TRUE(outcomes[size_t(i)].result) << describe(outcomes[size_t(i)].result).toStdString();
        EXPECT_EQ(outcomes[size_t(i)].target, paths[i]);
        EXPECT_EQ(headlineOf(paths[i]), "Batched " + paths[i]);
    }
    EXPECT_EQ(batch.size(), 0);
    EXPECT_EQ(entries(box.path()), QStringList({"Canon_40D.jpg", "iptc_fields.jpg", "sub"}));
    EXPECT_EQ(entries(box.filePath("sub")), QStringList({"tz.jpg"}));
}

TEST_F(SafeWriteBatchTest, FailingMembersStayAsTheyWere) {
    const QString good1 = box.copy(testsupport::dataPath("Canon_40D.jpg"));
    const QString broken = box.copy(testsupport::dataPath("app13_split.jpg"));
    const QString lockedLater = box.copy(testsupport::dataPath("iptc_fields.jpg"));
    const QString good2 = box.copy(testsupport::dataPath("iptc_utf8_tz.jpg"));
    // Cut inside its segments: the structure can no longer be walked.
    QByteArray cut = readAll(broken);
    cut.truncate(40);
    ASSERT_TRUE(testsupport::writeAll(broken, cut));
    const QByteArray lockedBefore = readAll(lockedLater);

    SafeWriteBatch batch;
    ASSERT_TRUE(stage(good1, "one", batch));
    IptcBlock block;
    block.setPath(broken);
    block.headline = "never";
    EXPECT_EQ(block.WriteIptc({}, &batch).error, WriteError::NotWalkable);
    ASSERT_TRUE(stage(lockedLater, "never", batch));
    ASSERT_TRUE(stage(good2, "two", batch));
    // Its owner locks it between staging and commit: the lock is honoured.
    ASSERT_TRUE(QFile::setPermissions(lockedLater, QFileDevice::ReadOwner | QFileDevice::ReadGroup));

    const std::vector<SafeWriteBatch::Outcome> outcomes = batch.commit();
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_TRUE(outcomes[0].result);
    EXPECT_EQ(outcomes[1].result.error, WriteError::Locked);
    EXPECT_TRUE(outcomes[2].result);

    EXPECT_EQ(readAll(broken), cut);
    EXPECT_EQ(readAll(lockedLater), lockedBefore);
    EXPECT_EQ(headlineOf(good1), "one");
    EXPECT_EQ(headlineOf(good2), "two");
    EXPECT_EQ(entries(box.path()),
              QStringList({"Canon_40D.jpg", "app13_split.jpg", "iptc_fields.jpg", "iptc_utf8_tz.jpg"}));
}

TEST_F(SafeWriteBatchTest, BatchDroppedWithoutCommitChangesNothing) {
    const QString path = box.copy(testsupport::dataPath("Canon_40D.jpg"));
    const QByteArray before = readAll(path);
    {
        SafeWriteBatch batch;
        ASSERT_TRUE(stage(path, "dropped", batch));
        EXPECT_EQ(entries(box.path()).size(), 2);  // the picture and its temporary
    }
    EXPECT_EQ(readAll(path), before);
    EXPECT_EQ(entries(box.path()), QStringList({"Canon_40D.jpg"}));
}

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

// The batch commits by itself once the write just staged reaches its file or byte limit: the files of
// that commit are in place when their outcomes arrive, in staging order, while the later ones wait.
TEST_F(SafeWriteBatchTest, CommitsByItselfAtItsLimits) {
    QStringList paths;
    for (int i = 0; i < 5; ++i) paths << box.copy(testsupport::dataPath("Canon_40D.jpg"), QStringLiteral("p%1.jpg").arg(i));
    struct Case {
        const char* name;
        qsizetype files;
        int bytesOfFiles;  // the byte limit, in staged files' bytes; 0: none
        std::vector<size_t> deliveredAfterEach;  // outcomes handed over after each staging
    };
    const Case cases[] = {
        {"two files", 2, 0, {0, 2, 2, 4, 4}},
        {"three files' bytes", 100, 3, {0, 0, 3, 3, 3}},
        {"every file", 1, 0, {1, 2, 3, 4, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString headline = QString::fromLatin1(c.name);
        SafeWriteBatch::Limits limits{c.files, qint64(1) << 40};
        if (c.bytesOfFiles > 0) {
            SafeWriteBatch measure;
            ASSERT_TRUE(stage(paths[0], headline, measure));
            limits.bytes = c.bytesOfFiles * measure.pendingBytes();
        }
        QStringList delivered;
        SafeWriteBatch batch(
            [&](const std::vector<SafeWriteBatch::Outcome>& outcomes) {
                for (const SafeWriteBatch::Outcome& o : outcomes) {
                    EXPECT_TRUE(o.result) << describe(o.result).toStdString();
                    EXPECT_EQ(headlineOf(o.target), headline) << "reported before it was in place";
                    delivered << o.target;
                }
            },
            limits);
        for (int i = 0; i < paths.size(); ++i) {
            ASSERT_TRUE(stage(paths[i], headline, batch));
            EXPECT_EQ(size_t(delivered.size()), c.deliveredAfterEach[size_t(i)]) << "after " << i + 1;
            EXPECT_EQ(size_t(batch.size()), size_t(i + 1) - c.deliveredAfterEach[size_t(i)]);
            for (qsizetype k = delivered.size(); k <= i; ++k) EXPECT_NE(headlineOf(paths[k]), headline) << "replaced early";
        }
        EXPECT_TRUE(batch.commit().empty()) << "the callback takes every outcome";
        EXPECT_EQ(delivered, paths);
        EXPECT_EQ(entries(box.path()).size(), paths.size()) << "a temporary stayed";
    }
}

// Without a callback, what the batch committed by itself comes back from the next commit(), in front.
TEST_F(SafeWriteBatchTest, OutcomesOfItsOwnCommitsWaitForCommitWithoutACallback) {
    QStringList paths;
    for (int i = 0; i < 3; ++i) paths << box.copy(testsupport::dataPath("Canon_40D.jpg"), QStringLiteral("p%1.jpg").arg(i));
    SafeWriteBatch batch({}, {2, qint64(1) << 40});
    for (const QString& p : paths) ASSERT_TRUE(stage(p, "kept", batch));
    EXPECT_EQ(headlineOf(paths[1]), "kept");
    EXPECT_EQ(batch.size(), 1);
    const std::vector<SafeWriteBatch::Outcome> outcomes = batch.commit();
    ASSERT_EQ(outcomes.size(), 3u);
    for (int i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(outcomes[size_t(i)].target, paths[i]);
        EXPECT_TRUE(outcomes[size_t(i)].result);
        EXPECT_EQ(headlineOf(paths[i]), "kept");
    }
}

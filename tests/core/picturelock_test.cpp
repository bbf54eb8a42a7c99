// Two writers of one picture take turns: the second reads what the first wrote, so both edits stay.
// A writer that cannot get the picture within the wait writes nothing; batches never wait on each
// other while holding pictures.

#include "picturelock.h"
#include "picturerecord.h"
#include "safewrite.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <barrier>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

using testsupport::readAll;

namespace {

QStringList leftovers(const QString& folder) {
    return QDir(folder).entryList({".snaplore-*"}, QDir::Files | QDir::Hidden | QDir::System);
}

}  // namespace

// Both records read the picture before either saves; each changes another field. Whichever saves
// second finds the file changed under its lock and puts only its own field on it.
TEST(PictureLock, TwoWritersOfOnePictureKeepBothEdits) {
    for (const bool secondName : {false, true}) {  // a hard link is rewritten in place, not renamed
        SCOPED_TRACE(secondName ? "rewritten in place" : "replaced by rename");
        testsupport::SandBox box;
        const QString path = box.copy(testsupport::dataPath("iptc_fields.jpg"));
        if (secondName) {
            ASSERT_EQ(::link(QFile::encodeName(path), QFile::encodeName(box.filePath("link.jpg"))), 0);
        }
        PictureRecord first(path), second(path);
        first.iptc().headline = "From the first";
        second.iptc().city = "From the second";
        WriteResult a, b;
        std::barrier both(2);
        std::thread one([&] {
            both.arrive_and_wait();
            a = first.save();
        });
        std::thread two([&] {
            both.arrive_and_wait();
            b = second.save();
        });
        one.join();
        two.join();
        ASSERT_TRUE(a) << describe(a).toStdString();
        ASSERT_TRUE(b) << describe(b).toStdString();
        const PictureRecord back(path);
        EXPECT_EQ(back.iptc().headline, "From the first");
        EXPECT_EQ(back.iptc().city, "From the second");
        EXPECT_EQ(back.iptc().caption, "A witty caption");  // neither changed it
        EXPECT_TRUE(leftovers(box.path()).isEmpty()) << leftovers(box.path()).join(' ').toStdString();
    }
}

// Another writer holds the picture throughout: the save gives up, says so, and writes nothing.
TEST(PictureLock, AWriterThatCannotGetThePictureWritesNothing) {
    testsupport::SandBox box;
    const QString path = box.copy(testsupport::dataPath("iptc_fields.jpg"));
    const QByteArray before = readAll(path);
    PictureRecord picture(path);
    picture.iptc().headline = "Never written";

    const int holder = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    const WriteResult result = picture.save();
    ::close(holder);

    EXPECT_EQ(result.error, WriteError::Busy);
    EXPECT_EQ(readAll(path), before);
    EXPECT_TRUE(leftovers(box.path()).isEmpty());
    // Free again, the same record writes.
    EXPECT_TRUE(picture.save());
    EXPECT_EQ(PictureRecord(path).iptc().headline, "Never written");
}

// A lock taken on a file that is replaced by rename before the lock is had guards nothing: the file
// that has the name by then is locked.
TEST(PictureLock, FollowsAFileReplacedWhileWaiting) {
    testsupport::SandBox box;
    const QString path = box.filePath("picture.jpg");
    ASSERT_TRUE(testsupport::writeAll(path, "old"));
    const int holder = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    WriteResult failure;
    // The writer before finishes (renames its new file over the name) while this one waits.
    const std::unique_ptr<PictureLock> lock = PictureLock::acquire(path, failure, PictureLock::kWaitMs, [&] {
        ASSERT_TRUE(testsupport::writeAll(box.filePath("new.jpg"), "new"));
        ASSERT_EQ(::rename(QFile::encodeName(box.filePath("new.jpg")), QFile::encodeName(path)), 0);
    });
    ASSERT_TRUE(failure) << describe(failure).toStdString();
    ASSERT_TRUE(lock);
    struct stat now {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &now), 0);
    EXPECT_TRUE(lock->covers(now));
    // The old file is still held by the first writer: the lock was not taken on it.
    struct stat old {};
    ASSERT_EQ(::fstat(holder, &old), 0);
    EXPECT_FALSE(lock->covers(old));
    ::close(holder);
}

// Two batches stage the same two pictures in opposite order, each holding its first when it asks for
// its second. Neither waits while holding: each commits what it holds first, and all four edits stay.
TEST(PictureLock, BatchesInOppositeOrderDoNotWaitOnEachOther) {
    testsupport::SandBox box;
    const QString a = box.copy(testsupport::dataPath("iptc_fields.jpg"), "a.jpg");
    const QString b = box.copy(testsupport::dataPath("iptc_fields.jpg"), "b.jpg");
    std::barrier bothHoldOne(2);
    const auto run = [&](const QString& first, const QString& second, const QString& city,
                         std::vector<SafeWriteBatch::Outcome>& outcomes) {
        SafeWriteBatch batch;
        PictureRecord one(first);
        one.iptc().city = city;
        const WriteResult staged = one.iptc().WriteIptc({}, &batch);
        bothHoldOne.arrive_and_wait();
        PictureRecord two(second);
        two.iptc().state = city;
        const WriteResult stagedToo = two.iptc().WriteIptc({}, &batch);
        outcomes = batch.commit();
        if (!staged || !stagedToo) outcomes.push_back({first, staged ? stagedToo : staged});
    };
    std::vector<SafeWriteBatch::Outcome> left, right;
    std::thread one([&] { run(a, b, "Left", left); });
    std::thread two([&] { run(b, a, "Right", right); });
    one.join();
    two.join();
    for (const auto* outcomes : {&left, &right}) {
        ASSERT_EQ(outcomes->size(), 2u);
        for (const SafeWriteBatch::Outcome& o : *outcomes) EXPECT_TRUE(o.result) << describe(o.result).toStdString();
    }
    // Each picture keeps the city of the batch that staged it first and the state of the other.
    const PictureRecord backA(a), backB(b);
    EXPECT_EQ(backA.iptc().city, "Left");
    EXPECT_EQ(backA.iptc().state, "Right");
    EXPECT_EQ(backB.iptc().city, "Right");
    EXPECT_EQ(backB.iptc().state, "Left");
}

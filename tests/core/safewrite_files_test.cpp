// The files a safe write makes and meets: its own temporaries (short names, locked while in use,
// cleared after a crash), journals of interrupted in-place rewrites (finished by the next run), targets
// that are no regular files (refused without waiting), the longest names, the read-back check, and a
// full disk (said in the system's words, the original kept).

#include "safewrite.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

using testsupport::readAll;
using testsupport::writeAll;

namespace {

WriteResult writeBytes(const QString& path, const QByteArray& bytes, const SafeWriteOptions& options = {}) {
    return safeWrite(path, [&](QFile& out) { return out.write(bytes) == bytes.size(); }, {}, options);
}

QByteArray native(const QString& path) { return QFile::encodeName(path); }

struct stat lstatOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(native(path).constData(), &st), 0) << path.toStdString();
    return st;
}

QStringList hiddenEntries(const QString& folder) {
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    return names.filter(QRegularExpression("^\\."));
}

// Runs `work` on another thread; false when it did not end within a few seconds (then `release` is
// called to let it end, so that the test binary does not hang).
bool endsInTime(const std::function<void()>& work, const std::function<void()>& release) {
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready) return true;
    release();
    done.wait();
    return false;
}

// Opens a FIFO at both ends, so that anything blocked opening it goes on.
void releaseFifo(const QString& path) {
    const int fd = ::open(native(path).constData(), O_RDWR | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// The journal and temporary that an in-place rewrite of `target` leaves when it is interrupted: the
// temporary holds `content`, the journal names both (the checksum `digestOf`, when given, instead of
// the content's own) and both are mode 0600. `version1` writes the older form, without a checksum.
void leaveJournal(const QString& folder, const QString& target, const QByteArray& content,
                  const QByteArray& digestOf = {}, bool version1 = false) {
    const QString temp = folder + "/.snaplore-k3x9q2.tmp";
    const QString journal = folder + "/.snaplore-k3x9q2.journal";
    struct stat st {};
    ASSERT_EQ(::stat(native(target).constData(), &st), 0);
    ASSERT_TRUE(writeAll(temp, content));
    const QByteArray digest =
        QCryptographicHash::hash(digestOf.isNull() ? content : digestOf, QCryptographicHash::Sha256).toHex();
    QByteArray text = QByteArray("snaplore in-place ") + (version1 ? "1" : "2") + "\ntarget " +
                      QFileInfo(target).fileName().toUtf8().toPercentEncoding() + "\ntemp .snaplore-k3x9q2.tmp\n";
    if (!version1)
        text += "device " + QByteArray::number(quint64(st.st_dev)) + "\nsize " + QByteArray::number(content.size()) +
                "\nsha256 " + digest + "\n";
    text += "inode " + QByteArray::number(quint64(st.st_ino)) + "\ntimes 1000000000 5 1100000000 7\n";
    ASSERT_TRUE(writeAll(journal, text));
    ASSERT_EQ(::chmod(native(temp).constData(), 0600), 0);
    ASSERT_EQ(::chmod(native(journal).constData(), 0600), 0);
}

// Sets the journal's modification time `seconds` from now: the time until which its writer held the
// picture.
void setLease(const QString& folder, int seconds) {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const struct timespec times[2] = {now, {now.tv_sec + seconds, now.tv_nsec}};
    ASSERT_EQ(::utimensat(AT_FDCWD, native(folder + "/.snaplore-k3x9q2.journal").constData(), times, 0), 0);
}

struct Mounted {
    QString path;
    ~Mounted() { ::umount2(native(path).constData(), MNT_DETACH); }
};

}  // namespace

// A journal and temporary made as an interrupted in-place rewrite leaves them. The next run that
// writes in the folder, or opens it, finishes the rewrite when nobody is at it, and drops the journal
// when there is nothing left to finish.
TEST(SafeWriteRecovery, InterruptedRewriteIsRolledForward) {
    enum class Trigger { Open, WriteInFolder };
    const struct {
        const char* what;
        bool tempThere;
        bool writerAtWork;  // the temporary is held locked
        bool targetReplacedSince;
        bool writtenAfterJournal;  // the writer changed the picture within its lease, then stopped
        Trigger trigger;
        bool rolledForward;
        bool journalStays;
    } cases[] = {
        {"interrupted, folder opened", true, false, false, false, Trigger::Open, true, false},
        {"interrupted halfway, folder opened", true, false, false, true, Trigger::Open, true, false},
        {"interrupted, another file written", true, false, false, true, Trigger::WriteInFolder, true, false},
        {"writer still at work", true, true, false, false, Trigger::Open, false, true},
        {"finished, only the journal left", false, false, false, false, Trigger::Open, false, false},
        {"picture replaced by a new file since", true, false, true, false, Trigger::Open, false, false},
    };
    const QByteArray newContent = "the complete new content " + QByteArray(70000, 'n');
    const QByteArray halfWritten = newContent.first(30000) + QByteArray(20000, 'o');
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::SandBox box;
        const QString target = box.filePath("holiday 1.jpg");  // the journal percent-encodes names
        const QString temp = box.filePath(".snaplore-k3x9q2.tmp");
        const QString journal = box.filePath(".snaplore-k3x9q2.journal");
        ASSERT_TRUE(writeAll(target, c.writtenAfterJournal ? QByteArray(50000, 'o') : halfWritten));
        ASSERT_EQ(::link(native(target).constData(), native(box.filePath("hard link.jpg")).constData()), 0);
        const ino_t inode = lstatOf(target).st_ino;
        leaveJournal(box.path(), target, newContent);
        if (!c.tempThere) {
            ASSERT_TRUE(QFile::remove(temp));
        }
        if (c.writtenAfterJournal) {
            setLease(box.path(), 60);
            ASSERT_TRUE(writeAll(target, halfWritten));  // the same file, written over
            ASSERT_EQ(lstatOf(target).st_ino, inode);
        }
        if (c.targetReplacedSince) {
            ASSERT_TRUE(writeAll(box.filePath("new.jpg"), "a new picture"));
            ASSERT_EQ(::rename(native(box.filePath("new.jpg")).constData(), native(target).constData()), 0);
        }
        const QByteArray targetBefore = readAll(target);
        const Fd holder(c.writerAtWork ? ::open(native(temp).constData(), O_RDONLY) : -1);
        if (c.writerAtWork) {
            ASSERT_EQ(::flock(holder.get(), LOCK_EX), 0);
        }

        if (c.trigger == Trigger::Open)
            recoverFolder(box.path());
        else
            ASSERT_TRUE(writeBytes(box.filePath("other.jpg"), "other"));

        const struct stat after = lstatOf(target);
        if (c.rolledForward) {
            EXPECT_EQ(readAll(target), newContent);
            EXPECT_EQ(readAll(box.filePath("hard link.jpg")), newContent);
            EXPECT_EQ(after.st_ino, inode);
            EXPECT_EQ(after.st_mtim.tv_sec, 1100000000);
            EXPECT_EQ(after.st_mtim.tv_nsec, 7);
        } else {
            EXPECT_EQ(readAll(target), targetBefore);
        }
        EXPECT_EQ(QFile::exists(journal), c.journalStays);
        EXPECT_EQ(QFile::exists(temp), c.journalStays);
    }
}

// A journal is followed only when this user (or the superuser) made it and its temporary, both for
// their owner alone, nobody else changed the picture since, and the temporary holds what the journal
// says. Otherwise nothing is written: the picture stays as it is, the journal and temporary stay, the
// user is told once which picture may be half written and where its new content is, and the picture
// is not written by this process; other files of the folder are.
TEST(SafeWriteRecovery, JournalsThatCannotBeTrustedAreLeftAloneAndTold) {
    enum class Fault { OtherUser, ReadableByOthers, ChangedSince, WrongChecksum, NoChecksum };
    const struct {
        const char* what;
        Fault fault;
    } cases[] = {
        {"journal and temporary of another user", Fault::OtherUser},
        {"temporary readable by others", Fault::ReadableByOthers},
        {"picture changed since by another program", Fault::ChangedSince},
        {"temporary does not match the checksum", Fault::WrongChecksum},
        {"journal without a checksum", Fault::NoChecksum},
    };
    QStringList warnings;
    setRecoveryWarningHook([&](const QString& text) { warnings << text; });
    const struct Unhook {
        ~Unhook() { setRecoveryWarningHook({}); }
    } unhook;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.fault == Fault::OtherUser && ::geteuid() != 0) {
            std::fprintf(stderr, "skipped \"%s\": only the superuser can give files away\n", c.what);
            continue;
        }
        warnings.clear();
        testsupport::SandBox box;
        const QString target = box.filePath("shared.jpg");
        const QString temp = box.filePath(".snaplore-k3x9q2.tmp");
        const QString journal = box.filePath(".snaplore-k3x9q2.journal");
        ASSERT_TRUE(writeAll(target, "the picture as its owner keeps it"));
        ASSERT_EQ(::chmod(native(target).constData(), 0664), 0);
        leaveJournal(box.path(), target, "EVIL", c.fault == Fault::WrongChecksum ? QByteArray("other") : QByteArray(),
                     c.fault == Fault::NoChecksum);
        if (c.fault == Fault::OtherUser) {
            ASSERT_EQ(::chown(native(journal).constData(), 65534, 65534), 0);
            ASSERT_EQ(::chown(native(temp).constData(), 65534, 65534), 0);
        }
        if (c.fault == Fault::ReadableByOthers) {
            ASSERT_EQ(::chmod(native(temp).constData(), 0644), 0);
        }
        if (c.fault == Fault::ChangedSince) {
            setLease(box.path(), -3600);
            ASSERT_TRUE(writeAll(target, "rewritten by another program"));
        }
        const QByteArray before = readAll(target);

        recoverFolder(box.path());
        EXPECT_TRUE(writeBytes(box.filePath("other.jpg"), "another file of the folder"));
        const WriteResult refused = writeBytes(target, "a later save");

        EXPECT_EQ(readAll(target), before);
        EXPECT_TRUE(QFile::exists(journal));
        EXPECT_EQ(readAll(temp), "EVIL");
        EXPECT_EQ(refused.error, WriteError::ReplaceFailed);
        ASSERT_EQ(warnings.size(), 1) << warnings.join('\n').toStdString();
        EXPECT_TRUE(warnings[0].contains(target)) << warnings[0].toStdString();
        EXPECT_TRUE(warnings[0].contains("may be half written"));
        EXPECT_TRUE(warnings[0].contains(temp));
    }
}

// Temporaries that no process holds are left from writes that stopped and are removed; a held one
// belongs to a write at work, whichever process, and stays. Anything else is not this program's.
TEST(SafeWriteRecovery, OnlyUnheldTemporariesOfThisProgramAreRemoved) {
    testsupport::SandBox box;
    const QString stale = box.filePath(".snaplore-stale0.tmp");
    const QString held = box.filePath(".snaplore-held00.tmp");
    const QString pipe = box.filePath(".snaplore-pipe00.tmp");
    const QString link = box.filePath(".snaplore-link00.tmp");
    const QStringList notOurs = {box.filePath(".photo.jpg.Ab12Cd"), box.filePath("snaplore-plain.tmp"),
                                 box.filePath(".snaplore-.tmp"), box.filePath(".snaplore-x.tmp.jpg")};
    for (const QString& path : QStringList{stale, held} + notOurs) ASSERT_TRUE(writeAll(path, "bytes"));
    ASSERT_EQ(::mkfifo(native(pipe).constData(), 0600), 0);
    ASSERT_TRUE(writeAll(box.filePath("linked-to.jpg"), "picture"));
    ASSERT_TRUE(QFile::link(box.filePath("linked-to.jpg"), link));
    const Fd holder(::open(native(held).constData(), O_RDONLY));
    ASSERT_EQ(::flock(holder.get(), LOCK_EX), 0);

    ASSERT_TRUE(endsInTime([&] { recoverFolder(box.path()); }, [&] { releaseFifo(pipe); }))
        << "waited on the pipe";
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_TRUE(QFile::exists(held));
    EXPECT_TRUE(S_ISFIFO(lstatOf(pipe).st_mode));
    EXPECT_TRUE(S_ISLNK(lstatOf(link).st_mode));
    EXPECT_EQ(readAll(box.filePath("linked-to.jpg")), "picture");
    for (const QString& path : notOurs) EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
}

// A target that exists but is no regular file is refused, at once and untouched, also when a link
// leads to it.
TEST(SafeWriteTargets, SpecialFilesAreRefusedWithoutWaiting) {
    const auto makeFifo = [](const QString& p) { return ::mkfifo(native(p).constData(), 0666) == 0; };
    const auto makeSocket = [](const QString& p) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        struct sockaddr_un address {};
        address.sun_family = AF_UNIX;
        if (fd < 0 || size_t(native(p).size()) >= sizeof address.sun_path) return false;
        std::strcpy(address.sun_path, native(p).constData());
        const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        return bound;
    };
    const struct {
        const char* what;
        std::function<bool(const QString&)> make;
        mode_t type;
        bool throughLink;
        bool rootOnly;
    } cases[] = {
        {"named pipe", makeFifo, S_IFIFO, false, false},
        {"link to a named pipe", makeFifo, S_IFIFO, true, false},
        {"device (like /dev/null)",
         [](const QString& p) { return ::mknod(native(p).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0; }, S_IFCHR,
         true, true},
        {"folder", [](const QString& p) { return QDir().mkdir(p); }, S_IFDIR, false, false},
        {"socket", makeSocket, S_IFSOCK, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.rootOnly && ::geteuid() != 0) continue;
        testsupport::SandBox box;
        const QString special = box.filePath("special");
        ASSERT_TRUE(c.make(special));
        const QString target = c.throughLink ? box.filePath("picture.jpg") : special;
        if (c.throughLink) {
            ASSERT_TRUE(QFile::link(special, target));
        }

        WriteResult result;
        ASSERT_TRUE(endsInTime([&] { result = writeBytes(target, "never written"); }, [&] { releaseFifo(special); }))
            << "waited on the target";
        EXPECT_EQ(result.error, WriteError::OpenFailed);
        EXPECT_TRUE(result.detail.contains("not a regular file")) << result.detail.toStdString();
        EXPECT_EQ(lstatOf(special).st_mode & S_IFMT, c.type);
        if (c.throughLink) {
            EXPECT_TRUE(S_ISLNK(lstatOf(target).st_mode));
        }
        EXPECT_TRUE(hiddenEntries(box.path()).isEmpty()) << hiddenEntries(box.path()).join(' ').toStdString();
    }
}

// The temporary's name does not grow with the target's: the longest names a folder takes can be
// written, new or over an old file, replaced or rewritten in place.
TEST(SafeWriteTargets, LongestNamesCanBeWritten) {
    const QRegularExpression ownTemporary("^\\.snaplore-[a-z0-9]+\\.tmp$");
    for (const int length : {248, 255}) {
        for (const bool linked : {false, true}) {
            SCOPED_TRACE(std::to_string(length) + (linked ? " bytes, hard-linked" : " bytes"));
            testsupport::SandBox box;
            const QString target = box.filePath(QString(length - 4, QLatin1Char('n')) + ".jpg");
            ASSERT_EQ(native(QFileInfo(target).fileName()).size(), length);
            QStringList seenWhileWriting;
            const auto write = [&](const QByteArray& content) {
                return safeWrite(target, [&](QFile& out) {
                    seenWhileWriting = hiddenEntries(box.path());
                    return out.write(content) == content.size();
                });
            };
            const WriteResult created = write("first");
            ASSERT_TRUE(created) << describe(created).toStdString();
            ASSERT_EQ(seenWhileWriting.size(), 1);
            EXPECT_TRUE(ownTemporary.match(seenWhileWriting.first()).hasMatch())
                << seenWhileWriting.first().toStdString();
            if (linked) {
                ASSERT_EQ(::link(native(target).constData(), native(box.filePath("link.jpg")).constData()), 0);
            }
            const WriteResult rewritten = write("second, longer");
            ASSERT_TRUE(rewritten) << describe(rewritten).toStdString();
            EXPECT_EQ(readAll(target), "second, longer");
            if (linked) {
                EXPECT_EQ(readAll(box.filePath("link.jpg")), "second, longer");
            }
            EXPECT_TRUE(hiddenEntries(box.path()).isEmpty()) << hiddenEntries(box.path()).join(' ').toStdString();
        }
    }
}

// The check reads the file written through its descriptor, by a path that callers can open as any
// other; a failed check keeps the original and names the picture, not the descriptor.
TEST(SafeWriteTargets, CheckReadsTheTemporaryThroughItsDescriptor) {
    testsupport::SandBox box;
    const QString target = box.copy(testsupport::dataPath("Canon_40D.jpg"));
    const QByteArray original = readAll(target);
    for (const bool passes : {false, true}) {
        SCOPED_TRACE(passes ? "check passes" : "check fails");
        QString checkedPath;
        QByteArray checkedBytes;
        const WriteResult result = safeWrite(
            target, [](QFile& out) { return out.write("checked content") == 15; },
            [&](const QString& path) -> WriteResult {
                checkedPath = path;
                checkedBytes = readAll(path);
                return passes ? WriteResult{} : WriteResult{WriteError::VerifyFailed, path};
            });
        EXPECT_TRUE(checkedPath.startsWith("/proc/self/fd/")) << checkedPath.toStdString();
        EXPECT_EQ(checkedBytes, "checked content");
        if (passes) {
            EXPECT_TRUE(result);
            EXPECT_EQ(readAll(target), "checked content");
        } else {
            EXPECT_EQ(result.error, WriteError::VerifyFailed);
            EXPECT_EQ(result.detail, target);
            EXPECT_EQ(readAll(target), original);
        }
        EXPECT_TRUE(hiddenEntries(box.path()).isEmpty()) << hiddenEntries(box.path()).join(' ').toStdString();
    }
}

// On a full disk the reason reads as the system words it; the original stays whole, whether the new
// file was to replace it or to be written into it.
TEST(SafeWriteTargets, FullDiskIsSaidInTheSystemsWordsAndKeepsTheOriginal) {
    const struct {
        const char* what;
        bool linked;     // rewritten in place
        int freePages;   // left on the disk before the write
    } cases[] = {
        {"replacing: the new file does not fit", false, 2},
        {"in place: the new file fits, the grown picture does not", true, 7},
    };
    const QByteArray bigger(24 * 1024, 'b');
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::SandBox box;
        const QString disk = box.filePath("disk");
        ASSERT_TRUE(QDir().mkdir(disk));
        if (::mount("tmpfs", native(disk).constData(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
        const Mounted mounted{disk};

        const QString target = box.copy(testsupport::dataPath("Canon_40D.jpg"), "disk/photo.jpg");
        const QByteArray original = readAll(target);
        ASSERT_FALSE(original.isEmpty());
        if (c.linked) {
            ASSERT_EQ(::link(native(target).constData(), native(disk + "/same.jpg").constData()), 0);
        }
        // Fill the disk a page at a time, then give back the pages the case leaves free.
        const Fd filler(::open(native(disk + "/filler").constData(), O_WRONLY | O_CREAT, 0600));
        ASSERT_GE(filler.get(), 0);
        const QByteArray page(4096, 'f');
        off_t filled = 0;
        while (::write(filler.get(), page.constData(), size_t(page.size())) == page.size()) filled += page.size();
        ASSERT_EQ(errno, ENOSPC);
        ASSERT_EQ(::ftruncate(filler.get(), filled - off_t(c.freePages) * 4096), 0);

        const WriteResult result = writeBytes(target, bigger);
        EXPECT_EQ(result.error, WriteError::WriteFailed);
        EXPECT_EQ(result.detail, QString::fromLocal8Bit(std::strerror(ENOSPC))) << describe(result).toStdString();
        EXPECT_EQ(readAll(target), original);
        EXPECT_TRUE(hiddenEntries(disk).isEmpty()) << hiddenEntries(disk).join(' ').toStdString();
    }
}

TEST(SafeWriteTargets, CreateOnlyNeverReplacesAFileAlsoNotOneThatAppearsMeanwhile) {
    testsupport::SandBox box;
    const QString target = box.filePath("IMG_0001.JPG");
    SafeWriteOptions options;
    options.createOnly = true;
    const auto content = [](const QByteArray& bytes) { return [bytes](QFile& f) { return f.write(bytes) == bytes.size(); }; };

    ASSERT_TRUE(safeWrite(target, content("first"), {}, options));
    EXPECT_EQ(readAll(target), "first");

    WriteResult again = safeWrite(target, content("second"), {}, options);
    EXPECT_EQ(again.error, WriteError::ReplaceFailed);
    EXPECT_EQ(again.detail, QString::fromLocal8Bit(std::strerror(EEXIST)));
    EXPECT_EQ(readAll(target), "first");

    // Another program puts a file there while ours is written: it stays, and no temporary is left.
    const QString late = box.filePath("IMG_0002.JPG");
    const WriteResult raced = safeWrite(late, [&](QFile& f) {
        writeAll(late, "theirs");
        return f.write("ours") == 4;
    }, {}, options);
    EXPECT_EQ(raced.error, WriteError::ReplaceFailed);
    EXPECT_EQ(readAll(late), "theirs");
    EXPECT_EQ(QDir(box.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // In a batch the name is taken at commit: a file that appears after staging stays too, and the
    // other members still arrive.
    SafeWriteBatch batch;
    options.batch = &batch;
    const QString staged = box.filePath("IMG_0003.JPG"), fine = box.filePath("IMG_0004.JPG");
    ASSERT_TRUE(safeWrite(staged, content("ours"), {}, options));
    ASSERT_TRUE(safeWrite(fine, content("fine"), {}, options));
    EXPECT_FALSE(safeWrite(target, content("third"), {}, options));  // there already
    writeAll(staged, "theirs");
    const std::vector<SafeWriteBatch::Outcome> outcomes = batch.commit();
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[0].result.error, WriteError::ReplaceFailed);
    EXPECT_TRUE(outcomes[1].result);
    EXPECT_EQ(readAll(staged), "theirs");
    EXPECT_EQ(readAll(fine), "fine");
    EXPECT_EQ(readAll(target), "first");
    EXPECT_EQ(QDir(box.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
}

TEST(SafeWriteTargets, ChosenNameReplacesALinkItselfAndNeverWritesThroughIt) {
    testsupport::SandBox box;
    const QString elsewhere = box.filePath("elsewhere.txt");
    ASSERT_TRUE(writeAll(elsewhere, "precious"));
    const QString out = box.filePath("out");
    ASSERT_TRUE(QDir().mkpath(out));
    const QString link = out + "/a.png", dangling = out + "/b.png", hard = out + "/c.png";
    ASSERT_EQ(::symlink(native(elsewhere).constData(), native(link).constData()), 0);
    ASSERT_EQ(::symlink("nowhere/b.png", native(dangling).constData()), 0);
    ASSERT_EQ(::link(native(elsewhere).constData(), native(hard).constData()), 0);
    EXPECT_TRUE(nameTaken(dangling));
    EXPECT_FALSE(nameTaken(out + "/d.png"));

    SafeWriteOptions options;
    options.replaceLink = true;
    for (const QString& target : {link, dangling, hard}) {
        ASSERT_TRUE(writeBytes(target, "new", options)) << target.toStdString();
        EXPECT_TRUE(S_ISREG(lstatOf(target).st_mode)) << target.toStdString();
        EXPECT_EQ(readAll(target), "new");
    }
    EXPECT_EQ(readAll(elsewhere), "precious");
    EXPECT_FALSE(QFileInfo::exists(box.filePath("out/nowhere")));

    // A name the user gave is still followed: the file it names is written, the link stays.
    const QString given = box.filePath("given.txt");
    ASSERT_EQ(::symlink(native(elsewhere).constData(), native(given).constData()), 0);
    ASSERT_TRUE(writeBytes(given, "edited"));
    EXPECT_TRUE(S_ISLNK(lstatOf(given).st_mode));
    EXPECT_EQ(readAll(elsewhere), "edited");
}

#pragma once
// The one routine through which every picture and catalog is written. The new content goes to a
// temporary file in the same folder, is flushed to disk, read back and checked, and only then
// renamed over the target (in a batch, the flush and rename wait for its commit). The old file stays
// whole until its replacement is complete.
//
// The new file keeps the old one's owner, group, permissions, extended attributes and ACL. When it
// cannot (only the superuser gives files away; some attributes are the system's to set) or the old
// file has other names (hard links), the old file is rewritten in place from the checked temporary
// instead, under a journal that lets a later run finish the rewrite if this one is interrupted.
//
// Temporaries are named ".snaplore-<random>.tmp" and held locked while in use; the first write in a
// folder clears the ones that interrupted runs left there.
//
// An existing target is held under its PictureLock (picturelock.h) from before it is read (when the
// caller took the lock, as the picture rewrite does) or from the start of safeWrite, until it is
// replaced: in a batch, until the batch's commit.

#include "picturelock.h"
#include "writeerror.h"

#include <QFile>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <sys/stat.h>

class SafeWriteBatch;
namespace safewrite {
class TempFile;
}

struct SafeWriteOptions {
    // Keep the access and modification times (to the nanosecond) of this file; empty = the target's
    // own when it exists. Ignored when keepTimes is false.
    QString timesFrom;
    bool keepTimes = true;
    // Times taken before the caller read the file (reading may move the access time): these win.
    std::optional<struct stat> timesBefore;
    // When given, the checked temporary file waits in the batch; the batch's commit makes it
    // durable and puts it in place. safeWrite's result then only tells whether it was staged.
    SafeWriteBatch* batch = nullptr;
    // A new file only: the write fails (ReplaceFailed, "File exists") when a file of that name is
    // there, also one that appears before the new file takes its name (in a batch: at commit).
    bool createOnly = false;
    // The program chose the target's name inside a folder (a thumbnail, a page of a site, a file
    // put on a CD, a card's copy): a link at that name is the target itself. createOnly keeps it like
    // a file, a replacement replaces the link, and nothing is written through it.
    bool replaceLink = false;
    // The target's file name as the system spells it, for a name that text cannot hold (not UTF-8):
    // the new file takes these bytes as its name in the folder of `target`.
    QByteArray nativeName;
    // The target's lock, taken by the caller before it read the target; safeWrite takes it itself
    // when this is empty. A lock on another file than the one found at the target fails the write.
    std::shared_ptr<PictureLock> targetLock;
};

// `produce` writes the new content into the open temporary file and returns false on failure.
// `verify`, when given, checks the flushed temporary file before it replaces the target; the path it
// gets reads the temporary through its open descriptor ("/proc/self/fd/N").
// An existing target that the user may not write is refused, never replaced; so is one that is not
// a regular file (a pipe, a device), which is never opened in a way that could wait. A link to a
// picture is followed: the picture is written, the link stays (unless SafeWriteOptions::replaceLink).
// On failure WriteResult::detail holds the system's words ("No space left on device").
WriteResult safeWrite(const QString& target, const std::function<bool(QFile&)>& produce,
                      const std::function<WriteResult(const QString& tempPath)>& verify = {},
                      const SafeWriteOptions& options = {});

// True when something stands at `path`: a file, a folder, anything else, or a link, also one that
// leads nowhere. An output whose name is taken is kept unless the user asked to replace it.
bool nameTaken(const QString& path);

// Finishes the in-place rewrites in `folder` that an interrupted run left (from the temporary that
// holds the complete new content) and removes this program's temporaries there that no running
// write holds. safeWrite does this on its first write in a folder; a browser may do it when it opens
// one. Quietly does what it can: a read-only folder is left as it is.
void recoverFolder(const QString& folder);

// Where the warning goes when an interrupted in-place rewrite is found that is not finished (its
// journal is not one this user may follow, the file was changed since by someone else, or its new
// content does not match the journal): it names the file that may be half written and the temporary
// that holds its complete new content. Each such rewrite is told once per process. Without a hook
// (command-line programs) the warning goes to standard error; the window shows it as a message.
void setRecoveryWarningHook(std::function<void(const QString&)> hook);

// Takes the lock of the existing file `target` for a write through safeWrite that reads the target
// first (see PictureLock::acquire for null results). With a batch that holds staged writes, those are
// committed before waiting for a file another writer holds, so that two batches never wait on each
// other.
std::unique_ptr<PictureLock> lockTarget(const QString& target, SafeWriteBatch* batch, WriteResult& failure);

// Many safe writes made durable together: one flush of each file system instead of a flush of every
// temporary file and folder, for commands that rewrite many files. Each member keeps the guarantee
// of a single safeWrite: its target stays whole until its replacement is complete and on disk, and a
// crash at any moment leaves each target either old or new.
//
// The batch commits by itself when the write just staged brings it to its limits, so that only so
// many temporaries and open files wait at a time, and before waiting for a file another writer holds.
// The outcomes of those commits go to the callback given to the batch, as soon as they are known;
// without one they wait for the next commit(). A caller that keeps something of its own for each
// staged write takes it in staging order: a commit may come inside the safeWrite that stages a
// member (that member included), and never covers a write whose staging failed.
class SafeWriteBatch {
public:
    struct Outcome {
        QString target;  // as given to safeWrite
        WriteResult result;
        // When it succeeded: the file now at the target, the one whose content was checked.
        dev_t device = 0;
        ino_t inode = 0;
    };
    // How much waits for one flush: enough that the flushes cost little, few enough open files and
    // temporaries. The batch commits once either is reached.
    struct Limits {
        qsizetype files = 64;
        qint64 bytes = qint64(256) << 20;
    };
    // Takes the outcomes of one commit, in staging order; it must not stage into this batch.
    using Committed = std::function<void(std::vector<Outcome> outcomes)>;

    explicit SafeWriteBatch(Committed committed = {});
    SafeWriteBatch(Committed committed, Limits limits);
    // Temporaries not committed are removed; their targets stay as they were.
    ~SafeWriteBatch();
    SafeWriteBatch(const SafeWriteBatch&) = delete;
    SafeWriteBatch& operator=(const SafeWriteBatch&) = delete;

    // Staged writes waiting for commit(), and the bytes their temporaries hold.
    qsizetype size() const { return qsizetype(members_.size()); }
    qint64 pendingBytes() const { return pendingBytes_; }
    // True when a write to the file `target` (by its real path, or the same file under another name)
    // is waiting.
    bool holds(const QString& target) const;

    // Flushes every waiting temporary to disk, then renames each over its target or rewrites the
    // target in place (one that has been locked since is refused), then flushes each folder once.
    // One outcome per staged write, in staging order; a failed member's temporary is removed and its
    // target left untouched. The batch is empty afterwards, and the targets' locks are released.
    // With a callback, the outcomes go to it (when anything was staged) and none are returned.
    // Without one, the outcomes of the commits the batch made by itself since are returned in front.
    std::vector<Outcome> commit();

private:
    friend WriteResult safeWrite(const QString&, const std::function<bool(QFile&)>&,
                                 const std::function<WriteResult(const QString&)>&, const SafeWriteOptions&);
    struct Member {
        std::unique_ptr<safewrite::TempFile> temp;  // open, complete and checked
        QString target;
        QByteArray nativeTarget;  // the real file the rename replaces
        QByteArray targetName;    // its name in its folder
        int folder = 0;
        bool inPlace = false;  // rewritten in place: `targetStat` is the file as checked
        struct stat targetStat {};
        bool keepTimes = false;
        struct timespec times[2] {};
        bool createOnly = false;  // never over a file that appeared since it was staged
        bool replaceLink = false;  // a link at the target is replaced, not looked through
        dev_t tempDevice = 0;     // the checked temporary's file
        ino_t tempInode = 0;
        std::shared_ptr<PictureLock> lock;  // the target's, held until the commit
    };
    struct Folder {
        QString path;
        int fd = -1;
        dev_t device = 0;
        bool renamed = false;  // a rename happened in it: flush it on commit
    };
    // The folder's index in folders_; opened on first use, before any temporary is made in it, so
    // that a flush of its file system reports write errors of everything made there since.
    int folderIndex(const QString& folder);
    void add(Member member);
    void clear();
    std::vector<Outcome> commitStaged();
    // Commits what is staged now: the outcomes go to the callback, or wait for the next commit().
    void commitEarly();
    friend std::unique_ptr<PictureLock> lockTarget(const QString&, SafeWriteBatch*, WriteResult&);

    Committed committed_;
    Limits limits_;
    std::vector<Member> members_;
    std::vector<Outcome> early_;
    std::vector<Folder> folders_;
    qint64 pendingBytes_ = 0;
};

#include "memcardcopy.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

#include "picturerecord.h"
#include "prompter.h"
#include "safewrite.h"
#include "saveas.h"
#include "settingsstore.h"
#include "textcodec.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <future>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace memcard {

namespace {

const QString kSection = QStringLiteral("MemoryCard");

// An open descriptor, closed at the end of its scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The system's words for an errno, with a plainer one for a path the system cannot take.
QString reasonFor(int error) {
    if (error == ENAMETOOLONG) return QStringLiteral("the path is longer than the system allows");
    return QString::fromLocal8Bit(std::strerror(error));
}

QString kindOf(mode_t mode) {
    return S_ISFIFO(mode)                         ? QStringLiteral("not a regular file: a named pipe")
           : S_ISCHR(mode) || S_ISBLK(mode)       ? QStringLiteral("not a regular file: a device")
           : S_ISSOCK(mode)                       ? QStringLiteral("not a regular file: a socket")
                                                  : QStringLiteral("not a regular file");
}

QString shown(const QByteArray& path) { return QDir::toNativeSeparators(snaplore::text::printableName(path)); }

QByteArray joined(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// Opens a file to read it without waiting: a pipe or device under a picture's name is refused, not
// read. -1 with `problem` set when it cannot be taken.
int openRegular(const QByteArray& path, struct stat& st, QString& problem) {
    // Looked at first, so that a device is not even opened.
    if (::stat(path.constData(), &st) != 0) {
        problem = reasonFor(errno);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        problem = kindOf(st.st_mode);
        return -1;
    }
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        problem = reasonFor(errno);
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {  // swapped since it was looked at
        problem = S_ISREG(st.st_mode) ? reasonFor(errno) : kindOf(st.st_mode);
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sameContent(const QByteArray& a, const QByteArray& b) {
    struct stat sa {}, sb {};
    QString problem;
    const Descriptor first(openRegular(a, sa, problem)), second(openRegular(b, sb, problem));
    if (first.get() < 0 || second.get() < 0 || sa.st_size != sb.st_size) return false;
    // Small pieces into buffers used again: they stay in the processor's cache while compared.
    constexpr size_t kChunk = 64 * 1024;
    std::vector<char> x(kChunk), y(kChunk);
    for (;;) {
        const ssize_t n = ::read(first.get(), x.data(), kChunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        ssize_t m = 0;
        while (m < n) {
            const ssize_t got = ::read(second.get(), y.data() + m, size_t(n - m));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            m += got;
        }
        if (n == 0) {
            char extra;
            return ::read(second.get(), &extra, 1) == 0;
        }
        if (std::memcmp(x.data(), y.data(), size_t(n)) != 0) return false;
    }
}

bool sameTime(const struct timespec& a, const struct timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// True when `target` is still the file the batch put there (same inode, with the card file's size
// and modification time, which the copy was given) and the card's file `source` is as it was before
// it was copied: a write to either would have changed its times.
bool stillTheCheckedCopy(const QByteArray& source, const struct stat& before, const QByteArray& target,
                         const SafeWriteBatch::Outcome& outcome) {
    struct stat copy {}, card {};
    if (::lstat(target.constData(), &copy) != 0 || ::stat(source.constData(), &card) != 0) return false;
    const bool cardUnchanged = card.st_dev == before.st_dev && card.st_ino == before.st_ino &&
                               card.st_size == before.st_size && sameTime(card.st_mtim, before.st_mtim) &&
                               sameTime(card.st_ctim, before.st_ctim);
    const bool copyUnchanged = outcome.inode != 0 && copy.st_dev == outcome.device && copy.st_ino == outcome.inode &&
                               copy.st_size == card.st_size && sameTime(copy.st_mtim, card.st_mtim);
    return cardUnchanged && copyUnchanged;
}

// The card's path still names the file that was copied (through its link, when it is one).
bool stillTheCardFile(const QByteArray& source, const struct stat& before) {
    struct stat card {};
    return ::stat(source.constData(), &card) == 0 && card.st_dev == before.st_dev && card.st_ino == before.st_ino;
}

bool present(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

// "IMG_0001.JPG" as "IMG_0001_2.JPG", "_3", ... : the first name that is neither on disk (not even
// as a link) nor taken in this run.
QByteArray freeName(const QByteArray& target, const QSet<QByteArray>& taken) {
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = target.first(slash + 1);
    const QByteArray name = target.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArray base = dot >= 0 ? name.first(dot) : name;
    const QByteArray suffix = dot >= 0 ? name.mid(dot) : QByteArray();
    for (int n = 2;; ++n) {
        const QByteArray candidate = folder + base + '_' + QByteArray::number(n) + suffix;
        if (!taken.contains(candidate) && !present(candidate)) return candidate;
    }
}

bool isJpgName(const QByteArray& name) { return name.toLower().endsWith(".jpg"); }

void readFolder(const QByteArray& folder, CardContents& card) {
    DIR* dir = ::opendir(folder.constData());
    if (!dir) {
        card.unreadFolders << QStringLiteral("%1: %2").arg(shown(folder), reasonFor(errno));
        return;
    }
    QList<QByteArray> names;
    for (;;) {
        errno = 0;
        const struct dirent* entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0)
                card.unreadFolders << QStringLiteral("%1: %2").arg(shown(folder), reasonFor(errno));
            break;
        }
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") names << name;
    }
    std::sort(names.begin(), names.end());
    // Looked at through the folder's own descriptor: a name too long for a whole path is still seen.
    const int fd = ::dirfd(dir);
    for (const QByteArray& name : names) {
        const QByteArray path = joined(folder, name);
        struct stat st {};
        if (::fstatat(fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            card.notTaken << QStringLiteral("%1: %2").arg(shown(path), reasonFor(errno));
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            readFolder(path, card);
            continue;
        }
        int linkError = 0;  // why a link leads nowhere
        if (S_ISLNK(st.st_mode)) {
            struct stat pointed {};
            if (::fstatat(fd, name.constData(), &pointed, 0) == 0) {
                st = pointed;
                if (S_ISDIR(st.st_mode)) {
                    // Never followed: it may lead back up.
                    card.otherFiles << QStringLiteral("%1 (a link to a folder, not followed)").arg(shown(path));
                    continue;
                }
            } else {
                linkError = errno;
            }
        }
        if (!isJpgName(name)) {
            card.otherFiles << shown(path);
            continue;
        }
        if (linkError)
            card.notTaken << QStringLiteral("%1: a link that leads nowhere (%2)").arg(shown(path), reasonFor(linkError));
        else if (!S_ISREG(st.st_mode))
            card.notTaken << QStringLiteral("%1: %2").arg(shown(path), kindOf(st.st_mode));
        else if (path.size() >= PATH_MAX)
            card.notTaken << QStringLiteral("%1: %2").arg(shown(path), reasonFor(ENAMETOOLONG));
        else
            card.pictures << path;
    }
    ::closedir(dir);
}

QString listed(const QString& title, const QStringList& names, int limit) {
    QStringList lines{title};
    const qsizetype shownCount = limit < 0 ? names.size() : std::min<qsizetype>(limit, names.size());
    for (qsizetype i = 0; i < shownCount; ++i) lines << names[i];
    if (shownCount < names.size()) lines << QStringLiteral("... and %1 more").arg(names.size() - shownCount);
    return lines.join(QLatin1Char('\n'));
}

bool isRemovableDevice(const QByteArray& device) {
    // /dev/sdb1 -> sdb; /dev/mmcblk0p1 -> mmcblk0: the whole disk's "removable" flag tells.
    QString name = QFileInfo(QFile::decodeName(device)).fileName();
    if (name.startsWith(QLatin1String("mmcblk"))) return true;  // an SD card slot
    while (!name.isEmpty() && name.back().isDigit()) name.chop(1);
    QFile flag(QStringLiteral("/sys/block/%1/removable").arg(name));
    return flag.open(QIODevice::ReadOnly) && flag.readAll().trimmed() == "1";
}

}  // namespace

Settings ReadSettings(const SettingsStore& store) {
    Settings s;
    // A value of the wrong type leaves the default.
    if (const auto v = store.string(kSection, QStringLiteral("Source"))) s.source = *v;
    if (const auto v = store.string(kSection, QStringLiteral("Destination"))) s.destination = *v;
    if (const auto v = store.dword(kSection, QStringLiteral("Delete"))) s.deleteAfterCopy = *v != 0;
    if (const auto v = store.dword(kSection, QStringLiteral("Dated"))) s.datedFolders = *v != 0;
    return s;
}

void WriteSettings(SettingsStore& store, const Settings& s) {
    store.writeString(kSection, QStringLiteral("Source"), s.source);
    store.writeString(kSection, QStringLiteral("Destination"), s.destination);
    store.writeDword(kSection, QStringLiteral("Delete"), s.deleteAfterCopy ? 1 : 0);
    store.writeDword(kSection, QStringLiteral("Dated"), s.datedFolders ? 1 : 0);
}

CardContents ReadCard(const QByteArray& folder) {
    CardContents card;
    readFolder(folder, card);
    return card;
}

QList<Volume> MountedVolumes() {
    QList<Volume> volumes;
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        if (!storage.isValid() || !storage.isReady()) continue;
        volumes.append({storage.rootPath(), isRemovableDevice(storage.device())});
    }
    return volumes;
}

QString ProposeSource(const QList<Volume>& volumes) {
    QString fallback;
    for (const Volume& volume : volumes) {
        const QString dcim = QDir(volume.rootPath).filePath(QStringLiteral("DCIM"));
        if (volume.rootPath == QLatin1String("/") || !QFileInfo(dcim).isDir()) continue;
        if (volume.removable) return dcim;
        if (fallback.isEmpty()) fallback = dcim;
    }
    return fallback;
}

QString TargetFolder(const QString& destination, bool datedFolders, const QDateTime& when) {
    if (!datedFolders || !when.isValid()) return QDir::cleanPath(destination);
    return QDir(destination).filePath(when.toString(QStringLiteral("yyyy_MM_dd")));
}

bool CopyReport::ok() const {
    return !cancelled && keptExisting.isEmpty() && sameFile.isEmpty() && failed.isEmpty() && notDeleted.isEmpty() &&
           notTaken.isEmpty() && unreadFolders.isEmpty();
}

QString CopyReport::counts() const {
    QStringList lines;
    QString first = QStringLiteral("%1 of %2 pictures copied").arg(copied.size()).arg(found);
    if (!renamed.isEmpty()) first += QStringLiteral(", %1 of them under another name").arg(renamed.size());
    if (deleting) first += QStringLiteral("; %1 deleted from the card").arg(deleted.size());
    lines << first + QLatin1Char('.');
    const auto line = [&](qsizetype count, const char* one, const char* many) {
        if (count == 1) lines << QString::fromLatin1(one);
        if (count > 1) lines << QString::fromLatin1(many).arg(count);
    };
    const qsizetype handled = copied.size() + keptExisting.size() + sameFile.size() + failed.size();
    if (cancelled)
        line(found - handled, "The copy was stopped: 1 picture was not reached.",
             "The copy was stopped: %1 pictures were not reached.");
    line(keptExisting.size(), "1 picture not copied, as the file of that name there was kept.",
         "%1 pictures not copied, as the files of those names there were kept.");
    line(sameFile.size(), "1 picture left alone, as its copy would be the file itself.",
         "%1 pictures left alone, as their copies would be the files themselves.");
    line(failed.size(), "1 picture could not be copied and stays on the card.",
         "%1 pictures could not be copied and stay on the card.");
    line(notDeleted.size(), "1 picture was copied but stays on the card.", "%1 pictures were copied but stay on the card.");
    line(notTaken.size(), "1 .jpg file could not be taken and stays on the card.",
         "%1 .jpg files could not be taken and stay on the card.");
    line(unreadFolders.size(), "1 folder could not be read: the pictures in it are unknown.",
         "%1 folders could not be read: the pictures in them are unknown.");
    line(otherFiles.size(), "1 file that is not a .jpg picture stays on the card.",
         "%1 files that are not .jpg pictures stay on the card.");
    return lines.join(QLatin1Char('\n'));
}

QString CopyReport::summary(int limit) const {
    const QString names = details(limit);
    return names.isEmpty() ? counts() : counts() + QStringLiteral("\n\n") + names;
}

QString CopyReport::details(int limit) const {
    QStringList parts;
    const auto part = [&](const QStringList& list, const char* title) {
        if (!list.isEmpty()) parts << listed(QString::fromLatin1(title), list, limit);
    };
    part(unreadFolders, "Folders not read (what they hold stays on the card):");
    part(notTaken, "Files not taken (they stay on the card):");
    part(failed, "Not copied (they stay on the card):");
    part(notDeleted, "Copied, but they stay on the card:");
    part(keptExisting, "Not copied, the file there was kept:");
    part(sameFile, "Left alone, as the copy would be the file itself:");
    part(renamed, "Copied under another name:");
    part(otherFiles, "Not .jpg pictures (they stay on the card):");
    return parts.join(QStringLiteral("\n\n"));
}

CopyReport CopyFromCard(const CardContents& contents, const CopyRequest& request) {
    CopyReport report;
    report.found = int(contents.pictures.size());
    report.deleting = request.deleteAfterCopy;
    report.otherFiles = contents.otherFiles;
    report.notTaken = contents.notTaken;
    report.unreadFolders = contents.unreadFolders;
    bool overwriteAll = request.existing == ExistingTarget::Replace;
    QSet<QByteArray> written;   // targets of this run
    QSet<QString> madeFolders;  // folders made or found in this run: each is made once
    const int total = report.found;
    const auto fail = [&](const QByteArray& source, const QString& reason) {
        report.failed << QStringLiteral("%1: %2").arg(shown(source), reason);
    };
    // The copies are made durable together, a few dozen at a time: one flush of the disk instead of
    // one per picture and folder. A card's file is deleted only after the commit has put its copy,
    // checked byte for byte against it, on disk under its name.
    struct Staged {
        QByteArray source, target;
        struct stat card;  // the card's file as it was before its copy was made and checked
    };
    std::deque<Staged> staged;  // the copies waiting, in the batch's order
    std::future<std::vector<std::pair<QByteArray, int>>> deleting;
    const auto finishDeletes = [&] {
        if (!deleting.valid()) return;
        for (const auto& [file, error] : deleting.get()) {
            if (error == 0)
                report.deleted << shown(file);
            else
                report.notDeleted << QStringLiteral("%1: it could not be deleted (%2)").arg(shown(file), reasonFor(error));
        }
    };
    const auto committed = [&](const std::vector<SafeWriteBatch::Outcome>& outcomes) {
        QList<QByteArray> proven;  // card files whose copies are proven, to be deleted
        for (const SafeWriteBatch::Outcome& outcome : outcomes) {
            const Staged copy = std::move(staged.front());
            staged.pop_front();
            const auto& [source, target, card] = copy;
            if (!outcome.result) {
                written.remove(target);
                fail(source, describe(outcome.result));
                continue;
            }
            report.copied << shown(target);
            if (!request.deleteAfterCopy) continue;
            // The copy was compared byte for byte with the card's file before the commit flushed it.
            // When the file at its name is still that one, untouched, and the card's file has not
            // changed since, that comparison holds; else the two are compared again. Either way the
            // card's name must still lead to the file that was copied.
            if (!stillTheCardFile(source, card) ||
                (!stillTheCheckedCopy(source, card, target, outcome) && !sameContent(source, target))) {
                report.notDeleted << QStringLiteral("%1: the copy %2 differs from it").arg(shown(source), shown(target));
                continue;
            }
            proven << source;
        }
        // The card's files go while the next pictures are copied: a delete waits on the file system's
        // journal, not on this program. A link on the card goes, never the file it leads to.
        finishDeletes();
        if (proven.isEmpty()) return;
        deleting = std::async(std::launch::async, [files = std::move(proven)] {
            std::vector<std::pair<QByteArray, int>> done;
            for (const QByteArray& file : files)
                done.emplace_back(file, ::unlink(file.constData()) == 0 ? 0 : errno);
            return done;
        });
    };
    SafeWriteBatch batch(committed);
    const auto stop = [&] {
        batch.commit();  // what was copied so far stays copied
        finishDeletes();
        report.cancelled = true;
        return report;
    };
    for (int i = 0; i < total; ++i) {
        if (request.progress && !request.progress(i, total)) return stop();
        const QByteArray& source = contents.pictures[i];
        // Opened once without waiting, and read through that descriptor: what is copied is the
        // regular file that was checked, whatever its name is, and a name that is not UTF-8 is no
        // obstacle.
        struct stat card {};
        QString problem;
        const Descriptor fd(openRegular(source, card, problem));
        if (fd.get() < 0) {
            report.notTaken << QStringLiteral("%1: %2").arg(shown(source), problem);
            continue;
        }
        const QString byDescriptor = QStringLiteral("/proc/self/fd/%1").arg(fd.get());
        struct stat viaProc {};
        QString readable = byDescriptor;
        if (::stat(QFile::encodeName(byDescriptor).constData(), &viaProc) != 0) {
            // Without /proc the name must do; text cannot hold one that is not UTF-8.
            readable = QFile::decodeName(source);
            if (QFile::encodeName(readable) != source) {
                report.notTaken << QStringLiteral("%1: the name is not valid UTF-8").arg(shown(source));
                continue;
            }
        }
        // The date the picture reports: its picture data's, its camera's, or its file's time.
        const PictureRecord picture(readable);
        const QString folder = TargetFolder(request.destination, request.datedFolders, picture.dateTime());
        if (!madeFolders.contains(folder) && !QDir().mkpath(folder)) {
            fail(source, QStringLiteral("the folder %1 could not be created").arg(folder));
            continue;
        }
        madeFolders.insert(folder);
        const QByteArray name = source.mid(source.lastIndexOf('/') + 1);
        QByteArray target = joined(QFile::encodeName(folder), name);
        struct stat there {};
        if (::stat(target.constData(), &there) == 0 && there.st_dev == card.st_dev && there.st_ino == card.st_ino) {
            report.sameFile << shown(source);
            continue;
        }
        bool replacing = false;
        bool beside = false;
        if (written.contains(target)) {
            // Never over a copy of this run: its card file may be gone already.
            beside = true;
        } else if (present(target)) {
            // A file or a link of that name is there already.
            ExistingTarget decision = overwriteAll ? ExistingTarget::Replace : request.existing;
            if (decision == ExistingTarget::Ask) {
                decision = ExistingTarget::Keep;
                if (request.prompter) {
                    const unsigned answer =
                        request.prompter->choiceMessageBox(
                            QStringLiteral("File %1 already exists, Overwrite it?")
                                .arg(snaplore::text::printableName(name)),
                            QStringLiteral("Overwrite"),
                            mb::YesNoCancel | mb::IconExclamation | mb::YesToAll | mb::KeepBoth, ChoiceParams()) &
                        0xFFFFu;
                    if (int(answer) == id::Cancel) {
                        stop();
                        if (request.progress) request.progress(0, total);
                        return report;
                    }
                    overwriteAll = int(answer) == id::YesToAll;
                    if (overwriteAll || int(answer) == id::Yes) decision = ExistingTarget::Replace;
                    if (int(answer) == id::KeepBoth) decision = ExistingTarget::Rename;
                }
            }
            if (decision == ExistingTarget::Keep) {
                // The file there stays; so does the card's file.
                report.keptExisting << shown(target);
                continue;
            }
            replacing = decision == ExistingTarget::Replace;
            beside = decision == ExistingTarget::Rename;
        }
        if (beside) {
            target = freeName(target, written);
            report.renamed << QStringLiteral("%1 -> %2").arg(shown(source), shown(target));
        }
        // A new copy never goes over a file that appeared meanwhile; only a confirmed one replaces,
        // and then a link there is replaced, never written through.
        SafeWriteOptions how;
        how.createOnly = !replacing;
        how.replaceLink = true;
        const QByteArray targetName = target.mid(target.lastIndexOf('/') + 1);
        const bool textName = snaplore::text::isValidUtf8(targetName);
        if (!textName) how.nativeName = targetName;
        const QString targetText =
            textName ? QFile::decodeName(target) : QDir(folder).filePath(snaplore::text::printableName(targetName));
        // Counted as staged before the write: the batch may commit it before the write returns.
        written.insert(target);
        staged.push_back({source, target, card});
        const WriteResult result = CopyPictureFile(picture, targetText, true, &batch, how);
        if (!result) {
            staged.pop_back();
            written.remove(target);
            fail(source, describe(result));
            continue;
        }
    }
    batch.commit();
    finishDeletes();
    if (request.progress) request.progress(total, total);
    return report;
}

}  // namespace memcard

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

#include <cerrno>
#include <cstring>
#include <future>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace memcard {

namespace {

const QString kSection = QStringLiteral("MemoryCard");
// How much waits for one flush: enough that the flushes cost little, few enough open files.
constexpr qsizetype kFilesPerCommit = 64;
constexpr qint64 kBytesPerCommit = qint64(256) << 20;

bool sameContent(const QString& a, const QString& b) {
    QFile first(a), second(b);
    if (!first.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || !second.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    if (first.size() != second.size()) return false;
    // Small pieces into buffers used again: they stay in the processor's cache while compared.
    constexpr qint64 kChunk = 64 * 1024;
    std::vector<char> x(kChunk), y(kChunk);
    for (;;) {
        const qint64 n = first.read(x.data(), kChunk);
        const qint64 m = second.read(y.data(), kChunk);
        if (n < 0 || m < 0 || n != m) return false;
        if (n == 0) return true;
        if (std::memcmp(x.data(), y.data(), size_t(n)) != 0) return false;
    }
}

bool sameTime(const struct timespec& a, const struct timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// True when `target` is still the file the batch put there (same inode, with the card file's size
// and modification time, which the copy was given) and the card's file `source` is as it was before
// it was copied: a write to either would have changed its times.
bool stillTheCheckedCopy(const QString& source, const struct stat& before, const QString& target,
                         const SafeWriteBatch::Outcome& outcome) {
    struct stat copy {}, card {};
    if (::stat(QFile::encodeName(target).constData(), &copy) != 0 ||
        ::stat(QFile::encodeName(source).constData(), &card) != 0)
        return false;
    const bool cardUnchanged = card.st_dev == before.st_dev && card.st_ino == before.st_ino &&
                               card.st_size == before.st_size && sameTime(card.st_mtim, before.st_mtim) &&
                               sameTime(card.st_ctim, before.st_ctim);
    const bool copyUnchanged = outcome.inode != 0 && copy.st_dev == outcome.device && copy.st_ino == outcome.inode &&
                               copy.st_size == card.st_size && sameTime(copy.st_mtim, card.st_mtim);
    return cardUnchanged && copyUnchanged;
}

// "IMG_0001.JPG" as "IMG_0001_2.JPG", "_3", ... : the first name that is neither on disk nor taken
// in this run.
QString freeName(const QString& target, const QSet<QString>& taken) {
    const QFileInfo info(target);
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 2;; ++n) {
        const QString candidate = info.dir().filePath(QStringLiteral("%1_%2%3").arg(base).arg(n).arg(suffix));
        if (!taken.contains(candidate) && !QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink())
            return candidate;
    }
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

QStringList CollectPictures(const QString& folder) {
    QStringList found;
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink() && entry.isDir()) continue;  // never followed: a link may lead back up
        if (entry.isDir())
            found << CollectPictures(entry.filePath());
        else if (entry.fileName().toLower().endsWith(QLatin1String(".jpg")))
            found << entry.filePath();
    }
    return found;
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

QString CopyReport::summary() const {
    QStringList parts;
    if (!renamed.isEmpty())
        parts << QStringLiteral("Copied under another name, as a picture of that name was copied before:\n%1")
                     .arg(renamed.join(QLatin1Char('\n')));
    if (!sameFile.isEmpty())
        parts << QStringLiteral("Left alone, as the copy would be the file itself:\n%1").arg(sameFile.join(QLatin1Char('\n')));
    if (!keptExisting.isEmpty())
        parts << QStringLiteral("Not copied, the file there was kept:\n%1").arg(keptExisting.join(QLatin1Char('\n')));
    if (!failed.isEmpty())
        parts << QStringLiteral("Not copied; the memory card's files were kept:\n%1").arg(failed.join(QLatin1Char('\n')));
    return parts.join(QStringLiteral("\n\n"));
}

CopyReport CopyFromCard(const QStringList& files, const CopyRequest& request) {
    CopyReport report;
    bool overwriteAll = request.existing == ExistingTarget::Replace;
    QSet<QString> written;      // targets of this run
    QSet<QString> madeFolders;  // folders made or found in this run: each is made once
    const int total = int(files.size());
    const auto fail = [&](const QString& source, const QString& reason) {
        report.failed << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(source), reason);
        if (request.prompter)
            request.prompter->messageBox(QStringLiteral("Could not copy file %1").arg(QFileInfo(source).fileName()),
                                         QStringLiteral("Error"), mb::Ok | mb::IconExclamation);
    };
    // The copies are made durable together, a few dozen at a time: one flush of the disk instead of
    // one per picture and folder. A card's file is deleted only after the commit has put its copy,
    // checked byte for byte against it, on disk under its name.
    SafeWriteBatch batch;
    struct Staged {
        QString source, target;
        struct stat card;  // the card's file as it was before its copy was made and checked
    };
    std::vector<Staged> staged;
    QStringList proven;  // card files whose copies are proven, to be deleted
    std::future<std::vector<std::pair<QString, bool>>> deleting;
    const auto finishDeletes = [&] {
        if (!deleting.valid()) return;
        for (const auto& [file, deleted] : deleting.get()) {
            if (deleted)
                report.deleted << file;
            else
                report.failed << QStringLiteral("%1: copied, but it could not be deleted from the card").arg(QDir::toNativeSeparators(file));
        }
    };
    const auto commitStaged = [&] {
        if (staged.empty()) return;
        const std::vector<SafeWriteBatch::Outcome> outcomes = batch.commit();
        for (size_t k = 0; k < staged.size(); ++k) {
            const auto& [source, target, card] = staged[k];
            if (!outcomes[k].result) {
                written.remove(target);
                fail(source, describe(outcomes[k].result));
                continue;
            }
            report.copied << target;
            if (!request.deleteAfterCopy) continue;
            // The copy was compared byte for byte with the card's file before the commit flushed it.
            // When the file at its name is still that one, untouched, and the card's file has not
            // changed since, that comparison holds; else the two are compared again.
            if (!stillTheCheckedCopy(source, card, target, outcomes[k]) && !sameContent(source, target)) {
                fail(source, QStringLiteral("the copy %1 differs from it; the card's file was kept").arg(target));
                continue;
            }
            proven << source;
        }
        staged.clear();
        // The card's files go while the next pictures are copied: a delete waits on the file system's
        // journal, not on this program.
        finishDeletes();
        if (proven.isEmpty()) return;
        deleting = std::async(std::launch::async, [files = std::exchange(proven, {})] {
            std::vector<std::pair<QString, bool>> done;
            for (const QString& file : files) done.emplace_back(file, ::unlink(QFile::encodeName(file).constData()) == 0);
            return done;
        });
    };
    for (int i = 0; i < total; ++i) {
        if (request.progress && !request.progress(i, total)) {
            commitStaged();  // what was copied so far stays copied
            finishDeletes();
            report.cancelled = true;
            return report;
        }
        const QString& source = files[i];
        // The date the picture reports: its picture data's, its camera's, or its file's time.
        const PictureRecord picture(source);
        const QString folder = TargetFolder(request.destination, request.datedFolders, picture.dateTime());
        if (!madeFolders.contains(folder) && !QDir().mkpath(folder)) {
            fail(source, QStringLiteral("the folder %1 could not be created").arg(folder));
            continue;
        }
        madeFolders.insert(folder);
        QString target = QDir(folder).filePath(QFileInfo(source).fileName());
        if (IsSameFile(source, target)) {
            report.sameFile << QDir::toNativeSeparators(source);
            continue;
        }
        bool replacing = false;
        if (written.contains(target)) {
            // Never over a copy of this run: its card file may be gone already.
            target = freeName(target, written);
            report.renamed << QStringLiteral("%1 -> %2").arg(QDir::toNativeSeparators(source), QDir::toNativeSeparators(target));
        } else if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) {
            bool replace = overwriteAll;
            if (!replace && request.existing == ExistingTarget::Ask && request.prompter) {
                const unsigned answer =
                    request.prompter->choiceMessageBox(
                        QStringLiteral("File %1 already exists, Overwrite it?").arg(QFileInfo(target).fileName()),
                        QStringLiteral("Overwrite"), mb::YesNoCancel | mb::IconExclamation | mb::YesToAll,
                        ChoiceParams()) &
                    0xFFFFu;
                if (int(answer) == id::Cancel) {
                    commitStaged();
                    finishDeletes();
                    report.cancelled = true;
                    if (request.progress) request.progress(0, total);
                    return report;
                }
                overwriteAll = int(answer) == id::YesToAll;
                replace = overwriteAll || int(answer) == id::Yes;
                if (!replace) {
                    // The answer No keeps the file there; the card's file stays too.
                    report.keptExisting << QDir::toNativeSeparators(target);
                    if (request.prompter)
                        request.prompter->messageBox(QStringLiteral("Could not copy file %1").arg(QFileInfo(source).fileName()),
                                                     QStringLiteral("Error"), mb::Ok | mb::IconExclamation);
                    continue;
                }
            }
            if (!replace) {
                report.keptExisting << QDir::toNativeSeparators(target);
                continue;
            }
            replacing = true;
        }
        struct stat card {};
        if (::stat(QFile::encodeName(source).constData(), &card) != 0) {
            fail(source, QString::fromLocal8Bit(std::strerror(errno)));
            continue;
        }
        // A new copy never goes over a file that appeared meanwhile; only a confirmed one replaces.
        const WriteResult result = CopyPictureFile(picture, target, true, &batch, !replacing);
        if (!result) {
            fail(source, describe(result));
            continue;
        }
        written.insert(target);
        staged.push_back({source, target, card});
        if (batch.size() >= kFilesPerCommit || batch.pendingBytes() >= kBytesPerCommit) commitStaged();
    }
    commitStaged();
    finishDeletes();
    if (request.progress) request.progress(total, total);
    return report;
}

}  // namespace memcard

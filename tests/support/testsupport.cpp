#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

QString dataPath(const QString& name) { return QStringLiteral(SNAPLORE_TEST_DATA "/") + name; }

QString corpusDir() {
    const QString dir = QStringLiteral(SNAPLORE_CORPUS_DIR);
    return QFileInfo(dir + "/MANIFEST.tsv").exists() ? QDir(dir).canonicalPath() : QString();
}

QStringList corpusFiles() {
    QStringList files;
    const QString dir = corpusDir();
    if (dir.isEmpty()) return files;
    QDirIterator it(dir, {"*.jpg", "*.JPG", "*.jpeg", "*.JPEG", "*.mpo", "*.MPO"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) files << it.next();
    files.sort();
    return files;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray withXmpPacket(const QByteArray& jpeg, const QByteArray& packet) {
    const QByteArray payload = QByteArray("http://ns.adobe.com/xap/1.0/", 28) + '\0' + packet;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char((payload.size() + 2) >> 8)).append(char((payload.size() + 2) & 0xFF)).append(payload);
    return jpeg.first(2) + segment + jpeg.mid(2);
}

SandBox::SandBox() = default;

QString SandBox::copy(const QString& source, const QString& name) const {
    const QString target = dir_.filePath(name.isEmpty() ? QFileInfo(source).fileName() : name);
    QFile::remove(target);
    QFile::copy(source, target);
    QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
    return target;
}

void makeTooLongPaths(const QString& folder, const QByteArray& bytes) {
    QDir().mkpath(folder);
    // Built through descriptors: a path this long cannot be named whole.
    const QByteArray step(250, 'd');
    qsizetype length = QFile::encodeName(folder).size();
    int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    const auto descend = [&] {
        ::mkdirat(fd, step.constData(), 0755);
        const int next = ::openat(fd, step.constData(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        length += step.size() + 1;
    };
    const auto put = [&](const QByteArray& name) {
        const int file = ::openat(fd, name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        [[maybe_unused]] const ssize_t written = ::write(file, bytes.constData(), size_t(bytes.size()));
        ::close(file);
    };
    while (length + 1 + step.size() < PATH_MAX) descend();
    put(QByteArray(246, 'p') + ".JPG");  // this folder opens; the file's path is too long
    descend();                           // this one's own path is too long
    put("IMG_0001.JPG");
    ::close(fd);
}

void removeTree(const QString& folder) {
    QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), folder});
}

}  // namespace testsupport

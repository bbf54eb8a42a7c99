#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

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

SandBox::SandBox() = default;

QString SandBox::copy(const QString& source, const QString& name) const {
    const QString target = dir_.filePath(name.isEmpty() ? QFileInfo(source).fileName() : name);
    QFile::remove(target);
    QFile::copy(source, target);
    QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
    return target;
}

}  // namespace testsupport

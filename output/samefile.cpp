#include "samefile.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

#include "picturerecord.h"

namespace {

bool statOf(const QString& path, struct stat& st) {
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

}  // namespace

bool IsSameFile(const QString& source, const QString& target) {
    struct stat a {}, b {};
    if (!statOf(source, a) || !statOf(target, b)) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

QString InputAtOutput(const QString& output, const QList<PictureRecord*>& inputs) {
    struct stat out {};
    if (!statOf(output, out)) return {};
    for (const PictureRecord* picture : inputs) {
        struct stat in {};
        if (picture && statOf(picture->filePath(), in) && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
            return picture->filePath();
    }
    return {};
}

QString OutputIsInputText(const QString& output, const QString& input) {
    return QStringLiteral("%1 is the picture %2 itself; nothing was written over it")
        .arg(QDir::toNativeSeparators(output), QDir::toNativeSeparators(input));
}

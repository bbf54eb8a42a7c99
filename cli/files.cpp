// What every command checks about the files it is given, before a picture is read from them.

#include "commands.h"
#include "picturerecord.h"
#include "textcodec.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString printableName(QByteArrayView raw) { return snaplore::text::printableName(raw); }

bool isUtf8(QByteArrayView raw) { return snaplore::text::isValidUtf8(raw); }

QString inputFileProblem(const QByteArray& raw) {
    if (QFile::encodeName(QFile::decodeName(raw)) != raw)
        return QStringLiteral("the name is not valid UTF-8 and was left out");
    // Opened without blocking: a pipe would otherwise wait for a writer that never comes.
    const int fd = ::open(raw.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
    struct stat st {};
    const bool statted = ::fstat(fd, &st) == 0;
    const int error = errno;
    ::close(fd);
    if (!statted) return QString::fromLocal8Bit(std::strerror(error));
    if (!S_ISREG(st.st_mode)) return QStringLiteral("not a regular file");
    return {};
}

std::unique_ptr<PictureRecord> readInputPicture(const QByteArray& raw, QString& problem) {
    problem = inputFileProblem(raw);
    if (!problem.isEmpty()) return nullptr;
    auto picture = std::make_unique<PictureRecord>(QFile::decodeName(raw));
    if (picture->isJpeg()) return picture;
    problem = QStringLiteral("not a JPEG file");
    return nullptr;
}

QList<PictureRecord*> readInputPictures(const QList<QByteArray>& inputs,
                                        std::vector<std::unique_ptr<PictureRecord>>& owned,
                                        const std::function<void(const QString& name, const QString& reason)>& fail) {
    QList<PictureRecord*> pictures;
    for (const QByteArray& raw : inputs) {
        QString problem;
        std::unique_ptr<PictureRecord> picture = readInputPicture(raw, problem);
        if (!picture) {
            fail(printableName(raw), problem);
            continue;
        }
        pictures << picture.get();
        owned.push_back(std::move(picture));
    }
    return pictures;
}

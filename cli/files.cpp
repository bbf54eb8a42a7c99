// What every command checks about the files it is given, before a picture is read from them.

#include "commands.h"
#include "textcodec.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString printableName(QByteArrayView raw) {
    QString out;
    for (qsizetype i = 0; i < raw.size();) {
        const uchar lead = uchar(raw[i]);
        const qsizetype length = lead < 0x80                   ? 1
                                 : lead >= 0xC2 && lead <= 0xDF ? 2
                                 : lead >= 0xE0 && lead <= 0xEF ? 3
                                 : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                                : 0;
        if (length > 0 && i + length <= raw.size() && snaplore::text::isValidUtf8(raw.sliced(i, length))) {
            out += QString::fromUtf8(raw.sliced(i, length));
            i += length;
        } else {
            out += QStringLiteral("\\x") + QString::number(lead, 16).toUpper().rightJustified(2, QLatin1Char('0'));
            ++i;
        }
    }
    return out;
}

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

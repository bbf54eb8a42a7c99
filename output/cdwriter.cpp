#include "cdwriter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <cmath>

#include "safewrite.h"

namespace cdwriter {

QString defaultVolumeName(const QDate& date) {
    return QStringLiteral("SNAPLORE_") + date.toString(QStringLiteral("yyyyMMdd"));
}

QString volumeNameProblem(const QString& name) {
    if (name.isEmpty()) return QStringLiteral("the volume name is empty");
    if (name.size() > 32) return QStringLiteral("the volume name is longer than 32 characters");
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9_. -]+$"));
    if (!allowed.match(name).hasMatch())
        return QStringLiteral("the volume name may hold only letters A-Z, digits, \"_\", \"-\", \".\" and spaces");
    return {};
}

QStringList recordableDrives(const QString& cdromInfo) {
    QStringList names;
    QStringList writes;
    for (const QString& line : cdromInfo.split(QLatin1Char('\n'))) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0) continue;
        const QString key = line.left(colon).trimmed().toLower();
        const QStringList values = line.mid(colon + 1).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (key == QLatin1String("drive name")) names = values;
        else if (key == QLatin1String("can write cd-r")) writes = values;
    }
    QStringList drives;
    for (qsizetype i = 0; i < names.size() && i < writes.size(); ++i) {
        // A name is a device of /dev, never a path: anything else is not trusted.
        if (writes[i] == QLatin1String("1") && !names[i].contains(QLatin1Char('/')) && names[i] != QLatin1String("..") &&
            names[i] != QLatin1String("."))
            drives.append(QStringLiteral("/dev/") + names[i]);
    }
    return drives;
}

std::optional<double> progressPercent(const QString& line) {
    static const QRegularExpression update(QStringLiteral(" : UPDATE : .*?(\\d+(?:\\.\\d+)?)%"));
    const QRegularExpressionMatch match = update.match(line);
    if (!match.hasMatch()) return std::nullopt;
    const double percent = match.captured(1).toDouble();
    if (percent < 0.0 || percent > 100.0) return std::nullopt;
    return percent;
}

QString errorText(const QString& line) {
    static const QRegularExpression error(QStringLiteral("^\\s*\\S[^:]*? : (?:FATAL|FAILURE|SORRY|ABORT) : (.*)$"));
    const QRegularExpressionMatch match = error.match(line);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

}  // namespace cdwriter

namespace {

// One run of xorriso: its messages are read line by line for the progress and the errors; with a
// `sink`, standard output is the image and goes there.
class XorrisoRun {
public:
    XorrisoRun(const QStringList& arguments, QIODevice* sink, const CdProgress& progress)
        : arguments_(arguments), sink_(sink), progress_(progress) {}

    CdWriteResult run() {
        CdWriteResult result;
        QProcess process;
        // Without an image on standard output, the results and the messages come as one stream.
        if (!sink_) process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(cdwriter::kProgram, arguments_);
        if (!process.waitForStarted()) {
            result.error = process.error() == QProcess::FailedToStart
                               ? QStringLiteral("xorriso, which writes CDs and their images, is not installed.")
                               : QStringLiteral("xorriso could not be started: %1").arg(process.errorString());
            return result;
        }
        if (!tell()) return stop(process, result);
        while (process.state() != QProcess::NotRunning) {
            process.waitForReadyRead(100);
            if (!drain(process)) return stop(process, result);
            if (!tell()) return stop(process, result);
        }
        if (!drain(process)) return stop(process, result);
        if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 && sinkError_.isEmpty()) {
            result.ok = true;
            percent_ = 100;
            tell();
            return result;
        }
        result.error = errors_.isEmpty() ? QString() : errors_.join(QLatin1Char('\n'));
        if (!sinkError_.isEmpty()) result.error = sinkError_;
        if (result.error.isEmpty()) {
            result.error = process.exitStatus() == QProcess::NormalExit
                               ? QStringLiteral("xorriso ended with status %1.").arg(process.exitCode())
                               : QStringLiteral("xorriso ended abnormally.");
            if (!lastLines_.isEmpty()) result.error += QLatin1Char('\n') + lastLines_.join(QLatin1Char('\n'));
        }
        return result;
    }

private:
    bool tell() { return !progress_ || progress_(percent_); }

    CdWriteResult stop(QProcess& process, CdWriteResult& result) {
        process.kill();
        process.waitForFinished();
        result.ok = false;
        if (!sinkError_.isEmpty()) {
            result.error = sinkError_;
        } else {
            result.cancelled = true;
            result.error = QStringLiteral("The writing was cancelled.");
        }
        return result;
    }

    // Moves what the process wrote to the sink and the messages into lines; false when the sink
    // failed (the disk is full).
    bool drain(QProcess& process) {
        if (sink_) {
            const QByteArray image = process.readAllStandardOutput();
            if (!image.isEmpty() && sink_->write(image) != image.size()) {
                sinkError_ = QStringLiteral("The image could not be written: %1").arg(sink_->errorString());
                return false;
            }
            messages_ += process.readAllStandardError();
        } else {
            messages_ += process.readAllStandardOutput();
        }
        qsizetype end;
        while ((end = messages_.indexOf('\n')) >= 0) {
            line(QString::fromLocal8Bit(messages_.left(end)).remove(QLatin1Char('\r')));
            messages_.remove(0, end + 1);
        }
        return true;
    }

    void line(const QString& text) {
        if (const std::optional<double> percent = cdwriter::progressPercent(text))
            percent_ = int(std::floor(*percent));
        if (const QString error = cdwriter::errorText(text); !error.isEmpty() && !errors_.contains(error))
            errors_.append(error);
        if (!text.trimmed().isEmpty()) {
            lastLines_.append(text);
            if (lastLines_.size() > 5) lastLines_.removeFirst();
        }
    }

    QStringList arguments_;
    QIODevice* sink_;
    const CdProgress& progress_;
    QByteArray messages_;
    QStringList errors_;
    QStringList lastLines_;
    QString sinkError_;
    int percent_ = 0;
};

}  // namespace

XorrisoCdWriter::XorrisoCdWriter(QString cdromInfo) : cdromInfo_(std::move(cdromInfo)) {}

QStringList XorrisoCdWriter::recordableDrives() {
    QFile info(cdromInfo_);
    if (!info.open(QIODevice::ReadOnly)) return {};
    return cdwriter::recordableDrives(QString::fromLocal8Bit(info.readAll()));
}

QStringList XorrisoCdWriter::arguments(const QString& folder, const QString& volumeName, const QString& device) {
    // "-outdev -" (standard output) is accepted only as the very first argument.
    return {QStringLiteral("-outdev"), device,
            QStringLiteral("-abort_on"), QStringLiteral("FAILURE"),
            QStringLiteral("-report_about"), QStringLiteral("UPDATE"),
            QStringLiteral("-volid"), volumeName,
            QStringLiteral("-rockridge"), QStringLiteral("on"),
            QStringLiteral("-joliet"), QStringLiteral("on"),
            QStringLiteral("-map"), QDir(folder).absolutePath(), QStringLiteral("/"),
            QStringLiteral("-commit")};
}

CdWriteResult XorrisoCdWriter::burn(const QString& folder, const QString& volumeName, const QString& device,
                                    const CdProgress& progress) {
    QStringList args = arguments(folder, volumeName, device);
    args << QStringLiteral("-eject") << QStringLiteral("all");
    return XorrisoRun(args, nullptr, progress).run();
}

CdWriteResult XorrisoCdWriter::writeImage(const QString& folder, const QString& volumeName, const QString& target,
                                          const CdProgress& progress) {
    CdWriteResult result;
    SafeWriteOptions options;
    options.keepTimes = false;  // a new image, not an edit of the old one
    const WriteResult written = safeWrite(
        target,
        [&](QFile& file) {
            result = XorrisoRun(arguments(folder, volumeName, QStringLiteral("-")), &file, progress).run();
            return result.ok;
        },
        {}, options);
    if (result.ok && !written) {
        result.ok = false;
        result.error = QStringLiteral("The image could not be written: %1").arg(describe(written));
    } else if (!result.ok && result.error.isEmpty()) {
        result.error = QStringLiteral("The image could not be written: %1").arg(describe(written));
    }
    return result;
}

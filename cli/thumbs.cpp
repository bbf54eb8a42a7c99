// snaplore-cli thumbs: writes each picture's thumbnail as the program makes it, to look at and to
// measure.

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSet>

#include <deque>
#include <optional>

#include "commands.h"
#include "filename.h"
#include "picturerecord.h"
#include "safewrite.h"
#include "thumbnailmaker.h"

namespace {

const char kThumbsUsage[] =
    "Usage: snaplore-cli thumbs [--no-exif-thumbnails] [--overwrite] --out OUTDIR FILE...\n"
    "Writes each picture's thumbnail as OUTDIR/NAME.png and prints where it came from.\n"
    "  --out OUTDIR            folder for the thumbnails (made when missing)\n"
    "  --no-exif-thumbnails    pass over the camera's thumbnails\n"
    "  --overwrite             replace existing files (otherwise they are kept and named); a link\n"
    "                          there is replaced itself, never written through\n";

QString sourceName(PictureRecord::ThumbnailSource source) {
    switch (source) {
        case PictureRecord::ThumbnailSource::ExifThumbnail:
            return QStringLiteral("exif");
        case PictureRecord::ThumbnailSource::IptcThumbnail:
            return QStringLiteral("iptc");
        case PictureRecord::ThumbnailSource::Decoded:
            return QStringLiteral("decoded");
        case PictureRecord::ThumbnailSource::None:
            break;
    }
    return QStringLiteral("placeholder");
}

// Names after the picture; two pictures of the same name from different folders both keep theirs.
QString outputName(const QString& path, QSet<QString>& used) {
    const QString base = SuggestedFileName(QFileInfo(path).completeBaseName());
    QString name = base + ".png";
    for (int n = 2; used.contains(name); ++n) name = QStringLiteral("%1-%2.png").arg(base).arg(n);
    used.insert(name);
    return name;
}

// Writes the thumbnail as a PNG through a checked temporary file: a full disk leaves no cut-short
// file behind, and a thumbnail is reported only once it reads back whole.
WriteResult writeThumbnail(const QString& target, const QImage& thumb, SafeWriteBatch& batch) {
    // Encoded in memory first: a write error then comes from the file, in the system's words.
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !QImageWriter(&buffer, "png").write(thumb))
        return {WriteError::WriteFailed, QStringLiteral("the thumbnail could not be encoded")};
    const auto produce = [&](QFile& out) { return out.write(png) == png.size() && out.flush(); };
    const auto verify = [&](const QString& tempPath) -> WriteResult {
        QImageReader reader(tempPath, "png");
        const QImage back = reader.read();
        if (back.size() != thumb.size()) return {WriteError::VerifyFailed, reader.errorString()};
        return {};
    };
    SafeWriteOptions options;
    options.keepTimes = false;  // a new thumbnail, not an edit of the one it replaces
    options.replaceLink = true;
    options.batch = &batch;
    return safeWrite(target, produce, verify, options);
}

}  // namespace

int runThumbs(const CliArgs& args, CliStreams io) {
    bool exif = true;
    bool overwrite = false;
    QString outDir;
    QList<QByteArray> files;
    bool optionsEnded = false;
    const auto refuse = [&](const QString& reason) {
        io.err << "snaplore-cli thumbs: " << reason << "\n" << kThumbsUsage;
        return 2;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.text[i];
        if (optionsEnded || !a.startsWith('-') || a == "-") {
            files << args.raw[i];
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--help" || a == "-h") {
            io.out << kThumbsUsage;
            return 0;
        } else if (a == "--no-exif-thumbnails") {
            exif = false;
        } else if (a == "--overwrite") {
            overwrite = true;
        } else if (a == "--out" && i + 1 < args.size()) {
            ++i;
            if (!isUtf8(args.raw[i]))
                return refuse(QStringLiteral("the folder name '%1' is not valid UTF-8").arg(printableName(args.raw[i])));
            outDir = args.text[i];
        } else if (a.startsWith("--out=")) {
            if (!isUtf8(args.raw[i]))
                return refuse(QStringLiteral("the folder name '%1' is not valid UTF-8").arg(printableName(args.raw[i])));
            outDir = a.mid(6);
        } else {
            return refuse(QStringLiteral("unknown or incomplete option '%1'").arg(printableName(args.raw[i])));
        }
    }
    if (outDir.isEmpty()) return refuse(QStringLiteral("no --out folder given"));
    if (files.isEmpty()) return refuse(QStringLiteral("no file given"));
    if (!QDir().mkpath(outDir)) {
        io.err << "snaplore-cli thumbs: cannot make folder '" << outDir << "'\n";
        return 1;
    }

    int status = 0;
    QSet<QString> used;
    // The thumbnails are flushed to disk together, a batch at a time; each is named once it is there.
    std::deque<QString> written;  // the line that names each waiting thumbnail, in the batch's order
    SafeWriteBatch batch([&](const std::vector<SafeWriteBatch::Outcome>& outcomes) {
        for (const SafeWriteBatch::Outcome& outcome : outcomes) {
            if (outcome.result) {
                io.out << written.front();
            } else {
                io.err << "snaplore-cli thumbs: " << outcome.target << ": " << describe(outcome.result) << "\n";
                status = 1;
            }
            written.pop_front();
        }
    });
    for (const QByteArray& raw : files) {
        const QString path = QFile::decodeName(raw);
        // A picture that is also the target of a waiting thumbnail is read as one by one would.
        if (batch.holds(path)) batch.commit();
        // Only a regular file is handed on: the picture reader opens by name and would wait on a pipe.
        QString problem = inputFileProblem(raw);
        std::optional<PictureRecord> picture;
        if (problem.isEmpty()) {
            picture.emplace(path);
            if (picture->fileSize() == 0)
                problem = QStringLiteral("zero byte file");
            else if (!picture->isJpeg())
                problem = QStringLiteral("not a JPEG file");
        }
        if (!problem.isEmpty()) {
            io.err << "snaplore-cli thumbs: " << printableName(raw) << ": " << problem << "\n";
            status = 1;
            continue;
        }

        const QString target = QDir(outDir).filePath(outputName(path, used));
        if (!overwrite && nameTaken(target)) {
            io.err << "snaplore-cli thumbs: " << target << ": exists, left as it is (--overwrite replaces it)\n";
            status = 1;
            continue;
        }

        picture->makeThumbnail(exif ? PictureRecord::ExifThumbnails::Use : PictureRecord::ExifThumbnails::Skip);
        QImage thumb = picture->thumbnailImage();
        if (thumb.isNull()) thumb = thumbnails::placeholder(picture->displayWidth() > picture->displayHeight());
        // Written as plain sRGB: a PNG without a profile is read as sRGB everywhere.
        if (thumb.colorSpace().isValid()) {
            thumb.convertToColorSpace(QColorSpace::SRgb);
            thumb.setColorSpace(QColorSpace());
        }
        written.push_back(path + " -> " + target + " " + QString::number(thumb.width()) + "x" +
                          QString::number(thumb.height()) + " " + sourceName(picture->thumbnailSource()) + "\n");
        if (const WriteResult result = writeThumbnail(target, thumb, batch); !result) {
            written.pop_back();
            io.err << "snaplore-cli thumbs: " << target << ": " << describe(result) << "\n";
            status = 1;
        }
    }
    batch.commit();
    return status;
}

// snaplore-cli thumbs: writes each picture's thumbnail as the program makes it, to look at and to
// measure.

#include <QColorSpace>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSet>

#include "commands.h"
#include "picturerecord.h"
#include "thumbnailmaker.h"

namespace {

const char kThumbsUsage[] =
    "Usage: snaplore-cli thumbs [--no-exif-thumbnails] --out OUTDIR FILE...\n"
    "Writes each picture's thumbnail as OUTDIR/NAME.png and prints where it came from.\n"
    "  --out OUTDIR            folder for the thumbnails (made when missing)\n"
    "  --no-exif-thumbnails    pass over the camera's thumbnails\n";

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
    const QString base = QFileInfo(path).completeBaseName();
    QString name = base + ".png";
    for (int n = 2; used.contains(name); ++n) name = QStringLiteral("%1-%2.png").arg(base).arg(n);
    used.insert(name);
    return name;
}

}  // namespace

int runThumbs(const QStringList& args, CliStreams io) {
    bool exif = true;
    QString outDir;
    QStringList files;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (optionsEnded || !a.startsWith('-')) {
            files << a;
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--help" || a == "-h") {
            io.out << kThumbsUsage;
            return 0;
        } else if (a == "--no-exif-thumbnails") {
            exif = false;
        } else if (a == "--out" && i + 1 < args.size()) {
            outDir = args[++i];
        } else if (a.startsWith("--out=")) {
            outDir = a.mid(6);
        } else {
            io.err << "snaplore-cli thumbs: unknown or incomplete option '" << a << "'\n" << kThumbsUsage;
            return 2;
        }
    }
    if (outDir.isEmpty() || files.isEmpty()) {
        io.err << kThumbsUsage;
        return 2;
    }
    if (!QDir().mkpath(outDir)) {
        io.err << "snaplore-cli thumbs: cannot make folder '" << outDir << "'\n";
        return 1;
    }

    int status = 0;
    QSet<QString> used;
    for (const QString& path : files) {
        PictureRecord picture(path);
        QString problem;
        if (!QFileInfo(path).isFile())
            problem = QStringLiteral("cannot open file");
        else if (picture.fileSize() == 0)
            problem = QStringLiteral("zero byte file");
        else if (!picture.isJpeg())
            problem = QStringLiteral("not a JPEG file");
        if (!problem.isEmpty()) {
            io.err << "snaplore-cli thumbs: " << path << ": " << problem << "\n";
            status = 1;
            continue;
        }

        picture.makeThumbnail(exif ? PictureRecord::ExifThumbnails::Use : PictureRecord::ExifThumbnails::Skip);
        QImage thumb = picture.thumbnailImage();
        if (thumb.isNull()) thumb = thumbnails::placeholder(picture.displayWidth() > picture.displayHeight());
        // Written as plain sRGB: a PNG without a profile is read as sRGB everywhere.
        if (thumb.colorSpace().isValid()) {
            thumb.convertToColorSpace(QColorSpace::SRgb);
            thumb.setColorSpace(QColorSpace());
        }
        const QString target = QDir(outDir).filePath(outputName(path, used));
        QImageWriter writer(target, "png");
        if (!writer.write(thumb)) {
            io.err << "snaplore-cli thumbs: " << target << ": " << writer.errorString() << "\n";
            status = 1;
            continue;
        }
        io.out << path << " -> " << target << " " << thumb.width() << "x" << thumb.height() << " "
               << sourceName(picture.thumbnailSource()) << "\n";
    }
    return status;
}

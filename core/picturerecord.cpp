#include "picturerecord.h"

#include <QBuffer>

#include <sys/stat.h>

#include <QFileInfo>
#ifndef SNAPLORE_NO_PIXELS
#include <QPainter>
#endif
#include <QRegularExpression>

#include "picturechange.h"
#include "prompter.h"
#include "thumbnailmaker.h"

namespace {

// The angle a camera's orientation tag asks for. Mirrored orientations are shown turned only.
int exifAngle(int orientation) {
    switch (orientation) {
        case 3:
        case 4:
            return 180;
        case 5:
        case 8:
            return 270;
        case 6:
        case 7:
            return 90;
        default:
            return 0;
    }
}

}  // namespace

// Cameras write "YYYY:MM:DD HH:MM:SS"; some use other separators, leave the time out or write zeros
// for an unknown date. Anything that is not a real date gives an invalid value.
QDateTime parseExifDateTime(const QByteArray& text) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*(\d{4})\D(\d{1,2})\D(\d{1,2})(?:\D+(\d{1,2})\D(\d{1,2})(?:\D(\d{1,2}))?)?)"));
    const QRegularExpressionMatch m = pattern.match(QString::fromLatin1(text));
    if (!m.hasMatch()) return {};
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid()) return {};
    return QDateTime(date, time, Qt::LocalTime);
}

PictureRecord::PictureRecord(const QString& path, Prompter* prompter) {
    const QFileInfo info(path);
    fileName_ = info.fileName();
    filePath_ = info.absoluteFilePath();
    iptc_.setPath(filePath_);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fileExists_ = info.exists();
        return;
    }
    fileSize_ = quint64(file.size());
    read(file, file.size(), prompter);
}

PictureRecord::PictureRecord(QIODevice& file, qint64 end, Prompter* prompter)
    : PictureRecord(file, end, Xmp::Resolve, prompter) {}

PictureRecord::PictureRecord(QIODevice& file, qint64 end, Xmp xmp) : PictureRecord(file, end, xmp, nullptr) {}

PictureRecord::PictureRecord(QIODevice& file, qint64 end, Xmp xmp, Prompter* prompter) : fromCatalog_(true) {
    iptc_.setReadsXmp(xmp == Xmp::Resolve);
    if (auto* f = qobject_cast<QFile*>(&file)) {
        const QFileInfo info(f->fileName());
        fileName_ = info.fileName();
        filePath_ = info.absoluteFilePath();
        fileSize_ = quint64(f->size());
    }
    read(file, end, prompter);
}

PictureRecord::PictureRecord(QFile& file, Prompter* prompter) {
    const QFileInfo info(file.fileName());
    fileName_ = info.fileName();
    filePath_ = info.absoluteFilePath();
    fileSize_ = quint64(file.size());
    iptc_.setPath(filePath_);
    read(file, file.size(), prompter);
}

void PictureRecord::read(QIODevice& file, qint64 end, Prompter* prompter) {
    fileExists_ = !filePath_.isEmpty() && QFileInfo::exists(filePath_);
    hasData_ = false;
    if (fileSize_ == 0) {
        if (prompter)
            prompter->messageBox(QStringLiteral("ERROR!! Image <%1> is zero byte file.").arg(fileName_),
                                 QStringLiteral("Error!"), mb::Ok | mb::IconStop);
        return;
    }
    readLockState();
    ReadPictureHeader(file, end);
    applyStoredRotation();
}

quint64 PictureRecord::ReadPictureHeader(QIODevice& file, qint64 end) {
    header_ = PictureHeader();
    isJpeg_ = WalkPictureHeader(file, end, reader_, iptc_, header_, fileName_);
    headerSize_ = isJpeg_ ? header_.headerSize : 0;
    if (iptc_.path().isEmpty()) iptc_.setPath(filePath_);
    updateHasData();
    displayWidth_ = header_.width;
    displayHeight_ = header_.height;
    return headerSize_;
}

void PictureRecord::setStoredHeader(std::function<QByteArray()> source) {
    storedHeader_ = std::move(source);
    if (storedHeader_) reader_.releaseSections();
}

QByteArray PictureRecord::exifThumbnail() const {
    if (!storedHeader_) return reader_.exifThumbnail();
    QByteArray bytes = storedHeader_();
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return {};
    // The same walk that read the record, without the picture data it already has.
    JpegSectionReader sections;
    sections.setVerbose(false);
    IptcBlock iptc;
    iptc.setReadsXmp(false);
    PictureHeader header;
    WalkPictureHeader(buffer, bytes.size(), sections, iptc, header, fileName_);
    return sections.exifThumbnail();
}

int PictureRecord::cameraRotation() const { return exifAngle(reader_.exif().orientation); }

void PictureRecord::applyStoredRotation() {
    // The stored state is taken as it is: nothing is turned or remade while reading.
    reading_ = true;
    rotateTo(exifAngle(reader_.exif().orientation));
    // Only a positive angle overrides the camera: "Rotate:0" means the rotate command was never used,
    // and "Rotate:360" turns a picture the camera turned back to upright.
    const int stored = instructiontext::valueOr(iptc_.instructions, instructiontext::kRotate, 0);
    if (stored > 0) rotateTo(stored);
    reading_ = false;
}

void PictureRecord::setFilePath(const QString& path) {
    filePath_ = path;
    fileExists_ = QFileInfo::exists(path);
    iptc_.setPath(path);
}

WriteResult PictureRecord::save(const QString& outputPath, bool keepFileTimes, PictureChange* written) {
    // The picture data is read again under the picture's lock before it is written (a catalog entry
    // was read from the catalog's copy, never from the file): only the changes made here go onto what
    // is there now, so that nothing another program or run wrote meanwhile is lost.
    PictureChange change;
    const WriteResult result = iptc_.WriteIptc(outputPath, nullptr, keepFileTimes, &change);
    if (result) {
        updateHasData();
        // A catalog copies headerSize bytes of this picture: they must be those of the new file.
        fileSize_ = change.fileSize;
        if (!change.header.isEmpty()) headerSize_ = quint64(change.header.size());
        if (written) *written = std::move(change);
    }
    return result;
}

void PictureRecord::readLockState() {
    struct stat st {};
    locked_ = ::stat(QFile::encodeName(filePath_).constData(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

bool PictureRecord::lock() {
    struct stat st {};
    const QByteArray path = QFile::encodeName(filePath_);
    const bool done = ::stat(path.constData(), &st) == 0 &&
                      ::chmod(path.constData(), st.st_mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH) & 07777) == 0;
    readLockState();
    return done && locked_;
}

bool PictureRecord::unlock() {
    struct stat st {};
    const QByteArray path = QFile::encodeName(filePath_);
    const bool done =
        ::stat(path.constData(), &st) == 0 && ::chmod(path.constData(), (st.st_mode | S_IWUSR) & 07777) == 0;
    readLockState();
    return done && !locked_;
}

void PictureRecord::rotateTo(int angle) {
    angle = ((angle % 360) + 360) % 360;
    const int quarters = thumbnails::quarterTurns(angle);
    const int oldQuarters = thumbnails::quarterTurns(rotation_);

#ifdef SNAPLORE_NO_PIXELS
    // Only reading turns a picture here: a later turn would have to turn the stored thumbnail too.
    Q_ASSERT(reading_);
    Q_UNUSED(quarters);
    Q_UNUSED(oldQuarters);
#else
    if (!image_.isNull()) image_ = thumbnails::turned(image_, quarters - imageQuarters_);
    imageQuarters_ = quarters;
    if (!embeddedThumbnail_.isNull())
        embeddedThumbnail_ = thumbnails::turned(embeddedThumbnail_, quarters - embeddedQuarters_);
    embeddedQuarters_ = quarters;
    // The stored thumbnail shows the picture as displayed; a later save must not keep the old turn.
    if (!reading_ && quarters != oldQuarters && iptc_.hasThumbnail())
        iptc_.setThumbnail(thumbnails::turned(iptc_.thumbnail(), quarters - oldQuarters));
#endif

    rotation_ = angle;
    const bool swap = thumbnails::swapsSides(angle);
    displayWidth_ = swap ? header_.height : header_.width;
    displayHeight_ = swap ? header_.width : header_.height;

#ifndef SNAPLORE_NO_PIXELS
    // Thumbnails made from the picture are made again at the new shape; nothing is made yet while
    // reading (the first draw makes it), and a catalog entry is never decoded.
    if (reading_ || fromCatalog_ || !embeddedThumbnail_.isNull() || thumbnail_.isNull() || quarters == oldQuarters)
        return;
    const QImage previous = thumbnail_;
    if (!makeThumbnailsFromImage()) {
        // The picture cannot be decoded now: keep what was shown, turned to the new shape.
        thumbnail_ = thumbnails::turned(previous, quarters - oldQuarters);
        turnedThumbnail_ = thumbnails::turned(thumbnail_, 1);
    }
#endif
}

instructiontext::CropEdges PictureRecord::cropRect() const {
    return instructiontext::cropEdges(iptc_.instructions, displayWidth_, displayHeight_);
}

int PictureRecord::cropTo() const { return instructiontext::valueOr(iptc_.instructions, instructiontext::kCropTo, 0); }

QDateTime PictureRecord::dateTime() const {
    if (iptc_.dateTime.isValid()) return iptc_.dateTime;
    if (!reader_.exif().dateTimeOriginal.isEmpty()) {
        const QDateTime taken = parseExifDateTime(reader_.exif().dateTimeOriginal);
        if (taken.isValid()) return taken;
    }
    if (filePath_.isEmpty()) return {};
    const QFileInfo info(filePath_);
    if (!info.exists()) return {};
    return info.lastModified().toLocalTime();
}

#ifndef SNAPLORE_NO_PIXELS
bool PictureRecord::loadImage(QSize maxSize) {
    const int quarters = imageQuarterTurns();
    return adoptImage(decodeImage(filePath_, quarters, maxSize), quarters);
}

QImage PictureRecord::decodeImage(const QString& path, int quarters, QSize maxSize) {
    thumbnails::TurnedDecoder decoder(path, quarters);
    QSize size;
    if (maxSize.isValid() && !maxSize.isEmpty()) {
        const QSize display = decoder.size();
        if (display.isValid() && (display.width() > maxSize.width() || display.height() > maxSize.height()))
            size = display.scaled(maxSize, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    }
    return decoder.read(size);
}

bool PictureRecord::adoptImage(const QImage& image, int quarters) {
    if (image.isNull() || quarters != imageQuarterTurns()) return false;
    image_ = image;
    imageQuarters_ = quarters;
    return true;
}

int PictureRecord::imageQuarterTurns() const { return thumbnails::quarterTurns(rotation_); }

void PictureRecord::unloadImage() { image_ = QImage(); }

void PictureRecord::makeThumbnail(ExifThumbnails exif) {
    if (thumbnailTried_) return;
    thumbnailTried_ = true;
    const int quarters = thumbnails::quarterTurns(rotation_);

    const QSize display(displayWidth_, displayHeight_);
    if (exif == ExifThumbnails::Use) {
        const QImage camera = thumbnails::TurnedDecoder(exifThumbnail(), quarters).read();
        if (!camera.isNull() && thumbnails::standsLikePicture(camera.size(), display)) {
            embeddedThumbnail_ = camera;
            embeddedQuarters_ = quarters;
            thumbnailSource_ = ThumbnailSource::ExifThumbnail;
            return;
        }
    }
    if (iptc_.hasThumbnail()) {
        // Made by this program from the picture as displayed: already turned.
        const QImage stored = iptc_.thumbnail();
        if (thumbnails::standsLikePicture(stored.size(), display)) {
            embeddedThumbnail_ = stored;
            embeddedQuarters_ = quarters;
            thumbnailSource_ = ThumbnailSource::IptcThumbnail;
            return;
        }
    }
    if (!fromCatalog_) makeThumbnailsFromImage();
}

bool PictureRecord::makeThumbnailsFromImage() {
    const QSize size = thumbnails::thumbnailSize(QSize(displayWidth_, displayHeight_));
    if (size.isEmpty()) return false;
    // Decoded at the thumbnail's size and freed again right here.
    const QImage source =
        image_.isNull() ? thumbnails::TurnedDecoder(filePath_, thumbnails::quarterTurns(rotation_)).read(size) : image_;
    if (source.isNull()) return false;
    thumbnail_ = source.size() == size ? source : source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    turnedThumbnail_ = thumbnails::turned(thumbnail_, 1);
    thumbnailSource_ = ThumbnailSource::Decoded;
    if (!iptc_.hasThumbnail()) iptc_.setThumbnail(thumbnail_);
    return true;
}

QImage PictureRecord::thumbnailImage() const {
    if (!embeddedThumbnail_.isNull()) {
        if (thumbnailSource_ != ThumbnailSource::ExifThumbnail) return embeddedThumbnail_;
        return embeddedThumbnail_.copy(
            thumbnails::pictureBand(embeddedThumbnail_.size(), QSize(displayWidth_, displayHeight_)));
    }
    return thumbnail_;
}

void PictureRecord::drawThumbnail(QPainter& painter, const QRect& target, bool turned) {
    makeThumbnail();
    const QRect turnedTarget(target.topLeft(), target.size().transposed());
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!embeddedThumbnail_.isNull()) {
        const QRect part =
            thumbnailSource_ == ThumbnailSource::ExifThumbnail
                ? thumbnails::pictureBand(embeddedThumbnail_.size(), QSize(displayWidth_, displayHeight_))
                : embeddedThumbnail_.rect();
        if (!turned) {
            painter.drawImage(target, embeddedThumbnail_, part);
        } else {
            // A quarter turn clockwise about the turned rectangle's top-right corner.
            painter.translate(turnedTarget.left() + turnedTarget.width(), turnedTarget.top());
            painter.rotate(90);
            painter.drawImage(QRect(0, 0, turnedTarget.height(), turnedTarget.width()), embeddedThumbnail_, part);
        }
    } else if (!thumbnail_.isNull()) {
        if (turned)
            painter.drawImage(turnedTarget, turnedThumbnail_);
        else
            painter.drawImage(target, thumbnail_);
    } else {
        painter.drawImage(target, thumbnails::placeholder(displayWidth_ > displayHeight_));
    }
    painter.restore();
}
#endif

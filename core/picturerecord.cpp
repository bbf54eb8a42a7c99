#include "picturerecord.h"

#include <QFile>
#include <QFileInfo>

PictureRecord::PictureRecord(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    const QFileInfo info(path);
    fileName_ = info.fileName();
    filePath_ = info.absoluteFilePath();
    fileSize_ = quint64(file.size());
    fileExists_ = true;
    iptc_.setPath(filePath_);
    if (fileSize_ == 0) return;
    ReadPictureHeader(file, file.size());
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

PictureRecord::PictureRecord(QIODevice& file, qint64 end) {
    if (auto* f = qobject_cast<QFile*>(&file)) {
        const QFileInfo info(f->fileName());
        fileName_ = info.fileName();
        filePath_ = info.absoluteFilePath();
        fileSize_ = quint64(f->size());
    }
    ReadPictureHeader(file, end);
}

void PictureRecord::setFilePath(const QString& path) {
    filePath_ = path;
    fileExists_ = QFileInfo::exists(path);
    iptc_.setPath(path);
}

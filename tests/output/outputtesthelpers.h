#pragma once
// Small pictures made for the output tests: a colour per quadrant, so that a test can tell which part
// of a picture ended up where, and picture data written the way the program writes it.

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>

#include <memory>

#include "picturerecord.h"

namespace outputtest {

inline const QColor kTopLeft(220, 30, 30), kTopRight(30, 200, 30), kBottomLeft(30, 30, 220), kBottomRight(240, 240, 40);

// A JPEG of `size` with one colour per quadrant; returns its path.
inline QString makePicture(const QString& folder, const QString& name, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    const int w = size.width(), h = size.height();
    painter.fillRect(0, 0, w / 2, h / 2, kTopLeft);
    painter.fillRect(w / 2, 0, w - w / 2, h / 2, kTopRight);
    painter.fillRect(0, h / 2, w / 2, h - h / 2, kBottomLeft);
    painter.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, kBottomRight);
    painter.end();
    const QString path = QDir(folder).filePath(name);
    image.save(path, "JPEG", 95);
    return path;
}

// Writes `instructions` (and a headline) into the picture's data and reads the picture again.
inline std::unique_ptr<PictureRecord> withInstructions(const QString& path, const QString& instructions,
                                                       const QString& headline = {}) {
    {
        PictureRecord picture(path);
        picture.iptc().instructions = instructions;
        if (!headline.isEmpty()) picture.iptc().headline = headline;
        picture.iptc().WriteIptc();
    }
    return std::make_unique<PictureRecord>(path);
}

inline bool near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 && std::abs(a.blue() - b.blue()) < 40;
}

}  // namespace outputtest

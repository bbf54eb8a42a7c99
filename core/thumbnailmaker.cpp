#include "thumbnailmaker.h"

#include <algorithm>
#include <cmath>

#ifndef SNAPLORE_NO_PIXELS
#include <QImageReader>
#include <QTransform>

// Resources of a static library are registered by hand; Q_INIT_RESOURCE must stand outside any
// namespace.
static void registerCoreResources() { Q_INIT_RESOURCE(core); }
#endif

namespace thumbnails {

namespace {

int normalised(int angle) { return ((angle % 360) + 360) % 360; }

}  // namespace

bool swapsSides(int angle) {
    const int a = normalised(angle);
    return (a >= 45 && a <= 135) || (a >= 255 && a <= 315);
}

int quarterTurns(int angle) {
    const int a = normalised(angle);
    if (a >= 45 && a <= 135) return 1;
    if (a >= 255 && a <= 315) return 3;
    if (a > 135 && a < 255) return 2;
    return 0;
}

QSize thumbnailSize(QSize display) {
    if (display.width() <= 0 || display.height() <= 0) return {};
    const qint64 w = display.width(), h = display.height();
    if (w >= h) return {kSide, int(std::max<qint64>(1, h * kSide / w))};
    return {int(std::max<qint64>(1, w * kSide / h)), kSide};
}

QRect pictureBand(QSize thumbnail, QSize display) {
    const QRect whole(QPoint(0, 0), thumbnail);
    if (thumbnail.isEmpty() || display.isEmpty()) return whole;
    const qint64 tw = thumbnail.width(), th = thumbnail.height();
    const qint64 dw = display.width(), dh = display.height();
    if (tw * 100 / th == dw * 100 / dh) return whole;
    // The picture is relatively wider than the thumbnail: bars above and below; else at the sides.
    if (dw * th > dh * tw) {
        const int h = int(std::clamp<qint64>(std::llround(double(dh) * double(tw) / double(dw)), 1, th));
        return QRect(0, int((th - h) / 2), int(tw), h);
    }
    const int w = int(std::clamp<qint64>(std::llround(double(dw) * double(th) / double(dh)), 1, tw));
    return QRect(int((tw - w) / 2), 0, w, int(th));
}

bool standsLikePicture(QSize thumbnail, QSize display) {
    if (thumbnail.isEmpty() || display.isEmpty()) return true;
    const auto wide = [](QSize s) { return s.width() > s.height(); };
    const auto tall = [](QSize s) { return s.height() > s.width(); };
    return !(wide(thumbnail) && tall(display)) && !(tall(thumbnail) && wide(display));
}

#ifndef SNAPLORE_NO_PIXELS
QImage turned(const QImage& image, int quarters) {
    const int q = ((quarters % 4) + 4) % 4;
    if (q == 0 || image.isNull()) return image;
    return image.transformed(QTransform().rotate(90.0 * q));
}

QImage decodeScaled(const QString& path, QSize storedSize) {
    QImageReader reader(path);
    reader.setAutoTransform(false);
    const QSize full = reader.size();
    // Never ask the decoder to enlarge; a small picture is decoded whole and scaled down after.
    if (storedSize.isValid() &&
        (!full.isValid() || (storedSize.width() <= full.width() && storedSize.height() <= full.height())))
        reader.setScaledSize(storedSize);
    QImage image = reader.read();
    if (!image.isNull() && storedSize.isValid() && image.size() != storedSize)
        image = image.scaled(storedSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

QImage placeholder(bool landscape) {
    // A strip draws these for every picture still waiting for its thumbnail: load them once.
    static const QImage images[2] = {
        (registerCoreResources(), QImage(QStringLiteral(":/placeholders/209.png"))),
        QImage(QStringLiteral(":/placeholders/208.png")),
    };
    return images[landscape ? 1 : 0];
}
#endif

}  // namespace thumbnails

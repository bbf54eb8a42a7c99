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

namespace {

// Where the rectangle `shown` of a picture turned by `quarters` quarter turns lies in the stored
// image of size `stored`.
QRect storedRect(const QRect& shown, QSize stored, int quarters) {
    const int x0 = shown.left(), x1 = shown.left() + shown.width();
    const int y0 = shown.top(), y1 = shown.top() + shown.height();
    switch (((quarters % 4) + 4) % 4) {
        case 1: return QRect(y0, stored.height() - x1, y1 - y0, x1 - x0);
        case 2: return QRect(stored.width() - x1, stored.height() - y1, x1 - x0, y1 - y0);
        case 3: return QRect(stored.width() - y1, x0, y1 - y0, x1 - x0);
        default: return shown;
    }
}

}  // namespace

TurnedDecoder::TurnedDecoder(const QString& path, int quarters) : reader_(path), quarters_(quarters) {
    reader_.setAutoTransform(false);
}

TurnedDecoder::TurnedDecoder(const QByteArray& jpeg, int quarters) : quarters_(quarters) {
    // Most pictures carry no thumbnail: nothing to decode, and nothing for the decoder to warn about.
    if (jpeg.isEmpty()) return;
    buffer_.setData(jpeg);
    buffer_.open(QIODevice::ReadOnly);
    reader_.setDevice(&buffer_);
    reader_.setFormat("jpeg");
    reader_.setAutoTransform(false);
}

QSize TurnedDecoder::size() const {
    const QSize stored = reader_.size();
    return stored.isValid() && quarters_ % 2 ? stored.transposed() : stored;
}

QImage TurnedDecoder::read(QSize size) { return decode(std::nullopt, size); }

QImage TurnedDecoder::read(const QRect& part, QSize size) { return decode(part, size); }

QImage TurnedDecoder::decode(const std::optional<QRect>& part, QSize size) {
    // The header is read ahead only when a part or a size asks for it: a plain decode of a camera
    // thumbnail that is no JPEG then fails once, quietly, as the decoder fails.
    const QSize stored = part || size.isValid() ? reader_.size() : QSize();
    // A part cannot be placed in a picture of unknown size.
    if (part && !stored.isValid()) return {};
    const QRect whole(QPoint(0, 0), stored);
    const QRect clip = part ? storedRect(*part, stored, quarters_) : whole;
    if (clip != whole) reader_.setClipRect(clip);
    const QSize wanted = !size.isValid() ? clip.size() : quarters_ % 2 ? size.transposed() : size;
    // Asked to enlarge, the decoder decodes whole and scales after anyway: it is asked only to
    // reduce. A picture whose header tells no size is left to the decoder.
    if (wanted.isValid() && wanted != clip.size() &&
        (!stored.isValid() || (wanted.width() <= clip.width() && wanted.height() <= clip.height())))
        reader_.setScaledSize(wanted);
    QImage image = reader_.read();
    if (image.isNull()) return {};
    if (wanted.isValid() && image.size() != wanted)
        image = image.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return turned(image, quarters_);
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

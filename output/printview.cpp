#include "printview.h"

#include <QFont>
#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

#include "picturerecord.h"
#include "saveas.h"
#include "saveasoptions.h"

namespace {

// The slot's place on the device, in pixels.
QRect deviceRect(const QRect& hundredths, int dpiX, int dpiY) {
    const int left = print::toDevice(hundredths.left(), dpiX);
    const int top = print::toDevice(hundredths.top(), dpiY);
    return QRect(left, top, print::toDevice(hundredths.left() + hundredths.width(), dpiX) - left,
                 print::toDevice(hundredths.top() + hundredths.height(), dpiY) - top);
}

// Sets the painter up to draw into the slot upright (as the picture stands): for a turned slot the
// drawing is turned a quarter counter-clockwise onto the page. Returns the slot's rectangle in the
// painter's new coordinates.
QRect enterSlot(QPainter& painter, const QRect& onDevice, bool turned) {
    if (!turned) return onDevice;
    painter.translate(onDevice.left(), onDevice.top() + onDevice.height());
    painter.rotate(-90);
    return QRect(0, 0, onDevice.height(), onDevice.width());
}

QString nameOf(const PictureRecord& picture) {
    return picture.fileName().isEmpty() ? picture.filePath() : picture.fileName();
}

}  // namespace

CPrintView::CPrintView(QList<PictureRecord*> pictures, const print::PrintOptions& options, const QString& webSite)
    : pictures_(std::move(pictures)), options_(options), webSite_(webSite) {}

int CPrintView::pageCount() const {
    return print::pageCount(int(pictures_.size()), options_.layout, options_.size, options_.pages);
}

bool CPrintView::print(QPagedPaintDevice& device, int fromPage, int toPage) {
    const int last = pageCount();
    const int from = std::clamp(fromPage <= 0 ? 1 : fromPage, 1, last);
    const int to = std::clamp(toPage <= 0 ? last : toPage, from, last);
    QPainter painter;
    if (!painter.begin(&device)) return false;
    const QSize pixels(device.width(), device.height());
    for (int page = from; page <= to; ++page) {
        if (page > from && !device.newPage()) {
            painter.end();
            return false;
        }
        drawPage(painter, page, pixels, device.logicalDpiX(), device.logicalDpiY());
    }
    return painter.end();
}

void CPrintView::drawPage(QPainter& painter, int page, const QSize& pixels, int dpiX, int dpiY) {
    if (dpiX <= 0 || dpiY <= 0) return;
    const int W = print::toHundredths(pixels.width(), dpiX);
    const int H = print::toHundredths(pixels.height(), dpiY);
    const print::PageContent content = print::pageContent(page, options_.layout, options_.size, options_.pages);
    const int perPage = print::picturesPerPage(options_.layout, options_.size);
    for (int a = 0; a < perPage && content.first + a < pictures_.size(); ++a) {
        PictureRecord& picture = *pictures_[content.first + a];
        const print::PrintSlot slot = print::printSlot(options_.layout, options_.size, a, W, H, content.info);
        painter.save();
        if (content.info)
            drawInfo(painter, picture, slot, dpiX, dpiY);
        else
            drawPicture(painter, picture, a, slot, dpiX, dpiY);
        painter.restore();
    }
}

void CPrintView::drawPicture(QPainter& painter, PictureRecord& picture, int index, const print::PrintSlot& upright,
                             int dpiX, int dpiY) {
    const QRect crop = PictureSourceRect(picture, true);
    if (crop.isEmpty()) {
        fail(picture, QStringLiteral("the picture's size is unknown"));
        return;
    }
    const print::PrintSlot slot = print::turnSlot(upright, crop);
    const QRect part = print::trimCrop(crop, options_.layout, options_.size, index, slot.turned, picture.cropTo());
    const QRect target = enterSlot(painter, deviceRect(slot.pageRect(), dpiX, dpiY), slot.turned);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (preview_ && options_.quickPreview) {
        picture.makeThumbnail();
        const QImage thumbnail = picture.thumbnailImage();
        if (thumbnail.isNull()) {
            fail(picture, QStringLiteral("the picture has no thumbnail"));
            return;
        }
        const double sx = double(thumbnail.width()) / picture.displayWidth();
        const double sy = double(thumbnail.height()) / picture.displayHeight();
        const QRectF scaled(part.x() * sx, part.y() * sy, part.width() * sx, part.height() * sy);
        painter.drawImage(QRectF(target), thumbnail, scaled);
        return;
    }
    // Decoded at the slot's size on the device, or at the picture's own when that is smaller.
    QSize size = target.size();
    if (size.width() > part.width() || size.height() > part.height()) size = size.scaled(part.size(), Qt::KeepAspectRatio);
    QString error;
    QImage image = RenderPicturePart(picture, part, size.expandedTo(QSize(1, 1)), &error);
    if (image.isNull()) {
        fail(picture, error.isEmpty() ? QStringLiteral("the picture could not be read") : error);
        return;
    }
    painter.drawImage(target, image);
}

void CPrintView::drawInfo(QPainter& painter, PictureRecord& picture, const print::PrintSlot& upright, int dpiX,
                          int dpiY) {
    // The slot turns as the picture's did on its own page, so the text lands the same way behind it.
    const QRect crop = PictureSourceRect(picture, true);
    const print::PrintSlot slot = crop.isEmpty() ? upright : print::turnSlot(upright, crop);
    const QRect onDevice = deviceRect(slot.pageRect(), dpiX, dpiY);
    if (options_.infoBorder) {
        painter.setPen(QPen(Qt::black, std::max(1, dpiX / 100)));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(onDevice);
    }
    const int dpiText = slot.turned ? dpiX : dpiY;  // the direction the lines stack in on the page
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, dpiText / 8));
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QFontMetrics metrics(font, painter.device());
    const QRect area = enterSlot(painter, onDevice, slot.turned);
    const int quarterInch = (slot.turned ? dpiY : dpiX) / 4;
    const QStringList lines = print::infoLines(picture, area.width() - quarterInch,
                                               [&](const QString& text) { return metrics.horizontalAdvance(text); });
    const int lineHeight = metrics.height();
    const int blockHeight = lineHeight * int(lines.size());
    // Upright: from the slot's middle less two lines; turned: the block centred across the slot.
    const int top = slot.turned ? area.top() + (area.height() - blockHeight) / 2
                                : area.top() + area.height() / 2 - 2 * lineHeight;
    painter.drawText(QRect(area.left(), top, area.width(), blockHeight), Qt::AlignHCenter | Qt::AlignTop,
                     lines.join(QLatin1Char('\n')));
    const int siteTop = area.top() + area.height() - lineHeight * 3 / 2;
    painter.drawText(QRect(area.left(), siteTop, area.width(), lineHeight), Qt::AlignHCenter | Qt::AlignTop, webSite_);
}

void CPrintView::fail(const PictureRecord& picture, const QString& reason) {
    const QString name = nameOf(picture);
    for (const PrintFailure& failure : failures_)
        if (failure.picture == name && failure.reason == reason) return;
    failures_.append({name, reason});
}

QString CPrintView::failureReport() const {
    if (failures_.isEmpty()) return {};
    QString text = failures_.size() == 1 ? QStringLiteral("This picture could not be printed; its place was left blank:")
                                         : QStringLiteral("These pictures could not be printed; their places were left blank:");
    for (const PrintFailure& failure : failures_) text += QStringLiteral("\n%1: %2").arg(failure.picture, failure.reason);
    return text;
}

#include "browsericons.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>
#include <numbers>

#include "browsermodel.h"

namespace browsericons {

namespace {

const QColor kFrame(60, 60, 60);
const QColor kSky(120, 170, 230);
const QColor kHill(70, 150, 70);
const QColor kGold(240, 190, 20);
const QColor kDisc(190, 195, 205);
const QColor kRed(210, 30, 30);
const QColor kEventFill(245, 175, 60);

QPixmap blank() {
    QPixmap pixmap(kWidth, kHeight);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A small photograph: sky, a hill and a frame.
void drawPhoto(QPainter& p, const QRectF& r, bool grey = false) {
    p.setPen(Qt::NoPen);
    p.setBrush(grey ? QColor(200, 200, 200) : kSky);
    p.drawRect(r);
    QPainterPath hill;
    hill.moveTo(r.left(), r.bottom());
    hill.lineTo(r.left(), r.top() + r.height() * 0.65);
    hill.quadTo(r.center().x(), r.top() + r.height() * 0.25, r.right(), r.top() + r.height() * 0.7);
    hill.lineTo(r.right(), r.bottom());
    hill.closeSubpath();
    p.setBrush(grey ? QColor(150, 150, 150) : kHill);
    p.drawPath(hill);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kFrame, 1));
    p.drawRect(r);
}

// An event: a stack of two photographs on an orange card.
void drawEvent(QPainter& p) {
    p.setPen(QPen(QColor(150, 90, 10), 1));
    p.setBrush(kEventFill);
    p.drawRoundedRect(QRectF(3.5, 1.5, 16, 13), 2, 2);
    drawPhoto(p, QRectF(5.5, 3.5, 9, 7));
    drawPhoto(p, QRectF(9.5, 6.5, 9, 7));
}

void drawStar(QPainter& p, const QPointF& centre, double radius) {
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? radius * 0.45 : radius;
        const double a = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
        star << centre + QPointF(r * std::cos(a), r * std::sin(a));
    }
    p.setPen(QPen(QColor(150, 100, 0), 0.8));
    p.setBrush(kGold);
    p.drawPolygon(star);
}

void drawDisc(QPainter& p, const QPointF& centre, double radius) {
    p.setPen(QPen(QColor(90, 90, 100), 0.8));
    p.setBrush(kDisc);
    p.drawEllipse(centre, radius, radius);
    p.setBrush(Qt::white);
    p.drawEllipse(centre, radius * 0.3, radius * 0.3);
}

void drawCross(QPainter& p, const QRectF& r) {
    p.setPen(QPen(kRed, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
}

void drawMagnifier(QPainter& p) {
    p.setPen(QPen(kFrame, 2));
    p.setBrush(QColor(220, 235, 255));
    p.drawEllipse(QPointF(10, 7), 5, 5);
    p.setPen(QPen(QColor(120, 70, 20), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14, 11), QPointF(18, 15));
}

QPixmap paint(int index) {
    using namespace browser;
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF photo(4.5, 2.5, 15, 11);
    switch (index) {
        case ImagePicture:
            drawPhoto(p, photo);
            break;
        case ImagePictureRated:
            drawPhoto(p, photo);
            drawStar(p, QPointF(18, 5), 5);
            break;
        case ImagePictureMissing:
            drawPhoto(p, photo, true);
            drawCross(p, QRectF(8, 4, 8, 8));
            break;
        case ImageEvent:
            drawEvent(p);
            break;
        case ImageEventDiscPresent:
            drawEvent(p);
            drawDisc(p, QPointF(18, 11), 4.5);
            break;
        case ImageSearchResult:
            drawMagnifier(p);
            break;
        case ImageArchived:
            drawPhoto(p, photo);
            drawDisc(p, QPointF(18, 11), 4.5);
            break;
        case ImageArchivedRated:
            drawPhoto(p, photo);
            drawDisc(p, QPointF(18, 11), 4.5);
            drawStar(p, QPointF(7, 5), 4.5);
            break;
        case ImageArchivedUnreachable:
            drawPhoto(p, photo, true);
            drawDisc(p, QPointF(18, 11), 4.5);
            drawCross(p, QRectF(15, 8, 6, 6));
            break;
        case ImageEventDiscAbsent:
            drawEvent(p);
            drawDisc(p, QPointF(18, 11), 4.5);
            drawCross(p, QRectF(15, 8, 6, 6));
            break;
        default:
            break;
    }
    return pixmap;
}

// Overlays sit in the lower left corner, where the images leave room.
void drawDataMark(QPainter& p) {
    p.setPen(QPen(QColor(20, 120, 30), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF{QPointF(0.5, 11.5), QPointF(2.5, 14), QPointF(6, 9)});
}

void drawFlagMark(QPainter& p) {
    p.setPen(QPen(kFrame, 1));
    p.drawLine(QPointF(1.5, 7), QPointF(1.5, 15.5));
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawPolygon(QPolygonF{QPointF(2, 7), QPointF(7, 9), QPointF(2, 11)});
}

QPixmap systemIcon(const QString& path) {
    static QFileIconProvider provider;
    const QIcon icon = provider.icon(QFileInfo(path));
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    icon.paint(&p, QRect(4, 0, 16, 16));
    return pixmap;
}

}  // namespace

QPixmap image(int index) {
    static QHash<int, QPixmap> cache;
    auto it = cache.find(index);
    if (it == cache.end()) it = cache.insert(index, paint(index));
    return *it;
}

QPixmap overlay(int index) {
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (index == browser::OverlayData) drawDataMark(p);
    if (index == browser::OverlayFlagged) drawFlagMark(p);
    if (index == browser::OverlayFlaggedData) {
        drawFlagMark(p);
        p.translate(16, 0);
        drawDataMark(p);
    }
    return pixmap;
}

QIcon itemIcon(int imageIndex, int overlayIndex, const QString& iconPath) {
    // System icons are shared by kind (folder, drive, ...); key them by the icon the provider gives.
    static QFileIconProvider provider;
    static QHash<QString, QIcon> cache;
    QString key = QStringLiteral("%1/%2").arg(imageIndex).arg(overlayIndex);
    if (imageIndex == browser::ImageSystemIcon) {
        const QIcon system = provider.icon(QFileInfo(iconPath));
        key += u'/' + (system.name().isEmpty() ? QString::number(system.cacheKey()) : system.name());
    }
    auto it = cache.find(key);
    if (it != cache.end()) return *it;

    QPixmap pixmap = imageIndex == browser::ImageSystemIcon ? systemIcon(iconPath) : image(imageIndex);
    if (overlayIndex != browser::OverlayNone) {
        QPainter p(&pixmap);
        p.drawPixmap(0, 0, overlay(overlayIndex));
    }
    return *cache.insert(key, QIcon(pixmap));
}

QIcon upOneLevel() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(150, 110, 20), 1));
    p.setBrush(QColor(240, 200, 90));
    p.drawRect(QRectF(1.5, 6.5, 13, 8));
    p.setPen(QPen(QColor(20, 90, 20), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(8, 12), QPointF(8, 2));
    p.drawPolyline(QPolygonF{QPointF(4.5, 5.5), QPointF(8, 2), QPointF(11.5, 5.5)});
    return QIcon(pixmap);
}

QIcon myDocuments() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QPen(kFrame, 1));
    p.setBrush(Qt::white);
    p.drawPolygon(
        QPolygonF{QPointF(3.5, 1.5), QPointF(10, 1.5), QPointF(13.5, 5), QPointF(13.5, 14.5), QPointF(3.5, 14.5)});
    p.setPen(QPen(QColor(90, 120, 200), 1));
    for (int y = 6; y <= 12; y += 2) p.drawLine(5, y, 12, y);
    return QIcon(pixmap);
}

QIcon myPictures() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    drawPhoto(p, QRectF(0.5, 2.5, 15, 11));
    return QIcon(pixmap);
}

QIcon switchView() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 60, 150), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(2, 5), QPointF(13, 5));
    p.drawPolyline(QPolygonF{QPointF(10, 2), QPointF(13, 5), QPointF(10, 8)});
    p.drawLine(QPointF(14, 11), QPointF(3, 11));
    p.drawPolyline(QPolygonF{QPointF(6, 8), QPointF(3, 11), QPointF(6, 14)});
    return QIcon(pixmap);
}

}  // namespace browsericons

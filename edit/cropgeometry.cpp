#include "cropgeometry.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace cropgeometry {

namespace {

// Lengths are truncated to whole pixels; the nudge keeps 600 × 2/3 at 400 rather than 399.
int truncated(double length) { return int(std::floor(length + 1e-9)); }

int width(const CropEdges& c) { return c.right - c.left; }
int height(const CropEdges& c) { return c.bottom - c.top; }

CropEdges moved(const CropEdges& c, int dx, int dy) {
    return {c.left + dx, c.right + dx, c.top + dy, c.bottom + dy};
}

bool inside(const CropEdges& c, QSize picture) {
    return c.left >= 0 && c.top >= 0 && c.right <= picture.width() && c.bottom <= picture.height();
}

// Moves the crop back inside the picture, tested in the fixed order left, top, bottom, right, each
// test moving `base` (the crop before the step, or the turned crop) rather than the candidate.
CropEdges keptInside(const CropEdges& candidate, const CropEdges& base, QSize picture) {
    CropEdges c = candidate;
    if (c.left < 0) c = moved(base, -base.left, 0);
    if (c.top < 0) c = moved(base, 0, -base.top);
    if (c.bottom > picture.height()) c = moved(base, 0, picture.height() - base.bottom);
    if (c.right > picture.width()) c = moved(base, picture.width() - base.right, 0);
    return c;
}

// Shifts a crop that fits into the picture back inside it; nullopt when it is larger than the picture.
std::optional<CropEdges> shiftedInside(CropEdges c, QSize picture) {
    if (width(c) > picture.width() || height(c) > picture.height()) return std::nullopt;
    if (c.left < 0) c = moved(c, -c.left, 0);
    if (c.top < 0) c = moved(c, 0, -c.top);
    if (c.right > picture.width()) c = moved(c, picture.width() - c.right, 0);
    if (c.bottom > picture.height()) c = moved(c, 0, picture.height() - c.bottom);
    return c;
}

}  // namespace

QRect FitRatio(const QRect& rect, double ratio, int alignment) {
    if (rect.isEmpty() || ratio <= 0.0) return {};
    const bool wide = rect.width() >= rect.height();
    const int shortSide = wide ? rect.height() : rect.width();
    const int longSide = wide ? rect.width() : rect.height();
    const double g = double(shortSide) / longSide;
    int newShort = shortSide, newLong = longSide;
    if (g < ratio)
        newLong = truncated(shortSide / ratio);  // more elongated than the ratio: cut the long side
    else
        newShort = truncated(longSide * ratio);
    const int newWidth = wide ? newLong : newShort;
    const int newHeight = wide ? newShort : newLong;
    const auto place = [alignment](int leftover) { return alignment < 0 ? 0 : alignment > 0 ? leftover : leftover / 2; };
    return QRect(rect.left() + place(rect.width() - newWidth), rect.top() + place(rect.height() - newHeight), newWidth,
                 newHeight);
}

QList<QLine> PictureSizeMarks(const QRect& outer, int choice, int alignment) {
    QList<int> chosen;
    if (choice == kAllSizes)
        chosen = {1, 2, 3, 4, 5, 6};
    else if (choice >= 1 && choice <= 6)
        chosen = {choice};
    QList<QLine> lines;
    for (int index : chosen) {
        const QRect mark = FitRatio(outer, kPrintRatios[index], alignment);
        if (mark.isEmpty()) continue;
        if (mark.width() == outer.width()) {
            if (mark.top() != outer.top()) lines.append(QLine(outer.left(), mark.top(), outer.right(), mark.top()));
            if (mark.bottom() != outer.bottom())
                lines.append(QLine(outer.left(), mark.bottom(), outer.right(), mark.bottom()));
        } else if (mark.height() == outer.height()) {
            if (mark.left() != outer.left()) lines.append(QLine(mark.left(), outer.top(), mark.left(), outer.bottom()));
            if (mark.right() != outer.right())
                lines.append(QLine(mark.right(), outer.top(), mark.right(), outer.bottom()));
        }
    }
    return lines;
}

bool isCrossed(const CropEdges& crop, QSize picture) {
    const bool cropTall = height(crop) > width(crop), cropWide = width(crop) > height(crop);
    const bool pictureTall = picture.height() > picture.width(), pictureWide = picture.width() > picture.height();
    return (cropTall && pictureWide) || (cropWide && pictureTall);
}

FrameLayout layoutFrame(QSize client, QSize reference, double zoom, QSize textReserve) {
    FrameLayout layout;
    const QSize inner = client.shrunkBy(QMargins(kFrameWidth, kFrameWidth, kFrameWidth, kFrameWidth))
                            .expandedTo(QSize(0, 0));
    layout.portrait = reference.height() > reference.width();
    layout.scrollSize = zoom == 1.0 ? client
                                    : QSize(int(inner.width() * zoom) + 2 * kFrameWidth,
                                            int(inner.height() * zoom) + 2 * kFrameWidth);
    const QSize area = layout.scrollSize.expandedTo(client);
    const QPointF origin(kFrameWidth, kFrameWidth);
    if (reference.isEmpty()) {
        layout.text = QRect(kFrameWidth + 5, kFrameWidth + 5, std::max(0, inner.width() - 5),
                            std::max(0, inner.height() - 5));
        return layout;
    }
    const double aspect = double(reference.width()) / reference.height();
    if (layout.portrait) {
        // As high as the client, unless the text beside it would have no room.
        const double h = std::min<double>(inner.height(), std::max(0, inner.width() - textReserve.width()) / aspect);
        layout.picture = QRectF(origin, QSizeF(h * aspect * zoom, h * zoom));
        const int x = int(std::ceil(layout.picture.right())) + 5;
        layout.text = QRect(x, kFrameWidth + 5, std::max(0, area.width() - kFrameWidth - x),
                            std::max(0, area.height() - 2 * kFrameWidth - 5));
    } else {
        const double w = std::min<double>(inner.width(), std::max(0, inner.height() - textReserve.height()) * aspect);
        layout.picture = QRectF(origin, QSizeF(w * zoom, w / aspect * zoom));
        const int y = int(std::ceil(layout.picture.bottom())) + 2;
        layout.text = QRect(kFrameWidth + 5, y, std::max(0, area.width() - 2 * kFrameWidth - 5),
                            std::max(0, area.height() - kFrameWidth - y));
    }
    return layout;
}

QPoint PictureMapping::toPicture(QPointF view) const {
    const double s = scale();
    if (s <= 0.0) return shown.topLeft();
    const QPointF p = QPointF(shown.topLeft()) + (view - area.topLeft()) / s;
    return QPoint(int(std::floor(p.x())), int(std::floor(p.y())));
}

QRect PictureMapping::toView(const CropEdges& crop) const {
    const QPointF topLeft = toView(QPointF(crop.left, crop.top));
    const QPointF bottomRight = toView(QPointF(crop.right, crop.bottom));
    return QRect(QPoint(qRound(topLeft.x()), qRound(topLeft.y())),
                 QPoint(qRound(bottomRight.x()) - 1, qRound(bottomRight.y()) - 1));
}

Handle hitHandle(const QRect& crop, QPoint point) {
    constexpr int band = 3, corner = 13;
    const QRect outer = crop.adjusted(-band, -band, band, band);
    if (!outer.contains(point)) return NoHandle;
    const QSize square(corner, corner);
    if (QRect(outer.topLeft(), square).contains(point)) return TopLeft;
    if (QRect(QPoint(outer.right() - corner + 1, outer.top()), square).contains(point)) return TopRight;
    if (QRect(QPoint(outer.right() - corner + 1, outer.bottom() - corner + 1), square).contains(point))
        return BottomRight;
    if (QRect(QPoint(outer.left(), outer.bottom() - corner + 1), square).contains(point)) return BottomLeft;
    // The band takes in 3 pixels inside the edge; the interior starts beyond them.
    const QRect interior = crop.adjusted(band + 1, band + 1, -band - 1, -band - 1);
    return interior.contains(point) ? NoHandle : MoveHandle;
}

CropEdges dragStep(const CropEdges& current, const DragStart& start, QPoint pointer, QSize picture, bool crossed) {
    const int w = width(current), h = height(current);
    if (w <= 0 || h <= 0 || picture.isEmpty()) return current;
    const double a = double(h) / w;
    const int x = pointer.x();
    CropEdges c = current;
    switch (start.handle) {
        case MoveHandle: {
            const QPoint topLeft = start.cropTopLeft + (pointer - start.press);
            c = {topLeft.x(), topLeft.x() + w, topLeft.y(), topLeft.y() + h};
            break;
        }
        case TopLeft:
            c.left = x;
            c.top = current.bottom - truncated((current.right - x) * a);
            break;
        case TopRight:
            c.right = x;
            c.top = current.bottom - truncated((x - current.left) * a);
            break;
        case BottomRight:
            c.right = x;
            c.bottom = current.top + truncated((x - current.left) * a);
            break;
        case BottomLeft:
            c.left = x;
            c.bottom = current.top + truncated((current.right - x) * a);
            break;
        case NoHandle:
            return current;
    }
    c = keptInside(c, current, picture);
    if (width(c) <= kMinimumCrop || height(c) <= kMinimumCrop) return current;
    // The crop keeps the picture's shape, turned when it is crossed.
    if (crossed)
        c.right = c.left + int(qint64(height(c)) * picture.height() / picture.width());
    else
        c.bottom = c.top + int(qint64(width(c)) * picture.height() / picture.width());
    // Forcing the shape can push an edge out of the picture or under the minimum: such a step is
    // not taken.
    const std::optional<CropEdges> kept = shiftedInside(c, picture);
    if (!kept || width(*kept) <= kMinimumCrop || height(*kept) <= kMinimumCrop) return current;
    return *kept;
}

CropEdges rotateCrop(const CropEdges& crop, QSize picture) {
    if (picture.isEmpty()) return crop;
    const int W = picture.width(), H = picture.height();
    const CropEdges turned{crop.left, crop.left + height(crop), crop.top, crop.top + width(crop)};
    // Each correction applies to the result of the ones before, so that a crop near the bottom right
    // corner is moved up and left, not only left.
    CropEdges c = turned;
    if (c.left < 0) c = moved(c, -c.left, 0);
    if (c.top < 0) c = moved(c, 0, -c.top);
    if (c.bottom > H) c = moved(c, 0, H - c.bottom);
    if (c.right > W) c = moved(c, W - c.right, 0);
    // Turned, it is longer than the picture is high (or wide): the largest crop of the turned shape.
    if (c.top < 0) {
        c.top = 0;
        c.right = c.left + int(qint64(c.bottom) * H / W);
    }
    if (c.left < 0) {
        c.left = 0;
        c.bottom = c.top + int(qint64(c.right) * W / H);
    }
    if (!inside(c, picture)) {
        c.left = std::clamp(c.left, 0, W);
        c.right = std::clamp(c.right, c.left, W);
        c.top = std::clamp(c.top, 0, H);
        c.bottom = std::clamp(c.bottom, c.top, H);
    }
    return c;
}

double zoomIn(double factor) { return std::min(factor * 2.0, kMaximumZoom); }

double zoomOut(double factor) { return factor > kMinimumZoom ? factor / 2.0 : factor; }

QPoint zoomScrollPosition(QPointF relative, QSize scaledSize, QSize client, double factor) {
    if (factor == 1.0) return {0, 0};
    const auto axis = [](double rel, int scaled, int view) {
        const int maximum = std::max(0, scaled - view);
        return std::clamp(int(rel * scaled - view / 2.0), 0, maximum);
    };
    return QPoint(axis(relative.x(), scaledSize.width(), client.width()),
                  axis(relative.y(), scaledSize.height(), client.height()));
}

QSize decodeSize(QSize display, QSizeF drawn) {
    if (display.isEmpty()) return display;
    for (int n : {8, 4, 2}) {
        const QSize reduced((display.width() + n - 1) / n, (display.height() + n - 1) / n);
        if (reduced.width() >= drawn.width() && reduced.height() >= drawn.height()) return reduced;
    }
    return display;
}

}  // namespace cropgeometry

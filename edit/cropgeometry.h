#pragma once
// The large picture view's geometry as pure functions over plain values: where the picture and its
// data text go, the print-size marks inside a crop, the crop handles under the pointer, one step of a
// crop drag with its limits, Rotate Crop, and the zoom factor with its scroll position. The view only
// paints and routes events; every number it uses comes from here.

#include <QLine>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>

#include "instructiontext.h"

namespace cropgeometry {

using instructiontext::CropEdges;

// Print-size ratios (short side / long side), indexed by the picture size choice: 1 "2.5 x 3.25",
// 2 the 3 : 4 ratio that has no entry of its own, 3 "3.5 x 5", 4 "4 x 6", 5 "5 x 7", 6 "8 x 10".
inline constexpr double kPrintRatios[] = {0.0, 2.5 / 3.25, 0.75, 0.7, 2.0 / 3.0, 5.0 / 7.0, 0.8};
inline constexpr int kNoMarks = 0;
inline constexpr int kAllSizes = 7;  // the marks of every ratio 1 to 6

// The view draws a 3-pixel frame just inside its client area; everything else lies within it.
inline constexpr int kFrameWidth = 3;
// A crop drag never makes the crop this many picture pixels wide or high, or fewer.
inline constexpr int kMinimumCrop = 75;
inline constexpr double kMinimumZoom = 0.5;
// Far beyond any useful magnification; keeps the scaled picture's coordinates inside int range.
inline constexpr double kMaximumZoom = 64.0;

// The rectangle of `rect` that has the shape `ratio` (short side / long side), cut down along one
// side and placed on that side by `alignment`: -1 top or left, 0 centred, 1 bottom or right.
// An empty rectangle gives an empty one.
QRect FitRatio(const QRect& rect, double ratio, int alignment);

// The mark lines of picture size `choice` (0 none, 1 to 6 one ratio, 7 all six) inside `outer`:
// for each mark only the lines that cut across, and only where they differ from the outer edge.
// Lines run from edge to edge in QRect's inclusive coordinates.
QList<QLine> PictureSizeMarks(const QRect& outer, int choice, int alignment);

// Whether the crop has the other orientation than the picture (a portrait crop on a landscape picture
// or the reverse). A square on either side counts as the same orientation.
bool isCrossed(const CropEdges& crop, QSize picture);

// ---- Layout ----

// Where the picture and the data text go in a view of client size `client` (the frame included).
struct FrameLayout {
    QRectF picture;     // the picture area, in scrolled content coordinates
    QRect text;         // the data text's area, in content coordinates
    bool portrait = false;  // text to the right, lines separated by line breaks; else below, tabs
    QSize scrollSize;   // the scrolled content's size
};
// `reference` is the whole picture while crop marks are shown, else the crop. The picture is as large
// as the client (less the frame, and less the text's room: `textReserve`'s height below a landscape
// picture, its width beside a portrait one) allows, times `zoom`.
FrameLayout layoutFrame(QSize client, QSize reference, double zoom, QSize textReserve);

// Maps between picture pixels and view pixels for a picture drawn into `area`, of which `shown` (in
// picture pixels: the whole picture or the crop) fills the area.
struct PictureMapping {
    QRectF area;
    QRect shown;
    double scale() const { return shown.width() > 0 ? area.width() / shown.width() : 0.0; }
    QPointF toView(QPointF picture) const { return area.topLeft() + (picture - QPointF(shown.topLeft())) * scale(); }
    QPoint toPicture(QPointF view) const;
    QRect toView(const CropEdges& crop) const;
};

// ---- Crop handles and dragging ----

enum Handle { NoHandle = -1, MoveHandle = 0, TopLeft = 1, TopRight = 2, BottomRight = 3, BottomLeft = 4 };
// The handle under `point` for a crop drawn at `crop` (view coordinates, QRect's inclusive edges):
// the corners' 13-pixel squares, then the band 3 pixels either side of the edge; the interior is none.
Handle hitHandle(const QRect& crop, QPoint point);

// What a drag remembers from the press, in picture pixels.
struct DragStart {
    Handle handle = NoHandle;
    QPoint press;
    QPoint cropTopLeft;
};
// One step of a crop drag: the new crop for the pointer at `pointer` (picture pixels), or `current`
// when the step would leave the crop too small or it cannot be kept inside the picture.
CropEdges dragStep(const CropEdges& current, const DragStart& start, QPoint pointer, QSize picture, bool crossed);

// Turns the crop about its top-left corner and brings it back inside the picture; the result has the
// other orientation (the caller flips its crossed flag).
CropEdges rotateCrop(const CropEdges& crop, QSize picture);

// ---- Zoom ----

double zoomIn(double factor);
// Halves while the factor is above 0.5.
double zoomOut(double factor);
// The scroll position that centres the point at `relative` (0..1 of the scaled area) in a client of
// size `client` once the scaled area is `scaledSize`; (0, 0) at factor 1.0, never negative, never
// past the end.
QPoint zoomScrollPosition(QPointF relative, QSize scaledSize, QSize client, double factor);

// The size at which a picture of `display` pixels is worth decoding for a view that draws it at
// `drawn` pixels: the largest 1/2, 1/4 or 1/8 scale that is still at least as large, so that the
// decoder scales in its transform; the full size when drawn at full size or larger.
QSize decodeSize(QSize display, QSizeF drawn);

}  // namespace cropgeometry

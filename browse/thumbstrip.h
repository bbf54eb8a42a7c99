#pragma once
// The thumbnail strip's geometry and navigation as pure functions: the boxes of the pictures, the
// scroll range, which boxes are visible, hit tests, caption places, the title band's text, and the
// pictures that First, Last, Next, Prev and NextPath lead to. The strip's widgets only paint and
// route events; every number they use comes from here.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "browserentry.h"

namespace thumbstrip {

inline constexpr int kMargin = 10;         // left edge of the boxes and top of the first one
inline constexpr int kGap = 25;            // the caption band between a box and the next one
inline constexpr int kTitleHeight = 25;    // the view's title band
inline constexpr int kLineStep = 150;      // one arrow click or wheel notch
inline constexpr int kHitShift = 15;       // right-button and tool-tip hit tests look this far right
inline constexpr int kCaptionHeight = 19;  // caption text; the separating line lies at its bottom
inline constexpr int kVisibleSlackX = 10;  // a box this close to the visible area is still painted
inline constexpr int kVisibleSlackY = 35;
// Flags for every text the strip paints. Without Qt::TextShowMnemonic QPainter shows "&" as
// itself, so headlines and folder names are drawn as they stand (no doubling as for a label).
inline constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;

// What the layout needs to know about one picture.
struct PictureShape {
    QSize thumbnail;  // the thumbnail's size: made already, or to be made (longest side 160)
    QSize display;    // the picture as displayed (turned)
    QRect crop;       // the crop in display pixels; the whole picture when there is none
};

// The shape of a picture entry; a picture that cannot be read gets the portrait stand-in's size.
PictureShape shapeOf(const BrowserEntry& entry);
QList<PictureShape> shapesOf(const ThumbList& list);

// The box's size: the thumbnail's, turned when the crop and the picture differ in shape
// (a portrait picture cropped to landscape shows in a landscape box).
QSize boxSize(const PictureShape& shape);
// One box per picture, top to bottom, in strip coordinates. Tall boxes are centred under wide ones.
QList<QRect> layout(const QList<PictureShape>& shapes);
// The crop in the thumbnail's pixels, scaled by the ratio that maps the picture onto `box`.
QRectF cropInThumbnail(const PictureShape& shape, QSize box);
// The part of a thumbnail image of size `image` that is drawn into `box`.
QRectF sourceRect(const PictureShape& shape, QSize box, QSize image);

// The vertical scroll information in the classic form: maximum includes the page.
struct ScrollRange {
    int maximum = 0;
    int page = 0;
    bool operator==(const ScrollRange&) const = default;
};
// Maximum = last box's bottom + 25, or 0 when everything fits in `clientHeight`; page = maximum /
// number of boxes.
ScrollRange scrollRange(const QList<QRect>& boxes, int clientHeight);
// The greatest scroll position of a range (its maximum less the page, plus one).
int scrollLimit(const ScrollRange& range);
// The scroll position that shows box `index` at the top; -1 (no box) gives 5.
int scrollTarget(const QList<QRect>& boxes, int index);

// Whether a box, widened a little, meets the visible part [scroll, scroll + client height).
bool isVisible(const QRect& box, int scroll, QSize client);
// The indexes of the visible boxes, in order.
QList<int> visibleBoxes(const QList<QRect>& boxes, int scroll, QSize client);
// The box under `point` (strip coordinates) moved `shift` pixels right; -1 off the boxes.
int hitTest(const QList<QRect>& boxes, QPoint point, int shift = 0);

// Where the marks and the caption of a box go.
struct CaptionLayout {
    QPoint flag;    // top-left of the flag mark, when flagged
    QPoint star;    // top-left of the star mark, when starred
    QRect text;     // the caption text, up to the strip's right edge
    int lineY = 0;  // the black line under the caption
};
CaptionLayout captionLayout(const QRect& box, int stripWidth, bool flagged, bool starred);
// The caption: the headline, else the file name after the last separator.
QString captionText(const QString& headline, const QString& filePath);
QString captionText(const BrowserEntry& entry);
// Whether the entry's picture is rated "1" and shows the star mark.
bool isStarred(const BrowserEntry& entry);
// A tool tip that shows `text` as it stands: Qt would read text that looks like HTML as rich text.
QString toolTipText(const QString& text);

// The title band's icon.
enum class TitleIcon { None, Folder, Event, SearchResults };
struct ListTitle {
    QString title;
    TitleIcon icon = TitleIcon::None;
    bool operator==(const ListTitle&) const = default;
};
// The folder of a path: everything before the last separator.
QString folderOf(const QString& path);
// The title and icon of a list of pictures. `hasCatalog` answers whether a folder has a catalog.
ListTitle listTitle(const ThumbList& list, bool searchFlag, const std::function<bool(const QString&)>& hasCatalog);
// "%s (%d picture%s/%d MB)": title, count, "s" unless the count is 1, total size in megabytes.
QString titleText(const QString& title, qsizetype count, quint64 totalBytes);
quint64 totalSize(const ThumbList& list);

QStringList pathsOf(const ThumbList& list);
// Index of `path` in `paths`: the exact path first, else one that differs only in case (paths
// kept by older catalogs may differ in case from the disk's). -1 when absent or empty.
int indexOfPath(const QStringList& paths, const QString& path);

// The picture each navigation command opens; nothing when it does nothing.
std::optional<int> firstTarget(qsizetype count);
std::optional<int> lastTarget(qsizetype count);
// No picture open, or the open one not listed: the first. At the last picture: nothing.
std::optional<int> nextTarget(const QStringList& paths, const QString& openPath);
// The mirror image: the last when none is open or it is not listed; at the first: nothing.
std::optional<int> prevTarget(const QStringList& paths, const QString& openPath);
// The picture Save Next goes to: the one after the open one, else the first (so the last wraps to
// the first). Empty when no picture is open or the list is empty.
QString nextPath(const QStringList& paths, const QString& openPath);

}  // namespace thumbstrip

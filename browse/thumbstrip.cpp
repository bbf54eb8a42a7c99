#include "thumbstrip.h"

#include <QTextDocument>
#include <algorithm>

#include "thumbnailmaker.h"

namespace thumbstrip {

namespace {

bool wide(QSize s) { return s.width() > s.height(); }
bool tall(QSize s) { return s.height() > s.width(); }

qsizetype lastSeparator(const QString& path) {
    return std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
}

}  // namespace

PictureShape shapeOf(const BrowserEntry& entry) {
    PictureShape shape;
    const PictureRecord* picture = entry.picture.get();
    if (picture) {
        shape.display = QSize(picture->displayWidth(), picture->displayHeight());
        if (!shape.display.isEmpty()) shape.crop = picture->cropRect().rect();
        // A thumbnail made already decides the box; else the size it will be made at.
        const QImage made =
            picture->thumbnailSource() != PictureRecord::ThumbnailSource::None ? picture->thumbnailImage() : QImage();
        shape.thumbnail = made.isNull() ? thumbnails::thumbnailSize(shape.display) : made.size();
    }
    if (shape.thumbnail.isEmpty()) shape.thumbnail = thumbnails::placeholder(false).size();
    return shape;
}

QList<PictureShape> shapesOf(const ThumbList& list) {
    QList<PictureShape> shapes;
    shapes.reserve(list.size());
    for (const BrowserEntry* entry : list) shapes.append(shapeOf(*entry));
    return shapes;
}

QSize boxSize(const PictureShape& shape) {
    const QSize crop = shape.crop.size();
    const bool turn = (tall(crop) && wide(shape.display)) || (wide(crop) && tall(shape.display));
    return turn ? shape.thumbnail.transposed() : shape.thumbnail;
}

QList<QRect> layout(const QList<PictureShape>& shapes) {
    QList<QRect> boxes;
    boxes.reserve(shapes.size());
    int y = kMargin;
    for (const PictureShape& shape : shapes) {
        const QSize box = boxSize(shape);
        // Landscape boxes are 160 wide; a tall crop's box stands in the middle of that column.
        const int x = kMargin + (tall(shape.crop.size()) ? std::abs(box.width() - box.height()) / 2 : 0);
        boxes.append(QRect(QPoint(x, y), box));
        y += box.height() + kGap;
    }
    return boxes;
}

QRectF cropInThumbnail(const PictureShape& shape, QSize box) {
    const QSize d = shape.display;
    if (d.isEmpty() || box.isEmpty() || shape.crop.isEmpty()) return {};
    // The ratio from picture pixels to box pixels along the side the box took from the picture.
    double scale;
    if (wide(d) && wide(box))
        scale = double(box.width()) / d.width();
    else if (tall(d) && tall(box))
        scale = double(box.height()) / d.height();
    else
        scale = double(box.width()) / d.height();
    const QRectF crop(shape.crop);
    return QRectF(crop.x() * scale, crop.y() * scale, crop.width() * scale, crop.height() * scale);
}

QRectF sourceRect(const PictureShape& shape, QSize box, QSize image) {
    const QRectF whole(QPointF(0, 0), QSizeF(image));
    const QRectF crop = cropInThumbnail(shape, box);
    if (crop.isEmpty() || shape.thumbnail.isEmpty()) return whole;
    // The thumbnail image may be larger or smaller than the thumbnail size (a camera's own).
    const double sx = double(image.width()) / shape.thumbnail.width();
    const double sy = double(image.height()) / shape.thumbnail.height();
    const QRectF scaled(crop.x() * sx, crop.y() * sy, crop.width() * sx, crop.height() * sy);
    return scaled.intersected(whole).isEmpty() ? whole : scaled.intersected(whole);
}

ScrollRange scrollRange(const QList<QRect>& boxes, int clientHeight) {
    if (boxes.isEmpty()) return {};
    const int bottom = boxes.last().y() + boxes.last().height();
    if (bottom <= clientHeight) return {};
    const int maximum = bottom + kGap;
    return {maximum, int(maximum / boxes.size())};
}

int scrollLimit(const ScrollRange& range) {
    if (range.maximum <= 0) return 0;
    return std::max(0, range.maximum - std::max(range.page, 1) + 1);
}

int scrollTarget(const QList<QRect>& boxes, int index) {
    const QRect box = index >= 0 && index < boxes.size() ? boxes[index] : QRect(10, 10, 0, 0);
    return box.top() - 5;
}

bool isVisible(const QRect& box, int scroll, QSize client) {
    const QRect widened = box.adjusted(-kVisibleSlackX, -kVisibleSlackY, kVisibleSlackX, kVisibleSlackY);
    return widened.intersects(QRect(QPoint(0, scroll), client));
}

QList<int> visibleBoxes(const QList<QRect>& boxes, int scroll, QSize client) {
    // Boxes run top to bottom: start at the first one that reaches the visible part.
    const auto first = std::lower_bound(boxes.begin(), boxes.end(), scroll, [](const QRect& box, int top) {
        return box.y() + box.height() + kVisibleSlackY <= top;
    });
    QList<int> visible;
    for (auto it = first; it != boxes.end() && it->y() - kVisibleSlackY < scroll + client.height(); ++it)
        if (isVisible(*it, scroll, client)) visible.append(int(it - boxes.begin()));
    return visible;
}

int hitTest(const QList<QRect>& boxes, QPoint point, int shift) {
    const QPoint p(point.x() + shift, point.y());
    for (qsizetype i = 0; i < boxes.size(); ++i)
        if (boxes[i].contains(p)) return int(i);
    return -1;
}

CaptionLayout captionLayout(const QRect& box, int stripWidth, bool flagged, bool starred) {
    CaptionLayout caption;
    const int top = box.y() + box.height();
    int x = box.x() - 2;
    caption.flag = QPoint(x, top);
    if (flagged) x += 10;
    caption.star = QPoint(x, top);
    if (starred) x += 20;
    caption.text = QRect(x, top, std::max(0, stripWidth - x), kCaptionHeight);
    caption.lineY = top + kCaptionHeight;
    return caption;
}

QString captionText(const QString& headline, const QString& filePath) {
    if (!headline.isEmpty()) return headline;
    return filePath.mid(lastSeparator(filePath) + 1);
}

QString captionText(const BrowserEntry& entry) {
    if (!entry.picture) return captionText(QString(), entry.path);
    return captionText(entry.picture->iptc().headline, entry.picture->filePath());
}

bool isStarred(const BrowserEntry& entry) { return entry.picture && entry.picture->iptc().rating == u"1"; }

QString toolTipText(const QString& text) {
    if (!Qt::mightBeRichText(text)) return text;
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

QString folderOf(const QString& path) {
    const qsizetype cut = lastSeparator(path);
    return cut < 0 ? QString() : path.left(cut);
}

ListTitle listTitle(const ThumbList& list, bool searchFlag, const std::function<bool(const QString&)>& hasCatalog) {
    if (searchFlag) return {QStringLiteral("Search Results"), TitleIcon::SearchResults};
    if (list.isEmpty()) return {QStringLiteral("<Empty>"), TitleIcon::None};
    const BrowserEntry& first = *list.first();
    const QString folder = folderOf(first.path);
    if (hasCatalog && hasCatalog(folder)) {
        const QString event = first.picture ? first.picture->iptc().event : QString();
        const qsizetype mark = event.indexOf(QStringLiteral(":::"));
        return {mark < 0 ? QStringLiteral("Unknown") : event.mid(mark + 3), TitleIcon::Event};
    }
    return {folder.mid(lastSeparator(folder) + 1), TitleIcon::Folder};
}

QString titleText(const QString& title, qsizetype count, quint64 totalBytes) {
    return QStringLiteral("%1 (%2 picture%3/%4 MB)")
        .arg(title)
        .arg(count)
        .arg(count == 1 ? QString() : QStringLiteral("s"))
        .arg(totalBytes >> 20);
}

quint64 totalSize(const ThumbList& list) {
    quint64 total = 0;
    for (const BrowserEntry* entry : list)
        if (entry->picture) total += entry->picture->fileSize();
    return total;
}

QStringList pathsOf(const ThumbList& list) {
    QStringList paths;
    paths.reserve(list.size());
    for (const BrowserEntry* entry : list) paths.append(entry->path);
    return paths;
}

int indexOfPath(const QStringList& paths, const QString& path) {
    if (path.isEmpty()) return -1;
    const qsizetype exact = paths.indexOf(path);
    if (exact >= 0) return int(exact);
    for (qsizetype i = 0; i < paths.size(); ++i)
        if (paths[i].compare(path, Qt::CaseInsensitive) == 0) return int(i);
    return -1;
}

std::optional<int> firstTarget(qsizetype count) { return count > 0 ? std::optional<int>(0) : std::nullopt; }

std::optional<int> lastTarget(qsizetype count) { return count > 0 ? std::optional<int>(int(count - 1)) : std::nullopt; }

std::optional<int> nextTarget(const QStringList& paths, const QString& openPath) {
    const int open = indexOfPath(paths, openPath);
    if (open < 0) return firstTarget(paths.size());
    if (open + 1 >= paths.size()) return std::nullopt;
    return open + 1;
}

std::optional<int> prevTarget(const QStringList& paths, const QString& openPath) {
    const int open = indexOfPath(paths, openPath);
    if (open < 0) return lastTarget(paths.size());
    if (open == 0) return std::nullopt;
    return open - 1;
}

QString nextPath(const QStringList& paths, const QString& openPath) {
    if (openPath.isEmpty() || paths.isEmpty()) return {};
    const int open = indexOfPath(paths, openPath);
    return open >= 0 && open + 1 < paths.size() ? paths[open + 1] : paths.first();
}

}  // namespace thumbstrip

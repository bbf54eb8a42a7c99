#pragma once
// The scrolling strip of thumbnails inside the thumbnail view: one box per picture under each other,
// the red mark on the open picture, flag and star marks and captions. A click opens the picture
// (and may drag it out), a right click offers the flag menu. Only the boxes on screen are painted;
// their thumbnails are made on worker threads and painted as they arrive, the stand-in until then.

#include <QAbstractScrollArea>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QStringList>

#include "browserentry.h"
#include "thumbnailloader.h"
#include "thumbstrip.h"

class BrowseContext;
class QMenu;

// The small marks of the strip and the title band, 16 x 16.
namespace stripicons {
QPixmap flag();
QPixmap star();
QPixmap folder();
QPixmap event();
QPixmap searchResults();
}  // namespace stripicons

class CThumbScrollWnd : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CThumbScrollWnd(BrowseContext& frame, QWidget* parent = nullptr);
    ~CThumbScrollWnd() override;

    // Shows `list`: lays out the boxes, sets the scroll range and, with auto-scroll on, scrolls to
    // the open picture. Thumbnails already made for the same pictures are kept.
    void setEntries(const ThumbList& list);
    const ThumbList& entries() const { return entries_; }
    const QList<QRect>& boxes() const { return boxes_; }
    // The box last opened from the strip, -1 when the open picture is not in the strip.
    int currentIndex() const { return current_; }
    thumbstrip::ScrollRange scrollRange() const { return range_; }
    int scrollPosition() const;
    // A box in the coordinates of the strip's viewport (where it shows at the current scroll).
    QRect boxInViewport(int index) const;

    // The open picture changed: find it, scroll to it unless the strip opened it itself, repaint.
    void documentChanged();
    // Opens the picture of box `index` in the document; false when it was not opened. A click in the
    // strip keeps the scroll position; the navigation commands let the strip follow the picture.
    bool openEntry(int index, bool keepScroll = false);

    // The thumbnail shown in box `index`; null while the stand-in is drawn.
    QImage thumbnailAt(int index) const;
    // No thumbnail is being made.
    bool thumbnailsIdle() const { return loader_.idle(); }
    // The menu of a right click on a box: Set Flag, Remove Flag, Print..., Print Preview..., Save as...
    // (the last three come with the output dialogs and stay disabled until then).
    QMenu* createContextMenu(QWidget* parent);

signals:
    // The user clicked into the strip: the view becomes the frame's active view.
    void activated();
    // Every thumbnail of the list has been made.
    void thumbnailsDone();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    QPoint toStrip(QPoint viewportPoint) const;
    void updateScrollRange();
    // The open picture: same path (found once per paint as `openIndex`) or the same record.
    bool isOpenPicture(int index, int openIndex) const;
    void paintBox(QPainter& painter, int index, bool open);
    void thumbnailArrived(int index, const QString& key, const QImage& image);
    std::optional<ThumbnailJob> jobAt(int index) const;
    void setFlag(bool flagged);

    BrowseContext& frame_;
    ThumbList entries_;
    QStringList paths_;
    QList<thumbstrip::PictureShape> shapes_;
    QList<QRect> boxes_;
    QList<QImage> images_;  // index-aligned with entries_; null while the thumbnail is being made
    QStringList keys_;      // the thumbnail key of each entry
    thumbstrip::ScrollRange range_;
    int current_ = -1;
    bool autoScroll_ = true;
    int pressedIndex_ = -1;  // a left press that may turn into a drag
    QPoint pressPoint_;
    int wheelRest_ = 0;  // wheel delta short of a whole notch (high-resolution wheels)
    QPixmap flagMark_;
    QPixmap starMark_;
    ThumbnailLoader loader_;
};

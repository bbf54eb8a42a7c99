#pragma once
// The large picture view of the picture column: the current picture as large as the pane allows, with
// a short text of its data beside or below it. In it the user zooms, sets the crop rectangle with the
// mouse in the picture's shape, sees the marks of the standard print sizes inside the crop, turns the
// crop and anchors the marks. Crop changes go into the picture's instruction text and mark the
// document modified; the next save writes them. The view also goes full screen for the slide show.

#include <QAbstractScrollArea>
#include <QDateTime>
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QTimer>

#include "cropgeometry.h"
#include "slideprefetch.h"

class CSlidShowPropDlg;
class FrameContext;
class PictureRecord;
class QStackedWidget;

class CBigImageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CBigImageView(FrameContext& frame, QWidget* parent = nullptr);
    ~CBigImageView() override;

    // Follows the document's current picture: a new picture resets the zoom and is loaded; the crop,
    // its orientation and the alignment are read from the picture again.
    void Update();
    // Forgets the shown picture, so that the next Update treats it as new (after a rotation).
    void Reset();

    // Commands routed here by the frame. Crop commands without a current picture do nothing.
    void toggleZoom();
    void toggleCropMarks();
    void RotateCrop();
    void setCropAlignment(int alignment);
    void RemoveCrop();
    // The toolbar's print-size choice: 0 none, 1 to 6 one ratio, 7 all six.
    void setPictureSize(int choice);

    bool zoomMode() const { return zoomMode_; }
    bool cropMarksShown() const { return cropMarks_; }
    double zoomFactor() const { return zoom_; }
    int cropAlignment() const { return alignment_; }
    int pictureSize() const { return pictureSize_; }
    cropgeometry::CropEdges cropRect() const { return crop_; }
    bool cropCrossed() const { return crossed_; }

    // Full screen: the view leaves the picture column for a window of its own covering the screen, and
    // comes back to its place. The slide show runs in it: with a delay the view moves to the next
    // picture at every tick and leaves full screen after the last one.
    void enterFullScreen();
    void leaveFullScreen();
    bool isFullScreenShown() const { return fullScreen_; }
    void setSlideDelay(int seconds);
    void slideTick();

    // The slide show: asks for the time between pictures, then begins it, however the dialog closed.
    void startSlideShow();
    // From the strip's first picture, full screen, moving on every `seconds` (0: on clicks only).
    void beginSlideShow(int seconds);
    bool slideShowRunning() const { return slideShow_; }
    // The left button, Right arrow and Space; the right button and Left arrow.
    void slideForward();
    void slideBack();
    CSlidShowPropDlg* slideShowDialog();
    bool slideTimerActive() const { return slideTimer_.isActive(); }
    // The decode under way for the next picture, and how many pictures of this show were decoded on
    // arrival rather than ahead.
    const SlidePrefetch& prefetch() const { return prefetch_; }
    int slideShowDecodes() const { return slideDecodes_; }

    // What a paint shows, for tests and the frame: the picture's area and the crop in viewport
    // coordinates, the data text and the missing-file text (empty when the picture loaded).
    QRectF pictureArea() const;
    QRect cropOnScreen() const;
    QString dataText() const;
    QString missingText() const { return missingText_; }
    // The mark lines drawn now, in viewport coordinates.
    QList<QLine> markLines() const;

    // The pieces of the data text, taken from the picture, the document and the strip.
    struct DataTextSource {
        int position = 0;  // 0-based place in the strip; -1 when it is not there
        int count = 0;
        QString event;
        QDateTime dataDateTime;  // the picture data's date and time
        QString location, city, state, headline;
        QStringList people;
        QString displayName;
        QDateTime dateTaken;
        bool portrait = false;  // lines are separated by line breaks beside the picture, else tabs
    };
    static QString buildDataText(const DataTextSource& source);

signals:
    // A double click asks the frame to show the picture data form in the picture column.
    void showPictureDataRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    PictureRecord* picture() const;
    QSize displaySize() const;
    QSize clientSize() const;
    cropgeometry::FrameLayout layout() const;
    cropgeometry::PictureMapping mapping() const;
    QPoint scroll() const;
    void updateScrollBars();
    // Decodes the picture at the size the view draws it (full size when zoomed in); false when it
    // cannot be found.
    bool ensureImage(bool showStatus);
    const QImage* shownImage() const;
    void writeInstructions(int cropTo);
    void zoomAt(QPoint point, bool in);
    void updateCursor(QPoint point);
    void activate();
    void drawPicture(QPainter& painter, const cropgeometry::FrameLayout& layout);
    void drawCropRect(QPainter& painter, const QRect& crop);
    void drawMissing(QPainter& painter, const cropgeometry::FrameLayout& layout);
    void drawDataText(QPainter& painter, const QRect& area, const QString& text);
    void drawFrame(QPainter& painter);

    FrameContext& frame_;
    PictureRecord* shown_ = nullptr;
    QString shownPath_;
    double zoom_ = 1.0;
    bool zoomMode_ = false;
    bool cropMarks_ = false;
    cropgeometry::CropEdges crop_;
    bool crossed_ = false;
    int alignment_ = 0;
    int pictureSize_ = 0;
    cropgeometry::DragStart drag_;
    bool dragging_ = false;

    // The picture could not be loaded from its path: the text to show, and the path that failed, so
    // that a paint does not try again.
    QString missingText_;
    QString failedPath_;
    // An archived picture found on its disc: decoded here, as the record reads only its own path.
    QImage archiveImage_;
    // The picture scaled once for the frame, while it is drawn at or below its pane's size.
    QImage scaled_;
    qint64 scaledKey_ = 0;
    QRect scaledSource_;
    QSize scaledTarget_;

    bool fullScreen_ = false;
    QPointer<QStackedWidget> savedStack_;
    QPointer<QWidget> savedParent_;
    int savedIndex_ = -1;
    QRect savedGeometry_;
    QTimer slideTimer_;
    bool slideShow_ = false;
    int slideSeconds_ = 0;
    int slideDecodes_ = 0;
    CSlidShowPropDlg* slideDialog_ = nullptr;  // a child, made on first use
    SlidePrefetch prefetch_;
    // Decodes the strip's next picture at the size full screen draws it.
    void prefetchNext();
    // Next or previous picture, letting go of the decoded image of the one left.
    void moveSlide(bool forward);
    SlidePrefetch::Key prefetchKey(const PictureRecord& picture) const;
};

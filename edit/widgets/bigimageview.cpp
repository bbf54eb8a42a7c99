#include "bigimageview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QStackedWidget>
#include <QWheelEvent>
#include <cmath>

#include "framecontext.h"
#include "instructiontext.h"
#include "picturerecord.h"
#include "slidshowpropdlg.h"
#include "snaploredoc.h"

// Resources of a static library are registered by hand, outside any namespace.
static void registerBigImageResources() { Q_INIT_RESOURCE(bigimage); }

using namespace cropgeometry;

namespace {

const QColor kActiveFrame(0, 85, 229);
const QString kReady = QStringLiteral("Ready");
constexpr int kSlideTimerMs = 1000;
// The text's room below a landscape picture (lines) and beside a portrait one (pixels). Below, the
// longest data text has four lines: number and date, place, event and headline, people.
constexpr int kTextLines = 4;
constexpr int kTextBesideWidth = 170;

QString formatDateTime(const QDateTime& dateTime) {
    // "%b %d, %Y at %I:%M %p", with English month names whatever the user's language.
    return dateTime.isValid() ? QLocale::c().toString(dateTime, QStringLiteral("MMM dd, yyyy 'at' hh:mm AP")) : QString();
}

// The event's title: the part after the first ":::" when that stands after the start of the text.
QString eventTitle(const QString& event) {
    const qsizetype colons = event.indexOf(QLatin1String(":::"));
    return colons > 0 ? event.mid(colons + 3) : event;
}

int tabbedWidth(const QFontMetrics& metrics, const QString& text) {
    return metrics.boundingRect(QRect(0, 0, 1 << 20, 1 << 10), Qt::TextExpandTabs | Qt::TextSingleLine, text).width();
}

// The line cut after its last whole word that fits, with an ellipsis.
QString elidedAtWord(const QFontMetrics& metrics, const QString& line, int width) {
    if (tabbedWidth(metrics, line) <= width) return line;
    const QString ellipsis(QChar(0x2026));
    QString cut = line;
    while (!cut.isEmpty()) {
        const qsizetype space = cut.lastIndexOf(QRegularExpression(QStringLiteral("[ \\t]")));
        cut = space > 0 ? cut.left(space) : QString();
        if (!cut.isEmpty() && tabbedWidth(metrics, cut + ellipsis) <= width) return cut + ellipsis;
    }
    // Not even the first word fits: cut it by characters.
    return metrics.elidedText(line, Qt::ElideRight, width);
}

}  // namespace

CBigImageView::CBigImageView(FrameContext& frame, QWidget* parent) : QAbstractScrollArea(parent), frame_(frame) {
    registerBigImageResources();
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    // The whole picture is painted on every paint; Qt's backing store keeps it from flickering.
    viewport()->setAutoFillBackground(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    slideTimer_.setInterval(kSlideTimerMs);
    connect(&slideTimer_, &QTimer::timeout, this, &CBigImageView::slideTick);
    connect(&frame_.document(), &CSnaploreDoc::updateAllViews, this, &CBigImageView::Update);
}

CBigImageView::~CBigImageView() = default;

PictureRecord* CBigImageView::picture() const { return frame_.document().picture(); }

QSize CBigImageView::displaySize() const {
    const PictureRecord* p = picture();
    return p ? QSize(p->displayWidth(), p->displayHeight()) : QSize();
}

QSize CBigImageView::clientSize() const { return maximumViewportSize(); }

QPoint CBigImageView::scroll() const { return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()); }

FrameLayout CBigImageView::layout() const {
    const QSize reference = (cropMarks_ || dragging_) ? displaySize() : crop_.rect().size();
    const QSize reserve(kTextBesideWidth, fontMetrics().lineSpacing() * kTextLines + 8);
    FrameLayout frameLayout = layoutFrame(clientSize(), reference, zoom_, reserve);
    if (fullScreen_) {
        // Full screen centres the picture across the screen, its text moving with it, as far as text
        // beside a portrait picture still fits; the pane keeps them in its corner.
        const QRectF& picture = frameLayout.picture;
        const double room = clientSize().width() - picture.right() - (frameLayout.portrait ? kTextBesideWidth : 0);
        const double dx = std::floor(std::min((clientSize().width() - picture.width()) / 2 - picture.left(), room));
        if (dx > 0) {
            frameLayout.picture.translate(dx, 0);
            frameLayout.text.translate(int(dx), 0);
        }
    }
    return frameLayout;
}

PictureMapping CBigImageView::mapping() const {
    const bool whole = cropMarks_ || dragging_;
    return PictureMapping{layout().picture, whole ? QRect(QPoint(0, 0), displaySize()) : crop_.rect()};
}

QRectF CBigImageView::pictureArea() const { return layout().picture.translated(-scroll()); }

QRect CBigImageView::cropOnScreen() const { return mapping().toView(crop_).translated(-scroll()); }

QList<QLine> CBigImageView::markLines() const {
    if (!picture() || !missingText_.isEmpty() || pictureSize_ == kNoMarks) return {};
    const QRect outer = cropMarks_ ? cropOnScreen() : pictureArea().toAlignedRect();
    return PictureSizeMarks(outer, pictureSize_, alignment_);
}

// ---- Update ----

void CBigImageView::Update() {
    alignment_ = 0;
    PictureRecord* current = picture();
    const QString path = frame_.document().pathName();
    if (isVisible() && (current != shown_ || path != shownPath_)) {
        zoom_ = 1.0;
        zoomMode_ = false;
        dragging_ = false;
        missingText_.clear();
        failedPath_.clear();
        archiveImage_ = QImage();
        scaled_ = QImage();
        horizontalScrollBar()->setValue(0);
        verticalScrollBar()->setValue(0);
        shown_ = current;
        shownPath_ = path;
        if (current) {
            crop_ = current->cropRect();  // the layout needs it to choose the decode size
            ensureImage(true);
        }
    }
    if (isVisible()) {
        shown_ = current;
        shownPath_ = path;
    }
    if (slideShow_) prefetchNext();
    if (current) {
        alignment_ = current->cropTo();
        crop_ = current->cropRect();
        crossed_ = isCrossed(crop_, displaySize());
    } else {
        crop_ = {};
        crossed_ = false;
    }
    updateScrollBars();
    viewport()->update();
}

void CBigImageView::Reset() {
    shown_ = nullptr;
    shownPath_.clear();
    Update();
}

bool CBigImageView::ensureImage(bool showStatus) {
    PictureRecord* p = picture();
    if (!p) return false;
    if (!archiveImage_.isNull()) return true;
    const QSize display = displaySize();
    const PictureMapping map = mapping();
    const QSizeF drawn = QSizeF(display) * map.scale();
    const QSize wanted = zoom_ > 1.0 || drawn.isEmpty() ? display : decodeSize(display, drawn);
    // Enough pixels: what this view decodes, all there are, or (fitted, as the slide show decodes
    // ahead) as many as are drawn.
    const auto enough = [&](QSize have) {
        return have.width() >= wanted.width() || have.width() >= display.width() ||
               (zoom_ <= 1.0 && !drawn.isEmpty() && have.width() + 1 >= drawn.width() &&
                have.height() + 1 >= drawn.height());
    };
    if (p->imageLoaded() && enough(p->image().size())) return true;
    if (failedPath_ == p->filePath()) return false;

    // In a slide show the picture was usually decoded while the one before it showed.
    if (slideShow_) {
        if (const std::optional<QImage> ahead = prefetch_.take(prefetchKey(*p))) {
            if (enough(ahead->size()) && p->adoptImage(*ahead, p->imageQuarterTurns())) return true;
        }
    }
    if (slideShow_) ++slideDecodes_;
    if (showStatus) frame_.setStatusText(QStringLiteral("Loading image..."), true);
    bool loaded = p->loadImage(wanted == display ? QSize() : wanted);
    if (!loaded && !p->archiveName.isEmpty()) {
        // An archived picture may be on its disc.
        QString disc = p->archiveLocation;
        if (!disc.endsWith(QLatin1Char('/')) && !disc.endsWith(QLatin1Char('\\'))) disc += QLatin1Char('/');
        disc += p->fileName();
        const QImage decoded = PictureRecord::decodeImage(disc, p->imageQuarterTurns());
        if (!decoded.isNull()) {
            archiveImage_ = decoded;
            loaded = true;
        } else {
            missingText_ = QStringLiteral("Please load %1\nLooking for file %2").arg(p->archiveName, disc);
        }
    } else if (!loaded) {
        missingText_ = QStringLiteral("Cannot find file %1").arg(p->filePath());
    }
    if (showStatus) frame_.setStatusText(kReady);
    if (!loaded) failedPath_ = p->filePath();
    return loaded;
}

const QImage* CBigImageView::shownImage() const {
    if (!archiveImage_.isNull()) return &archiveImage_;
    const PictureRecord* p = picture();
    return p && p->imageLoaded() ? &p->image() : nullptr;
}

void CBigImageView::updateScrollBars() {
    const QSize content = layout().scrollSize;
    // Content that fits the pane without scroll bars gets none: otherwise bars that appear would make
    // the viewport smaller than the content and keep themselves.
    const bool fits = content.width() <= clientSize().width() && content.height() <= clientSize().height();
    const QSize view = fits ? content : viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, content.width() - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setRange(0, std::max(0, content.height() - view.height()));
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(20);
}

// ---- Commands ----

void CBigImageView::toggleZoom() {
    zoomMode_ = !zoomMode_;
    dragging_ = false;
    if (!zoomMode_ && zoom_ != 1.0) {
        // Leaving zoom mode shows the whole picture fitted again, not the last zoomed part of it.
        zoom_ = 1.0;
        updateScrollBars();
        horizontalScrollBar()->setValue(0);
        verticalScrollBar()->setValue(0);
        viewport()->update();
    }
    updateCursor(viewport()->mapFromGlobal(QCursor::pos()));
}

void CBigImageView::toggleCropMarks() {
    cropMarks_ = !cropMarks_;
    updateScrollBars();
    viewport()->update();
}

void CBigImageView::writeInstructions(int cropTo) {
    PictureRecord* p = picture();
    if (!p) return;
    QString& text = p->iptc().instructions;
    const int rotation = instructiontext::valueOr(text, instructiontext::kRotate, 0);
    text = instructiontext::format(rotation, crop_, cropTo);
    frame_.document().setModified(true);
}

void CBigImageView::RotateCrop() {
    if (!picture()) return;
    crossed_ = !crossed_;
    crop_ = rotateCrop(crop_, displaySize());
    writeInstructions(alignment_);
    viewport()->update();
}

void CBigImageView::setCropAlignment(int alignment) {
    if (!picture()) return;
    alignment_ = std::clamp(alignment, -1, 1);
    writeInstructions(alignment_);
    viewport()->update();
}

void CBigImageView::RemoveCrop() {
    if (!picture()) return;
    const QSize display = displaySize();
    crop_ = {0, display.width(), 0, display.height()};
    writeInstructions(alignment_);
    crossed_ = isCrossed(crop_, display);
    updateScrollBars();
    viewport()->update();
}

void CBigImageView::setPictureSize(int choice) {
    pictureSize_ = std::clamp(choice, 0, kAllSizes);
    viewport()->update();
}

// ---- Full screen ----

void CBigImageView::enterFullScreen() {
    if (fullScreen_) return;
    savedParent_ = parentWidget();
    savedStack_ = savedParent_ ? qobject_cast<QStackedWidget*>(savedParent_->parentWidget()) : nullptr;
    if (auto* stack = qobject_cast<QStackedWidget*>(savedParent_.data())) savedStack_ = stack;
    savedIndex_ = savedStack_ ? savedStack_->indexOf(this) : -1;
    savedGeometry_ = geometry();
    fullScreen_ = true;
    setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
    if (QScreen* screen = savedParent_ ? savedParent_->screen() : QGuiApplication::primaryScreen())
        setGeometry(screen->geometry());
    showFullScreen();
    activateWindow();
    setFocus(Qt::OtherFocusReason);
    frame_.setActiveView(this);
    updateScrollBars();
    viewport()->update();
}

void CBigImageView::leaveFullScreen() {
    slideTimer_.stop();
    slideShow_ = false;
    prefetch_.clear();
    if (!fullScreen_) return;
    fullScreen_ = false;
    hide();
    setParent(savedParent_, Qt::Widget);
    if (savedStack_) {
        savedStack_->insertWidget(std::max(0, savedIndex_), this);
        savedStack_->setCurrentWidget(this);
    } else {
        setGeometry(savedGeometry_);
    }
    show();
    updateScrollBars();
    viewport()->update();
}

void CBigImageView::setSlideDelay(int seconds) {
    if (seconds > 0) {
        slideTimer_.start(seconds * kSlideTimerMs);
    } else {
        slideTimer_.stop();  // 0: no automatic advance
    }
}

void CBigImageView::slideTick() {
    const QString path = frame_.document().pathName();
    const int count = frame_.pictureCount();
    if (path.isEmpty() || count == 0 || frame_.pictureIndex(nullptr, path) == count - 1) {
        leaveFullScreen();
        return;
    }
    moveSlide(true);
}

CSlidShowPropDlg* CBigImageView::slideShowDialog() {
    if (!slideDialog_) slideDialog_ = new CSlidShowPropDlg(this);
    return slideDialog_;
}

void CBigImageView::startSlideShow() {
    CSlidShowPropDlg* dialog = slideShowDialog();
    dialog->exec();
    beginSlideShow(dialog->timeBetween());
}

void CBigImageView::beginSlideShow(int seconds) {
    slideSeconds_ = std::max(0, seconds);
    slideDecodes_ = 0;
    // The first picture before full screen: leaving a changed picture asks its question in the
    // window, not behind a full-screen one.
    frame_.firstPicture();
    zoom_ = 1.0;
    zoomMode_ = false;
    enterFullScreen();
    slideShow_ = true;
    setSlideDelay(slideSeconds_);
    prefetchNext();
}

void CBigImageView::moveSlide(bool forward) {
    PictureRecord* leaving = picture();
    if (forward)
        frame_.nextPicture();
    else
        frame_.previousPicture();
    // A show through a large folder would otherwise keep every picture it showed decoded. The
    // picture left is touched only while the strip still holds it.
    if (leaving && leaving != picture() && frame_.pictureIndex(leaving, QString()) >= 0) leaving->unloadImage();
}

void CBigImageView::slideForward() {
    slideTimer_.stop();
    moveSlide(true);
    if (slideShow_) setSlideDelay(slideSeconds_);
}

void CBigImageView::slideBack() {
    // The timer stays stopped: the user looks back at a picture for as long as he likes.
    slideTimer_.stop();
    moveSlide(false);
}

SlidePrefetch::Key CBigImageView::prefetchKey(const PictureRecord& picture) const {
    return {picture.filePath(), picture.imageQuarterTurns(), maximumViewportSize()};
}

void CBigImageView::prefetchNext() {
    const PictureRecord* current = picture();
    if (!current) return;
    const int index = frame_.pictureIndex(current, frame_.document().pathName());
    const PictureRecord* next = index >= 0 ? frame_.pictureAt(index + 1) : nullptr;
    if (next && next != current) prefetch_.request(prefetchKey(*next));
}

// ---- Data text ----

QString CBigImageView::buildDataText(const DataTextSource& s) {
    const QString separator = s.portrait ? QStringLiteral("\n") : QStringLiteral("\t");
    QString text = QStringLiteral("Picture %1 of %2").arg(s.position + 1).arg(s.count);
    if (!s.event.isEmpty()) {
        text += QStringLiteral(" taken on ") + formatDateTime(s.dataDateTime) + QLatin1Char('\n') + s.location +
                QStringLiteral(", ") + s.city + QStringLiteral(" , ") + s.state + QLatin1Char('\n') +
                eventTitle(s.event) + separator + s.headline + QLatin1Char('\n') + s.people.join(QStringLiteral(", "));
    } else {
        text += separator + s.displayName + QLatin1Char('\n') + formatDateTime(s.dateTaken);
    }
    return text;
}

QString CBigImageView::dataText() const {
    const PictureRecord* p = picture();
    if (!p) return {};
    DataTextSource source;
    source.count = frame_.pictureCount();
    // A picture that is not in the strip (a search left it out) is number 0, as in the form.
    source.position = frame_.pictureIndex(p, frame_.document().pathName());
    const IptcBlock& data = p->iptc();
    source.event = data.event;
    source.dataDateTime = data.dateTime;
    source.location = data.location;
    source.city = data.city;
    source.state = data.state;
    source.headline = data.headline;
    source.people = data.people;
    source.displayName = p->fileName();
    source.dateTaken = p->dateTime();
    source.portrait = layout().portrait;
    return buildDataText(source);
}

// ---- Painting ----

void CBigImageView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    // Full screen shows the pictures on black, as a projection does; the pane keeps its white.
    painter.fillRect(viewport()->rect(), fullScreen_ ? Qt::black : Qt::white);
    const FrameLayout frameLayout = layout();
    if (picture()) {
        // Decoded on demand: also when the zoom or the pane asks for more pixels than were decoded.
        if (ensureImage(false)) {
            missingText_.clear();
            drawPicture(painter, frameLayout);
        } else {
            drawMissing(painter, frameLayout);
        }
        drawDataText(painter, frameLayout.text.translated(-scroll()), dataText());
    }
    drawFrame(painter);
}

void CBigImageView::drawPicture(QPainter& painter, const FrameLayout& frameLayout) {
    const QImage* image = shownImage();
    if (!image) return;
    const PictureMapping map = mapping();
    const QSize display = displaySize();
    if (display.isEmpty()) return;
    const double sx = double(image->width()) / display.width(), sy = double(image->height()) / display.height();
    const QRect source(qRound(map.shown.left() * sx), qRound(map.shown.top() * sy), qRound(map.shown.width() * sx),
                       qRound(map.shown.height() * sy));
    const QRectF target = frameLayout.picture.translated(-scroll());
    const QSize targetSize = target.size().toSize();
    if (zoom_ <= 1.0 && !targetSize.isEmpty()) {
        // Scaled once for this size; the frame, the crop drag and the marks repaint often.
        if (scaled_.isNull() || scaledKey_ != image->cacheKey() || scaledSource_ != source || scaledTarget_ != targetSize) {
            scaled_ = image->copy(source).scaled(targetSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            scaledKey_ = image->cacheKey();
            scaledSource_ = source;
            scaledTarget_ = targetSize;
        }
        painter.drawImage(target.topLeft(), scaled_);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, *image, QRectF(source));
    }

    // The slide show shows the pictures, not the crop tools.
    if (slideShow_) return;
    if (cropMarks_) drawCropRect(painter, cropOnScreen());
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    for (const QLine& line : markLines()) {
        // Two pixels wide, the second pixel inward of the line.
        if (line.dy() == 0)
            painter.fillRect(QRect(line.x1(), line.y1(), line.dx() + 1, 2), Qt::white);
        else
            painter.fillRect(QRect(line.x1(), line.y1(), 2, line.dy() + 1), Qt::white);
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void CBigImageView::drawCropRect(QPainter& painter, const QRect& crop) {
    // A 2-pixel line just inside the rectangle, black with white dashes, and 10 by 10 white squares
    // framed in black inside its corners: one of the two colours shows on any picture, where an
    // inverted line vanishes on mid grey.
    const int l = crop.left(), t = crop.top(), r = crop.right(), b = crop.bottom();
    const QRectF band(l + 1, t + 1, r - l - 1, b - t - 1);  // a 2-pixel pen covers pixels l..l+1, r-1..r
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.drawRect(band);
    QPen dashes(Qt::white, 2, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    dashes.setDashPattern({3, 3});  // in pen widths: 6 pixels white, 6 black
    painter.setPen(dashes);
    painter.drawRect(band);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    for (const QPoint& corner : {QPoint(l + 2, t + 2), QPoint(r - 11, t + 2), QPoint(l + 2, b - 11), QPoint(r - 11, b - 11)})
        painter.drawRect(QRect(corner, QSize(9, 9)));  // 10 by 10 pixels with the 1-pixel frame
    painter.restore();
}

void CBigImageView::drawMissing(QPainter& painter, const FrameLayout& frameLayout) {
    static const QImage notice(QStringLiteral(":/bigimage/notice.png"));
    const QFontMetrics metrics = painter.fontMetrics();
    const QRect textSize = metrics.boundingRect(QRect(0, 0, 1 << 16, 1 << 16), Qt::AlignLeft, missingText_);
    const int width = std::max(textSize.width(), notice.width()) + 20;
    const int height = notice.height() + textSize.height() + 30;
    QRectF around = frameLayout.picture.isEmpty()
                        ? QRectF(QPointF(kFrameWidth, kFrameWidth), QSizeF(clientSize()) - QSizeF(6, 6))
                        : frameLayout.picture;
    around.translate(-scroll());
    const QRect box(int(around.center().x()) - width / 2, int(around.center().y()) - height / 2, width, height);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(box);
    painter.drawImage(QPoint(box.center().x() - notice.width() / 2, box.top() + 10), notice);
    painter.drawText(QRect(box.left() + 10, box.top() + notice.height() + 20, width - 20, textSize.height()),
                     Qt::AlignHCenter | Qt::AlignTop, missingText_);
}

void CBigImageView::drawDataText(QPainter& painter, const QRect& area, const QString& text) {
    if (area.isEmpty()) return;
    painter.setPen(fullScreen_ ? Qt::lightGray : Qt::black);
    const QFontMetrics metrics = painter.fontMetrics();
    painter.save();
    painter.setClipRect(area);
    int y = area.top();
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (y >= area.bottom()) break;
        // Flags without Qt::TextShowMnemonic show "&" as itself.
        painter.drawText(QRect(area.left(), y, area.width(), metrics.lineSpacing()),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextExpandTabs,
                         elidedAtWord(metrics, line, area.width()));
        y += metrics.lineSpacing();
    }
    painter.restore();
}

void CBigImageView::drawFrame(QPainter& painter) {
    if (fullScreen_) return;
    const QColor colour = frame_.isActiveView(this) ? kActiveFrame : palette().color(QPalette::Button);
    const QRect all = viewport()->rect();
    const int w = all.width(), h = all.height(), f = kFrameWidth;
    painter.fillRect(0, 0, w, f, colour);
    painter.fillRect(0, h - f, w, f, colour);
    painter.fillRect(0, 0, f, h, colour);
    painter.fillRect(w - f, 0, f, h, colour);
}

// ---- Input ----

void CBigImageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void CBigImageView::scrollContentsBy(int, int) { viewport()->update(); }

void CBigImageView::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    Update();
}

void CBigImageView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    frame_.setActiveView(this);
}

void CBigImageView::activate() {
    frame_.setActiveView(this);
    if (!hasFocus()) setFocus(Qt::MouseFocusReason);
    viewport()->update();
}

void CBigImageView::zoomAt(QPoint point, bool in) {
    const QRect inner = QRect(QPoint(0, 0), clientSize()).adjusted(kFrameWidth, kFrameWidth, -kFrameWidth, -kFrameWidth);
    if (!inner.contains(point) || inner.isEmpty()) return;
    const QSizeF oldScaled = QSizeF(inner.size()) * zoom_;
    const QPointF content = QPointF(point + scroll() - inner.topLeft());
    const QPointF relative(content.x() / oldScaled.width(), content.y() / oldScaled.height());
    const double next = in ? zoomIn(zoom_) : zoomOut(zoom_);
    if (next == zoom_) return;
    zoom_ = next;
    updateScrollBars();
    const QSize scaled = (QSizeF(inner.size()) * zoom_).toSize();
    const QPoint position = zoomScrollPosition(relative, scaled, viewport()->size(), zoom_);
    horizontalScrollBar()->setValue(position.x());
    verticalScrollBar()->setValue(position.y());
    viewport()->update();
}

void CBigImageView::updateCursor(QPoint point) {
    if (slideShow_) {
        viewport()->setCursor(Qt::ArrowCursor);
        return;
    }
    static const QCursor zoomCursor(QPixmap(QStringLiteral(":/bigimage/zoom.png")), 12, 12);
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (zoomMode_) {
        if (pictureArea().contains(point)) {
            viewport()->setCursor(zoomCursor);
            return;
        }
    } else if (cropMarks_ && picture() && missingText_.isEmpty()) {
        switch (hitHandle(cropOnScreen(), point)) {
            case MoveHandle:
                shape = Qt::SizeAllCursor;
                break;
            case TopLeft:
            case BottomRight:
                shape = Qt::SizeFDiagCursor;
                break;
            case TopRight:
            case BottomLeft:
                shape = Qt::SizeBDiagCursor;
                break;
            case NoHandle:
                break;
        }
    }
    viewport()->setCursor(shape);
}

void CBigImageView::mousePressEvent(QMouseEvent* event) {
    activate();
    if (slideShow_) return;  // a click moves the show on when it is released; it never crops or zooms
    const QPoint point = event->position().toPoint();
    if (!picture()) return;
    if (zoomMode_) {
        if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
            zoomAt(point, event->button() == Qt::LeftButton);
        return;
    }
    if (event->button() != Qt::LeftButton || !cropMarks_ || !missingText_.isEmpty()) return;
    const Handle handle = hitHandle(cropOnScreen(), point);
    if (handle == NoHandle) return;
    drag_ = DragStart{handle, mapping().toPicture(QPointF(point + scroll())), QPoint(crop_.left, crop_.top)};
    dragging_ = true;
}

void CBigImageView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (!dragging_) {
        updateCursor(point);
        return;
    }
    const QPoint pointer = mapping().toPicture(QPointF(point + scroll()));
    const CropEdges next = dragStep(crop_, drag_, pointer, displaySize(), crossed_);
    if (next == crop_) return;
    crop_ = next;
    viewport()->update();
}

void CBigImageView::mouseReleaseEvent(QMouseEvent* event) {
    if (slideShow_) {
        if (event->button() == Qt::LeftButton)
            slideForward();
        else if (event->button() == Qt::RightButton)
            slideBack();
        return;
    }
    if (!dragging_ || event->button() != Qt::LeftButton) return;
    dragging_ = false;
    if (PictureRecord* p = picture()) writeInstructions(p->cropTo());
    viewport()->update();
}

void CBigImageView::mouseDoubleClickEvent(QMouseEvent*) {
    if (fullScreen_)
        leaveFullScreen();
    else if (!zoomMode_)
        emit showPictureDataRequested();
}

void CBigImageView::wheelEvent(QWheelEvent* event) {
    if (event->angleDelta().y() < 0)
        frame_.nextPicture();  // turned towards the user
    else if (event->angleDelta().y() > 0)
        frame_.previousPicture();
    QAbstractScrollArea::wheelEvent(event);
}

void CBigImageView::keyPressEvent(QKeyEvent* event) {
    // Full screen is a window of its own, out of reach of the frame's accelerators.
    if (fullScreen_ && event->key() == Qt::Key_Escape) {
        leaveFullScreen();
        event->accept();
        return;
    }
    if (slideShow_ && (event->key() == Qt::Key_Right || event->key() == Qt::Key_Space)) {
        slideForward();
        event->accept();
        return;
    }
    if (slideShow_ && event->key() == Qt::Key_Left) {
        slideBack();
        event->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

#include "thumbscrollwnd.h"

#include <QApplication>
#include <QHash>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>
#include <cmath>

#include "filebrowserview.h"
#include "browsecontext.h"
#include "snaploredoc.h"
#include "thumbnailmaker.h"

namespace stripicons {

namespace {

QPixmap canvas() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

}  // namespace

QPixmap flag() {
    // The caption moves only 10 pixels right for the flag, so its ink stays in the left 10 columns.
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.fillRect(QRect(1, 1, 2, 14), QColor(64, 64, 64));
    p.fillRect(QRect(3, 2, 7, 6), QColor(220, 0, 0));
    return pixmap;
}

QPixmap star() {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPolygonF polygon;
    for (int i = 0; i < 10; ++i) {
        const double radius = i % 2 ? 3.2 : 7.5;
        const double angle = -M_PI / 2 + i * M_PI / 5;
        polygon << QPointF(8 + radius * std::cos(angle), 8.5 + radius * std::sin(angle));
    }
    p.setPen(QPen(QColor(150, 110, 0), 1));
    p.setBrush(QColor(255, 200, 0));
    p.drawPolygon(polygon);
    return pixmap;
}

QPixmap folder() {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setPen(QColor(150, 110, 20));
    p.setBrush(QColor(240, 200, 80));
    p.drawRect(QRect(1, 2, 6, 3));
    p.drawRect(QRect(1, 4, 14, 10));
    return pixmap;
}

QPixmap event() {
    // A calendar sheet.
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setPen(QColor(80, 80, 80));
    p.setBrush(Qt::white);
    p.drawRect(QRect(1, 2, 14, 13));
    p.fillRect(QRect(2, 3, 13, 3), QColor(200, 30, 30));
    p.setPen(QColor(120, 120, 120));
    for (int y = 8; y <= 12; y += 2)
        for (int x = 3; x <= 12; x += 3) p.drawPoint(x, y);
    return pixmap;
}

QPixmap searchResults() {
    // A magnifying glass.
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.setBrush(QColor(200, 230, 255));
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.setPen(QPen(QColor(40, 40, 40), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(14, 14));
    return pixmap;
}

}  // namespace stripicons

CThumbScrollWnd::CThumbScrollWnd(BrowseContext& frame, QWidget* parent)
    : QAbstractScrollArea(parent),
      frame_(frame),
      flagMark_(stripicons::flag()),
      starMark_(stripicons::star()),
      loader_([this](int index) { return jobAt(index); }) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    QPalette framePalette = palette();
    framePalette.setColor(QPalette::WindowText, Qt::black);
    setPalette(framePalette);
    setFocusPolicy(Qt::NoFocus);
    viewport()->setAutoFillBackground(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The scroll state before the first list: range 0 to 100 with a page of 40.
    verticalScrollBar()->setRange(0, thumbstrip::scrollLimit({100, 40}));
    verticalScrollBar()->setPageStep(40);
    verticalScrollBar()->setSingleStep(thumbstrip::kLineStep);

    connect(&loader_, &ThumbnailLoader::thumbnailReady, this, &CThumbScrollWnd::thumbnailArrived);
    connect(&loader_, &ThumbnailLoader::allDone, this, &CThumbScrollWnd::thumbnailsDone);
}

CThumbScrollWnd::~CThumbScrollWnd() = default;

int CThumbScrollWnd::scrollPosition() const { return verticalScrollBar()->value(); }

QPoint CThumbScrollWnd::toStrip(QPoint viewportPoint) const { return viewportPoint + QPoint(0, scrollPosition()); }

QRect CThumbScrollWnd::boxInViewport(int index) const {
    if (index < 0 || index >= boxes_.size()) return {};
    return boxes_[index].translated(0, -scrollPosition());
}

QImage CThumbScrollWnd::thumbnailAt(int index) const {
    return index >= 0 && index < images_.size() ? images_[index] : QImage();
}

void CThumbScrollWnd::setEntries(const ThumbList& list) {
    // Thumbnails of pictures that stay (the same list shown again after a flag or a save) are kept.
    QHash<QString, QImage> previous;
    for (qsizetype i = 0; i < images_.size(); ++i)
        if (!images_[i].isNull()) previous.insert(keys_[i], images_[i]);

    entries_ = list;
    paths_ = thumbstrip::pathsOf(list);
    shapes_ = thumbstrip::shapesOf(list);
    boxes_ = thumbstrip::layout(shapes_);
    keys_.clear();
    images_.clear();
    for (const BrowserEntry* entry : list) {
        const PictureRecord* picture = entry->picture.get();
        const QString key = picture ? thumbnailjobs::keyOf(*picture) : QString();
        QImage image = previous.value(key);
        // A record that made its thumbnail already (it was drawn elsewhere) needs no work.
        if (image.isNull() && picture && picture->thumbnailSource() != PictureRecord::ThumbnailSource::None)
            image = picture->thumbnailImage();
        keys_.append(key);
        images_.append(image);
    }
    pressedIndex_ = -1;
    loader_.reset(int(entries_.size()));

    const int previousPosition = scrollPosition();
    updateScrollRange();
    if (autoScroll_)
        documentChanged();
    else
        verticalScrollBar()->setValue(previousPosition);
    viewport()->update();
}

void CThumbScrollWnd::updateScrollRange() {
    range_ = thumbstrip::scrollRange(boxes_, viewport()->height());
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, thumbstrip::scrollLimit(range_));
    bar->setPageStep(std::max(range_.page, 1));
    bar->setSingleStep(thumbstrip::kLineStep);
}

void CThumbScrollWnd::documentChanged() {
    if (autoScroll_) {
        current_ = thumbstrip::indexOfPath(paths_, frame_.document().pathName());
        verticalScrollBar()->setValue(thumbstrip::scrollTarget(boxes_, current_));
    }
    viewport()->update();
}

bool CThumbScrollWnd::isOpenPicture(int index, int openIndex) const {
    const PictureRecord* open = frame_.document().picture();
    return index == openIndex || (open && entries_[index]->picture.get() == open);
}

bool CThumbScrollWnd::openEntry(int index, bool keepScroll) {
    if (index < 0 || index >= entries_.size()) return false;
    BrowserEntry* entry = entries_[index];
    // The strip does not jump under the mouse while the user clicks in it.
    autoScroll_ = !keepScroll;
    const bool opened = entry->picture ? frame_.document().OpenCatalogEntry(entry->picture.get())
                                       : frame_.document().OpenPictureFile(entry->path);
    autoScroll_ = true;
    // The save question runs an event loop: the list may have been replaced meanwhile.
    if (opened && index < entries_.size() && entries_[index] == entry) current_ = index;
    viewport()->update();
    return opened;
}

std::optional<ThumbnailJob> CThumbScrollWnd::jobAt(int index) const {
    if (index < 0 || index >= entries_.size() || !images_[index].isNull()) return std::nullopt;
    const PictureRecord* picture = entries_[index]->picture.get();
    if (!picture) return std::nullopt;
    return thumbnailjobs::jobFor(*picture);
}

void CThumbScrollWnd::thumbnailArrived(int index, const QString& key, const QImage& image) {
    if (index < 0 || index >= keys_.size() || keys_[index] != key || image.isNull()) return;
    images_[index] = image;
    // Only that box (and its red mark) is painted again.
    viewport()->update(boxInViewport(index).adjusted(-3, -3, 3, 3));
}

void CThumbScrollWnd::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), Qt::white);
    const int scroll = scrollPosition();
    const QList<int> visible = thumbstrip::visibleBoxes(boxes_, scroll, viewport()->size());
    painter.translate(0, -scroll);
    const int openIndex = thumbstrip::indexOfPath(paths_, frame_.document().pathName());
    QList<int> waiting;
    for (int index : visible) {
        paintBox(painter, index, isOpenPicture(index, openIndex));
        if (images_[index].isNull()) waiting.append(index);
    }
    // The boxes on screen are made before the rest of the list.
    if (!waiting.isEmpty()) loader_.prefer(waiting);
}

void CThumbScrollWnd::paintBox(QPainter& painter, int index, bool open) {
    const QRect box = boxes_[index];
    const BrowserEntry& entry = *entries_[index];
    const int width = viewport()->width();

    if (open) {
        // A 2-pixel pen centred one pixel outside the box covers the two pixels around it.
        painter.setPen(QPen(Qt::red, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(box).adjusted(-1, -1, 1, 1));
    }

    const QImage& image = images_[index];
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (image.isNull()) {
        const QSize display = shapes_[index].display;
        painter.drawImage(box, thumbnails::placeholder(display.width() > display.height()));
    } else {
        painter.drawImage(QRectF(box), image, thumbstrip::sourceRect(shapes_[index], box.size(), image.size()));
    }
    painter.restore();

    const bool starred = thumbstrip::isStarred(entry);
    const thumbstrip::CaptionLayout caption = thumbstrip::captionLayout(box, width, entry.flagged, starred);
    if (entry.flagged) painter.drawPixmap(caption.flag, flagMark_);
    if (starred) painter.drawPixmap(caption.star, starMark_);
    const QString text =
        painter.fontMetrics().elidedText(thumbstrip::captionText(entry), Qt::ElideRight, caption.text.width());
    painter.setPen(Qt::black);
    painter.drawText(caption.text, thumbstrip::kTextFlags, text);
    painter.drawLine(0, caption.lineY, width, caption.lineY);
}

void CThumbScrollWnd::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    const int position = scrollPosition();
    updateScrollRange();
    verticalScrollBar()->setValue(position);
}

void CThumbScrollWnd::mousePressEvent(QMouseEvent* event) {
    emit activated();
    if (event->button() != Qt::LeftButton) return;
    const int index = thumbstrip::hitTest(boxes_, toStrip(event->position().toPoint()));
    if (index < 0) return;
    BrowserEntry* entry = entries_[index];
    if (index != current_) openEntry(index, true);
    // A drag may start from here; a release without moving ends it.
    if (index < entries_.size() && entries_[index] == entry && entry->picture) {
        pressedIndex_ = index;
        pressPoint_ = event->position().toPoint();
    }
}

void CThumbScrollWnd::mouseMoveEvent(QMouseEvent* event) {
    if (pressedIndex_ < 0 || !(event->buttons() & Qt::LeftButton)) return;
    if ((event->position().toPoint() - pressPoint_).manhattanLength() < QApplication::startDragDistance()) return;
    const int index = pressedIndex_;
    pressedIndex_ = -1;
    if (index < entries_.size() && entries_[index]->picture) frame_.startPictureDrag(*entries_[index]->picture, this);
}

void CThumbScrollWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressedIndex_ = -1;
        return;
    }
    if (event->button() != Qt::RightButton) return;
    const int index = thumbstrip::hitTest(boxes_, toStrip(event->position().toPoint()), thumbstrip::kHitShift);
    if (index < 0) return;
    BrowserEntry* entry = entries_[index];
    if (index != current_) openEntry(index, true);
    if (index >= entries_.size() || entries_[index] != entry) return;
    QMenu* menu = createContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPosition().toPoint());
}

QMenu* CThumbScrollWnd::createContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    const auto add = [menu](const QString& text, int id, bool enabled) {
        QAction* action = menu->addAction(text);
        action->setData(id);
        action->setEnabled(enabled);
        return action;
    };
    connect(add(QStringLiteral("Set Flag"), 213, true), &QAction::triggered, this, [this] { setFlag(true); });
    connect(add(QStringLiteral("Remove Flag"), 214, true), &QAction::triggered, this, [this] { setFlag(false); });
    const bool print = frame_.printEnabled();
    connect(add(QStringLiteral("Print..."), 217, print), &QAction::triggered, this, [this] { frame_.runPrint(false); });
    connect(add(QStringLiteral("Print Preview..."), 218, print), &QAction::triggered, this,
            [this] { frame_.runPrint(true); });
    connect(add(QStringLiteral("Save as..."), 173, true), &QAction::triggered, this, [this] { frame_.runSaveAs(); });
    return menu;
}

void CThumbScrollWnd::setFlag(bool flagged) {
    // The browser flags its selected item, which is the picture just opened from the strip.
    if (CFileBrowserView* browser = frame_.browser()) browser->setFlagOnSelected(flagged);
    viewport()->update();
}

void CThumbScrollWnd::wheelEvent(QWheelEvent* event) {
    // One line per notch of 120; finer wheels add up to whole notches.
    wheelRest_ += event->angleDelta().y();
    const int notches = wheelRest_ / 120;
    wheelRest_ -= notches * 120;
    if (notches != 0) verticalScrollBar()->setValue(scrollPosition() - notches * thumbstrip::kLineStep);
    event->accept();
}

void CThumbScrollWnd::keyPressEvent(QKeyEvent* event) {
    // The navigation keys belong to the view (on release); the strip must not scroll with them.
    switch (event->key()) {
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Up:
        case Qt::Key_Down:
            event->ignore();
            return;
        default:
            QAbstractScrollArea::keyPressEvent(event);
    }
}

bool CThumbScrollWnd::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = thumbstrip::hitTest(boxes_, toStrip(help->pos()), thumbstrip::kHitShift);
        if (index < 0) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), thumbstrip::toolTipText(thumbstrip::captionText(*entries_[index])),
                               viewport(), boxInViewport(index).translated(-thumbstrip::kHitShift, 0));
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

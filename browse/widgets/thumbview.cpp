#include "thumbview.h"

#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QToolTip>

#include "catalogfile.h"
#include "browsecontext.h"
#include "snaploredoc.h"
#include "thumbscrollwnd.h"

namespace {

// The frame of the active view.
const QColor kActiveFrame(0, 85, 229);

QPixmap iconFor(thumbstrip::TitleIcon icon) {
    switch (icon) {
        case thumbstrip::TitleIcon::Folder:
            return stripicons::folder();
        case thumbstrip::TitleIcon::Event:
            return stripicons::event();
        case thumbstrip::TitleIcon::SearchResults:
            return stripicons::searchResults();
        case thumbstrip::TitleIcon::None:
            break;
    }
    return {};
}

}  // namespace

CThumbView::CThumbView(BrowseContext& frame, QWidget* parent) : QWidget(parent), frame_(frame) {
    setFocusPolicy(Qt::StrongFocus);
    icon_ = new QLabel(this);
    icon_->setGeometry(4, 4, 16, 16);
    icon_->hide();
    strip_ = new CThumbScrollWnd(frame_, this);
    connect(strip_, &CThumbScrollWnd::activated, this, &CThumbView::activate);
    connect(&frame_.document(), &CSnaploreDoc::updateAllViews, this, &CThumbView::documentChanged);
    title_ = thumbstrip::listTitle({}, false, {});
}

CThumbView::~CThumbView() = default;

void CThumbView::ShowList(const ThumbList& list, bool searchFlag) {
    title_ = thumbstrip::listTitle(list, searchFlag,
                                   [](const QString& folder) { return CatalogFile::version(folder) != 0; });
    const QPixmap icon = iconFor(title_.icon);
    icon_->setPixmap(icon);
    icon_->setVisible(!icon.isNull());

    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    strip_->setEntries(list);
    QGuiApplication::restoreOverrideCursor();

    list_ = list;
    totalSize_ = thumbstrip::totalSize(list_);
    update(0, 0, width(), thumbstrip::kTitleHeight);
    emit listShown();
}

QString CThumbView::titleText() const { return thumbstrip::titleText(title_.title, list_.size(), totalSize_); }

QString CThumbView::NextPath() const {
    return thumbstrip::nextPath(thumbstrip::pathsOf(list_), frame_.document().pathName());
}

bool CThumbView::prepareToMove() {
    CSnaploreDoc& document = frame_.document();
    if (!document.SaveModified()) return false;
    // Saved or discarded: the open below must not ask a second time.
    document.setModified(false);
    return true;
}

void CThumbView::open(std::optional<int> index) {
    if (index) strip_->openEntry(*index);
}

void CThumbView::First() {
    if (prepareToMove()) open(thumbstrip::firstTarget(list_.size()));
}

void CThumbView::Last() {
    if (prepareToMove()) open(thumbstrip::lastTarget(list_.size()));
}

void CThumbView::Next() {
    if (prepareToMove()) open(thumbstrip::nextTarget(thumbstrip::pathsOf(list_), frame_.document().pathName()));
}

void CThumbView::Prev() {
    if (prepareToMove()) open(thumbstrip::prevTarget(thumbstrip::pathsOf(list_), frame_.document().pathName()));
}

void CThumbView::documentChanged() {
    strip_->documentChanged();
    update();
}

void CThumbView::activate() {
    frame_.setActiveView(this);
    if (!hasFocus()) setFocus(Qt::MouseFocusReason);
    update();
}

void CThumbView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor face = palette().color(QPalette::Button);
    painter.fillRect(rect(), face);

    const QRect textRect(24, 3, std::max(0, width() - 24), thumbstrip::kTitleHeight - 3);
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(textRect, thumbstrip::kTextFlags,
                     painter.fontMetrics().elidedText(titleText(), Qt::ElideRight, textRect.width()));

    // The 3-pixel frame just inside the view tells which view is active.
    const QColor frameColour = frame_.isActiveView(this) ? kActiveFrame : face;
    const int w = width(), h = height();
    painter.fillRect(0, 0, w, 3, frameColour);
    painter.fillRect(0, h - 3, w, 3, frameColour);
    painter.fillRect(0, 0, 3, h, frameColour);
    painter.fillRect(w - 3, 0, 3, h, frameColour);
}

void CThumbView::resizeEvent(QResizeEvent*) {
    strip_->setGeometry(5, thumbstrip::kTitleHeight, std::max(0, width() - 10), std::max(0, height() - 30));
}

void CThumbView::keyReleaseEvent(QKeyEvent* event) {
    // With a modifier the frame's accelerators (Ctrl+Home and the like) have acted already.
    if (event->isAutoRepeat() || event->modifiers() != Qt::NoModifier) return QWidget::keyReleaseEvent(event);
    switch (event->key()) {
        case Qt::Key_Home:
            First();
            break;
        case Qt::Key_End:
            Last();
            break;
        case Qt::Key_Up:
            Prev();
            break;
        case Qt::Key_Down:
            Next();
            break;
        default:
            return QWidget::keyReleaseEvent(event);
    }
    event->accept();
}

void CThumbView::mousePressEvent(QMouseEvent* event) {
    activate();
    QWidget::mousePressEvent(event);
}

void CThumbView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    frame_.setActiveView(this);
    update();
}

bool CThumbView::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::ToolTip: {
            auto* help = static_cast<QHelpEvent*>(event);
            const QRect area(0, 0, 200, 20);
            if (area.contains(help->pos()))
                QToolTip::showText(help->globalPos(), thumbstrip::toolTipText(titleText()), this, area);
            else
                QToolTip::hideText();
            return true;
        }
        case QEvent::FocusOut:
        case QEvent::WindowActivate:
        case QEvent::WindowDeactivate:
            update();
            break;
        default:
            break;
    }
    return QWidget::event(event);
}

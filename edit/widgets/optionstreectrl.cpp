#include "optionstreectrl.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QSet>
#include <QTreeWidgetItemIterator>

#include "addoptionsdlg.h"
#include "picdataview.h"
#include "prompter.h"
#include "snaploredoc.h"

namespace {

constexpr int kRecordRole = Qt::UserRole;

// Lets a window that knows nothing of the options tree take its drops.
class OptionsDropFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* target = qobject_cast<QWidget*>(watched);
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto* move = static_cast<QDragMoveEvent*>(event);
                if (!COptionsTreeCtrl::canDropOn(move, target)) return false;
                move->acceptProposedAction();
                return true;
            }
            case QEvent::Drop: {
                auto* drop = static_cast<QDropEvent*>(event);
                if (!COptionsTreeCtrl::dropOn(drop, target)) return false;
                drop->acceptProposedAction();
                return true;
            }
            default:
                return false;
        }
    }
};

QPixmap optionImage(int index) {
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
        case ImagePerson:
            p.setPen(QPen(QColor(40, 70, 140), 1));
            p.setBrush(QColor(240, 200, 160));
            p.drawEllipse(QRectF(5, 1.5, 6, 6));
            p.setBrush(QColor(70, 110, 200));
            p.drawRoundedRect(QRectF(2.5, 8.5, 11, 7), 3, 3);
            break;
        case ImageGroup: {
            p.setPen(QPen(QColor(160, 120, 30), 1));
            p.setBrush(QColor(240, 200, 90));
            QPainterPath folder;
            folder.moveTo(1.5, 4.5);
            folder.lineTo(6, 4.5);
            folder.lineTo(7.5, 2.5);
            folder.lineTo(14.5, 2.5);
            folder.lineTo(14.5, 13.5);
            folder.lineTo(1.5, 13.5);
            folder.closeSubpath();
            p.drawPath(folder);
            break;
        }
        case ImagePlace: {
            p.setPen(QPen(QColor(140, 30, 30), 1));
            p.setBrush(QColor(220, 60, 50));
            QPainterPath pin;
            pin.moveTo(8, 15);
            pin.cubicTo(3, 9, 3, 1, 8, 1);
            pin.cubicTo(13, 1, 13, 9, 8, 15);
            p.drawPath(pin);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(8, 6), 2, 2);
            break;
        }
        default:  // a thing
            p.setPen(QPen(QColor(60, 120, 60), 1));
            p.setBrush(QColor(130, 200, 110));
            p.drawRect(QRectF(2.5, 5.5, 11, 9));
            p.drawLine(QPointF(2.5, 5.5), QPointF(5.5, 2.5));
            p.drawLine(QPointF(13.5, 5.5), QPointF(10.5, 2.5));
            p.drawLine(QPointF(5.5, 2.5), QPointF(10.5, 2.5));
            break;
    }
    return QPixmap::fromImage(image);
}

QIcon optionIcon(int index) { return QIcon(optionImage(index >= ImageThing && index <= ImagePlace ? index : ImageThing)); }

}  // namespace

COptionsTreeCtrl::COptionsTreeCtrl(SettingsStore& store, Prompter& prompter, CSnaploreDoc& document, QWidget* parent)
    : QTreeWidget(parent), store_(store), prompter_(prompter), document_(document) {
    setHeaderHidden(true);
    setColumnCount(2);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
    header()->setSectionResizeMode(kHotkeyColumn, QHeaderView::ResizeToContents);
    setRootIsDecorated(true);
    setIconSize(QSize(16, 16));
    setIndentation(16);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setUniformRowHeights(true);
    QPalette white = palette();
    white.setColor(QPalette::Base, Qt::white);
    setPalette(white);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &COptionsTreeCtrl::syncSelectedList);
    Reload();
}

COptionsTreeCtrl::~COptionsTreeCtrl() {
    // The items point at the records: they go first.
    clear();
}

void COptionsTreeCtrl::setForm(CPicDataView* form) { form_ = form; }

const OptionRecord* COptionsTreeCtrl::recordOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<const OptionRecord*>(item->data(0, kRecordRole).value<quintptr>()) : nullptr;
}

void COptionsTreeCtrl::syncSelectedList() {
    // The list keeps the order in which items were selected; the tree's selection says which.
    const QList<QTreeWidgetItem*> now = selectedItems();
    selected_.removeIf([&now](QTreeWidgetItem* item) { return !now.contains(item); });
    for (QTreeWidgetItem* item : now)
        if (!selected_.contains(item)) selected_.append(item);
}

// ---- Reload ----

void COptionsTreeCtrl::Reload() {
    // What the user opened and where the tree stood, by shown path: the items are made anew.
    QSet<QString> expanded;
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if ((*it)->isExpanded()) expanded.insert(OptionPathOf(*it));
    const QString current = currentItem() ? OptionPathOf(currentItem()) : QString();
    const int scrolled = verticalScrollBar()->value();

    selected_.clear();
    clear();
    records_ = OptionsStore(store_).load();
    if (records_.empty()) {
        const int images[] = {ImageGroup, ImageThing, ImageThing};
        const QStringList names = OptionsStore::defaultCategories();
        for (int i = 0; i < names.size(); ++i) {
            auto* item = new QTreeWidgetItem(this, QStringList{names[i]});
            item->setIcon(0, optionIcon(images[i]));
        }
        return;
    }
    addRecords(nullptr, records_);
    for (int i = 0; i < topLevelItemCount(); ++i) topLevelItem(i)->setExpanded(true);
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        const QString path = OptionPathOf(*it);
        if (expanded.contains(path)) (*it)->setExpanded(true);
        if (!current.isEmpty() && path == current) setCurrentItem(*it);
    }
    verticalScrollBar()->setValue(scrolled);
}

void COptionsTreeCtrl::addRecords(QTreeWidgetItem* parent, const OptionRecords& records) {
    for (const auto& record : records) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setText(0, record->text);
        item->setIcon(0, optionIcon(int(record->icon)));
        showHotkey(item, record->hotkey);
        item->setData(0, kRecordRole, QVariant::fromValue(reinterpret_cast<quintptr>(record.get())));
        addRecords(item, record->children);
    }
}

void COptionsTreeCtrl::showHotkey(QTreeWidgetItem* item, quint32 keyCode) {
    const QString name = OptionsStore::hotkeyName(keyCode);
    item->setText(kHotkeyColumn, name.isEmpty() ? QString() : QStringLiteral("Ctrl+") + name);
    item->setForeground(kHotkeyColumn, palette().color(QPalette::Disabled, QPalette::Text));
}

QTreeWidgetItem* COptionsTreeCtrl::findItem(const QStringList& shownPath) const {
    QTreeWidgetItem* found = nullptr;
    for (const QString& text : shownPath) {
        const int count = found ? found->childCount() : topLevelItemCount();
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < count && !next; ++i) {
            QTreeWidgetItem* child = found ? found->child(i) : topLevelItem(i);
            if (child->text(0) == text) next = child;
        }
        if (!next) return nullptr;
        found = next;
    }
    return found;
}

QString COptionsTreeCtrl::OptionPathOf(const QTreeWidgetItem* item) const {
    QStringList texts;
    for (; item; item = item->parent()) texts.prepend(item->text(0));
    return OptionPath(texts);
}

// ---- Add and Remove ----

void COptionsTreeCtrl::Add() {
    CAddOptionsDlg dialog(store_, prompter_, this);
    dialog.setOptionPath(OptionPathOf(currentItem()));
    if (dialog.exec() == QDialog::Accepted) Reload();
}

void COptionsTreeCtrl::Remove() {
    QTreeWidgetItem* item = currentItem();
    if (!item) return;
    const OptionRecord* record = recordOf(item);
    if (!item->parent() || !record) {
        QApplication::beep();
        return;
    }
    QStringList shown;
    for (const QTreeWidgetItem* level = item; level; level = level->parent()) shown.prepend(level->text(0));
    const QString question = QStringLiteral("Are you sure you want to delete\n<%1>").arg(shown.join(QLatin1Char(':')));
    if (prompter_.messageBox(question, QStringLiteral("Warning"), mb::YesNoCancel | mb::IconExclamation) != id::Yes)
        return;
    // The key is found by its stored names, so that an order prefix anywhere on the way is kept.
    OptionsStore(store_).remove(*record);
    Reload();
}

// ---- Applying entries ----

void COptionsTreeCtrl::apply(const OptionRecord& record, ApplyBy how) {
    if (!form_) return;
    const OptionEffect effect = optionEffect(record, how);
    for (const QString& person : effect.people) form_->AddPerson(person);
    if (effect.place) {
        const auto& place = *effect.place;
        form_->SetPlace(place[0], place[1], place[2], place[3]);
    }
}

void COptionsTreeCtrl::ApplyOptionToForm(QTreeWidgetItem* item) {
    if (const OptionRecord* record = recordOf(item)) apply(*record, ApplyBy::Drop);
}

void COptionsTreeCtrl::ApplyHotkey(int keyCode) {
    for (const OptionRecord* record : recordsWithHotkey(records_, quint32(keyCode))) apply(*record, ApplyBy::Hotkey);
}

void COptionsTreeCtrl::AssignHotkey(int keyCode) {
    QTreeWidgetItem* item = currentItem();
    auto* record = const_cast<OptionRecord*>(recordOf(item));
    if (!record || !OptionsStore(store_).setHotkey(*record, quint32(keyCode))) {
        QApplication::beep();
        return;
    }
    showHotkey(item, record->hotkey);
}

// ---- Drag and drop ----

bool COptionsTreeCtrl::acceptsDropOn(const QWidget* target) const {
    if (!target || !document_.picture()) return false;
    const auto within = [target](const QWidget* view) { return view && (view == target || view->isAncestorOf(target)); };
    return within(form_) || within(largeView_);
}

bool COptionsTreeCtrl::dropSelectionOn(const QWidget* target) {
    if (!acceptsDropOn(target)) return false;
    // Applying changes nothing in the tree, but the list is copied as the form may take the focus.
    const QList<QTreeWidgetItem*> items = selected_;
    for (QTreeWidgetItem* item : items) ApplyOptionToForm(item);
    return true;
}

bool COptionsTreeCtrl::canDropOn(const QDropEvent* event, const QWidget* target) {
    const auto* tree = qobject_cast<const COptionsTreeCtrl*>(event->source());
    return tree && event->mimeData()->hasFormat(kMimeType) && tree->acceptsDropOn(target);
}

bool COptionsTreeCtrl::dropOn(QDropEvent* event, const QWidget* target) {
    auto* tree = qobject_cast<COptionsTreeCtrl*>(event->source());
    return tree && event->mimeData()->hasFormat(kMimeType) && tree->dropSelectionOn(target);
}

void COptionsTreeCtrl::installDropTarget(QWidget* target) {
    target->setAcceptDrops(true);
    target->installEventFilter(new OptionsDropFilter(target));
}

QPixmap COptionsTreeCtrl::dragPixmap(QPoint* hotSpot) const {
    // One picture of all selected items at their places in the tree.
    QRect bounds;
    for (QTreeWidgetItem* item : selected_) bounds |= visualItemRect(item);
    bounds &= viewport()->rect();
    if (bounds.isEmpty()) return {};
    QPixmap pixmap(bounds.size());
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setOpacity(0.8);
    for (QTreeWidgetItem* item : selected_) {
        const QRect rect = visualItemRect(item) & viewport()->rect();
        if (!rect.isEmpty()) painter.drawPixmap(rect.topLeft() - bounds.topLeft(), viewport()->grab(rect));
    }
    *hotSpot = viewport()->mapFromGlobal(QCursor::pos()) - bounds.topLeft();
    return pixmap;
}

void COptionsTreeCtrl::startDrag(Qt::DropActions) {
    // Groups, categories and the default categories never drag.
    const OptionRecord* record = recordOf(currentItem());
    if (!record || !record->draggable() || selected_.isEmpty()) return;
    auto* mime = new QMimeData;
    mime->setData(kMimeType, OptionPathOf(currentItem()).toUtf8());
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    QPoint hotSpot;
    const QPixmap pixmap = dragPixmap(&hotSpot);
    if (!pixmap.isNull()) {
        drag->setPixmap(pixmap);
        drag->setHotSpot(hotSpot);
    }
    drag->exec(Qt::CopyAction);
}

// ---- Context menu ----

QIcon COptionsTreeCtrl::addIcon() {
    QPixmap pixmap = optionImage(ImagePerson);
    QPainter p(&pixmap);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 140, 60));
    p.drawRect(10, 0, 2, 6);
    p.drawRect(8, 2, 6, 2);
    return QIcon(pixmap);
}

QIcon COptionsTreeCtrl::removeIcon() {
    QPixmap pixmap = optionImage(ImagePerson);
    QPainter p(&pixmap);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(190, 40, 40));
    p.drawRect(8, 2, 6, 2);
    return QIcon(pixmap);
}

QMenu* COptionsTreeCtrl::createContextMenu(QWidget* parent) {
    QTreeWidgetItem* item = currentItem();
    if (!item || !item->isSelected()) return nullptr;
    auto* menu = new QMenu(parent);
    const auto add = [menu](const QString& text, int command, bool enabled) {
        QAction* action = menu->addAction(text);
        action->setData(command);
        action->setEnabled(enabled);
    };
    const OptionRecord* record = recordOf(item);
    add(QStringLiteral("Add..."), AddCommand, true);
    add(QStringLiteral("Remove..."), RemoveCommand, record && record->kind != quint32(OptionKind::Category));
    add(QStringLiteral("Refresh"), RefreshCommand, true);
    // Entries that applying puts into the form may carry a hot key; Ctrl and the key apply them.
    QMenu* hotkeys = menu->addMenu(QStringLiteral("Assign Hot Key"));
    hotkeys->setEnabled(record && record->parent && record->draggable());
    for (int command = HotkeyNoneCommand; command <= HotkeyLastCommand; ++command) {
        const quint32 code = command == HotkeyNoneCommand ? 0 : OptionsStore::kFirstHotkey + (command - HotkeyNoneCommand - 1);
        QAction* action = hotkeys->addAction(code ? QStringLiteral("Ctrl+") + OptionsStore::hotkeyName(code)
                                                  : QStringLiteral("None"));
        action->setData(command);
        action->setCheckable(true);
        action->setChecked(record && record->hotkey == code);
    }
    menu->addSeparator();
    add(QStringLiteral("MoveUp"), MoveUpCommand, false);
    add(QStringLiteral("MoveDown"), MoveDownCommand, false);
    return menu;
}

void COptionsTreeCtrl::runCommand(int command) {
    switch (command) {
        case AddCommand:
            Add();
            break;
        case RemoveCommand:
            Remove();
            break;
        case RefreshCommand:
            Reload();
            break;
        default:
            if (command >= HotkeyNoneCommand && command <= HotkeyLastCommand)
                AssignHotkey(command == HotkeyNoneCommand
                                 ? 0
                                 : int(OptionsStore::kFirstHotkey) + command - HotkeyNoneCommand - 1);
            break;
    }
}

void COptionsTreeCtrl::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu(createContextMenu(this));
    if (!menu) return;
    event->accept();
    const QRect rect = visualItemRect(currentItem());
    const QAction* chosen = menu->exec(viewport()->mapToGlobal(rect.bottomLeft()));
    // The command runs once the menu has closed.
    if (chosen) runCommand(chosen->data().toInt());
}

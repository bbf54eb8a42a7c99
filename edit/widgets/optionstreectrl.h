#pragma once
// The tree of people, places and things (the options store) in the browser's pane. Its entries go
// into the picture data form by drag and drop onto the form or the large picture view, or by the
// hot keys Ctrl+F1 to Ctrl+F12; its context menu adds (through the Add Options dialog) and removes
// entries. Ctrl+click selects several entries; a drag carries all of them, in the order selected.
//
// A drop target (the form, the large picture view) accepts an options drag when canDropOn() says so
// and hands the drop to dropOn(); the tree decides which windows qualify.

#include <QList>
#include <QPointer>
#include <QTreeWidget>

#include "optionsstore.h"

class CPicDataView;
class CSnaploreDoc;
class Prompter;
class QDropEvent;
class QMenu;
class SettingsStore;

class COptionsTreeCtrl : public QTreeWidget {
    Q_OBJECT
public:
    // Commands of the context menu (popup 173).
    enum Command : int { AddCommand = 189, RemoveCommand = 190, RefreshCommand = 191, MoveUpCommand = 210,
                         MoveDownCommand = 211,
                         // "Assign Hot Key": none, then Ctrl+F1 .. Ctrl+F12 as this plus 1 .. 12.
                         HotkeyNoneCommand = 1240, HotkeyLastCommand = HotkeyNoneCommand + 12 };
    // The column that shows an item's hot key beside it.
    static constexpr int kHotkeyColumn = 1;
    static inline const QString kMimeType = QStringLiteral("application/x-snaplore-options");

    COptionsTreeCtrl(SettingsStore& store, Prompter& prompter, CSnaploreDoc& document, QWidget* parent = nullptr);
    ~COptionsTreeCtrl() override;

    // Where entries go, and the second window that takes drops.
    void setForm(CPicDataView* form);
    void setLargeView(QWidget* view) { largeView_ = view; }

    // Reads the store again; an empty store shows the three categories without records. Branches the
    // user opened stay open and the current item stays current, as far as they are still there.
    void Reload();
    // Context menu "Add...": the Add Options dialog, prefilled from the selected item.
    void Add();
    // Context menu "Remove...": deletes the selected item's key and its subtree after the question.
    void Remove();
    // Ctrl+F1..Ctrl+F12 (key codes 112..123): applies every record with that hot key.
    void ApplyHotkey(int keyCode);
    // Context menu "Assign Hot Key": gives the selected entry the key code (112..123), or none for 0.
    void AssignHotkey(int keyCode);
    // Puts one item into the form, as a drop does.
    void ApplyOptionToForm(QTreeWidgetItem* item);

    // The item's shown texts from the root, joined by ":::".
    QString OptionPathOf(const QTreeWidgetItem* item) const;
    static const OptionRecord* recordOf(const QTreeWidgetItem* item);
    // The selected items in the order they were selected.
    const QList<QTreeWidgetItem*>& selectedList() const { return selected_; }
    QTreeWidgetItem* findItem(const QStringList& shownPath) const;

    // A drop target qualifies while a picture is open: the form or any of its controls, or the large
    // picture view.
    bool acceptsDropOn(const QWidget* target) const;
    // Applies the selected items, in selection order, when `target` qualifies.
    bool dropSelectionOn(const QWidget* target);
    // For drop targets: whether the drag comes from an options tree and may drop on `target`, and the
    // drop itself.
    static bool canDropOn(const QDropEvent* event, const QWidget* target);
    static bool dropOn(QDropEvent* event, const QWidget* target);
    // Makes `target` take options drags (with canDropOn and dropOn) besides its own drag handling.
    static void installDropTarget(QWidget* target);

    // The context menu for the selected item; null when nothing is selected. Each action carries its
    // command id as data.
    QMenu* createContextMenu(QWidget* parent);
    // The browser's Add Keywords and Remove Keywords buttons.
    static QIcon addIcon();
    static QIcon removeIcon();
    void runCommand(int command);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    void syncSelectedList();
    void addRecords(QTreeWidgetItem* parent, const OptionRecords& records);
    void showHotkey(QTreeWidgetItem* item, quint32 keyCode);
    void apply(const OptionRecord& record, ApplyBy how);
    QPixmap dragPixmap(QPoint* hotSpot) const;

    SettingsStore& store_;
    Prompter& prompter_;
    CSnaploreDoc& document_;
    QPointer<CPicDataView> form_;
    QPointer<QWidget> largeView_;
    OptionRecords records_;
    QList<QTreeWidgetItem*> selected_;
};

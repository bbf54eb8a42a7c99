#pragma once
// The platform's own message box for a classic flag word (button set, icon, default button, Help,
// topmost): a QMessageBox whose answer is mapped back to the classic ids.

#include <QString>
#include <QUrl>

class QWidget;

// Returns the id of the button pressed (id::Ok, id::Yes, ...). The Help button opens `helpPage` and
// leaves the box up, as a help file would have opened beside it.
int standardMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned flags,
                       const QUrl& helpPage);

// The owner of a box shown without one: the active modal dialog, else the active window.
QWidget* defaultMessageOwner();

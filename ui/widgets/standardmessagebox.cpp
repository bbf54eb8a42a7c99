#include "standardmessagebox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QHash>
#include <QMessageBox>
#include <QPushButton>

#include "choicelogic.h"
#include "prompter.h"

namespace {

QMessageBox::Icon iconOf(unsigned flags) {
    switch (flags & 0xF0) {
        case mb::IconStop:
            return QMessageBox::Critical;
        case mb::IconQuestion:
            return QMessageBox::Question;
        case mb::IconExclamation:
            return QMessageBox::Warning;
        case mb::IconInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

QMessageBox::ButtonRole roleOf(int buttonId) {
    switch (buttonId) {
        case id::Ok:
            return QMessageBox::AcceptRole;
        case id::Cancel:
            return QMessageBox::RejectRole;
        case id::Yes:
            return QMessageBox::YesRole;
        case id::No:
            return QMessageBox::NoRole;
        case id::HelpButton:
            return QMessageBox::HelpRole;
        default:
            return QMessageBox::ActionRole;
    }
}

}  // namespace

QWidget* defaultMessageOwner() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

int standardMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned flags,
                       const QUrl& helpPage) {
    QMessageBox box(owner ? owner : defaultMessageOwner());
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setWindowTitle(choice::effectiveCaption(caption));
    box.setIcon(iconOf(flags));
    if (flags & (mb::TopMost | mb::SystemModal)) box.setWindowFlag(Qt::WindowStaysOnTopHint);

    // The standard box knows no "to All" buttons; those belong to ChoiceMessageBox.
    const QList<choice::Button> buttons = choice::buttons(flags & ~(mb::YesToAll | mb::NoToAll), ChoiceParams{});
    QHash<QAbstractButton*, int> ids;
    QList<QPushButton*> ordered;
    for (const choice::Button& b : buttons) {
        QPushButton* button = box.addButton(b.caption, roleOf(b.id));
        ids.insert(button, b.id);
        ordered.append(button);
    }
    box.setDefaultButton(ordered[choice::defaultButtonIndex(flags, ordered.size())]);

    if (iconOf(flags) != QMessageBox::NoIcon && !(flags & mb::NoSound)) QApplication::beep();
    for (;;) {
        box.exec();
        const int answer = ids.value(box.clickedButton(), 0);
        if (answer == id::HelpButton) {
            QDesktopServices::openUrl(helpPage);
            continue;
        }
        if (answer != 0) return answer;
        return choice::escapeId(buttons).value_or(id::Cancel);
    }
}

#include "dialogprompter.h"

#include <QFileDialog>

#include "choicemessagebox.h"
#include "standardmessagebox.h"
#include "updatecheck.h"

DialogPrompter::DialogPrompter(SettingsStore& store, QWidget* owner) : store_(store), owner_(owner) {}

QWidget* DialogPrompter::owner() const { return owner_ ? owner_.data() : defaultMessageOwner(); }

int DialogPrompter::messageBox(const QString& text, const QString& caption, unsigned flags) {
    return standardMessageBox(owner(), text, caption, flags, QUrl(update::siteAddress(store_)));
}

unsigned DialogPrompter::choiceMessageBox(const QString& text, const QString& caption, unsigned flags,
                                          const ChoiceParams& params) {
    return ChoiceMessageBox(owner(), text, caption, flags, params, store_);
}

QString DialogPrompter::openFileName(const QString& caption, const QString& dir, const QString& filter) {
    return QFileDialog::getOpenFileName(owner(), caption, dir, qtFileFilter(filter));
}

QString DialogPrompter::saveFileName(const QString& caption, const QString& dir, const QString& filter) {
    return QFileDialog::getSaveFileName(owner(), caption, dir, qtFileFilter(filter));
}

QString DialogPrompter::existingDirectory(const QString& caption, const QString& dir) {
    return QFileDialog::getExistingDirectory(owner(), caption, dir, QFileDialog::ShowDirsOnly);
}

QString qtFileFilter(const QString& filter) {
    if (!filter.contains(QLatin1Char('|'))) return filter;
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        if (description.isEmpty()) break;  // the closing "||"
        // The file dialog reads the patterns from the parentheses, so they must be the real ones.
        if (description.endsWith(QLatin1Char(')')) && description.contains(QLatin1Char('(')))
            description = description.left(description.lastIndexOf(QLatin1Char('('))).trimmed();
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')).simplified();
        filters.append(description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

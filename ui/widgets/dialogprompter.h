#pragma once
// The prompter of the window program: every question, message and file chooser as a real dialog.

#include <QPointer>
#include <QWidget>

#include "prompter.h"

class SettingsStore;

class DialogPrompter : public Prompter {
public:
    // `owner` parents the dialogs; without one they belong to the active window at the time.
    explicit DialogPrompter(SettingsStore& store, QWidget* owner = nullptr);

    void setOwner(QWidget* owner) { owner_ = owner; }

    int messageBox(const QString& text, const QString& caption, unsigned flags) override;
    unsigned choiceMessageBox(const QString& text, const QString& caption, unsigned flags,
                              const ChoiceParams& params) override;
    QString openFileName(const QString& caption, const QString& dir, const QString& filter) override;
    QString saveFileName(const QString& caption, const QString& dir, const QString& filter) override;
    QString existingDirectory(const QString& caption, const QString& dir) override;

private:
    QWidget* owner() const;

    SettingsStore& store_;
    QPointer<QWidget> owner_;
};

// File filters may be written the classic way, "JPEG Files (*.jpg)|*.jpg|All Files (*.*)|*.*||";
// the file dialog wants "JPEG Files (*.jpg);;All Files (*.*)". Qt-style filters pass unchanged.
QString qtFileFilter(const QString& filter);

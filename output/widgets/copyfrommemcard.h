#pragma once
// "Copy From Memory Card": where the card's pictures are, where they go, whether the card's files
// are deleted once their copies are proven, and whether they go into one folder per picture date.
// The four settings are read when the dialog opens and written when it goes, whichever button closed
// it. The copy itself is memcard::CopyFromCard; the dialog shows its progress and its questions.

#include <QDialog>

#include "memcardcopy.h"

class Prompter;
class QCheckBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class SettingsStore;

class CCopyFromMemCard : public QDialog {
    Q_OBJECT
public:
    // `volumes` gives the mounted volumes for the proposal of a source when none is set.
    CCopyFromMemCard(SettingsStore& store, Prompter& prompter, QWidget* parent = nullptr,
                     const std::function<QList<memcard::Volume>()>& volumes = memcard::MountedVolumes);
    ~CCopyFromMemCard() override;

    memcard::Settings settings() const;
    QLineEdit* sourceEdit() const { return source_; }
    QLineEdit* destinationEdit() const { return destination_; }
    QCheckBox* deleteBox() const { return delete_; }
    QCheckBox* datedBox() const { return dated_; }
    QProgressBar* progressBar() const { return progress_; }
    // What the last run did; empty before one.
    const memcard::CopyReport& report() const { return report_; }

    // "Copy Files".
    void accept() override;
    void reject() override;

private:
    void browse(QLineEdit* edit);

    SettingsStore& store_;
    Prompter& prompter_;
    QLineEdit* source_;
    QLineEdit* destination_;
    QCheckBox* delete_;
    QCheckBox* dated_;
    QProgressBar* progress_;
    QPushButton* copyButton_;
    memcard::CopyReport report_;
    bool running_ = false;
    bool stopRequested_ = false;
};

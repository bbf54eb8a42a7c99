#pragma once
// The message box with "to All" answers, a check box, a countdown and remembered answers. The box is
// built in code from the flag word; the decisions behind it live in choicelogic.h.

#include <QDialog>
#include <QList>
#include <QTimer>

#include "choicelogic.h"
#include "prompter.h"

class QCheckBox;
class QPushButton;
class SettingsStore;

class CChoiceDlg : public QDialog {
    Q_OBJECT
public:
    CChoiceDlg(QWidget* owner, const QString& text, const QString& caption, unsigned flags, const ChoiceParams& params,
               SettingsStore& store);

    // The answer, valid once the box has closed: button id, check-box bit, mb::TimedOut.
    unsigned answer() const { return answer_; }

    QString text() const { return text_; }
    QList<QPushButton*> buttons() const { return buttons_; }
    QPushButton* button(int buttonId) const;
    QCheckBox* checkBox() const { return checkBox_; }
    bool countdownRunning() const { return countdown_.isActive(); }

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void reject() override;  // Escape and the close box

private:
    void build(unsigned iconFlags);
    void press(int buttonId, bool timedOut);
    void tick();
    void stopCountdown();
    void enableButtons();

    QString text_;
    unsigned flags_;
    ChoiceParams params_;
    SettingsStore& store_;
    QList<choice::Button> spec_;
    QList<QPushButton*> buttons_;
    QCheckBox* checkBox_ = nullptr;
    int defaultIndex_ = 0;
    std::optional<int> escapeId_;
    unsigned answer_ = 0;
    QTimer countdown_;
    int secondsLeft_ = 0;
    bool buttonsLocked_ = false;
    bool shownOnce_ = false;
};

// Shows the box unless a remembered answer stands in for it, and returns the answer. A stop icon with
// mb::SystemModal shows the platform's standard box instead. A null owner means the active window.
unsigned ChoiceMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned flags,
                          const ChoiceParams& params, SettingsStore& store);

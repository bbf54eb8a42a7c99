#pragma once
// The splash window and the About box: one dialog with the program's picture, its version, a link to
// the web site, and in About mode the buttons "OK" and "Check for Updates". In splash mode it has no
// buttons, ignores Escape, and after five seconds runs the start-up steps that stand behind it: the
// update check, the legal notice and the tips.

#include <QDialog>
#include <QPixmap>
#include <QTimer>
#include <functional>

class Prompter;
class QLabel;
class QPushButton;
class SettingsStore;

namespace update {
class UpdateCheck;
}

// The legal notice with its remembered "I understand" answer; returns the box's answer.
unsigned showLegalNotice(Prompter& prompter);
extern const QString kLegalNotice;

class CSplashDlg : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Splash, About };
    static constexpr int kSplashMs = 5000;
    static inline const QString kVersionText = QStringLiteral("Version %1");

    CSplashDlg(Mode mode, SettingsStore& store, Prompter& prompter, QWidget* parent = nullptr);

    Mode mode() const { return mode_; }
    void setDuration(int ms) { timer_.setInterval(ms); }
    // Shows the tips when "ShowTips" asks for them; the main window's persistent tips dialog.
    void setShowTips(std::function<void()> showTips) { showTips_ = std::move(showTips); }
    // Ends the program before an upgrade is installed; by default every main window closes.
    void setExitProgram(std::function<void()> exitProgram) { exitProgram_ = std::move(exitProgram); }

    QLabel* versionLabel() const { return version_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* updateButton() const { return checkForUpdates_; }
    // The start-up query, while the splash runs one.
    update::UpdateCheck* updateCheck() const { return check_; }

    // The program ends before the splash did: the query is aborted and the splash closes at once,
    // without the notice and the tips.
    void cancel();

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void timeUp();
    void updateCheckDone();
    void noticeAndTips();
    void finish();

    Mode mode_;
    SettingsStore& store_;
    Prompter& prompter_;
    QPixmap picture_;
    QTimer timer_;
    QLabel* version_;
    QPushButton* ok_;
    QPushButton* checkForUpdates_;
    update::UpdateCheck* check_ = nullptr;
    std::function<void()> showTips_;
    std::function<void()> exitProgram_;
    bool finishing_ = false;
};

#pragma once
// "Check for Updates": the "CheckWhen" choice, the query on demand, the versions the site offers and
// a "Download Now" button for each. The window stays responsive while the query runs.

#include <QDialog>
#include <functional>

#include "updatecheck.h"

class Prompter;
class QComboBox;
class QLineEdit;
class QPushButton;
class SettingsStore;

class CUpdateDlg : public QDialog {
    Q_OBJECT
public:
    CUpdateDlg(SettingsStore& store, Prompter& prompter, QWidget* parent = nullptr);

    // How a download address reaches the web browser; QDesktopServices unless replaced.
    void setUrlOpener(update::UrlOpener opener) { openUrl_ = std::move(opener); }
    // How the program ends before an upgrade is installed; by default every main window closes.
    void setExitProgram(std::function<void()> exitProgram) { exitProgram_ = std::move(exitProgram); }

    update::UpdateCheck& check() { return *check_; }

    void done(int result) override;

signals:
    // For the main window's status bar.
    void statusMessage(const QString& text);

private:
    void checkNow();
    void showResults();
    void download(const QString& address);
    void setStatus(const QString& text);

    SettingsStore& store_;
    Prompter& prompter_;
    update::UpdateCheck* check_;
    update::UrlOpener openUrl_;
    std::function<void()> exitProgram_;

    QWidget* content_;
    QComboBox* checkWhen_;
    QLineEdit* freeVersion_;
    QLineEdit* payVersion_;
    QLineEdit* lastChecked_;
    QPushButton* freeDownload_;
    QPushButton* payDownload_;
};

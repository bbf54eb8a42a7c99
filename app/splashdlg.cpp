#include "splashdlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "prompter.h"
#include "settingsstore.h"
#include "tipstable.h"
#include "updatecheck.h"
#include "updatedlg.h"

// Resources of a static library are registered by hand, outside any namespace.
static void registerAppResources() { Q_INIT_RESOURCE(app); }

const QString kLegalNotice = QStringLiteral(
    "Make sure you backup your files before using this software. Snaplore comes without any warranty: its makers "
    "are not liable for any damage to your pictures or files, or for any loss of data, that may come from using it.");

unsigned showLegalNotice(Prompter& prompter) {
    ChoiceParams params;
    params.companyKey = QStringLiteral("Snaplore");
    params.valueName = QStringLiteral("BackupNotice");
    params.lineNumber = 0;
    return prompter.choiceMessageBox(kLegalNotice, QStringLiteral("Legal Notice"), mb::CheckUnderstand, params);
}

namespace {

const QSize kPictureSize(520, 431);

void closeMainWindows() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(window)) window->close();
}

}  // namespace

CSplashDlg::CSplashDlg(Mode mode, SettingsStore& store, Prompter& prompter, QWidget* parent)
    : QDialog(parent), mode_(mode), store_(store), prompter_(prompter), exitProgram_(closeMainWindows) {
    registerAppResources();
    picture_ = QPixmap(QStringLiteral(":/app/splash.png"));
    setFixedSize(kPictureSize);
    if (mode == Mode::Splash) setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("About Snaplore"));

    version_ = new QLabel(kVersionText.arg(update::kRunningVersion), this);
    QFont versionFont(QStringLiteral("Arial"));
    versionFont.setPointSize(20);
    versionFont.setBold(true);
    version_->setFont(versionFont);

    const QString site = update::siteAddress(store_);
    auto* link =
        new QLabel(QStringLiteral("<a href=\"%1\" style=\"color:#9fc8ff\">%1</a>").arg(site.toHtmlEscaped()), this);
    link->setTextFormat(Qt::RichText);
    link->setOpenExternalLinks(true);
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);

    QPalette onPicture = palette();
    onPicture.setColor(QPalette::WindowText, Qt::white);
    version_->setPalette(onPicture);
    link->setPalette(onPicture);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    checkForUpdates_ = new QPushButton(QStringLiteral("Check for Updates"), this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(checkForUpdates_, &QPushButton::clicked, this, [this] {
        CUpdateDlg dialog(store_, prompter_, this);
        dialog.exec();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(checkForUpdates_);
    buttons->addWidget(ok_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 20, 18);
    layout->addStretch(1);
    layout->addWidget(version_);
    layout->addWidget(link);
    layout->addSpacing(10);
    layout->addLayout(buttons);

    if (mode == Mode::Splash) {
        ok_->hide();
        checkForUpdates_->hide();
        timer_.setInterval(kSplashMs);
        timer_.setSingleShot(true);
        connect(&timer_, &QTimer::timeout, this, &CSplashDlg::timeUp);
    }
}

void CSplashDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (mode_ == Mode::Splash && !timer_.isActive() && !finishing_) timer_.start();
}

void CSplashDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), picture_);
}

void CSplashDlg::reject() {
    if (mode_ == Mode::Splash && !finishing_) return;  // the splash cannot be dismissed
    QDialog::reject();
}

void CSplashDlg::closeEvent(QCloseEvent* event) {
    if (mode_ == Mode::Splash && !finishing_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CSplashDlg::cancel() {
    timer_.stop();
    if (check_) {
        check_->disconnect(this);
        check_->abort();
    }
    finish();
}

void CSplashDlg::timeUp() {
    timer_.stop();
    check_ = new update::UpdateCheck(store_, this);
    connect(check_, &update::UpdateCheck::finished, this, &CSplashDlg::updateCheckDone);
    // The query runs while the splash stays up; without one the notice follows at once.
    if (!check_->startIfWantedAtLaunch()) noticeAndTips();
}

void CSplashDlg::updateCheckDone() {
    const update::Info info = check_->info();
    if (info.upgradeOffered() && update::askStartupDownload(prompter_)) {
        hide();
        if (update::downloadUpgrade(prompter_, info.freeDownload, update::systemUrlOpener(), exitProgram_)) {
            finish();
            return;
        }
    }
    noticeAndTips();
}

void CSplashDlg::noticeAndTips() {
    showLegalNotice(prompter_);
    if (tips::showAtStartup(store_) && showTips_) showTips_();
    finish();
}

void CSplashDlg::finish() {
    finishing_ = true;
    done(QDialog::Accepted);
}

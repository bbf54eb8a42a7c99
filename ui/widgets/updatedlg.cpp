#include "updatedlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include "prompter.h"
#include "settingsstore.h"

namespace {

QLineEdit* readOnlyBox(const QString& name, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    return box;
}

QList<QMainWindow*> mainWindows() {
    QList<QMainWindow*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<QMainWindow*>(widget)) windows.append(window);
    return windows;
}

}  // namespace

CUpdateDlg::CUpdateDlg(SettingsStore& store, Prompter& prompter, QWidget* parent)
    : QDialog(parent),
      store_(store),
      prompter_(prompter),
      check_(new update::UpdateCheck(store, this)),
      openUrl_(update::systemUrlOpener()) {
    setWindowTitle(QStringLiteral("Check for Updates"));

    content_ = new QWidget(this);
    auto* grid = new QGridLayout(content_);
    grid->setContentsMargins(0, 0, 0, 0);

    checkWhen_ = new QComboBox(content_);
    checkWhen_->setObjectName(QStringLiteral("checkWhen"));
    checkWhen_->addItems({QStringLiteral("Never"), QStringLiteral("When App starts")});
    checkWhen_->setCurrentIndex(update::checkWhen(store));
    auto* checkNow = new QPushButton(QStringLiteral("Check Now..."), content_);
    checkNow->setObjectName(QStringLiteral("checkNow"));

    auto* thisVersion = readOnlyBox(QStringLiteral("thisVersion"), content_);
    thisVersion->setText(update::kRunningVersion);
    freeVersion_ = readOnlyBox(QStringLiteral("freeVersion"), content_);
    payVersion_ = readOnlyBox(QStringLiteral("payVersion"), content_);
    lastChecked_ = readOnlyBox(QStringLiteral("lastChecked"), content_);
    lastChecked_->setText(update::lastChecked(store));
    freeDownload_ = new QPushButton(QStringLiteral("Download Now"), content_);
    freeDownload_->setObjectName(QStringLiteral("freeDownload"));
    payDownload_ = new QPushButton(QStringLiteral("Download Now"), content_);
    payDownload_->setObjectName(QStringLiteral("payDownload"));

    grid->addWidget(new QLabel(QStringLiteral("Check for Updates:"), content_), 0, 0);
    grid->addWidget(checkWhen_, 0, 1);
    grid->addWidget(checkNow, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("This Version:"), content_), 1, 0);
    grid->addWidget(thisVersion, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Free Upgrade:"), content_), 2, 0);
    grid->addWidget(freeVersion_, 2, 1);
    grid->addWidget(freeDownload_, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Pay Upgrade:"), content_), 3, 0);
    grid->addWidget(payVersion_, 3, 1);
    grid->addWidget(payDownload_, 3, 2);
    grid->addWidget(new QLabel(QStringLiteral("Last checked:"), content_), 4, 0);
    grid->addWidget(lastChecked_, 4, 1);
    auto* note = new QLabel(QStringLiteral("**Internet Connection required to check for Updates**"), content_);
    note->setAlignment(Qt::AlignCenter);
    grid->addWidget(note, 5, 0, 1, 3);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(content_);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(checkNow, &QPushButton::clicked, this, &CUpdateDlg::checkNow);
    connect(freeDownload_, &QPushButton::clicked, this, [this] { download(check_->info().freeDownload); });
    connect(payDownload_, &QPushButton::clicked, this, [this] { download(check_->info().payDownload); });
    connect(check_, &update::UpdateCheck::checked, lastChecked_, &QLineEdit::setText);
    connect(check_, &update::UpdateCheck::finished, this, [this] {
        showResults();
        content_->setEnabled(true);
        setStatus(QStringLiteral("Ready"));
    });

    setExitProgram([] {
        const QList<QMainWindow*> windows = mainWindows();
        for (QMainWindow* window : windows) window->close();
        if (windows.isEmpty()) QCoreApplication::quit();
    });
    showResults();
}

void CUpdateDlg::checkNow() {
    if (check_->isRunning()) return;
    content_->setEnabled(false);
    setStatus(QStringLiteral("Retrieving upgrade information from website..."));
    check_->start();
    showResults();  // the versions of an earlier query are not this one's answer
}

void CUpdateDlg::showResults() {
    const update::Info& info = check_->info();
    freeVersion_->setText(info.freeVersion);
    payVersion_->setText(info.payVersion);
    freeDownload_->setEnabled(!info.freeDownload.isEmpty());
    payDownload_->setEnabled(!info.payDownload.isEmpty());
}

void CUpdateDlg::download(const QString& address) {
    if (update::downloadUpgrade(prompter_, address, openUrl_, exitProgram_)) accept();
}

void CUpdateDlg::setStatus(const QString& text) {
    emit statusMessage(text);
    for (QMainWindow* window : mainWindows())
        if (auto* bar = window->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly)) bar->showMessage(text);
}

void CUpdateDlg::done(int result) {
    check_->abort();  // a query still running has nobody left to answer
    update::setCheckWhen(store_, static_cast<update::CheckWhen>(checkWhen_->currentIndex() == 1 ? 1 : 0));
    QDialog::done(result);
}

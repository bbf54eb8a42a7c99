#include "copyfrommemcard.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "prompter.h"
#include "settingsstore.h"

namespace {
// Names shown per list in the run's message; the rest are counted.
constexpr int kListed = 12;
}  // namespace

CCopyFromMemCard::CCopyFromMemCard(SettingsStore& store, Prompter& prompter, QWidget* parent,
                                   const std::function<QList<memcard::Volume>()>& volumes)
    : QDialog(parent),
      store_(store),
      prompter_(prompter),
      source_(new QLineEdit(this)),
      destination_(new QLineEdit(this)),
      delete_(new QCheckBox(this)),
      dated_(new QCheckBox(this)),
      progress_(new QProgressBar(this)) {
    setWindowTitle(QStringLiteral("Copy From Memory Card"));
    const memcard::Settings settings = memcard::ReadSettings(store_);
    // Without a source of its own the dialog proposes a mounted card or camera.
    source_->setText(settings.source.isEmpty() && volumes ? memcard::ProposeSource(volumes()) : settings.source);
    destination_->setText(settings.destination);
    delete_->setChecked(settings.deleteAfterCopy);
    dated_->setChecked(settings.datedFolders);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setTextVisible(false);

    const auto row = [this](QLineEdit* edit) {
        auto* browse = new QPushButton(QStringLiteral("..."), this);
        browse->setFixedWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
        connect(browse, &QPushButton::clicked, this, [this, edit] { this->browse(edit); });
        setTabOrder(edit, browse);  // Tab goes along the line before it goes down
        auto* layout = new QHBoxLayout;
        layout->addWidget(edit, 1);
        layout->addWidget(browse);
        return layout;
    };
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Memory Card Drive Letter:"), row(source_));
    form->addRow(QStringLiteral("Copy Files to:"), row(destination_));
    form->addRow(QStringLiteral("Delete files after copy:"), delete_);
    form->addRow(QStringLiteral("Place in dated sub folders:"), dated_);
    source_->setMinimumWidth(320);

    auto* buttons = new QDialogButtonBox(this);
    copyButton_ = buttons->addButton(QStringLiteral("Copy Files"), QDialogButtonBox::AcceptRole);
    copyButton_->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCopyFromMemCard::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCopyFromMemCard::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(progress_);
    layout->addWidget(buttons);
}

CCopyFromMemCard::~CCopyFromMemCard() { memcard::WriteSettings(store_, settings()); }

memcard::Settings CCopyFromMemCard::settings() const {
    return {source_->text(), destination_->text(), delete_->isChecked(), dated_->isChecked()};
}

void CCopyFromMemCard::browse(QLineEdit* edit) {
    const QString path = prompter_.existingDirectory(QStringLiteral("Open Directory"), edit->text());
    if (!path.isEmpty()) edit->setText(QDir::toNativeSeparators(path));
}

void CCopyFromMemCard::reject() {
    // During a copy Cancel stops it after the file being copied; the dialog stays.
    if (running_) {
        stopRequested_ = true;
        return;
    }
    QDialog::reject();
}

void CCopyFromMemCard::accept() {
    if (running_) return;
    const QString source = source_->text().trimmed();
    const QString destination = destination_->text().trimmed();
    // Without a destination the copies would land wherever the program was started.
    if (destination.isEmpty()) {
        prompter_.messageBox(QStringLiteral("Choose the folder to copy the files to."), QStringLiteral("Error"),
                             mb::Ok | mb::IconExclamation);
        return;
    }
    const memcard::CardContents card = source.isEmpty() ? memcard::CardContents() : memcard::ReadCard(QFile::encodeName(source));
    if (card.pictures.isEmpty()) {
        // What could not be read may hold pictures: it is named with the message.
        memcard::CopyReport unseen;
        unseen.unreadFolders = card.unreadFolders;
        unseen.notTaken = card.notTaken;
        const QString detail = unseen.ok() ? QString() : QStringLiteral("\n\n") + unseen.details(kListed);
        prompter_.messageBox(QStringLiteral("Could not find any .jpg files") + detail, QStringLiteral("Error"),
                             mb::Ok | mb::IconExclamation);
        QDialog::reject();
        return;
    }
    if (prompter_.messageBox(QStringLiteral("Found %1 file(s).  Continue with Copy?").arg(card.pictures.size()),
                             QStringLiteral("Continue?"), mb::YesNoCancel | mb::IconQuestion) != id::Yes)
        return;

    memcard::CopyRequest request;
    request.destination = destination;
    request.datedFolders = dated_->isChecked();
    request.deleteAfterCopy = delete_->isChecked();
    request.prompter = &prompter_;
    progress_->setRange(0, int(card.pictures.size()));
    request.progress = [this](int done, int) {
        progress_->setValue(done);
        // The window answers between two files: the bar moves and Cancel can stop the run.
        QApplication::processEvents();
        return !stopRequested_;
    };
    running_ = true;
    stopRequested_ = false;
    copyButton_->setEnabled(false);
    report_ = memcard::CopyFromCard(card, request);
    running_ = false;
    copyButton_->setEnabled(true);
    if (report_.cancelled) progress_->setValue(0);
    // One message for the whole run, also when it was stopped and when all went well: what was
    // copied, and what stays on the card and why.
    prompter_.messageBox(report_.summary(kListed), QStringLiteral("Copy From Memory Card"),
                         mb::Ok | (report_.ok() ? mb::IconInformation : mb::IconExclamation));
    if (!report_.cancelled) QDialog::accept();
}

#include "copytoalldlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QProgressBar>
#include <QVBoxLayout>

#include "dialogtitle.h"
#include "picturerecord.h"
#include "prompter.h"

CCopyToAllDlg::CCopyToAllDlg(Prompter& prompter, Hooks hooks, QWidget* parent)
    : QDialog(parent), prompter_(prompter), hooks_(std::move(hooks)) {
    setWindowTitle(QStringLiteral("Copy to All Pictures"));

    auto* what = new QGroupBox(QStringLiteral("Copy What?"), this);
    auto* whatLayout = new QVBoxLayout(what);
    event_ = new QCheckBox(QStringLiteral("Event"), what);
    headline_ = new QCheckBox(QStringLiteral("Headline"), what);
    people_ = new QCheckBox(QStringLiteral("People"), what);
    rating_ = new QCheckBox(QStringLiteral("Quality (1-5)"), what);
    caption_ = new QCheckBox(QStringLiteral("Caption"), what);
    place_ = new QCheckBox(QStringLiteral("Location, City, State, Country"), what);
    for (QCheckBox* box : {event_, headline_, people_, rating_, caption_, place_}) whatLayout->addWidget(box);

    progress_ = new QProgressBar(this);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setTextVisible(false);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCopyToAllDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCopyToAllDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(what);
    layout->addWidget(progress_);
    layout->addWidget(buttons);
    ui::makeRoomForTitle(*this);
    showChoice();
}

int CCopyToAllDlg::exec() {
    showChoice();
    progress_->setValue(0);
    return QDialog::exec();
}

void CCopyToAllDlg::showChoice() {
    event_->setChecked(choice_.event);
    headline_->setChecked(choice_.headline);
    people_->setChecked(choice_.people);
    rating_->setChecked(choice_.rating);
    caption_->setChecked(choice_.caption);
    place_->setChecked(choice_.place);
}

void CCopyToAllDlg::accept() {
    choice_ = {event_->isChecked(), headline_->isChecked(), people_->isChecked(),
               rating_->isChecked(), caption_->isChecked(), place_->isChecked()};
    const bool ran = run();
    targets_.clear();
    if (ran)
        QDialog::accept();
    else
        QDialog::reject();
}

void CCopyToAllDlg::reject() {
    targets_.clear();
    QDialog::reject();
}

bool CCopyToAllDlg::run() {
    // The fields the form does not show are named from the open picture's data: the save below stores
    // only the form's fields, so they are the values that will go.
    const IptcBlock* shown = hooks_.source ? hooks_.source() : nullptr;
    const QStringList fields = shown ? copytoall::copiedFields(*shown, choice_) : QStringList();
    if (fields.isEmpty()) {
        prompter_.messageBox(QStringLiteral("Nothing would be copied: tick at least one box under \"Copy What?\"."),
                             QStringLiteral("Copy to All Pictures"), mb::Ok | mb::IconInformation);
        return false;
    }
    if (prompter_.messageBox(copytoall::question(fields, int(targets_.size())), QStringLiteral("Copy Event?"),
                             mb::YesNoCancel | mb::IconQuestion) != id::Yes)
        return false;
    if (!hooks_.savePicture || !hooks_.savePicture()) return false;
    const IptcBlock* source = hooks_.source ? hooks_.source() : nullptr;
    if (!source) return false;

    // Looked up now: the save has just given the open picture's entry a new picture object.
    QList<PictureRecord*> pictures;
    pictures.reserve(targets_.size());
    for (const QString& path : targets_) pictures.append(hooks_.picture ? hooks_.picture(path) : nullptr);

    progress_->setRange(0, qMax(1, int(pictures.size())));
    progress_->setValue(0);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    report_ = copytoall::writeAll(*source, pictures, choice_, [this](int done) {
        progress_->setValue(done);
        progress_->repaint();
    });
    if (hooks_.catalogs)
        hooks_.catalogs(report_.changes);
    else
        copytoall::updateCatalogs(report_);
    if (hooks_.refreshBrowser) hooks_.refreshBrowser();
    QApplication::restoreOverrideCursor();

    // The run goes on past a picture it cannot write; at its end the user learns which ones were left.
    const QString failures = copytoall::failureMessage(report_);
    if (!report_.complete())
        prompter_.messageBox(failures, QStringLiteral("Error!"), mb::Ok | mb::IconExclamation);
    else if (!failures.isEmpty())
        prompter_.messageBox(failures, QStringLiteral("Copy to All Pictures"), mb::Ok | mb::IconInformation);
    return true;
}

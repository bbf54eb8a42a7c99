#include "slidshowpropdlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "dialogtitle.h"

namespace {
constexpr int kDefaultSeconds = 5;
constexpr int kMostSeconds = 3600;
}  // namespace

CSlidShowPropDlg::CSlidShowPropDlg(QWidget* parent) : QDialog(parent), seconds_(new QSpinBox(this)) {
    setWindowTitle(tr("Slide Show Properties"));
    seconds_->setRange(0, kMostSeconds);
    seconds_->setValue(kDefaultSeconds);
    seconds_->setSuffix(tr(" s"));
    auto* form = new QFormLayout;
    form->addRow(tr("Time Between:"), seconds_);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* start = buttons->addButton(tr("Start"), QDialogButtonBox::AcceptRole);
    start->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    ui::makeRoomForTitle(*this);
}

int CSlidShowPropDlg::timeBetween() const { return seconds_->value(); }

void CSlidShowPropDlg::setTimeBetween(int seconds) { seconds_->setValue(seconds); }

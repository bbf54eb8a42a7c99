#include "tipsdlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTextBrowser>
#include <QVBoxLayout>

CTipsDlg::CTipsDlg(SettingsStore& store, QWidget* parent) : QDialog(parent), store_(store), cursor_(store) {
    setWindowTitle(QStringLiteral("Tips"));

    auto* heading = new QLabel(QStringLiteral("Did you know?"), this);
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.4);
    heading->setFont(headingFont);

    text_ = new QTextBrowser(this);
    text_->setObjectName(QStringLiteral("tip"));
    text_->setReadOnly(true);
    text_->setOpenLinks(false);
    text_->setMinimumSize(360, 120);

    showAtStartup_ = new QCheckBox(QStringLiteral("Display Tips at Startup"), this);
    showAtStartup_->setObjectName(QStringLiteral("showTips"));

    auto* previous = new QPushButton(QStringLiteral("<<Prev"), this);
    previous->setObjectName(QStringLiteral("previous"));
    auto* next = new QPushButton(QStringLiteral("Next>>"), this);
    next->setObjectName(QStringLiteral("next"));
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(showAtStartup_);
    buttons->addStretch();
    buttons->addWidget(previous);
    buttons->addWidget(next);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(text_, 1);
    layout->addLayout(buttons);

    // The tip is plain text: a tip never turns into markup by accident.
    connect(next, &QPushButton::clicked, this, [this] { text_->setPlainText(cursor_.next()); });
    connect(previous, &QPushButton::clicked, this, [this] { text_->setPlainText(cursor_.previous()); });
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    next->setDefault(true);
}

QString CTipsDlg::tipText() const { return text_->toPlainText(); }

void CTipsDlg::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        text_->setPlainText(cursor_.current());
        showAtStartup_->setChecked(tips::showAtStartup(store_));
    }
    QDialog::showEvent(event);
}

void CTipsDlg::done(int result) {
    tips::setShowAtStartup(store_, showAtStartup_->isChecked());
    QDialog::done(result);
}

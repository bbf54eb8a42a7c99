#include "ccbburndlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dialogtitle.h"

CCBBurnDlg::CCBBurnDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("CD Burning Options"));
    addAutorun_ = new QCheckBox(QStringLiteral("Add Autorun to CD"), this);
    addAutorun_->setObjectName(QStringLiteral("addAutorun"));
    createCatalogs_ = new QCheckBox(QStringLiteral("Create Catalogs"), this);
    createCatalogs_->setObjectName(QStringLiteral("createCatalogs"));

    auto* putIn = new QGroupBox(QStringLiteral("Put files in"), this);
    root_ = new QRadioButton(QStringLiteral("Root"), putIn);
    root_->setObjectName(QStringLiteral("root"));
    dated_ = new QRadioButton(QStringLiteral("Dated Sub Folders"), putIn);
    dated_->setObjectName(QStringLiteral("datedSubFolders"));
    auto* group = new QButtonGroup(putIn);
    group->addButton(root_);
    group->addButton(dated_);
    auto* putInLayout = new QVBoxLayout(putIn);
    putInLayout->addWidget(root_);
    putInLayout->addWidget(dated_);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("Burn CD"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CCBBurnDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCBBurnDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(addAutorun_);
    layout->addWidget(createCatalogs_);
    layout->addWidget(putIn);
    layout->addWidget(buttons);
    ui::makeRoomForTitle(*this);
    load();
}

void CCBBurnDlg::load() {
    addAutorun_->setChecked(options_.addAutorun);
    createCatalogs_->setChecked(options_.createCatalogs);
    // The two are one choice; dated wins a contradiction, as it is the default.
    root_->setChecked(!options_.datedSubFolders);
    dated_->setChecked(options_.datedSubFolders);
}

int CCBBurnDlg::exec() {
    load();
    return QDialog::exec();
}

void CCBBurnDlg::accept() {
    options_.addAutorun = addAutorun_->isChecked();
    options_.createCatalogs = createCatalogs_->isChecked();
    options_.root = root_->isChecked();
    options_.datedSubFolders = dated_->isChecked();
    QDialog::accept();
}

#include "exportdatadlg.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>

#include "prompter.h"

CExportDataDlg::CExportDataDlg(const QList<OutputEntry>& entries, Prompter& prompter, QWidget* parent)
    : QDialog(parent), entries_(entries), prompter_(prompter) {
    setWindowTitle(tr("Export Data"));
    opener_ = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    fileName_ = new QLineEdit(this);
    auto* browse = new QPushButton(tr("..."), this);
    browse->setFixedWidth(32);
    for (const QString& text : {tr("Summary"), tr("Events Only"), tr("Picture and Events"), tr("All")})
        kinds_ << new QRadioButton(text, this);
    kinds_[int(ReportKind::EventsOnly)]->setChecked(true);
    auto* viewButton = new QPushButton(tr("View"), this);
    auto* saveButton = new QPushButton(tr("Save"), this);
    saveButton->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(tr("File Name:"), this));
    fileRow->addWidget(fileName_, 1);
    fileRow->addWidget(browse);
    auto* kindColumn = new QVBoxLayout;
    for (QRadioButton* button : kinds_) kindColumn->addWidget(button);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(viewButton);
    buttons->addWidget(saveButton);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addLayout(kindColumn);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    connect(browse, &QPushButton::clicked, this, &CExportDataDlg::browse);
    connect(viewButton, &QPushButton::clicked, this, &CExportDataDlg::view);
    connect(saveButton, &QPushButton::clicked, this, &CExportDataDlg::save);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

ReportKind CExportDataDlg::kind() const {
    for (int i = 0; i < kinds_.size(); ++i)
        if (kinds_[i]->isChecked()) return ReportKind(i);
    return ReportKind::EventsOnly;
}

QString CExportDataDlg::fileName() const { return fileName_->text(); }

void CExportDataDlg::browse() {
    QString path = prompter_.saveFileName(tr("Export Data"), fileName_->text(),
                                          QStringLiteral("Text Files (*.txt);;All Files (*)"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".txt");
    fileName_->setText(path);
}

void CExportDataDlg::save() {
    const DataReportResult result = WriteDataReport(entries_, kind(), fileName_->text());
    if (result.written)
        prompter_.messageBox(result.message, tr("Done"), mb::Ok | mb::IconInformation);
    else
        prompter_.messageBox(result.message, tr("Error"), mb::Ok | mb::IconExclamation);
}

void CExportDataDlg::view() {
    const QString path = fileName_->text();
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        prompter_.messageBox(tr("There is no report to view yet: save it first."), tr("Error"), mb::Ok | mb::IconExclamation);
        return;
    }
    if (!opener_(path))
        prompter_.messageBox(tr("%1 could not be opened in a text editor.").arg(path), tr("Error"),
                             mb::Ok | mb::IconExclamation);
}

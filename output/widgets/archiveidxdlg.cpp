#include "archiveidxdlg.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "prompter.h"

const QString CArchiveIdxDlg::kInformation = QStringLiteral(
    "Please be sure to backup your files!\n\rOnce you have backed up your files and archived your catalog, you may "
    "delete your images and keep the Snaplore.sidx file.  The Snaplore.sidx file contains all your data, a small "
    "thumbnail image of your pictures, and information about where the pictures are archived (CD Name).\nPlease be "
    "sure to backup your files!");

QString CArchiveIdxDlg::sizeText(qint64 bytes) {
    const double kilobytes = double(bytes) / 1024.0;
    if (kilobytes < 1024.0) return QString::asprintf("%4.1fKB", kilobytes);
    return QString::asprintf("%4.1fMB", kilobytes / 1024.0);
}

namespace {

QLineEdit* readOnlyLine(const QString& text, QWidget* parent) {
    auto* line = new QLineEdit(text, parent);
    line->setReadOnly(true);
    line->setFocusPolicy(Qt::ClickFocus);  // shown to be read or copied, never a stop on the way to CD Name
    return line;
}

QLabel* hint(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setEnabled(false);  // drawn greyed, as a hint
    return label;
}

}  // namespace

CArchiveIdxDlg::CArchiveIdxDlg(const QString& catalogFolder, const QString& cdName, const QString& location,
                               Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
    setWindowTitle(QStringLiteral("Catalog Archive"));

    const QFileInfo catalogFile(QDir(catalogFolder), QStringLiteral("Snaplore.sidx"));
    cdName_ = new QLineEdit(cdName, this);
    location_ = new QLineEdit(location, this);
    auto* browseButton = new QPushButton(QStringLiteral("..."), this);
    browseButton->setFixedWidth(browseButton->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    connect(browseButton, &QPushButton::clicked, this, &CArchiveIdxDlg::browse);

    auto* locationRow = new QHBoxLayout;
    locationRow->addWidget(location_, 1);
    locationRow->addWidget(browseButton);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Current Catalog:"), readOnlyLine(QDir::toNativeSeparators(catalogFolder), this));
    form->addRow(QStringLiteral("Size:"), readOnlyLine(sizeText(catalogFile.exists() ? catalogFile.size() : 0), this));
    form->addRow(QStringLiteral("CD Name:"), cdName_);
    form->addRow(QString(), hint(QStringLiteral("(Any name for your CD.  i.e. CD0002)"), this));
    form->addRow(QStringLiteral("Location:"), locationRow);
    form->addRow(QString(), hint(QStringLiteral("(The folder of the mounted disc.  i.e. /media/cdrom)"), this));

    auto* information = new QGroupBox(QStringLiteral("Important Information"), this);
    // The text keeps its original "\n\r" break; a carriage return alone would show as nothing.
    auto* informationText = new QLabel(QString(kInformation).remove(QLatin1Char('\r')), information);
    informationText->setWordWrap(true);
    (new QVBoxLayout(information))->addWidget(informationText);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CArchiveIdxDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CArchiveIdxDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(information);
    layout->addWidget(buttons);
    setMinimumWidth(460);
}

QString CArchiveIdxDlg::cdName() const { return cdName_->text(); }

QString CArchiveIdxDlg::location() const { return location_->text(); }

void CArchiveIdxDlg::browse() {
    // An empty answer is a cancelled chooser: the location stays as it was.
    const QString path = prompter_.existingDirectory(QStringLiteral("Open Directory"), location_->text());
    if (!path.isEmpty()) location_->setText(QDir::fromNativeSeparators(path));
}

void CArchiveIdxDlg::accept() {
    QString location = location_->text();
    if (!location.isEmpty() && !location.endsWith(QLatin1Char('/'))) location_->setText(location + QLatin1Char('/'));
    QDialog::accept();
}

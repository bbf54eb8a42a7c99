#include "exporthtmldlg.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "htmlexport.h"
#include "prompter.h"

CExportHTMLDlg::CExportHTMLDlg(const QList<OutputEntry>& entries, Prompter& prompter, QWidget* parent)
    : QDialog(parent), entries_(entries), prompter_(prompter) {
    setWindowTitle(tr("Export HTML"));
    opener_ = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    main_ = new QLineEdit(this);
    event_ = new QLineEdit(this);
    saveTo_ = new QLineEdit(this);
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    auto* grid = new QGridLayout;
    const auto row = [&](int r, const QString& label, QLineEdit* edit, auto browse) {
        grid->addWidget(new QLabel(label, this), r, 0);
        grid->addWidget(edit, r, 1);
        auto* button = new QPushButton(tr("..."), this);
        button->setFixedWidth(32);
        grid->addWidget(button, r, 2);
        connect(button, &QPushButton::clicked, this, browse);
        setTabOrder(edit, button);  // Tab goes along the line before it goes down
    };
    row(0, tr("Main Template:"), main_, [this] { browseTemplate(main_); });
    row(1, tr("Event Template:"), event_, [this] { browseTemplate(event_); });
    row(2, tr("Save To:"), saveTo_, [this] { browseFolder(); });
    auto* create = new QPushButton(tr("Create"), this);
    create->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(progress_, 1);
    buttons->addWidget(create);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    setMinimumWidth(480);
    connect(create, &QPushButton::clicked, this, &CExportHTMLDlg::create);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CExportHTMLDlg::setTemplates(const QString& mainTemplate, const QString& eventTemplate) {
    main_->setText(mainTemplate);
    event_->setText(eventTemplate);
}

void CExportHTMLDlg::browseTemplate(QLineEdit* edit) {
    const QString path = prompter_.openFileName(tr("Open"), edit->text(),
                                                QStringLiteral("HTML Files (*.html);;All Files (*)"));
    if (!path.isEmpty()) edit->setText(path);
}

void CExportHTMLDlg::browseFolder() {
    const QString folder = prompter_.existingDirectory(tr("Open Directory"), saveTo_->text());
    if (!folder.isEmpty()) saveTo_->setText(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}

void CExportHTMLDlg::create() {
    HtmlExportRequest request;
    request.mainTemplate = main_->text();
    request.eventTemplate = event_->text();
    request.outputFolder = saveTo_->text();
    request.prompter = &prompter_;
    request.step = [this](int done, int total) {
        progress_->setRange(0, std::max(1, total));
        progress_->setValue(done);
    };
    request.status = [this](const QString& text, bool busy) {
        if (status_) status_(text, busy);
    };
    // A disabled window drops its focus and does not get it back: keep it, so the keys still work.
    QWidget* focused = focusWidget();
    setEnabled(false);
    const HtmlExportResult result = RunHtmlExport(entries_, request);
    setEnabled(true);
    if (focused) focused->setFocus();
    // Whatever failed is told, and the dialog stays for another try.
    if (!result.ok()) {
        prompter_.messageBox(result.message, tr("Error"), mb::Ok | mb::IconExclamation);
        return;
    }
    const QString page = QFileInfo(QDir(request.outputFolder).filePath(QStringLiteral("index.html"))).absoluteFilePath();
    const int answer = prompter_.messageBox(
        tr("The HTML pages have been written to %1.\nDo you want to look at them in the web browser?")
            .arg(QDir::toNativeSeparators(QFileInfo(page).absolutePath())),
        tr("Export HTML"), mb::YesNo | mb::IconQuestion);
    if (answer == id::Yes && !(opener_ && opener_(page)))
        prompter_.messageBox(tr("The web browser could not be started to show %1.").arg(QDir::toNativeSeparators(page)),
                             tr("Error"), mb::Ok | mb::IconExclamation);
    accept();
}

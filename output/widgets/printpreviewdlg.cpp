#include "printpreviewdlg.h"

#include <QAction>
#include <QIcon>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

CPrintPreviewDlg::CPrintPreviewDlg(QPrinter& printer, std::function<void(QPrinter&)> drawPages,
                                   std::function<bool(QWidget*)> printPages, QWidget* parent)
    : QDialog(parent), printer_(printer), printPages_(std::move(printPages)) {
    setWindowTitle(tr("Print Preview"));
    setSizeGripEnabled(true);
    preview_ = new QPrintPreviewWidget(&printer_, this);
    connect(preview_, &QPrintPreviewWidget::paintRequested, this,
            [draw = std::move(drawPages)](QPrinter* target) { draw(*target); });
    connect(preview_, &QPrintPreviewWidget::previewChanged, this, &CPrintPreviewDlg::updatePageText);

    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    print_ = bar->addAction(QIcon::fromTheme(QStringLiteral("document-print")), tr("Print..."));
    connect(print_, &QAction::triggered, this, &CPrintPreviewDlg::printRequested);
    connect(bar->addAction(tr("Page Setup...")), &QAction::triggered, this, &CPrintPreviewDlg::pageSetup);
    bar->addSeparator();
    connect(bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), tr("Previous")), &QAction::triggered,
            this, [this] { preview_->setCurrentPage(currentPage() - 1); updatePageText(); });
    pageText_ = new QLabel(this);
    pageText_->setContentsMargins(6, 0, 6, 0);
    bar->addWidget(pageText_);
    connect(bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), tr("Next")), &QAction::triggered,
            this, [this] { preview_->setCurrentPage(currentPage() + 1); updatePageText(); });
    bar->addSeparator();
    connect(bar->addAction(tr("Zoom In")), &QAction::triggered, preview_, [this] { preview_->zoomIn(); });
    connect(bar->addAction(tr("Zoom Out")), &QAction::triggered, preview_, [this] { preview_->zoomOut(); });
    connect(bar->addAction(tr("Whole Page")), &QAction::triggered, preview_, &QPrintPreviewWidget::fitInView);
    connect(bar->addAction(tr("Page Width")), &QAction::triggered, preview_, &QPrintPreviewWidget::fitToWidth);
    bar->addSeparator();
    connect(bar->addAction(tr("Close")), &QAction::triggered, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(preview_, 1);
    resize(860, 900);
}

int CPrintPreviewDlg::currentPage() const { return preview_->currentPage(); }
int CPrintPreviewDlg::pageCount() const { return preview_->pageCount(); }

void CPrintPreviewDlg::updatePageText() {
    pageText_->setText(tr("Page %1 of %2").arg(currentPage()).arg(pageCount()));
}

void CPrintPreviewDlg::printRequested() {
    if (printPages_ && printPages_(this)) accept();
}

void CPrintPreviewDlg::pageSetup() {
    QPageSetupDialog dialog(&printer_, this);
    if (dialog.exec() == QDialog::Accepted) preview_->updatePreview();
}

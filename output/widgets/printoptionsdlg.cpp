#include "printoptionsdlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// The layout picture: a Letter page with the slots of the chosen layout and size.
class LayoutPicture : public QWidget {
public:
    explicit LayoutPicture(const print::PrintOptions& options, QWidget* parent) : QWidget(parent), options_(options) {
        setFixedSize(110, 140);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        constexpr int W = 850, H = 1100;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const double scale = std::min((width() - 4) / double(W), (height() - 4) / double(H));
        const QRectF page(2, 2, W * scale, H * scale);
        painter.fillRect(page, Qt::white);
        painter.setPen(QPen(Qt::darkGray, 1));
        painter.drawRect(page);
        painter.setBrush(QColor(120, 160, 210));
        painter.setPen(QPen(QColor(40, 70, 120), 1));
        const int perPage = print::picturesPerPage(options_.layout, options_.size);
        for (int a = 0; a < perPage; ++a) {
            const QRect r = print::printSlot(options_.layout, options_.size, a, W, H, false).pageRect();
            painter.drawRect(QRectF(page.left() + r.x() * scale, page.top() + r.y() * scale, r.width() * scale,
                                    r.height() * scale));
        }
    }

private:
    const print::PrintOptions& options_;
};

}  // namespace

CPrintOptionsDlg::CPrintOptionsDlg(Variant variant, QPrinter& printer, QWidget* parent)
    : QDialog(parent), variant_(variant), printer_(printer) {
    auto* printerBox = new QGroupBox(tr("Printer"), this);
    auto* printerForm = new QFormLayout;
    name_ = new QLineEdit(this);
    name_->setReadOnly(true);
    paper_ = new QLineEdit(this);
    paper_->setReadOnly(true);
    auto* setup = new QPushButton(tr("Setup..."), this);
    printerForm->addRow(tr("&Name:"), name_);
    auto* paperRow = new QHBoxLayout;
    paperRow->addWidget(paper_, 1);
    paperRow->addWidget(setup);
    auto* paperLabel = new QLabel(tr("Si&ze:"), this);
    paperLabel->setBuddy(paper_);
    printerForm->addRow(paperLabel, paperRow);
    printerBox->setLayout(printerForm);

    auto* form = new QFormLayout;
    pictures_ = new QComboBox(this);
    selectionCount_ = new QLabel(this);
    auto* picturesRow = new QHBoxLayout;
    picturesRow->addWidget(pictures_, 1);
    picturesRow->addWidget(selectionCount_);
    auto* picturesLabel = new QLabel(tr("Pictures:"), this);
    picturesLabel->setBuddy(pictures_);
    form->addRow(picturesLabel, picturesRow);
    layout_ = new QComboBox(this);
    layout_->addItems(print::layoutTexts());
    form->addRow(tr("Layout:"), layout_);
    size_ = new QComboBox(this);
    size_->addItems(print::sizeTexts());
    size_->setCurrentIndex(options_.size);
    form->addRow(tr("Picture Size:"), size_);
    copies_ = new QSpinBox(this);
    copies_->setRange(1, print::kMaxCopies);
    form->addRow(tr("Copies:"), copies_);
    quickPreview_ = new QCheckBox(this);
    quickPreview_->setChecked(options_.quickPreview);
    form->addRow(tr("Quick Preview:"), quickPreview_);
    infoBorder_ = new QCheckBox(this);
    infoBorder_->setChecked(options_.infoBorder);
    form->addRow(tr("Picture Info Border:"), infoBorder_);

    auto* pagesBox = new QGroupBox(this);
    auto* pagesLayout = new QVBoxLayout;
    pages_ = new QButtonGroup(this);
    const QStringList kinds{tr("Picture"), tr("Picture Info"), tr("Picture && Info\nDouble sided")};
    for (int i = 0; i < kinds.size(); ++i) {
        auto* button = new QRadioButton(kinds[i], this);
        pages_->addButton(button, i);
        pagesLayout->addWidget(button);
    }
    pages_->button(0)->setChecked(true);
    pagesBox->setLayout(pagesLayout);

    auto* totals = new QFormLayout;
    pictureTotal_ = new QLineEdit(this);
    pictureTotal_->setReadOnly(true);
    pageTotal_ = new QLineEdit(this);
    pageTotal_->setReadOnly(true);
    totals->addRow(tr("# of Pictures:"), pictureTotal_);
    totals->addRow(tr("# of Pages:"), pageTotal_);
    layoutPicture_ = new LayoutPicture(options_, this);

    auto* right = new QVBoxLayout;
    right->addWidget(pagesBox);
    right->addLayout(totals);
    right->addWidget(layoutPicture_, 0, Qt::AlignHCenter);
    right->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(form, 1);
    columns->addLayout(right);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* main = new QVBoxLayout(this);
    main->addWidget(printerBox);
    main->addLayout(columns);
    main->addWidget(buttons);

    connect(setup, &QPushButton::clicked, this, &CPrintOptionsDlg::runSetup);
    connect(pictures_, &QComboBox::activated, this, &CPrintOptionsDlg::choosePictures);
    for (QComboBox* box : {layout_, size_})
        connect(box, &QComboBox::currentIndexChanged, this, &CPrintOptionsDlg::readControls);
    connect(copies_, &QSpinBox::valueChanged, this, &CPrintOptionsDlg::readControls);
    for (QCheckBox* box : {quickPreview_, infoBorder_}) connect(box, &QCheckBox::toggled, this, &CPrintOptionsDlg::readControls);
    connect(pages_, &QButtonGroup::idClicked, this, &CPrintOptionsDlg::readControls);
    setVariant(variant);
    readPrinter();
    refresh();
}

void CPrintOptionsDlg::setVariant(Variant variant) {
    variant_ = variant;
    setWindowTitle(variant == Variant::Print ? tr("Print Options") : tr("Print Preview Options"));
    quickPreview_->setEnabled(variant == Variant::Preview);
}

void CPrintOptionsDlg::readPrinter() {
    const QString name = printer_.printerName();
    // Without a printer both read "Unknown"; printing to a file chosen in the setup names that.
    const bool known = !name.isEmpty() || (printer_.outputFormat() == QPrinter::PdfFormat && !printer_.outputFileName().isEmpty());
    name_->setText(name.isEmpty() ? (known ? tr("Print to File (PDF)") : tr("Unknown")) : name);
    paper_->setText(known ? printer_.pageLayout().pageSize().name() : tr("Unknown"));
}

void CPrintOptionsDlg::runSetup() {
    QPrintDialog dialog(&printer_, this);
    dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize | QAbstractPrintDialog::PrintCollateCopies);
    dialog.exec();
    readPrinter();
}

void CPrintOptionsDlg::setPictures(PictureRecord* current, const QList<OutputEntry>& entries, bool searchResults) {
    current_ = current;
    entries_ = entries;
    list_ = FillPictureSelection(current, entries, searchResults);
    pictures_->clear();
    for (const PictureSelectionItem& item : list_.items) pictures_->addItem(item.text, int(item.selection));
    int index = selectionChosen_ ? list_.indexOf(selection_) : -1;
    if (index < 0) index = list_.items.isEmpty() ? -1 : 0;
    pictures_->setCurrentIndex(index);
    selection_ = index >= 0 ? list_.items[index].selection : PictureSelection::Picture;
    refresh();
}

void CPrintOptionsDlg::choosePictures(int index) {
    if (index < 0 || index >= list_.items.size()) return;
    selection_ = list_.items[index].selection;
    selectionChosen_ = true;
    refresh();
}

void CPrintOptionsDlg::readControls() {
    options_.layout = print::Layout(layout_->currentIndex());
    options_.size = size_->currentIndex();
    options_.copies = copies_->value();
    options_.quickPreview = quickPreview_->isChecked();
    options_.infoBorder = infoBorder_->isChecked();
    options_.pages = print::Pages(std::max(0, pages_->checkedId()));
    refresh();
}

QString CPrintOptionsDlg::selectionText() const { return pictures_->currentText(); }

QList<PictureRecord*> CPrintOptionsDlg::picturesToPrint() const {
    if (pictures_->currentIndex() < 0) return {};
    return CollectSelectedPictures(current_, entries_, selection_, options_.copies);
}

int CPrintOptionsDlg::pictureCount() const {
    return pictures_->currentIndex() < 0 ? 0 : options_.copies * list_.countFor(selection_);
}

int CPrintOptionsDlg::pageCount() const {
    return print::pageCount(pictureCount(), options_.layout, options_.size, options_.pages);
}

void CPrintOptionsDlg::refresh() {
    selectionCount_->setText(QString::number(pictures_->currentIndex() < 0 ? 0 : list_.countFor(selection_)));
    pictureTotal_->setText(QString::number(pictureCount()));
    pageTotal_->setText(QString::number(pageCount()));
    infoBorder_->setEnabled(options_.pages != print::Pages::Picture);
    layoutPicture_->update();
}

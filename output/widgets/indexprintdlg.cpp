#include "indexprintdlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "colorcombobox.h"
#include "indexprint.h"
#include "prompter.h"

CIndexPrintDlg::CIndexPrintDlg(Prompter& prompter, QWidget* parent) : QDialog(parent), prompter_(prompter) {
    setWindowTitle(tr("Index Print"));
    picturesBox_ = new QComboBox(this);
    count_ = new QLabel(this);
    count_->setMinimumWidth(40);
    fileName_ = new QLineEdit(this);
    browse_ = new QPushButton(tr("..."), this);
    browse_->setFixedWidth(32);
    cols_ = new QSpinBox(this);
    cols_->setRange(1, indexprint::kMaxColumns);
    cols_->setValue(indexprint::kDefaultColumns);
    rows_ = new QLineEdit(this);
    rows_->setReadOnly(true);
    size_ = new QLineEdit(this);
    size_->setReadOnly(true);
    auto* cellGroup = new QButtonGroup(this);
    auto* cellRow = new QHBoxLayout;
    for (const QString& text : indexprint::cellTexts()) {
        auto* button = new QRadioButton(text, this);
        cellGroup->addButton(button);
        cells_ << button;
        cellRow->addWidget(button);
    }
    cells_.first()->setChecked(true);
    background_ = new ColorComboBox(this);
    background_->setCurrentIndex(indexprint::kLightGrey);
    line_ = new ColorComboBox(this);
    line_->setCurrentIndex(indexprint::kBlack);
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    create_ = new QPushButton(tr("Create"), this);
    create_->setDefault(true);
    close_ = new QPushButton(tr("Close"), this);

    auto* form = new QGridLayout;
    form->addWidget(new QLabel(tr("Pictures:"), this), 0, 0);
    form->addWidget(picturesBox_, 0, 1, 1, 3);
    form->addWidget(count_, 0, 4);
    form->addWidget(new QLabel(tr("File Name:"), this), 1, 0);
    form->addWidget(fileName_, 1, 1, 1, 3);
    form->addWidget(browse_, 1, 4);
    form->addWidget(new QLabel(tr("Cols:"), this), 2, 0);
    form->addWidget(cols_, 2, 1);
    form->addWidget(new QLabel(tr("Rows:"), this), 2, 2);
    form->addWidget(rows_, 2, 3);
    form->addWidget(new QLabel(tr("Image Size:"), this), 3, 0);
    form->addWidget(size_, 3, 1, 1, 3);
    form->addLayout(cellRow, 4, 1, 1, 4);
    form->addWidget(new QLabel(tr("Background Color:"), this), 5, 0);
    form->addWidget(background_, 5, 1, 1, 3);
    form->addWidget(new QLabel(tr("Line Color:"), this), 6, 0);
    form->addWidget(line_, 6, 1, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(progress_, 1);
    buttons->addWidget(create_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(browse_, &QPushButton::clicked, this, &CIndexPrintDlg::browse);
    connect(picturesBox_, &QComboBox::currentIndexChanged, this, &CIndexPrintDlg::selectionChanged);
    connect(cols_, &QSpinBox::valueChanged, this, &CIndexPrintDlg::recompute);
    connect(cellGroup, &QButtonGroup::buttonClicked, this, &CIndexPrintDlg::recompute);
    connect(create_, &QPushButton::clicked, this, &CIndexPrintDlg::create);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
}

void CIndexPrintDlg::setSource(PictureRecord* current, const QList<OutputEntry>& entries, bool searchResults) {
    current_ = current;
    entries_ = entries;
    selection_ = FillPictureSelection(current, entries, searchResults);
    // A sheet of one picture is no index: the single-picture entry is left out.
    const int single = selection_.indexOf(PictureSelection::Picture);
    if (single >= 0) selection_.items.removeAt(single);
    const QSignalBlocker block(picturesBox_);
    picturesBox_->clear();
    for (const PictureSelectionItem& item : selection_.items) picturesBox_->addItem(item.text, int(item.selection));
    picturesBox_->setCurrentIndex(picturesBox_->count() > 0 ? 0 : -1);
    selectionChanged();
}

QSize CIndexPrintDlg::cell() const {
    for (int i = 0; i < cells_.size(); ++i)
        if (cells_[i]->isChecked()) return indexprint::cellSize(i);
    return indexprint::cellSize(0);
}

void CIndexPrintDlg::selectionChanged() {
    const int index = picturesBox_->currentIndex();
    pictures_ = index >= 0 ? selection_.countFor(PictureSelection(picturesBox_->itemData(index).toInt())) : 0;
    count_->setText(QString::number(pictures_));
    progress_->setRange(0, std::max(1, pictures_));
    progress_->setValue(0);
    recompute();
}

void CIndexPrintDlg::recompute() {
    const indexprint::Layout layout = indexprint::layoutFor(pictures_, cols_->value(), cell());
    rows_->setText(QString::number(layout.rows));
    size_->setText(layout.sizeText());
}

QString CIndexPrintDlg::rowsText() const { return rows_->text(); }
QString CIndexPrintDlg::sizeText() const { return size_->text(); }

void CIndexPrintDlg::browse() {
    QString path = prompter_.saveFileName(tr("Index File"), fileName_->text(),
                                          QStringLiteral("JPG Files (*.jpg);;All Files (*)"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".jpg");
    fileName_->setText(path);
}

void CIndexPrintDlg::create() {
    const int index = picturesBox_->currentIndex();
    const QList<PictureRecord*> pictures =
        index >= 0 ? CollectSelectedPictures(current_, entries_, PictureSelection(picturesBox_->itemData(index).toInt()))
                   : QList<PictureRecord*>();
    IndexPrintOptions options;
    options.columns = cols_->value();
    options.cell = cell();
    options.background = background_->color();
    options.line = line_->color();
    IndexPrintProgress progress;
    progress.status = [this](const QString& text, bool busy) {
        if (status_) status_(text, busy);
    };
    progress.step = [this](int done, int total) {
        progress_->setRange(0, std::max(1, total));
        progress_->setValue(done);
    };
    // A disabled window drops its focus and does not get it back: keep it, so the keys still work.
    QWidget* focused = focusWidget();
    setEnabled(false);
    const IndexPrintResult result = CreateIndexPrint(pictures, options, fileName_->text(), progress);
    setEnabled(true);
    if (focused) focused->setFocus();
    if (result.complete)
        prompter_.messageBox(tr("Index File Created"), tr("Index File"), mb::Ok | mb::IconInformation);
    else
        prompter_.messageBox(result.message, tr("Error"), mb::Ok | mb::IconExclamation);
}

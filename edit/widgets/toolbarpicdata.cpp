#include "toolbarpicdata.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "commandids.h"

namespace {

// The bars' own controls share one font: the program's UI font at 10 points.
QFont controlFont() {
    QFont font = QApplication::font();
    font.setPointSize(10);
    return font;
}

template <typename Control>
Control* place(QToolBar* bar, Control* control, int id, int width) {
    control->setFont(controlFont());
    control->setFixedWidth(width);
    control->setProperty("controlId", id);
    bar->addWidget(control);
    return control;
}

QLabel* label(const QString& text) {
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    return label;
}

// An open list shows every entry, without a scroll bar.
void showAllEntries(QComboBox* list) { list->setMaxVisibleItems(list->count()); }

}  // namespace

CToolBarPicData::CToolBarPicData(const std::function<QAction*(int)>& actionOf, QWidget* parent)
    : QToolBar(tr("Picture Data"), parent) {
    setObjectName(QStringLiteral("PictureDataBar"));  // saveState() finds the bars by name
    place(this, label(QStringLiteral("Headline:")), HeadlineLabel, 65);
    headline_ = place(this, new QLineEdit, HeadlineEdit, 135);
    headline_->setMaxLength(kMaxHeadline);
    headline_->setTextMargins(2, 0, 2, 0);
    addSeparator();
    for (int id : {cmd::SmartHeadline, cmd::SaveCopyNext, cmd::SaveNext, cmd::Save}) addAction(actionOf(id));
    addSeparator();
    count_ = place(this, label(QStringLiteral("0")), 1130, 20);
    count_->setAlignment(Qt::AlignVCenter | Qt::AlignRight);
    count_->setToolTip(QStringLiteral("Number of People\\Places\\Things in Picture"));
    for (int id : {cmd::RemoveAllPeople, cmd::UseLastData, cmd::Rotate}) addAction(actionOf(id));
    addSeparator();
    place(this, label(QStringLiteral("Rating:")), RatingLabel, 60);
    rating_ = place(this, new QComboBox, RatingList, 90);
    rating_->addItems({QStringLiteral("1-Gold Star"), QStringLiteral("2-Silver Star"), QStringLiteral("3-Bronze Star"),
                       QStringLiteral("4-No Star")});
    showAllEntries(rating_);

    connect(headline_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!echo_) emit headlineChanged(text);
    });
    connect(rating_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!echo_) emit ratingChanged(index);
    });
    setControlsEnabled(false);
}

void CToolBarPicData::ShowHeadline(const QString& text) {
    echo_ = true;
    // Keeps the cursor where the user types when the form echoes the same text back.
    if (headline_->text() != text) headline_->setText(text);
    echo_ = false;
}

void CToolBarPicData::ShowPeopleCount(int count) { count_->setText(QString::number(count)); }

void CToolBarPicData::SelectRating(int index) {
    echo_ = true;
    rating_->setCurrentIndex(index >= 0 && index < rating_->count() ? index : -1);
    echo_ = false;
}

void CToolBarPicData::setControlsEnabled(bool enabled) {
    headline_->setEnabled(enabled);
    count_->setEnabled(enabled);
    rating_->setEnabled(enabled);
}

CToolBarBigImage::CToolBarBigImage(const std::function<QAction*(int)>& actionOf, QWidget* parent)
    : QToolBar(tr("Big Image"), parent) {
    setObjectName(QStringLiteral("BigImageBar"));
    for (int id : {cmd::Zoom, cmd::CropMarks, cmd::RotateCrop, cmd::RemoveCrop}) addAction(actionOf(id));
    addSeparator();
    label_ = place(this, label(QStringLiteral("Picture Size:")), PictureSizeLabel, 80);
    sizes_ = place(this, new QComboBox, PictureSizeList, 80);
    // The item values are the print-size indexes of the large view; 2 (3 : 4) is drawn only with "All".
    const std::pair<const char*, int> entries[] = {{"None", 0},   {"2.5 x 3.25", 1}, {"3.5 x 5", 3}, {"4 x 6", 4},
                                                   {"5 x 7", 5}, {"8 x 10", 6},      {"All", 7}};
    for (const auto& [text, value] : entries) sizes_->addItem(QString::fromLatin1(text), value);
    sizes_->setCurrentIndex(0);
    showAllEntries(sizes_);
    addSeparator();
    for (int id : {cmd::CropTopLeft, cmd::CropCenter, cmd::CropBottomRight}) addAction(actionOf(id));

    connect(sizes_, &QComboBox::currentIndexChanged, this, [this] { emit pictureSizeChosen(pictureSize()); });
    setSizeControlsEnabled(false);
}

int CToolBarBigImage::pictureSize() const { return sizes_->currentData().toInt(); }

void CToolBarBigImage::setSizeControlsEnabled(bool enabled) {
    label_->setEnabled(enabled);
    sizes_->setEnabled(enabled);
}

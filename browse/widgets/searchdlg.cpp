#include "searchdlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// The radio buttons' ids in their group are the flag tests.
int flagId(search::FlagTest test) { return static_cast<int>(test); }

}  // namespace

CSearchDlg::CSearchDlg(QWidget* parent) : QDialog(parent), values_(initialCriteria()) {
    setWindowTitle(QStringLiteral("Search"));

    auto* textsBox = new QGroupBox(QStringLiteral("Search for"), this);
    auto* textsLayout = new QHBoxLayout(textsBox);
    for (int i = 0; i < 3; ++i) {
        if (i > 0) textsLayout->addWidget(new QLabel(QStringLiteral("and"), textsBox));
        texts_[i] = new QLineEdit(textsBox);
        texts_[i]->setObjectName(QStringLiteral("text%1").arg(1046 + i));
        textsLayout->addWidget(texts_[i]);
    }

    auto* groupsBox = new QGroupBox(QStringLiteral("Search In"), this);
    auto* groupsLayout = new QVBoxLayout(groupsBox);
    people_ = new QCheckBox(QStringLiteral("People"), groupsBox);
    place_ = new QCheckBox(QStringLiteral("Place"), groupsBox);
    other_ = new QCheckBox(QStringLiteral("Other"), groupsBox);
    for (QCheckBox* box : {people_, place_, other_}) groupsLayout->addWidget(box);

    auto* optionsBox = new QGroupBox(QStringLiteral("Options"), this);
    auto* optionsLayout = new QGridLayout(optionsBox);
    rating_ = new QComboBox(optionsBox);
    rating_->addItems(search::kRatingItems);
    from_ = new QDateEdit(optionsBox);
    to_ = new QDateEdit(optionsBox);
    for (QDateEdit* date : {from_, to_}) date->setCalendarPopup(true);
    optionsLayout->addWidget(new QLabel(QStringLiteral("Rating:"), optionsBox), 0, 0);
    optionsLayout->addWidget(rating_, 0, 1);
    optionsLayout->addWidget(new QLabel(QStringLiteral("Dates:"), optionsBox), 1, 0);
    optionsLayout->addWidget(from_, 1, 1);
    optionsLayout->addWidget(new QLabel(QStringLiteral("To:"), optionsBox), 2, 0);
    optionsLayout->addWidget(to_, 2, 1);

    auto* flagsBox = new QGroupBox(QStringLiteral("Flagged Pictures"), this);
    auto* flagsLayout = new QHBoxLayout(flagsBox);
    flags_ = new QButtonGroup(this);
    const std::pair<const char*, search::FlagTest> flagButtons[] = {
        {"Yes", search::FlagTest::Yes}, {"No", search::FlagTest::No}, {"Ignore", search::FlagTest::Ignore}};
    for (const auto& [caption, test] : flagButtons) {
        auto* button = new QRadioButton(QString::fromLatin1(caption), flagsBox);
        flags_->addButton(button, flagId(test));
        flagsLayout->addWidget(button);
    }

    auto* helpBox = new QGroupBox(QStringLiteral("Help"), this);
    auto* helpLayout = new QVBoxLayout(helpBox);
    // Plain text: the help shows "<value>" literally. The dates compare the Date/Time stored in the
    // picture data only, so a picture that never got one is never found; the help says so.
    auto* help = new QLabel(QStringLiteral("or:  <value>,<value>\nnot: -<value>\nOther: Headline,Caption, Event\n"
                                           "Pictures without a date are left out."),
                            helpBox);
    help->setTextFormat(Qt::PlainText);
    helpLayout->addWidget(help);

    auto* searchButton = new QPushButton(QStringLiteral("Search"), this);
    searchButton->setDefault(true);
    auto* clearButton = new QPushButton(QStringLiteral("Clear"), this);
    auto* closeButton = new QPushButton(QStringLiteral("Close"), this);
    searchButton->setObjectName(QStringLiteral("searchButton"));
    clearButton->setObjectName(QStringLiteral("clearButton"));
    closeButton->setObjectName(QStringLiteral("closeButton"));
    connect(searchButton, &QPushButton::clicked, this, &CSearchDlg::searchClicked);
    connect(clearButton, &QPushButton::clicked, this, &CSearchDlg::clearClicked);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* middle = new QHBoxLayout;
    middle->addWidget(groupsBox);
    middle->addWidget(optionsBox, 1);
    auto* lower = new QHBoxLayout;
    lower->addWidget(flagsBox);
    lower->addWidget(helpBox, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {searchButton, clearButton, closeButton}) buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(textsBox);
    layout->addLayout(middle);
    layout->addLayout(lower);
    layout->addLayout(buttons);

    showValues();
}

search::Criteria CSearchDlg::initialCriteria() {
    search::Criteria criteria;
    criteria.from = search::defaultFrom();
    criteria.to = QDateTime::currentDateTime();
    return criteria;
}

int CSearchDlg::exec() {
    showValues();
    return QDialog::exec();
}

void CSearchDlg::showValues() {
    for (int i = 0; i < 3; ++i) texts_[i]->setText(values_.texts[i]);
    people_->setChecked(values_.people);
    place_->setChecked(values_.place);
    other_->setChecked(values_.other);
    rating_->setCurrentIndex(0);
    from_->setDate(values_.from.date());
    to_->setDate(values_.to.date());
    flags_->button(flagId(values_.flagged))->setChecked(true);
}

void CSearchDlg::searchClicked() {
    for (int i = 0; i < 3; ++i) values_.texts[i] = texts_[i]->text();
    values_.people = people_->isChecked();
    values_.place = place_->isChecked();
    values_.other = other_->isChecked();
    values_.rating = rating_->currentText();
    values_.from = search::dayStart(from_->date());
    values_.to = search::dayEnd(to_->date());
    values_.flagged = static_cast<search::FlagTest>(flags_->checkedId());
    accept();
}

void CSearchDlg::clearClicked() {
    values_ = initialCriteria();
    showValues();
}

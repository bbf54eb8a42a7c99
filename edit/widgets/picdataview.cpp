#include "picdataview.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDragEnterEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "framecontext.h"
#include "optionstreectrl.h"
#include "picdatamapping.h"
#include "picturerecord.h"
#include "snaploredoc.h"

// The form's button images; registered by hand as they live in a static library.
static void registerFormResources() { Q_INIT_RESOURCE(form); }

using namespace picdata;

namespace {

const QColor kActiveFrame(0, 85, 229);
// The date pickers' "zero" date: the date taken is not known. It shows as an empty field.
const QDate kZeroDate(1899, 12, 30);
constexpr int kAnchorMargin = 4;  // the preview's frame and the repainted border around it

QString objectNameFor(int id) { return QStringLiteral("ctl%1").arg(id); }

QIcon imageIcon(const QImage& image) {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(image), QIcon::Normal);
    icon.addPixmap(QPixmap::fromImage(greyed(image)), QIcon::Disabled);
    return icon;
}

QIcon resourceIcon(const QString& name) {
    return imageIcon(QImage(QStringLiteral(":/form/%1.png").arg(name)).scaled(16, 16, Qt::KeepAspectRatio,
                                                                                Qt::SmoothTransformation));
}

// The form's own small images: drawn, 16 by 16, on a transparent background.
QImage drawnImage(const std::function<void(QPainter&)>& draw) {
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return image;
}

QImage plusImage() {
    return drawnImage([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 140, 60));
        p.drawRect(QRectF(6.5, 2, 3, 12));
        p.drawRect(QRectF(2, 6.5, 12, 3));
    });
}

QImage minusImage() {
    return drawnImage([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(190, 40, 40));
        p.drawRect(QRectF(2, 6.5, 12, 3));
    });
}

QImage arrowImage(bool up) {
    return drawnImage([up](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 80, 170));
        QPolygonF arrow({{8, 2}, {14, 9}, {10, 9}, {10, 14}, {6, 14}, {6, 9}, {2, 9}});
        if (!up) arrow = QTransform(1, 0, 0, -1, 0, 16).map(arrow);
        p.drawPolygon(arrow);
    });
}

// Image 228 (locked) and 229 (unlocked): a padlock, its shackle closed or open.
QImage lockImage(bool locked) {
    return drawnImage([locked](QPainter& p) {
        p.setPen(QPen(QColor(90, 90, 90), 1.6));
        p.setBrush(Qt::NoBrush);
        // The shackle: closed into the body, or swung up and to the right.
        const QRectF shackle = locked ? QRectF(4.5, 1.5, 7, 9) : QRectF(8.5, 0.5, 7, 9);
        p.drawArc(shackle, 0, 180 * 16);
        p.drawLine(QPointF(shackle.left(), shackle.center().y()), QPointF(shackle.left(), 7.5));
        p.drawLine(QPointF(shackle.right(), shackle.center().y()), QPointF(shackle.right(), locked ? 7.5 : 6.5));
        p.setPen(QPen(QColor(120, 90, 10), 1));
        p.setBrush(locked ? QColor(225, 180, 40) : QColor(150, 200, 110));
        p.drawRoundedRect(QRectF(2.5, 7.5, 11, 8), 1.5, 1.5);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 50, 20));
        p.drawEllipse(QPointF(8, 11), 1.3, 1.3);
    });
}

QToolButton* imageButton(QWidget* parent, int id, const QIcon& icon, const QString& tip, const QString& text = {}) {
    auto* button = new QToolButton(parent);
    button->setObjectName(objectNameFor(id));
    button->setIcon(icon);
    button->setToolTip(tip);
    if (!text.isEmpty()) {
        button->setText(text);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    return button;
}

}  // namespace

// The hidden "Picture Anchor" made visible: the square in which the form draws its preview.
class CPicDataView::Preview : public QWidget {
public:
    explicit Preview(CPicDataView& view) : QWidget(&view), view_(view) {
        setObjectName(objectNameFor(CPicDataView::PictureAnchor));
        setToolTip(QStringLiteral("Preview of the Picture"));
        setFixedSize(kPreviewSide + 2 * kAnchorMargin, kPreviewSide + 2 * kAnchorMargin);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        view_.paintPreview(painter, QRect(kAnchorMargin, kAnchorMargin, kPreviewSide, kPreviewSide));
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (QRect(kAnchorMargin, kAnchorMargin, kPreviewSide, kPreviewSide).contains(event->position().toPoint()))
            view_.ShowLargeView();
    }

private:
    CPicDataView& view_;
};

CPicDataView::CPicDataView(FrameContext& frame, QWidget* parent) : QWidget(parent), frame_(frame) {
    registerFormResources();
    setAcceptDrops(true);
    buildControls();
    buildLayout();
    connectControls();
    CSnaploreDoc& document = frame_.document();
    connect(&document, &CSnaploreDoc::updateAllViews, this, &CPicDataView::RefreshFromPicture);
    connect(&document, &CSnaploreDoc::formEditStored, this, [this] {
        changes_.reset();
        if (const PictureRecord* picture = frame_.document().picture()) loadedData_ = picture->iptc();
    });
    // Working in any field of the form makes it the frame's active view.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && isAncestorOf(now) && !frame_.isActiveView(this)) frame_.setActiveView(this);
    });
    RefreshFromPicture();
}

CPicDataView::~CPicDataView() {
    // The child widgets outlive this part of the object; a text box that empties itself on the way
    // out must not reach the form's change tracking any more.
    for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
}

void CPicDataView::buildControls() {
    const auto line = [this](int id, const QString& tip) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(objectNameFor(id));
        edit->setToolTip(tip);
        return edit;
    };
    const auto readOnly = [&](int id, const QString& tip) {
        QLineEdit* edit = line(id, tip);
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::ClickFocus);
        return edit;
    };
    const auto datePicker = [this](int id, const QString& tip) {
        auto* edit = new QDateEdit(this);
        edit->setObjectName(objectNameFor(id));
        edit->setToolTip(tip);
        edit->setDisplayFormat(QStringLiteral("M/d/yyyy"));
        edit->setCalendarPopup(true);
        edit->setMinimumDate(kZeroDate);
        edit->setSpecialValueText(QStringLiteral(" "));
        return edit;
    };

    event_ = line(Event, QStringLiteral("The Event of the Picture"));
    eventStart_ = datePicker(EventStart, QStringLiteral("The Start Date of the Event"));
    eventEnd_ = datePicker(EventEnd, QStringLiteral("The End Date fo the Event"));
    location_ = line(Location, QStringLiteral("The Location where the Event took Place"));
    city_ = line(City, QStringLiteral("The City where the Event took Place"));
    state_ = line(State, QStringLiteral("The State where the Event took Place"));
    country_ = line(Country, QStringLiteral("The Country where the Event took Place"));
    dateTaken_ = datePicker(DateTaken, QStringLiteral("The Date the Picture was taken"));
    timeTaken_ = new QTimeEdit(this);
    timeTaken_->setObjectName(objectNameFor(TimeTaken));
    timeTaken_->setToolTip(QStringLiteral("The Time the Picture was taken"));
    timeTaken_->setDisplayFormat(QStringLiteral("h:mm:ss AP"));
    headline_ = line(Headline, QStringLiteral("The Headline of the Picture"));
    entry_ = line(Entry, QStringLiteral("Type in a Person\\Place\\Thing then add to Picture"));
    people_ = new QListWidget(this);
    people_->setObjectName(objectNameFor(People));
    people_->setToolTip(QStringLiteral("List of People\\Places\\Things"));
    caption_ = new QPlainTextEdit(this);
    caption_->setObjectName(objectNameFor(Caption));
    caption_->setToolTip(QStringLiteral("The Caption for the Picture"));
    caption_->setTabChangesFocus(true);
    caption_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    rating_ = new QComboBox(this);
    rating_->setObjectName(objectNameFor(Rating));
    rating_->setToolTip(QStringLiteral("The Rating of the Picture"));
    rating_->addItems(kRatingTexts);
    viewCropped_ = new QCheckBox(QStringLiteral("View Cropped Image"), this);
    viewCropped_->setObjectName(objectNameFor(ViewCropped));
    viewCropped_->setToolTip(QStringLiteral("Display the entire Picture or the Cropped Picture"));
    viewCropped_->setChecked(true);
    fileName_ = readOnly(FileName, QStringLiteral("The Filename of the Picture"));
    fileSize_ = readOnly(FileSize, QStringLiteral("The Size of the Picture"));
    directory_ = readOnly(Directory, QStringLiteral("The location of the Picture on the Computer"));
    pictureNumber_ = readOnly(PictureNumber, {});
    pictureCount_ = readOnly(PictureCount, {});
    for (QLineEdit* number : {pictureNumber_, pictureCount_}) {
        number->setAlignment(Qt::AlignRight);
        number->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
    }
    sizeText_ = new QLabel(QStringLiteral("100% (1234 x 1234) 12.1MP"), this);
    sizeText_->setObjectName(objectNameFor(SizeText));
    sizeText_->setToolTip(QStringLiteral("Size of the Orginal and MegaPixels"));
    keepFileDate_ = new QCheckBox(QStringLiteral("Keep Fie Date/Time"), this);
    keepFileDate_->setObjectName(objectNameFor(KeepFileDate));
    keepFileDate_->setChecked(true);
    lock_ = new QToolButton(this);
    lock_->setObjectName(objectNameFor(LockButton));
    lock_->setCheckable(true);
    lock_->setToolTip(QStringLiteral("Lock/Unlock File for writing"));
    lock_->setIconSize(QSize(16, 16));
    preview_ = new Preview(*this);
}

void CPicDataView::buildLayout() {
    const auto label = [this](const QString& text, bool bold = false) {
        auto* l = new QLabel(text, this);
        if (bold) {
            QFont font = l->font();
            font.setBold(true);
            l->setFont(font);
        }
        return l;
    };
    const auto row = [](std::initializer_list<QWidget*> widgets, int stretchIndex = -1) {
        auto* box = new QHBoxLayout;
        box->setSpacing(4);
        int i = 0;
        for (QWidget* w : widgets) box->addWidget(w, i++ == stretchIndex ? 1 : 0);
        if (stretchIndex < 0) box->addStretch(1);
        return box;
    };

    QToolButton* smart = imageButton(this, SmartHeadlineButton, resourceIcon(QStringLiteral("smartheadline")),
                                     QStringLiteral("Smart Headline"));
    QToolButton* add = imageButton(this, AddButton, imageIcon(plusImage()),
                                   QStringLiteral("Add the Person\\Place\\Thing to Picture"));
    QToolButton* remove = imageButton(this, RemoveButton, imageIcon(minusImage()),
                                      QStringLiteral("Remove the Person\\Place\\Thing from Picture"));
    QToolButton* removeAll = imageButton(this, RemoveAllButton, resourceIcon(QStringLiteral("removeall")),
                                         QStringLiteral("Remove all the People\\Places\\Things from Picture"));
    QToolButton* up = imageButton(this, MoveUpButton, imageIcon(arrowImage(true)),
                                  QStringLiteral("Move the Person\\Place\\Thing up in the list"));
    QToolButton* down = imageButton(this, MoveDownButton, imageIcon(arrowImage(false)),
                                    QStringLiteral("Move the Person\\Place\\Thing up in the list"));
    QToolButton* rotate = imageButton(this, RotateButton, resourceIcon(QStringLiteral("rotate")),
                                      QStringLiteral("Rotate the Picture by 90 degrees"));

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(6);
    fields->setVerticalSpacing(5);
    fields->setColumnStretch(1, 1);
    int r = 0;
    fields->addWidget(label(QStringLiteral("Event:"), true), r, 0);
    fields->addWidget(event_, r++, 1);
    fields->addWidget(label(QStringLiteral("Date:")), r, 0);
    fields->addLayout(row({eventStart_, label(QStringLiteral("-")), eventEnd_}), r++, 1);
    fields->addWidget(label(QStringLiteral("Location:")), r, 0);
    fields->addWidget(location_, r++, 1);
    fields->addWidget(label(QStringLiteral("City/State:")), r, 0);
    fields->addLayout(row({city_, state_}, 0), r++, 1);
    fields->addWidget(label(QStringLiteral("Country:")), r, 0);
    fields->addWidget(country_, r++, 1);
    fields->addWidget(label(QStringLiteral("Date/Time:")), r, 0);
    fields->addLayout(row({dateTaken_, timeTaken_}), r++, 1);
    fields->addWidget(label(QStringLiteral("Headline:"), true), r, 0);
    fields->addLayout(row({headline_, smart}, 0), r++, 1);
    fields->addWidget(label(QStringLiteral("People:")), r, 0, Qt::AlignTop);
    auto* peopleBox = new QGridLayout;
    peopleBox->setSpacing(2);
    peopleBox->addWidget(entry_, 0, 0);
    peopleBox->addWidget(add, 0, 1);
    peopleBox->addWidget(people_, 1, 0, 4, 1);
    peopleBox->addWidget(remove, 1, 1);
    peopleBox->addWidget(removeAll, 2, 1);
    peopleBox->addWidget(up, 3, 1);
    peopleBox->addWidget(down, 4, 1, Qt::AlignTop);
    people_->setMinimumHeight(90);
    fields->addLayout(peopleBox, r++, 1);
    fields->addWidget(label(QStringLiteral("Caption:")), r, 0, Qt::AlignTop);
    fields->addWidget(caption_, r++, 1);
    fields->setRowStretch(r - 1, 1);
    fields->addWidget(label(QStringLiteral("Rating:")), r, 0);
    fields->addLayout(row({rating_, rotate}), r++, 1);

    // The right column: the preview and what describes the file, then the buttons.
    QToolButton* clear = new QToolButton(this);
    clear->setObjectName(objectNameFor(ClearButton));
    clear->setText(QStringLiteral("Clear"));
    clear->setToolTip(QStringLiteral("Clear Data for Picture"));
    QToolButton* reload = new QToolButton(this);
    reload->setObjectName(objectNameFor(ReloadButton));
    reload->setText(QStringLiteral("Reload"));
    reload->setToolTip(QStringLiteral("Reload Data for Picutre"));
    QToolButton* useLast = imageButton(this, UseLastButton, resourceIcon(QStringLiteral("uselast")),
                                       QStringLiteral("Use the Data from the last Picture"), QStringLiteral("Use Last"));
    QToolButton* prev =
        imageButton(this, PrevButton, resourceIcon(QStringLiteral("prev")), QStringLiteral("Goto Previous Picture"),
                    QStringLiteral("<<"));
    QToolButton* save =
        imageButton(this, SaveButton, resourceIcon(QStringLiteral("save")), QStringLiteral("Save Picture"),
                    QStringLiteral("Save"));
    QToolButton* saveNext = imageButton(this, SaveNextButton, resourceIcon(QStringLiteral("savenext")),
                                        QStringLiteral("Save Picture, Goto Next Picture"), QStringLiteral("Save >>"));
    QToolButton* saveCopyNext =
        imageButton(this, SaveCopyNextButton, resourceIcon(QStringLiteral("savecopynext")),
                    QStringLiteral("Save then Copy Picture Data to Next Picture"), QStringLiteral("Save >>+"));
    QToolButton* next =
        imageButton(this, NextButton, resourceIcon(QStringLiteral("next")), QStringLiteral("Goto Next Picture"),
                    QStringLiteral(">>"));

    auto* side = new QVBoxLayout;
    side->setSpacing(5);
    side->addWidget(preview_, 0, Qt::AlignLeft);
    side->addWidget(sizeText_);
    side->addWidget(viewCropped_);
    auto* info = new QGridLayout;
    info->setSpacing(4);
    info->addWidget(label(QStringLiteral("File:")), 0, 0);
    info->addLayout(row({fileName_, fileSize_}, 0), 0, 1);
    fileSize_->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000 kb")) + 12);
    info->addWidget(label(QStringLiteral("Directory:")), 1, 0);
    info->addWidget(directory_, 1, 1);
    info->addWidget(label(QStringLiteral("Picture:")), 2, 0);
    info->addLayout(row({pictureNumber_, label(QStringLiteral("of")), pictureCount_}), 2, 1);
    side->addLayout(info);
    side->addWidget(keepFileDate_);
    side->addStretch(1);
    side->addLayout(row({clear, reload, useLast}));
    side->addLayout(row({prev, save, saveNext, saveCopyNext, next, lock_}));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(14);
    layout->addLayout(fields, 3);
    layout->addLayout(side, 2);

    // Tab reads the form as it is laid out: the fields down the left, each with the buttons beside it,
    // then the right column. Controls that are read-only or disabled are passed over by Qt itself.
    const QList<QWidget*> order = {event_, eventStart_, eventEnd_, location_, city_, state_, country_,
                                   dateTaken_, timeTaken_, headline_, smart, entry_, add, people_, remove,
                                   removeAll, up, down, caption_, rating_, rotate, viewCropped_, fileName_,
                                   fileSize_, directory_, pictureNumber_, pictureCount_, keepFileDate_, clear,
                                   reload, useLast, prev, save, saveNext, saveCopyNext, next, lock_};
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

    connect(smart, &QToolButton::clicked, this, &CPicDataView::SmartHeadline);
    connect(add, &QToolButton::clicked, this, &CPicDataView::AddEntry);
    connect(remove, &QToolButton::clicked, this, &CPicDataView::RemoveEntry);
    connect(removeAll, &QToolButton::clicked, this, &CPicDataView::RemoveAll);
    connect(up, &QToolButton::clicked, this, &CPicDataView::MoveUp);
    connect(down, &QToolButton::clicked, this, &CPicDataView::MoveDown);
    connect(rotate, &QToolButton::clicked, this, &CPicDataView::Rotate);
    connect(clear, &QToolButton::clicked, this, &CPicDataView::Clear);
    connect(reload, &QToolButton::clicked, this, &CPicDataView::Reload);
    connect(useLast, &QToolButton::clicked, this, &CPicDataView::UseLast);
    for (QToolButton* button : {prev, save, saveNext, saveCopyNext, next}) {
        const int id = button->objectName().mid(3).toInt();
        connect(button, &QToolButton::clicked, this, [this, id] { emit commandRequested(id); });
    }
}

void CPicDataView::connectControls() {
    // Only the user's edits mark the document modified; the form's own loading does not.
    for (QLineEdit* edit : {event_, location_, city_, state_, country_, headline_, entry_})
        connect(edit, &QLineEdit::textEdited, this, &CPicDataView::markModified);
    connect(caption_, &QPlainTextEdit::textChanged, this, [this] {
        if (!loading_) markModified();
    });
    // A changed date would otherwise be lost without the save question.
    for (QDateEdit* edit : {eventStart_, eventEnd_, dateTaken_})
        connect(edit, &QDateEdit::dateChanged, this, [this] {
            if (!loading_) markModified();
        });
    connect(timeTaken_, &QTimeEdit::timeChanged, this, [this] {
        if (!loading_) markModified();
    });
    connect(headline_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!fromToolbar_) emit headlineChanged(text);
    });
    connect(rating_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!loading_) markModified();
        if (!fromToolbar_) emit ratingChanged(index);
    });
    connect(entry_, &QLineEdit::returnPressed, this, &CPicDataView::AddEntry);

    // Which fields the user changed: every change that is not the form's own loading counts, whether
    // typed, chosen, dropped from the options tree or sent by the toolbar.
    const auto track = [this](Field field) {
        return [this, field] {
            if (loading_) return;
            changes_.edited(field);
            handOver();
        };
    };
    const std::pair<QLineEdit*, Field> lines[] = {{event_, Field::Event},       {headline_, Field::Headline},
                                                  {location_, Field::Location}, {city_, Field::City},
                                                  {state_, Field::State},       {country_, Field::Country}};
    for (const auto& [edit, field] : lines) connect(edit, &QLineEdit::textChanged, this, track(field));
    connect(caption_, &QPlainTextEdit::textChanged, this, track(Field::Caption));
    for (QDateEdit* edit : {eventStart_, eventEnd_}) connect(edit, &QDateEdit::dateChanged, this, track(Field::Event));
    connect(dateTaken_, &QDateEdit::dateChanged, this, track(Field::DateTaken));
    connect(timeTaken_, &QTimeEdit::timeChanged, this, track(Field::DateTaken));
    connect(rating_, &QComboBox::currentIndexChanged, this, track(Field::Rating));
    const QAbstractItemModel* peopleModel = people_->model();
    connect(peopleModel, &QAbstractItemModel::rowsInserted, this, track(Field::People));
    connect(peopleModel, &QAbstractItemModel::rowsRemoved, this, track(Field::People));
    connect(peopleModel, &QAbstractItemModel::rowsMoved, this, track(Field::People));
    connect(peopleModel, &QAbstractItemModel::dataChanged, this, track(Field::People));
    connect(peopleModel, &QAbstractItemModel::modelReset, this, track(Field::People));
    // The document writes the open picture with the file times the box asks for.
    connect(keepFileDate_, &QCheckBox::toggled, &frame_.document(), &CSnaploreDoc::setKeepFileTimes);
    frame_.document().setKeepFileTimes(keepFileDate_->isChecked());
    connect(viewCropped_, &QCheckBox::toggled, this, [this] {
        updateSizeText();
        preview_->update();
    });
    connect(lock_, &QToolButton::clicked, this, &CPicDataView::SetLock);
}

void CPicDataView::markModified() {
    frame_.document().setModified(true);
    handOver();
}

QWidget* CPicDataView::control(int id) const { return findChild<QWidget*>(objectNameFor(id)); }

QString CPicDataView::headline() const { return headline_->text(); }

QStringList CPicDataView::people() const {
    QStringList entries;
    for (int i = 0; i < people_->count(); ++i) entries.append(people_->item(i)->text());
    return entries;
}

int CPicDataView::ratingIndex() const { return rating_->currentIndex(); }

QString CPicDataView::sizeText() const { return sizeText_->text(); }

QRect CPicDataView::previewSquare() const {
    return QRect(preview_->mapTo(this, QPoint(kAnchorMargin, kAnchorMargin)), QSize(kPreviewSide, kPreviewSide));
}

// ---- Loading and storing ----

void CPicDataView::setDateTaken(const QDateTime& taken) {
    dateTaken_->setDate(taken.isValid() ? taken.date() : kZeroDate);
    timeTaken_->setTime(taken.isValid() ? taken.time() : QTime(0, 0));
}

QDate CPicDataView::dateTaken() const {
    const QDate date = dateTaken_->date();
    return date == kZeroDate ? QDate() : date;
}

void CPicDataView::RefreshFromPicture() {
    ++loading_;
    CSnaploreDoc& document = frame_.document();
    PictureRecord* picture = document.picture();
    if (!picture) {
        for (QLineEdit* edit : {event_, location_, city_, state_, country_, headline_, entry_, fileName_, directory_})
            edit->clear();
        caption_->clear();
        people_->clear();
        fileSize_->setText(fileSizeText(0));
        sizeText_->setText(emptySizeText());
        setDateTaken({});
        eventStart_->setDate(kZeroDate);
        eventEnd_->setDate(kZeroDate);
        ShowPosition();
        rating_->setCurrentIndex(kDefaultRatingIndex);
        viewCropped_->setEnabled(false);
        previewPart_ = {};
        pictureLocked_ = true;
        emit headlineChanged({});
        emit peopleCountChanged(0);
        emit ratingChanged(kDefaultRatingIndex);
    } else {
        pictureLocked_ = picture->locked();
        QString displayPath = picture->filePath();
        if (!picture->fileExists()) {
            displayPath = missingFilePath(picture->archiveName, picture->archiveLocation, picture->fileName());
            pictureLocked_ = true;
        }
        directory_->setText(directoryText(displayPath));
        fileName_->setText(fileText(picture->fileName()));
        for (QLineEdit* edit : {directory_, fileName_}) edit->setCursorPosition(0);
        fileSize_->setText(fileSizeText(picture->fileSize()));
        setDateTaken(shownDateTaken(picture->iptc(), picture->dateTime()));
        entry_->clear();
        LoadFields(picture->iptc());
        // "The picture current before": a refresh of the same picture keeps the last one's data.
        if (document.pathName() != shownPath_) lastData_ = loadedData_;
        shownPath_ = document.pathName();
        loadedData_ = picture->iptc();
        updateSizeText();
    }
    updateLockButton(pictureLocked_);
    preview_->update();
    changes_.reset();
    // The form shows the picture as it is: no change of the form waits for a save.
    document.setFormEdit({});
    --loading_;
}

void CPicDataView::LoadFields(const IptcBlock& data) {
    ++loading_;
    const FormFields fields = fieldsFromData(data, dateTaken_->date());
    event_->setText(fields.eventTitle);
    eventStart_->setDate(fields.eventStart);
    eventEnd_->setDate(fields.eventEnd);
    headline_->setText(fields.headline);
    location_->setText(fields.location);
    city_->setText(fields.city);
    state_->setText(fields.state);
    country_->setText(fields.country);
    caption_->setPlainText(fields.caption);
    for (QLineEdit* edit : {event_, headline_, location_, city_, state_, country_}) edit->setCursorPosition(0);
    rating_->setCurrentIndex(fields.ratingIndex);
    people_->clear();
    people_->addItems(fields.people);

    ShowPosition();

    emit headlineChanged(headline_->text());
    emit peopleCountChanged(people_->count());
    emit ratingChanged(rating_->currentIndex());
    --loading_;
}

void CPicDataView::ShowPosition() {
    // Without an open picture both are 0, whatever the strip holds.
    int number = 0, count = 0;
    if (frame_.document().picture()) {
        count = frame_.pictureCount();
        number = frame_.pictureIndex(nullptr, frame_.document().pathName()) + 1;
    }
    pictureNumber_->setText(QString::number(number));
    pictureCount_->setText(QString::number(count));
}

void CPicDataView::StoreFields() {
    if (PictureRecord* picture = frame_.document().picture()) storeInto(*picture);
}

picdata::FormFields CPicDataView::currentFields() const {
    FormFields fields;
    fields.eventTitle = event_->text();
    fields.eventStart = eventStart_->date();
    fields.eventEnd = eventEnd_->date();
    fields.headline = headline_->text();
    fields.caption = caption_->toPlainText();
    fields.location = location_->text();
    fields.city = city_->text();
    fields.state = state_->text();
    fields.country = country_->text();
    fields.ratingIndex = rating_->currentIndex();
    fields.people = people();
    return fields;
}

void CPicDataView::storeInto(PictureRecord& picture) {
    const QDate date = dateTaken();
    const QDateTime taken = date.isValid() ? QDateTime(date, timeTaken_->time()) : QDateTime();
    storeFieldsInto(currentFields(), changes_, taken, cameraDateTime(picture.reader().exif().dateTimeOriginal),
                    picture.iptc());
    changes_.reset();
    loadedData_ = picture.iptc();
    frame_.document().setFormEdit({});
}

void CPicDataView::handOver() {
    if (loading_) return;
    CSnaploreDoc& document = frame_.document();
    if (!document.picture() || !changes_.changed()) {
        document.setFormEdit({});
        return;
    }
    // A copy of the values as they stand: the save may come after the form has shown another picture.
    const QDate date = dateTaken();
    const QDateTime taken = date.isValid() ? QDateTime(date, timeTaken_->time()) : QDateTime();
    document.setFormEdit([fields = currentFields(), changes = changes_, taken](PictureRecord& picture) {
        storeFieldsInto(fields, changes, taken, cameraDateTime(picture.reader().exif().dateTimeOriginal),
                        picture.iptc());
    });
}

void CPicDataView::ApplyCopy(const IptcBlock& data) {
    if (!frame_.document().picture()) return;
    LoadFields(data);
    changes_.tookAll(data);
    markModified();
}

// ---- People, place, headline ----

void CPicDataView::peopleChanged() {
    markModified();
    emit peopleCountChanged(people_->count());
}

void CPicDataView::AddEntry() {
    const QString text = entry_->text();
    if (text.isEmpty()) return;
    people_->addItem(text);
    entry_->clear();
    peopleChanged();
}

void CPicDataView::RemoveEntry() {
    const int row = people_->currentRow();
    if (row < 0 || !people_->currentItem() || !people_->currentItem()->isSelected()) return;
    entry_->setText(people_->item(row)->text());
    delete people_->takeItem(row);
    if (people_->count() > 0)
        people_->setCurrentRow(qMin(row, people_->count() - 1));
    else
        people_->setCurrentRow(-1);
    peopleChanged();
}

void CPicDataView::MoveUp() {
    const int row = people_->currentRow();
    if (row <= 0) return;
    people_->insertItem(row - 1, people_->takeItem(row));
    people_->setCurrentRow(row - 1);
    markModified();
}

void CPicDataView::MoveDown() {
    const int row = people_->currentRow();
    if (row < 0 || row >= people_->count() - 1) return;
    people_->insertItem(row + 1, people_->takeItem(row));
    people_->setCurrentRow(row + 1);
    markModified();
}

void CPicDataView::RemoveAll() {
    people_->clear();
    peopleChanged();
}

void CPicDataView::AddPerson(const QString& text) {
    people_->addItem(text);
    peopleChanged();
}

void CPicDataView::SetPlace(const QString& location, const QString& city, const QString& state,
                            const QString& country) {
    location_->setText(location);
    city_->setText(city);
    state_->setText(state);
    country_->setText(country);
    markModified();
}

void CPicDataView::SmartHeadline() {
    headline_->setText(smartHeadline(people(), headline_->text()));
    markModified();
}

void CPicDataView::SetHeadline(const QString& text) {
    fromToolbar_ = true;
    headline_->setText(text);
    fromToolbar_ = false;
    markModified();
}

void CPicDataView::SetRating(int index) {
    fromToolbar_ = true;
    rating_->setCurrentIndex(index);
    fromToolbar_ = false;
    markModified();
}

// ---- Clear, Reload, Use Last ----

void CPicDataView::Clear() {
    if (!frame_.document().picture()) {
        QApplication::beep();
        return;
    }
    markModified();
    IptcBlock empty;
    empty.rating = QStringLiteral("2");
    LoadFields(empty);
    changes_.tookAll(empty);
    handOver();
}

void CPicDataView::Reload() {
    if (!frame_.document().picture()) {
        QApplication::beep();
        return;
    }
    LoadFields(loadedData_);
    changes_.reloaded();
    frame_.document().setModified(false);
    handOver();
}

void CPicDataView::UseLast() {
    if (!frame_.document().picture()) {
        QApplication::beep();
        return;
    }
    LoadFields(lastData_);
    changes_.tookAll(lastData_);
    markModified();
}

// ---- Rotation, lock, size, preview ----

void CPicDataView::Rotate() {
    markModified();
    PictureRecord* picture = frame_.document().picture();
    if (picture) {
        const Rotation rotation = rotateInstructions(picture->rotation(), picture->cameraRotation());
        picture->iptc().instructions = rotation.instructions;
        picture->rotateTo(rotation.angle);
        updateSizeText();
        preview_->update();
    }
    emit pictureTurned();
}

void CPicDataView::SetLock(bool pressed) {
    PictureRecord* picture = frame_.document().picture();
    if (picture && picture->fileExists()) {
        if (pressed)
            picture->lock();
        else
            picture->unlock();
        pictureLocked_ = picture->locked();
    }
    updateLockButton(pictureLocked_);
}

void CPicDataView::RefreshLockState() {
    PictureRecord* picture = frame_.document().picture();
    pictureLocked_ = !picture || !picture->fileExists() || picture->locked();
    updateLockButton(pictureLocked_);
}

void CPicDataView::updateLockButton(bool locked) {
    lock_->setChecked(locked);
    lock_->setIcon(imageIcon(lockImage(locked)));
}

void CPicDataView::updateSizeText() {
    PictureRecord* picture = frame_.document().picture();
    if (!picture) return;
    const QSize size(picture->displayWidth(), picture->displayHeight());
    const SizeDisplay display = sizeDisplay(size, picture->cropRect().rect(), viewCropped_->isChecked());
    viewCropped_->setEnabled(display.cropEnabled);
    sizeText_->setText(display.text);
    previewPart_ = display.shown;
}

void CPicDataView::paintPreview(QPainter& painter, const QRect& area) {
    PictureRecord* picture = frame_.document().picture();
    const QSize size = picture ? previewSize(previewPart_.size()) : kEmptyPreview;
    const QRect target(area.topLeft(), size);
    painter.fillRect(target, palette().color(QPalette::Base));
    if (picture) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QSize whole(picture->displayWidth(), picture->displayHeight());
        // Made before it is asked for: a picture just opened has none yet, and its crop would be lost
        // on the first paint.
        picture->makeThumbnail();
        const QImage thumbnail = picture->thumbnailImage();
        if (previewPart_ == QRect(QPoint(0, 0), whole) || thumbnail.isNull() || whole.isEmpty()) {
            picture->drawThumbnail(painter, target);
        } else {
            // The crop's part of the thumbnail, in the thumbnail's own pixels.
            const double sx = double(thumbnail.width()) / whole.width();
            const double sy = double(thumbnail.height()) / whole.height();
            const QRectF source(previewPart_.x() * sx, previewPart_.y() * sy, previewPart_.width() * sx,
                                previewPart_.height() * sy);
            painter.drawImage(QRectF(target), thumbnail, source);
        }
    }
    // The sunken frame: two one-pixel rings.
    const QRect outer = target.adjusted(-2, -2, 1, 1);
    const QRect inner = target.adjusted(-1, -1, 0, 0);
    const auto ring = [&painter](const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
        painter.setPen(topLeft);
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    };
    ring(outer, QColor(100, 100, 100), QColor(240, 240, 225));
    ring(inner, QColor(168, 168, 168), Qt::white);
}

void CPicDataView::ShowLargeView() { emit largeViewRequested(); }

// ---- Events ----

void CPicDataView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QPen pen(frame_.isActiveView(this) ? kActiveFrame : palette().color(QPalette::Button), 3);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5));
}

void CPicDataView::mousePressEvent(QMouseEvent* event) {
    frame_.setActiveView(this);
    QWidget::mousePressEvent(event);
}

void CPicDataView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (previewSquare().contains(event->position().toPoint())) ShowLargeView();
    QWidget::mouseDoubleClickEvent(event);
}

void CPicDataView::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void CPicDataView::dragMoveEvent(QDragMoveEvent* event) {
    if (COptionsTreeCtrl::canDropOn(event, this))
        event->acceptProposedAction();
    else
        event->ignore();
}

void CPicDataView::dropEvent(QDropEvent* event) {
    if (COptionsTreeCtrl::dropOn(event, this))
        event->acceptProposedAction();
    else
        event->ignore();
}

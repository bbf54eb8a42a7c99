#include "picturepanel.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "iptcblock.h"
#include "picturerecord.h"
#include "snaploredoc.h"

namespace {

constexpr int kThumbnailSide = 200;

QString ratingText(const QString& rating) {
    static const char* const names[] = {"1-Gold Star", "2-Silver Star", "3-Bronze Star", "4-No Star"};
    bool ok = false;
    const int value = rating.toInt(&ok);
    return ok && value >= 1 && value <= 4 ? QString::fromLatin1(names[value - 1]) : rating;
}

QString placeText(const IptcBlock& data) {
    QStringList parts;
    for (const QString& part : {data.location, data.city, data.state, data.country})
        if (!part.trimmed().isEmpty()) parts.append(part.trimmed());
    return parts.join(QStringLiteral(", "));
}

QPixmap thumbnailPixmap(PictureRecord& picture) {
    QSize size(picture.displayWidth(), picture.displayHeight());
    if (size.isEmpty()) size = QSize(4, 3);
    size.scale(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio);
    QPixmap pixmap(size);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    picture.drawThumbnail(painter, QRect(QPoint(0, 0), size));
    return pixmap;
}

}  // namespace

PicturePanel::PicturePanel(CSnaploreDoc& document, QWidget* parent) : QWidget(parent), document_(document) {
    heading_ = new QLabel(this);
    QFont headingFont = heading_->font();
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.3);
    headingFont.setBold(true);
    heading_->setFont(headingFont);
    heading_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    thumbnail_ = new QLabel(this);
    thumbnail_->setFixedSize(kThumbnailSide + 8, kThumbnailSide + 8);
    thumbnail_->setAlignment(Qt::AlignCenter);
    thumbnail_->setFrameShape(QFrame::StyledPanel);

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    const auto add = [&](const QString& name, const QString& label) { form->addRow(label, addLine(name, label)); };
    add(QStringLiteral("file"), tr("File:"));
    add(QStringLiteral("size"), tr("Size:"));
    add(QStringLiteral("date"), tr("Date taken:"));
    add(QStringLiteral("event"), tr("Event:"));
    add(QStringLiteral("headline"), tr("Headline:"));
    caption_ = new QPlainTextEdit(this);
    caption_->setReadOnly(true);
    caption_->setMaximumHeight(fontMetrics().lineSpacing() * 6);
    form->addRow(tr("Caption:"), caption_);
    add(QStringLiteral("people"), tr("People:"));
    add(QStringLiteral("place"), tr("Place:"));
    add(QStringLiteral("rating"), tr("Rating:"));
    add(QStringLiteral("state"), tr("State:"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(heading_);
    layout->addWidget(thumbnail_);
    layout->addSpacing(6);
    layout->addLayout(form);
    layout->addStretch(1);
    documentChanged();
}

QLineEdit* PicturePanel::addLine(const QString& name, const QString& label) {
    auto* line = new QLineEdit(this);
    line->setReadOnly(true);
    line->setAccessibleName(label);
    lines_.append({name, line});
    return line;
}

QString PicturePanel::field(const QString& name) const {
    if (name == QLatin1String("caption")) return caption_->toPlainText();
    for (const auto& [key, line] : lines_)
        if (key == name) return line->text();
    return {};
}

void PicturePanel::documentChanged() {
    PictureRecord* picture = document_.picture();
    QHash<QString, QString> texts;
    if (!picture) {
        heading_->setText(tr("No picture open"));
        thumbnail_->clear();
        thumbnail_->setText(tr("Select a picture\nin the browser"));
    } else {
        const IptcBlock& data = picture->iptc();
        const QLocale locale;
        heading_->setText(picture->fileName());
        thumbnail_->setPixmap(thumbnailPixmap(*picture));
        texts[QStringLiteral("file")] = picture->filePath();
        texts[QStringLiteral("size")] = tr("%1 × %2 pixels, %3")
                                            .arg(picture->displayWidth())
                                            .arg(picture->displayHeight())
                                            .arg(locale.formattedDataSize(qint64(picture->fileSize())));
        const QDateTime taken = picture->dateTime();
        texts[QStringLiteral("date")] = taken.isValid() ? locale.toString(taken, QLocale::ShortFormat) : QString();
        texts[QStringLiteral("event")] = data.event.isEmpty() ? QString() : data.EventTitle();
        texts[QStringLiteral("headline")] = data.headline;
        texts[QStringLiteral("people")] = data.people.join(QStringLiteral(", "));
        texts[QStringLiteral("place")] = placeText(data);
        texts[QStringLiteral("rating")] = ratingText(data.rating);
        QStringList state;
        if (!picture->archiveName.isEmpty()) state.append(tr("archived on %1").arg(picture->archiveName));
        if (!picture->fileExists()) state.append(tr("file not on disk"));
        if (picture->locked()) state.append(tr("locked"));
        if (document_.isModified()) state.append(tr("changed, not saved"));
        texts[QStringLiteral("state")] = state.join(QStringLiteral(", "));
    }
    caption_->setPlainText(picture ? picture->iptc().caption : QString());
    for (const auto& [key, line] : lines_) {
        line->setText(texts.value(key));
        line->setCursorPosition(0);
    }
}

void PicturePanel::loadFields(const IptcBlock& data) {
    PictureRecord* picture = document_.picture();
    if (!picture) return;
    IptcBlock& target = picture->iptc();
    // The fields a person fills in; the date taken and the rotation and crop stay the picture's own.
    target.event = data.event;
    target.headline = data.headline;
    target.caption = data.caption;
    target.people = data.people;
    target.location = data.location;
    target.city = data.city;
    target.state = data.state;
    target.country = data.country;
    target.rating = data.rating;
    picture->updateHasData();
    document_.setModified(true);
    documentChanged();
}

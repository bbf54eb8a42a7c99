#include "picdatamapping.h"

#include "picturerecord.h"
#include "picturesearch.h"

#include "instructiontext.h"
#include "iptcblock.h"

#include <QRegularExpression>

namespace picdata {

namespace {

const QString kArrow = QStringLiteral("-->");
const QString kTitleMark = QStringLiteral(":::");

int lastSeparator(const QString& path) {
    return int(qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))));
}

}  // namespace

QString formatEventDate(const QDate& date) { return date.toString(QStringLiteral("MM/dd/yyyy")); }

QDate parseEventDate(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{1,4})\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) return {};
    return QDate(match.captured(3).toInt(), match.captured(1).toInt(), match.captured(2).toInt());
}

QString eventText(const QString& title, const QDate& start, const QDate& end) {
    if (title.isEmpty()) return {};
    return formatEventDate(start) + kArrow + formatEventDate(end) + kTitleMark + title;
}

EventParts parseEvent(const QString& stored) {
    const qsizetype mark = stored.indexOf(kTitleMark);
    if (mark < 0 || stored.startsWith(kArrow)) return {stored, {}, {}};
    EventParts parts;
    parts.title = stored.mid(mark + kTitleMark.size());
    const qsizetype arrow = stored.indexOf(kArrow);
    if (arrow >= 0) {
        parts.start = parseEventDate(stored.left(arrow));
        const qsizetype endMark = stored.indexOf(kTitleMark, arrow + kArrow.size());
        parts.end = parseEventDate(stored.mid(arrow + kArrow.size(), endMark - arrow - kArrow.size()));
    }
    return parts;
}

int ratingIndex(const QString& rating) { return picturesearch::shownRating(rating) - 1; }

QString ratingText(int index) { return QString::number(index < 0 ? 0 : index + 1); }

FormFields fieldsFromData(const IptcBlock& data, const QDate& dateTaken) {
    FormFields fields;
    fields.headline = data.headline;
    fields.caption = data.caption;
    fields.location = data.location;
    fields.city = data.city;
    fields.state = data.state;
    fields.country = data.country;
    const EventParts event = parseEvent(data.event);
    fields.eventTitle = event.title;
    // A date that cannot be read is shown as the date taken, as for an event without dates.
    fields.eventStart = event.start.isValid() ? event.start : dateTaken;
    fields.eventEnd = event.end.isValid() ? event.end : dateTaken;
    fields.ratingIndex = ratingIndex(data.rating);
    fields.people = data.people;
    return fields;
}

QDateTime shownDateTaken(const IptcBlock& data, const QDateTime& pictureDate) {
    if (data.dateTime.isValid()) return data.dateTime;
    static const QRegularExpression stored(QStringLiteral("^\\s*(\\d{4})(\\d{2})(\\d{2})"));
    const QRegularExpressionMatch match = stored.match(data.dateText);
    if (match.hasMatch()) {
        const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
        if (date.isValid()) return QDateTime(date, QTime(0, 0));
    }
    return pictureDate;
}

QDateTime cameraDateTime(const QByteArray& exifText) { return parseExifDateTime(exifText); }

void FormChanges::edited(Field field) {
    edited_ |= field;
    taken_ &= ~Fields(field);
}

void FormChanges::tookAll(const IptcBlock& data) {
    source_ = data;
    taken_ = kLoadedFields;
    edited_ &= Field::DateTaken;
}

void FormChanges::reloaded() {
    edited_ &= Field::DateTaken;
    taken_ = {};
    source_ = IptcBlock();
}

void FormChanges::reset() {
    edited_ = {};
    taken_ = {};
    source_ = IptcBlock();
}

bool giveCameraDate(const QDateTime& cameraTaken, IptcBlock& data) {
    if (!data.dateText.isEmpty() || !cameraTaken.isValid()) return false;
    data.dateTime = cameraTaken;
    data.RefreshDateTexts();
    return true;
}

void storeFieldsInto(const FormFields& fields, const FormChanges& changes, const QDateTime& taken,
                     const QDateTime& cameraTaken, IptcBlock& data) {
    const Fields edited = changes.edited();
    const Fields takenWhole = changes.taken();
    const IptcBlock& source = changes.source();
    const auto store = [&](Field field, QString& target, const QString& shown, const QString& stored) {
        if (edited.testFlag(field))
            target = shown;
        else if (takenWhole.testFlag(field))
            target = stored;
    };
    store(Field::Event, data.event, eventText(fields.eventTitle, fields.eventStart, fields.eventEnd), source.event);
    store(Field::Headline, data.headline, fields.headline, source.headline);
    store(Field::Caption, data.caption, fields.caption, source.caption);
    store(Field::Location, data.location, fields.location, source.location);
    store(Field::City, data.city, fields.city, source.city);
    store(Field::State, data.state, fields.state, source.state);
    store(Field::Country, data.country, fields.country, source.country);
    store(Field::Rating, data.rating, ratingText(fields.ratingIndex), source.rating);
    if (edited.testFlag(Field::People))
        data.people = fields.people;
    else if (takenWhole.testFlag(Field::People))
        data.people = source.people;

    if (edited.testFlag(Field::DateTaken)) {
        data.dateTime = taken;
        if (taken.isValid()) {
            data.RefreshDateTexts();
        } else {
            // The user emptied the date: no made-up one is written, and the stored one goes.
            data.dateText.clear();
            data.timeText.clear();
        }
    } else {
        giveCameraDate(cameraTaken, data);
    }
}

QString smartHeadline(const QStringList& people, const QString& headline) {
    QString prefix;
    const qsizetype count = people.size();
    for (qsizetype i = 0; i < count; ++i) {
        const QString word = people[i].section(QLatin1Char(' '), 0, 0);
        if (i == 0)
            prefix = word;
        else if (i < count - 1)
            prefix += QStringLiteral(", ") + word;
        else
            prefix += (count == 2 ? QStringLiteral(" & ") : QStringLiteral(", & ")) + word;
    }
    return prefix + QLatin1Char(' ') + headline;
}

int rotationAfter(int angle) {
    // Another program may have written any number; taken modulo 360 it cannot overflow.
    const int current = ((angle % 360) + 360) % 360;
    return current + 90 >= 360 ? current - 270 : current + 90;
}

Rotation rotateInstructions(int shownAngle, int cameraAngle) {
    Rotation rotation;
    rotation.angle = rotationAfter(shownAngle);
    if (rotation.angle != 0)
        rotation.instructions = instructiontext::formatRotation(rotation.angle);
    else if (cameraAngle % 360 != 0)
        rotation.instructions = instructiontext::formatRotation(360);
    return rotation;
}

QString fileSizeText(quint64 bytes) { return QStringLiteral("%1 kb").arg(bytes / 1024); }

SizeDisplay sizeDisplay(const QSize& picture, const QRect& crop, bool viewCropped) {
    SizeDisplay display;
    const QRect whole(QPoint(0, 0), picture);
    const QRect kept = crop.intersected(whole);
    const qint64 area = qint64(picture.width()) * picture.height();
    // A picture without dimensions has nothing to crop (and nothing to divide by).
    if (area > 0 && !kept.isEmpty()) display.percent = int(qint64(kept.width()) * kept.height() * 100 / area);
    display.cropEnabled = display.percent != 100;
    display.shown = viewCropped && display.cropEnabled ? kept : whole;
    display.text = QString::asprintf("%d%% (%dx%d) %2.1fMP", display.cropEnabled && viewCropped ? display.percent : 100,
                                     display.shown.width(), display.shown.height(),
                                     double(display.shown.width()) * display.shown.height() * 0.000001);
    return display;
}

QString emptySizeText() { return QStringLiteral("0% (0x0) 0.0MP"); }

QString directoryText(const QString& displayPath) {
    const int separator = lastSeparator(displayPath);
    return separator < 0 ? displayPath : displayPath.left(separator);
}

QString fileText(const QString& displayName) {
    static const QRegularExpression separator(QStringLiteral("[\\\\/]"));
    const qsizetype first = displayName.indexOf(separator);
    return first < 0 ? displayName : displayName.mid(first + 1);
}

QString missingFilePath(const QString& volumeLabel, const QString& archivePath, const QString& displayName) {
    if (volumeLabel.isEmpty()) return QStringLiteral("<Cannot find file>");
    // A name taken over from a subfolder's catalog keeps the catalog's backslash; shown as a path.
    QString name = displayName;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const bool separated = archivePath.isEmpty() || lastSeparator(archivePath) == archivePath.size() - 1;
    return QStringLiteral("(%1) %2%3%4")
        .arg(volumeLabel, archivePath, separated ? QString() : QStringLiteral("/"), name);
}

QSize previewSize(const QSize& size) {
    if (size.isEmpty()) return kEmptyPreview;
    return size.scaled(kPreviewSide, kPreviewSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

QImage greyed(const QImage& image) {
    QImage grey = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            const QRgb pixel = line[x];
            if (qAlpha(pixel) == 0) continue;
            const int value = int(0.299 * qRed(pixel) + 0.587 * qGreen(pixel) + 0.114 * qBlue(pixel));
            line[x] = qRgba(value, value, value, qAlpha(pixel));
        }
    }
    return grey;
}

}  // namespace picdata

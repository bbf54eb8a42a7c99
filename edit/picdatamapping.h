#pragma once
// The picture data form's logic without the form: how the form's values become a picture's
// IptcBlock and back (the event text with its dates, the rating index, the people, the date and
// time taken), the smart headline, the rotate command's instruction text, and the texts that
// describe the file (size in kb, the directory and file fields, the size text with or without crop).

#include <QDate>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTime>

class IptcBlock;

namespace picdata {

inline const QStringList kRatingTexts = {QStringLiteral("1-Gold Star"), QStringLiteral("2-Silver Star"),
                                         QStringLiteral("3-Bronze Star"), QStringLiteral("4-No Star")};
// The rating index of a picture without a usable rating.
constexpr int kDefaultRatingIndex = 1;
// The preview's longer side, and the frame shown without a picture.
constexpr int kPreviewSide = 160;
inline const QSize kEmptyPreview{160, 120};

// "%m/%d/%Y".
QString formatEventDate(const QDate& date);
// Month/day/year; an invalid date when the text is not one.
QDate parseEventDate(const QString& text);

// "start-->end:::title"; empty when the title is empty, whatever the dates.
QString eventText(const QString& title, const QDate& start, const QDate& end);

struct EventParts {
    QString title;
    QDate start;  // invalid when the stored text has no dates
    QDate end;
};
// Reads "start-->end:::title"; a text without ":::", or one that begins with "-->", is all title.
EventParts parseEvent(const QString& stored);

// The rating list's index for a stored rating: the number minus one; 1 for an empty, zero or
// unreadable rating; -1 (no selection) above the list.
int ratingIndex(const QString& rating);
// The stored rating of a list index; no selection (-1) stores "0".
QString ratingText(int index);

// The fields the form edits.
struct FormFields {
    QString eventTitle;
    QDate eventStart;
    QDate eventEnd;
    QString headline;
    QString caption;
    QString location;
    QString city;
    QString state;
    QString country;
    int ratingIndex = kDefaultRatingIndex;
    QStringList people;
};
// What LoadFields shows. An event without dates takes `dateTaken` for both dates.
FormFields fieldsFromData(const IptcBlock& data, const QDate& dateTaken);
// What StoreFields writes. The date taken joins the two pickers; an unknown date (invalid) leaves
// the picture's date unset rather than writing a made-up one.
void storeFieldsInto(const FormFields& fields, const QDate& dateTaken, const QTime& timeTaken, IptcBlock& data);

// The first word of every entry before the headline: "Anna Picnic", "Anna & Olaf Picnic",
// "Anna, Olaf, & Eva Picnic". An empty list gives a leading space.
QString smartHeadline(const QStringList& people, const QString& headline);

// The rotate command's quarter turn: the angle after `angle`, within 0..359.
int rotationAfter(int angle);
struct Rotation {
    int angle = 0;
    QString instructions;  // "Rotate:%d", or empty at 0 degrees; any crop is dropped
};
// The instruction text after one rotate command.
Rotation rotateInstructions(const QString& instructions);

// "%d kb" of the size in bytes divided by 1024.
QString fileSizeText(quint64 bytes);

// The size text and the crop box.
struct SizeDisplay {
    int percent = 100;         // crop area in percent of the picture
    bool cropEnabled = false;  // "View Cropped Image" can be ticked: the crop is not the whole picture
    QRect shown;               // the part of the picture the preview shows
    QString text;              // "%d%% (%dx%d) %2.1fMP"
};
// `crop` in pixels of the picture as displayed; it is kept within the picture, and a crop that leaves
// nothing of it counts as none.
SizeDisplay sizeDisplay(const QSize& picture, const QRect& crop, bool viewCropped);
// The text without a picture.
QString emptySizeText();

// The Directory field: the display path up to its last separator (all of it without one).
QString directoryText(const QString& displayPath);
// The File field: a catalog's "sub\name.jpg" shows after its first separator.
QString fileText(const QString& displayName);
// The display path of a picture whose file is missing: "(%s) %s%s" for an archived picture, else
// "<Cannot find file>".
QString missingFilePath(const QString& volumeLabel, const QString& archivePath, const QString& displayName);

// The preview's size for a picture part of `size`: the longer side 160.
QSize previewSize(const QSize& size);

// An image button's disabled picture: grey = 0.299 red + 0.587 green + 0.114 blue (truncated); the
// transparent pixels stay as they are.
QImage greyed(const QImage& image);

}  // namespace picdata

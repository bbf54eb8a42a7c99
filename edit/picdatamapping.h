#pragma once
// The picture data form's logic without the form: how the form's values become a picture's
// IptcBlock and back (the event text with its dates, the rating index, the people, the date and
// time taken), the smart headline, the rotate command's instruction text, and the texts that
// describe the file (size in kb, the directory and file fields, the size text with or without crop).

#include <QDate>
#include <QDateTime>
#include <QFlags>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTime>

#include "iptcblock.h"

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

// The date and time the pickers show: the picture data's date and time; a stored date without a
// time at midnight; else `pictureDate` (the camera's or the file's).
QDateTime shownDateTaken(const IptcBlock& data, const QDateTime& pictureDate);
// The camera's "YYYY:MM:DD HH:MM:SS" (other separators, no seconds or no time at all are read too);
// invalid when it is not a real date, such as the zeros of an unknown one.
QDateTime cameraDateTime(const QByteArray& exifText);

// The fields of the form, one flag each; the event's title and its two dates are one field.
enum class Field : unsigned {
    Event = 1u << 0,
    Headline = 1u << 1,
    Caption = 1u << 2,
    Location = 1u << 3,
    City = 1u << 4,
    State = 1u << 5,
    Country = 1u << 6,
    Rating = 1u << 7,
    People = 1u << 8,
    DateTaken = 1u << 9,  // both pickers
};
Q_DECLARE_FLAGS(Fields, Field)
// The fields LoadFields fills: all but the date taken.
inline constexpr Fields kLoadedFields{Field::Event, Field::Headline, Field::Caption, Field::Location, Field::City,
                                      Field::State, Field::Country, Field::Rating, Field::People};

// What the user changed in the form since the picture was shown or last stored. Only these fields
// are written: a picture captioned elsewhere may hold values the form cannot show as they are (a
// rating above the list, an event without dates, a date without a time, no rating at all), and what
// the form shows in their place must not replace them unnoticed.
class FormChanges {
public:
    // The user edited the field in the form: it is stored as the form shows it.
    void edited(Field field);
    // Clear, Use Last, Save Copy Next: every field LoadFields fills comes from `data` as it is stored
    // there (a rating of 8 stays 8), until the user edits it. An edited date taken stays edited.
    void tookAll(const IptcBlock& data);
    // Reload: the fields LoadFields fills are as stored again; an edited date taken stays edited, as
    // the pickers keep what the user set.
    void reloaded();
    // Shown afresh or stored: nothing changed.
    void reset();

    Fields changed() const { return edited_ | taken_; }
    Fields edited() const { return edited_; }
    Fields taken() const { return taken_; }
    const IptcBlock& source() const { return source_; }

private:
    Fields edited_;
    Fields taken_;
    IptcBlock source_;
};

// What StoreFields writes: the changed fields only. An edited date taken joins the two pickers
// (`taken`; invalid when the date picker is empty, which removes the stored date). A picture that
// has no stored date gets `cameraTaken` (the camera's date) when it is valid; a file time never.
void storeFieldsInto(const FormFields& fields, const FormChanges& changes, const QDateTime& taken,
                     const QDateTime& cameraTaken, IptcBlock& data);
// The camera's date for a picture data block that has no stored date; false when there is none to
// give (a stored date, or no valid camera date).
bool giveCameraDate(const QDateTime& cameraTaken, IptcBlock& data);

// The first word of every entry before the headline: "Anna Picnic", "Anna & Olaf Picnic",
// "Anna, Olaf, & Eva Picnic". An empty list gives a leading space.
QString smartHeadline(const QStringList& people, const QString& headline);

// The rotate command's quarter turn: the angle after `angle`, within 0..359.
int rotationAfter(int angle);
struct Rotation {
    int angle = 0;
    QString instructions;  // "Rotate:%d", or empty at 0 degrees; any crop is dropped
};
// The instruction text after one rotate command: the picture turns a quarter clockwise from the
// angle it is shown at (`shownAngle`). Upright again, a picture the camera turned (`cameraAngle` not
// 0) is stored as "Rotate:360", since without a positive angle the camera's would apply.
Rotation rotateInstructions(int shownAngle, int cameraAngle);

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
// The display path of a picture whose file is missing: "(%s) %s/%s" of the volume label, the archive
// path and the name for an archived picture (no second separator when the path ends in one), else
// "<Cannot find file>".
QString missingFilePath(const QString& volumeLabel, const QString& archivePath, const QString& displayName);

// The preview's size for a picture part of `size`: the longer side 160.
QSize previewSize(const QSize& size);

// An image button's disabled picture: grey = 0.299 red + 0.587 green + 0.114 blue (truncated); the
// transparent pixels stay as they are.
QImage greyed(const QImage& image);

}  // namespace picdata

Q_DECLARE_OPERATORS_FOR_FLAGS(picdata::Fields)

// The picture data form's logic without widgets: the event text and its dates, the rating index,
// the people and the date taken between form and IptcBlock, the smart headline, the rotate
// command's instruction text and the texts that describe the file.

#include <gtest/gtest.h>

#include <QColor>
#include <QMap>

#include "iptcblock.h"
#include "picdatamapping.h"

using namespace picdata;

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

TEST(PicDataMapping, EventTextCarriesItsDatesOnlyWithATitle) {
    const QDate start(2004, 7, 4), end(2004, 7, 5);
    EXPECT_EQ(eventText("Picnic", start, end), "07/04/2004-->07/05/2004:::Picnic");
    EXPECT_EQ(eventText("", start, end), "");
}

TEST(PicDataMapping, StoredEventTextsAreReadBack) {
    const QDate taken(2003, 6, 1);
    struct Case {
        QString stored;
        QString title;
        QDate start, end;
    };
    const Case cases[] = {
        {"07/04/2004-->07/05/2004:::Picnic", "Picnic", {2004, 7, 4}, {2004, 7, 5}},
        {"7/4/2004-->7/5/2004:::Picnic:::late", "Picnic:::late", {2004, 7, 4}, {2004, 7, 5}},
        // No ":::": all title, both dates the date taken.
        {"Picnic at the lake", "Picnic at the lake", taken, taken},
        // Beginning with "-->": all title as well.
        {"-->07/05/2004:::Picnic", "-->07/05/2004:::Picnic", taken, taken},
        // Dates that cannot be read show the date taken rather than nothing.
        {"soon-->later:::Picnic", "Picnic", taken, taken},
        {"", "", taken, taken},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        IptcBlock data;
        data.event = c.stored;
        const FormFields fields = fieldsFromData(data, taken);
        EXPECT_EQ(fields.eventTitle, c.title);
        EXPECT_EQ(fields.eventStart, c.start);
        EXPECT_EQ(fields.eventEnd, c.end);
    }
}

TEST(PicDataMapping, RatingTextsAndListIndexes) {
    struct Case {
        QString rating;
        int index;
    };
    const Case cases[] = {{"1", 0}, {"3", 2}, {"4", 3}, {"", 1}, {"0", 1}, {"x", 1}, {"-2", 1}, {"5", -1}, {"9", -1}};
    for (const Case& c : cases) EXPECT_EQ(ratingIndex(c.rating), c.index) << c.rating.toStdString();
    EXPECT_EQ(ratingText(2), "3");
    EXPECT_EQ(ratingText(-1), "0");  // no selection stores "0"
    ASSERT_EQ(kRatingTexts.size(), 4);
    EXPECT_EQ(kRatingTexts[0], "1-Gold Star");
    EXPECT_EQ(kRatingTexts[3], "4-No Star");
}

namespace {

FormChanges edited(Fields fields) {
    FormChanges changes;
    for (Field field : {Field::Event, Field::Headline, Field::Caption, Field::Location, Field::City, Field::State,
                        Field::Country, Field::Rating, Field::People, Field::DateTaken})
        if (fields.testFlag(field)) changes.edited(field);
    return changes;
}

// Picture data as another program writes it: a rating above the list, an event without the
// program's dates, a date without a time.
IptcBlock captionedElsewhere() {
    IptcBlock data;
    data.event = "Test IPTC picture";
    data.headline = "No headline";
    data.caption = "A witty caption";
    data.city = "Kingston";
    data.state = "Ont";
    data.country = "Canada";
    data.rating = "8";
    data.people = {"Harbour", "Test", "IPTC"};
    data.dateText = "20040226";
    data.byline = "A photographer";
    return data;
}

// Every field, as text, to compare two blocks field by field.
QMap<QString, QString> fieldTexts(const IptcBlock& d) {
    return {{"event", d.event},       {"headline", d.headline}, {"caption", d.caption},
            {"location", d.location}, {"city", d.city},         {"state", d.state},
            {"country", d.country},   {"rating", d.rating},     {"people", d.people.join('|')},
            {"dateText", d.dateText}, {"timeText", d.timeText}, {"byline", d.byline}};
}

}  // namespace

TEST(PicDataMapping, StoringWritesEveryEditedFieldAndTheDateTaken) {
    FormFields fields;
    fields.eventTitle = "Picnic";
    fields.eventStart = {2004, 7, 4};
    fields.eventEnd = {2004, 7, 5};
    fields.headline = "Lunch";
    fields.caption = "Line one\nLine two";
    fields.location = "Zilker Park";
    fields.city = "Austin";
    fields.state = "Texas";
    fields.country = "USA";
    fields.ratingIndex = 0;
    fields.people = {"Anna Berg", "Olaf Berg"};
    IptcBlock data;
    data.people = {"Old entry"};
    data.instructions = "Rotate:90";
    const Fields all = kLoadedFields | Field::DateTaken;
    storeFieldsInto(fields, edited(all), QDateTime(QDate(2004, 7, 4), QTime(13, 5, 9)), {}, data);
    EXPECT_EQ(data.event, "07/04/2004-->07/05/2004:::Picnic");
    EXPECT_EQ(data.headline, "Lunch");
    EXPECT_EQ(data.caption, "Line one\nLine two");
    EXPECT_EQ(data.location, "Zilker Park");
    EXPECT_EQ(data.city, "Austin");
    EXPECT_EQ(data.state, "Texas");
    EXPECT_EQ(data.country, "USA");
    EXPECT_EQ(data.rating, "1");
    EXPECT_EQ(data.people, (QStringList{"Anna Berg", "Olaf Berg"}));
    EXPECT_EQ(data.dateTime, QDateTime(QDate(2004, 7, 4), QTime(13, 5, 9)));
    EXPECT_EQ(data.dateText, "20040704");
    EXPECT_EQ(data.timeText, "130509");
    EXPECT_EQ(data.instructions, "Rotate:90");  // the form does not touch rotation and crop

    // Reading it back gives the same fields.
    const FormFields back = fieldsFromData(data, QDate(2000, 1, 1));
    EXPECT_EQ(back.eventTitle, fields.eventTitle);
    EXPECT_EQ(back.eventStart, fields.eventStart);
    EXPECT_EQ(back.eventEnd, fields.eventEnd);
    EXPECT_EQ(back.people, fields.people);
    EXPECT_EQ(back.ratingIndex, 0);

    // An emptied date picker writes no made-up date: the stored one goes.
    storeFieldsInto(fields, edited(Field::DateTaken), QDateTime(), {}, data);
    EXPECT_FALSE(data.dateTime.isValid());
    EXPECT_TRUE(data.dateText.isEmpty());
    EXPECT_TRUE(data.timeText.isEmpty());
}

TEST(PicDataMapping, OnlyTheEditedFieldIsStored) {
    // The form as it shows the picture above, which is not how it is stored: an event with the date
    // taken for its dates, no rating selected, the file's date and time.
    const IptcBlock original = captionedElsewhere();
    const QDate shownDate(2019, 4, 12);
    FormFields shown = fieldsFromData(original, shownDate);
    ASSERT_EQ(shown.ratingIndex, -1);
    shown.headline += "!";
    shown.caption += "!";
    shown.city += "!";
    shown.people.append("Anna");
    shown.eventTitle += "!";
    shown.ratingIndex = 0;
    const QDateTime pickers(shownDate, QTime(18, 1, 2));

    struct Case {
        Fields edits;
        QMap<QString, QString> changed;
    };
    const Case cases[] = {
        {{}, {}},
        {Field::Headline, {{"headline", "No headline!"}}},
        {Field::Caption, {{"caption", "A witty caption!"}}},
        {Field::City, {{"city", "Kingston!"}}},
        {Field::People, {{"people", "Harbour|Test|IPTC|Anna"}}},
        {Field::Rating, {{"rating", "1"}}},
        {Field::Event, {{"event", "04/12/2019-->04/12/2019:::Test IPTC picture!"}}},
        {Field::DateTaken, {{"dateText", "20190412"}, {"timeText", "180102"}}},
        {Field::Headline | Field::Caption, {{"headline", "No headline!"}, {"caption", "A witty caption!"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edits.toInt());
        IptcBlock data = original;
        // The camera's date goes only to a picture without a stored date; this one has one.
        storeFieldsInto(shown, edited(c.edits), pickers, QDateTime(QDate(2001, 1, 1), QTime(1, 1)), data);
        QMap<QString, QString> expected = fieldTexts(original);
        for (auto it = c.changed.begin(); it != c.changed.end(); ++it) expected[it.key()] = it.value();
        EXPECT_EQ(fieldTexts(data), expected);
    }
}

TEST(PicDataMapping, FieldsTakenWholeAreStoredAsTheSourceHoldsThem) {
    // Use Last from a picture captioned elsewhere: its rating of 8 and its event without dates go as
    // they are, not as the form shows them; a field edited afterwards goes as the form shows it.
    FormChanges changes;
    changes.edited(Field::Headline);
    changes.edited(Field::DateTaken);
    changes.tookAll(captionedElsewhere());
    EXPECT_EQ(changes.edited(), Fields(Field::DateTaken));
    changes.edited(Field::City);
    EXPECT_EQ(changes.taken(), kLoadedFields & ~Fields(Field::City));

    FormFields shown = fieldsFromData(captionedElsewhere(), QDate(2019, 4, 12));
    shown.city = "Austin";
    IptcBlock data;
    data.rating = "3";
    data.event = "Own event";
    data.byline = "Own byline";
    storeFieldsInto(shown, changes, QDateTime(QDate(2010, 2, 3), QTime(4, 5, 6)), {}, data);
    EXPECT_EQ(data.rating, "8");
    EXPECT_EQ(data.event, "Test IPTC picture");
    EXPECT_EQ(data.headline, "No headline");
    EXPECT_EQ(data.people, (QStringList{"Harbour", "Test", "IPTC"}));
    EXPECT_EQ(data.city, "Austin");
    EXPECT_EQ(data.byline, "Own byline");  // not a field of the form
    EXPECT_EQ(data.dateText, "20100203");  // the pickers were edited, and stay so

    // Reload shows the stored fields again; the pickers keep the user's date, and it stays edited.
    changes.reloaded();
    EXPECT_EQ(changes.changed(), Fields(Field::DateTaken));
    changes.reset();
    EXPECT_EQ(changes.changed(), Fields());
}

TEST(PicDataMapping, APictureWithoutAStoredDateGetsTheCamerasOnly) {
    const QDateTime camera(QDate(2008, 5, 30), QTime(15, 56, 1));
    struct Case {
        const char* name;
        QString dateText, timeText;  // stored
        QDateTime camera;
        QString wantDate, wantTime;
    };
    const Case cases[] = {
        {"no date, a camera date", "", "", camera, "20080530", "155601"},
        {"a time without a date", "", "021111+0100", camera, "20080530", "155601"},
        {"no date, no camera date", "", "", {}, "", ""},
        {"a date without a time", "20040226", "", camera, "20040226", ""},
        {"a date and a time", "20161203", "111743+0000", camera, "20161203", "111743+0000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IptcBlock data;
        data.dateText = c.dateText;
        data.timeText = c.timeText;
        storeFieldsInto(fieldsFromData(data, {}), FormChanges(), QDateTime(QDate(2020, 1, 1), QTime(9, 0)), c.camera,
                        data);
        EXPECT_EQ(data.dateText, c.wantDate);
        EXPECT_EQ(data.timeText, c.wantTime);
    }
}

TEST(PicDataMapping, CameraDatesAndTheDateThePickersShow) {
    struct Camera {
        QByteArray text;
        QDateTime want;
    };
    const Camera cameras[] = {
        {"2008:05:30 15:56:01", {QDate(2008, 5, 30), QTime(15, 56, 1)}},
        {"2008-05-30T15:56", {QDate(2008, 5, 30), QTime(15, 56)}},
        {"2008:05:30", {QDate(2008, 5, 30), QTime(0, 0)}},
        {"0000:00:00 00:00:00", {}},
        {"    :  :     :  :  ", {}},
        {"", {}},
    };
    for (const Camera& c : cameras) EXPECT_EQ(cameraDateTime(c.text), c.want) << c.text.constData();

    const QDateTime file(QDate(2023, 1, 2), QTime(3, 4, 5));
    IptcBlock data;
    EXPECT_EQ(shownDateTaken(data, file), file);
    data.dateText = "20040226";  // a date without a time shows at midnight, not as the file's
    EXPECT_EQ(shownDateTaken(data, file), QDateTime(QDate(2004, 2, 26), QTime(0, 0)));
    data.dateTime = QDateTime(QDate(2004, 2, 26), QTime(8, 30));
    EXPECT_EQ(shownDateTaken(data, file), data.dateTime);
}

TEST(PicDataMapping, SmartHeadlineTakesTheFirstWordOfEveryEntry) {
    struct Case {
        QStringList people;
        QString headline;
    };
    const Case cases[] = {
        {{}, " Picnic"},
        {{"Anna Berg"}, "Anna Picnic"},
        {{"Anna Berg", "Olaf Berg"}, "Anna & Olaf Picnic"},
        {{"Anna Berg", "Olaf Berg", "Eva Lind"}, "Anna, Olaf, & Eva Picnic"},
        {{"Anna", "Olaf Berg", "Eva Lind", "Max"}, "Anna, Olaf, Eva, & Max Picnic"},
    };
    for (const Case& c : cases) EXPECT_EQ(smartHeadline(c.people, "Picnic"), c.headline);
}

// Each rotate turns the picture a quarter from where it is shown, also when the camera turned it.
TEST(PicDataMapping, RotateTurnsAQuarterFromTheShownAngle) {
    const struct {
        int camera;
        QStringList texts;
    } cases[] = {
        {0, {"Rotate:90", "Rotate:180", "Rotate:270", ""}},
        {90, {"Rotate:180", "Rotate:270", "Rotate:360", "Rotate:90"}},
        {270, {"Rotate:360", "Rotate:90", "Rotate:180", "Rotate:270"}},
    };
    for (const auto& c : cases) {
        int shown = c.camera;
        QStringList seen;
        for (int i = 0; i < 4; ++i) {
            const Rotation rotation = rotateInstructions(shown, c.camera);
            EXPECT_EQ(rotation.angle, (shown + 90) % 360);
            shown = rotation.angle;
            seen.append(rotation.instructions);
        }
        EXPECT_EQ(seen, c.texts) << c.camera;
    }
}

TEST(PicDataMapping, RotateOfAnAngleAnotherProgramWroteStaysWithinATurn) {
    // A huge value used to overflow when 90 was added; any value now gives its next quarter.
    EXPECT_EQ(rotationAfter(2147483647), (2147483647 % 360 + 90) % 360);
    EXPECT_EQ(rotationAfter(-90), 0);
    EXPECT_EQ(rotationAfter(450), 180);
    EXPECT_EQ(rotationAfter(45), 135);
}

TEST(PicDataMapping, FileSizesInKb) {
    EXPECT_EQ(fileSizeText(3145728), "3072 kb");
    EXPECT_EQ(fileSizeText(1023), "0 kb");
    EXPECT_EQ(fileSizeText(0), "0 kb");
}

TEST(PicDataMapping, SizeTextWithAndWithoutCrop) {
    const QSize picture(2000, 1000);
    const QRect half(0, 0, 1000, 1000);
    struct Case {
        QSize picture;
        QRect crop;
        bool viewCropped;
        QString text;
        bool cropEnabled;
    };
    const Case cases[] = {
        {picture, half, true, "50% (1000x1000) 1.0MP", true},
        {picture, half, false, "100% (2000x1000) 2.0MP", true},
        {picture, QRect(QPoint(0, 0), picture), true, "100% (2000x1000) 2.0MP", false},
        // A crop reaching beyond the picture counts only within it.
        {picture, QRect(-500, 0, 1500, 2000), true, "50% (1000x1000) 1.0MP", true},
        // Nothing to divide by: a picture without dimensions has no crop.
        {QSize(0, 0), QRect(0, 0, 10, 10), true, "100% (0x0) 0.0MP", false},
        // A crop that leaves nothing of the picture counts as none.
        {picture, QRect(3000, 0, 10, 10), true, "100% (2000x1000) 2.0MP", false},
        {QSize(4000, 3000), QRect(0, 0, 4000, 3000), true, "100% (4000x3000) 12.0MP", false},
    };
    for (const Case& c : cases) {
        const SizeDisplay display = sizeDisplay(c.picture, c.crop, c.viewCropped);
        EXPECT_EQ(display.text, c.text);
        EXPECT_EQ(display.cropEnabled, c.cropEnabled) << c.text.toStdString();
    }
    EXPECT_EQ(emptySizeText(), "0% (0x0) 0.0MP");
}

TEST(PicDataMapping, DirectoryAndFileFields) {
    EXPECT_EQ(directoryText("/home/u/Pictures/a.jpg"), "/home/u/Pictures");
    EXPECT_EQ(directoryText("<Cannot find file>"), "<Cannot find file>");
    EXPECT_EQ(fileText("a.jpg"), "a.jpg");
    EXPECT_EQ(fileText("sub\\a.jpg"), "a.jpg");  // a picture taken over from a subfolder's catalog
    EXPECT_EQ(missingFilePath("", "/media/cd/", "a.jpg"), "<Cannot find file>");

    // An archived picture: the disc's location and the name are joined by one separator.
    struct Case {
        QString location;
        QString name;
        QString path;
        QString directory;
    };
    const Case cases[] = {
        {"/media/cd/", "a.jpg", "(HOLIDAY) /media/cd/a.jpg", "(HOLIDAY) /media/cd"},
        {"/media/cdrom/photos", "a.jpg", "(HOLIDAY) /media/cdrom/photos/a.jpg", "(HOLIDAY) /media/cdrom/photos"},
        {"/media/cdrom/photos", "sub\\a.jpg", "(HOLIDAY) /media/cdrom/photos/sub/a.jpg",
         "(HOLIDAY) /media/cdrom/photos/sub"},
        {"D:\\", "a.jpg", "(HOLIDAY) D:\\a.jpg", "(HOLIDAY) D:"},  // an older catalog's location
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.location.toStdString() + " " + c.name.toStdString());
        EXPECT_EQ(missingFilePath("HOLIDAY", c.location, c.name), c.path);
        EXPECT_EQ(directoryText(c.path), c.directory);
        EXPECT_EQ(fileText(c.name), "a.jpg");
    }
}

TEST(PicDataMapping, PreviewSizeHasALongerSideOf160) {
    EXPECT_EQ(previewSize(QSize(2000, 1000)), QSize(160, 80));
    EXPECT_EQ(previewSize(QSize(1000, 2000)), QSize(80, 160));
    EXPECT_EQ(previewSize(QSize()), QSize(160, 120));
}

TEST(PicDataMapping, DisabledImagesAreGreyAndKeepTheirTransparency) {
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(200, 100, 50, 255));
    image.setPixel(1, 0, qRgba(0, 0, 0, 0));
    const QImage grey = greyed(image);
    const int value = int(0.299 * 200 + 0.587 * 100 + 0.114 * 50);  // 124, truncated
    EXPECT_EQ(grey.pixel(0, 0), qRgba(value, value, value, 255));
    EXPECT_EQ(qAlpha(grey.pixel(1, 0)), 0);
}

// The picture data form's logic without widgets: the event text and its dates, the rating index,
// the people and the date taken between form and IptcBlock, the smart headline, the rotate
// command's instruction text and the texts that describe the file.

#include <gtest/gtest.h>

#include <QColor>

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

TEST(PicDataMapping, StoringWritesEveryFieldAndTheDateTaken) {
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
    storeFieldsInto(fields, QDate(2004, 7, 4), QTime(13, 5, 9), data);
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
    EXPECT_EQ(data.instructions, "Rotate:90");  // the form does not touch rotation and crop

    // Reading it back gives the same fields.
    const FormFields back = fieldsFromData(data, QDate(2000, 1, 1));
    EXPECT_EQ(back.eventTitle, fields.eventTitle);
    EXPECT_EQ(back.eventStart, fields.eventStart);
    EXPECT_EQ(back.eventEnd, fields.eventEnd);
    EXPECT_EQ(back.people, fields.people);
    EXPECT_EQ(back.ratingIndex, 0);

    // An unknown date taken is not written as a made-up date.
    storeFieldsInto(fields, QDate(), QTime(0, 0), data);
    EXPECT_FALSE(data.dateTime.isValid());
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

TEST(PicDataMapping, RotateTurnsAQuarterAndDropsTheCrop) {
    QString text;
    QStringList seen;
    int angle = -1;
    for (int i = 0; i < 4; ++i) {
        const Rotation rotation = rotateInstructions(text);
        text = rotation.instructions;
        angle = rotation.angle;
        seen.append(text);
    }
    EXPECT_EQ(seen, (QStringList{"Rotate:90", "Rotate:180", "Rotate:270", ""}));
    EXPECT_EQ(angle, 0);
    EXPECT_EQ(rotateInstructions("Rotate:90,CropLeft:1,CropRight:50,CropTop:2,CropBottom:40,CropTo:3").instructions,
              "Rotate:180");
    EXPECT_EQ(rotateInstructions("CropLeft:5").instructions, "Rotate:90");
}

TEST(PicDataMapping, RotateOfAnAngleAnotherProgramWroteStaysWithinATurn) {
    // A huge value used to overflow when 90 was added; any value now gives its next quarter.
    EXPECT_EQ(rotationAfter(2147483647), (2147483647 % 360 + 90) % 360);
    EXPECT_EQ(rotateInstructions("Rotate:99999999999").angle, rotationAfter(2147483647));
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
    EXPECT_EQ(missingFilePath("HOLIDAY", "/media/cd/", "a.jpg"), "(HOLIDAY) /media/cd/a.jpg");
    EXPECT_EQ(directoryText(missingFilePath("HOLIDAY", "/media/cd/", "a.jpg")), "(HOLIDAY) /media/cd");
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

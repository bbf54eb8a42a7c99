// The numbers behind a copy: the size and ratio tables, FitRectToRatio, the Output Size text, and the
// part of a picture that a crop rectangle written by any program leaves to draw.

#include "outputtesthelpers.h"
#include "saveasoptions.h"
#include "testsupport.h"

#include <climits>

#include <gtest/gtest.h>

using testsupport::SandBox;

TEST(SaveAsTables, ListTextsAndValues) {
    EXPECT_EQ(saveas::sizeTexts(),
              QStringList({"Orginal", "6mp", "5mp", "4mp", "3mp", "2mp", "1mp", ".5mp", "Thumbnail"}));
    EXPECT_EQ(saveas::ratioTexts(), QStringList({"Orginal", "2.5x3.25", "3x4", "3.5x5", "4x6", "5x7", "8x10"}));
    const int sides[] = {0, 2880, 2592, 2272, 2048, 1600, 1024, 640, 160, 0};
    for (int row = 0; row < 10; ++row) EXPECT_EQ(saveas::fixedLongSide(row), sides[row]) << row;
    EXPECT_DOUBLE_EQ(saveas::fixedRatio(1), 0.7692307692307693);
    EXPECT_DOUBLE_EQ(saveas::fixedRatio(4), 0.6666666666666666);
    EXPECT_DOUBLE_EQ(saveas::fixedRatio(5), 0.7142857142857143);
    EXPECT_EQ(saveas::fixedRatio(0), 0.0);
    EXPECT_EQ(saveas::fixedRatio(7), 0.0);
}

TEST(SaveAsOptions, DefaultsOfTheFourInstances) {
    const SaveAsOptions saveAs(SaveAsMode::SaveAs), burn(SaveAsMode::BurnCd), mail(SaveAsMode::SendEmail),
        drag(SaveAsMode::DragAndDrop);
    EXPECT_TRUE(saveAs.saveCropped);
    EXPECT_FALSE(burn.saveCropped);
    EXPECT_FALSE(drag.saveCropped);
    EXPECT_EQ(mail.pictureSize, saveas::kEmailSizeRow);
    EXPECT_EQ(saveAs.pictureSize, 0);
    EXPECT_EQ(saveAs.quality, 75);
    EXPECT_TRUE(saveAs.useOriginalDateTime);
    EXPECT_FALSE(saveAs.appendInfo);
    EXPECT_FALSE(saveAs.keepPictureData);
    EXPECT_EQ(drag.OutputSizeText(), "? x ?");
    // Nothing to size without a current picture.
    EXPECT_EQ(saveAs.OutputSizeText(), "? x ?");
}

TEST(FitRectToRatio, SquareSourceKeepsItsHeightAlignedByCropTo) {
    struct Case {
        int align;
        int left;
    } cases[] = {{-1, 0}, {0, 12}, {1, 25}};
    for (const Case& c : cases) {
        const QRect r = FitRectToRatio(0, 0, 100, 100, 0.75, c.align);
        EXPECT_EQ(r, QRect(c.left, 0, 75, 100)) << "CropTo " << c.align;
    }
    // Offsets count from the rectangle's own corner.
    EXPECT_EQ(FitRectToRatio(10, 20, 110, 120, 0.75, 1), QRect(35, 20, 75, 100));
}

TEST(FitRectToRatio, ElongatedAndFlatRectangles) {
    // Wider than wanted: the width gives way; taller than wanted: the height.
    EXPECT_EQ(FitRectToRatio(0, 0, 400, 100, 0.5, 0), QRect(100, 0, 200, 100));
    EXPECT_EQ(FitRectToRatio(0, 0, 100, 400, 0.5, -1), QRect(0, 0, 100, 200));
    // Flatter than wanted: the short side gives way.
    EXPECT_EQ(FitRectToRatio(0, 0, 400, 300, 0.5, 1), QRect(0, 100, 400, 200));
    // Empty, inverted, and no ratio: the empty rectangle.
    EXPECT_TRUE(FitRectToRatio(0, 0, 0, 100, 0.75, 0).isEmpty());
    EXPECT_TRUE(FitRectToRatio(50, 50, 10, 10, 0.75, 0).isEmpty());
    EXPECT_TRUE(FitRectToRatio(0, 0, 100, 100, 0.0, 0).isEmpty());
    EXPECT_TRUE(FitRectToRatio(0, 0, 100, 100, std::nan(""), 0).isEmpty());
    // Edges from foreign picture data at the ends of the range neither overflow nor wrap.
    EXPECT_TRUE(FitRectToRatio(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0.75, 0).isEmpty());
    const QRect far = FitRectToRatio(INT_MAX - 100, 0, INT_MAX, 100, 0.75, 1);
    EXPECT_EQ(far.width(), 75);
    EXPECT_EQ(far.left() + far.width(), INT_MAX);
}

TEST(OutputSize, TextForSizeAndRatioRows) {
    SandBox box;
    const auto landscape = std::make_unique<PictureRecord>(outputtest::makePicture(box.path(), "l.jpg", {300, 200}));
    const auto portrait = std::make_unique<PictureRecord>(outputtest::makePicture(box.path(), "p.jpg", {426, 640}));
    struct Case {
        const PictureRecord* picture;
        int size, ratio;
        const char* text;
    } cases[] = {
        {landscape.get(), 1, 1, "2879 x 2215"}, {landscape.get(), 6, 6, "1023 x 819"},
        {landscape.get(), 1, 2, "2880 x 2160"}, {landscape.get(), 8, 4, "160 x 106"},
        {landscape.get(), 0, 0, "300 x 200"},   {portrait.get(), 7, 4, "640 x 426"},
        {portrait.get(), 0, 0, "640 x 426"},
    };
    for (const Case& c : cases) {
        SaveAsOptions options;
        options.saveCropped = false;
        options.setCurrentPicture(c.picture);
        options.pictureSize = c.size;
        options.pictureRatio = c.ratio;
        EXPECT_EQ(options.OutputSizeText(), c.text) << c.size << "/" << c.ratio;
    }
}

TEST(OutputSize, RowZeroFollowsTheCropOnlyWhenCropped) {
    SandBox box;
    const auto picture = outputtest::withInstructions(
        outputtest::makePicture(box.path(), "c.jpg", {300, 200}),
        "Rotate:0,CropLeft:10,CropRight:130,CropTop:20,CropBottom:100,CropTo:0");
    SaveAsOptions options;
    options.setCurrentPicture(picture.get());
    EXPECT_EQ(options.longSideForRow(0), 120);
    // The ratio row is always the whole picture's.
    EXPECT_DOUBLE_EQ(options.ratioForRow(0), 200.0 / 300.0);
    options.saveCropped = false;
    options.refreshRowZero();
    EXPECT_EQ(options.longSideForRow(0), 300);
}

TEST(PictureSourceRect, CropRectanglesFromOtherPrograms) {
    SandBox box;
    const QString path = outputtest::makePicture(box.path(), "c.jpg", {300, 200});
    struct Case {
        const char* instructions;
        QRect expected;
    } cases[] = {
        {"", QRect(0, 0, 300, 200)},
        {"Rotate:0,CropLeft:10,CropRight:110,CropTop:20,CropBottom:120,CropTo:0", QRect(10, 20, 100, 100)},
        // Far outside the picture, inverted, or empty: the whole picture.
        {"Rotate:0,CropLeft:5000,CropRight:9000,CropTop:-7000,CropBottom:-6000,CropTo:0", QRect(0, 0, 300, 200)},
        {"Rotate:0,CropLeft:200,CropRight:100,CropTop:0,CropBottom:200,CropTo:0", QRect(0, 0, 300, 200)},
        {"Rotate:0,CropLeft:50,CropRight:50,CropTop:0,CropBottom:200,CropTo:0", QRect(0, 0, 300, 200)},
        // Partly outside: what lies on the picture.
        {"Rotate:0,CropLeft:-50,CropRight:100,CropTop:150,CropBottom:99999999999,CropTo:0", QRect(0, 150, 100, 50)},
        {"Rotate:0,CropLeft:-2147483648,CropRight:2147483647,CropTop:0,CropBottom:2147483647,CropTo:1",
         QRect(0, 0, 300, 200)},
    };
    for (const Case& c : cases) {
        const auto picture = outputtest::withInstructions(path, c.instructions);
        EXPECT_EQ(PictureSourceRect(*picture, true), c.expected) << c.instructions;
        EXPECT_EQ(PictureSourceRect(*picture, false), QRect(0, 0, 300, 200));
    }
    // A picture of unknown size has no source at all.
    EXPECT_TRUE(PictureSourceRect(PictureRecord(box.filePath("missing.jpg")), true).isEmpty());
}

// The rotation and crop instruction text: lenient reading of other programs' texts, exact writing.

#include "instructiontext.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>

using namespace instructiontext;

TEST(InstructionText, ValueAfterKey) {
    const struct {
        const char16_t* text;
        QStringView key;
        std::optional<int> expected;
    } cases[] = {
        {u"Rotate:90", kRotate, 90},
        {u"Rotate:", kRotate, 0},  // key without digits
        {u"Rotate:abc", kRotate, 0},
        {u"Rotate: \t-270,CropLeft:4", kRotate, -270},  // blanks and a sign
        {u"Rotate:+45", kRotate, 45},
        {u"Rotate:12x34", kRotate, 12},                // only the leading digits
        {u"Rotate:- 5", kRotate, 0},                   // a blank after the sign ends the number
        {u"note CropTo:3 (set by hand)", kCropTo, 3},  // found anywhere
        {u"CropTop:5", kCropTo, std::nullopt},         // "CropTop:" is not "CropTo:"
        {u"CropLeft:1,CropLeft:2", kCropLeft, 1},      // the first occurrence counts
        {u"rotate:90", kRotate, std::nullopt},         // keys are exact
        {u"", kRotate, std::nullopt},
        {u"CropRight:99999999999999999999", kCropRight, INT_MAX},
        {u"CropRight:-99999999999999999999", kCropRight, INT_MIN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        EXPECT_EQ(value(QString::fromUtf16(c.text), c.key), c.expected);
    }
}

TEST(InstructionText, MissingCropEdgesAreThePicturesOwn) {
    const struct {
        const char16_t* text;
        CropEdges expected;
    } cases[] = {
        {u"", {0, 640, 0, 480}},
        {u"Rotate:90", {0, 640, 0, 480}},
        {u"Rotate:0,CropLeft:10,CropTop:20,CropBottom:400,CropTo:1", {10, 640, 20, 400}},
        {u"Rotate:0,CropLeft:10,CropRight:600,CropTop:20,CropBottom:400,CropTo:1", {10, 600, 20, 400}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        EXPECT_EQ(cropEdges(QString::fromUtf16(c.text), 640, 480), c.expected);
    }
    EXPECT_EQ((CropEdges{10, 600, 20, 400}.rect()), QRect(10, 20, 590, 380));
}

TEST(InstructionText, WrittenFormsReadBack) {
    const CropEdges crop{12, 300, -4, 200};
    const QString full = format(270, crop, 3);
    EXPECT_EQ(full, "Rotate:270,CropLeft:12,CropRight:300,CropTop:-4,CropBottom:200,CropTo:3");
    EXPECT_EQ(value(full, kRotate), 270);
    EXPECT_EQ(cropEdges(full, 1, 1), crop);
    EXPECT_EQ(value(full, kCropTo), 3);

    EXPECT_EQ(formatRotation(90), "Rotate:90");
    EXPECT_EQ(cropEdges(formatRotation(90), 50, 60), (CropEdges{0, 50, 0, 60}));
}
